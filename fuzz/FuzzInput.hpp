#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Takes a fuzzer's bytes apart into small numbers and texts.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    std::uint8_t Byte() {
        if (rest_.empty()) return 0;
        const auto byte = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }
    // The text up to the next NUL byte (or the end).
    std::string Text() {
        const std::size_t end = rest_.find('\0');
        std::string text(rest_.substr(0, end));
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        return text;
    }
    bool Empty() const { return rest_.empty(); }
    std::string_view Rest() const { return rest_; }

  private:
    std::string_view rest_;
};

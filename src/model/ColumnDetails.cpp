#include "model/ColumnDetails.hpp"

#include <array>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

#include "support/TextCase.hpp"

namespace tablor {
namespace {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};
using Ids = std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>>;

// The number for a folded type and a size, from the table that every thread shares.
std::uint32_t SharedId(std::string_view type, std::string_view size) {
    // The size's length goes first, so that no size and type run into each other.
    std::string key = std::to_string(size.size());
    key += ':';
    key.append(size);
    AppendFolded(key, type);
    static std::mutex mutex;
    static Ids ids;
    std::lock_guard lock(mutex);
    return ids.try_emplace(std::move(key), static_cast<std::uint32_t>(ids.size())).first->second;
}

// A type and a size exactly as written, packed in words that compare and hash in a few steps.
// Types of up to 32 bytes and sizes of up to 8 cover every engine's usual columns.
constexpr std::size_t kTypeWords = 4;
struct Packed {
    std::uint64_t words[kTypeWords + 2];
    bool operator==(const Packed&) const = default;
};

bool Pack(std::string_view type, std::string_view size, Packed& packed) {
    if (type.size() > kTypeWords * 8 || size.size() > 8) return false;
    packed = {};
    std::memcpy(packed.words, type.data(), type.size());
    std::memcpy(&packed.words[kTypeWords], size.data(), size.size());
    packed.words[kTypeWords + 1] = type.size() | (size.size() << 8);
    return true;
}

// Zero-initialised, so that a thread's cache needs no construction.
struct Remembered {
    Packed key;
    std::uint32_t id;
    bool used;
};
thread_local Remembered recent[512];

}  // namespace

std::uint32_t ColumnDetailsId(std::string_view type, std::string_view size) {
    // A schema's columns repeat a few types and sizes over and over: each thread remembers the
    // ones it saw exactly as written, so that loading seldom folds a text or takes the lock.
    Packed packed;
    if (!Pack(type, size, packed)) return SharedId(type, size);
    std::uint64_t hash = 0;
    for (const std::uint64_t word : packed.words) hash = (hash ^ word) * 0x9E3779B97F4A7C15ULL;
    Remembered& slot = recent[(hash >> 40) % std::size(recent)];
    if (slot.used && slot.key == packed) return slot.id;
    slot = {packed, SharedId(type, size), true};
    return slot.id;
}

}  // namespace tablor

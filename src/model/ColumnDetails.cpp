#include "model/ColumnDetails.hpp"

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

}  // namespace

std::uint32_t ColumnDetailsId(std::string_view type, std::string_view size) {
    // The size's length goes first, so that no size and type run into each other.
    thread_local std::string key;
    key.clear();
    key += std::to_string(size.size());
    key += ':';
    key.append(size);
    AppendFolded(key, type);
    // Each thread remembers the numbers it has seen, so that loading a schema seldom waits
    // for another thread.
    thread_local Ids seen;
    if (const auto found = seen.find(std::string_view(key)); found != seen.end()) return found->second;
    static std::mutex mutex;
    static Ids ids;
    std::uint32_t id = 0;
    {
        std::lock_guard lock(mutex);
        id = ids.try_emplace(key, static_cast<std::uint32_t>(ids.size())).first->second;
    }
    seen.emplace(key, id);
    return id;
}

}  // namespace tablor

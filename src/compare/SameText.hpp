#pragma once
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tablor {

// Names and property texts are short: compared inline, eight bytes at a time, instead of
// through a call to memcmp.
inline bool SameName(std::string_view a, std::string_view b) {
    std::size_t n = a.size();
    if (n != b.size()) return false;
    const char* x = a.data();
    const char* y = b.data();
    for (; n >= 8; n -= 8, x += 8, y += 8) {
        std::uint64_t u, v;
        std::memcpy(&u, x, 8);
        std::memcpy(&v, y, 8);
        if (u != v) return false;
    }
    for (; n > 0; --n)
        if (*x++ != *y++) return false;
    return true;
}

}  // namespace tablor

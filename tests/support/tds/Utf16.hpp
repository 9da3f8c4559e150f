#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tablor::testing::tds {

// The wire carries every string as UTF-16LE; tests speak UTF-8.

// Throws std::invalid_argument on malformed UTF-8, so a broken fixture
// fails where it is written rather than as garbage on the client side.
std::vector<std::uint8_t> utf8ToUtf16le(std::string_view text);

// Lone surrogates and a trailing odd byte become U+FFFD: whatever a client
// sends must still be recordable.
std::string utf16leToUtf8(std::span<const std::uint8_t> bytes);

}  // namespace tablor::testing::tds

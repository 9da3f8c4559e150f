#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "TdsTypes.hpp"

namespace tablor::testing::tds {

// Reads a LOGIN7 record. Returns nullopt when it is too short or a field
// points outside it, which the responder treats as a broken client.
std::optional<ReceivedLogin> parseLogin7(std::span<const std::uint8_t> payload);

// Undoes the LOGIN7 password scrambling (XOR 0xA5, then swap nibbles)
// and converts the UTF-16LE result to UTF-8.
std::string decodePassword(std::span<const std::uint8_t> scrambled);

}  // namespace tablor::testing::tds

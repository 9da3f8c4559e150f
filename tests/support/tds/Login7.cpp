#include "Login7.hpp"

#include <vector>

#include "TdsWriter.hpp"
#include "Utf16.hpp"

namespace tablor::testing::tds {
namespace {

constexpr std::size_t kFixedPartSize = 94;
constexpr std::uint8_t kIntegratedSecurity = 0x80;  // in OptionFlags2

enum Field : std::size_t {
    kHostName = 36,
    kUserName = 40,
    kPassword = 44,
    kAppName = 48,
    kDatabase = 68,
};

// Each variable field is an (offset, length in UTF-16 units) pair.
std::optional<std::span<const std::uint8_t>> field(std::span<const std::uint8_t> payload, Field at) {
    const std::size_t offset = getU16(payload, at);
    const std::size_t bytes = std::size_t{getU16(payload, at + 2)} * 2;
    if (offset + bytes > payload.size()) {
        return std::nullopt;
    }
    return payload.subspan(offset, bytes);
}

}  // namespace

std::string decodePassword(std::span<const std::uint8_t> scrambled) {
    std::vector<std::uint8_t> plain;
    plain.reserve(scrambled.size());
    for (const std::uint8_t byte : scrambled) {
        const auto x = static_cast<std::uint8_t>(byte ^ 0xA5);
        plain.push_back(static_cast<std::uint8_t>((x << 4) | (x >> 4)));
    }
    return utf16leToUtf8(plain);
}

std::optional<ReceivedLogin> parseLogin7(std::span<const std::uint8_t> payload) {
    if (payload.size() < kFixedPartSize) {
        return std::nullopt;
    }
    const auto host = field(payload, kHostName);
    const auto user = field(payload, kUserName);
    const auto password = field(payload, kPassword);
    const auto app = field(payload, kAppName);
    const auto database = field(payload, kDatabase);
    if (!host || !user || !password || !app || !database) {
        return std::nullopt;
    }

    ReceivedLogin login;
    login.tdsVersion = getU32(payload, 4);
    login.packetSize = getU32(payload, 8);
    login.integrated = (payload[25] & kIntegratedSecurity) != 0;
    login.hostName = utf16leToUtf8(*host);
    login.user = utf16leToUtf8(*user);
    login.password = decodePassword(*password);
    login.appName = utf16leToUtf8(*app);
    login.database = utf16leToUtf8(*database);
    return login;
}

}  // namespace tablor::testing::tds

#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "TdsTypes.hpp"

namespace tablor::testing::tds {

namespace packet {
inline constexpr std::uint8_t kSqlBatch = 0x01;
inline constexpr std::uint8_t kRpc = 0x03;
inline constexpr std::uint8_t kReply = 0x04;
inline constexpr std::uint8_t kAttention = 0x06;
inline constexpr std::uint8_t kTransactionManager = 0x0E;
inline constexpr std::uint8_t kLogin7 = 0x10;
inline constexpr std::uint8_t kPrelogin = 0x12;
}  // namespace packet

namespace done {
inline constexpr std::uint16_t kFinal = 0x0000;
inline constexpr std::uint16_t kMore = 0x0001;
inline constexpr std::uint16_t kError = 0x0002;
inline constexpr std::uint16_t kCount = 0x0010;
inline constexpr std::uint16_t kAttention = 0x0020;
}  // namespace done

inline constexpr std::uint16_t kCurCmdSelect = 0xC1;

enum class EnvChange : std::uint8_t { Database = 1, Language = 2, PacketSize = 4, Collation = 7 };

// Latin1_General_CI_AS: LCID 0x0409, case/kana/width insensitive, sort id 0.
inline constexpr std::array<std::uint8_t, 5> kCollation{0x09, 0x04, 0xD0, 0x00, 0x00};

// Builds the token stream of one server reply. Throws std::invalid_argument
// when asked to encode something the wire cannot carry (cell of the wrong
// type, string too long for its length prefix, ...).
class TdsWriter {
  public:
    void envChange(EnvChange type, std::string_view newValue, std::string_view oldValue);
    void collationChange(std::span<const std::uint8_t> collation);
    void info(std::int32_t number, std::uint8_t state, std::uint8_t severity, std::string_view message);
    void error(std::int32_t number, std::uint8_t state, std::uint8_t severity, std::string_view message);
    void loginAck(std::uint32_t tdsVersion, std::string_view programName,
                  std::array<std::uint8_t, 4> programVersion);
    void colMetadata(const std::vector<Column>& columns);
    void row(const std::vector<Column>& columns, const Row& row);
    void done(std::uint16_t status, std::uint16_t curCmd, std::uint64_t rowCount);

    const std::vector<std::uint8_t>& bytes() const { return out_; }
    std::vector<std::uint8_t> take() { return std::move(out_); }

    // PRELOGIN answer: our version, the encryption byte (encrypt::), no MARS.
    static std::vector<std::uint8_t> preloginReply(std::array<std::uint8_t, 6> version,
                                                   std::uint8_t encryption = encrypt::kNotSupported);

    // Throws std::invalid_argument if the result set could not be sent.
    static void check(const ResultSet& result);

  private:
    void message(std::uint8_t token, std::int32_t number, std::uint8_t state, std::uint8_t severity,
                 std::string_view text);

    std::vector<std::uint8_t> out_;
};

// Little helpers shared by the writer and the readers.
void putU8(std::vector<std::uint8_t>& out, std::uint8_t value);
void putU16(std::vector<std::uint8_t>& out, std::uint16_t value);
void putU32(std::vector<std::uint8_t>& out, std::uint32_t value);
void putU64(std::vector<std::uint8_t>& out, std::uint64_t value);
std::uint16_t getU16(std::span<const std::uint8_t> in, std::size_t at);
std::uint32_t getU32(std::span<const std::uint8_t> in, std::size_t at);

}  // namespace tablor::testing::tds

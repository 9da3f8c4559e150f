#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tablor::testing {

// Integer types go out as INTN/BITN (always nullable); NVarChar as a
// nullable NVARCHAR(maxChars) with a Latin1_General_CI_AS collation.
enum class ColumnType { Bit, TinyInt, SmallInt, Int, BigInt, NVarChar };

struct Column {
    std::string name;
    ColumnType type = ColumnType::NVarChar;
    std::uint16_t maxChars = 256;  // NVarChar only; 1..4000
};

// One value of a row: null, an integer or UTF-8 text. Converts implicitly
// so rows can be written as { "dbo", 42, std::nullopt }.
class Cell {
  public:
    Cell(std::nullopt_t) {}
    Cell(const char* text) : value_(std::string(text)) {}
    Cell(std::string text) : value_(std::move(text)) {}
    template <std::integral T>
    Cell(T number) : value_(static_cast<std::int64_t>(number)) {}
    Cell(std::optional<std::string> text) {
        if (text) {
            value_ = std::move(*text);
        }
    }
    template <std::integral T>
    Cell(std::optional<T> number) {
        if (number) {
            value_ = static_cast<std::int64_t>(*number);
        }
    }

    bool isNull() const { return std::holds_alternative<std::monostate>(value_); }
    const std::int64_t* integer() const { return std::get_if<std::int64_t>(&value_); }
    const std::string* text() const { return std::get_if<std::string>(&value_); }

  private:
    std::variant<std::monostate, std::int64_t, std::string> value_;
};

using Row = std::vector<Cell>;

struct ResultSet {
    std::vector<Column> columns;
    std::vector<Row> rows;
};

// What the client put in its LOGIN7 record, strings converted to UTF-8.
struct ReceivedLogin {
    std::string user;
    std::string password;  // de-obfuscated
    std::string database;
    std::string appName;
    std::string hostName;
    bool integrated = false;       // client asked for SSPI instead of a password
    std::uint32_t tdsVersion = 0;  // e.g. 0x74000004 for 7.4
    std::uint32_t packetSize = 0;
};

// The ENCRYPTION byte of a PRELOGIN message.
namespace tds::encrypt {
inline constexpr std::uint8_t kOff = 0x00;  // the login only
inline constexpr std::uint8_t kOn = 0x01;
inline constexpr std::uint8_t kNotSupported = 0x02;
inline constexpr std::uint8_t kRequired = 0x03;
}  // namespace tds::encrypt

}  // namespace tablor::testing

#include "TdsWriter.hpp"

#include <limits>
#include <stdexcept>
#include <string>

#include "Utf16.hpp"

namespace tablor::testing::tds {
namespace {

constexpr std::uint8_t kTokenColMetadata = 0x81;
constexpr std::uint8_t kTokenError = 0xAA;
constexpr std::uint8_t kTokenInfo = 0xAB;
constexpr std::uint8_t kTokenLoginAck = 0xAD;
constexpr std::uint8_t kTokenRow = 0xD1;
constexpr std::uint8_t kTokenEnvChange = 0xE3;
constexpr std::uint8_t kTokenDone = 0xFD;

constexpr std::uint8_t kTypeIntN = 0x26;
constexpr std::uint8_t kTypeBitN = 0x68;
constexpr std::uint8_t kTypeNVarChar = 0xE7;

constexpr std::uint16_t kFlagNullable = 0x0001;
constexpr std::uint16_t kMaxNVarCharChars = 4000;

constexpr char kServerName[] = "TDSRESPONDER";

[[noreturn]] void reject(const std::string& why) {
    throw std::invalid_argument("TdsWriter: " + why);
}

void putBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// B_VARCHAR: one byte of length in UTF-16 units.
void putBVarChar(std::vector<std::uint8_t>& out, std::string_view text) {
    const auto utf16 = utf8ToUtf16le(text);
    if (utf16.size() / 2 > 0xFF) {
        reject("string longer than 255 UTF-16 units: " + std::string(text));
    }
    putU8(out, static_cast<std::uint8_t>(utf16.size() / 2));
    putBytes(out, utf16);
}

// US_VARCHAR: two bytes of length in UTF-16 units.
void putUsVarChar(std::vector<std::uint8_t>& out, std::string_view text) {
    const auto utf16 = utf8ToUtf16le(text);
    if (utf16.size() / 2 > 0xFFFF) {
        reject("string longer than 65535 UTF-16 units");
    }
    putU16(out, static_cast<std::uint16_t>(utf16.size() / 2));
    putBytes(out, utf16);
}

// Tokens whose body is preceded by its USHORT length.
void putSized(std::vector<std::uint8_t>& out, std::uint8_t token, const std::vector<std::uint8_t>& body) {
    if (body.size() > 0xFFFF) {
        reject("token body too long");
    }
    putU8(out, token);
    putU16(out, static_cast<std::uint16_t>(body.size()));
    putBytes(out, body);
}

std::uint8_t integerWidth(ColumnType type) {
    switch (type) {
        case ColumnType::Bit:
        case ColumnType::TinyInt:
            return 1;
        case ColumnType::SmallInt:
            return 2;
        case ColumnType::Int:
            return 4;
        case ColumnType::BigInt:
            return 8;
        case ColumnType::NVarChar:
            break;
    }
    return 0;
}

bool fits(ColumnType type, std::int64_t value) {
    switch (type) {
        case ColumnType::Bit:
            return value == 0 || value == 1;
        case ColumnType::TinyInt:
            return value >= 0 && value <= 255;
        case ColumnType::SmallInt:
            return value >= std::numeric_limits<std::int16_t>::min() &&
                   value <= std::numeric_limits<std::int16_t>::max();
        case ColumnType::Int:
            return value >= std::numeric_limits<std::int32_t>::min() &&
                   value <= std::numeric_limits<std::int32_t>::max();
        case ColumnType::BigInt:
            return true;
        case ColumnType::NVarChar:
            break;
    }
    return false;
}

void checkColumn(const Column& column) {
    if (column.type == ColumnType::NVarChar &&
        (column.maxChars == 0 || column.maxChars > kMaxNVarCharChars)) {
        reject("column " + column.name + ": nvarchar length must be 1..4000");
    }
}

}  // namespace

void putU8(std::vector<std::uint8_t>& out, std::uint8_t value) {
    out.push_back(value);
}

void putU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void putU64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::uint16_t getU16(std::span<const std::uint8_t> in, std::size_t at) {
    return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

std::uint32_t getU32(std::span<const std::uint8_t> in, std::size_t at) {
    return static_cast<std::uint32_t>(in[at]) | (static_cast<std::uint32_t>(in[at + 1]) << 8) |
           (static_cast<std::uint32_t>(in[at + 2]) << 16) | (static_cast<std::uint32_t>(in[at + 3]) << 24);
}

void TdsWriter::envChange(EnvChange type, std::string_view newValue, std::string_view oldValue) {
    std::vector<std::uint8_t> body;
    putU8(body, static_cast<std::uint8_t>(type));
    putBVarChar(body, newValue);
    putBVarChar(body, oldValue);
    putSized(out_, kTokenEnvChange, body);
}

void TdsWriter::collationChange(std::span<const std::uint8_t> collation) {
    std::vector<std::uint8_t> body;
    putU8(body, static_cast<std::uint8_t>(EnvChange::Collation));
    putU8(body, static_cast<std::uint8_t>(collation.size()));
    putBytes(body, collation);
    putU8(body, 0);  // no old collation
    putSized(out_, kTokenEnvChange, body);
}

void TdsWriter::info(std::int32_t number, std::uint8_t state, std::uint8_t severity, std::string_view text) {
    message(kTokenInfo, number, state, severity, text);
}

void TdsWriter::error(std::int32_t number, std::uint8_t state, std::uint8_t severity, std::string_view text) {
    message(kTokenError, number, state, severity, text);
}

void TdsWriter::message(std::uint8_t token, std::int32_t number, std::uint8_t state, std::uint8_t severity,
                        std::string_view text) {
    std::vector<std::uint8_t> body;
    putU32(body, static_cast<std::uint32_t>(number));
    putU8(body, state);
    putU8(body, severity);
    putUsVarChar(body, text);
    putBVarChar(body, kServerName);
    putBVarChar(body, "");  // procedure
    putU32(body, 1);        // line number
    putSized(out_, token, body);
}

void TdsWriter::loginAck(std::uint32_t tdsVersion, std::string_view programName,
                         std::array<std::uint8_t, 4> programVersion) {
    std::vector<std::uint8_t> body;
    putU8(body, 1);  // interface: T-SQL
    // Unlike everywhere else, the version here goes out most significant byte first.
    for (int shift = 24; shift >= 0; shift -= 8) {
        putU8(body, static_cast<std::uint8_t>(tdsVersion >> shift));
    }
    putBVarChar(body, programName);
    putBytes(body, programVersion);
    putSized(out_, kTokenLoginAck, body);
}

void TdsWriter::colMetadata(const std::vector<Column>& columns) {
    if (columns.empty() || columns.size() > 4096) {
        reject("a result set needs 1..4096 columns");
    }
    putU8(out_, kTokenColMetadata);
    putU16(out_, static_cast<std::uint16_t>(columns.size()));
    for (const auto& column : columns) {
        checkColumn(column);
        putU32(out_, 0);  // user type
        putU16(out_, kFlagNullable);
        if (column.type == ColumnType::NVarChar) {
            putU8(out_, kTypeNVarChar);
            putU16(out_, static_cast<std::uint16_t>(column.maxChars * 2));
            putBytes(out_, kCollation);
        } else {
            putU8(out_, column.type == ColumnType::Bit ? kTypeBitN : kTypeIntN);
            putU8(out_, integerWidth(column.type));
        }
        putBVarChar(out_, column.name);
    }
}

void TdsWriter::row(const std::vector<Column>& columns, const Row& row) {
    if (row.size() != columns.size()) {
        reject("row has " + std::to_string(row.size()) + " cells for " + std::to_string(columns.size()) +
               " columns");
    }
    putU8(out_, kTokenRow);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& column = columns[i];
        const Cell& cell = row[i];
        if (column.type == ColumnType::NVarChar) {
            if (cell.isNull()) {
                putU16(out_, 0xFFFF);
                continue;
            }
            if (cell.text() == nullptr) {
                reject("column " + column.name + " holds text, got an integer");
            }
            const auto utf16 = utf8ToUtf16le(*cell.text());
            if (utf16.size() > column.maxChars * 2u) {
                reject("value too long for column " + column.name + ": " + *cell.text());
            }
            putU16(out_, static_cast<std::uint16_t>(utf16.size()));
            putBytes(out_, utf16);
            continue;
        }
        if (cell.isNull()) {
            putU8(out_, 0);
            continue;
        }
        if (cell.integer() == nullptr) {
            reject("column " + column.name + " holds integers, got text");
        }
        const std::int64_t value = *cell.integer();
        if (!fits(column.type, value)) {
            reject("value " + std::to_string(value) + " out of range for column " + column.name);
        }
        const std::uint8_t width = integerWidth(column.type);
        putU8(out_, width);
        for (int b = 0; b < width; ++b) {
            putU8(out_, static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * b)));
        }
    }
}

void TdsWriter::done(std::uint16_t status, std::uint16_t curCmd, std::uint64_t rowCount) {
    putU8(out_, kTokenDone);
    putU16(out_, status);
    putU16(out_, curCmd);
    putU64(out_, rowCount);
}

std::vector<std::uint8_t> TdsWriter::preloginReply(std::array<std::uint8_t, 6> version,
                                                   std::uint8_t encryption) {
    struct Option {
        std::uint8_t token;
        std::vector<std::uint8_t> data;
    };
    const std::vector<Option> options{
        {0x00, {version.begin(), version.end()}},  // VERSION
        {0x01, {encryption}},                      // ENCRYPTION
        {0x02, {0x00}},                            // INSTOPT: instance name accepted
        {0x03, {}},                                // THREADID
        {0x04, {0x00}},                            // MARS off
    };
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> data;
    const std::size_t headerSize = options.size() * 5 + 1;
    for (const auto& option : options) {
        const std::size_t offset = headerSize + data.size();
        putU8(out, option.token);
        // Offsets and lengths in PRELOGIN are big-endian.
        putU8(out, static_cast<std::uint8_t>(offset >> 8));
        putU8(out, static_cast<std::uint8_t>(offset));
        putU8(out, static_cast<std::uint8_t>(option.data.size() >> 8));
        putU8(out, static_cast<std::uint8_t>(option.data.size()));
        data.insert(data.end(), option.data.begin(), option.data.end());
    }
    putU8(out, 0xFF);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

void TdsWriter::check(const ResultSet& result) {
    if (result.columns.empty()) {
        if (!result.rows.empty()) {
            reject("rows without columns");
        }
        return;  // a statement that returns no result set
    }
    TdsWriter probe;
    probe.colMetadata(result.columns);
    for (const auto& row : result.rows) {
        probe.row(result.columns, row);
    }
}

}  // namespace tablor::testing::tds

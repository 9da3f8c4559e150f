#include "cli/DifferenceOutput.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ostream>
#include <sstream>

#include "model/ObjectType.hpp"
#include "report/DifferenceRow.hpp"
#include "support/TerminalText.hpp"
#include "support/TextEncoding.hpp"

namespace tablor::cli {

std::string CountLine(long count) {
    return std::to_string(count) + " difference(s) found between the two objects!";
}

namespace {

constexpr std::string_view kColorEnd = "\x1b[0m";

// A kind's colour (ECMA-48 SGR), by kind code: the kinds a reader tells apart at a glance.
std::string_view KindColor(std::string_view kind) {
    static constexpr std::array<std::string_view, 7> kColors = {
        "\x1b[1;34m",  // table
        "\x1b[36m",    // field
        "\x1b[35m",    // view
        "\x1b[33m",    // procedure
        "\x1b[33m",    // function
        "\x1b[32m",    // constraint
        "\x1b[1;33m",  // changed field
    };
    for (std::size_t code = 0; code < kColors.size(); ++code)
        if (KindWord(static_cast<int>(code)) == kind) return kColors[code];
    return {};
}

}  // namespace

void WriteDifferencesText(std::ostream& out, std::size_t rowCount,
                          const std::function<DifferenceRow(std::size_t)>& rowAt,
                          std::string_view optionsLine, bool color) {
    const auto escapedRow = [&](std::size_t index) {
        DifferenceRow row = rowAt(index);
        for (auto& cell : row.cells) cell = EscapeForTerminal(cell);
        return row;
    };
    // Widths first, then each row is written as it is made: a long list is never held as text.
    std::array<std::size_t, 5> width{};
    for (std::size_t c = 0; c < width.size(); ++c) width[c] = CodePointCount(DifferenceRow::kHeaders[c]);
    for (std::size_t i = 0; i < rowCount; ++i) {
        const DifferenceRow row = escapedRow(i);
        for (std::size_t c = 0; c < width.size(); ++c)
            width[c] = std::max(width[c], std::min(CodePointCount(row.cells[c]), kMaxPaddedWidth));
    }

    std::string line;
    const auto writeLine = [&](auto cellAt, bool colored) {
        line.clear();
        std::size_t end = 0;  // padding after the last cell with text is left out
        for (std::size_t c = 0; c < width.size(); ++c) {
            const std::string_view cell = cellAt(c);
            const std::string_view start = colored && c == 1 ? KindColor(cell) : std::string_view();
            line += start;
            line += cell;
            if (!start.empty()) line += kColorEnd;
            if (!cell.empty()) end = line.size();
            if (c + 1 < width.size())
                line.append(width[c] - std::min(width[c], CodePointCount(cell)) + 2, ' ');
        }
        line.resize(end);
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    };
    if (rowCount > 0) {
        writeLine([](std::size_t c) { return DifferenceRow::kHeaders[c]; }, false);
        for (std::size_t i = 0; i < rowCount && out; ++i) {
            const DifferenceRow row = escapedRow(i);
            writeLine([&](std::size_t c) { return std::string_view(row.cells[c]); }, color);
        }
    }
    // Alike in green, differing in bold red.
    if (color) out << (rowCount == 0 ? "\x1b[32m" : "\x1b[1;31m");
    out << CountLine(static_cast<long>(rowCount));
    if (color) out << kColorEnd;
    out << '\n';
    if (!optionsLine.empty()) out << EscapeForTerminal(optionsLine) << '\n';
}

namespace {

void AppendUnicodeEscape(std::string& out, char32_t codePoint) {
    char escaped[12];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(codePoint));
    out += escaped;
}

bool IsControl(char32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0);
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    std::size_t i = 0;
    while (i < text.size()) {
        const char ch = text[i];
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= 0x80) {
            const std::size_t length = Utf8SequenceLength(text, i);
            if (length == 0) {
                // A name that is not UTF-8 (a file name from elsewhere) is read as the loader
                // reads such files: Windows-1252.
                AppendUnicodeEscape(out, Windows1252CodePoint(byte));
                ++i;
            } else if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
                // C1 controls stay escaped, because the output is often read on a terminal.
                AppendUnicodeEscape(out, static_cast<unsigned char>(text[i + 1]));
                i += 2;
            } else {
                out.append(text, i, length);
                i += length;
            }
            continue;
        }
        switch (ch) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F)
                    AppendUnicodeEscape(out, byte);
                else
                    out += ch;
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string VisibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte < 0x80 ? 1 : Utf8SequenceLength(text, i);
        char32_t codePoint = byte;
        if (length == 0) {
            codePoint = Windows1252CodePoint(byte);
        } else if (length == 2 && byte == 0xC2) {
            codePoint = static_cast<unsigned char>(text[i + 1]);
        } else if (length == 3 &&
                   (text.substr(i, 3) == "\xEF\xBF\xBE" || text.substr(i, 3) == "\xEF\xBF\xBF")) {
            codePoint = 0xFFFE + static_cast<unsigned char>(text[i + 2]) - 0xBE;
        }
        if (codePoint == '\n')
            out += "\\n";
        else if (codePoint == '\r')
            out += "\\r";
        else if (codePoint == '\t')
            out += "\\t";
        else if (IsControl(codePoint) || codePoint == 0xFFFE || codePoint == 0xFFFF)
            AppendUnicodeEscape(out, codePoint);
        else if (length == 0)
            AppendUtf8(out, codePoint);
        else
            out.append(text, i, length);
        i += length == 0 ? 1 : length;
    }
    return out;
}

KindCounts CountByKind(const coDifferences& differences) {
    KindCounts counts{};
    for (const auto& d : differences)
        if (d->ObjectType >= 0 && static_cast<std::size_t>(d->ObjectType) < counts.size())
            ++counts[d->ObjectType];
    return counts;
}

void WriteDifferencesJson(std::ostream& out, const std::string& object1, const std::string& object2,
                          const coDifferences& differences, std::string_view options) {
    out << "{\"object1\": " << JsonString(object1) << ", \"object2\": " << JsonString(object2)
        << ", \"count\": " << differences.Count();
    if (!options.empty()) out << ", \"options\": " << JsonString(options);
    out << ", \"differences\": [";
    bool first = true;
    std::string record;
    for (const auto& d : differences) {
        if (!out) return;
        record = first ? "\n  " : ",\n  ";
        first = false;
        record += "{\"ObjectName\": " + JsonString(d->ObjectName()) +
                  ", \"ObjectType\": " + std::to_string(d->ObjectType) +
                  ", \"Source\": " + JsonString(d->Source()) +
                  ", \"FieldTable\": " + JsonString(d->FieldTable()) +
                  ", \"FieldType\": " + JsonString(d->FieldType()) +
                  ", \"FieldSize\": " + JsonString(d->FieldSize());
        // Only a changed column has a second side's type and size, so other records keep
        // their members.
        if (d->ObjectType == ObjectType::FieldChanged)
            record += ", \"FieldType2\": " + JsonString(d->FieldType2()) +
                      ", \"FieldSize2\": " + JsonString(d->FieldSize2());
        // A changed definition also tells its kind, schema, property and the value on each side.
        if (!d->Property().empty())
            record += ", \"Kind\": " + JsonString(KindWord(d->ObjectType)) +
                      ", \"Schema\": " + JsonString(d->Schema()) +
                      ", \"Property\": " + JsonString(d->Property()) +
                      ", \"Value1\": " + JsonString(d->Value1()) + ", \"Value2\": " + JsonString(d->Value2());
        record += ", \"Message\": " + JsonString(d->Message()) + "}";
        out.write(record.data(), static_cast<std::streamsize>(record.size()));
    }
    out << (first ? "]}\n" : "\n]}\n");
}

std::string FormatDifferencesJson(const std::string& object1, const std::string& object2,
                                  const coDifferences& differences, std::string_view options) {
    std::ostringstream out;
    WriteDifferencesJson(out, object1, object2, differences, options);
    return std::move(out).str();
}

}  // namespace tablor::cli

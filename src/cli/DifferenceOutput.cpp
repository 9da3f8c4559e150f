#include "cli/DifferenceOutput.hpp"

#include <algorithm>
#include <array>
#include <cstdio>

#include "support/TerminalText.hpp"
#include "support/TextEncoding.hpp"

namespace tablor::cli {

std::string CountLine(long count) {
    return std::to_string(count) + " difference(s) found between the two objects!";
}

std::string FormatDifferencesText(const std::vector<DifferenceRow>& rows) {
    std::vector<std::array<std::string, 5>> cells;
    cells.reserve(rows.size());
    for (const auto& row : rows) {
        auto& escaped = cells.emplace_back();
        for (std::size_t c = 0; c < escaped.size(); ++c) escaped[c] = EscapeForTerminal(row.cells[c]);
    }
    std::array<std::size_t, 5> width{};
    for (std::size_t c = 0; c < width.size(); ++c) width[c] = CodePointCount(DifferenceRow::kHeaders[c]);
    for (const auto& row : cells)
        for (std::size_t c = 0; c < width.size(); ++c) width[c] = std::max(width[c], CodePointCount(row[c]));

    std::string out;
    const auto appendLine = [&](auto cellAt) {
        std::string line;
        for (std::size_t c = 0; c < width.size(); ++c) {
            const std::string_view cell = cellAt(c);
            line += cell;
            if (c + 1 < width.size()) line.append(width[c] - CodePointCount(cell) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line;
        out += '\n';
    };
    if (!rows.empty()) {
        appendLine([](std::size_t c) { return DifferenceRow::kHeaders[c]; });
        for (const auto& row : cells) appendLine([&](std::size_t c) { return std::string_view(row[c]); });
    }
    out += CountLine(static_cast<long>(rows.size()));
    out += '\n';
    return out;
}

namespace {

void AppendUnicodeEscape(std::string& out, char32_t codePoint) {
    char escaped[12];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(codePoint));
    out += escaped;
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

std::string FormatDifferencesJson(const std::string& object1, const std::string& object2,
                                  const coDifferences& differences) {
    std::string out = "{\"object1\": " + JsonString(object1) + ", \"object2\": " + JsonString(object2) +
                      ", \"count\": " + std::to_string(differences.Count()) + ", \"differences\": [";
    bool first = true;
    for (const auto& d : differences) {
        out += first ? "\n  " : ",\n  ";
        first = false;
        out += "{\"ObjectName\": " + JsonString(d->ObjectName()) +
               ", \"ObjectType\": " + std::to_string(d->ObjectType) +
               ", \"Source\": " + JsonString(d->Source()) +
               ", \"FieldTable\": " + JsonString(d->FieldTable()) +
               ", \"FieldType\": " + JsonString(d->FieldType()) +
               ", \"FieldSize\": " + JsonString(d->FieldSize()) +
               ", \"Message\": " + JsonString(d->Message()) + "}";
    }
    out += first ? "]}\n" : "\n]}\n";
    return out;
}

}  // namespace tablor::cli

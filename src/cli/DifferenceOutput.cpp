#include "cli/DifferenceOutput.hpp"

#include <algorithm>
#include <array>
#include <cstdio>

#include "support/TextEncoding.hpp"

namespace tablor::cli {

std::string CountLine(long count) {
    return std::to_string(count) + " difference(s) found between the two objects!";
}

std::string FormatDifferencesText(const std::vector<DifferenceRow>& rows) {
    std::array<std::size_t, 5> width{};
    for (std::size_t c = 0; c < width.size(); ++c) width[c] = CodePointCount(DifferenceRow::kHeaders[c]);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < width.size(); ++c) width[c] = std::max(width[c], CodePointCount(row.cells[c]));

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
        for (const auto& row : rows) appendLine([&](std::size_t c) { return std::string_view(row.cells[c]); });
    }
    out += CountLine(static_cast<long>(rows.size()));
    out += '\n';
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
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
                if (byte < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += ch;
                }
        }
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
        out += "{\"ObjectName\": " + JsonString(d->ObjectName) + ", \"ObjectType\": " + std::to_string(d->ObjectType) +
               ", \"Source\": " + JsonString(d->Source) + ", \"FieldTable\": " + JsonString(d->FieldTable) +
               ", \"FieldType\": " + JsonString(d->FieldType) + ", \"FieldSize\": " + JsonString(d->FieldSize) +
               ", \"Message\": " + JsonString(d->Message) + "}";
    }
    out += first ? "]}\n" : "\n]}\n";
    return out;
}

}  // namespace tablor::cli

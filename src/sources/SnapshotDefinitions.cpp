#include "sources/SnapshotDefinitions.hpp"

#include <charconv>

#include "support/TablorError.hpp"

namespace tablor {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr char kKinds[] = {'K', 'V', 'R', 'T'};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

[[noreturn]] void Unreadable(std::string_view line, std::string_view why) {
    throw TablorError(errors::SubscriptOutOfRange, "A definition line cannot be read (" + std::string(why) +
                                                       "): " + std::string(line.substr(0, 80)));
}

const Collection<cMetaDataElement>& Section(const cMetaData& model, char kind) {
    switch (kind) {
        case 'K':
            return model.Constraints();
        case 'V':
            return model.Views();
        case 'R':
            return model.Routines();
        default:
            return model.Tables();
    }
}

}  // namespace

std::string SnapshotDefinitions::Encoded(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '%' || c == '*' || c == '=' || byte < 0x20 || byte == 0x7F) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string SnapshotDefinitions::Decoded(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            out += value[i];
            continue;
        }
        const int high = i + 2 < value.size() ? HexValue(value[i + 1]) : -1;
        const int low = i + 2 < value.size() ? HexValue(value[i + 2]) : -1;
        if (high < 0 || low < 0) Unreadable(value, "\"%\" without two hex digits");
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

void SnapshotDefinitions::Append(std::string& out, const cMetaData& model) {
    for (const char kind : kKinds) {
        const auto& items = Section(model, kind).Items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            const cMetaDataElement& element = *items[i];
            if (element.Schema.empty() && !element.Definition) continue;
            out += '~';
            out += kind;
            out += '*';
            out += std::to_string(i + 1);
            out += "*schema=";
            out += Encoded(element.Schema);
            if (element.Definition) {
                for (const auto& [key, value] : *element.Definition) {
                    out += '*';
                    out += Encoded(key);
                    out += '=';
                    out += Encoded(value);
                }
            }
            out += kLineEnd;
        }
    }
}

bool SnapshotDefinitions::Take(std::string_view line) {
    if (line.size() < 2 || line.front() != '~') return false;
    Line taken;
    taken.kind = line[1];
    if (std::string_view(kKinds, sizeof kKinds).find(taken.kind) == std::string_view::npos)
        Unreadable(line, "an unknown kind");
    std::string_view rest = line.substr(2);
    if (rest.empty() || rest.front() != '*') Unreadable(line, "no position");
    rest.remove_prefix(1);
    const std::size_t star = rest.find('*');
    const std::string_view position = rest.substr(0, star);
    const auto [end, error] =
        std::from_chars(position.data(), position.data() + position.size(), taken.position);
    if (error != std::errc() || end != position.data() + position.size() || taken.position == 0)
        Unreadable(line, "a position that is not a number");
    rest = star == std::string_view::npos ? std::string_view() : rest.substr(star + 1);
    while (!rest.empty()) {
        const std::size_t next = rest.find('*');
        const std::string_view part = rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
        const std::size_t equals = part.find('=');
        if (equals == std::string_view::npos) Unreadable(line, "a property without \"=\"");
        std::string key = Decoded(part.substr(0, equals));
        std::string value = Decoded(part.substr(equals + 1));
        if (key == "schema")
            taken.schema = std::move(value);
        else
            taken.properties.emplace_back(std::move(key), std::move(value));
    }
    lines_.push_back(std::move(taken));
    return true;
}

void SnapshotDefinitions::ApplyTo(cMetaData& model) const {
    for (const Line& line : lines_) {
        const auto& items = Section(model, line.kind).Items();
        if (line.position > items.size()) continue;
        cMetaDataElement& element = *items[line.position - 1];
        element.Schema = line.schema;
        if (!line.properties.empty())
            element.Definition = std::make_shared<const Properties>(line.properties);
    }
}

}  // namespace tablor

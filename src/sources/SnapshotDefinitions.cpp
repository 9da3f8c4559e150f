#include "sources/SnapshotDefinitions.hpp"

#include <algorithm>
#include <charconv>

#include "support/TablorError.hpp"
#include "support/TextEncoding.hpp"

namespace tablor {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
// Constraints, views, routines and tables are named by the lines older loaders read; indexes,
// triggers (G), sequences and types (Y) only here, each line naming its element.
constexpr char kKinds[] = {'K', 'V', 'R', 'T', 'I', 'G', 'S', 'Y'};
constexpr std::string_view kNamedKinds = "IGSY";

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

template <class Model>
auto& Section(Model& model, char kind) {
    switch (kind) {
        case 'K':
            return static_cast<const Collection<cMetaDataElement>&>(model.Constraints());
        case 'V':
            return static_cast<const Collection<cMetaDataElement>&>(model.Views());
        case 'R':
            return static_cast<const Collection<cMetaDataElement>&>(model.Routines());
        case 'I':
            return static_cast<const Collection<cMetaDataElement>&>(model.Indexes());
        case 'G':
            return static_cast<const Collection<cMetaDataElement>&>(model.Triggers());
        case 'S':
            return static_cast<const Collection<cMetaDataElement>&>(model.Sequences());
        case 'Y':
            return static_cast<const Collection<cMetaDataElement>&>(model.Types());
        default:
            return static_cast<const Collection<cMetaDataElement>&>(model.Tables());
    }
}

std::shared_ptr<cMetaDataElement> AddNamed(cMetaData& model, char kind, std::string name) {
    switch (kind) {
        case 'I':
            return model.Indexes().Add(std::move(name));
        case 'G':
            return model.Triggers().Add(std::move(name));
        case 'S':
            return model.Sequences().Add(std::move(name));
        default:
            return model.Types().Add(std::move(name));
    }
}

void AppendProperties(std::string& out, const Properties& properties) {
    // A definition that holds nothing is still known: one empty part says so.
    if (properties.empty()) out += '*';
    for (const auto& [key, value] : properties) {
        out += '*';
        out += SnapshotDefinitions::Encoded(key);
        out += '=';
        out += SnapshotDefinitions::Encoded(value);
    }
}

// Reads "KEY=VALUE*KEY=VALUE..." (or one empty part: known, empty); `name` and `schema`, where
// given, take those keys out.
Properties ReadProperties(std::string_view line, std::string_view rest, std::string* schema,
                          std::string* name) {
    Properties properties;
    if (rest.empty()) return properties;
    for (;;) {
        const std::size_t next = rest.find('*');
        const std::string_view part = rest.substr(0, next);
        if (!part.empty()) {
            const std::size_t equals = part.find('=');
            if (equals == std::string_view::npos) Unreadable(line, "a property without \"=\"");
            std::string key = SnapshotDefinitions::Decoded(part.substr(0, equals));
            std::string value = SnapshotDefinitions::Decoded(part.substr(equals + 1));
            if (schema != nullptr && key == "schema")
                *schema = std::move(value);
            else if (name != nullptr && key == "name")
                *name = std::move(value);
            else
                properties.emplace_back(std::move(key), std::move(value));
        }
        if (next == std::string_view::npos) break;
        rest.remove_prefix(next + 1);
    }
    // Kept in order of name, as comparing them expects, however the file was edited.
    std::stable_sort(properties.begin(), properties.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return properties;
}

}  // namespace

std::string SnapshotDefinitions::Encoded(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    const auto escape = [&out](unsigned char byte) {
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    };
    for (std::size_t i = 0; i < value.size();) {
        const char c = value[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            // A byte that begins no UTF-8 character would turn the whole file into another
            // encoding on reading: it is escaped as well.
            const std::size_t length = Utf8SequenceLength(value, i);
            if (length == 0) {
                escape(byte);
                ++i;
            } else {
                out.append(value.substr(i, length));
                i += length;
            }
            continue;
        }
        if (c == '%' || c == '*' || c == '=' || byte < 0x20 || byte == 0x7F)
            escape(byte);
        else
            out += c;
        ++i;
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
    if (!model.Engine.empty()) {
        out += "~E*1*engine=";
        out += Encoded(model.Engine);
        out += kLineEnd;
    }
    for (const char kind : kKinds) {
        const bool named = kNamedKinds.find(kind) != std::string_view::npos;
        const auto& items = Section(model, kind).Items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            const cMetaDataElement& element = *items[i];
            if (element.Schema.empty() && !element.Definition && !named) continue;
            out += '~';
            out += kind;
            out += '*';
            out += std::to_string(i + 1);
            out += "*schema=";
            out += Encoded(element.Schema);
            if (named) {
                out += "*name=";
                out += Encoded(element.ObjectName);
            }
            if (element.Definition) AppendProperties(out, *element.Definition);
            out += kLineEnd;
        }
    }
}

void SnapshotDefinitions::AppendColumn(std::string& out, const cField& field) {
    if (field.Definition) AppendProperties(out, *field.Definition);
}

std::shared_ptr<const Properties> SnapshotDefinitions::ColumnDefinition(std::string_view line,
                                                                        std::string_view rest) {
    const auto known = columns_.find(rest);
    if (known != columns_.end()) return known->second;
    // Older files may hold parts of their own here, which their loaders ignored: so does this one.
    std::shared_ptr<const Properties> definition;
    try {
        definition = std::make_shared<const Properties>(ReadProperties(line, rest, nullptr, nullptr));
    } catch (const TablorError&) {
    }
    columns_.emplace(std::string(rest), definition);
    return definition;
}

bool SnapshotDefinitions::Take(std::string_view line) {
    if (line.size() < 2 || line.front() != '~') return false;
    // The engine the structure was read from, which a migration script is written for.
    if (line.substr(0, 4) == "~E*1") {
        for (auto& [key, value] :
             ReadProperties(line, line.substr(std::min<std::size_t>(line.size(), 5)), nullptr, nullptr))
            if (key == "engine") engine_ = std::move(value);
        return true;
    }
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
    const bool named = kNamedKinds.find(taken.kind) != std::string_view::npos;
    // Past the schema (and the name), anything at all means the definition is known.
    const std::size_t parts = static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '*')) + 1;
    taken.defined = parts > (named ? 2u : 1u);
    taken.properties = ReadProperties(line, rest, &taken.schema, named ? &taken.name : nullptr);
    lines_.push_back(std::move(taken));
    return true;
}

void SnapshotDefinitions::ApplyTo(cMetaData& model) const {
    model.Engine = engine_;
    for (const Line& line : lines_) {
        std::shared_ptr<cMetaDataElement> element;
        if (kNamedKinds.find(line.kind) != std::string_view::npos) {
            element = AddNamed(model, line.kind, line.name);
        } else {
            const auto& items = Section(model, line.kind).Items();
            if (line.position > items.size()) continue;
            element = items[line.position - 1];
        }
        element->Schema = line.schema;
        if (line.defined) element->Definition = std::make_shared<const Properties>(line.properties);
    }
}

}  // namespace tablor

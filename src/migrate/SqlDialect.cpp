#include "migrate/SqlDialect.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <unordered_map>

#include "support/TextCase.hpp"

namespace tablor {
namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

// A type as "base(arguments) rest": "timestamp(3) without time zone", "int(10) unsigned",
// "numeric(10,2)[]".
struct TypeParts {
    std::string base;
    std::vector<std::string> arguments;
    std::string rest;
};

TypeParts PartsOf(std::string_view type) {
    TypeParts parts;
    const std::size_t open = type.find('(');
    const std::size_t close = type.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        parts.base = FoldCase(Trimmed(type));
        return parts;
    }
    parts.base = FoldCase(Trimmed(type.substr(0, open)));
    parts.arguments = ListParts(type.substr(open + 1, close - open - 1));
    parts.rest = FoldCase(Trimmed(type.substr(close + 1)));
    return parts;
}

long Number(const std::vector<std::string>& arguments, std::size_t at, long absent) {
    if (at >= arguments.size()) return absent;
    long value = absent;
    const std::string& text = arguments[at];
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

bool OneOf(const std::string& word, std::initializer_list<std::string_view> words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// Where a type stands among those of one family that each hold all values of those below it.
int Rank(const std::string& base, std::initializer_list<std::initializer_list<std::string_view>> ladder) {
    int rank = 0;
    for (const auto& step : ladder) {
        if (OneOf(base, step)) return rank;
        ++rank;
    }
    return -1;
}

constexpr long kUnlimited = 1L << 30;

}  // namespace

std::optional<SqlDialectKind> DialectNamed(std::string_view word) {
    if (word == "postgresql") return SqlDialectKind::PostgreSql;
    if (word == "mysql") return SqlDialectKind::MySql;
    if (word == "sqlserver") return SqlDialectKind::SqlServer;
    return std::nullopt;
}

std::string_view DialectName(SqlDialectKind dialect) {
    switch (dialect) {
        case SqlDialectKind::PostgreSql:
            return "postgresql";
        case SqlDialectKind::MySql:
            return "mysql";
        default:
            return "sqlserver";
    }
}

const std::string* PropertyOf(const std::shared_ptr<const Properties>& definition, std::string_view key) {
    if (!definition) return nullptr;
    for (const auto& [name, value] : *definition)
        if (name == key) return &value;
    return nullptr;
}

std::string PropertyText(const std::shared_ptr<const Properties>& definition, std::string_view key) {
    const std::string* value = PropertyOf(definition, key);
    return value ? *value : std::string();
}

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

std::string WithoutSuffix(std::string text, std::string_view suffix) {
    if (text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
        text.resize(text.size() - suffix.size());
    return text;
}

std::pair<std::string_view, std::size_t> Parenthesized(std::string_view text, std::size_t from) {
    const std::size_t open = text.find('(', from);
    if (open == std::string_view::npos) return {{}, std::string_view::npos};
    int depth = 0;
    for (std::size_t i = open; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')' && --depth == 0) return {text.substr(open + 1, i - open - 1), i + 1};
    }
    return {text.substr(open + 1), text.size()};
}

std::string Enclosed(std::string_view text, std::string_view open, char close) {
    std::string out(open);
    for (const char c : text) {
        out += c;
        if (c == close) out += c;
    }
    return out + close;
}

std::vector<std::string> ListParts(std::string_view list) {
    std::vector<std::string> parts;
    int depth = 0;
    char quote = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= list.size(); ++i) {
        const char c = i < list.size() ? list[i] : ',';
        if (quote != 0) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"' || c == '`') quote = c;
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (c == ',' && depth == 0) {
            const std::string_view part = Trimmed(list.substr(start, i - start));
            if (!part.empty() || i < list.size()) parts.emplace_back(part);
            start = i + 1;
        }
    }
    return parts;
}

bool TypeWidens(std::string_view from, std::string_view to) {
    if (EqualsIgnoreCase(std::string(from), std::string(to))) return true;
    const TypeParts a = PartsOf(from);
    const TypeParts b = PartsOf(to);
    static const std::initializer_list<std::string_view> kCharacters = {
        "character varying", "varchar", "character", "char", "bpchar", "bit varying", "varbit",
        "varbinary",         "binary",  "nvarchar",  "nchar"};
    const bool fromCharacters = OneOf(a.base, kCharacters) || OneOf(a.base, {"text", "tinytext"});
    // Any text fits in PostgreSQL's text, and in MySQL's larger text types.
    if (a.rest == b.rest && fromCharacters &&
        !OneOf(a.base, {"varbinary", "binary", "bit varying", "varbit"})) {
        if (b.base == "text" && b.arguments.empty())
            return a.base == "text" || a.base == "tinytext" || Number(a.arguments, 0, kUnlimited) <= 16383 ||
                   OneOf(a.base, {"character varying", "character", "bpchar"});
        if (OneOf(b.base, {"mediumtext", "longtext"})) return true;
    }
    const int textRank = Rank(a.base, {{"tinytext"}, {"text"}, {"mediumtext"}, {"longtext"}});
    if (textRank >= 0)
        return Rank(b.base, {{"tinytext"}, {"text"}, {"mediumtext"}, {"longtext"}}) >= textRank;
    const int blobRank = Rank(a.base, {{"tinyblob"}, {"blob"}, {"mediumblob"}, {"longblob"}});
    if (blobRank >= 0)
        return Rank(b.base, {{"tinyblob"}, {"blob"}, {"mediumblob"}, {"longblob"}}) >= blobRank;
    if (OneOf(a.base, {"varbinary", "binary"}) && OneOf(b.base, {"mediumblob", "longblob"})) return true;
    const int integerRank = Rank(
        a.base,
        {{"tinyint"}, {"smallint", "int2"}, {"mediumint"}, {"integer", "int", "int4"}, {"bigint", "int8"}});
    if (integerRank >= 0)
        return a.rest == b.rest && Rank(b.base, {{"tinyint"},
                                                 {"smallint", "int2"},
                                                 {"mediumint"},
                                                 {"integer", "int", "int4"},
                                                 {"bigint", "int8"}}) >= integerRank;
    if (OneOf(a.base, {"real", "float4", "float"}) && a.rest == b.rest)
        return OneOf(b.base, {"double precision", "float8", "double", "real", "float4", "float"});
    if (a.base != b.base || a.rest != b.rest) return false;
    if (OneOf(a.base, kCharacters))
        return Number(b.arguments, 0, kUnlimited) >= Number(a.arguments, 0, kUnlimited);
    if (OneOf(a.base, {"numeric", "decimal"})) {
        const long p1 = Number(a.arguments, 0, kUnlimited), s1 = Number(a.arguments, 1, 0);
        const long p2 = Number(b.arguments, 0, kUnlimited), s2 = Number(b.arguments, 1, 0);
        return s2 >= s1 && p2 - s2 >= p1 - s1;
    }
    if (OneOf(a.base, {"timestamp", "time", "timestamptz", "timetz", "datetime", "interval"}))
        return Number(b.arguments, 0, 6) >= Number(a.arguments, 0, 6);
    // MySQL's enum and set keep every value when the new list starts with the old.
    if (OneOf(a.base, {"enum", "set"}))
        return b.arguments.size() >= a.arguments.size() &&
               std::equal(a.arguments.begin(), a.arguments.end(), b.arguments.begin());
    return false;
}

std::string SqlDialect::OwnName(const cMetaDataElement& element) const {
    const std::string table = TableOf(element);
    const std::string& name = element.ObjectName;
    if (!table.empty() && name.size() > table.size() && name.compare(0, table.size(), table) == 0 &&
        name[table.size()] == '.')
        return name.substr(table.size() + 1);
    return name;
}

std::string SqlDialect::TableOf(const cMetaDataElement& element) const {
    return PropertyText(element.Definition, "table");
}

Statements SqlDialect::ReplaceRoutine(const cMetaDataElement& current,
                                      const cMetaDataElement& desired) const {
    Statements out = DropRoutine(current);
    for (auto& statement : CreateRoutine(desired)) out.push_back(std::move(statement));
    return out;
}

namespace {

// The options of a sequence as CREATE and ALTER SEQUENCE take them: all that `definition` tells,
// or, given `current`, those that differ from it.
std::string SequenceOptions(const std::shared_ptr<const Properties>& definition,
                            const std::shared_ptr<const Properties>& current, std::string_view noCycle) {
    std::string out;
    const auto add = [&](const char* property, const std::string& words) {
        const std::string* value = PropertyOf(definition, property);
        if (value == nullptr || (current && PropertyText(current, property) == *value)) return;
        out += " " + words + " " + *value;
    };
    add("type", "AS");
    add("increment", "INCREMENT BY");
    add("minimum", "MINVALUE");
    add("maximum", "MAXVALUE");
    add("start", "START WITH");
    add("cache", "CACHE");
    if (const std::string* cycle = PropertyOf(definition, "cycle");
        cycle != nullptr && (!current || PropertyText(current, "cycle") != *cycle))
        out += " " + std::string(*cycle == "YES" ? "CYCLE" : noCycle);
    return out;
}

}  // namespace

Statements SqlDialect::CreateSequence(const cMetaDataElement& sequence) const {
    return {MigrationStatement::Run("CREATE SEQUENCE " + Qualified(sequence, sequence.ObjectName) +
                                    SequenceOptions(sequence.Definition, nullptr, NoCycle()))};
}
Statements SqlDialect::AlterSequence(const cMetaDataElement& current, const cMetaDataElement& desired) const {
    const std::string options = SequenceOptions(desired.Definition, current.Definition, NoCycle());
    if (options.empty()) return {};
    return {MigrationStatement::Run("ALTER SEQUENCE " + Qualified(desired, desired.ObjectName) + options)};
}
Statements SqlDialect::DropSequence(const cMetaDataElement& sequence) const {
    // A serial column's sequence goes with its table, which the script may have dropped.
    return {
        MigrationStatement::LosesData("DROP SEQUENCE IF EXISTS " + Qualified(sequence, sequence.ObjectName),
                                      "dropping sequence " + sequence.ObjectName + " loses its position")};
}
Statements SqlDialect::CreateType(const cMetaDataElement& type) const {
    return {MigrationStatement::ByHand("this engine has no user-defined type " + type.ObjectName)};
}
Statements SqlDialect::AlterType(const cMetaDataElement& current, const cMetaDataElement&) const {
    return CreateType(current);
}
Statements SqlDialect::DropType(const cMetaDataElement& type) const {
    return CreateType(type);
}

}  // namespace tablor

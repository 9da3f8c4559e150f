#include "migrate/PostgresDialect.hpp"

#include <algorithm>

namespace tablor {
namespace {

// A body as the server wrote it, without the ";" and blanks it may end in.
std::string Body(std::string text) {
    while (!text.empty() && (text.back() == ';' || text.back() == ' ' || text.back() == '\n' ||
                             text.back() == '\r' || text.back() == '\t'))
        text.pop_back();
    return text;
}

// The "'a', 'b'" list of an enum's values, each unquoted.
std::vector<std::string> EnumValues(const std::string& list) {
    std::vector<std::string> values;
    for (const std::string& part : ListParts(list)) {
        std::string value;
        for (std::size_t i = 1; i + 1 < part.size(); ++i) {
            value += part[i];
            if (part[i] == '\'' && part[i + 1] == '\'') ++i;
        }
        values.push_back(std::move(value));
    }
    return values;
}

// The lines of a domain's "constraints" property: NAME DEFINITION each, the name as quote_ident
// writes it.
std::vector<std::pair<std::string, std::string>> DomainConstraints(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        std::size_t nameEnd = 0;
        if (!line.empty() && line[0] == '"') {
            nameEnd = 1;
            while (nameEnd < line.size() &&
                   !(line[nameEnd] == '"' && (nameEnd + 1 >= line.size() || line[nameEnd + 1] != '"')))
                nameEnd += line[nameEnd] == '"' ? 2 : 1;
            ++nameEnd;
        } else {
            nameEnd = std::min(line.find(' '), line.size());
        }
        out.emplace_back(line.substr(0, nameEnd), nameEnd < line.size() ? line.substr(nameEnd + 1) : "");
        start = end + 1;
    }
    return out;
}

bool IsFunction(const cMetaDataElement& routine) {
    return routine.ObjectType == ObjectType::Function;
}

}  // namespace

std::string PostgresDialect::Quote(std::string_view identifier) const {
    return Enclosed(identifier, "\"", '"');
}

std::string PostgresDialect::Literal(std::string_view text) const {
    return Enclosed(text, "'", '\'');
}

std::string PostgresDialect::Qualified(const cMetaDataElement& element, std::string_view name) const {
    return element.Schema.empty() ? Quote(name) : Quote(element.Schema) + "." + Quote(name);
}

std::string PostgresDialect::Opening() const {
    // Bodies name what may be made only later in the script; the server checks them when run.
    return "BEGIN;\nSET LOCAL check_function_bodies = false;\n";
}

std::string PostgresDialect::Closing() const {
    return "COMMIT;\n";
}

std::string PostgresDialect::ColumnSpecification(const cField& column) const {
    const auto& definition = column.Definition;
    std::string out = Quote(column.FieldName) + " " + PropertyText(definition, "type");
    if (const std::string* collation = PropertyOf(definition, "collation")) out += " COLLATE " + *collation;
    if (const std::string* generated = PropertyOf(definition, "generated"))
        out += " GENERATED ALWAYS AS (" + WithoutSuffix(*generated, " STORED") + ") STORED";
    else if (const std::string* identity = PropertyOf(definition, "identity"))
        out += " GENERATED " + *identity + " AS IDENTITY";
    else if (const std::string* value = PropertyOf(definition, "default"))
        out += " DEFAULT " + *value;
    if (PropertyText(definition, "nullable") == "NO") out += " NOT NULL";
    return out;
}

Statements PostgresDialect::ColumnComment(const cMetaDataElement& table, const cField& column,
                                          bool always) const {
    const std::string* comment = PropertyOf(column.Definition, "comment");
    if (comment == nullptr && !always) return {};
    return {MigrationStatement::Run("COMMENT ON COLUMN " + Qualified(table, table.ObjectName) + "." +
                                    Quote(column.FieldName) + " IS " +
                                    (comment ? Literal(*comment) : "NULL"))};
}

Statements PostgresDialect::CreateTable(const cMetaDataElement& table,
                                        const std::vector<const cMetaDataElement*>& keys) const {
    const std::string name = Qualified(table, table.ObjectName);
    std::string sql = "CREATE TABLE " + name;
    if (const std::string* parent = PropertyOf(table.Definition, "partition of")) {
        // The parent is named in the partition's schema, as the catalogue wrote it.
        const bool qualified = parent->find('.') < parent->find(' ');
        sql +=
            " PARTITION OF " + (qualified || table.Schema.empty() ? "" : Quote(table.Schema) + ".") + *parent;
    } else {
        std::string parts;
        for (const auto& column : table.Fields())
            parts += (parts.empty() ? "\n    " : ",\n    ") + ColumnSpecification(*column);
        for (const cMetaDataElement* key : keys)
            parts += (parts.empty() ? "\n    " : ",\n    ") + std::string("CONSTRAINT ") +
                     Quote(OwnName(*key)) + " " + PropertyText(key->Definition, "definition");
        sql += " (" + parts + "\n)";
    }
    if (const std::string* key = PropertyOf(table.Definition, "partition key"))
        sql += " PARTITION BY " + *key;
    Statements out{MigrationStatement::Run(sql)};
    if (const std::string* comment = PropertyOf(table.Definition, "comment"))
        out.push_back(MigrationStatement::Run("COMMENT ON TABLE " + name + " IS " + Literal(*comment)));
    for (const auto& column : table.Fields())
        for (auto& statement : ColumnComment(table, *column, false)) out.push_back(std::move(statement));
    return out;
}

Statements PostgresDialect::DropTable(const cMetaDataElement& table) const {
    return {MigrationStatement::LosesData("DROP TABLE " + Qualified(table, table.ObjectName),
                                          "dropping table " + table.ObjectName + " loses its rows")};
}

Statements PostgresDialect::AlterTable(const cMetaDataElement& current,
                                       const cMetaDataElement& desired) const {
    Statements out;
    if (PropertyText(current.Definition, "partition key") !=
        PropertyText(desired.Definition, "partition key"))
        out.push_back(
            MigrationStatement::ByHand("the partition key of table " + desired.ObjectName +
                                       " changes only when the table is built anew and its rows moved"));
    // A partition is detached and attached again, which the server allows only where its rows
    // fit the new bounds.
    const std::string* was = PropertyOf(current.Definition, "partition of");
    const std::string* will = PropertyOf(desired.Definition, "partition of");
    if ((was ? *was : "") != (will ? *will : "")) {
        const std::string name = Qualified(desired, desired.ObjectName);
        // "PARENT FOR VALUES ..." or "PARENT DEFAULT", the parent as quote_ident wrote it.
        const auto parent = [&](const std::string& text) {
            const std::size_t end = std::min(text.find(" FOR VALUES"), text.find(" DEFAULT"));
            const std::string table = text.substr(0, end);
            return table.find('.') != std::string::npos || desired.Schema.empty()
                       ? table
                       : Quote(desired.Schema) + "." + table;
        };
        if (was != nullptr)
            out.push_back(
                MigrationStatement::Run("ALTER TABLE " + parent(*was) + " DETACH PARTITION " + name));
        if (will != nullptr) {
            const std::size_t bound = std::min(will->find(" FOR VALUES"), will->find(" DEFAULT"));
            out.push_back(MigrationStatement::Run("ALTER TABLE " + parent(*will) + " ATTACH PARTITION " +
                                                  name +
                                                  (bound == std::string::npos ? "" : will->substr(bound))));
        }
    }
    const std::string* comment = PropertyOf(desired.Definition, "comment");
    if (PropertyText(current.Definition, "comment") != PropertyText(desired.Definition, "comment"))
        out.push_back(MigrationStatement::Run("COMMENT ON TABLE " + Qualified(desired, desired.ObjectName) +
                                              " IS " + (comment ? Literal(*comment) : "NULL")));
    return out;
}

Statements PostgresDialect::AddColumn(const cMetaDataElement& table, const cField& column) const {
    Statements out{MigrationStatement::Run("ALTER TABLE " + Qualified(table, table.ObjectName) +
                                           " ADD COLUMN " + ColumnSpecification(column))};
    for (auto& statement : ColumnComment(table, column, false)) out.push_back(std::move(statement));
    return out;
}

Statements PostgresDialect::DropColumn(const cMetaDataElement& table, const cField& column) const {
    return {MigrationStatement::LosesData(
        "ALTER TABLE " + Qualified(table, table.ObjectName) + " DROP COLUMN " + Quote(column.FieldName),
        "dropping column " + table.ObjectName + "." + column.FieldName + " loses its values")};
}

bool PostgresDialect::RebuildsColumn(const cField& current, const cField& desired) const {
    for (const char* property : {"type", "collation", "generated"})
        if (PropertyText(current.Definition, property) != PropertyText(desired.Definition, property))
            return true;
    return false;
}

Statements PostgresDialect::AlterColumn(const cMetaDataElement& table, const cField& current,
                                        const cField& desired) const {
    const auto& was = current.Definition;
    const auto& will = desired.Definition;
    const auto changed = [&](const char* property) {
        return PropertyText(was, property) != PropertyText(will, property);
    };
    const std::string alter = "ALTER TABLE " + Qualified(table, table.ObjectName) + " ALTER COLUMN " +
                              Quote(desired.FieldName) + " ";
    const std::string column = table.ObjectName + "." + desired.FieldName;
    Statements out;
    if (changed("generated")) {
        if (PropertyOf(will, "generated") == nullptr) {
            out.push_back(MigrationStatement::Run(alter + "DROP EXPRESSION"));
        } else {
            // A generated expression is set only as the column is made: its values are computed,
            // so nothing is lost unless the column held values of its own.
            const bool computed = PropertyOf(was, "generated") != nullptr;
            Statements rebuilt = DropColumn(table, current);
            rebuilt.push_back(MigrationStatement::Run("ALTER TABLE " + Qualified(table, table.ObjectName) +
                                                      " ADD COLUMN " + ColumnSpecification(desired)));
            for (auto& statement : rebuilt) {
                if (computed) {
                    statement.heldBack.clear();
                    statement.losesData = false;
                } else {
                    statement = MigrationStatement::LosesData(statement.sql, "column " + column +
                                                                                 " becomes generated: its "
                                                                                 "values are replaced");
                }
                out.push_back(std::move(statement));
            }
            for (auto& statement : ColumnComment(table, desired, false)) out.push_back(std::move(statement));
            return out;
        }
    }
    const std::string& type = PropertyText(will, "type");
    const bool retyped = changed("type") || changed("collation");
    if (retyped) {
        // A default of the old type may not cast to the new one: it is set again afterwards.
        if (PropertyOf(was, "default") != nullptr)
            out.push_back(MigrationStatement::Run(alter + "DROP DEFAULT"));
        std::string sql = alter + "TYPE " + type;
        if (const std::string* collation = PropertyOf(will, "collation")) sql += " COLLATE " + *collation;
        const bool widens = TypeWidens(PropertyText(was, "type"), type);
        // Types of other families may have no cast between them, but each reads its values from text.
        if (changed("type"))
            sql += " USING " + Quote(desired.FieldName) + (widens ? "::" : "::text::") + type;
        if (changed("type") && !widens)
            out.push_back(MigrationStatement::LosesData(sql, "column " + column + " goes from " +
                                                                 PropertyText(was, "type") + " to " + type +
                                                                 ", which may not hold every value"));
        else
            out.push_back(MigrationStatement::Run(sql));
    }
    // An identity needs NOT NULL first; NULL is allowed again only once it is gone.
    const bool notNullFirst = changed("nullable") && PropertyText(will, "nullable") == "NO";
    const std::string nullability = alter + (notNullFirst ? "SET NOT NULL" : "DROP NOT NULL");
    if (notNullFirst) out.push_back(MigrationStatement::Run(nullability));
    if (changed("identity")) {
        const std::string* identity = PropertyOf(will, "identity");
        if (identity == nullptr)
            out.push_back(MigrationStatement::Run(alter + "DROP IDENTITY"));
        else if (PropertyOf(was, "identity") == nullptr)
            out.push_back(MigrationStatement::Run(alter + "ADD GENERATED " + *identity + " AS IDENTITY"));
        else
            out.push_back(MigrationStatement::Run(alter + "SET GENERATED " + *identity));
    }
    if (changed("default") || (retyped && PropertyOf(was, "default") != nullptr)) {
        const std::string* value = PropertyOf(will, "default");
        if (value != nullptr)
            out.push_back(MigrationStatement::Run(alter + "SET DEFAULT " + *value));
        else if (!retyped)
            out.push_back(MigrationStatement::Run(alter + "DROP DEFAULT"));
    }
    if (changed("nullable") && !notNullFirst) out.push_back(MigrationStatement::Run(nullability));
    if (changed("comment"))
        for (auto& statement : ColumnComment(table, desired, true)) out.push_back(std::move(statement));
    return out;
}

Statements PostgresDialect::AddConstraint(const cMetaDataElement& constraint, std::string_view table) const {
    return {MigrationStatement::Run("ALTER TABLE " + Qualified(constraint, table) + " ADD CONSTRAINT " +
                                    Quote(OwnName(constraint)) + " " +
                                    PropertyText(constraint.Definition, "definition"))};
}

Statements PostgresDialect::DropConstraint(const cMetaDataElement& constraint, std::string_view table) const {
    return {MigrationStatement::Run("ALTER TABLE " + Qualified(constraint, table) + " DROP CONSTRAINT " +
                                    Quote(OwnName(constraint)))};
}

Statements PostgresDialect::CreateIndex(const cMetaDataElement& index) const {
    return {MigrationStatement::Run(PropertyText(index.Definition, "definition"))};
}

Statements PostgresDialect::DropIndex(const cMetaDataElement& index) const {
    return {MigrationStatement::Run("DROP INDEX " + Qualified(index, index.ObjectName))};
}

Statements PostgresDialect::CreateView(const cMetaDataElement& view) const {
    const bool materialized = PropertyText(view.Definition, "materialized") == "YES";
    return {MigrationStatement::Run(std::string(materialized ? "CREATE MATERIALIZED VIEW " : "CREATE VIEW ") +
                                    Qualified(view, view.ObjectName) + " AS\n" +
                                    Body(PropertyText(view.Definition, "definition")))};
}

Statements PostgresDialect::DropView(const cMetaDataElement& view) const {
    const bool materialized = PropertyText(view.Definition, "materialized") == "YES";
    return {MigrationStatement::Run(std::string(materialized ? "DROP MATERIALIZED VIEW " : "DROP VIEW ") +
                                    Qualified(view, view.ObjectName))};
}

Statements PostgresDialect::CreateRoutine(const cMetaDataElement& routine) const {
    return {MigrationStatement::Run(Body(PropertyText(routine.Definition, "definition")))};
}

Statements PostgresDialect::DropRoutine(const cMetaDataElement& routine) const {
    return {MigrationStatement::Run(std::string(IsFunction(routine) ? "DROP FUNCTION " : "DROP PROCEDURE ") +
                                    Qualified(routine, routine.ObjectName) + "(" +
                                    PropertyText(routine.Definition, "signature") + ")")};
}

Statements PostgresDialect::ReplaceRoutine(const cMetaDataElement& current,
                                           const cMetaDataElement& desired) const {
    // CREATE OR REPLACE keeps what depends on the routine, where its kind and result stay.
    if (current.ObjectType == desired.ObjectType &&
        PropertyText(current.Definition, "returns") == PropertyText(desired.Definition, "returns"))
        return CreateRoutine(desired);
    return SqlDialect::ReplaceRoutine(current, desired);
}

Statements PostgresDialect::CreateTrigger(const cMetaDataElement& trigger) const {
    return {MigrationStatement::Run(PropertyText(trigger.Definition, "definition"))};
}

Statements PostgresDialect::DropTrigger(const cMetaDataElement& trigger) const {
    return {MigrationStatement::Run("DROP TRIGGER " + Quote(OwnName(trigger)) + " ON " +
                                    Qualified(trigger, TableOf(trigger)))};
}

Statements PostgresDialect::CreateType(const cMetaDataElement& type) const {
    const auto& definition = type.Definition;
    const std::string name = Qualified(type, type.ObjectName);
    if (const std::string* values = PropertyOf(definition, "values"))
        return {MigrationStatement::Run("CREATE TYPE " + name + " AS ENUM (" + *values + ")")};
    if (const std::string* attributes = PropertyOf(definition, "attributes"))
        return {MigrationStatement::Run("CREATE TYPE " + name + " AS (" + *attributes + ")")};
    std::string sql = "CREATE DOMAIN " + name + " AS " + PropertyText(definition, "base type");
    if (const std::string* value = PropertyOf(definition, "default")) sql += " DEFAULT " + *value;
    if (PropertyText(definition, "nullable") == "NO") sql += " NOT NULL";
    for (const auto& [constraint, check] : DomainConstraints(PropertyText(definition, "constraints")))
        sql.append(" CONSTRAINT ").append(constraint).append(" ").append(check);
    return {MigrationStatement::Run(sql)};
}

Statements PostgresDialect::AlterType(const cMetaDataElement& current,
                                      const cMetaDataElement& desired) const {
    const auto& was = current.Definition;
    const auto& will = desired.Definition;
    const std::string name = Qualified(desired, desired.ObjectName);
    Statements out;
    if (PropertyOf(will, "values") != nullptr) {
        const std::vector<std::string> before = EnumValues(PropertyText(was, "values"));
        const std::vector<std::string> after = EnumValues(PropertyText(will, "values"));
        // Values are only added, each beside one that stays, so that the order comes out alike.
        std::vector<std::string> kept;
        for (const std::string& value : after)
            if (std::find(before.begin(), before.end(), value) != before.end()) kept.push_back(value);
        if (kept != before)
            return {MigrationStatement::ByHand("type " + desired.ObjectName +
                                               " loses or reorders enum values, which needs the type made "
                                               "anew and every column of it converted")};
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (std::find(before.begin(), before.end(), after[i]) != before.end()) continue;
            std::string sql = "ALTER TYPE " + name + " ADD VALUE " + Literal(after[i]);
            if (i > 0)
                sql += " AFTER " + Literal(after[i - 1]);
            else if (after.size() > 1)
                sql += " BEFORE " + Literal(after[1]);
            out.push_back(MigrationStatement::Run(sql));
        }
        return out;
    }
    if (PropertyText(was, "base type") != PropertyText(will, "base type") ||
        PropertyText(was, "attributes") != PropertyText(will, "attributes"))
        return {MigrationStatement::ByHand("type " + desired.ObjectName +
                                           " changes its structure, which needs the type made anew and every "
                                           "column of it converted")};
    if (PropertyText(was, "default") != PropertyText(will, "default")) {
        const std::string* value = PropertyOf(will, "default");
        out.push_back(MigrationStatement::Run(
            "ALTER DOMAIN " + name + (value ? " SET DEFAULT " + *value : std::string(" DROP DEFAULT"))));
    }
    if (PropertyText(was, "nullable") != PropertyText(will, "nullable"))
        out.push_back(MigrationStatement::Run(
            "ALTER DOMAIN " + name +
            (PropertyText(will, "nullable") == "NO" ? " SET NOT NULL" : " DROP NOT NULL")));
    const auto before = DomainConstraints(PropertyText(was, "constraints"));
    const auto after = DomainConstraints(PropertyText(will, "constraints"));
    for (const auto& constraint : before)
        if (std::find(after.begin(), after.end(), constraint) == after.end())
            out.push_back(
                MigrationStatement::Run("ALTER DOMAIN " + name + " DROP CONSTRAINT " + constraint.first));
    for (const auto& constraint : after)
        if (std::find(before.begin(), before.end(), constraint) == before.end())
            out.push_back(MigrationStatement::Run("ALTER DOMAIN " + name + " ADD CONSTRAINT " +
                                                  constraint.first + " " + constraint.second));
    return out;
}

Statements PostgresDialect::DropType(const cMetaDataElement& type) const {
    const bool domain = PropertyOf(type.Definition, "base type") != nullptr;
    return {MigrationStatement::Run(std::string(domain ? "DROP DOMAIN " : "DROP TYPE ") +
                                    Qualified(type, type.ObjectName))};
}

}  // namespace tablor

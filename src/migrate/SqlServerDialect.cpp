#include "migrate/SqlServerDialect.hpp"

namespace tablor {
namespace {

const char* RoutineWord(const cMetaDataElement& routine) {
    return routine.ObjectType == ObjectType::Function ? "FUNCTION" : "PROCEDURE";
}

}  // namespace

std::string SqlServerDialect::Quote(std::string_view identifier) const {
    return Enclosed(identifier, "[", ']');
}

std::string SqlServerDialect::Literal(std::string_view text) const {
    return Enclosed(text, "N'", '\'');
}

std::string SqlServerDialect::Qualified(const cMetaDataElement& element, std::string_view name) const {
    return element.Schema.empty() ? Quote(name) : Quote(element.Schema) + "." + Quote(name);
}

std::string SqlServerDialect::Opening() const {
    // A view, routine or trigger must open a batch of its own: each statement is one (GO), and
    // XACT_ABORT rolls the whole transaction back at the first failure.
    return "-- Run with sqlcmd -b, which stops at the first failing batch.\n"
           "SET XACT_ABORT ON;\nGO\nBEGIN TRANSACTION;\nGO\n";
}

std::string SqlServerDialect::Closing() const {
    return "COMMIT TRANSACTION;\nGO\n";
}

std::string SqlServerDialect::Terminated(const std::string& sql) const {
    return sql + "\nGO";
}

std::string SqlServerDialect::QuotedList(std::string_view list) const {
    std::string out;
    for (const std::string& part : ListParts(list)) {
        // "name ASC": the name quoted, the direction kept.
        std::size_t end = part.size();
        for (const char* direction : {" ASC", " DESC"})
            if (part.size() > std::string_view(direction).size() &&
                part.compare(part.size() - std::string_view(direction).size(), std::string::npos,
                             direction) == 0)
                end = part.size() - std::string_view(direction).size();
        out += (out.empty() ? "" : ", ") + Quote(part.substr(0, end)) + part.substr(end);
    }
    return out;
}

std::string SqlServerDialect::ColumnSpecification(const cField& column) const {
    const auto& definition = column.Definition;
    std::string out = Quote(column.FieldName);
    if (const std::string* generated = PropertyOf(definition, "generated")) {
        const bool persisted = WithoutSuffix(*generated, " PERSISTED") != *generated;
        return out + " AS " + WithoutSuffix(*generated, " PERSISTED") + (persisted ? " PERSISTED" : "");
    }
    out += " " + PropertyText(definition, "type");
    if (const std::string* collation = PropertyOf(definition, "collation")) out += " COLLATE " + *collation;
    if (const std::string* identity = PropertyOf(definition, "identity"))
        out += " IDENTITY(" + *identity + ")";
    out += PropertyText(definition, "nullable") == "NO" ? " NOT NULL" : " NULL";
    if (const std::string* value = PropertyOf(definition, "default")) out += " DEFAULT " + *value;
    return out;
}

std::string SqlServerDialect::Description(const cMetaDataElement& table, const std::string* column,
                                          const std::string& action, const std::string* value) const {
    std::string sql = "EXEC sys.sp_" + action + "extendedproperty @name = N'MS_Description'";
    if (value != nullptr) sql += ", @value = " + Literal(*value);
    sql +=
        ", @level0type = N'SCHEMA', @level0name = " + Literal(table.Schema.empty() ? "dbo" : table.Schema) +
        ", @level1type = N'TABLE', @level1name = " + Literal(table.ObjectName);
    if (column != nullptr) sql += ", @level2type = N'COLUMN', @level2name = " + Literal(*column);
    return sql;
}

Statements SqlServerDialect::Comment(const cMetaDataElement& table, const std::string* column,
                                     const std::shared_ptr<const Properties>& was,
                                     const std::shared_ptr<const Properties>& will) const {
    const std::string* before = PropertyOf(was, "comment");
    const std::string* after = PropertyOf(will, "comment");
    if ((before ? *before : "") == (after ? *after : "") && (before == nullptr) == (after == nullptr))
        return {};
    if (after == nullptr) return {MigrationStatement::Run(Description(table, column, "drop", nullptr))};
    return {MigrationStatement::Run(Description(table, column, before ? "update" : "add", after))};
}

std::string SqlServerDialect::KeyClause(const cMetaDataElement& constraint) const {
    const std::string definition = PropertyText(constraint.Definition, "definition");
    const std::string name = "CONSTRAINT " + Quote(OwnName(constraint)) + " ";
    if (StartsWith(definition, "PRIMARY KEY") || StartsWith(definition, "UNIQUE")) {
        const auto [columns, end] = Parenthesized(definition);
        return name + definition.substr(0, definition.find(" (")) + " (" + QuotedList(columns) + ")";
    }
    if (StartsWith(definition, "FOREIGN KEY")) {
        const std::size_t references = definition.find(" REFERENCES ");
        const auto [columns, end] = Parenthesized(definition);
        if (references == std::string::npos) return name + definition;
        const std::size_t tableEnd = definition.find(" (", references + 12);
        std::string table = definition.substr(references + 12, tableEnd - references - 12);
        const std::size_t dot = table.find('.');
        table = dot == std::string::npos ? Qualified(constraint, table)
                                         : Quote(table.substr(0, dot)) + "." + Quote(table.substr(dot + 1));
        const auto [referenced, after] = Parenthesized(definition, tableEnd);
        return name + "FOREIGN KEY (" + QuotedList(columns) + ") REFERENCES " + table + " (" +
               QuotedList(referenced) + ")" +
               (after < definition.size() ? definition.substr(after) : std::string());
    }
    return name + definition;
}

Statements SqlServerDialect::CreateTable(const cMetaDataElement& table,
                                         const std::vector<const cMetaDataElement*>& keys) const {
    std::string parts;
    for (const auto& column : table.Fields())
        parts += (parts.empty() ? "\n    " : ",\n    ") + ColumnSpecification(*column);
    for (const cMetaDataElement* key : keys)
        parts += (parts.empty() ? "\n    " : ",\n    ") + KeyClause(*key);
    Statements out{
        MigrationStatement::Run("CREATE TABLE " + Qualified(table, table.ObjectName) + " (" + parts + "\n)")};
    for (auto& statement : Comment(table, nullptr, nullptr, table.Definition))
        out.push_back(std::move(statement));
    for (const auto& column : table.Fields())
        for (auto& statement : Comment(table, &column->FieldName, nullptr, column->Definition))
            out.push_back(std::move(statement));
    return out;
}

Statements SqlServerDialect::DropTable(const cMetaDataElement& table) const {
    return {MigrationStatement::LosesData("DROP TABLE " + Qualified(table, table.ObjectName),
                                          "dropping table " + table.ObjectName + " loses its rows")};
}

Statements SqlServerDialect::AlterTable(const cMetaDataElement& current,
                                        const cMetaDataElement& desired) const {
    return Comment(desired, nullptr, current.Definition, desired.Definition);
}

Statements SqlServerDialect::AddColumn(const cMetaDataElement& table, const cField& column) const {
    Statements out{MigrationStatement::Run("ALTER TABLE " + Qualified(table, table.ObjectName) + " ADD " +
                                           ColumnSpecification(column))};
    for (auto& statement : Comment(table, &column.FieldName, nullptr, column.Definition))
        out.push_back(std::move(statement));
    return out;
}

Statements SqlServerDialect::DropColumn(const cMetaDataElement& table, const cField& column) const {
    // A column's default is a constraint of its own, which must go first.
    return {MigrationStatement::LosesData(
        DropDefault(table, column.FieldName) + "\nALTER TABLE " + Qualified(table, table.ObjectName) +
            " DROP COLUMN " + Quote(column.FieldName),
        "dropping column " + table.ObjectName + "." + column.FieldName + " loses its values")};
}

std::string SqlServerDialect::DropDefault(const cMetaDataElement& table, const std::string& column) const {
    // The default's name was likely made up by the server: it is looked up where the script runs.
    const std::string object = Literal(Qualified(table, table.ObjectName));
    return "DECLARE @default sysname = (SELECT d.name FROM sys.default_constraints d WHERE "
           "d.parent_object_id = "
           "OBJECT_ID(" +
           object + ") AND d.parent_column_id = COLUMNPROPERTY(OBJECT_ID(" + object + "), " +
           Literal(column) + ", 'ColumnId'));\nIF @default IS NOT NULL EXEC(N'ALTER TABLE ' + " +
           Literal(Qualified(table, table.ObjectName)) + " + N' DROP CONSTRAINT ' + QUOTENAME(@default));";
}

bool SqlServerDialect::RebuildsColumn(const cField& current, const cField& desired) const {
    for (const char* property : {"type", "collation", "generated"})
        if (PropertyText(current.Definition, property) != PropertyText(desired.Definition, property))
            return true;
    return false;
}

Statements SqlServerDialect::AlterColumn(const cMetaDataElement& table, const cField& current,
                                         const cField& desired) const {
    const auto& was = current.Definition;
    const auto& will = desired.Definition;
    const auto changed = [&](const char* property) {
        return PropertyText(was, property) != PropertyText(will, property);
    };
    const std::string name = Qualified(table, table.ObjectName);
    const std::string column = table.ObjectName + "." + desired.FieldName;
    Statements out;
    if (changed("generated") || changed("identity")) {
        // Neither a computed column nor an identity is altered in place: the column is made anew.
        const bool computed =
            PropertyOf(was, "generated") != nullptr && PropertyOf(will, "generated") != nullptr;
        const std::string sql = DropDefault(table, current.FieldName) + "\nALTER TABLE " + name +
                                " DROP COLUMN " + Quote(current.FieldName) + "\nGO\nALTER TABLE " + name +
                                " ADD " + ColumnSpecification(desired);
        if (computed)
            out.push_back(MigrationStatement::Run(sql));
        else
            out.push_back(MigrationStatement::LosesData(sql, "column " + column +
                                                                 " is made anew for its identity or computed "
                                                                 "value: its values are replaced"));
        return out;
    }
    if (changed("default") && PropertyOf(was, "default") != nullptr)
        out.push_back(MigrationStatement::Run(DropDefault(table, desired.FieldName)));
    if (changed("type") || changed("collation") || changed("nullable")) {
        std::string sql = "ALTER TABLE " + name + " ALTER COLUMN " + Quote(desired.FieldName) + " " +
                          PropertyText(will, "type");
        if (const std::string* collation = PropertyOf(will, "collation")) sql += " COLLATE " + *collation;
        sql += PropertyText(will, "nullable") == "NO" ? " NOT NULL" : " NULL";
        const std::string from = PropertyText(was, "type");
        const std::string to = PropertyText(will, "type");
        if (!TypeWidens(from, to))
            out.push_back(MigrationStatement::LosesData(sql, "column " + column + " goes from " + from +
                                                                 " to " + to +
                                                                 ", which may not hold every value"));
        else
            out.push_back(MigrationStatement::Run(sql));
    }
    if (const std::string* value = PropertyOf(will, "default"); value != nullptr && changed("default"))
        out.push_back(MigrationStatement::Run("ALTER TABLE " + name + " ADD DEFAULT " + *value + " FOR " +
                                              Quote(desired.FieldName)));
    for (auto& statement : Comment(table, &desired.FieldName, was, will)) out.push_back(std::move(statement));
    return out;
}

Statements SqlServerDialect::AddConstraint(const cMetaDataElement& constraint, std::string_view table) const {
    return {MigrationStatement::Run("ALTER TABLE " + Qualified(constraint, table) + " ADD " +
                                    KeyClause(constraint))};
}

Statements SqlServerDialect::DropConstraint(const cMetaDataElement& constraint,
                                            std::string_view table) const {
    return {MigrationStatement::Run("ALTER TABLE " + Qualified(constraint, table) + " DROP CONSTRAINT " +
                                    Quote(OwnName(constraint)))};
}

Statements SqlServerDialect::CreateIndex(const cMetaDataElement& index) const {
    // "[UNIQUE ]KIND (a ASC, b DESC)[ INCLUDE (c)][ WHERE filter]"
    const std::string definition = PropertyText(index.Definition, "definition");
    const std::size_t open = definition.find(" (");
    const auto [columns, end] = Parenthesized(definition);
    std::string sql = "CREATE " + definition.substr(0, open) + " INDEX " + Quote(OwnName(index)) + " ON " +
                      Qualified(index, TableOf(index)) + " (" + QuotedList(columns) + ")";
    std::string rest = end < definition.size() ? definition.substr(end) : std::string();
    if (StartsWith(rest, " INCLUDE (")) {
        const auto [included, after] = Parenthesized(rest);
        sql += " INCLUDE (" + QuotedList(included) + ")";
        rest = after < rest.size() ? rest.substr(after) : std::string();
    }
    return {MigrationStatement::Run(sql + rest)};
}

Statements SqlServerDialect::DropIndex(const cMetaDataElement& index) const {
    return {MigrationStatement::Run("DROP INDEX " + Quote(OwnName(index)) + " ON " +
                                    Qualified(index, TableOf(index)))};
}

Statements SqlServerDialect::CreateView(const cMetaDataElement& view) const {
    return {MigrationStatement::Run(PropertyText(view.Definition, "definition"))};
}

Statements SqlServerDialect::DropView(const cMetaDataElement& view) const {
    return {MigrationStatement::Run("DROP VIEW " + Qualified(view, view.ObjectName))};
}

Statements SqlServerDialect::CreateRoutine(const cMetaDataElement& routine) const {
    Statements out{MigrationStatement::Run(PropertyText(routine.Definition, "definition"))};
    return out;
}

Statements SqlServerDialect::DropRoutine(const cMetaDataElement& routine) const {
    return {MigrationStatement::Run(std::string("DROP ") + RoutineWord(routine) + " " +
                                    Qualified(routine, routine.ObjectName))};
}

Statements SqlServerDialect::CreateTrigger(const cMetaDataElement& trigger) const {
    return {MigrationStatement::Run(PropertyText(trigger.Definition, "definition"))};
}

Statements SqlServerDialect::DropTrigger(const cMetaDataElement& trigger) const {
    return {MigrationStatement::Run("DROP TRIGGER " + Qualified(trigger, OwnName(trigger)))};
}

Statements SqlServerDialect::CreateSequence(const cMetaDataElement& sequence) const {
    return {MigrationStatement::Run("CREATE SEQUENCE " + Qualified(sequence, sequence.ObjectName) + " " +
                                    PropertyText(sequence.Definition, "definition"))};
}

Statements SqlServerDialect::AlterSequence(const cMetaDataElement& current,
                                           const cMetaDataElement& desired) const {
    // ALTER SEQUENCE takes neither AS nor START WITH: the sequence is made anew.
    Statements out = DropSequence(current);
    for (auto& statement : CreateSequence(desired))
        out.push_back(MigrationStatement::LosesData(
            statement.sql, "sequence " + desired.ObjectName + " is made anew and starts over"));
    return out;
}

Statements SqlServerDialect::DropSequence(const cMetaDataElement& sequence) const {
    return {
        MigrationStatement::LosesData("DROP SEQUENCE " + Qualified(sequence, sequence.ObjectName),
                                      "dropping sequence " + sequence.ObjectName + " loses its position")};
}

Statements SqlServerDialect::CreateType(const cMetaDataElement& type) const {
    return {MigrationStatement::Run(
        "CREATE TYPE " + Qualified(type, type.ObjectName) + " FROM " + PropertyText(type.Definition, "type") +
        (PropertyText(type.Definition, "nullable") == "NO" ? " NOT NULL" : " NULL"))};
}

Statements SqlServerDialect::AlterType(const cMetaDataElement&, const cMetaDataElement& desired) const {
    return {MigrationStatement::ByHand("alias type " + desired.ObjectName +
                                       " cannot be altered: it is made anew once no column uses it")};
}

Statements SqlServerDialect::DropType(const cMetaDataElement& type) const {
    return {MigrationStatement::Run("DROP TYPE " + Qualified(type, type.ObjectName))};
}

}  // namespace tablor

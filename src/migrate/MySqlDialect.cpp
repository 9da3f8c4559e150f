#include "migrate/MySqlDialect.hpp"

namespace tablor {
namespace {

bool IsFunction(const cMetaDataElement& routine) {
    return routine.ObjectType == ObjectType::Function;
}

}  // namespace

std::string MySqlDialect::Quote(std::string_view identifier) const {
    return Enclosed(identifier, "`", '`');
}

std::string MySqlDialect::Literal(std::string_view text) const {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') out += '\'';
        if (c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

// The script runs in the database it is given to: names are never qualified.
std::string MySqlDialect::Qualified(const cMetaDataElement&, std::string_view name) const {
    return Quote(name);
}

std::string MySqlDialect::Opening() const {
    return "-- MySQL commits each DDL statement as it runs: this script is no transaction, and a\n"
           "-- failure part-way leaves the statements before it applied.\n";
}

std::string MySqlDialect::Closing() const {
    return {};
}

std::string MySqlDialect::Terminated(const std::string& sql) const {
    // A body of several statements reaches the server whole only behind another delimiter.
    const bool body = StartsWith(sql, "CREATE FUNCTION") || StartsWith(sql, "CREATE PROCEDURE") ||
                      StartsWith(sql, "CREATE TRIGGER");
    if (!body || sql.find(';') == std::string::npos) return sql + ";";
    for (const char* delimiter : {"$$", "//", "$$$$", "@@@@"})
        if (sql.find(delimiter) == std::string::npos)
            return "DELIMITER " + std::string(delimiter) + "\n" + sql + delimiter + "\nDELIMITER ;";
    return sql + ";";
}

std::string MySqlDialect::TableOf(const cMetaDataElement& element) const {
    if (const std::string* table = PropertyOf(element.Definition, "table")) return *table;
    // Constraints are named TABLE.NAME.
    const std::size_t dot = element.ObjectName.find('.');
    return dot == std::string::npos ? std::string() : element.ObjectName.substr(0, dot);
}

std::string MySqlDialect::QuotedList(std::string_view list) const {
    std::string out;
    for (const std::string& part : ListParts(list)) {
        // "name(prefix) DESC": the name quoted, what follows kept.
        const std::size_t end = std::min(part.find('('), part.find(' '));
        out += (out.empty() ? "" : ", ") + Quote(part.substr(0, end)) +
               (end == std::string::npos ? std::string() : part.substr(end));
    }
    return out;
}

std::string MySqlDialect::ColumnSpecification(const cField& column) const {
    const auto& definition = column.Definition;
    std::string out = Quote(column.FieldName) + " " + PropertyText(definition, "type");
    if (const std::string* collation = PropertyOf(definition, "collation")) out += " COLLATE " + *collation;
    if (const std::string* generated = PropertyOf(definition, "generated")) {
        const bool stored =
            generated->size() >= 7 && generated->compare(generated->size() - 7, 7, " STORED") == 0;
        out += " GENERATED ALWAYS AS (" + WithoutSuffix(WithoutSuffix(*generated, " STORED"), " VIRTUAL") +
               ")" + (stored ? " STORED" : " VIRTUAL");
    } else {
        out += PropertyText(definition, "nullable") == "NO" ? " NOT NULL" : " NULL";
        if (const std::string* value = PropertyOf(definition, "default")) out += " DEFAULT " + *value;
        if (PropertyOf(definition, "identity") != nullptr) out += " AUTO_INCREMENT";
        if (const std::string* update = PropertyOf(definition, "on update")) out += " ON UPDATE " + *update;
    }
    if (const std::string* comment = PropertyOf(definition, "comment"))
        out += " COMMENT " + Literal(*comment);
    return out;
}

std::string MySqlDialect::ConstraintClause(const cMetaDataElement& constraint) const {
    const std::string definition = PropertyText(constraint.Definition, "definition");
    const std::string name = Quote(OwnName(constraint));
    if (StartsWith(definition, "PRIMARY KEY"))
        return "PRIMARY KEY (" + QuotedList(Parenthesized(definition).first) + ")";
    if (StartsWith(definition, "UNIQUE"))
        return "CONSTRAINT " + name + " UNIQUE (" + QuotedList(Parenthesized(definition).first) + ")";
    if (StartsWith(definition, "FOREIGN KEY")) {
        // FOREIGN KEY (a) REFERENCES t (b) ON DELETE ... ON UPDATE ...
        const std::size_t references = definition.find(" REFERENCES ");
        const std::size_t tableStart = references + 12;
        const std::size_t tableEnd = definition.find(" (", tableStart);
        const std::size_t rulesAt = definition.find(" ON DELETE ", tableEnd);
        if (references == std::string::npos || tableEnd == std::string::npos)
            return "CONSTRAINT " + name + " " + definition;
        std::string table = definition.substr(tableStart, tableEnd - tableStart);
        const std::size_t dot = table.find('.');
        table = dot == std::string::npos ? Quote(table)
                                         : Quote(table.substr(0, dot)) + "." + Quote(table.substr(dot + 1));
        return "CONSTRAINT " + name + " FOREIGN KEY (" + QuotedList(Parenthesized(definition).first) +
               ") REFERENCES " + table + " (" + QuotedList(Parenthesized(definition, tableEnd).first) + ")" +
               (rulesAt == std::string::npos ? std::string() : definition.substr(rulesAt));
    }
    return "CONSTRAINT " + name + " " + definition;
}

Statements MySqlDialect::CreateTable(const cMetaDataElement& table,
                                     const std::vector<const cMetaDataElement*>& keys) const {
    std::string parts;
    for (const auto& column : table.Fields())
        parts += (parts.empty() ? "\n    " : ",\n    ") + ColumnSpecification(*column);
    // An AUTO_INCREMENT column must be a key as the table is made.
    for (const cMetaDataElement* key : keys)
        parts += (parts.empty() ? "\n    " : ",\n    ") + ConstraintClause(*key);
    std::string sql = "CREATE TABLE " + Quote(table.ObjectName) + " (" + parts + "\n)";
    if (const std::string* comment = PropertyOf(table.Definition, "comment"))
        sql += " COMMENT = " + Literal(*comment);
    return {MigrationStatement::Run(sql)};
}

Statements MySqlDialect::DropTable(const cMetaDataElement& table) const {
    return {MigrationStatement::LosesData("DROP TABLE " + Quote(table.ObjectName),
                                          "dropping table " + table.ObjectName + " loses its rows")};
}

Statements MySqlDialect::AlterTable(const cMetaDataElement& current, const cMetaDataElement& desired) const {
    if (PropertyText(current.Definition, "comment") == PropertyText(desired.Definition, "comment")) return {};
    return {MigrationStatement::Run("ALTER TABLE " + Quote(desired.ObjectName) +
                                    " COMMENT = " + Literal(PropertyText(desired.Definition, "comment")))};
}

Statements MySqlDialect::AddColumn(const cMetaDataElement& table, const cField& column) const {
    return {MigrationStatement::Run("ALTER TABLE " + Quote(table.ObjectName) + " ADD COLUMN " +
                                    ColumnSpecification(column))};
}

Statements MySqlDialect::DropColumn(const cMetaDataElement& table, const cField& column) const {
    return {MigrationStatement::LosesData(
        "ALTER TABLE " + Quote(table.ObjectName) + " DROP COLUMN " + Quote(column.FieldName),
        "dropping column " + table.ObjectName + "." + column.FieldName + " loses its values")};
}

bool MySqlDialect::RebuildsColumn(const cField& current, const cField& desired) const {
    for (const char* property : {"type", "collation", "generated"})
        if (PropertyText(current.Definition, property) != PropertyText(desired.Definition, property))
            return true;
    return false;
}

Statements MySqlDialect::AlterColumn(const cMetaDataElement& table, const cField& current,
                                     const cField& desired) const {
    const std::string column = table.ObjectName + "." + desired.FieldName;
    const std::string* wasGenerated = PropertyOf(current.Definition, "generated");
    const std::string* willGenerated = PropertyOf(desired.Definition, "generated");
    if (willGenerated != nullptr && (wasGenerated == nullptr || *wasGenerated != *willGenerated)) {
        // A generated column is made anew: its values are computed, so nothing is lost unless
        // the column held values of its own.
        Statements out = DropColumn(table, current);
        out.push_back(MigrationStatement::Run("ALTER TABLE " + Quote(table.ObjectName) + " ADD COLUMN " +
                                              ColumnSpecification(desired)));
        for (auto& statement : out) {
            if (wasGenerated != nullptr)
                statement = MigrationStatement::Run(statement.sql);
            else
                statement =
                    MigrationStatement::LosesData(statement.sql, "column " + column +
                                                                     " becomes generated: its values are "
                                                                     "replaced");
        }
        return out;
    }
    const std::string sql =
        "ALTER TABLE " + Quote(table.ObjectName) + " MODIFY COLUMN " + ColumnSpecification(desired);
    const std::string from = PropertyText(current.Definition, "type");
    const std::string to = PropertyText(desired.Definition, "type");
    if (!TypeWidens(from, to))
        return {MigrationStatement::LosesData(sql, "column " + column + " goes from " + from + " to " + to +
                                                       ", which may not hold every value")};
    return {MigrationStatement::Run(sql)};
}

Statements MySqlDialect::AddConstraint(const cMetaDataElement& constraint, std::string_view table) const {
    return {MigrationStatement::Run("ALTER TABLE " + Quote(table) + " ADD " + ConstraintClause(constraint))};
}

Statements MySqlDialect::DropConstraint(const cMetaDataElement& constraint, std::string_view table) const {
    const std::string definition = PropertyText(constraint.Definition, "definition");
    const std::string alter = "ALTER TABLE " + Quote(table);
    if (StartsWith(definition, "PRIMARY KEY")) return {MigrationStatement::Run(alter + " DROP PRIMARY KEY")};
    if (StartsWith(definition, "UNIQUE"))
        return {MigrationStatement::Run(alter + " DROP INDEX " + Quote(OwnName(constraint)))};
    if (StartsWith(definition, "FOREIGN KEY"))
        return {MigrationStatement::Run(alter + " DROP FOREIGN KEY " + Quote(OwnName(constraint)))};
    return {MigrationStatement::Run(alter + " DROP CONSTRAINT " + Quote(OwnName(constraint)))};
}

Statements MySqlDialect::CreateIndex(const cMetaDataElement& index) const {
    // "[UNIQUE ]TYPE (columns)"
    std::string definition = PropertyText(index.Definition, "definition");
    const bool unique = StartsWith(definition, "UNIQUE ");
    if (unique) definition.erase(0, 7);
    const std::string method = definition.substr(0, definition.find(" ("));
    std::string sql = "CREATE ";
    if (unique) sql += "UNIQUE ";
    if (method == "FULLTEXT" || method == "SPATIAL") sql += method + " ";
    sql += "INDEX " + Quote(OwnName(index)) + " ON " + Quote(TableOf(index)) + " (" +
           QuotedList(Parenthesized(definition).first) + ")";
    if (method == "BTREE" || method == "HASH") sql += " USING " + method;
    return {MigrationStatement::Run(sql)};
}

Statements MySqlDialect::DropIndex(const cMetaDataElement& index) const {
    return {MigrationStatement::Run("DROP INDEX " + Quote(OwnName(index)) + " ON " + Quote(TableOf(index)))};
}

Statements MySqlDialect::CreateView(const cMetaDataElement& view) const {
    std::string sql =
        "CREATE VIEW " + Quote(view.ObjectName) + " AS " + PropertyText(view.Definition, "definition");
    if (const std::string* option = PropertyOf(view.Definition, "check option"))
        sql += " WITH " + *option + " CHECK OPTION";
    return {MigrationStatement::Run(sql)};
}

Statements MySqlDialect::DropView(const cMetaDataElement& view) const {
    return {MigrationStatement::Run("DROP VIEW " + Quote(view.ObjectName))};
}

Statements MySqlDialect::CreateRoutine(const cMetaDataElement& routine) const {
    const auto& definition = routine.Definition;
    std::string sql = std::string(IsFunction(routine) ? "CREATE FUNCTION " : "CREATE PROCEDURE ") +
                      Quote(routine.ObjectName) + "(" + PropertyText(definition, "parameters") + ")";
    if (IsFunction(routine)) sql += " RETURNS " + PropertyText(definition, "returns");
    if (const std::string* comment = PropertyOf(definition, "comment"))
        sql += "\nCOMMENT " + Literal(*comment);
    sql += "\n" + PropertyText(definition, "definition");
    return {MigrationStatement::Run(sql)};
}

Statements MySqlDialect::DropRoutine(const cMetaDataElement& routine) const {
    return {MigrationStatement::Run(std::string(IsFunction(routine) ? "DROP FUNCTION " : "DROP PROCEDURE ") +
                                    Quote(routine.ObjectName))};
}

Statements MySqlDialect::CreateTrigger(const cMetaDataElement& trigger) const {
    // "BEFORE INSERT FOR EACH ROW statement"
    const std::string definition = PropertyText(trigger.Definition, "definition");
    const std::size_t each = definition.find(" FOR EACH ");
    if (each == std::string::npos)
        return {MigrationStatement::ByHand("the definition of trigger " + trigger.ObjectName +
                                           " cannot be read")};
    return {MigrationStatement::Run("CREATE TRIGGER " + Quote(OwnName(trigger)) + " " +
                                    definition.substr(0, each) + " ON " + Quote(TableOf(trigger)) +
                                    definition.substr(each))};
}

Statements MySqlDialect::DropTrigger(const cMetaDataElement& trigger) const {
    return {MigrationStatement::Run("DROP TRIGGER " + Quote(OwnName(trigger)))};
}

}  // namespace tablor

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "sources/DefinitionQueries.hpp"

namespace tablor {
namespace {

// The server writes every table a view, routine or trigger names as `database`.`table`: with it
// left in, two databases of one schema would always differ.
std::string WithoutDatabaseName(const std::string& text) {
    return "REPLACE(" + text + ", CONCAT('`', REPLACE(DATABASE(), '`', '``'), '`.'), '')";
}

using Properties = std::vector<std::pair<const char*, std::string>>;

// The most properties one kind has: every part gives as many values.
constexpr std::size_t kValues = 8;

// The PROPERTY and VALUE, VALUE2, ... columns of a row of `properties` (DefinitionQueries.hpp),
// PROPERTY naming them up to the last that has a value, so that the reader fetches no more, and
// none where `when` does not hold; `filled` gets the list of the value columns.
std::string PropertyColumns(const Properties& properties, std::string& filled, const std::string& when = {}) {
    std::string names, values, property;
    std::size_t count = 0;
    for (const auto& [key, value] : properties) {
        const std::string label = count == 0 ? "VALUE" : "VALUE" + std::to_string(count + 1);
        names += (count == 0 ? std::string() : std::string(1, kPropertySeparator)) + key;
        values.append(", ").append(value).append(" AS ").append(label);
        filled.append(count == 0 ? "" : ", ").append(label);
        property.insert(
            0, std::string(" WHEN (").append(value).append(") IS NOT NULL THEN '").append(names).append("'"));
        ++count;
    }
    for (; count < kValues; ++count) values += ", NULL AS VALUE" + std::to_string(count + 1);
    return "CASE" + (when.empty() ? std::string() : " WHEN NOT (" + when + ") THEN NULL") + property +
           " END AS PROPERTY" + values;
}

// The objects `from` (its tables and WHERE) lists, of the kind the expression `kind` gives, a row
// each with their properties, read in one scan of it: a row a property, unpivoted here, took the
// server longer than the scan. Objects the catalogue tells nothing of are left out.
// Objects of the kind `keep` are listed even so.
std::string Part(const std::string& kind, const std::string& schema, const std::string& name,
                 const std::string& column, const std::string& from, const Properties& properties,
                 const std::string& keep = {}) {
    std::string filled;
    const std::string columns = PropertyColumns(properties, filled);
    return "SELECT * FROM (SELECT " + kind + " AS OBJECT_KIND, " + schema + " AS OBJECT_SCHEMA, " + name +
           " AS OBJECT_NAME, " + column + " AS COLUMN_NAME, " + columns + " FROM " + from +
           ") p WHERE COALESCE(" + filled + ") IS NOT NULL" +
           (keep.empty() ? std::string() : " OR p.OBJECT_KIND = '" + keep + "'");
}

// A column of COLUMNS c, whose table's collation is t.TABLE_COLLATION.
Properties ColumnProperties() {
    return {{"type", "c.COLUMN_TYPE"},
            {"nullable", "c.IS_NULLABLE"},
            // MariaDB shows a nullable column without a default as NULL (and a text 'NULL' quoted),
            // where MySQL shows nothing: alike, as no default. A generated column's expression is
            // empty (MySQL) or NULL (MariaDB) for other columns; MySQL's EXTRA says GENERATED of
            // an expression default too.
            {"default",
             "CASE WHEN COALESCE(c.GENERATION_EXPRESSION, '') = ''"
             " THEN NULLIF(c.COLUMN_DEFAULT, 'NULL') END"},
            {"identity", "CASE WHEN c.EXTRA LIKE '%auto_increment%' THEN 'auto_increment' END"},
            {"generated",
             "CASE WHEN COALESCE(c.GENERATION_EXPRESSION, '') <> '' THEN CONCAT(c.GENERATION_EXPRESSION, "
             "CASE WHEN c.EXTRA LIKE '%STORED%' OR c.EXTRA LIKE '%PERSISTENT%' THEN ' STORED' "
             "ELSE ' VIRTUAL' END) END"},
            {"on update",
             "CASE WHEN c.EXTRA LIKE '%on update %' THEN SUBSTRING(c.EXTRA, LOCATE('on update ', "
             "c.EXTRA) + 10) END"},
            // Only a collation other than the table's, which the column gets when it names none.
            {"collation", "CASE WHEN c.COLLATION_NAME <> t.TABLE_COLLATION THEN c.COLLATION_NAME END"},
            {"comment", "NULLIF(c.COLUMN_COMMENT, '')"}};
}

// The rows of one catalogue view of this database, read once: joined as it is, the server fills
// the view again for every row it is joined to (seconds for a thousand tables).
std::string Once(const std::string& columns, const std::string& view, const std::string& alias,
                 const std::string& more = {}, const std::string& schema = "TABLE_SCHEMA") {
    return "(SELECT DISTINCT " + columns + " FROM INFORMATION_SCHEMA." + view + " WHERE " + schema +
           " = DATABASE()" + more + ") " + alias;
}

}  // namespace

// The server narrows each INFORMATION_SCHEMA scan by the schema named in WHERE: every part names
// DATABASE(), as the column the server looks at (a trigger's table's schema, not its own). Constraints,
// indexes and triggers are named TABLE.NAME, their names being unique per table only.
std::string MySqlDefinitionsQuery() {
    // Every index, with its columns as a key tells them: a primary key (always named PRIMARY) or
    // unique constraint is its unique index, and told as the constraint only.
    const std::string indexes =
        "(SELECT s.TABLE_SCHEMA, s.TABLE_NAME, s.INDEX_NAME, s.NON_UNIQUE,"
        " GROUP_CONCAT(s.COLUMN_NAME ORDER BY s.SEQ_IN_INDEX SEPARATOR ', ') AS COLUMNS, "
        "CONCAT(s.INDEX_TYPE, ' (', "
        "GROUP_CONCAT(CONCAT(s.COLUMN_NAME, COALESCE(CONCAT('(', s.SUB_PART, ')'), ''), CASE WHEN "
        "s.COLLATION = 'D' THEN ' DESC' ELSE '' END) ORDER BY s.SEQ_IN_INDEX SEPARATOR ', '), ')') AS "
        "DEFINITION FROM INFORMATION_SCHEMA.STATISTICS s WHERE s.TABLE_SCHEMA = DATABASE()"
        " GROUP BY s.TABLE_SCHEMA, s.TABLE_NAME, s.INDEX_NAME, s.NON_UNIQUE, s.INDEX_TYPE) x";
    const std::string parts[] = {
        // A sequence is a table to the catalogue, which tells its name only: a row of no property
        // names it for the query of its options (SchemaQueries::sequenceDefinitions).
        Part("CASE WHEN t.TABLE_TYPE = 'SEQUENCE' THEN 'sequence' ELSE 'table' END", "t.TABLE_SCHEMA",
             "t.TABLE_NAME", "''",
             "INFORMATION_SCHEMA.TABLES t WHERE t.TABLE_SCHEMA = DATABASE() AND t.TABLE_TYPE <> 'VIEW'",
             {{"comment", "CASE WHEN t.TABLE_TYPE <> 'SEQUENCE' THEN NULLIF(t.TABLE_COMMENT, '') END"}},
             "sequence"),
        Part("CASE WHEN x.NON_UNIQUE = 0 THEN 'constraint' ELSE 'index' END", "x.TABLE_SCHEMA",
             "CONCAT(x.TABLE_NAME, '.', x.INDEX_NAME)", "''", indexes,
             {{"table", "CASE WHEN x.NON_UNIQUE <> 0 THEN x.TABLE_NAME END"},
              {"definition",
               "CASE WHEN x.NON_UNIQUE <> 0 THEN x.DEFINITION WHEN x.INDEX_NAME = 'PRIMARY' THEN "
               "CONCAT('PRIMARY KEY (', x.COLUMNS, ')') ELSE CONCAT('UNIQUE (', x.COLUMNS, ')') END"}}),
        // Without SHOW VIEW a login reads a view's definition as empty, which would compare as a
        // change: the read stops instead, naming the view.
        Part(
            "CASE WHEN v.VIEW_DEFINITION = '' THEN 'withheld' ELSE 'view' END", "v.TABLE_SCHEMA",
            "v.TABLE_NAME", "''", "INFORMATION_SCHEMA.VIEWS v WHERE v.TABLE_SCHEMA = DATABASE()",
            {{"definition",
              "CASE WHEN v.VIEW_DEFINITION = '' THEN CONCAT('This login may not read the definition of the "
              "view ', v.TABLE_NAME, ', and perhaps of other views: SHOW VIEW is not granted to it. Grant it "
              "SHOW VIEW, or read as a login that has it.') ELSE " +
                  WithoutDatabaseName("v.VIEW_DEFINITION") + " END"},
             {"check option", "NULLIF(v.CHECK_OPTION, 'NONE')"}}),
        // Routines are not overloaded here: a changed parameter list is the routine changed, not
        // another routine.
        Part("'routine'", "r.ROUTINE_SCHEMA", "r.SPECIFIC_NAME", "''",
             "INFORMATION_SCHEMA.ROUTINES r LEFT JOIN (SELECT SPECIFIC_NAME, ROUTINE_TYPE, "
             "GROUP_CONCAT(CONCAT_WS(' ', PARAMETER_MODE, PARAMETER_NAME, DTD_IDENTIFIER) "
             "ORDER BY ORDINAL_POSITION SEPARATOR ', ') AS LIST FROM " +
                 Once("*", "PARAMETERS", "p", " AND ORDINAL_POSITION > 0", "SPECIFIC_SCHEMA") +
                 " GROUP BY SPECIFIC_NAME, ROUTINE_TYPE) a "
                 "ON a.SPECIFIC_NAME = r.SPECIFIC_NAME AND a.ROUTINE_TYPE = r.ROUTINE_TYPE WHERE "
                 "r.ROUTINE_SCHEMA = DATABASE()",
             {{"parameters", "COALESCE(a.LIST, '')"},
              {"returns", "CASE WHEN r.ROUTINE_TYPE = 'FUNCTION' THEN r.DTD_IDENTIFIER END"},
              {"definition", WithoutDatabaseName("r.ROUTINE_DEFINITION")},
              {"comment", "NULLIF(r.ROUTINE_COMMENT, '')"}}),
        Part("'trigger'", "g.TRIGGER_SCHEMA", "CONCAT(g.EVENT_OBJECT_TABLE, '.', g.TRIGGER_NAME)", "''",
             "INFORMATION_SCHEMA.TRIGGERS g WHERE g.TRIGGER_SCHEMA = DATABASE() AND g.EVENT_OBJECT_SCHEMA = "
             "DATABASE()",
             {{"table", "g.EVENT_OBJECT_TABLE"},
              {"definition",
               "CONCAT(g.ACTION_TIMING, ' ', g.EVENT_MANIPULATION, ' FOR EACH ', "
               "g.ACTION_ORIENTATION, ' ', " +
                   WithoutDatabaseName("g.ACTION_STATEMENT") + ")"}}),
    };
    std::string query;
    for (const std::string& part : parts) query += (query.empty() ? "" : " UNION ALL ") + part;
    return query;
}

// A foreign key's rows from the two views that tell of it, gathered by grouping instead of
// joining: the server guesses two rows for each view and joins them pair by pair (2,000
// constraints took 0.5 s). The key columns' view, the larger, is read after the one of foreign
// keys and only where that has rows.
std::string MySqlForeignKeyDefinitionsQuery() {
    const std::string keys =
        "(SELECT TABLE_NAME, CONSTRAINT_NAME,"
        " GROUP_CONCAT(COLUMN_NAME ORDER BY ORDINAL_POSITION SEPARATOR ', ') AS COLUMNS,"
        " GROUP_CONCAT(REFERENCED_COLUMN_NAME ORDER BY ORDINAL_POSITION SEPARATOR ', ') AS REFERENCED,"
        " MAX(REFERENCED_TABLE) AS REFERENCED_TABLE, MAX(DELETE_RULE) AS DELETE_RULE,"
        " MAX(UPDATE_RULE) AS UPDATE_RULE FROM ("
        "SELECT STRAIGHT_JOIN r.TABLE_NAME, r.CONSTRAINT_NAME, k.COLUMN_NAME, k.ORDINAL_POSITION,"
        " k.REFERENCED_COLUMN_NAME, CASE WHEN k.REFERENCED_TABLE_SCHEMA = DATABASE() THEN"
        " k.REFERENCED_TABLE_NAME ELSE CONCAT(k.REFERENCED_TABLE_SCHEMA, '.', k.REFERENCED_TABLE_NAME) END"
        " AS REFERENCED_TABLE, r.DELETE_RULE, r.UPDATE_RULE FROM " +
        Once("TABLE_NAME, CONSTRAINT_NAME, DELETE_RULE, UPDATE_RULE", "REFERENTIAL_CONSTRAINTS", "r", {},
             "CONSTRAINT_SCHEMA") +
        " JOIN " +
        Once(
            "TABLE_NAME, CONSTRAINT_NAME, COLUMN_NAME, ORDINAL_POSITION, REFERENCED_COLUMN_NAME, "
            "REFERENCED_TABLE_SCHEMA, REFERENCED_TABLE_NAME",
            "KEY_COLUMN_USAGE", "k", " AND CONSTRAINT_SCHEMA = DATABASE()") +
        " ON k.TABLE_NAME = r.TABLE_NAME AND k.CONSTRAINT_NAME = r.CONSTRAINT_NAME"
        ") u GROUP BY TABLE_NAME, CONSTRAINT_NAME) f";
    return Part(
        "'constraint'", "DATABASE()", "CONCAT(f.TABLE_NAME, '.', f.CONSTRAINT_NAME)", "''", keys,
        {{"definition",
          "CONCAT('FOREIGN KEY (', f.COLUMNS, ') REFERENCES ', f.REFERENCED_TABLE, ' (', f.REFERENCED, "
          "') ON DELETE ', f.DELETE_RULE, ' ON UPDATE ', f.UPDATE_RULE)"}});
}

// A check's text joins its constraint by every column the two views share: the catalogue, schema
// and name, and in MariaDB, where a check's name is unique per table only, the table (MySQL's
// view of checks has no table).
std::string MySqlCheckDefinitionsQuery() {
    return Part("'constraint'", "DATABASE()", "CONCAT(k.TABLE_NAME, '.', k.CONSTRAINT_NAME)", "''",
                "(SELECT STRAIGHT_JOIN TABLE_NAME, CONSTRAINT_NAME, CHECK_CLAUSE FROM " +
                    Once("*", "CHECK_CONSTRAINTS", "c0", {}, "CONSTRAINT_SCHEMA") + " NATURAL JOIN " +
                    Once("*", "TABLE_CONSTRAINTS", "t0",
                         " AND CONSTRAINT_SCHEMA = DATABASE() AND CONSTRAINT_TYPE = 'CHECK'") +
                    ") k",
                {{"definition", "CONCAT('CHECK (', k.CHECK_CLAUSE, ')')"}});
}

// Each sequence read as the one-row table it is. A name comes back in hexadecimal, which no
// character of it can break out of, and as an identifier quoted with its backquotes doubled.
std::string MySqlSequenceDefinitionsQuery(const std::vector<std::string>& names) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string query;
    for (const std::string& name : names) {
        std::string hex, quoted;
        for (const char c : name) {
            hex += kDigits[static_cast<unsigned char>(c) >> 4];
            hex += kDigits[static_cast<unsigned char>(c) & 0x0F];
            if (c == '`') quoted += '`';
            quoted += c;
        }
        query.append(query.empty() ? "" : " UNION ALL ")
            .append("SELECT 'sequence' AS OBJECT_KIND, DATABASE() AS OBJECT_SCHEMA, CONVERT(X'")
            .append(hex)
            .append(
                "' USING utf8mb4) AS OBJECT_NAME, '' AS COLUMN_NAME, "
                "'start|increment|minimum|maximum|cache|cycle' AS PROPERTY, start_value AS VALUE, "
                "increment AS VALUE2, minimum_value AS VALUE3, maximum_value AS VALUE4, cache_size AS "
                "VALUE5, "
                "CASE WHEN cycle_option = 1 THEN 'YES' ELSE 'NO' END AS VALUE6 FROM `")
            .append(quoted)
            .append("`");
    }
    return query;
}

// The names query's columns (SchemaQueries::columns) with each column's properties: the view of
// columns is the dearest the definitions read, and this way it is read once. A view's columns
// show what their tables' columns are (their defaults even): each change to a table would be told
// again for every view over it, so they have none; the view's definition tells. Tables are
// matched letter for letter, as the names are read: two whose names differ in case alone would
// otherwise give each column twice.
std::string MySqlColumnsWithDefinitionsQuery() {
    std::string filled;
    return "SELECT c.TABLE_SCHEMA, c.TABLE_NAME, c.COLUMN_NAME, c.CHARACTER_MAXIMUM_LENGTH, c.DATA_TYPE, "
           "c.ORDINAL_POSITION, " +
           PropertyColumns(ColumnProperties(), filled, "t.TABLE_KEY IS NOT NULL") +
           " FROM INFORMATION_SCHEMA.COLUMNS c LEFT JOIN " +
           Once("CAST(TABLE_NAME AS BINARY) AS TABLE_KEY, TABLE_COLLATION", "TABLES", "t",
                " AND TABLE_TYPE <> 'VIEW'") +
           " ON t.TABLE_KEY = CAST(c.TABLE_NAME AS BINARY) WHERE c.TABLE_SCHEMA = DATABASE()";
}

}  // namespace tablor

#include "sources/SchemaQueries.hpp"

#include "sources/DefinitionQueries.hpp"

namespace tablor {
namespace {

// PostgreSQL lists its own catalogue, and temporary and toast schemas, in the same views.
std::string UserSchemasOnly(const std::string& column) {
    return column + " NOT IN ('pg_catalog', 'information_schema') AND " + column + " NOT LIKE 'pg\\_%'";
}

// What CREATE EXTENSION installed (citext brings a hundred functions) is not the user's. The
// views carry no oids, so relations are matched by schema and name; constraints and columns go
// with their table.
std::string NotFromAnExtension() {
    return " AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_depend d JOIN pg_catalog.pg_class c ON c.oid = "
           "d.objid JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE d.classid = "
           "'pg_catalog.pg_class'::regclass AND d.deptype = 'e' AND n.nspname = TABLE_SCHEMA AND c.relname = "
           "TABLE_NAME)";
}

// Routines are overloaded: the oid at the end of SPECIFIC_NAME tells them apart (the name part
// may be cut short).
std::string RoutineNotFromAnExtension() {
    return " AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_depend d WHERE d.classid = "
           "'pg_catalog.pg_proc'::regclass AND d.deptype = 'e' AND d.objid::text = "
           "substring(SPECIFIC_NAME from '_([0-9]+)$'))";
}

}  // namespace

SchemaQueries SchemaQueries::For(DatabaseEngine engine) {
    if (engine == DatabaseEngine::MySql) {
        // The database named on connecting is the only schema read. Constraint names are unique
        // per table only (every primary key is PRIMARY), so each is named TABLE.NAME.
        return {
            "SELECT TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = "
            "DATABASE() AND TABLE_TYPE IN ('BASE TABLE', 'VIEW', 'SYSTEM VERSIONED')",
            "SELECT CONSTRAINT_SCHEMA, CONCAT(TABLE_NAME, '.', CONSTRAINT_NAME) AS CONSTRAINT_NAME, "
            // The server narrows its scan by TABLE_SCHEMA only: without it, it opens the tables of
            // every database.
            "CONSTRAINT_TYPE FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = DATABASE() "
            "AND TABLE_SCHEMA = DATABASE()",
            "SELECT TABLE_SCHEMA, TABLE_NAME FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_SCHEMA = DATABASE()",
            // Packages (in Oracle mode) are no procedures or functions.
            "SELECT ROUTINE_SCHEMA, ROUTINE_NAME, ROUTINE_TYPE, SPECIFIC_NAME FROM "
            "INFORMATION_SCHEMA.ROUTINES WHERE "
            "ROUTINE_SCHEMA = DATABASE() AND ROUTINE_TYPE IN ('PROCEDURE', 'FUNCTION')",
            "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, CHARACTER_MAXIMUM_LENGTH, DATA_TYPE FROM "
            "INFORMATION_SCHEMA.COLUMNS WHERE TABLE_SCHEMA = DATABASE() ORDER BY TABLE_NAME, "
            "ORDINAL_POSITION",
            false,
            {},
            {},
            MySqlDefinitionsQuery(),
            MySqlColumnsWithDefinitionsQuery(),
            {{"FOREIGN KEY", MySqlForeignKeyDefinitionsQuery()}, {"CHECK", MySqlCheckDefinitionsQuery()}},
            MySqlSequenceDefinitionsQuery,
        };
    }
    if (engine == DatabaseEngine::PostgreSql) {
        return {
            "SELECT * FROM INFORMATION_SCHEMA.TABLES WHERE " + UserSchemasOnly("TABLE_SCHEMA") +
                NotFromAnExtension(),
            // Each NOT NULL column shows up as a CHECK constraint named like 2200_16386_1_not_null.
            "SELECT * FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS WHERE " + UserSchemasOnly("TABLE_SCHEMA") +
                " AND NOT (CONSTRAINT_TYPE = 'CHECK' AND CONSTRAINT_NAME ~ "
                "'^[0-9]+_[0-9]+_[0-9]+_not_null$')" +
                NotFromAnExtension(),
            "SELECT * FROM INFORMATION_SCHEMA.VIEWS WHERE " + UserSchemasOnly("TABLE_SCHEMA") +
                NotFromAnExtension(),
            // Aggregates have no ROUTINE_TYPE.
            "SELECT * FROM INFORMATION_SCHEMA.ROUTINES WHERE " + UserSchemasOnly("ROUTINE_SCHEMA") +
                " AND ROUTINE_TYPE IS NOT NULL" + RoutineNotFromAnExtension(),
            // A type of an extension's (citext) is named by its own name, not "USER-DEFINED".
            "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME,CHARACTER_MAXIMUM_LENGTH,CASE WHEN DATA_TYPE = "
            "'USER-DEFINED' THEN UDT_NAME ELSE DATA_TYPE END AS DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS "
            "WHERE " +
                UserSchemasOnly("TABLE_SCHEMA") + NotFromAnExtension() +
                " ORDER BY TABLE_NAME,ORDINAL_POSITION",
            true,
            "SELECT * FROM (SELECT schemaname AS TABLE_SCHEMA, matviewname AS TABLE_NAME FROM "
            "pg_catalog.pg_matviews) m WHERE " +
                UserSchemasOnly("TABLE_SCHEMA") + NotFromAnExtension(),
            // What INFORMATION_SCHEMA.TABLES asks of a relation before it lists it.
            "SELECT * FROM (SELECT n.nspname AS TABLE_SCHEMA, c.relname AS TABLE_NAME FROM "
            "pg_catalog.pg_class c "
            "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE c.relkind IN ('r', 'v', 'f', "
            "'p') "
            "AND NOT (pg_catalog.pg_has_role(c.relowner, 'USAGE') OR pg_catalog.has_table_privilege(c.oid, "
            "'SELECT, INSERT, UPDATE, DELETE, TRUNCATE, REFERENCES, TRIGGER') OR "
            "pg_catalog.has_any_column_privilege(c.oid, 'SELECT, INSERT, UPDATE, REFERENCES'))) h WHERE " +
                UserSchemasOnly("TABLE_SCHEMA") + NotFromAnExtension(),
            PostgresDefinitionsQuery(),
            PostgresColumnsWithDefinitionsQuery(),
            {},
            nullptr,
        };
    }
    return {
        "SELECT * FROM INFORMATION_SCHEMA.TABLES",
        "SELECT * FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS",
        "SELECT * FROM INFORMATION_SCHEMA.VIEWS",
        "SELECT * FROM INFORMATION_SCHEMA.ROUTINES",
        "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME,CHARACTER_MAXIMUM_LENGTH,DATA_TYPE FROM "
        "INFORMATION_SCHEMA.COLUMNS ORDER BY TABLE_NAME,ORDINAL_POSITION",
        true,
        {},
        {},
        SqlServerDefinitionsQuery(),
        {},
        {},
        nullptr,
    };
}

}  // namespace tablor

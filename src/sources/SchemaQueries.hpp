#pragma once
#include <string>
#include <vector>

#include "sources/DatabaseSession.hpp"

namespace tablor {

// The five catalogue queries a live source reads a database's structure with.
struct SchemaQueries {
    std::string tables;
    std::string constraints;
    std::string views;
    std::string routines;
    // Carries TABLE_SCHEMA so that same-named tables in two schemas keep their own columns.
    std::string columns;
    // Whether each object's schema is one of the database's own: not so for MySQL, where the
    // database is the schema, so that two databases pair their objects by name.
    bool recordsSchemas = true;
    // Where the server has them (PostgreSQL): the materialized views, which the views above
    // leave out, and the tables and views the login holds no privilege on, which every query
    // above leaves out without a word (TABLE_SCHEMA, TABLE_NAME each). Empty: not asked.
    std::string materializedViews;
    std::string hiddenRelations;
    // What the catalogue tells beyond names, one property a row: OBJECT_KIND, OBJECT_SCHEMA,
    // OBJECT_NAME, COLUMN_NAME, PROPERTY, VALUE (SchemaRows::Property). Empty: the engine's
    // definitions are not read, and stay unknown.
    std::string definitions;
    // Where not empty, read instead of `columns` with definitions: the same rows, each also
    // giving its column's properties as a definitions row does (PROPERTY, VALUE, VALUE2, ...;
    // no PROPERTY, none), so that the catalogue's columns are scanned once. Unsorted: each row
    // gives ORDINAL_POSITION after DATA_TYPE, by which the reader puts a table's columns in order
    // (sorting on the server took longer than reading).
    std::string columnsWithDefinitions;
    // Definitions queries read only where the constraints read hold one of the type named
    // (CONSTRAINT_TYPE, as FOREIGN KEY): the views that tell of them cost a scan of every table
    // even when they have nothing to tell.
    struct ConstraintDefinitions {
        std::string constraintType;
        std::string query;
    };
    std::vector<ConstraintDefinitions> constraintDefinitions;
    // Where the catalogue names sequences but does not tell their options (MariaDB): the
    // definitions query lists each by a row of kind sequence, and this builds the query that reads
    // the options of those named.
    std::string (*sequenceDefinitions)(const std::vector<std::string>& names) = nullptr;

    // SQL Server's as they always were (the columns query gaining TABLE_SCHEMA); PostgreSQL's
    // read the same views, limited to user schemas and without the entries that SQL Server
    // does not list there (NOT NULL checks, aggregates); MySQL's read the connected database.
    static SchemaQueries For(DatabaseEngine engine);
};

}  // namespace tablor

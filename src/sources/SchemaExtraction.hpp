#pragma once
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/cMetaData.hpp"
#include "sources/DatabaseSession.hpp"
#include "sources/SchemaQueries.hpp"
#include "support/UserPrompt.hpp"

namespace tablor {

// What the catalogue queries gave, as kept for the model: the reader process sends these rows
// back to the program, which fills the model from them.
struct SchemaRows {
    struct Table {
        std::string schema;
        std::string name;
        std::string modelName;  // qualified or not
    };
    struct Named {
        std::string schema;
        std::string name;  // as the model names it: qualified or not
    };
    struct Routine {
        std::string schema;
        std::string name;
        bool isFunction = false;
        std::string specificName;  // tells overloads apart: their definitions are found by it
    };
    // One property of a definition. `kind` is table, column, view, routine, constraint, index,
    // trigger, sequence or type; `name` the object's own name (a routine's specific name, a
    // column's table), `column` a column's name.
    struct Property {
        std::string kind, schema, name, column, property, value;
    };

    std::vector<Table> tables;
    std::vector<Named> constraints;
    std::vector<Named> views;
    std::vector<Routine> routines;
    // Whether the schemas above are the database's own (SchemaQueries::recordsSchemas); the
    // model's elements get them only then.
    bool schemasKnown = false;
    // Columns by schema and table name (TableKey), each list in query order.
    std::unordered_map<std::string, std::vector<cField>> columns;
    // Whether definitions were read: every object and column then has one, if empty.
    bool definitionsRead = false;
    // Whether the model names objects SCHEMA.NAME (SchemaExtraction::SetQualifyNames).
    bool namesQualified = false;
    std::vector<Property> properties;

    // Schema and table name in one key; names hold no NUL.
    static std::string TableKey(std::string_view schema, std::string_view name);
};

// Reads one database's structure with the five catalogue queries, then fills a schema model
// from what was read. Reading first means a query the server refuses, or a connection lost
// half-way, leaves the model as it was.
class SchemaExtraction {
  public:
    // Section names handed to UserPrompt::Progress.
    static constexpr std::string_view kTables = "tables";
    static constexpr std::string_view kConstraints = "constraints";
    static constexpr std::string_view kViews = "views";
    static constexpr std::string_view kRoutines = "routines";
    static constexpr std::string_view kColumns = "columns";
    static constexpr std::string_view kDefinitions = "definitions";

    // Far more rows than any real schema has in one query: a server sending more has gone
    // wrong, and reading on would only fill memory.
    static constexpr long kRowLimit = 10'000'000;

    explicit SchemaExtraction(long rowLimit = kRowLimit) : rowLimit_(rowLimit) {}
    // Rows read elsewhere, ready for Apply.
    explicit SchemaExtraction(SchemaRows rows) : rows_(std::move(rows)), rowLimit_(kRowLimit) {}

    // Only these schemas are read, names matched exactly as the server stores them; none given,
    // every schema the queries return. Applies from the next Read.
    void SetSchemas(std::vector<std::string> schemas) { schemas_ = std::move(schemas); }
    // Names every table, view, routine and constraint SCHEMA.NAME, so that same-named objects
    // of two schemas stay apart. Applies from the next Read.
    void SetQualifyNames(bool qualify) { qualifyNames_ = qualify; }
    // Reads the definitions query too, where the engine has one. Applies from the next Read.
    void SetReadDefinitions(bool read) { readDefinitions_ = read; }

    // Runs the queries in the order tables, constraints, views, routines, columns, one record
    // set at a time, and keeps what the model needs of each row. Progress is reported after
    // every row, kept or not. Rows of schemas not asked for are dropped as they are read.
    // Failures are DatabaseErrors, a query with more rows than the limit among them.
    void Read(DatabaseSession& session, const SchemaQueries& queries, UserPrompt& prompt);

    // Clears and refills the sections one at a time, in the order tables (each with its
    // columns, in query order), constraints, views, routines, then with definitions read the
    // indexes, triggers, sequences and types, and every object's and column's definition. Two columns of one
    // table whose names differ only in letter case fail with the collection's duplicate-key error; the
    // sections reached so far keep what they were given.
    void Apply(cMetaData& model) const;

    // What the last Read kept.
    const SchemaRows& Rows() const noexcept { return rows_; }

  private:
    // Gives every object and column its definition, and makes the indexes, triggers, sequences
    // and types.
    void ApplyDefinitions(cMetaData& model) const;
    // Whether a row of this schema is kept.
    bool Wanted(std::string_view schema) const;
    // The name the model gets for an object of a schema.
    std::string ModelName(std::string_view schema, std::string name) const;

    SchemaRows rows_;
    long rowLimit_;
    std::vector<std::string> schemas_;
    bool qualifyNames_ = false;
    bool readDefinitions_ = false;
};

}  // namespace tablor

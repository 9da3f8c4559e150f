#pragma once
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/cMetaData.hpp"
#include "sources/DatabaseSession.hpp"
#include "sources/SchemaQueries.hpp"
#include "support/UserPrompt.hpp"

namespace tablor {

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

    // Far more rows than any real schema has in one query: a server sending more has gone
    // wrong, and reading on would only fill memory.
    static constexpr long kRowLimit = 10'000'000;

    explicit SchemaExtraction(long rowLimit = kRowLimit) : rowLimit_(rowLimit) {}

    // Runs the queries in the order tables, constraints, views, routines, columns, one record
    // set at a time, and keeps what the model needs of each row. Progress is reported after
    // every row. Failures are DatabaseErrors, a query with more rows than the limit among them.
    void Read(DatabaseSession& session, const SchemaQueries& queries, UserPrompt& prompt);

    // Clears and refills the sections one at a time, in the order tables (each with its
    // columns, in query order), constraints, views, routines. Two columns of one table whose
    // names differ only in letter case fail with the collection's duplicate-key error; the
    // sections reached so far keep what they were given.
    void Apply(cMetaData& model) const;

  private:
    struct TableRow {
        std::string schema;
        std::string name;
    };
    struct RoutineRow {
        std::string name;
        bool isFunction = false;
    };

    std::vector<TableRow> tables_;
    std::vector<std::string> constraints_;
    std::vector<std::string> views_;
    std::vector<RoutineRow> routines_;
    // Columns by schema and table name, each list in query order.
    std::unordered_map<std::string, std::vector<cField>> columns_;
    long rowLimit_;
};

}  // namespace tablor

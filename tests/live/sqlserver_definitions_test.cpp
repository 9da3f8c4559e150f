// Definitions from SQL Server's catalogue, end to end: the command line compares two scripted
// servers through the real FreeTDS driver, each answering the catalogue queries from its own
// rows of the sys.* views.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "ReaderProcess.hpp"
#include "SqlServerCatalogue.hpp"
#include "TdsResponder.hpp"
#include "cli/CliApp.hpp"
#include "sources/SchemaQueries.hpp"

namespace tablor::testing {
namespace {

using Catalogue = SqlServerCatalogue;

// Customers and Orders, keyed under the names the server makes up, with a foreign key, a check,
// a default, a described column, an index, a view and a procedure.
Catalogue Base() {
    Catalogue c;
    c.objects = {
        {1, "dbo", "Customers", "U"},
        {2, "dbo", "Orders", "U"},
        {3, "dbo", "PK__Customer__A4AE64B8D3C1E0F2", "PK", 1},
        {4, "dbo", "PK__Orders__C3905BAF5AAE4BD6", "PK", 2},
        {5, "dbo", "FK_Orders_Customers", "F", 2},
        {6, "dbo", "CK__Orders__Qty__3B75D760", "C", 2},
        {7, "dbo", "DF__Orders__Qty__3C69FB99", "D", 2},
        {8, "dbo", "OpenOrders", "V", 0, "CREATE VIEW OpenOrders AS\nSELECT Id FROM Orders WHERE Qty > 0"},
        {9, "dbo", "GetOrders", "P", 0, "CREATE PROCEDURE GetOrders AS\nSELECT Id, Qty FROM Orders"}};
    c.columns = {{1, 1, "Id", "int", 4, 10, 0, false},        {1, 2, "Name", "varchar", 50},
                 {2, 1, "Id", "int", 4, 10, 0, false},        {2, 2, "CustomerId", "int", 4, 10, 0, false},
                 {2, 3, "Qty", "decimal", 9, 12, 4, true, 7}, {2, 4, "Note", "nvarchar", 400}};
    c.defaults = {{7, "((0))"}};
    c.checks = {{6, "([Qty]>=(0))"}};
    c.foreignKeys = {{5, 1, "NO_ACTION", "NO_ACTION", {{2, 1}}}};
    c.keyConstraints = {{3, 1}, {4, 1}};
    c.indexes = {{1, 1, "PK__Customer__A4AE64B8D3C1E0F2", "CLUSTERED", true, true, false, {}, {{1, 1}}},
                 {2, 1, "PK__Orders__C3905BAF5AAE4BD6", "CLUSTERED", true, true, false, {}, {{1, 1}}},
                 {2, 2, "IX_Orders_Customer", "NONCLUSTERED", false, false, false, {}, {{2, 1}, {3, 0}}}};
    c.properties = {{2, 4, "MS_Description", "What the customer asked for"}};
    return c;
}

cli::CliEnvironment Environment() {
    OdbcOptions drivers;
    drivers.sqlServerDriver = "FreeTDS";
    cli::CliEnvironment environment;
    environment.reader = ReaderProcess(drivers);
    environment.passwordVariable = "secret";
    return environment;
}

// Answers every catalogue query from the catalogue's rows.
void Serve(TdsResponder& server, const Catalogue& catalogue) {
    const SchemaQueries queries = SchemaQueries::For(DatabaseEngine::SqlServer);
    server.addResult(queries.tables, catalogue.Tables());
    server.addResult(queries.constraints, catalogue.Constraints());
    server.addResult(queries.views, catalogue.Views());
    server.addResult(queries.routines, catalogue.Routines());
    server.addResult(queries.columns, catalogue.Columns());
    auto definitions = catalogue.Definitions(queries.definitions);
    if (auto* rows = std::get_if<ResultSet>(&definitions))
        server.addResult(queries.definitions, std::move(*rows));
    else
        server.addError(queries.definitions, 50000, std::get<std::string>(definitions));
}

struct Outcome {
    int status;
    std::vector<std::string> messages;
    std::string err;
};

// `compare --definitions` of a server holding `first` and one holding `second`, as JSON.
Outcome Compare(const Catalogue& first, const Catalogue& second, std::vector<std::string> flags = {}) {
    TdsResponder servers[2];
    Serve(servers[0], first);
    Serve(servers[1], second);
    std::vector<std::string> args = {"compare"};
    for (const TdsResponder& server : servers)
        args.push_back("sqlserver://tablor@127.0.0.1:" + std::to_string(server.port()) + "?database=Sales");
    args.insert(args.end(), {"--definitions", "--format", "json"});
    args.insert(args.end(), flags.begin(), flags.end());
    std::ostringstream out, err;
    Outcome outcome{cli::RunCli(args, out, err, Environment()), {}, err.str()};
    if (outcome.status == cli::kTrouble) return outcome;
    const auto parsed = nlohmann::json::parse(out.str());
    // Each side by its place, not by the port it happened to get.
    for (const auto& record : parsed["differences"]) {
        std::string message =
            record["ObjectName"].get<std::string>() + ": " + record["Message"].get<std::string>();
        for (const auto& [side, place] : {std::pair{"object1", "first"}, std::pair{"object2", "second"}})
            if (const auto at = message.find(parsed[side].get<std::string>()); at != std::string::npos)
                message.replace(at, parsed[side].get<std::string>().size(), place);
        outcome.messages.push_back(message);
    }
    return outcome;
}

// The batches of `migrate --allow-drop` from a server holding `first` to one holding `second`,
// without comments and the transaction around them.
std::vector<std::string> Migrate(const Catalogue& first, const Catalogue& second) {
    TdsResponder servers[2];
    Serve(servers[0], first);
    Serve(servers[1], second);
    std::vector<std::string> args = {"migrate"};
    for (const TdsResponder& server : servers)
        args.push_back("sqlserver://tablor@127.0.0.1:" + std::to_string(server.port()) + "?database=Sales");
    args.push_back("--allow-drop");
    std::ostringstream out, err;
    if (cli::RunCli(args, out, err, Environment()) == cli::kTrouble) return {err.str()};
    std::vector<std::string> batches;
    std::istringstream lines(out.str());
    std::string batch;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("--", 0) == 0) continue;
        if (line != "GO") {
            batch += (batch.empty() ? "" : "\n") + line;
            continue;
        }
        batch.erase(0, batch.find_first_not_of('\n'));
        if (batch != "SET XACT_ABORT ON;" && batch != "BEGIN TRANSACTION;" && batch != "COMMIT TRANSACTION;")
            batches.push_back(batch);
        batch.clear();
    }
    return batches;
}

Catalogue::Object& Object(Catalogue& c, int id) {
    return *std::find_if(c.objects.begin(), c.objects.end(),
                         [id](const auto& o) { return o.object_id == id; });
}

// Each single change to the catalogue gives the one difference it makes, and the T-SQL that
// makes the base like the changed one, batch by batch (each the start of one).
TEST(SqlServerDefinitions, EachChangeGivesItsOneDifference) {
    struct Case {
        std::string change;
        std::function<void(Catalogue&)> apply;
        std::string message;
        std::vector<std::string> script;
    };
    const std::string view = "DROP VIEW [dbo].[OpenOrders]";
    const std::string viewAgain = "CREATE VIEW OpenOrders AS\nSELECT Id FROM Orders WHERE Qty > 0";
    const Case cases[] = {
        {"nullable",
         [](Catalogue& c) { c.columns[1].is_nullable = false; },
         "Name: Field Customers.Name changed: nullable: YES \u2192 NO",
         {"ALTER TABLE [dbo].[Customers] ALTER COLUMN [Name] varchar(50) NOT NULL"}},
        {"default",
         [](Catalogue& c) { c.defaults[0].definition = "((1))"; },
         "Qty: Field Orders.Qty changed: default: ((0)) \u2192 ((1))",
         {"DECLARE @default sysname", "ALTER TABLE [dbo].[Orders] ADD DEFAULT ((1)) FOR [Qty]"}},
        {"length",
         [](Catalogue& c) { c.columns[5].max_length = 800; },
         "Note: Field Orders.Note changed: type: nvarchar(200) \u2192 nvarchar(400)",
         {view, "ALTER TABLE [dbo].[Orders] ALTER COLUMN [Note] nvarchar(400) NULL", viewAgain}},
        {"precision",
         [](Catalogue& c) { c.columns[4].scale = 2; },
         "Qty: Field Orders.Qty changed: type: decimal(12,4) \u2192 decimal(12,2)",
         {view, "ALTER TABLE [dbo].[Orders] ALTER COLUMN [Qty] decimal(12,2) NULL", viewAgain}},
        {"foreign key action",
         [](Catalogue& c) { c.foreignKeys[0].delete_referential_action_desc = "CASCADE"; },
         "FK_Orders_Customers: Constraint FK_Orders_Customers changed: definition: \u2026mers (Id) ON DELETE "
         "NO "
         "ACTION ON UPDATE NO ACTION \u2192 \u2026mers (Id) ON DELETE CASCADE ON UPDATE NO ACTION",
         {"ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_Orders_Customers]",
          "ALTER TABLE [dbo].[Orders] ADD CONSTRAINT [FK_Orders_Customers] FOREIGN KEY ([CustomerId]) "
          "REFERENCES "
          "[dbo].[Customers] ([Id]) ON DELETE CASCADE ON UPDATE NO ACTION"}},
        {"check",
         [](Catalogue& c) { c.checks[0].definition = "([Qty]>(0))"; },
         "CK__Orders__Qty__3B75D760: Constraint CK__Orders__Qty__3B75D760 changed: definition: CHECK "
         "([Qty]>=(0)) "
         "\u2192 CHECK ([Qty]>(0))",
         {"ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [CK__Orders__Qty__3B75D760]",
          "ALTER TABLE [dbo].[Orders] ADD CONSTRAINT [CK__Orders__Qty__3B75D760] CHECK ([Qty]>(0))"}},
        {"index key direction",
         [](Catalogue& c) { c.indexes[2].columns[0].is_descending_key = true; },
         "Orders.IX_Orders_Customer: Index Orders.IX_Orders_Customer changed: definition: NONCLUSTERED "
         "(CustomerId "
         "ASC) INCLUDE (Qty) \u2192 NONCLUSTERED (CustomerId DESC) INCLUDE (Qty)",
         {"DROP INDEX [IX_Orders_Customer] ON [dbo].[Orders]",
          "CREATE NONCLUSTERED INDEX [IX_Orders_Customer] ON [dbo].[Orders] ([CustomerId] DESC) INCLUDE "
          "([Qty])"}},
        {"index dropped",
         [](Catalogue& c) { c.indexes.pop_back(); },
         "Orders.IX_Orders_Customer: Index was not found on second",
         {"DROP INDEX [IX_Orders_Customer] ON [dbo].[Orders]"}},
        {"unique index added",
         [](Catalogue& c) {
             c.indexes.push_back({1,
                                  2,
                                  "UX_Customers_Name",
                                  "NONCLUSTERED",
                                  true,
                                  false,
                                  false,
                                  "([Name] IS NOT NULL)",
                                  {{2, 1}}});
         },
         "Customers.UX_Customers_Name: Index was not found on first",
         {"CREATE UNIQUE NONCLUSTERED INDEX [UX_Customers_Name] ON [dbo].[Customers] ([Name] ASC) WHERE "
          "([Name] IS "
          "NOT NULL)"}},
        {"view body",
         [](Catalogue& c) { Object(c, 8).definition = "CREATE VIEW OpenOrders AS\nSELECT Id FROM Orders"; },
         "OpenOrders: View OpenOrders changed: definition differs from line 2",
         {view, "CREATE VIEW OpenOrders AS\nSELECT Id FROM Orders"}},
        {"procedure body",
         [](Catalogue& c) {
             Object(c, 9).definition = "CREATE PROCEDURE GetOrders AS\nSELECT Id FROM Orders";
         },
         "GetOrders: Procedure GetOrders changed: definition differs from line 2",
         {"DROP PROCEDURE [dbo].[GetOrders]", "CREATE PROCEDURE GetOrders AS\nSELECT Id FROM Orders"}},
        {"trigger added",
         [](Catalogue& c) {
             c.objects.push_back({10, "dbo", "trOrdersAudit", "TR", 2,
                                  "CREATE TRIGGER trOrdersAudit ON Orders AFTER INSERT AS\nRETURN"});
             c.triggers.push_back({10, false, {"INSERT"}});
         },
         "Orders.trOrdersAudit: Trigger was not found on first",
         {"CREATE TRIGGER trOrdersAudit ON Orders AFTER INSERT AS\nRETURN"}},
        {"comment",
         [](Catalogue& c) { c.properties[0].value = "Notes"; },
         "Note: Field Orders.Note changed: comment: What the customer asked for \u2192 Notes",
         {"EXEC sys.sp_updateextendedproperty @name = N'MS_Description', @value = N'Notes', @level0type = "
          "N'SCHEMA', "
          "@level0name = N'dbo', @level1type = N'TABLE', @level1name = N'Orders', @level2type = N'COLUMN', "
          "@level2name = N'Note'"}},
    };
    for (const Case& c : cases) {
        Catalogue changed = Base();
        c.apply(changed);
        const Outcome outcome = Compare(Base(), changed);
        EXPECT_EQ(outcome.status, cli::kDifferences) << c.change << ": " << outcome.err;
        EXPECT_THAT(outcome.messages, ::testing::ElementsAre(c.message)) << c.change;
        const std::vector<std::string> batches = Migrate(Base(), changed);
        ASSERT_EQ(batches.size(), c.script.size()) << c.change << ": " << ::testing::PrintToString(batches);
        for (std::size_t i = 0; i < batches.size(); ++i)
            EXPECT_THAT(batches[i], ::testing::StartsWith(c.script[i])) << c.change;
    }
}

// Catalogues that differ only in what the server chose give no difference.
TEST(SqlServerDefinitions, EqualSchemasGiveNone) {
    struct Case {
        std::string change;
        std::function<void(Catalogue&)> apply;
        std::vector<std::string> flags;
    };
    const Case cases[] = {
        {"rows in another order",
         [](Catalogue& c) {
             std::reverse(c.objects.begin(), c.objects.end());
             std::reverse(c.columns.begin(), c.columns.end());
             std::reverse(c.indexes.begin(), c.indexes.end());
         },
         {}},
        {"generated names",
         [](Catalogue& c) {
             Object(c, 4).name = c.indexes[1].name = "PK__Orders__0123456789ABCDEF";
             Object(c, 6).name = "CK__Orders__Qty__7F2BE32F";
             Object(c, 7).name = "DF__Orders__Qty__00200768";
         },
         {"--ignore-generated-names"}},
    };
    for (const Case& c : cases) {
        Catalogue changed = Base();
        c.apply(changed);
        const Outcome outcome = Compare(Base(), changed, c.flags);
        EXPECT_EQ(outcome.status, cli::kNoDifferences) << c.change << ": " << outcome.err;
        EXPECT_THAT(outcome.messages, ::testing::IsEmpty()) << c.change;
    }
}

// A login that may not read a module's text is told so, not shown an empty definition.
TEST(SqlServerDefinitions, AWithheldDefinitionIsTrouble) {
    Catalogue withheld = Base();
    Object(withheld, 9).definition.reset();
    const Outcome outcome = Compare(Base(), withheld);
    EXPECT_EQ(outcome.status, cli::kTrouble);
    EXPECT_THAT(outcome.err, ::testing::HasSubstr("This login may not read the definition of dbo.GetOrders"));
}

}  // namespace
}  // namespace tablor::testing

// Migration scripts without a server: SQL Server's T-SQL statement by statement, what loses data,
// and the command line's statuses over snapshots. PostgreSQL's and MySQL's scripts are proven
// on the live servers, by applying them (tests/live).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "TempFolder.hpp"
#include "cli/CliApp.hpp"
#include "migrate/MigrationPlanner.hpp"
#include "migrate/SqlDialect.hpp"
#include "sources/SnapshotWriter.hpp"
#include "support/FileIO.hpp"

namespace tablor::testing {
namespace {

std::shared_ptr<const Properties> Defined(Properties properties) {
    std::sort(properties.begin(), properties.end());
    return std::make_shared<const Properties>(std::move(properties));
}

// dbo.orders (id, note, cid) with its primary key, customers (id) and a view over it, a procedure.
std::shared_ptr<cMetaData> Base() {
    auto model = std::make_shared<cMetaData>();
    model->Engine = "sqlserver";
    const auto table = [&](const std::string& name) {
        auto element = model->Tables().Add(name, name);
        element->Schema = "dbo";
        element->Definition = Defined({});
        return element;
    };
    const auto column = [](const std::shared_ptr<cMetaDataElement>& owner, const std::string& name,
                           Properties properties) {
        owner->Fields().Add(name, "", "")->Definition = Defined(std::move(properties));
    };
    const auto orders = table("orders");
    column(orders, "id", {{"type", "int"}, {"nullable", "NO"}});
    column(orders, "note", {{"type", "nvarchar(40)"}, {"nullable", "YES"}, {"default", "(N'x')"}});
    column(orders, "cid", {{"type", "int"}, {"nullable", "YES"}});
    column(table("customers"), "id", {{"type", "int"}, {"nullable", "NO"}});
    const auto add = [&](auto& collection, const std::string& name, Properties properties) {
        auto element = collection.Add(name);
        element->Schema = "dbo";
        element->Definition = Defined(std::move(properties));
        return element;
    };
    add(model->Constraints(), "PK_orders", {{"definition", "PRIMARY KEY (id ASC)"}, {"table", "orders"}});
    add(model->Views(), "big", {{"definition", "CREATE VIEW big AS SELECT id FROM customers"}});
    auto routine = model->Routines().Add("p", 2);
    routine->Schema = "dbo";
    routine->Definition = Defined({{"definition", "CREATE PROCEDURE p AS SELECT 1"}, {"signature", ""}});
    return model;
}

cField& Column(cMetaData& model, const std::string& table, const std::string& name) {
    for (const auto& field : model.Tables().Item(table)->Fields())
        if (field->FieldName == name) return *field;
    throw std::logic_error("no column " + name);
}

// For an element's definition and a column's alike.
template <class Definition>
void SetProperty(Definition& definition, const std::string& key, const std::string& value) {
    Properties properties = definition ? *definition : Properties();
    properties.erase(
        std::remove_if(properties.begin(), properties.end(), [&](const auto& p) { return p.first == key; }),
        properties.end());
    if (!value.empty()) properties.emplace_back(key, value);
    definition = Defined(std::move(properties));
}

// Each statement of the script, a held-back one opened by "held: ".
std::vector<std::string> Statements(const MigrationScript& script) {
    std::vector<std::string> out;
    for (const auto& statement : script.statements)
        out.push_back((statement.heldBack.empty() ? "" : "held: ") + statement.sql);
    return out;
}

TEST(SqlServerScript, EachChangeGivesItsStatements) {
    struct Case {
        const char* change;
        std::function<void(cMetaData&)> make;
        std::vector<std::string> statements;  // each the start of one
    };
    const Case cases[] = {
        {"a new column with a default",
         [](cMetaData& m) {
             m.Tables().Item("orders")->Fields().Add("qty", "", "")->Definition =
                 Defined({{"type", "int"}, {"nullable", "NO"}, {"default", "((0))"}});
         },
         {"ALTER TABLE [dbo].[orders] ADD [qty] int NOT NULL DEFAULT ((0))"}},
        {"a wider type",
         [](cMetaData& m) { SetProperty(Column(m, "orders", "note").Definition, "type", "nvarchar(80)"); },
         {"ALTER TABLE [dbo].[orders] ALTER COLUMN [note] nvarchar(80) NULL"}},
        {"a narrower type",
         [](cMetaData& m) { SetProperty(Column(m, "orders", "note").Definition, "type", "nvarchar(10)"); },
         {"held: ALTER TABLE [dbo].[orders] ALTER COLUMN [note] nvarchar(10) NULL"}},
        {"a changed default, whatever the server named it",
         [](cMetaData& m) { SetProperty(Column(m, "orders", "note").Definition, "default", "(N'y')"); },
         {"DECLARE @default sysname = (SELECT d.name FROM sys.default_constraints d WHERE d.parent_object_id "
          "= "
          "OBJECT_ID(N'[dbo].[orders]')",
          "ALTER TABLE [dbo].[orders] ADD DEFAULT (N'y') FOR [note]"}},
        {"a comment",
         [](cMetaData& m) { SetProperty(Column(m, "orders", "note").Definition, "comment", "Who's"); },
         {"EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'Who''s', @level0type = "
          "N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'orders', @level2type = "
          "N'COLUMN', @level2name = N'note'"}},
        {"a new table whose name needs quoting, with its key",
         [](cMetaData& m) {
             auto table = m.Tables().Add("we]ird", "we]ird");
             table->Schema = "dbo";
             table->Definition = Defined({});
             table->Fields().Add("id", "", "")->Definition = Defined({{"type", "int"}, {"nullable", "NO"}});
             auto key = m.Constraints().Add("PK_we");
             key->Schema = "dbo";
             key->Definition = Defined({{"definition", "PRIMARY KEY (id DESC)"}, {"table", "we]ird"}});
         },
         {"CREATE TABLE [dbo].[we]]ird] (\n    [id] int NOT NULL,\n    CONSTRAINT [PK_we] PRIMARY KEY ([id] "
          "DESC)\n)"}},
        {"a foreign key",
         [](cMetaData& m) {
             auto key = m.Constraints().Add("FK_orders_c");
             key->Schema = "dbo";
             key->Definition =
                 Defined({{"definition",
                           "FOREIGN KEY (cid) REFERENCES customers (id) ON DELETE CASCADE ON UPDATE "
                           "NO ACTION"},
                          {"table", "orders"}});
         },
         {"ALTER TABLE [dbo].[orders] ADD CONSTRAINT [FK_orders_c] FOREIGN KEY ([cid]) REFERENCES "
          "[dbo].[customers] "
          "([id]) ON DELETE CASCADE ON UPDATE NO ACTION"}},
        {"an index with included columns and a filter",
         [](cMetaData& m) {
             auto index = m.Indexes().Add("orders.ix_note");
             index->Schema = "dbo";
             index->Definition = Defined(
                 {{"definition", "UNIQUE NONCLUSTERED (note ASC) INCLUDE (id) WHERE ([note] IS NOT NULL)"},
                  {"table", "orders"}});
         },
         {"CREATE UNIQUE NONCLUSTERED INDEX [ix_note] ON [dbo].[orders] ([note] ASC) INCLUDE ([id]) WHERE "
          "([note] IS "
          "NOT NULL)"}},
        {"a changed procedure",
         [](cMetaData& m) {
             SetProperty(m.Routines().Items()[0]->Definition, "definition", "CREATE PROCEDURE p AS SELECT 2");
         },
         {"DROP PROCEDURE [dbo].[p]", "CREATE PROCEDURE p AS SELECT 2"}},
        {"a dropped table and its view",
         [](cMetaData& m) {
             m.Tables().Remove("customers");
             m.Views().Clear();
         },
         {"DROP VIEW [dbo].[big]", "held: DROP TABLE [dbo].[customers]"}},
        {"a sequence and an alias type",
         [](cMetaData& m) {
             auto sequence = m.Sequences().Add("tickets");
             sequence->Schema = "dbo";
             sequence->Definition = Defined({{"definition", "AS int START WITH 1 INCREMENT BY 1"}});
             auto type = m.Types().Add("code");
             type->Schema = "dbo";
             type->Definition = Defined({{"type", "char(4)"}, {"nullable", "NO"}});
         },
         {"CREATE TYPE [dbo].[code] FROM char(4) NOT NULL",
          "CREATE SEQUENCE [dbo].[tickets] AS int START WITH 1 INCREMENT BY 1"}},
    };
    for (const Case& c : cases) {
        const auto current = Base();
        const auto desired = Base();
        c.make(*desired);
        MigrationOptions options;
        options.dialect = SqlDialectKind::SqlServer;
        const std::vector<std::string> statements = Statements(PlanMigration(*current, *desired, options));
        ASSERT_EQ(statements.size(), c.statements.size())
            << c.change << ": " << ::testing::PrintToString(statements);
        for (std::size_t i = 0; i < statements.size(); ++i)
            EXPECT_THAT(statements[i], ::testing::StartsWith(c.statements[i])) << c.change;
    }
}

TEST(TypeWidening, HoldsEveryValueOnlyWhereTheNewTypeIsWider) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"integer", "bigint", true},
        {"bigint", "integer", false},
        {"varchar(20)", "VARCHAR(80)", true},
        {"character varying(80)", "character varying(20)", false},
        {"character varying(20)", "text", true},
        {"character varying", "character varying(200)", false},
        {"numeric(10,2)", "numeric(12,4)", true},
        {"numeric(10,2)", "numeric(10,4)", false},
        {"timestamp(3) without time zone", "timestamp(6) without time zone", true},
        {"timestamp(6) without time zone", "timestamp(3) without time zone", false},
        {"bit(4)", "bit(8)", false},
        {"integer[]", "text[]", false},
        {"date", "bigint", false},
        {"real", "double precision", true},
        {"int(11)", "bigint(20)", true},
        {"int(10) unsigned", "int(11)", false},
        {"enum('a','b')", "enum('a','b','c')", true},
        {"enum('a','b')", "enum('b','a')", false},
        {"varchar(100)", "longtext", true},
        {"text", "tinytext", false},
    };
    for (const auto& [from, to, widens] : cases)
        EXPECT_EQ(TypeWidens(from, to), widens) << from << " -> " << to;
}

// What loses data stays a comment until --allow-drop; names cannot break out of the comments.
TEST(MigrationScriptText, HoldsBackWhatLosesDataAndKeepsNamesInTheirComments) {
    const auto current = Base();
    const auto desired = Base();
    desired->Tables().Remove("customers");
    MigrationScript script = PlanMigration(*current, *desired, {SqlDialectKind::PostgreSql, false, {}, {}});
    script.currentName = "a\nDROP TABLE x; --";
    EXPECT_TRUE(script.Incomplete());
    const std::string text = script.Text();
    EXPECT_THAT(text,
                ::testing::HasSubstr("-- Held back (it loses data; --allow-drop writes it): dropping table "
                                     "customers loses its rows\n-- DROP TABLE \"dbo\".\"customers\";\n"));
    EXPECT_THAT(text, ::testing::StartsWith("-- Makes a DROP TABLE x; -- like"));
    EXPECT_THAT(text, ::testing::HasSubstr("BEGIN;")) << text;
    const MigrationScript allowed =
        PlanMigration(*current, *desired, {SqlDialectKind::PostgreSql, true, {}, {}});
    EXPECT_FALSE(allowed.Incomplete());
    EXPECT_THAT(allowed.Text(), ::testing::HasSubstr("\nDROP TABLE \"dbo\".\"customers\";\n"));
    EXPECT_THAT(PlanMigration(*current, *current, {}).Text(), ::testing::HasSubstr("Nothing to do"));
}

// The command line over snapshots: its statuses, and the sides it refuses.
TEST(MigrateCommand, TellsWhatTheScriptIsByItsStatus) {
    TempFolder folder;
    const auto write = [&](const std::string& name, const cMetaData& model) {
        const std::string path = folder.File(name);
        WriteSnapshot(path, {"SRV", "Sales", "reader"}, model);
        return path;
    };
    const auto base = Base();
    auto wider = Base();
    SetProperty(Column(*wider, "orders", "note").Definition, "type", "nvarchar(80)");
    auto unknown = Base();
    unknown->Engine.clear();
    const std::string a = write("a.snp", *base), b = write("b.snp", *wider), c = write("c.snp", *unknown);
    const std::string script = folder.File("out.sql");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;  // in the output, or the error
    };
    const Case cases[] = {
        {{"migrate", a, a}, cli::kNoDifferences, "Nothing to do"},
        {{"migrate", a, b}, cli::kDifferences, "ALTER COLUMN [note] nvarchar(80) NULL"},
        {{"migrate", b, a}, cli::kIncompleteScript, "-- Held back"},
        {{"migrate", b, a, "--allow-drop", "--dialect", "postgresql"},
         cli::kDifferences,
         "TYPE nvarchar(40)"},
        {{"migrate", c, c}, cli::kTrouble, "name the dialect of the script with --dialect"},
        {{"migrate", a, std::string(TABLOR_EXAMPLES_DIR) + "/shop-v1.snp"},
         cli::kTrouble,
         "holds names only"},
        {{"migrate", a, b, "-o", script}, cli::kDifferences, "Script written to"},
        {{"migrate", a, b, "--exclude", "ord*"}, cli::kNoDifferences, "Nothing to do"},
        {{"migrate", a, b, "--dialect", "oracle"},
         cli::kTrouble,
         "--dialect takes postgresql, mysql or sqlserver"},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(cli::RunCli(c.args, out, err, {}), c.status) << c.args.back() << err.str();
        EXPECT_THAT(out.str() + err.str(), ::testing::HasSubstr(c.says)) << c.args.back();
    }
    EXPECT_THAT(ReadFileBytes(script), ::testing::HasSubstr("ALTER COLUMN [note] nvarchar(80) NULL"));
}

}  // namespace
}  // namespace tablor::testing

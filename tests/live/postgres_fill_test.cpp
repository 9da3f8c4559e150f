// Fill of a live source from a real PostgreSQL: every section of the model, the row filters,
// the names that broke the old filter text, and the failure messages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "ModelText.hpp"
#include "PostgresServer.hpp"
#include "ReaderProcess.hpp"
#include "ScriptedPrompt.hpp"
#include "model/ObjectType.hpp"
#include "sources/cConnection.hpp"

namespace tablor::testing {
using tablor::testing::Columns;
using tablor::testing::Names;

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

class PostgresFill : public ::testing::Test {
  protected:
    std::shared_ptr<cConnection> Connection(const std::string& database) {
        auto connection = std::make_shared<cConnection>(reader, DatabaseEngine::PostgreSql);
        connection->ServerName = server.ServerName();
        connection->DatabaseName = database;
        connection->UserName = server.user;
        connection->Password = server.password;
        return connection;
    }

    const PostgresServer& server = PostgresServer::Get();
    std::shared_ptr<LiveReader> reader = ReaderProcess(PostgresServer::Driver());
    ScriptedPrompt prompt;
};

TEST_F(PostgresFill, EverySectionOfTheShop) {
    const auto connection = Connection("tablor_shop");
    ASSERT_EQ(connection->Fill(prompt), "DONE") << ::testing::PrintToString(prompt.Texts());
    cMetaData& model = *connection->MetaData();

    // Views are tables too; same-named tables in two schemas keep their own columns; an
    // apostrophe and names in other scripts come through as they are.
    EXPECT_THAT(
        TablesWithColumns(model.Tables()),
        ElementsAre(
            "Café: Ωmega*character varying*10 表名*integer* Имя*character*3",
            "O'Brien: id*integer* given name*character varying*30", "SysStats: n*bigint*",
            "customers: customer_id*integer* name*character varying*100 code*character*5 "
            "notes*text* photo*bytea* created*date*",
            "items: id*integer* label*character varying*40",
            "items: id*integer* sku*character varying*20 price*numeric*",
            "open_orders: order_id*integer* amount*numeric*",
            "orders: order_id*integer* customer_id*integer* amount*numeric* remark*character varying*",
            "sys_orders: order_id*integer*"));
    // Keys and checks, without the NOT NULL entries PostgreSQL lists among them.
    EXPECT_THAT(Names(model.Constraints()), UnorderedElementsAre("customers_pkey", "pk_orders",
                                                                 "fk_orders_customers", "chk_orders_amount"));
    EXPECT_THAT(Names(model.Views()), ElementsAre("open_orders"));
    // dt_ routines and aggregates are left out; DT_ in capitals is kept.
    std::vector<std::string> routines;
    for (const auto& routine : model.Routines())
        routines.push_back(routine->ObjectName +
                           (routine->ObjectType == ObjectType::Function ? " function" : " procedure"));
    EXPECT_THAT(routines, UnorderedElementsAre("order_total function", "archive_orders procedure",
                                               "DT_Upper function"));
    EXPECT_TRUE(prompt.messages.empty());
    // The reader reports each section's count at least.
    EXPECT_GE(prompt.progressCalls, 5);
}

TEST_F(PostgresFill, SecondFillLeavesOneCopyOfEach) {
    const auto connection = Connection("tablor_shop");
    ASSERT_EQ(connection->Fill(prompt), "DONE");
    const auto model = connection->MetaData();
    const std::vector<std::string> first = TablesWithColumns(model->Tables());
    ASSERT_EQ(connection->Fill(prompt), "DONE");
    EXPECT_EQ(connection->MetaData(), model);
    EXPECT_EQ(TablesWithColumns(model->Tables()), first);
    EXPECT_EQ(model->Constraints().Count(), 4);
    EXPECT_EQ(model->Views().Count(), 1);
    EXPECT_EQ(model->Routines().Count(), 3);
}

TEST_F(PostgresFill, DatabaseWithoutViewsRoutinesOrConstraints) {
    const auto connection = Connection("tablor_plain");
    ASSERT_EQ(connection->Fill(prompt), "DONE");
    cMetaData& model = *connection->MetaData();
    EXPECT_THAT(TablesWithColumns(model.Tables()),
                ElementsAre("plain: id*integer* label*character varying*10"));
    EXPECT_EQ(model.Views().Count() + model.Routines().Count() + model.Constraints().Count(), 0);
}

// citext, hstore, pg_trgm and pg_buffercache bring functions, a view and a table of their own:
// only what the user created shows, and a column of an extension's type is read with its name.
TEST_F(PostgresFill, ObjectsOfExtensionsAreLeftOut) {
    const auto connection = Connection("tablor_extended");
    ASSERT_EQ(connection->Fill(prompt), "DONE") << ::testing::PrintToString(prompt.Texts());
    cMetaData& model = *connection->MetaData();
    EXPECT_THAT(TablesWithColumns(model.Tables()),
                ElementsAre("member_emails: email*citext*", "members: id*integer* email*citext* tags*hstore*",
                            "plain: id*integer* label*character varying*10"));
    EXPECT_THAT(Names(model.Constraints()), ElementsAre("pk_members"));
    EXPECT_THAT(Names(model.Views()), ElementsAre("member_emails"));
    EXPECT_THAT(Names(model.Routines()), ElementsAre("member_count"));
}

TEST_F(PostgresFill, LoginAndDatabaseNamesThatNeedQuoting) {
    const auto connection = Connection("tablor db;{x}=1");
    connection->UserName = "tablor user;{x}=1";
    connection->Password = "p w;{}}=";
    ASSERT_EQ(connection->Fill(prompt), "DONE") << ::testing::PrintToString(prompt.Texts());
    // pgapp is a user schema, though PostgreSQL keeps its own in schemas named pg_...
    EXPECT_THAT(Names(connection->MetaData()->Tables()), UnorderedElementsAre("odd;{name}=1", "ledger"));
}

// Only the schemas named are read; qualified names keep the shop's two "items" tables apart.
TEST_F(PostgresFill, SchemaFilterAndQualifiedNames) {
    struct Case {
        std::string database;
        std::vector<std::string> schemas;
        bool qualify;
        std::vector<std::string> tables, constraints, views;
    };
    const std::vector<Case> cases = {
        {"tablor_shop",
         {"sales"},
         false,
         {"items: id*integer* sku*character varying*20 price*numeric*"},
         {},
         {}},
        {"tablor db;{x}=1", {"pgapp"}, false, {"ledger: id*integer*"}, {}, {}},
        {"tablor db;{x}=1",
         {"pgapp", "public"},
         true,
         {"pgapp.ledger: id*integer*", "public.odd;{name}=1: id*integer*"},
         {},
         {}},
        {"tablor_shop",
         {},
         true,
         {"public.Café: Ωmega*character varying*10 表名*integer* Имя*character*3",
          "public.O'Brien: id*integer* given name*character varying*30", "public.SysStats: n*bigint*",
          "public.customers: customer_id*integer* name*character varying*100 code*character*5 "
          "notes*text* photo*bytea* created*date*",
          "public.items: id*integer* label*character varying*40",
          "public.open_orders: order_id*integer* amount*numeric*",
          "public.orders: order_id*integer* customer_id*integer* amount*numeric* remark*character varying*",
          "public.sys_orders: order_id*integer*",
          "sales.items: id*integer* sku*character varying*20 price*numeric*"},
         {"public.chk_orders_amount", "public.customers_pkey", "public.fk_orders_customers",
          "public.pk_orders"},
         {"public.open_orders"}},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(run.database + " " + ::testing::PrintToString(run.schemas));
        const auto connection = Connection(run.database);
        connection->Schemas = run.schemas;
        connection->QualifyNames = run.qualify;
        ASSERT_EQ(connection->Fill(prompt), "DONE") << ::testing::PrintToString(prompt.Texts());
        cMetaData& model = *connection->MetaData();
        EXPECT_EQ(TablesWithColumns(model.Tables()), run.tables);
        std::vector<std::string> constraints = Names(model.Constraints());
        std::sort(constraints.begin(), constraints.end());
        EXPECT_EQ(constraints, run.constraints);
        EXPECT_EQ(Names(model.Views()), run.views);
        if (run.database == "tablor_shop" && run.schemas.empty())
            EXPECT_THAT(
                Names(model.Routines()),
                UnorderedElementsAre("public.order_total", "public.archive_orders", "public.DT_Upper"));
        else
            EXPECT_EQ(model.Routines().Count(), 0);
    }
}

TEST_F(PostgresFill, WrongPasswordShowsTheConnectionOpenMessage) {
    const auto connection = Connection("tablor_shop");
    connection->Password = "not-the-password";
    EXPECT_EQ(connection->Fill(prompt), "ERROR");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text,
              "Error opening the connection! Details:Provider=PostgreSQL;Persist Security "
              "Info=False;User ID=" +
                  server.user +
                  ";password=****;Initial Catalog=tablor_shop;"
                  "Data Source=" +
                  server.ServerName());
    EXPECT_EQ(prompt.messages[0].title, "Error");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_THAT(connection->LastErrorDetails(), HasSubstr("password authentication failed"));
    EXPECT_THAT(connection->LastErrorDetails(), Not(HasSubstr("not-the-password")));
    EXPECT_EQ(connection->MetaData()->Tables().Count(), 0);
}

TEST_F(PostgresFill, MissingDatabaseFailsToOpen) {
    const auto connection = Connection("no_such_database");
    EXPECT_EQ(connection->Fill(prompt), "ERROR");
    EXPECT_THAT(prompt.Texts(), ElementsAre(::testing::StartsWith("Error opening the connection! Details:")));
    EXPECT_THAT(connection->LastErrorDetails(), HasSubstr("no_such_database"));
}

}  // namespace
}  // namespace tablor::testing

// MySQL through the real MariaDB ODBC driver, against the MariaDB that mariadb_fixture.sh
// started: what a database reads as, credentials that need quoting, and tablor-cli comparing
// two databases.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "MariaDbServer.hpp"
#include "ModelText.hpp"
#include "ReaderProcess.hpp"
#include "ScriptedPrompt.hpp"
#include "TempFolder.hpp"
#include "cli/CliApp.hpp"
#include "model/ObjectType.hpp"
#include "sources/OdbcConnectionString.hpp"
#include "sources/SchemaQueries.hpp"
#include "sources/cConnection.hpp"
#include "sources/odbc/OdbcConnector.hpp"

namespace tablor::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

class MariaDb : public ::testing::Test {
  protected:
    MariaDb() { environment.passwordVariable = server.password; }

    int Run(const std::vector<std::string>& args) {
        out.str({});
        err.str({});
        return cli::RunCli(args, out, err, environment);
    }

    const MariaDbServer& server = MariaDbServer::Get();
    std::shared_ptr<OdbcConnector> connector = std::make_shared<OdbcConnector>(MariaDbServer::Driver());
    cli::CliEnvironment environment;
    std::ostringstream out, err;
};

// Views are tables too, as on the other servers; quotes and other scripts come through as
// they are; constraints are named after their tables; only the connected database is read.
TEST_F(MariaDb, EverySectionOfTheShop) {
    auto connection =
        std::make_shared<cConnection>(ReaderProcess(MariaDbServer::Driver()), DatabaseEngine::MySql);
    connection->ServerName = server.ServerName();
    connection->DatabaseName = "tablor_shop";
    connection->UserName = server.user;
    connection->Password = server.password;
    ScriptedPrompt prompt;
    ASSERT_EQ(connection->Fill(prompt), "DONE") << ::testing::PrintToString(prompt.Texts());
    cMetaData& model = *connection->MetaData();

    EXPECT_THAT(
        TablesWithColumns(model.Tables()),
        ElementsAre("Café: Ωmega*varchar*10 表名*int* Имя*char*3", "O'Brien: id*int* given name*varchar*30",
                    "audit: audit_id*int* note*varchar*50", "back`tick: id*int*",
                    "customers: customer_id*int* name*varchar*100 email*varchar*200",
                    "open_orders: order_id*int* amount*decimal*",
                    "orders: order_id*int* customer_id*int* amount*decimal* remark*text*"));
    EXPECT_THAT(
        Names(model.Constraints()),
        UnorderedElementsAre("audit.PRIMARY", "back`tick.uq_email", "customers.PRIMARY", "customers.uq_email",
                             "orders.PRIMARY", "orders.fk_orders_customers", "orders.chk_amount"));
    EXPECT_THAT(Names(model.Views()), ElementsAre("open_orders"));
    std::vector<std::string> routines;
    for (const auto& routine : model.Routines())
        routines.push_back(routine->ObjectName +
                           (routine->ObjectType == ObjectType::Function ? " function" : " procedure"));
    EXPECT_THAT(routines, UnorderedElementsAre("order_total function", "archive_orders procedure"));
}

TEST_F(MariaDb, CredentialsThatNeedQuotingArriveIntact) {
    const struct {
        const char* user;
        const char* password;
        const char* database;
    } cases[] = {
        {"tablor_reader", "a}b;c{d=e f", "tablor_shop"},
        {"tablor user;{x}=1", "p w;{}}=", "tablor db;{x}=1"},
    };
    for (const auto& c : cases) {
        ConnectionSettings settings;
        settings.engine = DatabaseEngine::MySql;
        settings.serverName = server.ServerName();
        settings.databaseName = c.database;
        settings.userName = c.user;
        settings.password = c.password;
        const auto rows = connector->Open(settings)->Query("SELECT CURRENT_USER() AS who, DATABASE() AS db");
        ASSERT_TRUE(rows->Next()) << c.user;
        EXPECT_EQ(rows->Value("who"), std::string(c.user) + "@127.0.0.1");
        EXPECT_EQ(rows->Value("db"), c.database);
    }
}

// A table that lost its primary key is a difference, as is one constraint of two same-named
// ones on different tables.
TEST_F(MariaDb, CompareTwoLiveDatabases) {
    const std::string shop = server.ServerName() + ".tablor_shop";
    const std::string v2 = server.ServerName() + ".tablor_shop_v2";
    ASSERT_EQ(Run({"compare", server.Address("tablor_shop"),
                   "mariadb" + server.Address("tablor_shop_v2").substr(5)}),
              cli::kDifferences)
        << err.str();
    for (const std::string& line : {
             "audit.PRIMARY       Constraint  " + v2,
             "orders.chk_amount   Constraint  " + v2,
             "back`tick.uq_email  Constraint  " + v2,
             "archive_orders      Procedure   " + v2,
             "invoices.PRIMARY    Constraint  " + shop,
             "close_invoices      Procedure   " + shop,
             "invoices            Table       " + shop,
             "The field created was not found on the table customers on the object " + shop,
             std::string("8 difference(s) found between the two objects!"),
         })
        EXPECT_THAT(out.str(), HasSubstr(line));
    EXPECT_EQ(err.str(), "");

    EXPECT_EQ(Run({"compare", server.Address("tablor_shop_v2"), server.Address("tablor_shop_v2")}),
              cli::kNoDifferences)
        << out.str() << err.str();
}

// INFORMATION_SCHEMA opens the tables of every database it scans: each query must let the
// server look in the connected one only, however many others the server holds.
TEST_F(MariaDb, SchemaQueriesScanOneDatabase) {
    ConnectionSettings settings;
    settings.engine = DatabaseEngine::MySql;
    settings.serverName = server.ServerName();
    settings.databaseName = "tablor_shop";
    settings.userName = server.user;
    settings.password = server.password;
    const auto session = connector->Open(settings);
    const SchemaQueries queries = SchemaQueries::For(DatabaseEngine::MySql);
    for (const std::string* query :
         {&queries.tables, &queries.constraints, &queries.views, &queries.columns}) {
        const auto plan = session->Query("EXPLAIN " + *query);
        ASSERT_TRUE(plan->Next()) << *query;
        EXPECT_THAT(plan->Value("Extra").value_or(""), HasSubstr("Scanned 1 database")) << *query;
        while (plan->Next()) {
        }
    }
}

// The password of ~/.my.cnf's client group serves when no variable gives one, unless anyone may
// write the file.
TEST_F(MariaDb, TheClientGroupOfMyCnfGivesThePassword) {
    TempFolder home;
    const std::string file = home.Write(
        ".my.cnf", "[mysqld]\npassword=not-this\n[client]\npassword = \"" + server.password + "\"\n");
    environment.passwordVariable.reset();
    environment.variable = [&home](const std::string& name) -> std::optional<std::string> {
        if (name == "HOME") return home.Path();
        return std::nullopt;
    };
    using std::filesystem::perms;
    for (const auto& [mode, status] : {std::pair{perms::owner_read | perms::owner_write, cli::kDifferences},
                                       std::pair{perms::owner_read | perms::others_write, cli::kTrouble}}) {
        std::filesystem::permissions(file, mode);
        EXPECT_EQ(Run({"compare", server.Address("tablor_shop"), server.Address("tablor_shop_v2")}), status)
            << err.str();
        if (status == cli::kTrouble) {
            EXPECT_THAT(err.str(), HasSubstr(file + " may be written by anyone"));
        }
    }
}

TEST_F(MariaDb, WrongPasswordIsTroubleWithoutShowingIt) {
    environment.passwordVariable = "Wr0ng-Secret";
    EXPECT_EQ(Run({"compare", server.Address("tablor_shop"), server.Address("tablor_shop_v2")}),
              cli::kTrouble);
    EXPECT_THAT(err.str(), HasSubstr("Access denied"));
    EXPECT_THAT(out.str() + err.str(), Not(HasSubstr("Wr0ng-Secret")));
}

}  // namespace
}  // namespace tablor::testing

// The ODBC adapter against a real PostgreSQL through psqlODBC: values by name, text in any
// script, long values, credentials with special characters, and failures with their SQLSTATE.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "PostgresServer.hpp"
#include "ReaderProcess.hpp"
#include "ScriptedPrompt.hpp"
#include "StallingProxy.hpp"
#include "sources/cConnection.hpp"
#include "sources/odbc/OdbcConnector.hpp"

namespace tablor::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class PostgresAdapter : public ::testing::Test {
  protected:
    const PostgresServer& server = PostgresServer::Get();
    OdbcConnector connector{PostgresServer::Driver()};
};

TEST_F(PostgresAdapter, ValuesByNameInAnyCaseAndOrder) {
    const auto session = connector.Open(server.Settings("tablor_shop"));
    const auto rows = session->Query(
        "SELECT 1 AS first, NULL::text AS nothing, 'é Ω 表 😀' AS scripts, repeat('é', 1000) || 'end' AS "
        "long_text");
    ASSERT_TRUE(rows->Next());
    // psqlODBC gives the names in lower case; values are asked for out of column order.
    const auto longText = rows->Value("LONG_TEXT");
    ASSERT_TRUE(longText.has_value());
    EXPECT_EQ(longText->size(), 2003u);
    EXPECT_THAT(*longText, ::testing::EndsWith("ééend"));
    EXPECT_EQ(rows->Value("First"), "1");
    EXPECT_EQ(rows->Value("nothing"), std::nullopt);
    EXPECT_EQ(rows->Value("scripts"), "é Ω 表 😀");
    EXPECT_THROW(rows->Value("missing"), DatabaseError);
    EXPECT_FALSE(rows->Next());
}

TEST_F(PostgresAdapter, QueriesOneAfterAnother) {
    const auto session = connector.Open(server.Settings("tablor_shop"));
    {
        const auto rows = session->Query("SELECT generate_series(1, 3) AS n");
        std::vector<std::string> seen;
        while (rows->Next()) seen.push_back(rows->Value("n").value_or("?"));
        EXPECT_THAT(seen, ::testing::ElementsAre("1", "2", "3"));
    }
    {
        // Dropped half-read: the next query still runs.
        const auto rows = session->Query("SELECT generate_series(1, 100000) AS n");
        ASSERT_TRUE(rows->Next());
    }
    auto rows = session->Query("SELECT current_database() AS db");
    // A record set outlives the session that made it.
    session->Close();
    ASSERT_TRUE(rows->Next());
    EXPECT_EQ(rows->Value("db"), "tablor_shop");
    EXPECT_THROW(session->Query("SELECT 1"), DatabaseError);
}

TEST_F(PostgresAdapter, QueryErrorCarriesSqlStateAndMessage) {
    const auto session = connector.Open(server.Settings("tablor_shop"));
    try {
        session->Query("SELECT * FROM no_such_table");
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.SqlState(), "42P01");
        EXPECT_THAT(error.Description(), HasSubstr("no_such_table"));
    }
    const auto rows = session->Query("SELECT 2 AS two");
    ASSERT_TRUE(rows->Next());
    EXPECT_EQ(rows->Value("two"), "2");
}

TEST_F(PostgresAdapter, CredentialsWithSpecialCharactersArriveIntact) {
    ConnectionSettings reader = server.Settings("tablor_shop");
    reader.userName = "tablor_reader";
    reader.password = "a}b;c{d=e f";
    auto rows = connector.Open(reader)->Query("SELECT current_user AS who, current_database() AS db");
    ASSERT_TRUE(rows->Next());
    EXPECT_EQ(rows->Value("who"), "tablor_reader");

    ConnectionSettings odd = server.Settings("tablor db;{x}=1");
    odd.userName = "tablor user;{x}=1";
    odd.password = "p w;{}}=";
    rows = connector.Open(odd)->Query("SELECT current_user AS who, current_database() AS db");
    ASSERT_TRUE(rows->Next());
    EXPECT_EQ(rows->Value("who"), "tablor user;{x}=1");
    EXPECT_EQ(rows->Value("db"), "tablor db;{x}=1");
}

TEST_F(PostgresAdapter, SessionIsNamedTablor) {
    const auto rows =
        connector.Open(server.Settings("tablor_shop"))
            ->Query("SELECT application_name FROM pg_stat_activity WHERE pid = pg_backend_pid()");
    ASSERT_TRUE(rows->Next());
    EXPECT_EQ(rows->Value("application_name"), "Tablor");
}

TEST_F(PostgresAdapter, WrongPasswordFailsWithoutRepeatingIt) {
    // Password and user name alike, so the driver's message would carry the password.
    ConnectionSettings settings = server.Settings("tablor_shop");
    settings.userName = "tablor_reader";
    settings.password = "tablor_reader";
    try {
        connector.Open(settings);
        FAIL() << "opened";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.SqlState(), "08001");
        EXPECT_THAT(error.Description(), HasSubstr("password authentication failed for user \"****\""));
        EXPECT_THAT(error.Description(), Not(HasSubstr("tablor_reader")));
    }
}

TEST_F(PostgresAdapter, ClosedPortFailsAtOnce) {
    ConnectionSettings settings = server.Settings("tablor_shop");
    settings.serverName = "127.0.0.1:1";
    const auto start = std::chrono::steady_clock::now();
    try {
        connector.Open(settings);
        FAIL() << "opened";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.SqlState(), "08001");
        EXPECT_THAT(error.Description(), HasSubstr("Connection refused"));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A server that goes quiet during the login or a query ends the read with a message saying so,
// however long the driver would wait on its own: the program ends the reader process.
TEST_F(PostgresAdapter, StalledServerEndsTheRead) {
    struct Case {
        std::string name;
        std::string stallOn;  // what the client sends before the replies stop; empty: at once
        std::string shows;
    };
    const std::vector<Case> cases = {
        {"during the login", "", "stopped answering: the login did not complete within 2 seconds."},
        {"during a query", "INFORMATION_SCHEMA.COLUMNS", "stopped answering: no reply within 1 seconds."},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(run.name);
        StallingProxy proxy(static_cast<std::uint16_t>(std::stoi(server.port)), run.stallOn);
        cConnection impatient(ReaderProcess(PostgresServer::Driver()), DatabaseEngine::PostgreSql);
        impatient.ServerName = "127.0.0.1:" + std::to_string(proxy.Port());
        impatient.DatabaseName = "tablor_shop";
        impatient.UserName = server.user;
        impatient.Password = server.password;
        impatient.QueryTimeoutSeconds = 1;
        // A login on a busy machine may take a while: only the login case is impatient with it.
        impatient.LoginTimeoutSeconds = run.stallOn.empty() ? 2 : 60;
        ScriptedPrompt prompt;
        EXPECT_EQ(impatient.Fill(prompt), "ERROR");
        EXPECT_EQ(impatient.LastErrorDetails(), "The server " + impatient.ServerName + " " + run.shows);
    }
}

TEST_F(PostgresAdapter, UnknownDriverIsAnError) {
    OdbcOptions options = PostgresServer::Driver();
    options.postgreSqlDriver = "No Such Driver";
    OdbcConnector other(options);
    try {
        other.Open(server.Settings("tablor_shop"));
        FAIL() << "opened";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.SqlState(), "01000") << error.Description();
        EXPECT_THAT(error.Description(), HasSubstr("No Such Driver"));
    }
}

}  // namespace
}  // namespace tablor::testing

// tablor-cli with live PostgreSQL sides: compare, snapshot, and trouble.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "PostgresServer.hpp"
#include "StallingProxy.hpp"
#include "TempFolder.hpp"
#include "cli/CliApp.hpp"

namespace tablor::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class PostgresCli : public ::testing::Test {
  protected:
    PostgresCli() { environment.passwordVariable = server.password; }

    int Run(const std::vector<std::string>& args) {
        out.str({});
        err.str({});
        return cli::RunCli(args, out, err, environment);
    }

    const PostgresServer& server = PostgresServer::Get();
    cli::CliEnvironment environment;
    std::ostringstream out, err;
};

// What a driver or a reader could leave in /tmp: psqlODBC's logs, unixODBC's trace, anything
// named after the reader.
std::set<std::string> DriverLeftovers() {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/tmp", error)) {
        const std::string name = entry.path().filename().string();
        for (const char* prefix : {"psqlodbc", "mylog_", "sql.log", "tablor-reader"})
            if (name.starts_with(prefix)) names.insert(name);
    }
    return names;
}

// Debian's odbcinst.ini turns psqlODBC's communication log on; the reader's own driver
// configuration leaves it off, so reads leave nothing in /tmp.
TEST_F(PostgresCli, CompareTwoLiveDatabases) {
    const std::set<std::string> leftovers = DriverLeftovers();
    const std::string shop = server.ServerName() + ".tablor_shop";
    const std::string v2 = server.ServerName() + ".tablor_shop_v2";
    ASSERT_EQ(Run({"compare", server.Address("tablor_shop"), server.Address("tablor_shop_v2")}),
              cli::kDifferences)
        << err.str();
    EXPECT_THAT(out.str(), HasSubstr("pk_orders"));
    EXPECT_THAT(out.str(),
                HasSubstr("The field email was not found on the table customers on the object " + shop));
    EXPECT_THAT(out.str(), HasSubstr("Table was not found on " + v2));
    EXPECT_THAT(out.str(), HasSubstr("19 difference(s) found between the two objects!"));
    EXPECT_EQ(err.str(), "");  // not a terminal: no progress

    // The shop's two "items" tables, in the public and sales schemas, pair each with its own.
    ASSERT_EQ(
        Run({"compare", server.Address("tablor_shop"), server.Address("tablor_shop"), "--format", "json"}),
        cli::kNoDifferences)
        << out.str() << err.str();
    EXPECT_THAT(out.str(), StartsWith("{\"object1\": \"" + shop + "\""));
    EXPECT_EQ(DriverLeftovers(), leftovers);
}

// Each side finds its own password: its own variable, TABLOR_PASSWORD, PGPASSWORD, then the
// password file, which is passed over when its group or others may use it.
TEST_F(PostgresCli, EachSideFindsItsOwnPassword) {
    const std::string reader = "a}b;c{d=e f";
    TempFolder home;
    const std::string pgpass = home.Write(".pgpass", "# the reader's\n" + server.host + ":" + server.port +
                                                         ":*:tablor_reader:" + reader + "\n");
    struct Case {
        std::map<std::string, std::string> variables;
        std::optional<std::string> tablorPassword;
        std::filesystem::perms mode;
        int status;
        std::string said;
    };
    const auto owner = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    const std::vector<Case> cases = {
        {{{"TABLOR_PASSWORD_1", server.password}, {"TABLOR_PASSWORD_2", reader}},
         {},
         owner,
         cli::kDifferences,
         ""},
        {{{"TABLOR_PASSWORD_1", "wrong"}},
         server.password,
         owner,
         cli::kTrouble,
         "password authentication failed"},
        {{{"TABLOR_PASSWORD_1", server.password}, {"PGPASSWORD", reader}}, {}, owner, cli::kDifferences, ""},
        {{{"TABLOR_PASSWORD_1", server.password}, {"HOME", home.Path()}}, {}, owner, cli::kDifferences, ""},
        {{{"TABLOR_PASSWORD_1", server.password}, {"HOME", home.Path()}},
         {},
         owner | std::filesystem::perms::group_read,
         cli::kTrouble,
         "tablor-cli: warning: the password file " + pgpass + " may be used by its group or others"},
    };
    environment.passwordVariable.reset();
    for (const Case& c : cases) {
        std::filesystem::permissions(pgpass, c.mode);
        environment.passwordVariable = c.tablorPassword;
        environment.variable = [&c](const std::string& name) -> std::optional<std::string> {
            const auto found = c.variables.find(name);
            if (found == c.variables.end()) return std::nullopt;
            return found->second;
        };
        EXPECT_EQ(
            Run({"compare", server.Address("tablor_shop"), server.Address("tablor_shop", "tablor_reader")}),
            c.status)
            << err.str();
        EXPECT_THAT(err.str(), HasSubstr(c.said));
    }
}

// Without a host the server is reached through its socket, in PGHOST's folder as psql finds it.
TEST_F(PostgresCli, TheLocalSocketNeedsNoHost) {
    const char* state = std::getenv("TABLOR_PG_STATE");
    std::ifstream in(state != nullptr && *state != '\0' ? state : TABLOR_PG_STATE_FILE);
    std::string folder;
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("TABLOR_PG_DIR=")) folder = line.substr(line.find('=') + 1);
    ::setenv("PGHOST", folder.c_str(), 1);
    const int status = Run({"show", "postgresql://" + server.user + "@:" + server.port + "/tablor_shop"});
    ::unsetenv("PGHOST");
    EXPECT_EQ(status, cli::kNoDifferences) << err.str();
    EXPECT_THAT(out.str(), HasSubstr("Database: tablor_shop\n"));
}

// What the login cannot see is trouble, never a side that shows everything as missing; a
// materialized view is read among the views.
TEST_F(PostgresCli, WhatTheLoginCannotSeeIsTroubleAndMaterializedViewsAreRead) {
    ASSERT_EQ(Run({"show", server.Address("tablor_rights")}), cli::kNoDifferences) << err.str();
    EXPECT_THAT(out.str(), HasSubstr("ledger_summary"));
    const struct {
        std::string address, password, why;
    } cases[] = {
        {server.Address("tablor_shop") + "?schema=nosuch", server.password,
         "The schema \"nosuch\" holds no table"},
        {"postgresql://tablor_nobody@" + server.ServerName() + "/tablor_rights", "nobody",
         "This login holds no privilege on 1 of the database's tables and views (public.ledger)"},
    };
    for (const auto& c : cases) {
        environment.passwordVariable = c.password;
        EXPECT_EQ(Run({"show", c.address}), cli::kTrouble) << c.address << out.str();
        EXPECT_THAT(err.str(), HasSubstr(c.why)) << c.address;
    }
}

// A snapshot read back compares equal to the database it was taken from.
TEST_F(PostgresCli, SnapshotThenCompareWithTheLiveDatabase) {
    TempFolder folder;
    const std::string file = folder.File("shop.snp");
    ASSERT_EQ(Run({"snapshot", server.Address("tablor_shop"), "-o", file}), cli::kNoDifferences) << err.str();
    EXPECT_EQ(out.str(), "Snapshot of " + server.ServerName() + ".tablor_shop written to " + file +
                             ": 9 tables, 1 views, 3 routines, 4 constraints\n");
    const std::string content = TempFolder::Read(file);
    EXPECT_THAT(content, StartsWith(server.ServerName() + "*tablor_shop*" + server.user + "*\r\n"));
    EXPECT_THAT(
        content,
        HasSubstr("\r\n:Café\r\nΩmega*character varying*10*nullable=YES*type=character varying(10)\r\n"));
    EXPECT_THAT(content, Not(HasSubstr(server.password)));

    const std::string v2 = folder.File("v2.snp");
    ASSERT_EQ(Run({"snapshot", server.Address("tablor_shop_v2"), "--output", v2}), cli::kNoDifferences)
        << err.str();
    EXPECT_EQ(Run({"compare", v2, server.Address("tablor_shop_v2")}), cli::kNoDifferences)
        << out.str() << err.str();
    EXPECT_EQ(Run({"compare", v2, server.Address("tablor_shop")}), cli::kDifferences) << err.str();
    // The snapshot records each object's schema, so the whole shop compares equal to it.
    EXPECT_EQ(Run({"compare", file, server.Address("tablor_shop")}), cli::kNoDifferences)
        << out.str() << err.str();
}

// With qualified names the shop's two "items" tables are told apart, so a snapshot of the
// whole shop compares equal to it; a schema filter reads that schema alone.
TEST_F(PostgresCli, QualifiedSnapshotThenCompareWithTheLiveDatabase) {
    TempFolder folder;
    const std::string file = folder.File("shop.snp");
    const std::string qualified = server.Address("tablor_shop") + "?qualify=true";
    ASSERT_EQ(Run({"snapshot", qualified, "-o", file}), cli::kNoDifferences) << err.str();
    const std::string content = TempFolder::Read(file);
    EXPECT_THAT(content,
                HasSubstr("\r\n:public.items\r\nid*integer**nullable=YES*type=integer\r\nlabel*character "
                          "varying*40*nullable=YES*type=character varying(40)\r\n"));
    EXPECT_THAT(content,
                HasSubstr("\r\n:sales.items\r\nid*integer**nullable=YES*type=integer\r\nsku*character "
                          "varying*20*nullable=YES*type=character varying(20)\r\n"));
    EXPECT_EQ(Run({"compare", file, qualified}), cli::kNoDifferences) << out.str() << err.str();
    EXPECT_EQ(Run({"compare", qualified, qualified}), cli::kNoDifferences) << out.str() << err.str();
    EXPECT_EQ(Run({"compare", file, server.Address("tablor_shop")}), cli::kDifferences) << err.str();

    ASSERT_EQ(Run({"snapshot", server.Address("tablor_shop") + "?schema=sales&qualify=true", "-o", file}),
              cli::kNoDifferences)
        << err.str();
    EXPECT_THAT(out.str(), HasSubstr(": 1 tables, 0 views, 0 routines, 0 constraints\n"));
    EXPECT_THAT(TempFolder::Read(file), Not(HasSubstr("public.")));
}

// A server that goes quiet while the catalogue is read: status 2, the reason, and no file.
TEST_F(PostgresCli, StalledServerWritesNoSnapshot) {
    StallingProxy proxy(static_cast<std::uint16_t>(std::stoi(server.port)), "INFORMATION_SCHEMA.TABLES");
    TempFolder folder;
    const std::string file = folder.File("stalled.snp");
    const std::string address = "postgresql://" + server.user + "@127.0.0.1:" + std::to_string(proxy.Port()) +
                                "/tablor_shop?queryTimeout=1";
    EXPECT_EQ(Run({"snapshot", address, "-o", file}), cli::kTrouble);
    EXPECT_THAT(err.str(), HasSubstr("The server 127.0.0.1:" + std::to_string(proxy.Port()) +
                                     " stopped answering: no reply within 1 seconds."));
    EXPECT_FALSE(std::filesystem::exists(file));
}

// The program itself: the password from TABLOR_PASSWORD, nothing asked without a terminal.
TEST_F(PostgresCli, ProgramTakesThePasswordFromTheEnvironment) {
    TempFolder folder;
    const std::string file = folder.File("reader.snp");
    const std::string command =
        "TABLOR_ODBC_PG_DRIVER= TABLOR_PASSWORD='a}b;c{d=e f' '" TABLOR_CLI_PATH "' snapshot '" +
        server.Address("tablor_shop", "tablor_reader") + "' -o '" + file + "' </dev/null 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_THAT(output, HasSubstr("9 tables"));
    EXPECT_THAT(TempFolder::Read(file), StartsWith(server.ServerName() + "*tablor_shop*tablor_reader*\r\n"));
}

// Ctrl-C while the catalogue is read ends the program with status 2 and leaves no file behind,
// not even a temporary one.
TEST_F(PostgresCli, InterruptEndsASnapshotWithoutAFile) {
    StallingProxy proxy(static_cast<std::uint16_t>(std::stoi(server.port)), "INFORMATION_SCHEMA.TABLES");
    TempFolder folder;
    const std::string file = folder.File("interrupted.snp");
    const std::string address = "postgresql://" + server.user + "@127.0.0.1:" + std::to_string(proxy.Port()) +
                                "/tablor_shop?queryTimeout=600";
    std::string password = "TABLOR_PASSWORD=" + server.password;
    std::vector<std::string> texts = {TABLOR_CLI_PATH, "snapshot", address, "-o", file};
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    std::string driver = "TABLOR_ODBC_PG_DRIVER=";
    std::vector<char*> envp = {password.data(), driver.data()};
    for (char** variable = environ; *variable != nullptr; ++variable) envp.push_back(*variable);
    envp.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, TABLOR_CLI_PATH, nullptr, nullptr, argv.data(), envp.data()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // logged in, waiting for rows
    ::kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), cli::kTrouble);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

}  // namespace
}  // namespace tablor::testing

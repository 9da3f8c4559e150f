// The SQL Server path end to end: Fill through unixODBC and the real FreeTDS driver against
// the scripted TDS responder, which answers as SQL Server does (upper-case column names,
// nvarchar names, no length for int, -1 for max types) and records the login it was sent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <functional>
#include <sstream>
#include <thread>

#include "ModelText.hpp"
#include "ReaderProcess.hpp"
#include "ScriptedPrompt.hpp"
#include "TdsResponder.hpp"
#include "TempFolder.hpp"
#include "cli/CliApp.hpp"
#include "model/ObjectType.hpp"
#include "service/ComparisonService.hpp"
#include "sources/SchemaExtraction.hpp"
#include "sources/SchemaQueries.hpp"
#include "sources/cConnection.hpp"
#include "sources/odbc/OdbcConnector.hpp"
#include "sources/odbc/OdbcDiagnostics.hpp"
#include "sources/odbc/OdbcDrivers.hpp"

namespace tablor::testing {
using tablor::testing::Columns;
using tablor::testing::Names;

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;

const std::string kTables = "SELECT * FROM INFORMATION_SCHEMA.TABLES";
const std::string kConstraints = "SELECT * FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS";
const std::string kViews = "SELECT * FROM INFORMATION_SCHEMA.VIEWS";
const std::string kRoutines = "SELECT * FROM INFORMATION_SCHEMA.ROUTINES";
const std::string kColumns =
    "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME,CHARACTER_MAXIMUM_LENGTH,DATA_TYPE FROM "
    "INFORMATION_SCHEMA.COLUMNS ORDER BY TABLE_NAME,ORDINAL_POSITION";
const std::string kPassword = "a}b;c{d=e f";

Column Name(std::string name) {
    return {std::move(name), ColumnType::NVarChar, 128};
}

// The catalogue of a small database, in the shapes INFORMATION_SCHEMA has on SQL Server.
void ScriptCatalogue(TdsResponder& server) {
    server.addResult(kTables, ResultSet{{Name("TABLE_CATALOG"),
                                         Name("TABLE_SCHEMA"),
                                         Name("TABLE_NAME"),
                                         {"TABLE_TYPE", ColumnType::NVarChar, 10}},
                                        {{"Sales", "dbo", "Customers", "BASE TABLE"},
                                         {"Sales", "dbo", "O'Brien", "BASE TABLE"},
                                         {"Sales", "dbo", "Items", "BASE TABLE"},
                                         {"Sales", "archive", "Items", "BASE TABLE"},
                                         {"Sales", "dbo", "Café Ω 表", "BASE TABLE"},
                                         {"Sales", "dbo", "sysdiagrams_view", "VIEW"},
                                         {"Sales", "dbo", "OpenOrders", "VIEW"}}});
    server.addResult(
        kConstraints,
        ResultSet{
            {Name("CONSTRAINT_CATALOG"),
             Name("CONSTRAINT_SCHEMA"),
             Name("CONSTRAINT_NAME"),
             Name("TABLE_CATALOG"),
             Name("TABLE_SCHEMA"),
             Name("TABLE_NAME"),
             {"CONSTRAINT_TYPE", ColumnType::NVarChar, 11},
             {"IS_DEFERRABLE", ColumnType::NVarChar, 2},
             {"INITIALLY_DEFERRED", ColumnType::NVarChar, 2}},
            {{"Sales", "dbo", "PK_Customers", "Sales", "dbo", "Customers", "PRIMARY KEY", "NO", "NO"},
             {"Sales", "dbo", "FK_Items_Customers", "Sales", "dbo", "Items", "FOREIGN KEY", "NO", "NO"}}});
    const std::string definition = "CREATE VIEW OpenOrders AS SELECT " + std::string(600, 'x');
    server.addResult(kViews, ResultSet{{Name("TABLE_CATALOG"),
                                        Name("TABLE_SCHEMA"),
                                        Name("TABLE_NAME"),
                                        {"VIEW_DEFINITION", ColumnType::NVarChar, 4000},
                                        {"CHECK_OPTION", ColumnType::NVarChar, 8},
                                        {"IS_UPDATABLE", ColumnType::NVarChar, 2}},
                                       {{"Sales", "dbo", "sysdiagrams_view", "CREATE VIEW ...", "NONE", "NO"},
                                        {"Sales", "dbo", "SYSobjects2", "CREATE VIEW ...", "NONE", "NO"},
                                        {"Sales", "dbo", "OpenOrders", definition, "NONE", "NO"},
                                        {"Sales", "dbo", "Sy", "CREATE VIEW ...", "NONE", "NO"}}});
    server.addResult(kRoutines,
                     ResultSet{{Name("SPECIFIC_CATALOG"),
                                Name("SPECIFIC_SCHEMA"),
                                Name("SPECIFIC_NAME"),
                                Name("ROUTINE_CATALOG"),
                                Name("ROUTINE_SCHEMA"),
                                Name("ROUTINE_NAME"),
                                {"ROUTINE_TYPE", ColumnType::NVarChar, 20},
                                Name("DATA_TYPE"),
                                {"CHARACTER_MAXIMUM_LENGTH", ColumnType::Int},
                                {"ROUTINE_DEFINITION", ColumnType::NVarChar, 4000}},
                               {{"Sales", "dbo", "GetOrders", "Sales", "dbo", "GetOrders", "PROCEDURE",
                                 std::nullopt, std::nullopt, "CREATE PROCEDURE ..."},
                                {"Sales", "dbo", "OrderTotal", "Sales", "dbo", "OrderTotal", "FUNCTION",
                                 "money", std::nullopt, "CREATE FUNCTION ..."},
                                {"Sales", "dbo", "dt_addtosourcecontrol", "Sales", "dbo",
                                 "dt_addtosourcecontrol", "PROCEDURE", std::nullopt, std::nullopt, "..."},
                                {"Sales", "dbo", "DT_Keep", "Sales", "dbo", "DT_Keep", "PROCEDURE",
                                 std::nullopt, std::nullopt, "..."},
                                {"Sales", "dbo", "lower", "Sales", "dbo", "lower", "function", std::nullopt,
                                 std::nullopt, "..."}}});
    server.addResult(kColumns, ResultSet{{Name("TABLE_SCHEMA"),
                                          Name("TABLE_NAME"),
                                          Name("COLUMN_NAME"),
                                          {"CHARACTER_MAXIMUM_LENGTH", ColumnType::Int},
                                          Name("DATA_TYPE")},
                                         {{"dbo", "Café Ω 表", "Имя", 10, "nchar"},
                                          {"dbo", "Customers", "CustomerID", std::nullopt, "int"},
                                          {"dbo", "Customers", "Name", 50, "varchar"},
                                          {"dbo", "Customers", "Notes", 2147483647, "text"},
                                          {"dbo", "Customers", "Bio", -1, "nvarchar"},
                                          {"dbo", "Customers", "Photo", -1, "varbinary"},
                                          {"archive", "Items", "ItemID", std::nullopt, "int"},
                                          {"dbo", "Items", "ItemID", std::nullopt, "int"},
                                          {"archive", "Items", "ArchivedOn", std::nullopt, "datetime"},
                                          {"dbo", "Items", "Label", 40, "nvarchar"},
                                          {"dbo", "O'Brien", "Given Name", 30, "varchar"},
                                          {"dbo", "OpenOrders", "OrderID", std::nullopt, "int"},
                                          {"dbo", "sysdiagrams_view", "name", 128, "sysname"}}});
}

OdbcOptions FreeTds() {
    OdbcOptions options;
    options.sqlServerDriver = "FreeTDS";
    return options;
}

class SqlServerPath : public ::testing::Test {
  protected:
    SqlServerPath() {
        ScriptCatalogue(server);
        server.expectUser("tablor", kPassword);
        connection.ServerName = "127.0.0.1," + std::to_string(server.port());
        connection.DatabaseName = "Sales";
        connection.UserName = "tablor";
        connection.Password = kPassword;
    }

    TdsResponder server;
    cConnection connection{ReaderProcess(FreeTds())};
    ScriptedPrompt prompt;
};

TEST_F(SqlServerPath, FiveQueriesVerbatimAndTheLoginIntact) {
    ASSERT_EQ(connection.Fill(prompt), "DONE") << ::testing::PrintToString(prompt.Texts());

    EXPECT_THAT(server.queries(), ElementsAre(kTables, kConstraints, kViews, kRoutines, kColumns));
    const auto login = server.lastLogin();
    ASSERT_TRUE(login.has_value());
    EXPECT_EQ(login->user, "tablor");
    EXPECT_EQ(login->password, kPassword);
    EXPECT_EQ(login->database, "Sales");
    EXPECT_FALSE(login->integrated);
    EXPECT_EQ(login->tdsVersion, 0x74000004u);
    EXPECT_EQ(login->appName, "Tablor");
    EXPECT_EQ(server.loginCount(), 1u);
}

TEST_F(SqlServerPath, FiltersFieldSizesAndNames) {
    ASSERT_EQ(connection.Fill(prompt), "DONE") << ::testing::PrintToString(prompt.Texts());
    cMetaData& model = *connection.MetaData();

    EXPECT_THAT(Names(model.Tables()), ElementsAre("Customers", "O'Brien", "Items", "Items", "Café Ω 表",
                                                   "sysdiagrams_view", "OpenOrders"));
    const Tables& tables = model.Tables();
    EXPECT_THAT(Columns(*tables.Item(1)), ElementsAre("CustomerID*int*", "Name*varchar*50", "Notes*text*",
                                                      "Bio*nvarchar*-1", "Photo*varbinary*"));
    EXPECT_THAT(Columns(*tables.Item(2)), ElementsAre("Given Name*varchar*30"));
    EXPECT_THAT(Columns(*tables.Item(3)), ElementsAre("ItemID*int*", "Label*nvarchar*40"));
    EXPECT_THAT(Columns(*tables.Item(4)), ElementsAre("ItemID*int*", "ArchivedOn*datetime*"));
    EXPECT_THAT(Columns(*tables.Item(5)), ElementsAre("Имя*nchar*10"));
    EXPECT_THAT(Columns(*tables.Item(6)), ElementsAre("name*sysname*"));
    EXPECT_THAT(Names(model.Constraints()), ElementsAre("PK_Customers", "FK_Items_Customers"));
    EXPECT_THAT(Names(model.Views()), ElementsAre("OpenOrders", "Sy"));
    // Only "FUNCTION" exactly makes a function.
    EXPECT_THAT(Names(model.Routines()), ElementsAre("GetOrders", "OrderTotal", "DT_Keep", "lower"));
    EXPECT_EQ(model.Routines().Item(4)->ObjectType, ObjectType::Procedure);
    EXPECT_EQ(model.Routines().Item(1)->ObjectType, ObjectType::Procedure);
    EXPECT_EQ(model.Routines().Item(2)->ObjectType, ObjectType::Function);
    EXPECT_EQ(model.Routines().Item(3)->ObjectType, ObjectType::Procedure);
}

TEST_F(SqlServerPath, UserAndDatabaseNamesThatNeedQuoting) {
    server.expectUser("us;er {x}", "ends}");
    connection.UserName = "us;er {x}";
    connection.Password = "ends}";
    connection.DatabaseName = "{Sales}=1; x";
    ASSERT_EQ(connection.Fill(prompt), "DONE") << ::testing::PrintToString(prompt.Texts());
    EXPECT_EQ(server.lastLogin()->user, "us;er {x}");
    EXPECT_EQ(server.lastLogin()->password, "ends}");
    EXPECT_EQ(server.lastLogin()->database, "{Sales}=1; x");
}

// Kerberos needs a ticket this machine does not have: the driver gives up before or at login,
// and what is shown carries neither user nor password.
TEST_F(SqlServerPath, IntegratedSecuritySendsNoPassword) {
    connection.IntegratedSecurity = true;
    EXPECT_EQ(connection.Fill(prompt), "ERROR");
    EXPECT_THAT(
        prompt.Texts(),
        ElementsAre(
            "Error opening the connection! Details:Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist "
            "Security Info=False;Initial Catalog=Sales;Data Source=" +
            connection.ServerName));
    if (const auto login = server.lastLogin()) {
        EXPECT_TRUE(login->integrated);
        EXPECT_EQ(login->password, "");
    }
}

TEST_F(SqlServerPath, LoginFailureShowsTheConnectionOpenMessage) {
    connection.Password = "wrong;pass";
    EXPECT_EQ(connection.Fill(prompt), "ERROR");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text,
              "Error opening the connection! Details:Provider=SQLOLEDB.1;Persist Security "
              "Info=False;User ID=tablor;password=****;Initial Catalog=Sales;Data Source=" +
                  connection.ServerName);
    EXPECT_EQ(prompt.messages[0].title, "Error");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_THAT(connection.LastErrorDetails(), HasSubstr("Login failed for user 'tablor'."));
    EXPECT_THAT(connection.LastErrorDetails(), Not(HasSubstr("wrong;pass")));
    EXPECT_TRUE(server.queries().empty());
}

TEST_F(SqlServerPath, ClosedPortFailsWithinSeconds) {
    std::uint16_t port = 0;
    {
        TdsResponder gone;
        port = gone.port();
    }
    connection.ServerName = "127.0.0.1," + std::to_string(port);
    const auto start = Clock::now();
    EXPECT_EQ(connection.Fill(prompt), "ERROR");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_THAT(prompt.Texts(),
                ElementsAre(StartsWith("Error opening the connection! Details:Provider=SQLOLEDB.1;")));
    EXPECT_THAT(prompt.Texts()[0], ::testing::EndsWith(";Data Source=127.0.0.1," + std::to_string(port)));
}

TEST_F(SqlServerPath, SilentServerEndsAtTheLoginTimeout) {
    server.setSilentAfterAccept(true);
    cConnection impatient{ReaderProcess(FreeTds()), DatabaseEngine::SqlServer};
    impatient.LoginTimeoutSeconds = 2;
    impatient.ServerName = connection.ServerName;
    impatient.UserName = "tablor";
    impatient.Password = kPassword;
    const auto start = Clock::now();
    EXPECT_EQ(impatient.Fill(prompt), "ERROR");
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(1500));
    EXPECT_LT(elapsed, std::chrono::seconds(8));
    EXPECT_THAT(prompt.Texts(), ElementsAre(StartsWith("Error opening the connection! Details:")));
}

// Encryption the two ends cannot agree on ends the login with a message naming the option,
// the driver's own words kept below it.
TEST_F(SqlServerPath, EncryptionMismatchNamesTheOption) {
    struct Case {
        std::string name;
        std::uint8_t server;
        Encryption client;
        std::string shows;
    };
    const std::string handshake =
        "ended the login, as a server that requires encryption does when it cannot be set up: check "
        "encrypt= (request or require) and trustServerCertificate= in the address.\n";
    const std::vector<Case> cases = {
        {"none offered, require asked", tds::encrypt::kNotSupported, Encryption::Require,
         "does not offer encryption, which encrypt=require in the address asks for.\n"},
        {"required, handshake fails", tds::encrypt::kRequired, Encryption::Request, handshake},
        {"required, the driver's default", tds::encrypt::kRequired, Encryption::Default, handshake},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(run.name);
        TdsResponder encrypting;
        encrypting.setEncryption(run.server);
        OdbcConnector connector(FreeTds());
        ConnectionSettings settings;
        settings.serverName = "127.0.0.1," + std::to_string(encrypting.port());
        settings.databaseName = "Sales";
        settings.userName = "tablor";
        settings.password = kPassword;
        settings.encryption = run.client;
        try {
            connector.Open(settings);
            ADD_FAILURE() << "opened";
        } catch (const DatabaseError& error) {
            EXPECT_THAT(error.Description(),
                        StartsWith("The server " + settings.serverName + " " + run.shows));
            EXPECT_EQ(error.SqlState(), "08001");
        }
        EXPECT_FALSE(encrypting.lastLogin().has_value());
    }
}

TEST_F(SqlServerPath, RefusedQueryShowsTheServersText) {
    ASSERT_EQ(connection.Fill(prompt), "DONE");
    server.addError(kRoutines, 229, "The SELECT permission was denied on the object 'ROUTINES'.", 14, 5);
    EXPECT_EQ(connection.Fill(prompt), "ERROR");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].title, "Error retriving connection data");
    EXPECT_THAT(prompt.messages[0].text,
                HasSubstr("The SELECT permission was denied on the object 'ROUTINES'."));
    EXPECT_EQ(connection.MetaData()->Routines().Count(), 4);
    EXPECT_EQ(connection.MetaData()->Tables().Count(), 7);
}

TEST_F(SqlServerPath, ConnectionDroppedMidReadLeavesTheModelAlone) {
    ASSERT_EQ(connection.Fill(prompt), "DONE");
    server.dropConnectionAfterRows(kColumns, 4);
    EXPECT_EQ(connection.Fill(prompt), "ERROR");
    EXPECT_THAT(prompt.messages.at(0).title, "Error retriving connection data");
    EXPECT_EQ(connection.MetaData()->Tables().Item(1)->Fields().Count(), 5);
}

// A server that trickles its login or goes quiet ends the read, with a message saying so,
// however long the driver would wait on its own.
TEST_F(SqlServerPath, StalledServerEndsTheRead) {
    struct Case {
        std::string name;
        std::function<void(TdsResponder&)> stall;
        std::string shows;
    };
    const std::vector<Case> cases = {
        {"login one byte at a time",
         [](TdsResponder& s) { s.setLoginTrickle(std::chrono::milliseconds(500)); },
         "stopped answering: the login did not complete within 2 seconds."},
        {"quiet after the login", [](TdsResponder& s) { s.setSilentAfterLogin(true); },
         "stopped answering: no reply within 1 seconds."},
        {"quiet in the middle of a result", [](TdsResponder& s) { s.stallAfterRows(kColumns, 3); },
         "stopped answering: no reply within 1 seconds."},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(run.name);
        TdsResponder stalling;
        ScriptCatalogue(stalling);
        run.stall(stalling);
        // A login on a busy machine may take a while: only the login case is impatient with it.
        const bool loginCase = run.shows.find("login") != std::string::npos;
        cConnection impatient{ReaderProcess(FreeTds()), DatabaseEngine::SqlServer};
        impatient.LoginTimeoutSeconds = loginCase ? 2 : 60;
        impatient.ServerName = "127.0.0.1," + std::to_string(stalling.port());
        impatient.DatabaseName = "Sales";
        impatient.UserName = "tablor";
        impatient.Password = kPassword;
        impatient.QueryTimeoutSeconds = 1;
        ScriptedPrompt seen;
        const auto start = Clock::now();
        EXPECT_EQ(impatient.Fill(seen), "ERROR");
        // However slowly the login's bytes come, its deadline holds.
        if (loginCase) {
            EXPECT_LT(Clock::now() - start, std::chrono::seconds(6));
        }
        EXPECT_THAT(impatient.LastErrorDetails(), "The server " + impatient.ServerName + " " + run.shows);
        EXPECT_EQ(impatient.MetaData()->Tables().Count(), 0);
    }
}

// What a read can be left waiting on, and how to see that it waits.
struct Stall {
    std::string name;
    std::function<void(TdsResponder&)> apply;
    std::function<bool(const TdsResponder&)> waiting;
};

std::vector<Stall> Stalls() {
    return {
        {"silent login", [](TdsResponder& s) { s.setSilentAfterAccept(true); },
         [](const TdsResponder& s) { return s.connectionCount() > 0; }},
        {"quiet after the login", [](TdsResponder& s) { s.setSilentAfterLogin(true); },
         [](const TdsResponder& s) { return s.loginCount() > 0; }},
        {"quiet in the middle of a result", [](TdsResponder& s) { s.stallAfterRows(kColumns, 3); },
         [](const TdsResponder& s) {
             const auto sent = s.queries();
             return std::find(sent.begin(), sent.end(), kColumns) != sent.end();
         }},
    };
}

SideDescription SideOn(const TdsResponder& server, unsigned loginTimeoutSeconds = 60) {
    ConnectionSettings settings;
    settings.serverName = "127.0.0.1," + std::to_string(server.port());
    settings.databaseName = "Sales";
    settings.userName = "tablor";
    settings.password = kPassword;
    settings.loginTimeoutSeconds = loginTimeoutSeconds;
    return SideDescription::Live(settings);
}

// True once `ready` holds; false after 20 seconds.
bool WaitFor(const std::function<bool()>& ready) {
    for (const auto until = Clock::now() + std::chrono::seconds(20); Clock::now() < until;) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Cancel ends a read within 200 ms whatever its reader waits on, with one live side and with
// two: no reader is left and nothing is told. While they wait, the two readers run side by side,
// and neither holds the password in its arguments or environment.
TEST(ReaderProcesses, CancelEndsEveryStalledReadAtOnce) {
    ::setenv("TABLOR_PASSWORD", kPassword.c_str(), 1);
    for (const Stall& stall : Stalls()) {
        for (const std::size_t sides : {1u, 2u}) {
            SCOPED_TRACE(stall.name + ", live sides: " + std::to_string(sides));
            std::array<TdsResponder, 2> servers;
            for (TdsResponder& server : servers) {
                ScriptCatalogue(server);
                stall.apply(server);
            }
            ScriptedPrompt seen;
            ComparisonService service(ReaderProcess(FreeTds()), seen);
            CancellationToken cancel;
            Clock::time_point cancelledAt;
            std::thread canceller([&] {
                EXPECT_TRUE(WaitFor([&] {
                    return RunningReaders().size() == sides && stall.waiting(servers[0]) &&
                           (sides == 1 || stall.waiting(servers[1]));
                }));
                for (const pid_t reader : RunningReaders())
                    EXPECT_THAT(ProcessFile(reader, "cmdline") + ProcessFile(reader, "environ"),
                                Not(HasSubstr(kPassword)));
                cancelledAt = Clock::now();
                cancel.Cancel();
            });
            if (sides == 1)
                EXPECT_THROW(service.Read(SideOn(servers[0]), {}, cancel), OperationCancelled);
            else
                EXPECT_THROW(service.Compare(SideOn(servers[0]), SideOn(servers[1]), {}, cancel),
                             OperationCancelled);
            const auto ended = Clock::now();
            canceller.join();
            EXPECT_LT(ended - cancelledAt, std::chrono::milliseconds(200));
            EXPECT_THAT(RunningReaders(), ::testing::IsEmpty());
            EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a reader was not waited for";
            EXPECT_TRUE(seen.messages.empty());
        }
    }
    ::unsetenv("TABLOR_PASSWORD");
}

// Two live sides log in side by side: two silent servers and a 3-second login timeout end the
// comparison in about 3 seconds, not 6; and a side that fails at once ends the other's login.
TEST(ReaderProcesses, TwoSilentLoginsEndTogether) {
    std::array<TdsResponder, 2> servers;
    for (TdsResponder& server : servers) server.setSilentAfterAccept(true);
    ScriptedPrompt seen;
    ComparisonService service(ReaderProcess(FreeTds()), seen);
    const auto start = Clock::now();
    try {
        service.Compare(SideOn(servers[0], 3), SideOn(servers[1], 3));
        ADD_FAILURE() << "compared";
    } catch (const ReportedFailure& failure) {
        EXPECT_THAT(failure.Description(), HasSubstr("the login did not complete within 3 seconds."));
    }
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(2900));
    EXPECT_LT(elapsed, std::chrono::milliseconds(4500));

    SideDescription closed = SideOn(servers[0], 30);
    {
        TdsResponder gone;
        closed.live.serverName = "127.0.0.1," + std::to_string(gone.port());
    }
    const auto second = Clock::now();
    EXPECT_THROW(service.Compare(SideOn(servers[1], 30), closed), ReportedFailure);
    EXPECT_LT(Clock::now() - second, std::chrono::seconds(5));
    EXPECT_THAT(RunningReaders(), ::testing::IsEmpty());
}

// Ctrl-C ends the command line within 200 ms whatever its readers wait on, with one live side
// and with two, and its readers end with it.
TEST(ReaderProcesses, CtrlCEndsTheCommandLineAndItsReaders) {
    // Readers left behind by the command line would become this process's children.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    for (const Stall& stall : Stalls()) {
        for (const std::size_t sides : {1u, 2u}) {
            SCOPED_TRACE(stall.name + ", live sides: " + std::to_string(sides));
            std::array<TdsResponder, 2> servers;
            std::vector<std::string> args = {TABLOR_CLI_PATH, sides == 1 ? "show" : "compare"};
            for (std::size_t i = 0; i < sides; ++i) {
                ScriptCatalogue(servers[i]);
                stall.apply(servers[i]);
                args.push_back("sqlserver://tablor@127.0.0.1:" + std::to_string(servers[i].port()) +
                               "?database=Sales");
            }
            const pid_t cli = ::fork();
            if (cli == 0) {
                ::setenv("TABLOR_PASSWORD", kPassword.c_str(), 1);
                ::setenv("TABLOR_ODBC_DRIVER", "FreeTDS", 1);
                std::vector<char*> argv;
                for (std::string& arg : args) argv.push_back(arg.data());
                argv.push_back(nullptr);
                ::execv(argv[0], argv.data());
                ::_exit(127);
            }
            EXPECT_TRUE(WaitFor([&] {
                return RunningReaders(cli).size() == sides && stall.waiting(servers[0]) &&
                       (sides == 1 || stall.waiting(servers[1]));
            }));
            const auto interrupted = Clock::now();
            ::kill(cli, SIGINT);
            int status = 0;
            ::waitpid(cli, &status, 0);
            EXPECT_TRUE(WaitFor([] { return RunningReaders().empty(); }));
            EXPECT_LT(Clock::now() - interrupted, std::chrono::milliseconds(200));
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
            while (::waitpid(-1, nullptr, WNOHANG) > 0) {
            }
        }
    }
}

// A driver that crashes takes down its reader only: the command line says what happened and
// ends with status 2.
TEST(ReaderProcesses, ADriverThatCrashesEndsTheReadWithAMessage) {
    TempFolder configuration;
    configuration.Write("odbcinst.ini", std::string("[Crash]\nDriver=") + TABLOR_CRASH_DRIVER + "\n");
    ::setenv("ODBCSYSINI", configuration.Path().c_str(), 1);
    OdbcOptions crashing;
    crashing.sqlServerDriver = "Crash";
    cli::CliEnvironment environment;
    environment.reader = ReaderProcess(crashing);
    environment.passwordVariable = "pw";
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunCli({"show", "sqlserver://tablor@127.0.0.1:1?database=Sales"}, out, err, environment),
              cli::kTrouble);
    EXPECT_THAT(err.str(), HasSubstr("ended before it had read the database: it was ended by signal"));
    ::unsetenv("ODBCSYSINI");
}

// Rows without end are cut off at the limit instead of filling memory; the connection is
// left clean for the next query.
TEST_F(SqlServerPath, EndlessRowsStopAtTheLimit) {
    server.sendRowsWithoutEnd(kTables);
    OdbcConnector connector(FreeTds());
    ConnectionSettings settings;
    settings.serverName = connection.ServerName;
    settings.databaseName = "Sales";
    settings.userName = "tablor";
    settings.password = kPassword;
    const auto session = connector.Open(settings);
    SchemaExtraction extraction(1000);
    try {
        extraction.Read(*session, SchemaQueries::For(DatabaseEngine::SqlServer), prompt);
        FAIL() << "read to the end";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.Description(),
                  "Reading stopped: the server sent more than 1000 rows of tables, far more than any real "
                  "schema has.");
    }
    auto rows = session->Query(kViews);
    EXPECT_TRUE(rows->Next());
}

}  // namespace
}  // namespace tablor::testing

TEST(OdbcDiagnostics, MasksARepeatedPasswordButNotShortWordsInsideText) {
    using tablor::odbc::WithoutSecret;
    EXPECT_EQ(WithoutSecret("bad login s3cret!x for s3cret!x", "s3cret!x"), "bad login **** for ****");
    // Masking "x" in "exist" would tell what the password is.
    EXPECT_EQ(WithoutSecret("database does not exist", "x"), "database does not exist");
}

TEST(OdbcDrivers, TheInstallerListsTheDriversConnectionsUse) {
    const auto drivers = tablor::odbc::InstalledDrivers();
    EXPECT_THAT(drivers, ::testing::Contains("FreeTDS"));
    EXPECT_THAT(drivers, ::testing::Contains("PostgreSQL Unicode"));
}

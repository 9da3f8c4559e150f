// A known password through every command of the command line and of the window, against the
// scripted SQL Server and the test PostgreSQL: it must show in no output, no file written, no
// window text and no driver log.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "LiveWindow.hpp"
#include "PostgresServer.hpp"
#include "SecretScan.hpp"
#include "sources/SchemaQueries.hpp"
#include "viewer/StructureViewerFrm.hpp"
#include "viewer/ViewerLaunch.hpp"

extern char** environ;

namespace tablor::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A login of this process's own on the test PostgreSQL, whose password is the secret. It is
// made with psql, so no driver of ours sees the password on the way; and the drivers log as
// Debian ships them, psqlODBC's communication log on, so that the logs checked are written.
class SecretsEnvironment : public ::testing::Environment {
  public:
    static inline std::string role;

    void SetUp() override {
        WriteDriverSettings();
        role = "tablor_secret_" + std::to_string(::getpid());
        Psql("CREATE ROLE " + role + " LOGIN PASSWORD '" + kSecret + "' IN ROLE pg_read_all_data;");
    }
    void TearDown() override { Psql("DROP ROLE IF EXISTS " + role + ";"); }

  private:
    static void Psql(const std::string& sql) {
        const PostgresServer& server = PostgresServer::Get();
        const char* bin = std::getenv("TABLOR_PG_BIN");
        const std::string psql =
            std::string(bin != nullptr && *bin != '\0' ? bin : "/usr/lib/postgresql/15/bin") + "/psql";
        const std::string command = "PGPASSWORD='" + server.password + "' '" + psql +
                                    "' -X -q -v ON_ERROR_STOP=1 -h " + server.host + " -p " + server.port +
                                    " -U " + server.user + " -d postgres >/dev/null 2>&1";
        FILE* pipe = ::popen(command.c_str(), "w");
        ASSERT_NE(pipe, nullptr);
        std::fputs(sql.c_str(), pipe);
        EXPECT_EQ(::pclose(pipe), 0) << "psql failed: " << command;
    }

    void WriteDriverSettings() {
        std::ifstream system("/etc/odbcinst.ini");
        if (!system) return;
        std::ostringstream copy;
        bool postgres = false;
        for (std::string line; std::getline(system, line);) {
            if (line.starts_with("[")) {
                postgres = line.starts_with("[PostgreSQL");
                copy << line << "\n";
                if (postgres) copy << "CommLog=1\nDebug=0\n";
                continue;
            }
            if (postgres && (line.starts_with("CommLog") || line.starts_with("Debug"))) continue;
            copy << line << "\n";
        }
        folder_.Write("odbcinst.ini", copy.str());
        ::setenv("ODBCSYSINI", folder_.Path().c_str(), 1);
    }

    TempFolder folder_;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new SecretsEnvironment);

// The command line run as a program, in folders of its own (TABLOR_HOME, HOME, XDG) that
// hold everything it writes.
class CommandLine {
  public:
    struct Outcome {
        int status = -1;
        std::string out, err;
    };

    CommandLine() {
        fs::create_directories(folder_.File("home"));
        fs::copy_file(TABLOR_EXAMPLES_DIR "/template.html", folder_.File("template.html"));
    }

    const std::string& Folder() const { return folder_.Path(); }
    std::string File(const std::string& name) const { return folder_.File(name); }

    // TABLOR_PASSWORD holds the secret; stdin is empty, so nothing is asked.
    Outcome Run(const std::vector<std::string>& args, bool withPassword = true) {
        const std::vector<std::string> environment = Environment(withPassword);
        const std::string out = output_.File("out"), err = output_.File("err");
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(in, STDIN_FILENO);
            ::dup2(o, STDOUT_FILENO);
            ::dup2(e, STDERR_FILENO);
            Exec(args, environment);
        }
        Outcome outcome;
        outcome.status = Wait(pid);
        outcome.out = TempFolder::Read(out);
        outcome.err = TempFolder::Read(err);
        return outcome;
    }

    // On a terminal without TABLOR_PASSWORD: the secret is typed at the prompt once echo is
    // off. Everything the terminal showed comes back as `out`.
    Outcome RunOnTerminal(const std::vector<std::string>& args) {
        const std::vector<std::string> environment = Environment(false);
        int terminal = -1;
        const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid == 0) Exec(args, environment);
        Outcome outcome;
        bool typed = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd ready{terminal, POLLIN, 0};
            if (::poll(&ready, 1, 100) > 0) {
                char buffer[4096];
                const ssize_t got = ::read(terminal, buffer, sizeof buffer);
                if (got <= 0) break;  // EIO once the program has gone
                outcome.out.append(buffer, static_cast<std::size_t>(got));
            }
            termios mode{};
            if (!typed && outcome.out.find("Password for ") != std::string::npos &&
                ::tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & ECHO) == 0) {
                const std::string line = kSecret + "\n";
                typed = ::write(terminal, line.data(), line.size()) == static_cast<ssize_t>(line.size());
            }
        }
        ::close(terminal);
        outcome.status = Wait(pid);
        EXPECT_TRUE(typed) << outcome.out;
        return outcome;
    }

  private:
    std::vector<std::string> Environment(bool withPassword) const {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view text(*entry);
            const std::string_view name = text.substr(0, text.find('='));
            if (name == "TABLOR_PASSWORD" || name == "TABLOR_ODBC_DRIVER" ||
                name == "TABLOR_ODBC_PG_DRIVER" || name == "TABLOR_HOME" || name == "HOME" ||
                name == "XDG_CONFIG_HOME" || name == "XDG_DATA_HOME" || name == "XDG_CACHE_HOME")
                continue;
            environment.emplace_back(text);
        }
        environment.push_back("TABLOR_HOME=" + folder_.Path());
        environment.push_back("HOME=" + folder_.File("home"));
        environment.push_back("XDG_CONFIG_HOME=" + folder_.File("home/.config"));
        environment.push_back("XDG_DATA_HOME=" + folder_.File("home/.local/share"));
        environment.push_back("XDG_CACHE_HOME=" + folder_.File("home/.cache"));
        if (withPassword) environment.push_back("TABLOR_PASSWORD=" + kSecret);
        return environment;
    }

    // In the child: nothing but async-signal-safe calls until exec.
    [[noreturn]] static void Exec(const std::vector<std::string>& args,
                                  const std::vector<std::string>& environment) {
        std::vector<char*> argv{const_cast<char*>(TABLOR_CLI_PATH)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
        envp.push_back(nullptr);
        ::execve(TABLOR_CLI_PATH, argv.data(), envp.data());
        ::_exit(127);
    }

    static int Wait(pid_t pid) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    TempFolder folder_;
    TempFolder output_;
};

// A catalogue for the responders: a table, a view, a routine.
Catalogue Sales() {
    Catalogue sales;
    sales.tables = {{"customers", {{"customer_id", "int", {}}, {"name", "varchar", 100}}},
                    {"ledger", {{"entry_id", "int", {}}}}};
    sales.views = {"open_orders"};
    sales.procedures = {"archive_orders"};
    return sales;
}

class Secrets : public LiveWindow {
  protected:
    void SetUp() override {
        LiveWindow::SetUp();
        hooks.viewConnectionStructure = [](gui::Main& window) { window.ViewConnectionStructure(); };
        hooks.viewSnapStructure = [](gui::Main& window) { window.ViewSnapStructure(); };
        Sales().ScriptInto(server);
        server.expectUser("tablor", kSecret);
        refusing.expectUser("tablor", "another password");
        Sales().ScriptInto(dropping);
        dropping.dropConnectionAfterRows(SchemaQueries::For(DatabaseEngine::SqlServer).columns, 1);
    }

    static std::string Port(const TdsResponder& responder) { return std::to_string(responder.port()); }
    std::string SqlServerAddress(const TdsResponder& responder) const {
        return "sqlserver://tablor@127.0.0.1:" + Port(responder) + "?database=Sales";
    }
    std::string PostgresAddress(const std::string& user = SecretsEnvironment::role) const {
        return "postgresql://" + user + "@" + postgres.host + ":" + postgres.port + "/tablor_shop";
    }
    QString PostgresServerText() const {
        return QString::fromStdString("postgresql://" + postgres.ServerName());
    }

    void SetFields(const QString& server, const QString& database, const QString& user) {
        Find<QComboBox>("txtServer").setEditText(server);
        Find<QLineEdit>("txtDatabase").setText(database);
        Find<QLineEdit>("txtUser").setText(user);
        Find<QLineEdit>("txtPassword").setText(QString::fromStdString(kSecret));
    }
    // Types a server and moves on, as the window remembers servers.
    void TypeServer(const QString& server) {
        Find<QComboBox>("txtServer").setFocus();
        QApplication::processEvents();
        Find<QComboBox>("txtServer").setEditText(server);
        Find<QLineEdit>("txtDatabase").setFocus();
        QApplication::processEvents();
    }

    const PostgresServer& postgres = PostgresServer::Get();
    TdsResponder server;
    TdsResponder refusing;
    TdsResponder dropping;
};

TEST_F(Secrets, CommandLine) {
    CommandLine cli;
    const std::string snapshot = TABLOR_EXAMPLES_DIR "/shop-v1.snp";
    const std::string sqlServer = SqlServerAddress(server);
    const std::string pg = PostgresAddress();
    const std::string hostPort = postgres.host + ":" + postgres.port;
    struct Case {
        std::string name;
        std::vector<std::string> args;
        int status;
        std::string shows;
    };
    const std::vector<Case> cases = {
        {"compare live and snapshot", {"compare", sqlServer, snapshot}, 1, "difference(s) found"},
        {"compare two live, as JSON", {"compare", sqlServer, pg, "--format", "json"}, 1, "\"differences\""},
        {"compare with an HTML report",
         {"compare", pg, snapshot, "--html", cli.File("report.html")},
         1,
         "difference(s)"},
        {"snapshot of SQL Server", {"snapshot", sqlServer, "-o", cli.File("sqlserver.snp")}, 0, "written to"},
        {"snapshot of PostgreSQL", {"snapshot", pg, "-o", cli.File("postgres.snp")}, 0, "written to"},
        {"show SQL Server", {"show", sqlServer}, 0, "password=****"},
        {"show PostgreSQL", {"show", pg}, 0, "password=****"},
        {"show a snapshot", {"show", cli.File("sqlserver.snp")}, 0, "customers"},
        {"a login SQL Server refuses",
         {"compare", SqlServerAddress(refusing), snapshot},
         2,
         "Error opening the connection"},
        {"a login PostgreSQL refuses",
         {"compare", PostgresAddress("tablor_reader"), snapshot},
         2,
         "Error opening the connection"},
        {"a connection lost while reading",
         {"snapshot", SqlServerAddress(dropping), "-o", cli.File("lost.snp")},
         2,
         "Error retriving connection data"},
        {"the password in the address",
         {"compare", "sqlserver://tablor:" + kSecret + "@127.0.0.1:" + Port(server) + "?database=Sales",
          snapshot},
         2,
         "****"},
        {"the password percent-encoded in the address",
         {"show", "postgresql://" + SecretsEnvironment::role + ":p%3B%7BKiteCanary4471%7D%3Dx@" + hostPort +
                      "/tablor_shop"},
         2,
         "****"},
        {"the password as a parameter",
         {"snapshot", sqlServer + "&password=" + kSecret, "-o", cli.File("x.snp")},
         2,
         "****"},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(run.name);
        const CommandLine::Outcome outcome = cli.Run(run.args);
        EXPECT_EQ(outcome.status, run.status) << outcome.err;
        EXPECT_THAT(outcome.out + outcome.err, HasSubstr(run.shows));
        EXPECT_EQ(Leak(outcome.out), "");
        EXPECT_EQ(Leak(outcome.err), "");
    }
    EXPECT_TRUE(fs::is_regular_file(cli.File("report.html")));
    EXPECT_TRUE(fs::is_regular_file(cli.File("postgres.snp")));
    EXPECT_FALSE(fs::exists(cli.File("lost.snp")));

    // Typed at the terminal, where progress is shown too: echo is off while it is typed.
    const CommandLine::Outcome typed = cli.RunOnTerminal({"compare", sqlServer, snapshot});
    EXPECT_EQ(typed.status, 1) << typed.out;
    EXPECT_THAT(typed.out, HasSubstr("difference(s) found"));
    EXPECT_EQ(Leak(typed.out), "");

    EXPECT_THAT(LeakingFiles(cli.Folder()), IsEmpty());
    std::vector<std::string> leaks;
    EXPECT_GT(ScanDriverLogs(leaks), 0u) << "psqlODBC wrote no log to check";
    EXPECT_THAT(leaks, IsEmpty());
}

TEST_F(Secrets, Window) {
    CopyExample("template.html", "template.html");
    ShownWindow();
    CapturedOutput output;
    const QString secret = QString::fromStdString(kSecret);
    const QString sqlServerText = ServerOf(server);
    const QString role = QString::fromStdString(SecretsEnvironment::role);
    TypeServer(sqlServerText);
    TypeServer(PostgresServerText());

    // Both engines into the comparison list, compared, and exported.
    AddConnectionEntry(sqlServerText, "Sales", "tablor", secret);
    AddConnectionEntry(PostgresServerText(), "tablor_shop", role, secret);
    Compare();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_THAT(prompt.messages[0].text, HasSubstr("difference(s) found"));
    saveDialog.Choose(QString::fromStdString(Home() + "/report.html"));
    Click("btnSave");
    EXPECT_TRUE(fs::is_regular_file(Home() + "/report.html"));

    // A snapshot of each.
    SetFields(sqlServerText, "Sales", "tablor");
    prompt.Type("sqlserver");
    Click("btnSaveSnapShot");
    SetFields(PostgresServerText(), "tablor_shop", role);
    prompt.Type("postgres");
    Click("btnSaveSnapShot");
    EXPECT_EQ(SnapShotList(), QStringList({"postgres.snp", "sqlserver.snp"}));

    // The structure of the live database in the fields, and of a snapshot.
    Click("btnViewConnectionStructure");
    SelectSnapShot("sqlserver.snp");
    Click("btnViewSnapStructure");
    int viewers = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        viewers += qobject_cast<gui::StructureViewerFrm*>(window) != nullptr ? 1 : 0;
    EXPECT_EQ(viewers, 2);
    // The comparison's result, then where the report and each snapshot went.
    EXPECT_EQ(prompt.messages.size(), 4u) << ::testing::PrintToString(prompt.Texts());

    // A refused login and a connection lost in the middle of the columns.
    for (const TdsResponder* failing : {&refusing, &dropping}) {
        Click("btnClear");
        AddConnectionEntry(ServerOf(*failing), "Sales", "tablor", secret);
        AddSnapShotEntry("postgres.snp");
        Compare();
    }
    ASSERT_EQ(prompt.messages.size(), 6u);
    EXPECT_THAT(prompt.messages[4].text, HasSubstr("Error opening the connection!"));
    EXPECT_EQ(prompt.messages[5].title, "Error retriving connection data");

    QStringList shown = WindowTexts();
    for (const PromptMessage& message : prompt.messages)
        shown << QString::fromStdString(message.text) << QString::fromStdString(message.title);
    for (const ScriptedPrompt::InputRequest& request : prompt.inputRequests)
        shown << QString::fromStdString(request.prompt + request.title + request.proposed);
    EXPECT_THAT(shown, ::testing::Contains(QString("Sales")));
    const std::string everything = shown.join('\n').toStdString();

    // Closing keeps the servers typed, in the settings file.
    ShownWindow().close();
    EXPECT_THAT(StoredServers().toStdString(), HasSubstr(PostgresServerText().toStdString()));
    const std::string printed = output.Stop();

    EXPECT_EQ(Leak(everything), "");
    EXPECT_EQ(Leak(printed), "");
    EXPECT_THAT(LeakingFiles(Home()), IsEmpty());
    EXPECT_THAT(LeakingFiles(std::getenv("HOME")), IsEmpty());
    std::vector<std::string> leaks;
    EXPECT_GT(ScanDriverLogs(leaks), 0u) << "psqlODBC wrote no log to check";
    EXPECT_THAT(leaks, IsEmpty());
}

}  // namespace
}  // namespace tablor::testing

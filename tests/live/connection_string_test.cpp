// The ODBC connection strings built from a live source's settings: the server forms, and every
// value reaching the driver unchanged whatever characters it holds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "ConnectionStringReaders.hpp"
#include "sources/OdbcConnectionString.hpp"

namespace tablor {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

ConnectionSettings SqlServer(std::string server, std::string user = "sa", std::string password = "pw") {
    ConnectionSettings settings;
    settings.serverName = std::move(server);
    settings.databaseName = "Sales";
    settings.userName = std::move(user);
    settings.password = std::move(password);
    return settings;
}

TEST(FreeTdsConnectionString, ServerForms) {
    EXPECT_EQ(BuildOdbcConnectionString(SqlServer("db1"), "FreeTDS"),
              "Driver={FreeTDS};Server={db1};Port={1433};Database={Sales};UID={sa};PWD={pw};"
              "TDS_Version={7.4};ClientCharset={UTF-8};APP={Tablor};");
    EXPECT_THAT(BuildOdbcConnectionString(SqlServer("db1,14330"), "FreeTDS"),
                HasSubstr("Server={db1};Port={14330};"));
    EXPECT_THAT(BuildOdbcConnectionString(SqlServer(" db1 , 14330 "), "FreeTDS"),
                HasSubstr("Server={db1};Port={14330};"));
    // An instance is found by the lookup service, so no port goes with it...
    const std::string named = BuildOdbcConnectionString(SqlServer("db1\\SQLEXPRESS"), "FreeTDS");
    EXPECT_THAT(named, HasSubstr("Server={db1\\SQLEXPRESS};Database="));
    EXPECT_THAT(named, Not(HasSubstr("Port=")));
    // ...unless a port is given too, which then wins.
    EXPECT_THAT(BuildOdbcConnectionString(SqlServer("db1\\SQLEXPRESS,1500"), "FreeTDS"),
                HasSubstr("Server={db1};Port={1500};"));
    EXPECT_THAT(BuildOdbcConnectionString(SqlServer("."), "FreeTDS"),
                HasSubstr("Server={localhost};Port={1433};"));
    EXPECT_THAT(BuildOdbcConnectionString(SqlServer("(LOCAL)\\X"), "FreeTDS"),
                HasSubstr("Server={localhost\\X};"));
}

TEST(FreeTdsConnectionString, PortThatIsNoPortIsRefused) {
    for (const char* server : {"db1,", "db1,abc", "db1,0", "db1,65536", "db1,14 33"}) {
        try {
            BuildOdbcConnectionString(SqlServer(server), "FreeTDS");
            ADD_FAILURE() << server << " was accepted";
        } catch (const DatabaseError& error) {
            EXPECT_THAT(error.Description(), HasSubstr("port")) << server;
        }
    }
}

TEST(FreeTdsConnectionString, IntegratedSecurityCarriesNoCredentials) {
    ConnectionSettings settings = SqlServer("db1", "someone", "secret");
    settings.integratedSecurity = true;
    const std::string text = BuildOdbcConnectionString(settings, "FreeTDS");
    EXPECT_THAT(text, HasSubstr("Trusted_Connection={Yes};"));
    EXPECT_THAT(text, Not(HasSubstr("UID=")));
    EXPECT_THAT(text, Not(HasSubstr("secret")));
}

// Every value reaches the driver exactly as typed, and the driver manager, which reads the string
// first with rules of its own, loads the chosen driver and nothing else; a value that cannot be
// carried that way is refused, naming the setting but never the value.
TEST(SqlServerConnectionString, ValuesArriveExactlyAndNeverSteerTheDriverManager) {
    const std::vector<std::string> values = {
        "my server",
        "us;er",
        "a}b;c{d=e f",
        "ends}",
        "{Sales} = 1",
        "x}y=z",
        "}",
        "{",
        "a}}b",
        "Sales}Driver=/tmp/x.so;X={",
        "x}DSN=evil;",
        "p} DMConnAttr=[1]=1;q={",
        "x};Driver=/tmp/x.so",
        "a}SAVEFILE=/tmp/f;b={",
        "a}b;FILEDSN={/tmp/f}",
        "a}Driver=/tmp/x.so",
    };
    enum Field { Server, Database, User, Password };
    const char* names[] = {"server name", "database name", "user name", "password"};
    for (const std::string driver : {"FreeTDS", "ODBC Driver 18 for SQL Server"}) {
        const bool freeTds = IsFreeTdsDriver(driver);
        for (int field = Server; field <= Password; ++field) {
            for (const std::string& value : values) {
                ConnectionSettings settings = SqlServer("db1", "sa", "pw");
                std::string* target[] = {&settings.serverName, &settings.databaseName, &settings.userName,
                                         &settings.password};
                *target[field] = value;
                const std::string what = driver + " / " + names[field] + " / " + value;
                std::string text;
                try {
                    text = BuildOdbcConnectionString(settings, driver);
                } catch (const DatabaseError& error) {
                    EXPECT_THAT(error.Description(), HasSubstr(names[field])) << what;
                    EXPECT_THAT(error.Description(), Not(HasSubstr(value))) << what;
                    continue;
                }
                EXPECT_TRUE(testing::DriverManagerLoadsOnly(text, driver)) << what << "\n" << text;
                const auto read =
                    freeTds ? testing::ReadLikeFreeTds(text) : testing::ReadLikeOdbcStandard(text);
                const char* keys[] = {"Server", "Database", "UID", "PWD"};
                if (field != Server) {
                    EXPECT_EQ(read.at(keys[field]), value) << what << "\n" << text;
                }
                EXPECT_EQ(read.at("Database"), settings.databaseName) << what;
            }
        }
    }
    // The test password with braces still goes through, whole.
    const std::string text = BuildOdbcConnectionString(SqlServer("db1", "sa", "a}b;c{d=e f"), "FreeTDS");
    EXPECT_EQ(testing::ReadLikeFreeTds(text).at("PWD"), "a}b;c{d=e f");
    EXPECT_THAT(text, EndsWith(";"));
}

TEST(FreeTdsConnectionString, ValueFreeTdsCannotTakeIsRefusedWithoutShowingIt) {
    for (const auto& [user, password, setting] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"sa", "x};y", "password"},
             {"o};x", "pw", "user name"},
             {"sa", std::string("a\0b", 3), "password"}}) {
        try {
            BuildOdbcConnectionString(SqlServer("db1", user, password), "FreeTDS");
            ADD_FAILURE() << setting << " accepted";
        } catch (const DatabaseError& error) {
            EXPECT_THAT(error.Description(), HasSubstr(setting));
            EXPECT_THAT(error.Description(), Not(HasSubstr(setting == "password" ? password : user)));
        }
    }
}

// Encryption in the words each driver reads; without the options nothing is added.
TEST(SqlServerConnectionString, EncryptionInEachDriversWords) {
    const std::string microsoft = "ODBC Driver 18 for SQL Server";
    struct Case {
        std::string driver;
        Encryption encryption;
        std::optional<bool> trust;
        std::string items;
    };
    const std::vector<Case> cases = {
        {"FreeTDS", Encryption::Default, std::nullopt, ""},
        {"FreeTDS", Encryption::Off, std::nullopt, "Encryption={off};"},
        {"FreeTDS", Encryption::Request, std::nullopt, "Encryption={request};"},
        // FreeTDS checks no certificate unless freetds.conf names a CA file.
        {"FreeTDS", Encryption::Require, true, "Encryption={require};"},
        {microsoft, Encryption::Default, std::nullopt, ""},
        {microsoft, Encryption::Off, std::nullopt, "Encrypt={no};"},
        {microsoft, Encryption::Request, std::nullopt, "Encrypt={no};"},
        {microsoft, Encryption::Require, false, "Encrypt={yes};TrustServerCertificate={no};"},
        {microsoft, Encryption::Strict, true, "Encrypt={strict};TrustServerCertificate={yes};"},
        {microsoft, Encryption::Default, true, "TrustServerCertificate={yes};"},
    };
    for (const Case& run : cases) {
        ConnectionSettings settings = SqlServer("db1");
        settings.encryption = run.encryption;
        settings.trustServerCertificate = run.trust;
        const std::string before = IsFreeTdsDriver(run.driver) ? "ClientCharset={UTF-8};" : "PWD={pw};";
        EXPECT_THAT(BuildOdbcConnectionString(settings, run.driver),
                    EndsWith(before + run.items + "APP={Tablor};"))
            << run.driver << " " << static_cast<int>(run.encryption);
    }
}

// FreeTDS 1.3 has no strict mode and cannot be told to check a certificate: asking for either
// is refused rather than quietly weakened.
TEST(FreeTdsConnectionString, EncryptionItCannotHonourIsRefused) {
    struct Case {
        Encryption encryption;
        std::optional<bool> trust;
        std::string shows;
    };
    const std::vector<Case> cases = {
        {Encryption::Strict, std::nullopt, "cannot use encrypt=strict"},
        {Encryption::Require, false, "trustServerCertificate=false"},
        {Encryption::Default, false, "trustServerCertificate=false"},
    };
    for (const Case& run : cases) {
        ConnectionSettings settings = SqlServer("db1");
        settings.encryption = run.encryption;
        settings.trustServerCertificate = run.trust;
        try {
            BuildOdbcConnectionString(settings, "FreeTDS");
            ADD_FAILURE() << run.shows << ": accepted";
        } catch (const DatabaseError& error) {
            EXPECT_THAT(error.Description(), HasSubstr(run.shows));
        }
    }
}

// Other drivers (Microsoft's) follow ODBC's own rule: "}" doubled inside braces.
TEST(OtherSqlServerDriver, StandardQuotingAndServerSyntax) {
    const std::string driver = "ODBC Driver 18 for SQL Server";
    const std::string text = BuildOdbcConnectionString(SqlServer("db1,1500", "sa", "x};y"), driver);
    EXPECT_EQ(
        text,
        "Driver={ODBC Driver 18 for SQL Server};Server={db1,1500};Database={Sales};UID={sa};PWD={x}};y};"
        "APP={Tablor};");
    EXPECT_THAT(BuildOdbcConnectionString(SqlServer("db1\\SQLEXPRESS"), driver),
                HasSubstr("Server={db1\\SQLEXPRESS};"));
    EXPECT_THAT(BuildOdbcConnectionString(SqlServer("db1"), driver), HasSubstr("Server={db1};Database"));
    EXPECT_TRUE(IsFreeTdsDriver("FreeTDS"));
    EXPECT_TRUE(IsFreeTdsDriver("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"));
    EXPECT_FALSE(IsFreeTdsDriver(driver));
}

// Reads back what psqlODBC hands to libpq: the pqopt item percent-decoded, then libpq's
// key='value' options.
std::map<std::string, std::string> PostgreSqlOptions(const std::string& connectionString) {
    const auto start = connectionString.find(";pqopt=");
    EXPECT_NE(start, std::string::npos);
    const auto end = connectionString.find(';', start + 1);
    const std::string encoded = connectionString.substr(start + 7, end - start - 7);
    EXPECT_EQ(encoded.find_first_of(";{}= '"), std::string::npos) << encoded;
    std::string options;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%') {
            options += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            options += encoded[i];
        }
    }
    std::map<std::string, std::string> values;
    std::size_t i = 0;
    while (i < options.size()) {
        const auto equals = options.find('=', i);
        const std::string key = options.substr(i, equals - i);
        EXPECT_EQ(options[equals + 1], '\'');
        std::string value;
        for (i = equals + 2; options[i] != '\''; ++i) {
            if (options[i] == '\\') ++i;
            value += options[i];
        }
        values[key] = value;
        i += 2;  // closing quote and the blank
    }
    return values;
}

TEST(PostgreSqlConnectionString, EverythingTravelsAsQuotedLibpqOptions) {
    ConnectionSettings settings;
    settings.engine = DatabaseEngine::PostgreSql;
    settings.serverName = "pg.example:6543";
    settings.databaseName = "shop 'n' {stuff};=";
    settings.userName = "O'Brien\\x";
    settings.password = "a}b;c{d=e f%20+é";
    const std::string text = BuildOdbcConnectionString(settings, "PostgreSQL Unicode");
    EXPECT_THAT(text, ::testing::StartsWith("Driver={PostgreSQL Unicode};pqopt="));
    EXPECT_THAT(text, EndsWith(";CommLog=0;Debug=0;"));
    EXPECT_THAT(text, Not(HasSubstr("a}b")));
    const auto options = PostgreSqlOptions(text);
    EXPECT_EQ(options.at("host"), "pg.example");
    EXPECT_EQ(options.at("port"), "6543");
    EXPECT_EQ(options.at("dbname"), "shop 'n' {stuff};=");
    EXPECT_EQ(options.at("user"), "O'Brien\\x");
    EXPECT_EQ(options.at("password"), "a}b;c{d=e f%20+é");
    EXPECT_EQ(options.at("application_name"), "Tablor");
}

TEST(PostgreSqlConnectionString, ServerFormsAndIntegratedSecurity) {
    ConnectionSettings settings;
    settings.engine = DatabaseEngine::PostgreSql;
    settings.databaseName = "shop";
    settings.userName = "app";
    settings.password = "pw";
    settings.serverName = "db1";
    EXPECT_EQ(PostgreSqlOptions(BuildOdbcConnectionString(settings, "x")).count("port"), 0u);
    settings.serverName = "db1,5433";
    EXPECT_EQ(PostgreSqlOptions(BuildOdbcConnectionString(settings, "x")).at("port"), "5433");
    settings.serverName = "[::1]:5434";
    auto options = PostgreSqlOptions(BuildOdbcConnectionString(settings, "x"));
    EXPECT_EQ(options.at("host"), "::1");
    EXPECT_EQ(options.at("port"), "5434");
    settings.serverName = "fe80::1";
    EXPECT_EQ(PostgreSqlOptions(BuildOdbcConnectionString(settings, "x")).at("host"), "fe80::1");
    settings.serverName = "db1:nope";
    EXPECT_THROW(BuildOdbcConnectionString(settings, "x"), DatabaseError);

    settings.serverName = "db1";
    settings.integratedSecurity = true;
    options = PostgreSqlOptions(BuildOdbcConnectionString(settings, "x"));
    EXPECT_EQ(options.count("user"), 0u);
    EXPECT_EQ(options.count("password"), 0u);
}

ConnectionSettings MySql(std::string server) {
    ConnectionSettings settings = SqlServer(std::move(server), "app", "pw");
    settings.engine = DatabaseEngine::MySql;
    return settings;
}

TEST(MySqlConnectionString, ServerForms) {
    EXPECT_EQ(BuildOdbcConnectionString(MySql("db1"), "MariaDB Unicode"),
              "DRIVER={MariaDB Unicode};SERVER={db1};DATABASE={Sales};UID={app};PWD={pw};TCPIP={1};"
              "CHARSET={utf8mb4};");
    const struct {
        const char* server;
        const char* expected;
    } cases[] = {
        {"db1:3307", "SERVER={db1};PORT={3307};"},
        {"db1,3307", "SERVER={db1};PORT={3307};"},
        {"[::1]:3307", "SERVER={::1};PORT={3307};"},
        {".", "SERVER={localhost};DATABASE="},
    };
    for (const auto& c : cases)
        EXPECT_THAT(BuildOdbcConnectionString(MySql(c.server), "x"), HasSubstr(c.expected)) << c.server;
    EXPECT_THROW(BuildOdbcConnectionString(MySql("db1:nope"), "x"), DatabaseError);
}

// The driver reads "}}" inside braces as "}" and trims blanks from both ends of a value; the
// client library below it reads a host holding ";", "=", "," or "://" as options, a plugin or a
// host list. Each value reaches the server as exactly what it is, or is refused by its name.
TEST(MySqlConnectionString, ValuesArriveExactlyOrAreRefusedWithoutShowingThem) {
    const std::vector<std::string> values = {"a}b;c{d=e f",
                                             "}",
                                             "{",
                                             "x};DSN=evil;y={",
                                             "a}SAVEFILE=/tmp/f",
                                             " lead",
                                             "trail ",
                                             "tab\t",
                                             "é Ω 表",
                                             "127.0.0.1;init-command=CREATE DATABASE pwned",
                                             "h;plugin-dir=/tmp/x;default-auth=dialog",
                                             "host=evil.example",
                                             "evil://h",
                                             "evil://h,3306",
                                             "db1,evil.example",
                                             "db1,evil.example,3306"};
    const struct {
        const char* key;
        const char* name;
        std::string ConnectionSettings::*member;
    } fields[] = {{"SERVER", "server name", &ConnectionSettings::serverName},
                  {"DATABASE", "database name", &ConnectionSettings::databaseName},
                  {"UID", "user name", &ConnectionSettings::userName},
                  {"PWD", "password", &ConnectionSettings::password}};
    for (const auto& field : fields) {
        const bool server = field.member == &ConnectionSettings::serverName;
        for (const std::string& value : values) {
            if (server && (value.front() == ' ' || value.back() == ' '))
                continue;  // a server name loses its spaces
            ConnectionSettings settings = MySql("db1");
            settings.*field.member = value;
            const std::string what = std::string(field.name) + " / " + value;
            const bool blankEnd = value.front() == ' ' || value.back() == ' ' || value.back() == '\t';
            const bool moreThanAHost =
                server && testing::ReadLikeMariaDbClient(value) != testing::KeywordValues{{"host", value}};
            try {
                const std::string text = BuildOdbcConnectionString(settings, "MariaDB Unicode");
                EXPECT_FALSE(blankEnd || moreThanAHost) << what;
                EXPECT_TRUE(testing::DriverManagerLoadsOnly(text, "MariaDB Unicode")) << what << "\n" << text;
                EXPECT_EQ(testing::ReadLikeMariaDbOdbc(text).at(field.key), value) << what << "\n" << text;
            } catch (const DatabaseError& error) {
                EXPECT_TRUE(blankEnd || moreThanAHost) << what;
                EXPECT_THAT(error.Description(), HasSubstr(field.name)) << what;
                EXPECT_THAT(error.Description(), Not(HasSubstr(value))) << what;
            }
        }
    }
}

}  // namespace
}  // namespace tablor

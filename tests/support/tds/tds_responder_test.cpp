// Drives TdsResponder through the real unixODBC + FreeTDS stack, so these
// tests pin both the double's wire format and the driver behaviour that
// the production code relies on.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "TdsChannel.hpp"
#include "TdsResponder.hpp"
#include "Utf16.hpp"

namespace tablor::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

struct Diagnostic {
    std::string state;
    SQLINTEGER native = 0;
    std::string message;
};

std::vector<Diagnostic> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::vector<Diagnostic> out;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLCHAR message[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(handleType, handle, record, state, &native, message, sizeof message,
                                         &length))) {
            return out;
        }
        out.push_back({reinterpret_cast<const char*>(state), native, reinterpret_cast<const char*>(message)});
    }
}

bool anyDiagnostic(const std::vector<Diagnostic>& all, const std::string& state) {
    for (const auto& d : all) {
        if (d.state == state) {
            return true;
        }
    }
    return false;
}

std::string describe(const std::vector<Diagnostic>& all) {
    std::string out;
    for (const auto& d : all) {
        out += d.state + " (" + std::to_string(d.native) + ") " + d.message + "\n";
    }
    return out;
}

std::string connectionString(std::uint16_t port, const std::string& credentials) {
    return "Driver={FreeTDS};Server=127.0.0.1;Port=" + std::to_string(port) +
           ";TDS_Version=7.4;ClientCharset=UTF-8;" + credentials;
}

std::string connectionString(const TdsResponder& server) {
    return connectionString(server.port(), "Database={Inventory};UID={tablor};PWD={s3cret};");
}

// One ODBC environment + connection, released in the right order.
class Connection {
  public:
    Connection() {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    }
    ~Connection() {
        if (connected_) {
            SQLDisconnect(dbc_);
        }
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // FreeTDS 1.3 has no connection-string keyword for the login timeout
    // (LoginTimeout= is ignored), so it goes in as an attribute.
    SQLRETURN open(const std::string& text, SQLUINTEGER loginTimeoutSeconds = 5) {
        setLoginTimeout(loginTimeoutSeconds);
        std::string buffer = text;
        const SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(buffer.data()),
                                              SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
        connected_ = SQL_SUCCEEDED(rc);
        return rc;
    }

    SQLRETURN openWide(const std::string& utf8Text) {
        const auto bytes = tds::utf8ToUtf16le(utf8Text);
        std::vector<SQLWCHAR> text;
        for (std::size_t i = 0; i < bytes.size(); i += 2) {
            text.push_back(static_cast<SQLWCHAR>(bytes[i] | (bytes[i + 1] << 8)));
        }
        text.push_back(0);
        setLoginTimeout(5);
        const SQLRETURN rc =
            SQLDriverConnectW(dbc_, nullptr, text.data(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
        connected_ = SQL_SUCCEEDED(rc);
        return rc;
    }

    std::vector<Diagnostic> diagnostics() const { return tablor::testing::diagnostics(SQL_HANDLE_DBC, dbc_); }
    SQLHDBC handle() const { return dbc_; }

  private:
    void setLoginTimeout(SQLUINTEGER seconds) {
        SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(std::uintptr_t{seconds}),
                          SQL_IS_UINTEGER);
    }

    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
};

class Statement {
  public:
    explicit Statement(const Connection& connection) {
        SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &stmt_);
    }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SQLRETURN execute(const std::string& sql) {
        std::string buffer = sql;
        return SQLExecDirect(stmt_, reinterpret_cast<SQLCHAR*>(buffer.data()), SQL_NTS);
    }
    SQLRETURN fetch() { return SQLFetch(stmt_); }

    SQLSMALLINT columnCount() {
        SQLSMALLINT count = -1;
        SQLNumResultCols(stmt_, &count);
        return count;
    }

    std::string columnName(SQLUSMALLINT column) {
        SQLCHAR name[256] = {};
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeCol(stmt_, column, name, sizeof name, &length, &type, &size, &digits, &nullable);
        return reinterpret_cast<const char*>(name);
    }

    std::optional<std::string> text(SQLUSMALLINT column) {
        char buffer[2048] = {};
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
        EXPECT_TRUE(SQL_SUCCEEDED(rc)) << describe(diagnostics());
        if (indicator == SQL_NULL_DATA) {
            return std::nullopt;
        }
        return std::string(buffer, static_cast<std::size_t>(indicator));
    }

    std::optional<std::int64_t> integer(SQLUSMALLINT column) {
        SQLBIGINT value = 0;
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_SBIGINT, &value, sizeof value, &indicator);
        EXPECT_TRUE(SQL_SUCCEEDED(rc)) << describe(diagnostics());
        if (indicator == SQL_NULL_DATA) {
            return std::nullopt;
        }
        return value;
    }

    std::vector<Diagnostic> diagnostics() const {
        return tablor::testing::diagnostics(SQL_HANDLE_STMT, stmt_);
    }
    SQLHSTMT handle() const { return stmt_; }

  private:
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct CatalogRow {
    std::optional<std::string> table, column;
    std::optional<std::int64_t> length;
    std::optional<std::string> type;
    bool operator==(const CatalogRow&) const = default;
};

void PrintTo(const CatalogRow& r, std::ostream* os) {
    *os << "{" << r.table.value_or("NULL") << ", " << r.column.value_or("NULL") << ", "
        << (r.length ? std::to_string(*r.length) : "NULL") << ", " << r.type.value_or("NULL") << "}";
}

// --- Login -----------------------------------------------------------------

TEST(TdsResponderLogin, RecordsTheLoginAndTheDriverSendsNothingElseOnConnect) {
    TdsResponder server;
    server.expectUser("tablor", "s3cret");
    Connection connection;

    const SQLRETURN rc = connection.open(connectionString(server) + "APP=tablor-tests;");

    ASSERT_EQ(rc, SQL_SUCCESS) << describe(connection.diagnostics());
    const auto login = server.lastLogin();
    ASSERT_TRUE(login.has_value());
    EXPECT_EQ(login->user, "tablor");
    EXPECT_EQ(login->password, "s3cret");
    EXPECT_EQ(login->database, "Inventory");
    EXPECT_EQ(login->appName, "tablor-tests");
    EXPECT_FALSE(login->integrated);
    EXPECT_EQ(login->tdsVersion, 0x74000004u);
    EXPECT_EQ(server.loginCount(), 1u);
    // Tests may assert the exact list of queries: FreeTDS adds none of its own.
    EXPECT_TRUE(server.queries().empty());
}

// What FreeTDS 1.3's connection-string parser makes of special characters.
// A braced value runs to the first "};" and "}}" is NOT collapsed to "}",
// so the usual ODBC escaping corrupts passwords that contain '}'.
TEST(TdsResponderLogin, PasswordQuotingAsFreeTdsParsesIt) {
    struct Case {
        std::string pwdItem;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"PWD={a}b;c{d=e f};", "a}b;c{d=e f"},
        {"PWD={x;y=z {w} };", "x;y=z {w} "},
        {"PWD=a}b{c=d e;", "a}b{c=d e"},  // unbraced: everything up to ';'
        {"PWD= padded ;", " padded "},
        {"PWD={ends}};", "ends}"},
        {"PWD={a}}b};", "a}}b"},  // doubled brace stays doubled
        {"PWD={last}", "last}"},  // braced last item without ';' keeps the '}'
    };
    TdsResponder server;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pwdItem);
        Connection connection;
        const SQLRETURN rc = connection.open(connectionString(server.port(), "UID=tablor;" + c.pwdItem));
        ASSERT_TRUE(SQL_SUCCEEDED(rc)) << describe(connection.diagnostics());
        EXPECT_EQ(server.lastLogin()->password, c.expected);
    }
}

// Through the ANSI entry point FreeTDS 1.3 reads the connection string as
// Latin-1 whatever ClientCharset says, so non-ASCII credentials need the
// wide one.
TEST(TdsResponderLogin, NonAsciiCredentialsSurviveOnlyTheWideConnectCall) {
    TdsResponder server;
    const std::string credentials = "Database={Ωmega};UID={usér};PWD={pässwörd-表😀};";

    Connection wide;
    ASSERT_EQ(wide.openWide(connectionString(server.port(), credentials)), SQL_SUCCESS)
        << describe(wide.diagnostics());
    auto login = server.lastLogin();
    EXPECT_EQ(login->database, "Ωmega");
    EXPECT_EQ(login->user, "usér");
    EXPECT_EQ(login->password, "pässwörd-表😀");

    Connection narrow;
    ASSERT_EQ(narrow.open(connectionString(server.port(), credentials)), SQL_SUCCESS)
        << describe(narrow.diagnostics());
    login = server.lastLogin();
    EXPECT_EQ(login->user, "us\u00C3\u00A9r");  // each UTF-8 byte taken as a character
}

TEST(TdsResponderLogin, WrongPasswordFailsLikeSqlServerAndLaterLoginsStillWork) {
    TdsResponder server;
    server.expectUser("tablor", "s3cret");

    {
        Connection rejected;
        const SQLRETURN rc =
            rejected.open(connectionString(server.port(), "Database=Inventory;UID=tablor;PWD=wrong;"));
        EXPECT_EQ(rc, SQL_ERROR);
        const auto diags = rejected.diagnostics();
        bool sawLoginFailure = false;
        for (const auto& d : diags) {
            sawLoginFailure |=
                d.native == 18456 && d.message.find("Login failed for user 'tablor'.") != std::string::npos;
        }
        EXPECT_TRUE(sawLoginFailure) << describe(diags);
    }

    Connection accepted;
    EXPECT_EQ(accepted.open(connectionString(server)), SQL_SUCCESS) << describe(accepted.diagnostics());
    EXPECT_EQ(server.loginCount(), 2u);
}

// --- Queries ---------------------------------------------------------------

class TdsResponderQuery : public ::testing::Test {
  protected:
    void connect() {
        ASSERT_EQ(connection.open(connectionString(server)), SQL_SUCCESS)
            << describe(connection.diagnostics());
    }

    TdsResponder server;
    Connection connection;
};

TEST_F(TdsResponderQuery, CatalogRowsSurviveTheDriverIntact) {
    const std::string sql =
        "SELECT TABLE_NAME, COLUMN_NAME, CHARACTER_MAXIMUM_LENGTH, DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS";
    server.addResult(sql, ResultSet{{{"TABLE_NAME", ColumnType::NVarChar},
                                     {"COLUMN_NAME", ColumnType::NVarChar},
                                     {"CHARACTER_MAXIMUM_LENGTH", ColumnType::Int},
                                     {"DATA_TYPE", ColumnType::NVarChar}},
                                    {
                                        {"Customers", "Name", 200, "nvarchar"},
                                        {"Customers", "Id", std::nullopt, "int"},
                                        {"Notes", "Body", -1, "nvarchar"},
                                        {"é", "Ω", 1, "表"},
                                        {"Emoji😀", "", 0, std::nullopt},
                                    }});
    connect();
    Statement statement(connection);

    ASSERT_EQ(statement.execute(sql), SQL_SUCCESS) << describe(statement.diagnostics());

    ASSERT_EQ(statement.columnCount(), 4);
    EXPECT_EQ(statement.columnName(1), "TABLE_NAME");
    EXPECT_EQ(statement.columnName(2), "COLUMN_NAME");
    EXPECT_EQ(statement.columnName(3), "CHARACTER_MAXIMUM_LENGTH");
    EXPECT_EQ(statement.columnName(4), "DATA_TYPE");

    std::vector<CatalogRow> rows;
    while (statement.fetch() == SQL_SUCCESS) {
        rows.push_back({statement.text(1), statement.text(2), statement.integer(3), statement.text(4)});
    }
    EXPECT_THAT(rows, ElementsAre(CatalogRow{"Customers", "Name", 200, "nvarchar"},
                                  CatalogRow{"Customers", "Id", std::nullopt, "int"},
                                  CatalogRow{"Notes", "Body", -1, "nvarchar"}, CatalogRow{"é", "Ω", 1, "表"},
                                  CatalogRow{"Emoji😀", "", 0, std::nullopt}));
    EXPECT_THAT(server.queries(), ElementsAre(sql));
}

TEST_F(TdsResponderQuery, IntegerWidthsKeepTheirExtremes) {
    server.addResult("SELECT ints",
                     ResultSet{{{"b", ColumnType::Bit},
                                {"t", ColumnType::TinyInt},
                                {"s", ColumnType::SmallInt},
                                {"i", ColumnType::Int},
                                {"g", ColumnType::BigInt}},
                               {{1, 255, -32768, INT32_MIN, INT64_MIN},
                                {0, 0, 32767, INT32_MAX, INT64_MAX},
                                {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}}});
    connect();
    Statement statement(connection);
    ASSERT_EQ(statement.execute("SELECT ints"), SQL_SUCCESS) << describe(statement.diagnostics());

    std::vector<std::vector<std::optional<std::int64_t>>> rows;
    while (statement.fetch() == SQL_SUCCESS) {
        rows.push_back({statement.integer(1), statement.integer(2), statement.integer(3),
                        statement.integer(4), statement.integer(5)});
    }
    const std::optional<std::int64_t> null;
    EXPECT_THAT(rows, ElementsAre(ElementsAre(1, 255, -32768, INT32_MIN, INT64_MIN),
                                  ElementsAre(0, 0, 32767, INT32_MAX, INT64_MAX),
                                  ElementsAre(null, null, null, null, null)));
}

// A reply of a few hundred packets: they must reassemble in order, with rows
// and characters cut across packet boundaries.
TEST_F(TdsResponderQuery, LongBatchAndLargeReplySpanManyPackets) {
    // The client splits this batch over several packets too.
    std::string sql = "SELECT n, text FROM big WHERE name IN (";
    for (int i = 0; i < 600; ++i) {
        sql += "N'värde" + std::to_string(i) + "', ";
    }
    sql += "N'')";
    ResultSet result{{{"n", ColumnType::Int}, {"text", ColumnType::NVarChar, 400}}, {}};
    for (int i = 0; i < 1500; ++i) {
        result.rows.push_back(
            {i, std::string(300, static_cast<char>('a' + i % 26)) + "é" + std::to_string(i)});
    }
    server.addResult(sql, result);
    connect();
    Statement statement(connection);
    ASSERT_EQ(statement.execute(sql), SQL_SUCCESS) << describe(statement.diagnostics());

    int count = 0;
    bool allIntact = true;
    while (statement.fetch() == SQL_SUCCESS) {
        allIntact &= statement.integer(1) == count && statement.text(2) == *result.rows[count][1].text();
        ++count;
    }
    EXPECT_EQ(count, 1500);
    EXPECT_TRUE(allIntact);
}

TEST_F(TdsResponderQuery, BatchWithSeveralResultSets) {
    server.addResults("EXEC two", {ResultSet{{{"a", ColumnType::Int}}, {{1}, {2}}},
                                   ResultSet{{{"b", ColumnType::NVarChar}}, {{"x"}}}});
    connect();
    Statement statement(connection);
    ASSERT_EQ(statement.execute("EXEC two"), SQL_SUCCESS) << describe(statement.diagnostics());

    std::vector<std::string> seen;
    do {
        while (statement.fetch() == SQL_SUCCESS) {
            seen.push_back(statement.columnName(1) + "=" + statement.text(1).value_or("NULL"));
        }
    } while (SQLMoreResults(statement.handle()) == SQL_SUCCESS);
    EXPECT_THAT(seen, ElementsAre("a=1", "a=2", "b=x"));
}

// The production code reads both databases at once.
TEST_F(TdsResponderQuery, TwoConnectionsCanBeOpenAtOnce) {
    server.addResult("SELECT DB_NAME()", ResultSet{{{"", ColumnType::NVarChar}}, {{"either"}}});
    Connection source;
    Connection target;
    ASSERT_EQ(source.open(connectionString(server.port(), "Database=Source;UID=a;PWD=b;")), SQL_SUCCESS);
    ASSERT_EQ(target.open(connectionString(server.port(), "Database=Target;UID=a;PWD=b;")), SQL_SUCCESS);
    Statement fromSource(source);
    Statement fromTarget(target);

    ASSERT_EQ(fromSource.execute("SELECT DB_NAME()"), SQL_SUCCESS);
    ASSERT_EQ(fromTarget.execute("SELECT DB_NAME()"), SQL_SUCCESS);
    ASSERT_EQ(fromTarget.fetch(), SQL_SUCCESS);
    ASSERT_EQ(fromSource.fetch(), SQL_SUCCESS);
    EXPECT_EQ(fromSource.text(1), "either");
    EXPECT_EQ(fromTarget.text(1), "either");
    EXPECT_EQ(server.loginCount(), 2u);
}

// Closing a cursor with rows still unread makes FreeTDS send an attention
// and wait for its acknowledgement before the connection is usable again.
TEST_F(TdsResponderQuery, ClosingACursorEarlyLeavesTheConnectionUsable) {
    ResultSet many{{{"n", ColumnType::Int}}, {}};
    for (int i = 0; i < 5000; ++i) {
        many.rows.push_back({i});
    }
    server.addResult("SELECT many", many);
    server.addResult("SELECT 1", ResultSet{{{"one", ColumnType::Int}}, {{1}}});
    connect();
    Statement statement(connection);
    // Bounds the wait should the acknowledgement never come.
    SQLSetStmtAttr(statement.handle(), SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(std::uintptr_t{3}), 0);

    ASSERT_EQ(statement.execute("SELECT many"), SQL_SUCCESS);
    ASSERT_EQ(statement.fetch(), SQL_SUCCESS);
    ASSERT_EQ(SQLCloseCursor(statement.handle()), SQL_SUCCESS) << describe(statement.diagnostics());

    ASSERT_EQ(statement.execute("SELECT 1"), SQL_SUCCESS) << describe(statement.diagnostics());
    ASSERT_EQ(statement.fetch(), SQL_SUCCESS);
    EXPECT_EQ(statement.integer(1), 1);
}

TEST_F(TdsResponderQuery, UnscriptedBatchSucceedsWithoutAResultSet) {
    connect();
    Statement statement(connection);

    // FreeTDS answers SQL_NO_DATA, not SQL_SUCCESS, for a batch that neither
    // returns rows nor counts any; SQL Server's SET statements do the same.
    EXPECT_EQ(statement.execute("SET LOCK_TIMEOUT 5000"), SQL_NO_DATA) << describe(statement.diagnostics());
    EXPECT_EQ(statement.columnCount(), 0);
    EXPECT_THAT(server.queries(), ElementsAre("SET LOCK_TIMEOUT 5000"));
}

TEST_F(TdsResponderQuery, ScriptedErrorSurfacesAndTheConnectionStaysUsable) {
    const std::string denied = "SELECT name FROM sys.sql_modules";
    server.addError(denied, 229, "The SELECT permission was denied on the object 'sql_modules'.", 14, 5);
    server.addResult("SELECT 1", ResultSet{{{"one", ColumnType::Int}}, {{1}}});
    connect();

    {
        Statement failing(connection);
        EXPECT_EQ(failing.execute(denied), SQL_ERROR);
        const auto diags = failing.diagnostics();
        ASSERT_FALSE(diags.empty());
        EXPECT_EQ(diags.front().native, 229);
        EXPECT_THAT(diags.front().message, HasSubstr("SELECT permission was denied"));
    }

    Statement next(connection);
    ASSERT_EQ(next.execute("SELECT 1"), SQL_SUCCESS) << describe(next.diagnostics());
    ASSERT_EQ(next.fetch(), SQL_SUCCESS);
    EXPECT_EQ(next.integer(1), 1);
}

TEST_F(TdsResponderQuery, FixtureMistakesAreRejectedWhenScripted) {
    const std::vector<Column> columns{{"n", ColumnType::Int}, {"s", ColumnType::NVarChar, 3}};
    EXPECT_THROW(server.addResult("q", ResultSet{columns, {{"text", "abc"}}}), std::invalid_argument);
    EXPECT_THROW(server.addResult("q", ResultSet{columns, {{1, 2}}}), std::invalid_argument);
    EXPECT_THROW(server.addResult("q", ResultSet{columns, {{1, "abcd"}}}), std::invalid_argument);
    EXPECT_THROW(server.addResult("q", ResultSet{columns, {{1}}}), std::invalid_argument);
    EXPECT_THROW(server.addResult("q", ResultSet{{{"t", ColumnType::TinyInt}}, {{256}}}),
                 std::invalid_argument);
    EXPECT_THROW(server.addResult("q", ResultSet{columns, {{1, "\xC3"}}}), std::invalid_argument);
    // Length counts UTF-16 units, as SQL Server does: "表😀" is three.
    EXPECT_NO_THROW(server.addResult("q", ResultSet{columns, {{1, "表😀"}}}));
    EXPECT_THROW(server.addResult("q", ResultSet{columns, {{1, "表😀x"}}}), std::invalid_argument);
}

// --- Failures --------------------------------------------------------------

TEST(TdsResponderFailure, ClosedPortFailsFast) {
    std::uint16_t port = 0;
    {
        TdsResponder gone;
        port = gone.port();
    }
    Connection connection;
    const auto start = Clock::now();

    const SQLRETURN rc = connection.open(connectionString(port, "UID=tablor;PWD=s3cret;"), 5);

    EXPECT_EQ(rc, SQL_ERROR);
    EXPECT_LT(millisecondsSince(start), 2000);
    EXPECT_TRUE(anyDiagnostic(connection.diagnostics(), "08001")) << describe(connection.diagnostics());
}

TEST(TdsResponderFailure, SilentServerEndsAtTheLoginTimeout) {
    TdsResponder server;
    server.setSilentAfterAccept(true);
    Connection connection;
    const auto start = Clock::now();

    const SQLRETURN rc = connection.open(connectionString(server), 2);

    const auto elapsed = millisecondsSince(start);
    EXPECT_EQ(rc, SQL_ERROR);
    EXPECT_GE(elapsed, 1500);
    EXPECT_LT(elapsed, 5000);
    EXPECT_TRUE(anyDiagnostic(connection.diagnostics(), "HYT00")) << describe(connection.diagnostics());
    EXPECT_EQ(server.loginCount(), 0u);
}

TEST(TdsResponderFailure, ConnectionDroppedMidResultIsAnErrorNotAHang) {
    const std::string sql = "SELECT name FROM sys.tables";
    TdsResponder server;
    ResultSet tables{{{"name", ColumnType::NVarChar}}, {}};
    for (int i = 0; i < 10; ++i) {
        tables.rows.push_back({"t" + std::to_string(i)});
    }
    server.addResult(sql, tables);
    server.dropConnectionAfterRows(sql, 3);

    {
        Connection connection;
        ASSERT_EQ(connection.open(connectionString(server)), SQL_SUCCESS)
            << describe(connection.diagnostics());
        Statement statement(connection);
        SQLRETURN rc = statement.execute(sql);
        std::vector<std::string> fetched;
        while (rc == SQL_SUCCESS && (rc = statement.fetch()) == SQL_SUCCESS) {
            fetched.push_back(statement.text(1).value_or("NULL"));
        }
        EXPECT_EQ(rc, SQL_ERROR);
        EXPECT_THAT(fetched, ElementsAre("t0", "t1", "t2"));
        // FreeTDS 1.3 reports this as 01000 / 20017, not 08S01.
        const auto diags = statement.diagnostics();
        ASSERT_FALSE(diags.empty());
        EXPECT_EQ(diags.front().native, 20017) << describe(diags);
        EXPECT_THAT(diags.front().message, HasSubstr("Unexpected EOF from the server"));
    }

    // The responder itself carries on.
    server.addResult("SELECT 1", ResultSet{{{"one", ColumnType::Int}}, {{1}}});
    Connection again;
    ASSERT_EQ(again.open(connectionString(server)), SQL_SUCCESS) << describe(again.diagnostics());
    Statement statement(again);
    EXPECT_EQ(statement.execute("SELECT 1"), SQL_SUCCESS);
}

TEST(TdsResponderFailure, DestroyingTheResponderCutsOffConnectedClients) {
    auto server = std::make_unique<TdsResponder>();
    Connection connection;
    ASSERT_EQ(connection.open(connectionString(*server)), SQL_SUCCESS) << describe(connection.diagnostics());

    const auto start = Clock::now();
    server.reset();
    EXPECT_LT(millisecondsSince(start), 1000);

    Statement statement(connection);
    EXPECT_EQ(statement.execute("SELECT 1"), SQL_ERROR);
}

// --- Framing ---------------------------------------------------------------
// FreeTDS checks neither packet sizes nor end-of-message flags, so the
// invariants stricter clients rely on are checked here on a socket pair.

class TdsChannelFraming : public ::testing::Test {
  protected:
    TdsChannelFraming() {
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets_), 0);
        EXPECT_EQ(::pipe(wake_), 0);
        ::fcntl(sockets_[0], F_SETFL, ::fcntl(sockets_[0], F_GETFL) | O_NONBLOCK);
        channel_ = std::make_unique<tds::TdsChannel>(sockets_[0], wake_[0]);
    }
    ~TdsChannelFraming() override {
        channel_.reset();
        ::close(sockets_[1]);
        ::close(wake_[0]);
        ::close(wake_[1]);
    }

    struct Packet {
        std::uint8_t type, status;
        std::size_t length;
        std::uint8_t id;
        std::vector<std::uint8_t> payload;
    };

    Packet readPacket() {
        std::uint8_t header[8];
        readRaw(header, sizeof header);
        Packet packet{header[0], header[1], std::size_t{header[2]} << 8 | header[3], header[6], {}};
        packet.payload.resize(packet.length - 8);
        readRaw(packet.payload.data(), packet.payload.size());
        return packet;
    }

    void writeRaw(std::vector<std::uint8_t> bytes) {
        ASSERT_EQ(::write(sockets_[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    tds::TdsChannel& channel() { return *channel_; }
    void hangUp() { ::shutdown(sockets_[1], SHUT_WR); }

  private:
    void readRaw(std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t got = ::read(sockets_[1], data, size);
            ASSERT_GT(got, 0);
            data += got;
            size -= static_cast<std::size_t>(got);
        }
    }

    int sockets_[2] = {-1, -1};
    int wake_[2] = {-1, -1};
    std::unique_ptr<tds::TdsChannel> channel_;
};

TEST_F(TdsChannelFraming, RepliesAreCutAtThePacketSizeWithEndOfMessageOnlyLast) {
    std::vector<std::uint8_t> reply(1200);
    for (std::size_t i = 0; i < reply.size(); ++i) {
        reply[i] = static_cast<std::uint8_t>(i * 7);
    }
    channel().setPacketSize(512);
    ASSERT_TRUE(channel().write(0x04, reply));
    ASSERT_TRUE(channel().write(0x04, std::vector<std::uint8_t>(10, 0xAB), false));

    std::vector<Packet> packets;
    for (int i = 0; i < 4; ++i) {
        packets.push_back(readPacket());
    }
    std::vector<std::size_t> lengths;
    std::vector<int> statuses;
    std::vector<int> ids;
    std::vector<std::uint8_t> joined;
    for (const auto& p : packets) {
        EXPECT_EQ(p.type, 0x04);
        lengths.push_back(p.length);
        statuses.push_back(p.status);
        ids.push_back(p.id);
    }
    for (int i = 0; i < 3; ++i) {
        joined.insert(joined.end(), packets[i].payload.begin(), packets[i].payload.end());
    }
    EXPECT_THAT(lengths, ElementsAre(512, 512, 1200 - 2 * 504 + 8, 18));
    EXPECT_THAT(statuses, ElementsAre(0, 0, 1, 0));  // the cut-off reply never ends
    EXPECT_THAT(ids, ElementsAre(1, 2, 3, 4));
    EXPECT_EQ(joined, reply);
}

TEST_F(TdsChannelFraming, ClientMessagesAreJoinedUntilEndOfMessage) {
    writeRaw({0x01, 0x00, 0x00, 11, 0, 0, 1, 0, 'a', 'b', 'c'});
    writeRaw({0x01, 0x01, 0x00, 10, 0, 0, 2, 0, 'd', 'e'});
    writeRaw({0x01, 0x00, 0x00, 9, 0, 0, 1, 0, 'x'});  // then the client vanishes
    hangUp();

    const auto message = channel().read();
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->type, 0x01);
    EXPECT_EQ(message->payload, (std::vector<std::uint8_t>{'a', 'b', 'c', 'd', 'e'}));
    EXPECT_FALSE(channel().read().has_value());
}

}  // namespace
}  // namespace tablor::testing

// The window's server text: "postgresql://" makes a PostgreSQL entry, "mysql://" and "mariadb://"
// a MySQL one, everything else stays a SQL Server one, untouched.
#include <gtest/gtest.h>

#include "sources/LiveAddress.hpp"
#include "sources/OdbcConnectionString.hpp"

namespace tablor {
namespace {

TEST(ServerText, PostgreSqlSchemeNamesAPostgreSqlServer) {
    const struct {
        const char* typed;
        const char* server;
    } cases[] = {
        {"postgresql://127.0.0.1:5433", "127.0.0.1:5433"},
        {"PostgreSQL://pghost", "pghost"},
        {"  postgresql://pghost", "pghost"},
        {"postgresql://", ""},
        {"postgres://[::1]:5433", "[::1]:5433"},
    };
    for (const auto& c : cases) {
        const LiveTarget target = ParseServerText(c.typed);
        EXPECT_EQ(target.engine, DatabaseEngine::PostgreSql) << c.typed;
        EXPECT_EQ(target.server, c.server) << c.typed;
    }
    // What is left is what the connector splits into host and port.
    const ServerAddress address =
        ParseServerName(ParseServerText("postgresql://127.0.0.1:5433").server, DatabaseEngine::PostgreSql);
    EXPECT_EQ(address.host, "127.0.0.1");
    EXPECT_EQ(address.port, "5433");
}

TEST(ServerText, MySqlSchemesNameAMySqlServer) {
    for (const char* typed : {"mysql://db1:3307", "MariaDB://db1:3307", " mysql://db1:3307"}) {
        const LiveTarget target = ParseServerText(typed);
        EXPECT_EQ(target.engine, DatabaseEngine::MySql) << typed;
        EXPECT_EQ(target.server, "db1:3307") << typed;
        const ServerAddress address = ParseServerName(target.server, DatabaseEngine::MySql);
        EXPECT_EQ(address.host, "db1");
        EXPECT_EQ(address.port, "3307");
    }
}

TEST(ServerText, AnythingElseIsSqlServerAsTyped) {
    for (const char* typed :
         {"SRV01", "dbhost,14330", "dbhost\\SQLEXPRESS", " (local) ", "", "postgresql:/pghost",
          "postgresql:pghost", "my-postgresql://pghost", "sqlserver://dbhost", "mysql:/db1"}) {
        const LiveTarget target = ParseServerText(typed);
        EXPECT_EQ(target.engine, DatabaseEngine::SqlServer) << typed;
        EXPECT_EQ(target.server, typed);
    }
}

}  // namespace
}  // namespace tablor

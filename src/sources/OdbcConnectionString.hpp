#pragma once
#include <string>
#include <string_view>

#include "sources/DatabaseSession.hpp"
#include "sources/LiveAddress.hpp"

namespace tablor {

// The ODBC drivers used unless the environment names others, as unixODBC registers them.
inline constexpr std::string_view kDefaultSqlServerDriver = "FreeTDS";
inline constexpr std::string_view kDefaultPostgreSqlDriver = "PostgreSQL Unicode";
inline constexpr std::string_view kDefaultMySqlDriver = "MariaDB Unicode";

// FreeTDS parses connection strings its own way (see BuildOdbcConnectionString).
bool IsFreeTdsDriver(std::string_view driver);

// The ODBC connection string for a live source, from the same settings as the text shown for
// it, with every value quoted the way the driver reads it back unchanged:
//  - FreeTDS: "{value}" and every item ends with ";". FreeTDS ends a braced value at the first
//    "};" and takes "}}" literally, so no doubling; a value holding "};" cannot be sent.
//  - other SQL Server drivers: ODBC's own rule, "{value}" with "}" doubled.
//  - psqlODBC: its braces keep "}" doubled and its server, database and user values keep their
//    braces, so everything travels as one libpq option string ("key='value'"), percent-encoded
//    in the pqopt item, which psqlODBC decodes.
//  - MariaDB Connector/ODBC: ODBC's own rule; it trims blanks from either end of a value, so a
//    value that begins or ends with one cannot be sent. Its client library reads a host holding
//    ";", "=", "," or "://" as options, a plugin or a host list, so such a host is refused.
// A value that cannot reach the server intact is a DatabaseError naming the setting (never the
// password itself).
std::string BuildOdbcConnectionString(const ConnectionSettings& settings, std::string_view driver);

}  // namespace tablor

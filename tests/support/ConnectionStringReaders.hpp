#pragma once
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tablor::testing {

using KeywordValues = std::vector<std::pair<std::string, std::string>>;

// How each reader of an ODBC connection string splits it, written after the readers' own
// code, so that a string built for one reader can be checked against all of them.

// unixODBC's driver manager (2.3.x, __get_attr): what it finds before loading a driver.
KeywordValues ReadLikeUnixOdbc(std::string_view text);

// FreeTDS 1.3 (odbc_parse_connect_string): a braced value ends at "};" or the end, "}}" kept.
std::map<std::string, std::string> ReadLikeFreeTds(std::string_view text);

// ODBC's own rule, as Microsoft's drivers read it: "}}" inside braces stands for "}".
std::map<std::string, std::string> ReadLikeOdbcStandard(std::string_view text);

// MariaDB Connector/ODBC 3.1 (MADB_ParseConnString): keys and values trimmed at both ends; a
// braced value ends at a lone "}" ("}}" stands for "}") and the character after it is skipped;
// the last of a repeated key wins. Keys are upper-cased.
std::map<std::string, std::string> ReadLikeMariaDbOdbc(std::string_view text);

// What MariaDB's client library (Connector/C 3.3 and 3.4, mysql_real_connect) makes of the host
// it is handed: with ";" or "=" its options (parse_connection_string), with "://" the connection
// plugin it loads, with "," each host of the list; a plain host comes back as {"host", host}.
KeywordValues ReadLikeMariaDbClient(std::string_view host);

// True when the driver manager would load exactly `driver` and read no data source, file data
// source, saved file or attribute keyword of its own.
bool DriverManagerLoadsOnly(std::string_view text, std::string_view driver);

}  // namespace tablor::testing

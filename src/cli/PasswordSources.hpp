#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tablor::cli {

// An environment variable's value; nothing when it is not set.
using VariableLookup = std::function<std::optional<std::string>(const std::string& name)>;

// What a password file line is matched against, filled in as libpq fills it in.
struct PgpassKey {
    std::string host;
    std::string port;
    std::string database;
    std::string user;
};

// The password of the first line of a password file's text (HOST:PORT:DATABASE:USER:PASSWORD)
// that matches `key`, read as libpq reads it: a field "*" matches anything, "\" takes the next
// character as it is, and a line that starts with "#" is a comment.
std::optional<std::string> PgpassPassword(std::string_view text, const PgpassKey& key);

// The password that a my.cnf text gives MariaDB's clients: the last `password` of its [client],
// [client-server] and [client-mariadb] groups, its quotes, "#" comment and escapes read as
// MariaDB reads them.
std::optional<std::string> MyCnfPassword(const std::string& text);

// The password psql would use for this side: PGPASSWORD, else the matching line of the password
// file (PGPASSFILE, else ~/.pgpass). An empty host is PGHOST's (the default socket is
// "localhost"), an empty port PGPORT's, else 5432. A file that is not a plain file, or that its
// group or others may use, is passed over, and `warning` says so.
std::optional<std::string> PostgreSqlToolPassword(const std::string& host, const std::string& port,
                                                  const std::string& database, const std::string& user,
                                                  const VariableLookup& variable, std::string& warning);

// The password the mysql client would use: that of ~/.my.cnf. A file that others may write is
// passed over, as MariaDB passes it over, and `warning` says so.
std::optional<std::string> MySqlToolPassword(const VariableLookup& variable, std::string& warning);

}  // namespace tablor::cli

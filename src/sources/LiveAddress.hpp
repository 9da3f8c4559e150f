#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sources/DatabaseSession.hpp"

namespace tablor {

// Every way a live database is named, read in one place: the command line's addresses, the
// window's server text, and the server name that the reader splits into host and port.

// Where a server name points: a host and, at most, either a port or a SQL Server instance name.
struct ServerAddress {
    std::string host;
    std::string port;      // decimal digits; empty when none was given
    std::string instance;  // SQL Server's named instance, found through its lookup service
};

// A port number: decimal digits for 1 to 65535.
bool IsPortNumber(std::string_view text);

// Splits "host", "host,port" and "host\instance" (a port, when also given, wins: no lookup);
// PostgreSQL and MySQL take "host:port" and "[v6 address]:port" too. "." and "(local)" mean this
// machine. A port that is not a number from 1 to 65535 is a DatabaseError.
ServerAddress ParseServerName(std::string_view serverName, DatabaseEngine engine);

// Where a server text typed in the window points. The window has no engine control, so the
// text says it: "postgresql://host[:port]" (or "postgres://") is a PostgreSQL server,
// "mysql://host[:port]" (or "mariadb://") a MySQL one, anything else a SQL Server one (host,
// host,port or host\instance), kept as typed.
struct LiveTarget {
    DatabaseEngine engine = DatabaseEngine::SqlServer;
    std::string server;  // what the live source's ServerName takes
};

// The scheme ignores letter case and may follow blanks. The rest goes on unchecked: the
// reader reports a bad host or port when it opens the session.
LiveTarget ParseServerText(std::string_view text);

// A side of a command that is a live database, as written on the command line:
//   sqlserver://[user@]host[:port][/instance]?database=NAME[&integrated=true][&queryTimeout=S]
//       [&encrypt=off|request|require|strict][&trustServerCertificate=true|false]
//   postgresql://[user@][host][:port]/database[?queryTimeout=S]  (no host: the local socket)
//   mysql://user@host[:port]/database[?queryTimeout=S]  (or mariadb://)
// Each takes loginTimeout=S; the first two take schema=NAME, repeated for more than one, and
// qualify=true.
struct LiveSide {
    DatabaseEngine engine = DatabaseEngine::SqlServer;
    std::string serverName;  // as the window takes it: host, host,port or host\instance; host:port for
                             // PostgreSQL and MySQL
    std::string databaseName;
    std::string userName;
    bool integratedSecurity = false;
    unsigned queryTimeoutSeconds = kDefaultQueryTimeoutSeconds;
    unsigned loginTimeoutSeconds = kDefaultLoginTimeoutSeconds;
    Encryption encryption = Encryption::Default;  // SQL Server only
    std::optional<bool> trustServerCertificate;   // SQL Server only; unset: the driver decides
    std::vector<std::string> schemas;             // only these are read; none, all
    bool qualifyNames = false;                    // objects named SCHEMA.NAME

    // server + "." + database, as the window names a live side; a PostgreSQL server reached
    // through its local socket (no host) is "[local]", as psql calls it.
    std::string DisplayName() const {
        const bool local = serverName.empty() || serverName.front() == ':';
        return (local ? "[local]" : "") + serverName + "." + databaseName;
    }
};

// queryTimeout and loginTimeout take at most a day.
inline constexpr unsigned kMaxQueryTimeoutSeconds = 86400;

// A live-side address that cannot be used; the text says why.
class LiveSideError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The live side a text names, or nothing when it is not a database address (it is then a
// snapshot path). A password written in the address is refused: other users can read command
// lines. Names may be percent-encoded ("%40" for "@").
std::optional<LiveSide> ParseLiveSide(std::string_view text);

// The address as it may be shown: a password written into it (user:password@, password=...)
// replaced by "****", even when it holds '/', '?', '@' or '&'.
std::string RedactedAddress(std::string_view text);

}  // namespace tablor

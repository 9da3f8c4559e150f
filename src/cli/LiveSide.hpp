#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sources/DatabaseSession.hpp"

namespace tablor::cli {

// A side of a command that is a live database, as written on the command line:
//   sqlserver://[user@]host[:port][/instance]?database=NAME[&integrated=true][&queryTimeout=S]
//       [&encrypt=off|request|require|strict][&trustServerCertificate=true|false]
//   postgresql://[user@]host[:port]/database[?queryTimeout=S]
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

    // server + "." + database, as the window names a live side.
    std::string DisplayName() const { return serverName + "." + databaseName; }
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

}  // namespace tablor::cli

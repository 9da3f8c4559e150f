#pragma once
#include <string>
#include <string_view>

#include "sources/DatabaseSession.hpp"

namespace tablor {

// Where a server text typed in the window points. The window has no engine control, so the
// text says it: "postgresql://host[:port]" is a PostgreSQL server, "mysql://host[:port]" (or
// "mariadb://") a MySQL one, anything else a SQL Server one (host, host,port or host\instance),
// kept as typed.
struct LiveTarget {
    DatabaseEngine engine = DatabaseEngine::SqlServer;
    std::string server;  // what the live source's ServerName takes
};

// The scheme ignores letter case and may follow blanks. The rest goes on unchecked: the
// connector reports a bad host or port when it opens the session.
LiveTarget ParseServerText(std::string_view text);

}  // namespace tablor

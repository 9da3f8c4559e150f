#pragma once
#include <string>
#include <vector>

namespace tablor::odbc {

// Points unixODBC at a driver configuration of the reader's own: the system's odbcinst.ini
// sections of `drivers`, each reduced to the library it names, so that no log, trace or other
// setting left there applies (Debian's psqlODBC entry turns its communication log on, which
// writes a file to /tmp for every read). It lives in memory and leaves nothing behind. A user
// who sets ODBCSYSINI or ODBCINSTINI keeps that configuration, logs and all. Must run before
// the first ODBC call: unixODBC reads these variables once.
void UsePrivateDriverConfiguration(const std::vector<std::string>& drivers);

}  // namespace tablor::odbc

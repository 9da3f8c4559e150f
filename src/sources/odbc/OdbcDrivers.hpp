#pragma once
#include <string>
#include <vector>

namespace tablor::odbc {

// The ODBC drivers the installer has registered, by the names connections use, as the
// driver manager itself reports them. Empty when it reports none or cannot be asked.
std::vector<std::string> InstalledDrivers();

}  // namespace tablor::odbc

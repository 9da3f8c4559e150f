#include "sources/odbc/OdbcDrivers.hpp"

#include <odbcinst.h>

namespace tablor::odbc {

std::vector<std::string> InstalledDrivers() {
    // The installer answers with names separated by NULs, ending in an empty name.
    std::vector<char> buffer(1 << 16, '\0');
    WORD used = 0;
    if (!SQLGetInstalledDrivers(buffer.data(), static_cast<WORD>(buffer.size() - 1), &used)) return {};
    std::vector<std::string> drivers;
    for (std::size_t at = 0; at < buffer.size() && buffer[at] != '\0';) {
        std::string name(buffer.data() + at);
        at += name.size() + 1;
        drivers.push_back(std::move(name));
    }
    return drivers;
}

}  // namespace tablor::odbc

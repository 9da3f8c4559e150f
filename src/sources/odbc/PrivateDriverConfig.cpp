#include "sources/odbc/PrivateDriverConfig.hpp"

#include <fcntl.h>
#include <odbcinst.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

// Where this unixODBC build keeps odbcinst.ini (SYSTEM_FILE_PATH).
#include <unixODBC/unixodbc_conf.h>

namespace tablor::odbc {
namespace {

// A name that could not stand as an INI section by itself is left to the user's configuration.
bool FitsASection(const std::string& name) {
    return !name.empty() && name.find_first_of("[]=\r\n") == std::string::npos;
}

// The library that the system's configuration names for each driver, read by the installer's
// own reader. Through a descriptor's path: a file name holding "odbcinst" would make the
// installer fix its system folder for the whole process, before ours is set.
std::string DriverSections(const std::vector<std::string>& drivers) {
    const std::string system = std::string(SYSTEM_FILE_PATH) + "/odbcinst.ini";
    const int file = ::open(system.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return {};
    const std::string path = "/proc/self/fd/" + std::to_string(file);
    std::string sections;
    for (const std::string& driver : drivers) {
        if (!FitsASection(driver)) continue;
        char library[4096] = {};
        SQLGetPrivateProfileString(driver.c_str(), "Driver", "", library, sizeof library, path.c_str());
        if (library[0] != '\0') sections += "[" + driver + "]\nDriver=" + library + "\n";
    }
    ::close(file);
    return sections;
}

}  // namespace

void UsePrivateDriverConfiguration(const std::vector<std::string>& drivers) {
    if (std::getenv("ODBCSYSINI") != nullptr || std::getenv("ODBCINSTINI") != nullptr) return;
    const std::string configuration = "[ODBC]\nTrace=No\n" + DriverSections(drivers);
    const int memory = ::memfd_create("odbcinst.ini", MFD_CLOEXEC);
    if (memory < 0) return;
    if (::write(memory, configuration.data(), configuration.size()) !=
        static_cast<ssize_t>(configuration.size())) {
        ::close(memory);
        return;
    }
    ::setenv("ODBCSYSINI", "/proc/self/fd", 1);
    ::setenv("ODBCINSTINI", std::to_string(memory).c_str(), 1);
    // No data sources: the connection strings name their drivers.
    ::setenv("ODBCINI", "/dev/null", 1);
}

}  // namespace tablor::odbc

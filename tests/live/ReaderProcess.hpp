#pragma once
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sources/ChildProcessReader.hpp"
#include "sources/odbc/OdbcConnector.hpp"

namespace tablor::testing {

// Reads as the programs do: in a tablor-reader process, with these drivers.
inline std::shared_ptr<LiveReader> ReaderProcess(const OdbcOptions& drivers) {
    return std::make_shared<ChildProcessReader>(
        ChildProcessReader::DefaultProgram(),
        ChildProcessReader::Drivers{drivers.sqlServerDriver, drivers.postgreSqlDriver, drivers.mySqlDriver});
}

// A file of /proc/PID, as it is (cmdline and environ keep their NULs); empty once the process
// has gone, which it may do between opening the file and reading it.
inline std::string ProcessFile(pid_t pid, const char* name) {
    try {
        std::ifstream in("/proc/" + std::to_string(pid) + "/" + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    } catch (const std::exception&) {
        return {};
    }
}

// The reader processes whose parent is `parent` and that have not ended (zombies excluded).
inline std::vector<pid_t> RunningReaders(pid_t parent = ::getpid()) {
    std::vector<pid_t> readers;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = std::stoi(name);
        // "PID (COMM) STATE PPID ...": the name may hold blanks, so read from its closing parenthesis.
        const std::string stat = ProcessFile(pid, "stat");
        const auto open = stat.find('(');
        const auto close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 > stat.size()) continue;
        const char state = stat[close + 2];
        const pid_t ppid = std::atoi(stat.c_str() + close + 4);
        if (stat.substr(open + 1, close - open - 1) == "tablor-reader" && ppid == parent && state != 'Z')
            readers.push_back(pid);
    }
    return readers;
}

}  // namespace tablor::testing

#include "support/AppPaths.hpp"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tablor {

std::string ProgramFolder() {
    if (const char* home = std::getenv("TABLOR_HOME"); home != nullptr && *home != '\0') return home;
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::filesystem::current_path(error).string();
    return exe.parent_path().string();
}

std::string AddAppPath(const std::string& fileName) {
    std::string folder = ProgramFolder();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + fileName;
}

bool FileExist(const std::string& path) {
    const auto first = path.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    const auto last = path.find_last_not_of(' ');
    std::error_code error;
    return std::filesystem::is_regular_file(path.substr(first, last - first + 1), error);
}

}  // namespace tablor

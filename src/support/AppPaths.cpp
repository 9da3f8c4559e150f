#include "support/AppPaths.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "support/FileIO.hpp"
#include "support/TablorError.hpp"

namespace tablor {
namespace {

namespace fs = std::filesystem;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string ExecutableFolder() {
    std::error_code error;
    const auto exe = fs::read_symlink("/proc/self/exe", error);
    if (error) return fs::current_path(error).string();
    return exe.parent_path().string();
}

// The user's home: HOME, or the password database when HOME is unset (a service, sudo -i).
std::string HomeFolder() {
    if (std::string home = Environment("HOME"); !home.empty()) return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? std::string(entry->pw_dir) : std::string();
}

fs::path InstalledDataFolder(const PathSettings& settings) {
    return (fs::path(settings.executableFolder) / ".." / "share" / "tablor").lexically_normal();
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + '/' + name;
}

}  // namespace

std::string ProgramFolder() {
    if (std::string home = Environment("TABLOR_HOME"); !home.empty()) return home;
    return ExecutableFolder();
}

PathSettings PathSettings::ThisProcess() {
    return {ExecutableFolder(), Environment("TABLOR_HOME"), Environment("XDG_DATA_HOME"), HomeFolder()};
}

bool IsInstalled(const PathSettings& settings) {
    std::error_code error;
    return fs::is_regular_file(InstalledDataFolder(settings) / "template.html", error);
}

std::string DataFolder(const PathSettings& settings) {
    if (!settings.tablorHome.empty()) return settings.tablorHome;
    if (IsInstalled(settings)) return InstalledDataFolder(settings).string();
    return settings.executableFolder;
}

std::string DataFolder() {
    return DataFolder(PathSettings::ThisProcess());
}

std::string SnapShotFolder(const PathSettings& settings) {
    if (!settings.tablorHome.empty() || !IsInstalled(settings))
        return Joined(DataFolder(settings), "SnapShots");
    // A relative XDG_DATA_HOME is invalid and is to be ignored.
    const fs::path xdg(settings.xdgDataHome);
    const fs::path data = xdg.is_absolute() ? xdg : fs::path(settings.home) / ".local" / "share";
    return (data / "tablor" / "SnapShots").string();
}

std::string SnapShotFolder() {
    return SnapShotFolder(PathSettings::ThisProcess());
}

void PrepareSnapShotFolder(const PathSettings& settings) {
    const std::string folder = SnapShotFolder(settings);
    try {
        // Anything in its place, a file or a dangling link, is the user's: left alone. Links on
        // the way are judged as for any write, since XDG_DATA_HOME may lie in a shared folder.
        if (!MakeFolders(folder)) return;
        if (!settings.tablorHome.empty() || !IsInstalled(settings)) return;

        const fs::path examples = InstalledDataFolder(settings) / "SnapShots";
        std::error_code error;
        for (fs::directory_iterator entry(examples, error), end; !error && entry != end;
             entry.increment(error)) {
            std::error_code typeError;
            if (entry->path().extension() != ".snp" || !entry->is_regular_file(typeError)) continue;
            try {
                WriteFileAtomically(Joined(folder, entry->path().filename().string()),
                                    ReadFileBytes(entry->path().string()));
            } catch (const TablorError&) {
                // One example that cannot be copied leaves the others to be.
            }
        }
    } catch (const TablorError&) {
    }
}

std::string AddAppPath(const std::string& fileName) {
    return Joined(DataFolder(), fileName);
}

bool FileExist(const std::string& path) {
    const auto first = path.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    const auto last = path.find_last_not_of(' ');
    std::error_code error;
    return std::filesystem::is_regular_file(path.substr(first, last - first + 1), error);
}

}  // namespace tablor

#pragma once
#include <string>

namespace tablor {

// The program's folder: where the executable lies, or TABLOR_HOME when set (tests and
// portable installs keep their files there).
std::string ProgramFolder();

// What decides where the program's files are. Read from the process by ThisProcess; tests
// build their own.
struct PathSettings {
    std::string executableFolder;  // the folder the running executable lies in
    std::string tablorHome;        // TABLOR_HOME; empty when unset
    std::string xdgDataHome;       // XDG_DATA_HOME; empty when unset
    std::string home;              // the user's home folder

    static PathSettings ThisProcess();
};

// True when the program runs from an install: ../share/tablor/template.html lies beside its
// folder. Decided at run time, so an install that was moved or unpacked elsewhere still counts.
bool IsInstalled(const PathSettings& settings);

// Where template.html and help.html are: TABLOR_HOME when set, else ../share/tablor when
// installed, else the executable's folder (a build folder).
std::string DataFolder(const PathSettings& settings);
std::string DataFolder();

// The window's snapshot folder: TABLOR_HOME/SnapShots when set; when installed, the user's
// $XDG_DATA_HOME/tablor/SnapShots (~/.local/share/tablor/SnapShots), as the install itself is
// not writable; else SnapShots beside the executable.
std::string SnapShotFolder(const PathSettings& settings);
std::string SnapShotFolder();

// Creates the snapshot folder when it is missing. A folder created for an installed program
// gets the shipped examples (DataFolder/SnapShots/*.snp) copied in, so that a first start
// has something to compare; they are never brought back once the user has a folder. Links on
// the way are followed only where a write would follow them (MakeFolders). Failures are left to
// the caller to find, as the window lists what it can either way.
void PrepareSnapShotFolder(const PathSettings& settings);

// A file name in the data folder: DataFolder(), one "/" and the name.
std::string AddAppPath(const std::string& fileName);

// True when a regular file exists at the path, with surrounding spaces removed; false on any
// failure.
bool FileExist(const std::string& path);

}  // namespace tablor

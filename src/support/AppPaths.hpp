#pragma once
#include <string>

namespace tablor {

// The program's folder: where the executable lies, or TABLOR_HOME when set (tests and
// portable installs keep their files there).
std::string ProgramFolder();

// A file name beside the program: the program folder, one "/" and the name.
std::string AddAppPath(const std::string& fileName);

// True when a regular file exists at the path, with surrounding spaces removed; false on any
// failure.
bool FileExist(const std::string& path);

}  // namespace tablor

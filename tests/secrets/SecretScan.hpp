#pragma once
#include <sys/types.h>

#include <QStringList>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tablor::testing {

// The password every command is given. Its quoting characters make each driver's connection
// string escape it; its middle survives any escaping and is what the scans look for.
inline const std::string kSecret = "p;{KiteCanary4471}=x";

// The bytes around the secret where `bytes` hold it (UTF-8 or UTF-16, any letter case), or
// empty.
std::string Leak(std::string_view bytes);

// Every regular file under `folder` that holds the secret: its path and what surrounds it.
std::vector<std::string> LeakingFiles(const std::string& folder);

// psqlODBC's logs (communication and debug) written by reader processes. `leaks` gets those
// that hold the secret; the others are removed. The result is how many there were.
std::size_t ScanDriverLogs(std::vector<std::string>& leaks);

// Every text the program's windows show: titles, labels, fields as displayed, buttons, list,
// tree and table cells with their headers and tooltips, menus.
QStringList WindowTexts();

// What this process writes to standard output and standard error, its drivers and Qt
// included, while one lives. The text is passed on when it stops, so nothing is hidden.
class CapturedOutput {
  public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    const std::string& Stop();

  private:
    std::FILE* file_ = nullptr;
    int savedOut_ = -1;
    int savedErr_ = -1;
    bool stopped_ = false;
    std::string text_;
};

}  // namespace tablor::testing

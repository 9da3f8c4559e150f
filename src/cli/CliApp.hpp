#pragma once
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/HelpText.hpp"
#include "sources/DatabaseSession.hpp"

namespace tablor::cli {

// Exit statuses, as diff uses them: scripts test for differences without parsing output.
inline constexpr int kNoDifferences = 0;
inline constexpr int kDifferences = 1;
inline constexpr int kTrouble = 2;
// migrate: a script was written, but changes that lose data were held back.
inline constexpr int kIncompleteScript = 3;

// What a command line reaches outside its arguments; tests put in their own.
struct CliEnvironment {
    // Reads live databases; a reader process (tablor-reader) per side when null.
    std::shared_ptr<LiveReader> reader;
    // The value of TABLOR_PASSWORD, when set.
    std::optional<std::string> passwordVariable;
    // The other environment variables the command line reads (TABLOR_PASSWORD_1 and _2,
    // PGPASSWORD, PGPASSFILE, PGHOST, PGPORT, HOME, NO_COLOR, TERM); none when unset.
    std::function<std::optional<std::string>(const std::string& name)> variable;
    // Asks for a password without echo; nothing when it cannot ask (no terminal).
    std::function<std::optional<std::string>(const std::string& prompt)> askPassword;
    // Standard error is a terminal: long reads show their progress there.
    bool showProgress = false;
    // Standard output is a terminal: the text output may be coloured.
    bool colorTerminal = false;
    // Where the project's options file (.tablor.toml) is looked for, then in each folder above;
    // empty: nowhere.
    std::string workingFolder;

    // This process's: its reader, environment, terminals and current folder.
    static CliEnvironment FromProcess();
};

// Runs one command line (without the program name) and returns the exit status. The first form
// is the program's: it flushes `out`, and output that could not be written is trouble.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment);

}  // namespace tablor::cli

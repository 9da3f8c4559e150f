#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/OptionsFile.hpp"

namespace tablor::cli {

// When the text output is coloured: on a terminal (auto), always or never.
enum class ColorChoice { Auto, Always, Never };

struct CompareArguments {
    std::string side1;
    std::string side2;
    std::string format = "text";
    std::string htmlFile;
    std::string templateFile;
    // The comparison options given as flags; they win over those of the options file.
    OptionChoices choices;
    std::string optionsFile;
    // Leaves the project's .tablor.toml unread.
    bool noOptionsFile = false;
    ColorChoice color = ColorChoice::Auto;
};

struct SnapshotArguments {
    std::string source;
    std::string outputFile;  // "-": standard output
};

struct ShowArguments {
    std::string source;
    // Reads a live side's definitions too, and lists each element's properties.
    bool definitions = false;
    std::string format = "text";  // or "json"
};

struct MigrateArguments {
    std::string current;
    std::string desired;
    std::string outputFile;  // empty or "-": standard output
    bool allowDrop = false;
    std::string dialect;  // empty: the sides' engine
    std::vector<std::string> include;
    std::vector<std::string> exclude;
};

// `command` is the command whose help was asked for; empty for the program's.
struct HelpRequest {
    std::string command;
};
struct VersionRequest {};

using CliCommand = std::variant<HelpRequest, VersionRequest, CompareArguments, SnapshotArguments,
                                ShowArguments, MigrateArguments>;

// A command line that cannot be run as written; the text says why.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A side or output written as "-": standard input or output.
inline constexpr std::string_view kStandardStream = "-";

// Reads a command line (without the program name, not empty).
CliCommand ParseArguments(const std::vector<std::string>& args);

// The name among `known` that `typed` most likely meant: at most two edits away, and fewer than
// half its length; empty when none is.
std::string NearestName(std::string_view typed, const std::vector<std::string>& known);

}  // namespace tablor::cli

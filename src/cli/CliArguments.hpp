#pragma once
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "cli/OptionsFile.hpp"

namespace tablor::cli {

struct CompareArguments {
    std::string side1;
    std::string side2;
    std::string format = "text";
    std::string htmlFile;
    std::string templateFile;
    // The comparison options given as flags; they win over those of the options file.
    OptionChoices choices;
    std::string optionsFile;
};

struct SnapshotArguments {
    std::string source;
    std::string outputFile;
};

struct ShowArguments {
    std::string source;
};

struct HelpRequest {};
struct VersionRequest {};

using CliCommand =
    std::variant<HelpRequest, VersionRequest, CompareArguments, SnapshotArguments, ShowArguments>;

// A command line that cannot be run as written; the text says why.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads a command line (without the program name, not empty).
CliCommand ParseArguments(const std::vector<std::string>& args);

}  // namespace tablor::cli

#pragma once
#include <optional>
#include <string>
#include <vector>

namespace tablor::cli {

// The comparison options a command line or an options file sets; what one leaves unset, the
// other (or the default) decides.
struct OptionChoices {
    std::optional<bool> columnChanges;
    std::optional<bool> ignoreCase;
    std::optional<bool> ignoreGeneratedNames;
    std::optional<bool> definitions;
    std::optional<std::vector<std::string>> ignore;  // properties of definitions
    std::optional<std::vector<std::string>> include;
    std::optional<std::vector<std::string>> exclude;
    std::optional<std::string> only;  // kinds, comma-separated

    // These choices, with those of `fallback` where these leave one unset.
    OptionChoices Over(const OptionChoices& fallback) const;
};

// Reads a TOML options file whose keys are the flags' names without the dashes:
//   column-changes = true
//   ignore-case = true
//   ignore-generated-names = true
//   definitions = true
//   ignore = ["comment", "collation"]
//   include = ["sales_*"]
//   exclude = ["tmp_*", "*.updated_at"]
//   only = "tables,columns"        (or an array of kinds)
// A file that cannot be read or parsed, a value of the wrong type and an unknown key are a
// UsageError that names the file and the line.
OptionChoices ReadOptionsFile(const std::string& path);

// A project's own options file, read when no other is named.
inline constexpr const char* kProjectOptionsFile = ".tablor.toml";

// The project's options file nearest to `folder`: in it or in the first folder above it that
// holds one; empty when none does.
std::string FindProjectOptionsFile(const std::string& folder);

}  // namespace tablor::cli

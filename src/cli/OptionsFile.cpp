#include "cli/OptionsFile.hpp"

#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 1
#include <toml++/toml.h>

#include <filesystem>

#include "cli/CliArguments.hpp"
#include "cli/FailureText.hpp"
#include "compare/CompareOptions.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"
#include "support/TextEncoding.hpp"

namespace tablor::cli {
namespace {

constexpr const char* kKnownKeys =
    "column-changes, ignore-case, ignore-generated-names, definitions, ignore, include, exclude, only";

[[noreturn]] void Refuse(const std::string& path, const toml::source_region& where, const std::string& why) {
    throw UsageError(path + " line " + std::to_string(where.begin.line) + ": " + why);
}

bool Flag(const std::string& path, const toml::node& node, std::string_view key) {
    if (const auto value = node.value<bool>(); value && node.is_boolean()) return *value;
    Refuse(path, node.source(), std::string(key) + " takes true or false");
}

// A list of texts; `only` also takes one comma-separated text.
std::vector<std::string> Texts(const std::string& path, const toml::node& node, std::string_view key,
                               bool oneTextToo) {
    if (oneTextToo && node.is_string()) return {std::string(*node.value<std::string_view>())};
    const toml::array* array = node.as_array();
    if (array == nullptr) Refuse(path, node.source(), std::string(key) + " takes a list of texts: [\"...\"]");
    std::vector<std::string> texts;
    for (const toml::node& item : *array) {
        if (!item.is_string()) Refuse(path, item.source(), std::string(key) + " takes texts only");
        texts.emplace_back(*item.value<std::string_view>());
    }
    return texts;
}

}  // namespace

OptionChoices OptionChoices::Over(const OptionChoices& fallback) const {
    OptionChoices merged = *this;
    if (!merged.columnChanges) merged.columnChanges = fallback.columnChanges;
    if (!merged.ignoreCase) merged.ignoreCase = fallback.ignoreCase;
    if (!merged.ignoreGeneratedNames) merged.ignoreGeneratedNames = fallback.ignoreGeneratedNames;
    if (!merged.definitions) merged.definitions = fallback.definitions;
    if (!merged.ignore) merged.ignore = fallback.ignore;
    if (!merged.include) merged.include = fallback.include;
    if (!merged.exclude) merged.exclude = fallback.exclude;
    if (!merged.only) merged.only = fallback.only;
    return merged;
}

OptionChoices ReadOptionsFile(const std::string& path) {
    std::string text;
    try {
        text = DecodeFileText(ReadFileBytes(path));
    } catch (const TablorError& error) {
        throw UsageError(FailureWords(error.Number(), error.Description(),
                                      FileTask{{{path, path, "read the options file"}}}));
    }
    toml::table table;
    try {
        table = toml::parse(text, path);
    } catch (const toml::parse_error& error) {
        Refuse(path, error.source(), std::string(error.description()));
    }
    OptionChoices choices;
    for (const auto& [key, node] : table) {
        const std::string_view name = key.str();
        if (name == "column-changes") {
            choices.columnChanges = Flag(path, node, name);
        } else if (name == "ignore-case") {
            choices.ignoreCase = Flag(path, node, name);
        } else if (name == "ignore-generated-names") {
            choices.ignoreGeneratedNames = Flag(path, node, name);
        } else if (name == "definitions") {
            choices.definitions = Flag(path, node, name);
        } else if (name == "ignore") {
            choices.ignore = Texts(path, node, name, false);
        } else if (name == "include" || name == "exclude") {
            std::vector<std::string> patterns = Texts(path, node, name, false);
            if (const std::string problem = PatternLimitProblem(patterns, name); !problem.empty())
                Refuse(path, node.source(), problem);
            (name == "include" ? choices.include : choices.exclude) = std::move(patterns);
        } else if (name == "only") {
            std::string kinds;
            for (const std::string& kind : Texts(path, node, name, true))
                kinds += (kinds.empty() ? "" : ",") + kind;
            if (std::string error; !ParseCompareKinds(kinds, error))
                Refuse(path, node.source(), "only: " + error);
            choices.only = kinds;
        } else {
            Refuse(path, key.source(),
                   "unknown key \"" + std::string(name) + "\" (known: " + kKnownKeys + ")");
        }
    }
    return choices;
}

std::string FindProjectOptionsFile(const std::string& folder) {
    std::error_code error;
    for (std::filesystem::path at = folder; !at.empty(); at = at.parent_path()) {
        const std::filesystem::path file = at / kProjectOptionsFile;
        if (std::filesystem::is_regular_file(file, error)) return file.string();
        if (at == at.parent_path()) break;
    }
    return {};
}

}  // namespace tablor::cli

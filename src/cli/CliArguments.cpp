#include "cli/CliArguments.hpp"

#include <CLI/CLI.hpp>
#include <utility>

#include "compare/CompareOptions.hpp"

namespace tablor::cli {
namespace {

void Parse(CLI::App& app, const std::vector<std::string>& args) {
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        throw UsageError(error.what());
    }
}

// The command's own words, without help flags of their own: --help is answered before parsing.
CLI::App& Command(CLI::App& app, const std::string& name) {
    CLI::App& command = *app.add_subcommand(name);
    command.set_help_flag();
    return command;
}

}  // namespace

CliCommand ParseArguments(const std::vector<std::string>& args) {
    const std::string& first = args.at(0);
    if (first == "--help" || first == "-h" || first == "help") return HelpRequest{};
    if (first == "--version") return VersionRequest{};
    if (first != "compare" && first != "snapshot" && first != "show") {
        if (!first.empty() && first[0] == '-') throw UsageError("unknown option " + first);
        throw UsageError("unknown command " + first);
    }

    CLI::App app("tablor-cli");
    app.set_help_flag();
    app.require_subcommand(1);
    std::vector<std::string> positional;

    CompareArguments compare;
    CLI::App& compareCommand = Command(app, "compare");
    compareCommand.add_option("sides", positional);
    compareCommand.add_option("--format", compare.format)->type_name("FORMAT");
    compareCommand.add_option("--html", compare.htmlFile)->type_name("FILE");
    compareCommand.add_option("--template", compare.templateFile)->type_name("FILE");
    bool columnChanges = false, ignoreCase = false, ignoreGeneratedNames = false;
    std::vector<std::string> include, exclude;
    std::string only;
    compareCommand.add_flag("--column-changes", columnChanges);
    compareCommand.add_flag("--ignore-case", ignoreCase);
    compareCommand.add_flag("--ignore-generated-names", ignoreGeneratedNames);
    // One pattern per flag, so that the sides that follow are never taken for patterns.
    CLI::Option* includeOption =
        compareCommand.add_option("--include", include)->type_name("GLOB")->allow_extra_args(false);
    CLI::Option* excludeOption =
        compareCommand.add_option("--exclude", exclude)->type_name("GLOB")->allow_extra_args(false);
    CLI::Option* onlyOption = compareCommand.add_option("--only", only)->type_name("KINDS");
    compareCommand.add_option("--options", compare.optionsFile)->type_name("FILE");

    SnapshotArguments snapshot;
    CLI::App& snapshotCommand = Command(app, "snapshot");
    snapshotCommand.add_option("database", positional);
    snapshotCommand.add_option("-o,--output", snapshot.outputFile)->type_name("FILE");

    CLI::App& showCommand = Command(app, "show");
    showCommand.add_option("source", positional);

    Parse(app, args);

    if (first == "compare") {
        if (compare.format != "text" && compare.format != "json" && compare.format != "markdown" &&
            compare.format != "junit")
            throw UsageError("--format takes text, json, markdown or junit, not " + compare.format);
        if (positional.size() != 2) throw UsageError("compare needs two sides");
        if (!compare.templateFile.empty() && compare.htmlFile.empty())
            throw UsageError("--template goes with --html");
        compare.side1 = positional[0];
        compare.side2 = positional[1];
        if (columnChanges) compare.choices.columnChanges = true;
        if (ignoreCase) compare.choices.ignoreCase = true;
        if (ignoreGeneratedNames) compare.choices.ignoreGeneratedNames = true;
        for (const auto& [patterns, list] :
             {std::pair{&include, "--include"}, std::pair{&exclude, "--exclude"}}) {
            if (const std::string problem = PatternLimitProblem(*patterns, list); !problem.empty())
                throw UsageError(problem);
        }
        if (includeOption->count() > 0) compare.choices.include = include;
        if (excludeOption->count() > 0) compare.choices.exclude = exclude;
        if (onlyOption->count() > 0) compare.choices.only = only;
        return compare;
    }
    if (first == "snapshot") {
        if (positional.size() != 1) throw UsageError("snapshot needs one live database");
        if (snapshot.outputFile.empty()) throw UsageError("snapshot needs -o FILE.snp");
        snapshot.source = positional[0];
        return snapshot;
    }
    if (positional.size() != 1) throw UsageError("show needs one snapshot or live database");
    return ShowArguments{positional[0]};
}

}  // namespace tablor::cli

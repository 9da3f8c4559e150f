#include "cli/CliArguments.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <utility>

#include "compare/CompareOptions.hpp"

namespace tablor::cli {
namespace {

constexpr std::array<std::string_view, 4> kCommands = {"compare", "snapshot", "show", "migrate"};

// Edits (insert, delete, change, swap of neighbours) that turn one name into the other.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::string WithSuggestion(std::string text, std::string_view typed, const std::vector<std::string>& known) {
    if (const std::string nearest = NearestName(typed, known); !nearest.empty())
        text += "; did you mean " + nearest + "?";
    return text;
}

// CLI11 names what it could not place; a mistyped option is told with the name it most likely
// meant.
[[noreturn]] void RefuseUnknown(const CLI::App& command, const std::vector<std::string>& args,
                                const CLI::ParseError& error) {
    std::vector<std::string> known;
    for (const CLI::Option* option : command.get_options()) {
        for (const std::string& name : option->get_lnames()) known.push_back("--" + name);
        for (const std::string& name : option->get_snames()) known.push_back("-" + name);
    }
    for (const std::string& arg : args) {
        if (arg.size() < 2 || arg[0] != '-') continue;
        const std::string name = arg.substr(0, arg.find('='));
        if (std::find(known.begin(), known.end(), name) == known.end())
            throw UsageError(WithSuggestion("unknown option " + name, name, known));
    }
    throw UsageError(error.what());
}

// The command's own words; --help and -h ask for its help.
CLI::App& Command(CLI::App& app, std::string_view name) {
    CLI::App& command = *app.add_subcommand(std::string(name));
    command.set_help_flag("-h,--help");
    return command;
}

ColorChoice ColorValue(const std::string& value) {
    if (value == "auto") return ColorChoice::Auto;
    if (value == "always") return ColorChoice::Always;
    if (value == "never") return ColorChoice::Never;
    throw UsageError("--color takes auto, always or never, not " + value);
}

}  // namespace

std::string NearestName(std::string_view typed, const std::vector<std::string>& known) {
    const std::size_t letters = typed.size() - std::min(typed.find_first_not_of('-'), typed.size());
    std::string nearest;
    std::size_t best = 3;
    for (const std::string& name : known) {
        const std::size_t distance = EditDistance(typed, name);
        if (distance < best && distance * 2 <= letters) {
            best = distance;
            nearest = name;
        }
    }
    return nearest;
}

CliCommand ParseArguments(const std::vector<std::string>& args) {
    const std::string& first = args.at(0);
    if (first == "--help" || first == "-h") return HelpRequest{};
    if (first == "help") return HelpRequest{args.size() > 1 ? args[1] : std::string()};
    if (first == "--version" || first == "-V") return VersionRequest{};
    if (std::find(kCommands.begin(), kCommands.end(), first) == kCommands.end()) {
        if (!first.empty() && first[0] == '-')
            throw UsageError(WithSuggestion("unknown option " + first, first, {"--help", "--version"}));
        throw UsageError(
            WithSuggestion("unknown command " + first, first, {kCommands.begin(), kCommands.end()}));
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
    bool columnChanges = false, ignoreCase = false, ignoreGeneratedNames = false, definitions = false;
    std::vector<std::string> include, exclude, ignore;
    std::string only;
    std::string color = "auto";
    compareCommand.add_flag("--column-changes", columnChanges);
    compareCommand.add_flag("--ignore-case", ignoreCase);
    compareCommand.add_flag("--ignore-generated-names", ignoreGeneratedNames);
    compareCommand.add_flag("--definitions", definitions);
    CLI::Option* ignoreOption = compareCommand.add_option("--ignore", ignore)
                                    ->type_name("PROPERTIES")
                                    ->delimiter(',')
                                    ->allow_extra_args(false);
    // One pattern per flag, so that the sides that follow are never taken for patterns.
    CLI::Option* includeOption =
        compareCommand.add_option("--include", include)->type_name("GLOB")->allow_extra_args(false);
    CLI::Option* excludeOption =
        compareCommand.add_option("--exclude", exclude)->type_name("GLOB")->allow_extra_args(false);
    CLI::Option* onlyOption = compareCommand.add_option("--only", only)->type_name("KINDS");
    compareCommand.add_option("--options", compare.optionsFile)->type_name("FILE");
    compareCommand.add_flag("--no-options-file", compare.noOptionsFile);
    compareCommand.add_option("--color", color)->type_name("WHEN");

    SnapshotArguments snapshot;
    CLI::App& snapshotCommand = Command(app, "snapshot");
    snapshotCommand.add_option("database", positional);
    snapshotCommand.add_option("-o,--output", snapshot.outputFile)->type_name("FILE");

    ShowArguments show;
    CLI::App& showCommand = Command(app, "show");
    showCommand.add_option("source", positional);
    showCommand.add_flag("--definitions", show.definitions);
    showCommand.add_option("--format", show.format)->type_name("FORMAT");

    MigrateArguments migrate;
    CLI::App& migrateCommand = Command(app, "migrate");
    migrateCommand.add_option("sides", positional);
    migrateCommand.add_option("-o,--output", migrate.outputFile)->type_name("FILE");
    migrateCommand.add_flag("--allow-drop", migrate.allowDrop);
    migrateCommand.add_option("--dialect", migrate.dialect)->type_name("DIALECT");
    migrateCommand.add_option("--include", migrate.include)->type_name("GLOB")->allow_extra_args(false);
    migrateCommand.add_option("--exclude", migrate.exclude)->type_name("GLOB")->allow_extra_args(false);

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return HelpRequest{first};
    } catch (const CLI::ExtrasError& error) {
        RefuseUnknown(*app.get_subcommand(first), {args.begin() + 1, args.end()}, error);
    } catch (const CLI::ParseError& error) {
        throw UsageError(error.what());
    }

    if (first == "compare") {
        if (compare.format != "text" && compare.format != "json" && compare.format != "markdown" &&
            compare.format != "junit")
            throw UsageError("--format takes text, json, markdown or junit, not " + compare.format);
        if (positional.size() != 2) throw UsageError("compare needs two sides");
        if (!compare.templateFile.empty() && compare.htmlFile.empty())
            throw UsageError("--template goes with --html");
        if (positional[0] == kStandardStream && positional[1] == kStandardStream)
            throw UsageError("only one side can be read from standard input (-)");
        compare.side1 = positional[0];
        compare.side2 = positional[1];
        compare.color = ColorValue(color);
        if (columnChanges) compare.choices.columnChanges = true;
        if (ignoreCase) compare.choices.ignoreCase = true;
        if (ignoreGeneratedNames) compare.choices.ignoreGeneratedNames = true;
        if (definitions) compare.choices.definitions = true;
        if (ignoreOption->count() > 0) compare.choices.ignore = ignore;
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
        if (snapshot.outputFile.empty())
            throw UsageError("snapshot needs -o FILE.snp (or -o - for standard output)");
        snapshot.source = positional[0];
        return snapshot;
    }
    if (first == "migrate") {
        if (positional.size() != 2) throw UsageError("migrate needs two sides: CURRENT, then DESIRED");
        if (positional[0] == kStandardStream && positional[1] == kStandardStream)
            throw UsageError("only one side can be read from standard input (-)");
        if (!migrate.dialect.empty() && migrate.dialect != "postgresql" && migrate.dialect != "mysql" &&
            migrate.dialect != "sqlserver")
            throw UsageError("--dialect takes postgresql, mysql or sqlserver, not " + migrate.dialect);
        for (const auto& [patterns, list] :
             {std::pair{&migrate.include, "--include"}, std::pair{&migrate.exclude, "--exclude"}}) {
            if (const std::string problem = PatternLimitProblem(*patterns, list); !problem.empty())
                throw UsageError(problem);
        }
        migrate.current = positional[0];
        migrate.desired = positional[1];
        return migrate;
    }
    if (positional.size() != 1) throw UsageError("show needs one snapshot or live database");
    if (show.format != "text" && show.format != "json")
        throw UsageError("show --format takes text or json, not " + show.format);
    show.source = positional[0];
    return show;
}

}  // namespace tablor::cli

#include "cli/CliApp.hpp"

#include <filesystem>
#include <memory>
#include <ostream>

#include "cli/BatchPrompt.hpp"
#include "cli/DifferenceOutput.hpp"
#include "compare/cCompareEngine.hpp"
#include "report/HtmlReport.hpp"
#include "sources/cSnapShot.hpp"
#include "support/AppPaths.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"
#include "support/TextEncoding.hpp"

namespace tablor::cli {
namespace {

struct CompareOptions {
    std::string side1;
    std::string side2;
    std::string format = "text";
    std::string htmlFile;
    std::string templateFile;
};

struct UsageError {
    std::string message;
};

// One side of a comparison, read into a schema model.
struct LoadedSide {
    std::string displayName;
    std::shared_ptr<cMetaData> model;
};

CompareOptions ParseCompare(const std::vector<std::string>& args) {
    CompareOptions options;
    std::vector<std::string> positional;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
            return args[++i];
        };
        if (arg == "--format") {
            options.format = value();
            if (options.format != "text" && options.format != "json")
                throw UsageError{"--format takes text or json, not " + options.format};
        } else if (arg == "--html") {
            options.htmlFile = value();
        } else if (arg == "--template") {
            options.templateFile = value();
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            throw UsageError{"unknown option " + arg};
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) throw UsageError{"compare needs two sides"};
    if (!options.templateFile.empty() && options.htmlFile.empty())
        throw UsageError{"--template goes with --html"};
    options.side1 = positional[0];
    options.side2 = positional[1];
    return options;
}

LoadedSide LoadSnapshotSide(const std::string& path) {
    cSnapShot snapshot;
    snapshot.SetFileName(path);
    BatchPrompt prompt;
    snapshot.Fill(prompt);
    if (prompt.Failed()) throw TablorError(0, "cannot read " + path + ": " + prompt.Failure());
    return {std::filesystem::path(path).filename().string(), snapshot.MetaData()};
}

void WriteHtml(const CompareOptions& options, const LoadedSide& side1, const LoadedSide& side2,
               const coDifferences& differences) {
    const std::string templatePath =
        options.templateFile.empty() ? AddAppPath("template.html") : options.templateFile;
    if (!FileExist(templatePath))
        throw TablorError(errors::FileNotFound, "The template file: " + templatePath + " was not found");
    std::vector<DifferenceRow> rows;
    rows.reserve(static_cast<std::size_t>(differences.Count()));
    for (const auto& difference : differences) rows.push_back(DifferenceRow::From(*difference));
    const std::string templateText = DecodeFileText(ReadFileBytes(templatePath));
    WriteFileAtomically(options.htmlFile, RenderHtmlReport(templateText, side1.displayName, side2.displayName,
                                                           ReportDate::Today(), rows));
}

int RunCompare(const std::vector<std::string>& args, std::ostream& out) {
    const CompareOptions options = ParseCompare(args);
    const LoadedSide side1 = LoadSnapshotSide(options.side1);
    const LoadedSide side2 = LoadSnapshotSide(options.side2);

    cCompareEngine engine;
    const coDifferences& differences =
        engine.Compare(*side1.model, side1.displayName, *side2.model, side2.displayName);

    if (options.format == "json") {
        out << FormatDifferencesJson(side1.displayName, side2.displayName, differences);
    } else {
        std::vector<DifferenceRow> rows;
        rows.reserve(static_cast<std::size_t>(differences.Count()));
        for (const auto& difference : differences) rows.push_back(DifferenceRow::From(*difference));
        out << FormatDifferencesText(rows);
    }
    if (!options.htmlFile.empty()) WriteHtml(options, side1, side2, differences);
    return differences.Count() == 0 ? kNoDifferences : kDifferences;
}

}  // namespace

std::string UsageText() {
    return R"(Usage: tablor-cli COMMAND [OPTIONS]

Compares the structure of two databases and lists what one has and the other lacks:
tables and their columns, table constraints, views, stored procedures and functions.

Commands:
  compare SIDE1 SIDE2 [--format text|json] [--html FILE [--template FILE]]
      Compares two sides. A side is a snapshot file (.snp).
      --format text   aligned columns, as the window lists them, then the count (default)
      --format json   one JSON object with every difference record
      --html FILE     also writes the HTML report to FILE
      --template FILE the report template (default: template.html beside the program)

  --help      shows this text
  --version   shows the version

Exit status: 0 no differences, 1 differences found, 2 trouble (the message is on
standard error).

Example:
  tablor-cli compare examples/shop-v1.snp examples/shop-v2.snp --html report.html
)";
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
            (args.empty() ? err : out) << UsageText();
            return args.empty() ? kTrouble : kNoDifferences;
        }
        if (args[0] == "--version") {
            out << "tablor-cli " << TABLOR_VERSION << "\n";
            return kNoDifferences;
        }
        if (args[0] == "compare") return RunCompare(args, out);
        throw UsageError{"unknown command " + args[0]};
    } catch (const UsageError& error) {
        err << "tablor-cli: " << error.message << "\nTry 'tablor-cli --help'.\n";
    } catch (const TablorError& error) {
        err << "tablor-cli: " << (error.Number() != 0 ? error.PromptText() : error.Description()) << "\n";
    } catch (const std::exception& error) {
        err << "tablor-cli: " << error.what() << "\n";
    }
    return kTrouble;
}

}  // namespace tablor::cli

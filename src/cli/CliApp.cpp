#include "cli/CliApp.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>

#include "cli/BatchPrompt.hpp"
#include "cli/CliArguments.hpp"
#include "cli/DifferenceOutput.hpp"
#include "cli/FailureText.hpp"
#include "cli/JunitOutput.hpp"
#include "cli/MarkdownOutput.hpp"
#include "cli/PasswordReader.hpp"
#include "cli/PasswordSources.hpp"
#include "report/HtmlReport.hpp"
#include "report/StructureText.hpp"
#include "service/ComparisonService.hpp"
#include "sources/ChildProcessReader.hpp"
#include "sources/LiveAddress.hpp"
#include "sources/SnapshotWriter.hpp"
#include "sources/cConnection.hpp"
#include "support/AppPaths.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"
#include "support/TerminalText.hpp"
#include "support/TextEncoding.hpp"

namespace tablor::cli {
namespace {

// A side written as "-" is read from standard input, and named so.
constexpr const char* kStandardInputPath = "/dev/stdin";
constexpr const char* kStandardInputName = "standard input";
// How a failure names it.
constexpr const char* kFromStandardInput = "from standard input";

std::optional<std::string> Variable(const CliEnvironment& environment, const std::string& name) {
    if (!environment.variable) return std::nullopt;
    return environment.variable(name);
}

// The live side a text names, or nothing for a snapshot path; an address that cannot be used is
// a usage error.
std::optional<LiveSide> CheckedSide(const std::string& text) {
    try {
        return ParseLiveSide(text);
    } catch (const LiveSideError& error) {
        throw UsageError(RedactedAddress(text) + ": " + error.what());
    }
}

// The file a snapshot side is read from.
std::string SnapshotPath(const std::string& text) {
    return text == kStandardStream ? kStandardInputPath : text;
}

// One command being run: where it writes, what it reads through, and what it is doing with
// files, so that a failure can be told in words.
struct CommandRun {
    CommandRun(const CliEnvironment& environment, std::ostream& out, std::ostream& err)
        : environment(environment), out(out), err(err) {}
    ComparisonService& Service();

    const CliEnvironment& environment;
    std::ostream& out;
    std::ostream& err;
    // Nobody is asked anything; the first failed step ends the command, and is remembered.
    BatchPrompt prompt;
    FileTask task;

  private:
    std::optional<ComparisonService> service_;
};

#ifdef TABLOR_HAVE_ODBC
constexpr bool kHaveLiveAdapter = true;
#else
constexpr bool kHaveLiveAdapter = false;
#endif

// What live sides are read through: the environment's reader, else a reader process when this
// build has one.
std::shared_ptr<LiveReader> ReaderFor(const CliEnvironment& environment) {
    if (environment.reader) return environment.reader;
    if (!kHaveLiveAdapter) return nullptr;
    return std::make_shared<ChildProcessReader>();
}

// A snapshot that cannot be read whole is a failure.
ComparisonService& CommandRun::Service() {
    if (!service_)
        service_.emplace(ReaderFor(environment), prompt, ComparisonService::PartialSnapshots::Fail);
    return *service_;
}

// The password the engine's own tools would find for the side: PostgreSQL's PGPASSWORD and
// password file, MySQL's ~/.my.cnf.
std::optional<std::string> ToolPassword(const LiveSide& side, const CommandRun& run) {
    const VariableLookup variable = [&run](const std::string& name) {
        return Variable(run.environment, name);
    };
    std::string warning;
    std::optional<std::string> password;
    if (side.engine == DatabaseEngine::PostgreSql) {
        const ServerAddress address = ParseServerName(side.serverName, DatabaseEngine::PostgreSql);
        password = PostgreSqlToolPassword(address.host, address.port, side.databaseName, side.userName,
                                          variable, warning);
    } else if (side.engine == DatabaseEngine::MySql) {
        password = MySqlToolPassword(variable, warning);
    }
    if (!warning.empty()) run.err << "tablor-cli: warning: " << EscapeForTerminal(warning) << "\n";
    return password;
}

// The password for the live side numbered `number` (1 or 2): its own TABLOR_PASSWORD_N, else
// TABLOR_PASSWORD, else the engine's own sources, else typed at the terminal, else none.
std::string PasswordFor(const LiveSide& side, int number, const CommandRun& run) {
    if (side.integratedSecurity) return {};
    const CliEnvironment& environment = run.environment;
    if (auto own = Variable(environment, "TABLOR_PASSWORD_" + std::to_string(number))) return *own;
    if (environment.passwordVariable) return *environment.passwordVariable;
    if (auto tools = ToolPassword(side, run)) return *tools;
    if (environment.askPassword) {
        if (auto typed = environment.askPassword(
                EscapeForTerminal("Password for " + side.userName + " on " + side.DisplayName()) + ": "))
            return *typed;
    }
    return {};
}

// A snapshot path ("-": standard input) or a live address, described for the service; a live
// side's password is found here, just before it is read. `readDefinitions` reads more than names.
SideDescription DescribeSide(const std::string& text, int number, const CommandRun& run,
                             bool readDefinitions = false) {
    if (text == kStandardStream) return SideDescription::Snapshot(kStandardInputPath, kStandardInputName);
    const std::optional<LiveSide> live = CheckedSide(text);
    if (!live) return SideDescription::Snapshot(text);
    if (!run.environment.reader && !kHaveLiveAdapter)
        throw TablorError(0,
                          "live databases are not available in this build of tablor-cli (built without the "
                          "ODBC adapter); compare snapshot files instead");
    const LiveSide& side = *live;
    ConnectionSettings settings;
    settings.engine = side.engine;
    settings.serverName = side.serverName;
    settings.databaseName = side.databaseName;
    settings.userName = side.userName;
    settings.password = PasswordFor(side, number, run);
    settings.integratedSecurity = side.integratedSecurity;
    settings.queryTimeoutSeconds = side.queryTimeoutSeconds;
    settings.loginTimeoutSeconds = side.loginTimeoutSeconds;
    settings.encryption = side.encryption;
    settings.trustServerCertificate = side.trustServerCertificate;
    settings.schemas = side.schemas;
    settings.qualifyNames = side.qualifyNames;
    settings.readDefinitions = readDefinitions;
    return SideDescription::Live(std::move(settings), side.DisplayName());
}

// The files a side's read works on: a snapshot's.
FileTask ReadingTask(const SideDescription& side) {
    FileTask task;
    if (side.IsLive()) return task;
    const bool standardInput = side.snapshotPath == kStandardInputPath;
    task.files.push_back(
        {side.snapshotPath, standardInput ? kFromStandardInput : side.snapshotPath, "read the snapshot"});
    task.readsSnapshot = true;
    return task;
}

// Reads one side; a terminal shows the rows read meanwhile.
SideRead ReadSide(CommandRun& run, const SideDescription& side) {
    run.task = ReadingTask(side);
    BatchPrompt progress(run.environment.showProgress && side.IsLive() ? &run.err : nullptr,
                         side.displayName);
    SideRead read = run.Service().Read(
        side, [&](std::string_view section, long rows) { progress.Progress(section, rows); });
    progress.EndProgress();
    run.task = {};
    return read;
}

// The differences as the user reads them, one row made at a time.
std::function<DifferenceRow(std::size_t)> RowAt(const coDifferences& differences) {
    return [&differences](std::size_t index) { return DifferenceRow::From(*differences.Items()[index]); };
}

// The comparison options of the flags, then of the options file: the one named, else the
// project's.
CompareOptions ComparisonOptions(const CompareArguments& arguments, const CliEnvironment& environment) {
    OptionChoices choices = arguments.choices;
    std::string file = arguments.optionsFile;
    if (file.empty() && !arguments.noOptionsFile && !environment.workingFolder.empty())
        file = FindProjectOptionsFile(environment.workingFolder);
    if (!file.empty()) choices = choices.Over(ReadOptionsFile(file));
    CompareOptions options;
    options.columnChanges = choices.columnChanges.value_or(false);
    options.ignoreCase = choices.ignoreCase.value_or(false);
    options.ignoreGeneratedNames = choices.ignoreGeneratedNames.value_or(false);
    options.definitions = choices.definitions.value_or(false);
    options.ignoreProperties = choices.ignore.value_or(std::vector<std::string>{});
    options.include = choices.include.value_or(std::vector<std::string>{});
    options.exclude = choices.exclude.value_or(std::vector<std::string>{});
    if (choices.only) {
        std::string error;
        const std::optional<unsigned> kinds = ParseCompareKinds(*choices.only, error);
        if (!kinds) throw UsageError("--only: " + error);
        options.only = *kinds;
    }
    return options;
}

// Colour goes to a terminal unless NO_COLOR (any value but none) or a dumb terminal says
// otherwise; --color always or never decides alone.
bool UseColor(ColorChoice choice, const CliEnvironment& environment) {
    if (choice != ColorChoice::Auto) return choice == ColorChoice::Always;
    if (!environment.colorTerminal) return false;
    if (const auto noColor = Variable(environment, "NO_COLOR"); noColor && !noColor->empty()) return false;
    return Variable(environment, "TERM").value_or("") != "dumb";
}

// Reads both sides, each with definitions when the comparison asks for them, and compares them.
ComparisonResult ReadAndCompare(CommandRun& run, const std::string& text1, const std::string& text2,
                                const CompareOptions& comparison) {
    const SideDescription side1 = DescribeSide(text1, 1, run, comparison.definitions);
    const SideDescription side2 = DescribeSide(text2, 2, run, comparison.definitions);
    if (!side1.IsLive() && !side2.IsLive()) {
        SideRead read1 = ReadSide(run, side1);
        SideRead read2 = ReadSide(run, side2);
        return run.Service().Compare(std::move(read1), std::move(read2), comparison);
    }
    // Read at once: the snapshot side, if any, is the only file.
    run.task = ReadingTask(side1.IsLive() ? side2 : side1);
    BatchPrompt progress(run.environment.showProgress ? &run.err : nullptr,
                         side1.IsLive() ? side1.displayName : side2.displayName);
    ComparisonResult result = run.Service().Compare(
        side1, side2, [&progress](std::string_view section, long rows) { progress.Progress(section, rows); },
        CancellationToken::None(), comparison);
    progress.EndProgress();
    run.task = {};
    return result;
}

int RunCompare(CommandRun& run, const CompareArguments& options) {
    const CompareOptions comparison = ComparisonOptions(options, run.environment);
    // Both addresses are checked before either side is read.
    for (const std::string* side : {&options.side1, &options.side2}) (void)CheckedSide(*side);
    // Through another path or a link, the report must not overwrite a snapshot it compares.
    for (const std::string* side : {&options.side1, &options.side2}) {
        if (!options.htmlFile.empty() && SameFile(options.htmlFile, SnapshotPath(*side)))
            throw TablorError(0, "the report " + options.htmlFile +
                                     " would overwrite the compared snapshot " + *side +
                                     "; nothing was written");
    }
    const ComparisonResult result = ReadAndCompare(run, options.side1, options.side2, comparison);
    const std::string optionsText = comparison.Describe();
    const coDifferences& differences = *result.differences;
    const std::string& name1 = result.side1.displayName;
    const std::string& name2 = result.side2.displayName;

    if (options.format == "json")
        WriteDifferencesJson(run.out, name1, name2, differences, comparison.List());
    else if (options.format == "markdown")
        WriteDifferencesMarkdown(run.out, differences, optionsText);
    else if (options.format == "junit")
        WriteDifferencesJunit(run.out, name1, name2, differences, comparison.List());
    else
        WriteDifferencesText(run.out, static_cast<std::size_t>(differences.Count()), RowAt(differences),
                             optionsText, UseColor(options.color, run.environment));
    if (!options.htmlFile.empty()) {
        ReportRequest report;
        report.templatePath =
            options.templateFile.empty() ? AddAppPath("template.html") : options.templateFile;
        report.targetPath = options.htmlFile;
        report.side1Name = name1;
        report.side2Name = name2;
        report.rowCount = static_cast<std::size_t>(differences.Count());
        report.rowAt = RowAt(differences);
        report.optionsText = optionsText;
        run.task.files = {{report.templatePath, report.templatePath, "read the report template"},
                          {report.targetPath, report.targetPath, "write the report"}};
        run.Service().WriteReport(report);
        run.task = {};
    }
    return differences.Count() == 0 ? kNoDifferences : kDifferences;
}

int RunSnapshot(CommandRun& run, const SnapshotArguments& options) {
    const std::optional<LiveSide> side = CheckedSide(options.source);
    if (!side)
        throw UsageError("snapshot reads a live database (sqlserver://..., postgresql://... or mysql://...)");

    // A snapshot holds what the catalogue tells, so that it can be compared with --definitions.
    const SideRead read = ReadSide(run, DescribeSide(options.source, 1, run, true));
    const cMetaData& model = *read.model;
    std::ostream* summary = &run.out;
    std::string target = options.outputFile;
    if (options.outputFile == kStandardStream) {
        // The snapshot is the output; what it holds is told beside it.
        const cConnection& source = *read.connection;
        run.out << FormatSnapshot({source.ServerName, source.DatabaseName, source.UserName}, model);
        summary = &run.err;
        target = "standard output";
    } else {
        run.task.files = {{options.outputFile, options.outputFile, "write the snapshot"}};
        run.Service().SaveSnapshot(read, options.outputFile);
        run.task = {};
    }
    *summary << "Snapshot of " << EscapeForTerminal(side->DisplayName()) << " written to "
             << EscapeForTerminal(target) << ": " << model.Tables().Count() << " tables, "
             << model.Views().Count() << " views, " << model.Routines().Count() << " routines, "
             << model.Constraints().Count() << " constraints\n";
    return kNoDifferences;
}

// `show SOURCE`: the structure as the structure viewer shows it, as an indented tree.
int RunShow(CommandRun& run, const ShowArguments& options) {
    // JSON tells whatever is known; a live side's definitions are read when asked for.
    const SideRead read = ReadSide(run, DescribeSide(options.source, 1, run, options.definitions));
    const StructureSource source{read.server, read.database, read.sourceText};
    if (options.format == "json")
        run.out << RenderStructureJson(source, *read.model, JsonString);
    else
        run.out << RenderStructureText(source, *read.model, options.definitions);
    return kNoDifferences;
}

// `migrate CURRENT DESIRED`: the script that makes the first like the second.
int RunMigrate(CommandRun& run, const MigrateArguments& options) {
    for (const std::string* side : {&options.current, &options.desired}) {
        (void)CheckedSide(*side);
        if (!options.outputFile.empty() && options.outputFile != kStandardStream &&
            SameFile(options.outputFile, SnapshotPath(*side)))
            throw TablorError(0, "the script " + options.outputFile + " would overwrite the snapshot " +
                                     *side + "; nothing was written");
    }
    CompareOptions comparison;
    comparison.definitions = true;
    comparison.include = options.include;
    comparison.exclude = options.exclude;
    const ComparisonResult result = ReadAndCompare(run, options.current, options.desired, comparison);
    const std::optional<SqlDialectKind> dialect =
        options.dialect.empty() ? std::nullopt : DialectNamed(options.dialect);
    const MigrationScript script =
        run.Service().Script(result.side1, result.side2, comparison, dialect, options.allowDrop);
    const std::string text = script.Text();
    if (options.outputFile.empty() || options.outputFile == kStandardStream) {
        run.out << text;
    } else {
        run.task.files = {{options.outputFile, options.outputFile, "write the script"}};
        WriteFileAtomically(options.outputFile, text);
        run.task = {};
        run.err << "Script written to " << EscapeForTerminal(options.outputFile) << ": "
                << script.statements.size() - script.HeldBackCount() << " statements, "
                << script.HeldBackCount() << " held back\n";
    }
    if (script.Empty()) return kNoDifferences;
    return script.Incomplete() ? kIncompleteScript : kDifferences;
}

// Passes output on and keeps the reason of the first write that failed, before later calls
// overwrite errno.
class OutputRecorder : public std::streambuf {
  public:
    explicit OutputRecorder(std::streambuf& target) : target_(target) {}
    // errno of the first failed write; -1 when it gave none; 0 when none failed.
    int Error() const noexcept { return error_; }

  protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        errno = 0;
        const std::streamsize written = target_.sputn(text, count);
        if (written < count) Record();
        return written;
    }
    int_type overflow(int_type ch) override {
        if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
        errno = 0;
        const int_type put = target_.sputc(traits_type::to_char_type(ch));
        if (traits_type::eq_int_type(put, traits_type::eof())) Record();
        return put;
    }
    int sync() override {
        errno = 0;
        const int result = target_.pubsync();
        if (result != 0) Record();
        return result;
    }

  private:
    void Record() {
        if (error_ == 0) error_ = errno != 0 ? errno : -1;
    }
    std::streambuf& target_;
    int error_ = 0;
};

}  // namespace

CliEnvironment CliEnvironment::FromProcess() {
    CliEnvironment environment;
    if (const char* password = std::getenv("TABLOR_PASSWORD")) environment.passwordVariable = password;
    environment.variable = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr) return std::nullopt;
        return value;
    };
    environment.askPassword = ReadPasswordFromTerminal;
    environment.showProgress = isatty(STDERR_FILENO) != 0;
    environment.colorTerminal = isatty(STDOUT_FILENO) != 0;
    std::error_code error;
    environment.workingFolder = std::filesystem::current_path(error).string();
    return environment;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    OutputRecorder recorder(*out.rdbuf());
    std::ostream recorded(&recorder);
    const int status = RunCli(args, recorded, err, CliEnvironment::FromProcess());
    recorded.flush();
    if (recorded && recorder.Error() == 0) return status;
    // Output lost to a full disk or a closed pipe must not pass for a result.
    err << "tablor-cli: cannot write to standard output";
    if (recorder.Error() > 0) err << ": " << std::strerror(recorder.Error());
    err << "\n";
    return kTrouble;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
    CommandRun run(environment, out, err);
    try {
        if (args.empty()) {
            err << UsageText();
            return kTrouble;
        }
        const CliCommand command = ParseArguments(args);
        if (const auto* help = std::get_if<HelpRequest>(&command)) {
            const std::string text = help->command.empty() ? UsageText() : CommandHelp(help->command);
            if (text.empty()) throw UsageError("there is no command " + help->command);
            out << text;
            return kNoDifferences;
        }
        if (std::holds_alternative<VersionRequest>(command)) {
            out << "tablor-cli " << TABLOR_VERSION << "\n";
            return kNoDifferences;
        }
        if (const auto* compare = std::get_if<CompareArguments>(&command)) return RunCompare(run, *compare);
        if (const auto* snapshot = std::get_if<SnapshotArguments>(&command))
            return RunSnapshot(run, *snapshot);
        if (const auto* migrate = std::get_if<MigrateArguments>(&command)) return RunMigrate(run, *migrate);
        return RunShow(run, std::get<ShowArguments>(command));
    } catch (const UsageError& error) {
        err << "tablor-cli: " << EscapeForTerminal(error.what()) << "\nTry 'tablor-cli --help'.\n";
    } catch (const TablorError& error) {
        // A failed step the prompt was asked about is told by its own number and text.
        long number = error.Number();
        std::string description = error.Description();
        if (run.prompt.FailedNumber() != 0 &&
            description.find(run.prompt.FailedDescription()) != std::string::npos) {
            number = run.prompt.FailedNumber();
            description = run.prompt.FailedDescription();
            run.task.line = run.prompt.FailedLine();
        }
        // Messages carry names, paths and server text; their own line breaks stay.
        err << "tablor-cli: "
            << EscapeForTerminal(FailureText(number, description, run.task), LineBreaks::Keep) << "\n";
    } catch (const std::exception& error) {
        err << "tablor-cli: " << EscapeForTerminal(error.what(), LineBreaks::Keep) << "\n";
    }
    return kTrouble;
}

}  // namespace tablor::cli

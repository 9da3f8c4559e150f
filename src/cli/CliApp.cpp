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
#include "cli/JunitOutput.hpp"
#include "cli/MarkdownOutput.hpp"
#include "cli/PasswordReader.hpp"
#include "report/HtmlReport.hpp"
#include "report/StructureText.hpp"
#include "service/ComparisonService.hpp"
#include "sources/ChildProcessReader.hpp"
#include "sources/LiveAddress.hpp"
#include "support/AppPaths.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"
#include "support/TerminalText.hpp"
#include "support/TextEncoding.hpp"

namespace tablor::cli {
namespace {

// The live side a text names, or nothing for a snapshot path; an address that cannot be used is
// a usage error.
std::optional<LiveSide> CheckedSide(const std::string& text) {
    try {
        return ParseLiveSide(text);
    } catch (const LiveSideError& error) {
        throw UsageError(RedactedAddress(text) + ": " + error.what());
    }
}

// The password for a live side: TABLOR_PASSWORD, else typed at the terminal, else none.
std::string PasswordFor(const LiveSide& side, const CliEnvironment& environment) {
    if (side.integratedSecurity) return {};
    if (environment.passwordVariable) return *environment.passwordVariable;
    if (environment.askPassword) {
        if (auto typed = environment.askPassword(
                EscapeForTerminal("Password for " + side.userName + " on " + side.DisplayName()) + ": "))
            return *typed;
    }
    return {};
}

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

// A snapshot path or a live address, described for the service; a live side's password is asked
// for here, just before it is read.
SideDescription DescribeSide(const std::string& text, const CliEnvironment& environment) {
    const std::optional<LiveSide> live = CheckedSide(text);
    if (!live) return SideDescription::Snapshot(text);
    if (!environment.reader && !kHaveLiveAdapter)
        throw TablorError(0,
                          "live databases are not available in this build of tablor-cli (built without the "
                          "ODBC adapter); compare snapshot files instead");
    const LiveSide& side = *live;
    ConnectionSettings settings;
    settings.engine = side.engine;
    settings.serverName = side.serverName;
    settings.databaseName = side.databaseName;
    settings.userName = side.userName;
    settings.password = PasswordFor(side, environment);
    settings.integratedSecurity = side.integratedSecurity;
    settings.queryTimeoutSeconds = side.queryTimeoutSeconds;
    settings.loginTimeoutSeconds = side.loginTimeoutSeconds;
    settings.encryption = side.encryption;
    settings.trustServerCertificate = side.trustServerCertificate;
    settings.schemas = side.schemas;
    settings.qualifyNames = side.qualifyNames;
    return SideDescription::Live(std::move(settings), side.DisplayName());
}

// The service as a script uses it: nobody is asked anything, and a snapshot that cannot be read
// whole is a failure.
struct ScriptService {
    explicit ScriptService(const CliEnvironment& environment)
        : service(ReaderFor(environment), prompt, ComparisonService::PartialSnapshots::Fail) {}
    BatchPrompt prompt;
    ComparisonService service;
};

// Reads one side; a terminal shows the rows read meanwhile.
SideRead ReadSide(ComparisonService& service, const std::string& text, const CliEnvironment& environment,
                  std::ostream& err) {
    const SideDescription side = DescribeSide(text, environment);
    BatchPrompt progress(environment.showProgress && side.IsLive() ? &err : nullptr, side.displayName);
    SideRead read = service.Read(
        side, [&progress](std::string_view section, long rows) { progress.Progress(section, rows); });
    progress.EndProgress();
    return read;
}

// The differences as the user reads them, one row made at a time.
std::function<DifferenceRow(std::size_t)> RowAt(const coDifferences& differences) {
    return [&differences](std::size_t index) { return DifferenceRow::From(*differences.Items()[index]); };
}

// The comparison options of the flags, then of the options file.
CompareOptions ComparisonOptions(const CompareArguments& arguments) {
    OptionChoices choices = arguments.choices;
    if (!arguments.optionsFile.empty()) choices = choices.Over(ReadOptionsFile(arguments.optionsFile));
    CompareOptions options;
    options.columnChanges = choices.columnChanges.value_or(false);
    options.ignoreCase = choices.ignoreCase.value_or(false);
    options.ignoreGeneratedNames = choices.ignoreGeneratedNames.value_or(false);
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

int RunCompare(const CompareArguments& options, std::ostream& out, std::ostream& err,
               const CliEnvironment& environment) {
    const CompareOptions comparison = ComparisonOptions(options);
    // Both addresses are checked before either side is read.
    for (const std::string* side : {&options.side1, &options.side2}) (void)CheckedSide(*side);
    // Through another path or a link, the report must not overwrite a snapshot it compares.
    for (const std::string* side : {&options.side1, &options.side2}) {
        if (!options.htmlFile.empty() && SameFile(options.htmlFile, *side))
            throw TablorError(0, "the report " + options.htmlFile +
                                     " would overwrite the compared snapshot " + *side +
                                     "; nothing was written");
    }
    ScriptService script(environment);
    const SideDescription side1 = DescribeSide(options.side1, environment);
    const SideDescription side2 = DescribeSide(options.side2, environment);
    BatchPrompt progress(environment.showProgress && (side1.IsLive() || side2.IsLive()) ? &err : nullptr,
                         side1.IsLive() ? side1.displayName : side2.displayName);
    const ComparisonResult result = script.service.Compare(
        side1, side2, [&progress](std::string_view section, long rows) { progress.Progress(section, rows); },
        CancellationToken::None(), comparison);
    progress.EndProgress();
    const std::string optionsText = comparison.Describe();
    const coDifferences& differences = *result.differences;
    const std::string& name1 = result.side1.displayName;
    const std::string& name2 = result.side2.displayName;

    if (options.format == "json")
        WriteDifferencesJson(out, name1, name2, differences, comparison.List());
    else if (options.format == "markdown")
        WriteDifferencesMarkdown(out, differences, optionsText);
    else if (options.format == "junit")
        WriteDifferencesJunit(out, name1, name2, differences, comparison.List());
    else
        WriteDifferencesText(out, static_cast<std::size_t>(differences.Count()), RowAt(differences),
                             optionsText);
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
        script.service.WriteReport(report);
    }
    return differences.Count() == 0 ? kNoDifferences : kDifferences;
}

int RunSnapshot(const SnapshotArguments& options, std::ostream& out, std::ostream& err,
                const CliEnvironment& environment) {
    const std::optional<LiveSide> side = CheckedSide(options.source);
    if (!side)
        throw UsageError("snapshot reads a live database (sqlserver://..., postgresql://... or mysql://...)");

    ScriptService script(environment);
    const SideRead read = ReadSide(script.service, options.source, environment, err);
    script.service.SaveSnapshot(read, options.outputFile);
    const cMetaData& model = *read.model;
    out << "Snapshot of " << EscapeForTerminal(side->DisplayName()) << " written to "
        << EscapeForTerminal(options.outputFile) << ": " << model.Tables().Count() << " tables, "
        << model.Views().Count() << " views, " << model.Routines().Count() << " routines, "
        << model.Constraints().Count() << " constraints\n";
    return kNoDifferences;
}

// `show SOURCE`: the structure as the structure viewer shows it, as an indented tree.
int RunShow(const ShowArguments& options, std::ostream& out, std::ostream& err,
            const CliEnvironment& environment) {
    ScriptService script(environment);
    const SideRead read = ReadSide(script.service, options.source, environment, err);
    out << RenderStructureText({read.server, read.database, read.sourceText}, *read.model);
    return kNoDifferences;
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
    environment.askPassword = ReadPasswordFromTerminal;
    environment.showProgress = isatty(STDERR_FILENO) != 0;
    return environment;
}

std::string UsageText() {
    return R"(Usage: tablor-cli COMMAND [OPTIONS]

Compares the structure of two databases and lists what one has and the other lacks:
tables and their columns, table constraints, views, stored procedures and functions.

Commands:
  compare SIDE1 SIDE2 [--format text|json|markdown|junit] [--html FILE [--template FILE]]
          [OPTIONS]
      Compares two sides. A side is a snapshot file (.snp) or a live database.
      A snapshot is named by its file name; two of one name in different folders are
      named by as many of their folders as tell them apart (a/v1/shop.snp, b/v1/shop.snp).
      --format text   aligned columns, as the window lists them, then the count (default)
      --format json   one JSON object with every difference record
      --format markdown
                      the counts by kind, then a Markdown table of the rows, for a
                      pull-request comment
      --format junit  JUnit XML for a CI server: a test suite per kind, each difference a
                      failed test case; a green run when there are none
      --html FILE     also writes the HTML report to FILE
      --template FILE the report template (default: the one Tablor ships)
      The report may not be one of the compared snapshots, a named pipe or a socket.
      Snapshot and template files over 1 GiB are refused: no real schema is that large.

    Comparison options (all off by default; when any is on, the last line of the text,
    "options" in the JSON and the report's first row say which):
      --column-changes  also lists a column of a same-named table whose type or size
                        differs ("Field changed"), going from SIDE1
      --ignore-case     names of every kind, and column names, match ignoring letter case
      --ignore-generated-names
                        constraint names a server made up (PK__Orders__C3905BAF5AAE4BD6)
                        match when alike without their trailing "__" and hex digits
      --include GLOB    compares only tables, views, routines and constraints whose name
                        matches (repeatable; * and ? are the wildcards; letter case ignored)
      --exclude GLOB    leaves out what matches (repeatable; wins over --include); a GLOB
                        with a "." also leaves out the columns whose TABLE.COLUMN matches
      --only KINDS      lists only these kinds: tables,columns,views,procedures,functions,
                        constraints,changes (comma-separated)
      --options FILE    reads these options from a TOML file (keys as the flags without
                        the dashes: column-changes = true, include = ["sales_*"], ...);
                        flags given on the command line win over the file

  snapshot DATABASE -o FILE.snp
      Reads a live database and writes its structure to a snapshot file, which can be
      compared later without reaching the server. An existing file is replaced.

  show SOURCE
      Prints the structure of a snapshot file or a live database as the structure
      viewer shows it, as an indented tree: tables with their columns (type and size),
      views, stored procedures and functions, each group sorted by name.

  --help      shows this text
  --version   shows the version

Live databases:
  sqlserver://[USER@]HOST[:PORT][/INSTANCE]?database=NAME[&integrated=true]
                                                [&queryTimeout=SECONDS]
      SQL Server, through the FreeTDS ODBC driver (port 1433 unless given; an instance
      name is looked up through the server's browser service). integrated=true logs in
      with the Kerberos ticket of the current user instead of a user and password.
  postgresql://[USER@]HOST[:PORT]/DATABASE[?queryTimeout=SECONDS]
      PostgreSQL, through the psqlODBC driver (the user schemas only; objects that an
      extension installed are left out).
  mysql://USER@HOST[:PORT]/DATABASE[?queryTimeout=SECONDS]   (or mariadb://...)
      MySQL or MariaDB, through the MariaDB ODBC driver, over TCP (port 3306 unless
      given). The database is the schema, so schema= and qualify= do not apply.
      Constraints are named TABLE.NAME (orders.PRIMARY), since the server names them
      per table and calls every primary key PRIMARY.
  queryTimeout=SECONDS  how long one catalogue query, with the reading of its rows, may
      take (default 300, at most 86400); after it the server is taken to have stopped
      answering and the command ends with status 2 without writing anything.
  loginTimeout=SECONDS  how long opening the connection, login included, may take
      (default 15, at most 86400).
  encrypt=off|request|require|strict  (SQL Server) whether the connection is encrypted;
      without it the driver decides (FreeTDS: encrypted when the server offers it).
      FreeTDS 1.3 cannot do strict: use require, or Microsoft's driver.
  trustServerCertificate=true|false  (SQL Server) takes the server's certificate without
      checking it. FreeTDS checks a certificate only when freetds.conf names a CA file
      ("ca file"), so it refuses false; Microsoft's driver takes both.
  schema=NAME  reads only that schema (exact name, repeat for more: &schema=a&schema=b).
  qualify=true  names tables, views, routines and constraints SCHEMA.NAME.
  A live side is named SERVER.DATABASE in the output. Names may be percent-encoded
  ("%40" for "@").

  The password is never part of the address: it is taken from the TABLOR_PASSWORD
  environment variable or, when standard input is a terminal, asked for without echo.
  TABLOR_ODBC_DRIVER names another ODBC driver for SQL Server (for example
  "ODBC Driver 18 for SQL Server"), TABLOR_ODBC_PG_DRIVER another one for PostgreSQL,
  TABLOR_ODBC_MYSQL_DRIVER another one for MySQL.
  The server sees the session as the program "Tablor". A query that returns more than
  10000000 rows is taken as a server gone wrong: reading stops with status 2. On a
  terminal, standard error shows the rows read while a database is read.

Exit status: 0 no differences (snapshot: written), 1 differences found, 2 trouble
(the message is on standard error).

Examples:
  tablor-cli compare examples/shop-v1.snp examples/shop-v2.snp --html report.html
  tablor-cli compare v1.snp v2.snp --column-changes --exclude 'tmp_*' --exclude '*.updated_at'
  tablor-cli compare v1.snp v2.snp --options ci/tablor.toml --only tables,columns,changes
  tablor-cli compare main.snp branch.snp --format markdown > comment.md
  tablor-cli compare main.snp branch.snp --format junit > tablor-junit.xml
  TABLOR_PASSWORD=... tablor-cli compare \
      "sqlserver://sa@dbhost?database=Sales" "sqlserver://sa@dbhost:14330?database=Sales"
  tablor-cli snapshot "sqlserver://sa@dbhost/SQLEXPRESS?database=Sales" -o sales.snp
  tablor-cli compare postgresql://app@pghost/shop sales.snp
  tablor-cli snapshot "postgresql://app@pghost/shop?schema=sales&qualify=true" -o sales.snp
  tablor-cli show "sqlserver://sa@dbhost?database=Sales&encrypt=require&loginTimeout=30"
  tablor-cli compare mysql://app@dbhost/shop mysql://app@dbhost:3307/shop
)";
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
    try {
        if (args.empty()) {
            err << UsageText();
            return kTrouble;
        }
        const CliCommand command = ParseArguments(args);
        if (std::holds_alternative<HelpRequest>(command)) {
            out << UsageText();
            return kNoDifferences;
        }
        if (std::holds_alternative<VersionRequest>(command)) {
            out << "tablor-cli " << TABLOR_VERSION << "\n";
            return kNoDifferences;
        }
        if (const auto* compare = std::get_if<CompareArguments>(&command))
            return RunCompare(*compare, out, err, environment);
        if (const auto* snapshot = std::get_if<SnapshotArguments>(&command))
            return RunSnapshot(*snapshot, out, err, environment);
        return RunShow(std::get<ShowArguments>(command), out, err, environment);
    } catch (const UsageError& error) {
        err << "tablor-cli: " << EscapeForTerminal(error.what()) << "\nTry 'tablor-cli --help'.\n";
    } catch (const TablorError& error) {
        // Messages carry names, paths and server text; their own line breaks stay.
        err << "tablor-cli: "
            << EscapeForTerminal(error.Number() != 0 ? error.PromptText() : error.Description(),
                                 LineBreaks::Keep)
            << "\n";
    } catch (const std::exception& error) {
        err << "tablor-cli: " << EscapeForTerminal(error.what(), LineBreaks::Keep) << "\n";
    }
    return kTrouble;
}

}  // namespace tablor::cli

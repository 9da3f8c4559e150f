#include <fcntl.h>
#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <tuple>

#include "PlainScanReference.hpp"
#include "SchemaGenerator.hpp"
#include "TempFolder.hpp"
#include "cli/CliApp.hpp"
#include "cli/DifferenceOutput.hpp"
#include "cli/JunitOutput.hpp"
#include "cli/MarkdownOutput.hpp"
#include "sources/SnapshotWriter.hpp"

using namespace tablor;
using tablor::testing::TempFolder;

namespace {

struct CliResult {
    int status;
    std::string out;
    std::string err;
};

CliResult RunTablorCli(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = cli::RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

std::string Example(const std::string& name) {
    return std::string(TABLOR_EXAMPLES_DIR) + "/" + name;
}

// The built program with standard output on `stdoutPath` (and standard input from `stdinPath`):
// its exit status and standard error.
CliResult RunProgram(std::vector<std::string> args, const char* stdoutPath, const TempFolder& folder,
                     const char* stdinPath = "/dev/null") {
    const std::string errPath = folder.File("stderr.txt");
    args.insert(args.begin(), TABLOR_CLI_PATH);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, stdinPath, O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath, O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, TABLOR_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return {-1, {}, {}};
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}, TempFolder::Read(errPath)};
}

// Names that would drive a terminal: ESC, OSC 52 (writes the clipboard), CSI, BEL, C1 as UTF-8,
// a lone 0x9B (CSI on 8-bit terminals), DEL, CR.
const std::vector<std::string> kHostileNames = {
    "esc\x1b"
    "c",
    "\x1b]52;c;aGVsbG8=\x07",
    "\x1b[2J\x1b[H",
    "bell\x07",
    "c1\xC2\x9B"
    "31m",
    "raw\x9B"
    "31m",
    "del\x7F",
    "cr\rover"};

// A control the output did not write itself: a byte below 0x20 other than its line feeds, DEL,
// C1 as UTF-8 (C2 80..C2 9F), or a byte 0x80..0x9F that no lead byte precedes.
bool HoldsControls(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const auto before = i > 0 ? static_cast<unsigned char>(text[i - 1]) : 0;
        if ((byte < 0x20 && byte != '\n') || byte == 0x7F || (byte == 0xC2 && next >= 0x80 && next < 0xA0) ||
            (byte >= 0x80 && byte < 0xA0 && before < 0x80))
            return true;
    }
    return false;
}

// Takes output as it comes and remembers the largest single write.
class WriteSizes : public std::streambuf {
  public:
    std::size_t total = 0;
    std::size_t largest = 0;

  protected:
    std::streamsize xsputn(const char*, std::streamsize count) override {
        total += static_cast<std::size_t>(count);
        largest = std::max(largest, static_cast<std::size_t>(count));
        return count;
    }
    int_type overflow(int_type ch) override {
        total += 1;
        largest = std::max<std::size_t>(largest, 1);
        return traits_type::not_eof(ch);
    }
};

// A snapshot holding one table per name.
std::string TablesSnapshot(const TempFolder& folder, const std::string& file,
                           const std::vector<std::string>& names) {
    cMetaData model;
    for (const auto& name : names) model.Tables().Add(name);
    const std::string path = folder.File(file);
    WriteSnapshot(path, {"s", "d", "u"}, model);
    return path;
}

}  // namespace

TEST(CliCompare, ListsTheExampleDifferencesInAlignedColumns) {
    const auto result = RunTablorCli({"compare", Example("shop-v1.snp"), Example("shop-v2.snp")});
    EXPECT_EQ(result.status, cli::kDifferences);
    EXPECT_TRUE(result.err.empty());
    std::istringstream lines(result.out);
    std::string header, first;
    std::getline(lines, header);
    while (std::getline(lines, first) && first.rfind("Phone ", 0) != 0) {
    }
    EXPECT_EQ(header.find("Object Name"), 0u);
    // Every column of a field row starts where its header does.
    for (std::string_view title : {"Type", "Not found on", "Table", "Message"}) {
        const auto at = header.find(title);
        ASSERT_NE(at, std::string::npos);
        EXPECT_NE(first[at], ' ') << title;
        EXPECT_EQ(first[at - 1], ' ') << title;
    }
    EXPECT_NE(
        result.out.find("The field Phone was not found on the table Customers on the object shop-v2.snp, "
                        "TYPE: varchar SIZE: 30"),
        std::string::npos);
    EXPECT_TRUE(result.out.ends_with("24 difference(s) found between the two objects!\n"));
}

TEST(CliCompare, TextKeepsTheBlankThatEndsAMessage) {
    const auto result = RunTablorCli({"compare", Example("shop-v1.snp"), Example("shop-v2.snp")});
    EXPECT_NE(result.out.find("on the object shop-v1.snp, TYPE: int SIZE: \n"), std::string::npos);
}

TEST(CliCompare, TextPadsAHugeNameNoWiderThanTheCap) {
    TempFolder folder;
    const std::string huge(100000, 'N');
    std::vector<std::string> names = {huge};
    for (int i = 0; i < 20; ++i) names.push_back("t" + std::to_string(i));
    const std::string path = TablesSnapshot(folder, "huge.snp", names);
    const std::string empty = TablesSnapshot(folder, "empty.snp", {});
    const auto result = RunTablorCli({"compare", path, empty});
    ASSERT_EQ(result.status, cli::kDifferences) << result.err;
    EXPECT_LT(result.out.size(), huge.size() + 64 * 1024);
    EXPECT_NE(result.out.find(huge + "  Table  empty.snp"), std::string::npos);
}

TEST(CliCompare, TextAndJsonAreWrittenRowByRow) {
    TempFolder folder;
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) names.push_back("Table_" + std::to_string(i));
    const std::string path = TablesSnapshot(folder, "many.snp", names);
    const std::string empty = TablesSnapshot(folder, "empty.snp", {});
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"compare", path, empty}, {"compare", path, empty, "--format", "json"}}) {
        WriteSizes sizes;
        std::ostream out(&sizes);
        std::ostringstream err;
        EXPECT_EQ(cli::RunCli(args, out, err, cli::CliEnvironment{}), cli::kDifferences) << err.str();
        EXPECT_GT(sizes.total, 16u * 1024) << args.back();
        EXPECT_LT(sizes.largest, 1024u) << args.back();
    }
}

TEST(CliCompare, SnapshotsOfOneNameAreToldApartByTheirFolders) {
    TempFolder folder;
    const std::string content = TempFolder::Read(Example("shop-v1.snp"));
    struct Case {
        std::string path1, path2, name1, name2;
    };
    const std::vector<Case> cases = {
        {"a/v1/shop.snp", "b/v1/shop.snp", "a/v1/shop.snp", "b/v1/shop.snp"},
        {"x/shop.snp", "y/shop.snp", "x/shop.snp", "y/shop.snp"},
        {"x/shop.snp", "x/other.snp", "shop.snp", "other.snp"},
        {"x/shop.snp", "x/shop.snp", "shop.snp", "shop.snp"},
        {"x/shop.snp", "y/../x/shop.snp", "shop.snp", "shop.snp"},  // the same file by two paths
    };
    for (const Case& c : cases) {
        for (const std::string& path : {c.path1, c.path2}) {
            std::filesystem::create_directories(std::filesystem::path(folder.File(path)).parent_path());
            if (path.find("..") == std::string::npos) folder.Write(path, content);
        }
        const auto result =
            RunTablorCli({"compare", folder.File(c.path1), folder.File(c.path2), "--format", "json"});
        ASSERT_EQ(result.status, cli::kNoDifferences) << result.err;
        const auto parsed = nlohmann::json::parse(result.out);
        EXPECT_EQ(parsed["object1"], c.name1) << c.path1 << " " << c.path2;
        EXPECT_EQ(parsed["object2"], c.name2) << c.path1 << " " << c.path2;
    }
}

// Definitions are compared only when asked, a property can be left out, and the JSON record
// tells the property and both values.
TEST(CliCompare, DefinitionsAreComparedWhenAskedAndPropertiesCanBeLeftOut) {
    TempFolder folder;
    const std::string head = "s*d*u*\r\n\r\n\r\n\r\n~T*1*schema=sales\r\n:orders\r\n";
    const std::string v1 = folder.Write("v1.snp", head + "total*numeric**nullable=YES*comment=a\r\n");
    const std::string v2 = folder.Write("v2.snp", head + "total*numeric**nullable=NO*comment=b%2Ac\r\n");
    struct Case {
        std::vector<std::string> flags;
        std::vector<std::string> properties;
    };
    const Case cases[] = {
        {{}, {}},
        {{"--definitions"}, {"comment", "nullable"}},
        {{"--definitions", "--ignore", "Comment"}, {"nullable"}},
        {{"--definitions", "--only", "columns"}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"compare", v1, v2, "--format", "json"};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        const auto result = RunTablorCli(args);
        ASSERT_EQ(result.status, c.properties.empty() ? cli::kNoDifferences : cli::kDifferences)
            << result.err;
        std::vector<std::string> properties;
        const auto parsed = nlohmann::json::parse(result.out);
        for (const auto& record : parsed["differences"]) {
            EXPECT_EQ(record["Kind"], "Field changed");
            EXPECT_EQ(record["FieldTable"], "orders");
            EXPECT_EQ(record["Schema"], "sales");
            properties.push_back(record["Property"]);
            if (record["Property"] == "comment") {
                EXPECT_EQ(record["Value2"], "b*c");
            }
        }
        EXPECT_EQ(properties, c.properties) << ::testing::PrintToString(c.flags);
    }
}

// A build without the live adapter reads snapshots and says plainly that it reads nothing else.
TEST(CliCompare, ABuildWithoutTheLiveAdapterSaysSoForALiveSide) {
#ifdef TABLOR_HAVE_ODBC
    GTEST_SKIP() << "this build reads live databases";
#else
    const auto result = RunTablorCli({"compare", "postgresql://app@127.0.0.1/shop", Example("shop-v1.snp")});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("live databases are not available in this build"), std::string::npos)
        << result.err;
    EXPECT_EQ(RunTablorCli({"compare", Example("shop-v1.snp"), Example("shop-v2.snp")}).status, 1);
#endif
}

TEST(CliCompare, ExitsZeroWhenAlikeAndTwoOnTrouble) {
    const auto same = RunTablorCli({"compare", Example("shop-v1.snp"), Example("shop-v1.snp")});
    EXPECT_EQ(same.status, cli::kNoDifferences);
    EXPECT_EQ(same.out, "0 difference(s) found between the two objects!\n");

    const auto missing = RunTablorCli({"compare", Example("shop-v1.snp"), "/nonexistent/gone.snp"});
    EXPECT_EQ(missing.status, cli::kTrouble);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_NE(missing.err.find("gone.snp"), std::string::npos);
    EXPECT_NE(missing.err.find(" 53"), std::string::npos);

    TempFolder folder;
    const auto broken = RunTablorCli(
        {"compare", Example("shop-v1.snp"), folder.Write("b.snp", "s*d*u*\n\n\n\n:T\nno parts\n")});
    EXPECT_EQ(broken.status, cli::kTrouble);
    EXPECT_NE(broken.err.find("Subscript out of range 9"), std::string::npos) << broken.err;

    // Usage mistakes are told as such before any side is read.
    for (auto args : std::vector<std::vector<std::string>>{{"compare", "one.snp"},
                                                           {"compare", "a", "b", "c"},
                                                           {"compare", "a", "b", "--format", "xml"},
                                                           {"compare", "a", "b", "--bogus"},
                                                           {"compare", "a", "b", "--html"},
                                                           {"frobnicate"}}) {
        const auto usage = RunTablorCli(args);
        EXPECT_EQ(usage.status, cli::kTrouble);
        EXPECT_NE(usage.err.find("Try 'tablor-cli --help'"), std::string::npos) << usage.err;
    }
    const auto bare = RunTablorCli({});
    EXPECT_EQ(bare.status, cli::kTrouble);
    EXPECT_EQ(bare.err.rfind("Usage:", 0), 0u);
    const auto help = RunTablorCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("compare SIDE1 SIDE2"), std::string::npos);
}

// Words first: which file, which line, what was expected; the numbered text follows.
TEST(CliCompare, FailuresSayWhatIsWrongInWords) {
    TempFolder folder;
    std::filesystem::create_directory(folder.File("dir.snp"));
    const std::string v1 = Example("shop-v1.snp");
    const auto snapshot = [&](const std::string& path) { return "cannot read the snapshot " + path + ": "; };
    const std::string start =
        "a snapshot starts with four lines: SERVER*DATABASE*USER, then its constraints, its views and its "
        "routines";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{folder.File("nope.snp")}, snapshot(folder.File("nope.snp")) + "there is no such file"},
        {{folder.Write("empty.snp", "")}, snapshot(folder.File("empty.snp")) + "it is empty, but " + start},
        {{folder.Write("short.snp", "s*d*u\r\nPK\r\n")},
         snapshot(folder.File("short.snp")) + "it ends after line 2, but " + start},
        {{folder.Write("head.snp", "s*d\r\n\r\n\r\n\r\n")},
         snapshot(folder.File("head.snp")) + "line 1 should be SERVER*DATABASE*USER"},
        {{folder.Write("column.snp", "s*d*u\r\n\r\n\r\n\r\n:T\r\nId*int*4\r\nno parts\r\n")},
         snapshot(folder.File("column.snp")) +
             "line 7 should be a column of the table above it: NAME*TYPE*SIZE"},
        {{folder.File("dir.snp")}, snapshot(folder.File("dir.snp")) + "it is a folder, not a file"},
        {{v1, "--html", folder.File("none/r.html")},
         "cannot write the report " + folder.File("none/r.html") + ": a folder on its path does not exist"},
        {{v1, "--html", folder.File("r.html"), "--template", folder.File("t.html")},
         "cannot read the report template " + folder.File("t.html") + ": there is no such file"},
    };
    for (const auto& [args, words] : cases) {
        std::vector<std::string> command = {"compare", v1};
        command.insert(command.end(), args.begin(), args.end());
        const auto result = RunTablorCli(command);
        EXPECT_EQ(result.status, cli::kTrouble);
        EXPECT_EQ(result.err.substr(0, result.err.find('\n')), "tablor-cli: " + words) << result.err;
    }
}

// --help after a command is its help; -V the version; a near miss is named with what was meant.
TEST(CliProgram, HelpVersionAndNearMisses) {
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
        {{"compare", "--help"}, cli::kNoDifferences, "Usage: tablor-cli compare SIDE1 SIDE2"},
        {{"show", "a.snp", "-h"}, cli::kNoDifferences, "Usage: tablor-cli show SOURCE"},
        {{"help", "snapshot"}, cli::kNoDifferences, "Usage: tablor-cli snapshot DATABASE"},
        {{"-V"}, cli::kNoDifferences, "tablor-cli " TABLOR_VERSION "\n"},
        {{"compare", "a", "b", "--colum-changes"}, cli::kTrouble, "did you mean --column-changes?"},
        {{"compare", "a", "b", "--colour=never"}, cli::kTrouble, "did you mean --color?"},
        {{"comapre", "a", "b"}, cli::kTrouble, "unknown command comapre; did you mean compare?"},
        {{"compare", "a", "b", "--bogus"}, cli::kTrouble, "unknown option --bogus\n"},
        {{"compare", "-", "-"}, cli::kTrouble, "only one side can be read from standard input"},
    };
    for (const auto& [args, status, shown] : cases) {
        const auto result = RunTablorCli(args);
        EXPECT_EQ(result.status, status) << args[0];
        EXPECT_NE((result.out + result.err).find(shown), std::string::npos) << result.out << result.err;
    }
}

// Colour only on a terminal, never under NO_COLOR or --color=never, always with --color=always;
// without it the text is byte for byte the plain one.
TEST(CliCompare, ColourOnlyWhereItIsWanted) {
    const std::vector<std::string> args = {"compare", Example("shop-v1.snp"), Example("shop-v2.snp")};
    const auto run = [&](bool terminal, std::optional<std::string> noColor, std::string flag) {
        cli::CliEnvironment environment;
        environment.colorTerminal = terminal;
        environment.variable = [noColor](const std::string& name) {
            return name == "NO_COLOR" ? noColor : std::nullopt;
        };
        std::vector<std::string> command = args;
        if (!flag.empty()) command.push_back(flag);
        std::ostringstream out, err;
        EXPECT_EQ(cli::RunCli(command, out, err, environment), cli::kDifferences) << err.str();
        return out.str();
    };
    const std::string plain = RunTablorCli(args).out;
    const std::string colored = run(true, std::nullopt, "");
    EXPECT_NE(colored.find("\x1b[32mConstraint\x1b[0m  shop-v2.snp"), std::string::npos) << colored;
    EXPECT_NE(colored.find("\x1b[1;31m24 difference(s) found"), std::string::npos);
    EXPECT_EQ(run(true, "", ""), colored);
    EXPECT_EQ(run(false, std::nullopt, "--color=always"), colored);
    EXPECT_EQ(run(true, "1", ""), plain);
    EXPECT_EQ(run(true, std::nullopt, "--color=never"), plain);
    EXPECT_EQ(run(false, std::nullopt, "--color=auto"), plain);
}

// "-" reads a snapshot from standard input, whether a pipe or a file.
TEST(CliProgram, ADashSideIsStandardInput) {
    TempFolder folder;
    const std::string out = folder.File("out.txt");
    folder.Write("out.txt", "");
    const auto result = RunProgram({"compare", "-", Example("shop-v2.snp"), "--format", "json"}, out.c_str(),
                                   folder, Example("shop-v1.snp").c_str());
    EXPECT_EQ(result.status, cli::kDifferences) << result.err;
    const auto parsed = nlohmann::json::parse(TempFolder::Read(out));
    EXPECT_EQ(parsed["object1"], "standard input");
    EXPECT_EQ(parsed["count"], 24);
    const std::string piped = "cat '" + Example("shop-v1.snp") + "' | '" TABLOR_CLI_PATH "' compare - '" +
                              Example("shop-v1.snp") + "' > '" + out + "'";
    EXPECT_EQ(std::system(piped.c_str()), 0);
    EXPECT_EQ(TempFolder::Read(out), "0 difference(s) found between the two objects!\n");
    EXPECT_FALSE(std::filesystem::exists("-"));
}

TEST(CliCompare, WritesTheHtmlReportFromTheTemplate) {
    TempFolder folder;
    const std::string templatePath =
        folder.Write("t.html", "<p>[object1name] vs [object2name] on [currentdate]</p>\r\n");
    const std::string report = folder.File("out.html");
    const auto result = RunTablorCli({"compare", Example("shop-v1.snp"), Example("shop-v2.snp"), "--html",
                                      report, "--template", templatePath});
    ASSERT_EQ(result.status, cli::kDifferences) << result.err;
    const std::string page = TempFolder::Read(report);
    EXPECT_EQ(page.rfind("<p>shop-v1.snp vs shop-v2.snp on ", 0), 0u);
    EXPECT_NE(page.find("<td>vCustomerOrders&nbsp;</td>"), std::string::npos);
    EXPECT_TRUE(page.ends_with("</html>\r\n\r\n"));

    const auto noTemplate = RunTablorCli({"compare", Example("shop-v1.snp"), Example("shop-v2.snp"), "--html",
                                          report, "--template", folder.File("missing.html")});
    EXPECT_EQ(noTemplate.status, cli::kTrouble);
    const auto badTarget = RunTablorCli({"compare", Example("shop-v1.snp"), Example("shop-v2.snp"), "--html",
                                         folder.File("no/folder/out.html"), "--template", templatePath});
    EXPECT_EQ(badTarget.status, cli::kTrouble);
    EXPECT_NE(badTarget.err.find("out.html"), std::string::npos);
}

TEST(CliCompare, RefusesAReportThatWouldOverwriteAComparedSnapshot) {
    TempFolder folder;
    const std::string input = folder.Write("a.snp", TempFolder::Read(Example("shop-v1.snp")));
    ASSERT_EQ(::symlink(input.c_str(), folder.File("link.html").c_str()), 0);
    ASSERT_EQ(::link(input.c_str(), folder.File("hard.html").c_str()), 0);
    for (const std::string& report :
         {input, folder.Path() + "/./../" + folder.Path().substr(folder.Path().rfind('/') + 1) + "/a.snp",
          folder.File("link.html"), folder.File("hard.html")}) {
        const auto result = RunTablorCli({"compare", Example("shop-v2.snp"), input, "--html", report});
        EXPECT_EQ(result.status, cli::kTrouble) << report;
        EXPECT_TRUE(result.out.empty()) << report;
        EXPECT_NE(result.err.find("would overwrite the compared snapshot"), std::string::npos) << result.err;
        EXPECT_EQ(TempFolder::Read(input), TempFolder::Read(Example("shop-v1.snp"))) << report;
    }
}

TEST(CliCompare, JsonAgreesWithThePlainScansOnRandomSchemas) {
    TempFolder folder;
    for (std::uint32_t seed = 100; seed < 110; ++seed) {
        tablor::testing::SchemaShape shape;
        shape.tables = 40;
        shape.differing = 0.1;
        shape.awkwardNames = true;
        auto [first, second] = tablor::testing::GenerateSchemaPair(shape, seed);
        const std::string path1 = folder.File("first.snp");
        const std::string path2 = folder.File("second.snp");
        WriteSnapshot(path1, {"s", "d", "u"}, *first);
        WriteSnapshot(path2, {"s", "d", "u"}, *second);

        coDifferences expected;
        tablor::testing::PlainScanCompare(*first, "first.snp", *second, "second.snp", expected);
        const auto result = RunTablorCli({"compare", path1, path2, "--format", "json"});
        EXPECT_EQ(result.status, expected.Count() == 0 ? 0 : 1);
        EXPECT_EQ(result.out, cli::FormatDifferencesJson("first.snp", "second.snp", expected))
            << "seed " << seed;
    }
}

TEST(CliCompare, JsonEscapesWhatItMust) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\"b\\c\nd\x01é", "\"a\\\"b\\\\c\\nd\\u0001é\""},
        {"\xC2\x9F|\xC2\xA0", "\"\\u009f|\xC2\xA0\""},  // the last C1 control, then a printable
        {"Ａ\xEF\xBF\xBD", "\"Ａ\xEF\xBF\xBD\""},       // three-byte letters led by EF pass
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(cli::JsonString(text), json) << text;
    coDifferences differences;
    differences.Add("T", 0, "b", "Table was not found on b");
    EXPECT_EQ(cli::FormatDifferencesJson("a", "b", differences),
              "{\"object1\": \"a\", \"object2\": \"b\", \"count\": 1, \"differences\": [\n"
              "  {\"ObjectName\": \"T\", \"ObjectType\": 0, \"Source\": \"b\", \"FieldTable\": \"\", "
              "\"FieldType\": "
              "\"\", \"FieldSize\": \"\", \"Message\": \"Table was not found on b\"}\n]}\n");
}

TEST(CliCompare, JsonGivesOnlyAChangedColumnTheSecondSidesTypeAndSize) {
    coDifferences differences;
    differences.Add("T", 0, "b", "Table was not found on b");
    differences.AddChange(cDifference::ColumnChanged("T", "c", "int", "", "varchar", "5", "m"));
    const auto json = nlohmann::json::parse(cli::FormatDifferencesJson("a", "b", differences));
    EXPECT_FALSE(json["differences"][0].contains("FieldType2"));
    const auto& change = json["differences"][1];
    EXPECT_EQ(change["ObjectType"], 6);
    EXPECT_EQ(change["FieldType"], "int");
    EXPECT_EQ(change["FieldSize"], "");
    EXPECT_EQ(change["FieldType2"], "varchar");
    EXPECT_EQ(change["FieldSize2"], "5");
    EXPECT_EQ(change["Source"], "");
}

TEST(CliShow, PrintsTheStructureTreeOfASnapshot) {
    const auto result = RunTablorCli({"show", Example("shop-v1.snp")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.rfind("Server: SQLPROD01\nDatabase: Shop\n", 0), 0u) << result.out.substr(0, 200);
    EXPECT_NE(
        result.out.find("\n  Tables\n    Addresses\n      AddressID\n        Type: int\n        Size: \n"),
        std::string::npos);
    EXPECT_EQ(RunTablorCli({"show"}).status, cli::kTrouble);
    EXPECT_EQ(RunTablorCli({"show", "/nonexistent/x.snp"}).status, cli::kTrouble);
}

TEST(CliTerminal, HostileNamesReachTheTerminalEscaped) {
    for (const std::string& name : kHostileNames) {
        TempFolder folder;
        const std::string fileName = name + ".snp";
        cMetaData model;
        // A snapshot holds no line break in a name; the file name and the rows below still do.
        const std::string tableName = name.find('\r') == std::string::npos ? name : "t";
        model.Tables().Add(tableName)->Fields().Add(tableName, "int", "");
        const std::string path = folder.File(fileName);
        WriteSnapshot(path, {"s", "d", "u"}, model);
        const std::string empty = folder.File("empty.snp");
        WriteSnapshot(empty, {"s", "d", "u"}, cMetaData());

        const auto compared = RunTablorCli({"compare", path, empty});
        EXPECT_EQ(compared.status, cli::kDifferences) << compared.err;
        EXPECT_FALSE(HoldsControls(compared.out)) << compared.out;
        const auto shown = RunTablorCli({"show", path});
        EXPECT_EQ(shown.status, cli::kNoDifferences) << shown.err;
        EXPECT_FALSE(HoldsControls(shown.out)) << shown.out;
        const auto missing = RunTablorCli({"compare", folder.File("gone-" + fileName), empty});
        EXPECT_EQ(missing.status, cli::kTrouble);
        EXPECT_FALSE(HoldsControls(missing.err)) << missing.err;
        const auto usage = RunTablorCli({"compare", "a", "b", "--" + name});
        EXPECT_FALSE(HoldsControls(usage.err)) << usage.err;
        std::ostringstream text;
        cli::WriteDifferencesText(text, 1, [&](std::size_t) {
            return DifferenceRow{{name, "Table", name, name, name + "\nsecond line"}};
        });
        EXPECT_FALSE(HoldsControls(text.str())) << text.str();
    }
}

TEST(CliTerminal, PrintableUnicodeNamesPassUnchanged) {
    TempFolder folder;
    const std::string name = "Kunde_Ωμέγα_表_é";
    cMetaData model;
    model.Tables().Add(name);
    model.Tables().Add("Ωé");
    const std::string path = folder.File(name + ".snp");
    WriteSnapshot(path, {"s", "d", "u"}, model);
    const std::string empty = folder.File("empty.snp");
    WriteSnapshot(empty, {"s", "d", "u"}, cMetaData());
    const std::string compared = RunTablorCli({"compare", path, empty}).out;
    EXPECT_NE(compared.find(name + "  Table  empty.snp"), std::string::npos);
    // Padded by characters, not bytes: two letters and 15 blanks span the longest name and the gap.
    EXPECT_NE(compared.find("\nΩé" + std::string(15, ' ') + "Table  empty.snp"), std::string::npos)
        << compared;
    EXPECT_NE(RunTablorCli({"show", path}).out.find("    " + name + "\n"), std::string::npos);
}

TEST(CliProgram, OutputThatCannotBeWrittenIsTrouble) {
    TempFolder folder;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"compare", Example("shop-v1.snp"), Example("shop-v2.snp")},
             {"compare", Example("shop-v1.snp"), Example("shop-v1.snp")},
             {"compare", Example("shop-v1.snp"), Example("shop-v2.snp"), "--format", "json"},
             {"compare", Example("shop-v1.snp"), Example("shop-v2.snp"), "--format", "markdown"},
             {"compare", Example("shop-v1.snp"), Example("shop-v1.snp"), "--format", "junit"},
             {"show", Example("shop-v1.snp")}}) {
        const auto result = RunProgram(args, "/dev/full", folder);
        EXPECT_EQ(result.status, cli::kTrouble) << args[0] << " " << args.back();
        EXPECT_NE(result.err.find("tablor-cli: cannot write to standard output: "), std::string::npos)
            << result.err;
    }
    EXPECT_EQ(RunProgram({"show", Example("shop-v1.snp")}, "/dev/null", folder).status, cli::kNoDifferences);
}

TEST(CliCompare, JsonStaysValidUtf8ForNamesThatAreNot) {
    TempFolder folder;
    // Latin-1 é and a lone 0x9B: read as Windows-1252, "é" and "›".
    const std::string path = folder.Write("caf\xE9\x9B.snp", TempFolder::Read(Example("shop-v1.snp")));
    const auto result = RunTablorCli({"compare", path, Example("shop-v2.snp"), "--format", "json"});
    ASSERT_EQ(result.status, cli::kDifferences) << result.err;
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(result.out)) << result.out.substr(0, 200);
    EXPECT_EQ(parsed["object1"], "caf\u00e9\u203a.snp");
    EXPECT_EQ(parsed["count"], 24);
    EXPECT_EQ(cli::JsonString("del\x7F c1\xC2\x85"), "\"del\\u007f c1\\u0085\"");
}

namespace {

// Names a table cell or an XML document could be broken by, each with how it must show.
struct ShownName {
    std::string raw, shown;
};
const std::vector<ShownName> kAwkwardNames = {
    {"quo\"te's", "quo\"te's"},
    {"a|b\\c`d`", "a|b\\c`d`"},
    {"*em* _x_ ~y~", "*em* _x_ ~y~"},
    {"[link](http://evil.example) www.evil.example me@evil.example",
     "[link](http://evil.example) www.evil.example me@evil.example"},
    {"<img src=x onerror=alert(1)>&amp;", "<img src=x onerror=alert(1)>&amp;"},
    {"x]]>y", "x]]>y"},
    {"Kunde_Ωμέγα_表", "Kunde_Ωμέγα_表"},
    {"line\nbreak\ttab\rcr", "line\\nbreak\\ttab\\rcr"},
    {"esc\x1b[2J del\x7F c1\xC2\x85", "esc\\u001b[2J del\\u007f c1\\u0085"},
    {"caf\xE9\x9B nul\x01", "caf\u00e9\u203a nul\\u0001"},  // not UTF-8: read as Windows-1252
    {"non\xEF\xBF\xBF", "non\\uffff"},
    {"user@evil.example", "user@evil.example"},
    {"xmpp:u@host.example", "xmpp:u@host.example"},
    {"mailto:a@b.c", "mailto:a@b.c"},
    {"www.example.com", "www.example.com"},
    {"https://x", "https://x"},
    {"@octocat", "@octocat"},
};

// A table and one of its columns for each name.
coDifferences AwkwardDifferences() {
    coDifferences differences;
    for (const auto& name : kAwkwardNames) {
        differences.Add(name.raw, 0, "b", "Table " + name.raw + " was not found");
        differences.Add("col", 1, "b", "Field " + name.raw)->SetFieldDetails(name.raw, "int", "4");
    }
    return differences;
}

std::string Attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

std::vector<xmlNode*> Children(xmlNode* parent, std::string_view name) {
    std::vector<xmlNode*> children;
    for (xmlNode* child = parent->children; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE && reinterpret_cast<const char*>(child->name) == name)
            children.push_back(child);
    return children;
}

// The rows of a Markdown text's tables as GitHub shows them: cmark-gfm's HTML with its table and
// autolink extensions, each cell's text. Any element but the table's own, bold and paragraphs
// (a link, an image, emphasis) fails the test.
std::vector<std::vector<std::string>> RenderedRows(const std::string& markdown) {
    const TempFolder folder;
    const std::string html = folder.File("out.html");
    const std::string command =
        TABLOR_CMARK_GFM " -e table -e autolink " + folder.Write("in.md", markdown) + " > " + html;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    const std::string text = TempFolder::Read(html);
    htmlDocPtr doc = htmlReadMemory(text.data(), static_cast<int>(text.size()), "out.html", "UTF-8",
                                    HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
    const std::set<std::string> plain = {"html",  "body",  "p",  "strong", "table",
                                         "thead", "tbody", "tr", "th",     "td"};
    std::vector<std::vector<std::string>> rows;
    const std::function<void(xmlNode*)> walk = [&](xmlNode* node) {
        for (; node != nullptr; node = node->next) {
            if (node->type != XML_ELEMENT_NODE) continue;
            const std::string name = reinterpret_cast<const char*>(node->name);
            EXPECT_TRUE(plain.contains(name)) << "<" << name << "> in " << text;
            if (name == "tr") rows.emplace_back();
            if ((name == "td" || name == "th") && !rows.empty()) {
                xmlChar* content = xmlNodeGetContent(node);
                rows.back().emplace_back(reinterpret_cast<const char*>(content));
                xmlFree(content);
            }
            walk(node->children);
        }
    };
    walk(xmlDocGetRootElement(doc));
    xmlFreeDoc(doc);
    return rows;
}

}  // namespace

TEST(CliCiFormats, JunitParsesAndCarriesEveryNameAndMessage) {
    const coDifferences differences = AwkwardDifferences();
    std::ostringstream out;
    cli::WriteDifferencesJunit(out, "a\x01<", "b", differences, "ignore-case");
    const std::string xml = out.str();
    xmlDoc* doc =
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "junit.xml", nullptr, XML_PARSE_NONET);
    ASSERT_NE(doc, nullptr) << xml;
    xmlNode* root = xmlDocGetRootElement(doc);
    EXPECT_EQ(Attribute(root, "tests"), std::to_string(2 * kAwkwardNames.size()));
    EXPECT_EQ(Attribute(root, "failures"), std::to_string(2 * kAwkwardNames.size()));
    const auto suites = Children(root, "testsuite");
    ASSERT_EQ(suites.size(), 2u);
    for (std::size_t kind = 0; kind < suites.size(); ++kind) {
        xmlNode* suite = suites[kind];
        EXPECT_EQ(Attribute(suite, "name"), kind == 0 ? "Table" : "Field");
        const auto cases = Children(suite, "testcase");
        ASSERT_EQ(cases.size(), kAwkwardNames.size());
        EXPECT_EQ(Attribute(suite, "tests"), std::to_string(cases.size()));
        EXPECT_EQ(Attribute(suite, "failures"), std::to_string(cases.size()));
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const std::string& shown = kAwkwardNames[i].shown;
            EXPECT_EQ(Attribute(cases[i], "classname"), kind == 0 ? "tablor.Table" : "tablor.Field");
            EXPECT_EQ(Attribute(cases[i], "name"), kind == 0 ? shown : shown + ".col");
            const auto failure = Children(cases[i], "failure");
            ASSERT_EQ(failure.size(), 1u);
            const std::string message =
                kind == 0 ? "Table " + shown + " was not found" : "Field " + shown + ", TYPE: int SIZE: 4";
            EXPECT_EQ(Attribute(failure[0], "message"), message);
            xmlChar* content = xmlNodeGetContent(failure[0]);
            EXPECT_EQ(reinterpret_cast<const char*>(content), message);
            xmlFree(content);
        }
    }
    xmlFreeDoc(doc);
}

TEST(CliCiFormats, JunitExitsAsTheOtherFormatsAndShowsGreenWhenAlike) {
    struct Case {
        std::string side2;
        int status;
        std::string tests, failures;
    };
    for (const Case& c : std::vector<Case>{{"shop-v1.snp", cli::kNoDifferences, "1", "0"},
                                           {"shop-v2.snp", cli::kDifferences, "24", "24"}}) {
        const auto result =
            RunTablorCli({"compare", Example("shop-v1.snp"), Example(c.side2), "--format", "junit"});
        EXPECT_EQ(result.status, c.status) << result.err;
        xmlDoc* doc = xmlReadMemory(result.out.data(), static_cast<int>(result.out.size()), "junit.xml",
                                    nullptr, XML_PARSE_NONET);
        ASSERT_NE(doc, nullptr) << result.out;
        xmlNode* root = xmlDocGetRootElement(doc);
        EXPECT_EQ(Attribute(root, "tests"), c.tests);
        EXPECT_EQ(Attribute(root, "failures"), c.failures);
        long cases = 0;
        for (xmlNode* suite : Children(root, "testsuite"))
            cases += static_cast<long>(Children(suite, "testcase").size());
        EXPECT_EQ(std::to_string(cases), c.tests);
        xmlFreeDoc(doc);
    }
}

TEST(CliCiFormats, MarkdownCellsHoldEveryNameWithoutBreakingTheTable) {
    std::ostringstream out;
    cli::WriteDifferencesMarkdown(out, AwkwardDifferences());
    const auto rows = RenderedRows(out.str());
    ASSERT_EQ(rows.size(), 1 + 2 * kAwkwardNames.size()) << out.str();
    for (const auto& row : rows) EXPECT_EQ(row.size(), 5u) << out.str();
    for (std::size_t i = 0; i < kAwkwardNames.size(); ++i) {
        const std::string& shown = kAwkwardNames[i].shown;
        EXPECT_EQ(rows[1 + 2 * i][0], shown);
        EXPECT_EQ(rows[1 + 2 * i][4], "Table " + shown + " was not found");
        EXPECT_EQ(rows[2 + 2 * i][3], shown);
    }
    // Outside the table only the summary: a name's line break could end the table early.
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(rows.size()) + 3);
}

TEST(CliCiFormats, MarkdownSummarisesTheKindsPresent) {
    struct Case {
        std::string side2;
        std::vector<std::string> extra;
        std::string first, last;
    };
    const std::vector<Case> cases = {
        {"shop-v1.snp", {}, "No differences.", "No differences."},
        {"shop-v2.snp",
         {},
         "**24 differences**: 5 tables, 7 columns, 2 views, 2 procedures, 2 functions, 6 constraints",
         "| vActiveCoupons | Table | shop\\-v1\\.snp |  | Table was not found on shop\\-v1\\.snp |"},
        {"shop-v2.snp",
         {"--only", "changes", "--column-changes"},
         "**1 difference**: 1 changed column",
         "options\\: column\\-changes\\, only\\=changes"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"compare", Example("shop-v1.snp"), Example(c.side2), "--format",
                                         "markdown"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const auto result = RunTablorCli(args);
        EXPECT_EQ(result.status, c.first == "No differences." ? cli::kNoDifferences : cli::kDifferences);
        std::istringstream lines(result.out);
        std::string first, last;
        std::getline(lines, first);
        for (std::string line; std::getline(lines, line);) last = line;
        EXPECT_EQ(first, c.first) << result.out;
        EXPECT_EQ(c.first == "No differences." ? first : last, c.last) << result.out;
    }
}

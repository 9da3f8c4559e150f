// Comparison options on the command line: each one changes the list and says so; the options
// file fills in what the flags leave unset.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "TempFolder.hpp"
#include "cli/CliApp.hpp"

namespace tablor::testing {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = cli::RunCli(args, out, err, cli::CliEnvironment{});
    return {status, out.str(), err.str()};
}

class CliOptions : public ::testing::Test {
  protected:
    TempFolder folder;
    const std::string first =
        folder.Write("first.snp",
                     "s*d*u\r\nPK__Orders__C3905BAF5AAE4BD6*FK_Lines\r\nv_sales\r\n\r\n"
                     ":Orders\r\nId*int*4\r\nTotal*decimal*10,2\r\n:tmp_load\r\nx*int*4\r\n");
    const std::string second =
        folder.Write("second.snp",
                     "s*d*u\r\nPK__Orders__0A1B2C3D4E5F6071*fk_lines\r\nV_SALES\r\n\r\n"
                     ":ORDERS\r\nid*INT*4\r\nTotal*money*8\r\n");
};

TEST_F(CliOptions, EachOptionChangesTheListAndTheLastLineSaysWhichWereOn) {
    struct Case {
        std::vector<std::string> flags;
        std::vector<std::string> listed, notListed;
        std::string lastLine;
    };
    const std::vector<Case> cases = {
        {{},
         {"Orders", "tmp_load", "PK__Orders__C3905BAF5AAE4BD6"},
         {"Field changed"},
         "difference(s) found"},
        {{"--ignore-case"}, {"tmp_load"}, {"v_sales", "FK_Lines", "ORDERS", "Total"}, "options: ignore-case"},
        {{"--ignore-case", "--column-changes"},
         {"Field changed", "decimal", "money"},
         {"v_sales"},
         "options: column-changes, ignore-case"},
        {{"--ignore-generated-names"}, {"FK_Lines"}, {"PK__Orders"}, "options: ignore-generated-names"},
        {{"--exclude", "TMP_*", "--exclude", "orders"},
         {"v_sales", "V_SALES"},
         {"tmp_load", "Table was not found"},
         "exclude=TMP_*,orders"},
        {{"--include", "v_*"}, {"v_sales", "V_SALES"}, {"tmp_load", "FK_Lines"}, "include=v_*"},
        {{"--only", "views"}, {"V_SALES"}, {"tmp_load", "PK__"}, "only=views"},
    };
    for (const Case& c : cases) {
        // Before the sides, where a pattern list must not take them for patterns.
        std::vector<std::string> args = {"compare"};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        args.insert(args.end(), {first, second});
        SCOPED_TRACE(::testing::PrintToString(c.flags));
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, cli::kDifferences) << run.err;
        for (const std::string& name : c.listed) EXPECT_THAT(run.out, HasSubstr(name));
        for (const std::string& name : c.notListed) EXPECT_THAT(run.out, Not(HasSubstr(name)));
        const std::string lastLine = run.out.substr(run.out.rfind('\n', run.out.size() - 2) + 1);
        EXPECT_THAT(lastLine, HasSubstr(c.lastLine));
    }
}

TEST_F(CliOptions, TheReportAndTheJsonSayWhichOptionsWereOn) {
    const std::string report = folder.File("r.html");
    const CliRun json = Cli({"compare", first, second, "--column-changes", "--ignore-case", "--format",
                             "json", "--html", report});
    EXPECT_THAT(json.out, HasSubstr("\"options\": \"column-changes, ignore-case\", \"differences\": ["));
    EXPECT_THAT(json.out, HasSubstr("\"FieldType2\": \"money\", \"FieldSize2\": \"8\""));
    EXPECT_THAT(TempFolder::Read(report),
                HasSubstr("<td colspan=\"5\" class=\"options\">Compared with options: "
                          "column-changes, ignore-case</td>"));
    const CliRun plain = Cli({"compare", first, second, "--format", "json"});
    EXPECT_THAT(plain.out, Not(HasSubstr("options")));
}

TEST_F(CliOptions, FlagsWinOverTheOptionsFile) {
    const std::string options = folder.Write("team.toml", "ignore-case = true\nonly = \"tables\"\n");
    const CliRun fromFile = Cli({"compare", first, second, "--options", options});
    EXPECT_THAT(fromFile.out, HasSubstr("tmp_load"));
    EXPECT_THAT(fromFile.out, EndsWith("options: ignore-case, only=tables\n"));
    const CliRun overridden = Cli({"compare", first, second, "--options", options, "--only", "views"});
    EXPECT_EQ(overridden.status, cli::kNoDifferences) << overridden.out;
    EXPECT_THAT(overridden.out, EndsWith("options: ignore-case, only=views\n"));
}

// The nearest .tablor.toml above the working folder is read, unless another file is named or
// --no-options-file is given.
TEST_F(CliOptions, TheProjectOptionsFileIsReadUnlessTurnedOff) {
    folder.Write(".tablor.toml", "only = \"views\"\n");
    std::filesystem::create_directories(folder.File("repo/ci"));
    const std::string named = folder.Write("repo/named.toml", "only = \"tables\"\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "options: only=views\n"},
        {{"--options", named}, "options: only=tables\n"},
        {{"--no-options-file"}, "found between the two objects!\n"},
    };
    cli::CliEnvironment environment;
    environment.workingFolder = folder.File("repo/ci");
    for (const auto& [flags, lastLine] : cases) {
        std::vector<std::string> args = {"compare", first, second};
        args.insert(args.end(), flags.begin(), flags.end());
        std::ostringstream out, err;
        cli::RunCli(args, out, err, environment);
        EXPECT_THAT(out.str(), EndsWith(lastLine)) << err.str();
    }
}

// A mistake in the options is trouble, told before any side is read.
TEST_F(CliOptions, AMistakeInTheOptionsEndsTheCommandBeforeReading) {
    const std::string badKey = folder.Write("bad.toml", "ignore-case = true\nignore-cases = true\n");
    std::string patterns;
    for (int i = 0; i <= 10000; ++i) patterns += "\"t*\",";
    const std::string tooMany = folder.Write("many.toml", "exclude = [" + patterns + "]\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--exclude", std::string(1001, 'x')},
         "--exclude pattern \"" + std::string(20, 'x') +
             "...\" is too long: 1001 characters, more than the limit of 1000"},
        {{"--options", tooMany},
         "many.toml line 1: too many exclude patterns: 10001, more than the limit of 10000 in one list"},
        {{"--only", "tables,colums"}, "Unknown kind \"colums\""},
        {{"--options", badKey}, "bad.toml line 2: unknown key \"ignore-cases\""},
        {{"--options", folder.File("none.toml")}, "none.toml"},
        {{"--include"}, "--include"},
    };
    for (const auto& [flags, message] : cases) {
        std::vector<std::string> args = {"compare", folder.File("gone1.snp"), folder.File("gone2.snp")};
        args.insert(args.end(), flags.begin(), flags.end());
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, cli::kTrouble);
        EXPECT_THAT(run.err, HasSubstr(message));
        EXPECT_THAT(run.err, Not(HasSubstr("gone1")));
    }
}

}  // namespace
}  // namespace tablor::testing

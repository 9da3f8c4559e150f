// The options file a team keeps beside its CI: what it sets, and the line of what is wrong.
#include <gtest/gtest.h>

#include "TempFolder.hpp"
#include "cli/CliArguments.hpp"
#include "cli/OptionsFile.hpp"

namespace tablor::testing {
namespace {

TEST(OptionsFile, ReadsEveryOption) {
    TempFolder folder;
    const cli::OptionChoices choices =
        cli::ReadOptionsFile(folder.Write("o.toml",
                                          "# the team's\n"
                                          "column-changes = true\n"
                                          "ignore-case = false\n"
                                          "ignore-generated-names = true\n"
                                          "include = [\"sales_*\", \"Orders\"]\n"
                                          "exclude = []\n"
                                          "only = [\"tables\", \"changes\"]\n"));
    EXPECT_EQ(choices.columnChanges, true);
    EXPECT_EQ(choices.ignoreCase, false);
    EXPECT_EQ(choices.ignoreGeneratedNames, true);
    EXPECT_EQ(choices.include, (std::vector<std::string>{"sales_*", "Orders"}));
    EXPECT_EQ(choices.exclude, std::vector<std::string>{});
    EXPECT_EQ(choices.only, "tables,changes");

    // Flags win; what they leave unset comes from the file.
    cli::OptionChoices flags;
    flags.ignoreCase = true;
    flags.only = "views";
    const cli::OptionChoices merged = flags.Over(choices);
    EXPECT_EQ(merged.ignoreCase, true);
    EXPECT_EQ(merged.only, "views");
    EXPECT_EQ(merged.columnChanges, true);
}

TEST(OptionsFile, AMistakeNamesItsLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"column-changes = true\nignore-cas = true\n", "line 2: unknown key \"ignore-cas\""},
        {"\n\nignore-case = \"yes\"\n", "line 3: ignore-case takes true or false"},
        {"include = \"a*\"\n", "line 1: include takes a list of texts"},
        {"exclude = [\"a\", 3]\n", "line 1: exclude takes texts only"},
        {"only = [\"tables\"\ninclude = 1\n", "line "},
        {"column-changes = tru\n", "line 1: "},
        {"\nonly = \"tables,colums\"\n", "line 2: only: Unknown kind \"colums\""},
    };
    TempFolder folder;
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        const std::string path = folder.Write("bad.toml", text);
        try {
            cli::ReadOptionsFile(path);
            ADD_FAILURE() << "accepted";
        } catch (const cli::UsageError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(path + " " + expected, 0), 0U) << error.what();
        }
    }
    EXPECT_THROW(cli::ReadOptionsFile(folder.File("missing.toml")), cli::UsageError);
}

}  // namespace
}  // namespace tablor::testing

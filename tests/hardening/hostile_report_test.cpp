// Reports from huge templates, and onto targets that cannot take them.
#include <gtest/gtest.h>

#include <sstream>

#include "TempFolder.hpp"
#include "cli/CliApp.hpp"
#include "report/HtmlReport.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"

using namespace tablor;
using tablor::testing::TempFolder;

TEST(HostileReport, AFiftyMegabyteTemplateRendersWhole) {
    const std::string line = "<p>[object1name] filler text of the template</p>\r\n";
    const std::string filled = "<p>a filler text of the template</p>\r\n";
    const std::string closing =
        "<tr>\r\n<td colspan=\"5\">No differences were found between a and b.</td>\r\n</tr>\r\n"
        "<tr>\r\n</table>\r\n</div>\r\n</body>\r\n</html>\r\n\r\n";
    std::string templateText;
    templateText.reserve(51u << 20);
    std::size_t lines = 0;
    for (; templateText.size() < (50u << 20); ++lines) templateText += line;
    const std::string page = RenderHtmlReport(templateText, "a", "b", {2026, 1, 2}, {});
    EXPECT_EQ(page.size(), lines * filled.size() + closing.size());
    EXPECT_EQ(page.compare(page.size() - closing.size() - filled.size(), filled.size(), filled), 0);
    EXPECT_TRUE(page.ends_with(closing));
}

TEST(HostileReport, FullDiskAndMissingFolderAreReported) {
    TempFolder folder;
    const std::string templatePath = folder.Write("t.html", "<table>\r\n");
    const std::string examples = TABLOR_EXAMPLES_DIR;
    const std::pair<std::string, long> cases[] = {
        {"/dev/full", errors::DiskFull},
        {folder.File("missing/folder/r.html"), errors::PathNotFound},
    };
    for (const auto& [target, number] : cases) {
        std::ostringstream out, err;
        const int status = cli::RunCli({"compare", examples + "/shop-v1.snp", examples + "/shop-v2.snp",
                                        "--html", target, "--template", templatePath},
                                       out, err);
        EXPECT_EQ(status, cli::kTrouble) << target;
        EXPECT_NE(err.str().find(target), std::string::npos) << err.str();
        EXPECT_TRUE(err.str().ends_with(") " + std::to_string(number) + "\n")) << err.str();
        try {
            WriteFileAtomically(target, "page");
            ADD_FAILURE() << target;
        } catch (const TablorError& error) {
            EXPECT_EQ(error.Number(), number) << error.Description();
        }
    }
}

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "PlainScanReference.hpp"
#include "SchemaGenerator.hpp"
#include "TempFolder.hpp"
#include "cli/CliApp.hpp"
#include "cli/DifferenceOutput.hpp"
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

    for (auto args : std::vector<std::vector<std::string>>{{"compare", "one.snp"},
                                                           {"compare", "a", "b", "--format", "xml"},
                                                           {"compare", "a", "b", "--bogus"},
                                                           {"frobnicate"},
                                                           {}}) {
        const auto usage = RunTablorCli(args);
        EXPECT_EQ(usage.status, cli::kTrouble);
        EXPECT_FALSE(usage.err.empty());
    }
    const auto help = RunTablorCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("compare SIDE1 SIDE2"), std::string::npos);
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
    EXPECT_EQ(cli::JsonString("a\"b\\c\nd\x01é"), "\"a\\\"b\\\\c\\nd\\u0001é\"");
    coDifferences differences;
    differences.Add("T", 0, "b", "Table was not found on b");
    EXPECT_EQ(cli::FormatDifferencesJson("a", "b", differences),
              "{\"object1\": \"a\", \"object2\": \"b\", \"count\": 1, \"differences\": [\n"
              "  {\"ObjectName\": \"T\", \"ObjectType\": 0, \"Source\": \"b\", \"FieldTable\": \"\", "
              "\"FieldType\": "
              "\"\", \"FieldSize\": \"\", \"Message\": \"Table was not found on b\"}\n]}\n");
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

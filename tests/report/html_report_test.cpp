#include <gtest/gtest.h>

#include "compare/cDifference.hpp"
#include "report/HtmlReport.hpp"

using namespace tablor;

namespace {

DifferenceRow Row(std::string a, std::string b, std::string c, std::string d, std::string e) {
    return DifferenceRow{{std::move(a), std::move(b), std::move(c), std::move(d), std::move(e)}};
}

const ReportDate kMarch7{2026, 3, 7};

}  // namespace

TEST(HtmlReport, LaysOutTemplateRowsAndClosingLines) {
    const std::string page =
        RenderHtmlReport("<html>\r\n<body><table>", "srv.db", "old.snp", kMarch7,
                         {Row("T", "Table", "old.snp", "", "Table was not found on old.snp"),
                          Row("c", "Field", "srv.db", "T", "")});
    EXPECT_EQ(
        page,
        "<html>\r\n<body><table>\r\n"
        "<tr>\r\n<td>T&nbsp;</td>\r\n<td>Table&nbsp;</td>\r\n<td>old.snp&nbsp;</td>\r\n<td>&nbsp;</td>\r\n"
        "<td>Table was not found on old.snp&nbsp;</td>\r\n</tr>\r\n"
        "<tr>\r\n<td>c&nbsp;</td>\r\n<td>Field&nbsp;</td>\r\n<td>srv.db&nbsp;</td>\r\n<td>T&nbsp;</td>\r\n"
        "<td>&nbsp;</td>\r\n</tr>\r\n"
        "<tr>\r\n</table>\r\n</div>\r\n</body>\r\n</html>\r\n\r\n");
}

TEST(HtmlReport, EmptyTemplateStartsWithTheFirstRowAndLoneLineFeedsStayInTheirLine) {
    EXPECT_EQ(
        RenderHtmlReport("", "a", "b", kMarch7, {Row("T", "", "", "", "")}).rfind("<tr>\r\n<td>T&nbsp;", 0),
        0u);
    EXPECT_EQ(RenderHtmlReport("one\ntwo\rthree\r\n", "a", "b", kMarch7, {}).substr(0, 20),
              "one\ntwo\r\nthree\r\n<tr>");
}

TEST(HtmlReport, FillsEveryPlaceholderInOrderAndOnlyInExactCase) {
    const std::string page =
        RenderHtmlReport("[object1name]|[object1name]|[Object1Name]|[object2name]|[currentdate]", "left",
                         "right", kMarch7, {});
    EXPECT_EQ(page.substr(0, page.find("\r\n")), "left|left|[Object1Name]|right|03/07/2026");
    // A value that spells a placeholder (a snapshot named so) stays as it is.
    for (const char* value : {"[object2name]", "[currentdate]", "[object1name]"}) {
        const std::string filled = RenderHtmlReport("[object1name]|[object2name]", value, "x", kMarch7, {});
        EXPECT_EQ(filled.substr(0, filled.find("\r\n")), std::string(value) + "|x");
    }
    // Rows are appended after the replacements, so their text is never replaced.
    const std::string rows = RenderHtmlReport("", "a", "b", kMarch7, {Row("[object1name]", "", "", "", "")});
    EXPECT_NE(rows.find("<td>[object1name]&nbsp;</td>"), std::string::npos);
}

TEST(HtmlReport, NoRowsSayPlainlyThatTheSidesAgree) {
    EXPECT_EQ(
        RenderHtmlReport("<table>", "a<b", "c>d.snp", kMarch7, {}),
        "<table>\r\n"
        "<tr>\r\n<td colspan=\"5\">No differences were found between a&lt;b and c&gt;d.snp.</td>\r\n</tr>\r\n"
        "<tr>\r\n</table>\r\n</div>\r\n</body>\r\n</html>\r\n\r\n");
}

// A side read only in part, then the options, head the rows, so that neither passes unseen.
TEST(HtmlReport, ANoteOnASideReadInPartComesFirst) {
    const std::string page = RenderHtmlReport(
        "", "a", "b", kMarch7, 1, [](std::size_t) { return Row("T", "", "", "", ""); },
        "options: ignore-case", "b<1> was read only in part");
    EXPECT_EQ(
        page.rfind("<tr>\r\n<td colspan=\"5\" class=\"read-in-part\">b&lt;1&gt; was read only in "
                   "part</td>\r\n</tr>\r\n"
                   "<tr>\r\n<td colspan=\"5\" class=\"options\">Compared with options: ignore-case</td>",
                   0),
        0u);
}

TEST(HtmlReport, EscapesNamesSoTheyShowAsText) {
    const std::string page = RenderHtmlReport(
        "<title>[object1name] / [object2name]</title><h1>[object1name]</h1>", "<script>alert(1)</script>",
        "a&b</title>", kMarch7, {Row("x<y", "View", "\"q\"", "", "a > b & c")});
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_NE(page.find("<title>&lt;script&gt;alert(1)&lt;/script&gt; / a&amp;b&lt;/title&gt;</title>"),
              std::string::npos);
    EXPECT_NE(page.find("<h1>&lt;script&gt;alert(1)&lt;/script&gt;</h1>"), std::string::npos);
    EXPECT_NE(page.find("<td>x&lt;y&nbsp;</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>&quot;q&quot;&nbsp;</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>a &gt; b &amp; c&nbsp;</td>"), std::string::npos);
}

TEST(HtmlReport, EscapesApostrophesSoNamesCannotLeaveAnAttribute) {
    const std::string page = RenderHtmlReport("<a title='[object1name]'>", "x' onmouseover='alert(1)", "b",
                                              kMarch7, {Row("it's", "", "", "", "")});
    EXPECT_EQ(page.substr(0, page.find("\r\n")), "<a title='x&#39; onmouseover=&#39;alert(1)'>");
    EXPECT_NE(page.find("<td>it&#39;s&nbsp;</td>"), std::string::npos);
}

TEST(HtmlReport, DateIsMonthDayYearWithTwoDigits) {
    EXPECT_EQ(FormatReportDate({2026, 3, 7}), "03/07/2026");
    EXPECT_EQ(FormatReportDate({1999, 12, 31}, '-'), "12-31-1999");
    const ReportDate today = ReportDate::Today();
    EXPECT_GE(today.year, 2024);
    EXPECT_TRUE(today.month >= 1 && today.month <= 12);
}

TEST(DifferenceRowText, FieldsGainTypeAndSizeAndKindsHaveTheirWords) {
    cDifference field("Name", 1, "sales.snp",
                      "The field Name was not found on the table T on the object sales.snp");
    field.SetFieldDetails("T", "varchar", "50");
    EXPECT_EQ(
        DifferenceRow::From(field).cells,
        (std::array<std::string, 5>{"Name", "Field", "sales.snp", "T",
                                    "The field Name was not found on the table T on the object sales.snp, "
                                    "TYPE: varchar SIZE: 50"}));
    field.SetFieldDetails("T", "varchar", "");
    EXPECT_TRUE(DifferenceRow::From(field).cells[4].ends_with(" SIZE: "));

    const std::array<std::string_view, 7> words = {"Table",    "Field",      "View",         "Procedure",
                                                   "Function", "Constraint", "Field changed"};
    for (int code = 0; code < 7; ++code) EXPECT_EQ(KindWord(code), words[static_cast<std::size_t>(code)]);
    EXPECT_EQ(KindWord(ObjectType::Changed(ObjectType::View)), "View changed");
    for (const int unknown : {-1, 11, 99}) EXPECT_EQ(KindWord(unknown), "");
}

TEST(DifferenceRowText, ChangedColumnShowsItsOwnMessageInTheReport) {
    const cDifference change =
        cDifference::ColumnChanged("Orders", "Total", "decimal", "10,2", "money", "",
                                   "Field Orders.Total changed: decimal (10,2) on v1.snp, money on v2.snp");
    const DifferenceRow row = DifferenceRow::From(change);
    EXPECT_EQ(row.cells, (std::array<std::string, 5>{"Total", "Field changed", "", "Orders",
                                                     "Field Orders.Total changed: decimal (10,2) on v1.snp, "
                                                     "money on v2.snp"}));
    const std::string page = RenderHtmlReport("", "v1.snp", "v2.snp", kMarch7, {row});
    EXPECT_NE(page.find("Field changed"), std::string::npos);
    EXPECT_NE(page.find("decimal (10,2) on v1.snp, money on v2.snp"), std::string::npos);
}

TEST(HtmlReport, ABodyShowsBothTextsWithItsChangedLinesMarkedAndEscaped) {
    DifferenceRow row = Row("v", "View changed", "", "", "View v changed: definition differs from line 2");
    row.hasValues = true;
    row.value1 = "select a\nfrom <t1>\nwhere x";
    row.value2 = "select a\nfrom \"t2\" & u\nwhere x";
    const std::string page = RenderHtmlReport("", "a", "b", kMarch7, {row});
    EXPECT_NE(page.find("line 2<pre class=\"diff\"><span>  select a\r\n</span>"
                        "<del>- from &lt;t1&gt;\r\n</del><ins>+ from &quot;t2&quot; &amp; u\r\n</ins>"
                        "<span>  where x\r\n</span></pre>&nbsp;</td>"),
              std::string::npos)
        << page;
    // A short value is told in the message, which names both already.
    row.value1 = "YES";
    row.value2 = "NO";
    EXPECT_EQ(RenderHtmlReport("", "a", "b", kMarch7, {row}).find("<pre"), std::string::npos);
}

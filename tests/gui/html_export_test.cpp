// Saving the differences list as an HTML page.
#include <QListWidget>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "GuiTestSupport.hpp"
#include "report/HtmlReport.hpp"
#include "workbench/DifferencesModel.hpp"

namespace tablor::testing {
namespace {

class HtmlExport : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
        CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
        out_ = std::make_unique<TempFolder>();
    }
    void WriteTemplate(const std::string& text) {
        std::ofstream(Home() + "/template.html", std::ios::binary) << text;
    }
    void Compared() {
        AddSnapShotEntry("shop-v1.snp");
        AddSnapShotEntry("shop-v2.snp");
        Click("btnCompare");
        ASSERT_GT(Differences().rowCount(), 0);
        prompt.messages.clear();
    }
    std::string Target(const std::string& name = "report.html") const { return out_->File(name); }
    void Export() { Click("btnSave"); }

    std::unique_ptr<TempFolder> out_;
};

// Before any comparison there is nothing to save; a comparison that found nothing is saved as
// the report of two sides that are alike.
TEST_F(HtmlExport, WithoutAComparisonThereIsNothingToSave) {
    WriteTemplate("<html>");
    Export();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text,
              "There are no items in the list of differences, please make a comparison first.");
    EXPECT_EQ(prompt.messages[0].title, "Nothing to save");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Information);
    EXPECT_EQ(prompt.messages[0].buttons, PromptButtons::Ok);
    EXPECT_TRUE(saveDialog.requests.empty());

    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v1.snp");
    Click("btnCompare");
    ASSERT_EQ(Differences().rowCount(), 0);
    saveDialog.Choose(QString::fromStdString(Target()));
    Export();
    EXPECT_NE(
        TempFolder::Read(Target()).find("No differences were found between shop-v1.snp and shop-v1.snp."),
        std::string::npos);
}

// A side read only in part is told before anything else, as the window told it.
TEST_F(HtmlExport, ASideReadInPartIsToldInTheFirstRow) {
    WriteTemplate("<table>");
    WriteSnapShot("bad.snp", SnapShotText({"S*D*U*", "", "", "", ":T1", "Id"}));
    Window().RefreshSnapShotList();
    AddSnapShotEntry("bad.snp");
    AddSnapShotEntry("shop-v1.snp");
    prompt.Answer(PromptAnswer::Ignore);
    Click("btnCompare");
    saveDialog.Choose(QString::fromStdString(Target()));
    Export();
    EXPECT_EQ(TempFolder::Read(Target()).rfind(
                  "<table>\r\n<tr>\r\n<td colspan=\"5\" class=\"read-in-part\">bad.snp (Subscript out of "
                  "range 9) was read only in part",
                  0),
              0u);
}

TEST_F(HtmlExport, AMissingTemplateIsAnErrorBeforeAnyDialog) {
    Compared();
    Export();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(
        prompt.messages[0].text,
        "The template file: template.html was not found on the application directory! please re-install");
    EXPECT_EQ(prompt.messages[0].title, "Error");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_TRUE(saveDialog.requests.empty());
}

TEST_F(HtmlExport, WritesTheDisplayedRowsThroughTheTemplateAndSaysWhere) {
    WriteTemplate("<html><body>[object1name] vs [object2name] on [currentdate]\r\n<div><table>");
    Compared();
    Differences().SortBy(0);
    saveDialog.Choose(QString::fromStdString(Target()));
    Export();

    ASSERT_EQ(saveDialog.requests.size(), 1u);
    EXPECT_EQ(saveDialog.requests[0].title, "Save Comparison List");
    EXPECT_EQ(saveDialog.requests[0].filter, "HTML Document (*.html)");
    EXPECT_EQ(saveDialog.requests[0].initialName, "SQL Comparison.html");
    EXPECT_EQ(prompt.Texts(), std::vector<std::string>{"The report was saved as " + Target() + "."});
    std::vector<DifferenceRow> shown;
    for (int row = 0; row < Differences().rowCount(); ++row)
        shown.push_back(Differences().At(static_cast<std::size_t>(row)));
    const std::string expected =
        RenderHtmlReport("<html><body>[object1name] vs [object2name] on [currentdate]\r\n<div><table>",
                         "shop-v1.snp", "shop-v2.snp", ReportDate::Today(), shown);
    const std::string written = TempFolder::Read(Target());
    EXPECT_EQ(written, expected);
    EXPECT_EQ(
        written.rfind(
            "<html><body>shop-v1.snp vs shop-v2.snp on " + FormatReportDate(ReportDate::Today()) + "\r\n", 0),
        0u);
    EXPECT_EQ(written.substr(written.size() - 11), "</html>\r\n\r\n");
    // The rows come out in the order shown.
    const auto first = Differences().At(0).cells[4];
    EXPECT_NE(written.find("<td>" + EscapeHtml(first) + "&nbsp;</td>"), std::string::npos);
}

TEST_F(HtmlExport, CancelAnEmptyNameOrNoToOverwritingWritesNothing) {
    WriteTemplate("<table>");
    Compared();
    saveDialog.Choose(std::nullopt).Choose(QString());
    Export();
    Export();
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_TRUE(std::filesystem::is_empty(out_->Path()));

    out_->Write("report.html", "keep me");
    saveDialog.Choose(QString::fromStdString(Target())).Choose(QString::fromStdString(Target()));
    prompt.Answer(PromptAnswer::No).Answer(PromptAnswer::Yes);
    Export();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text, "Do you want to overwrite the existing file?");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Question);
    EXPECT_EQ(prompt.messages[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompt.messages[0].title, "");
    EXPECT_EQ(TempFolder::Read(Target()), "keep me");
    Export();
    EXPECT_EQ(prompt.messages.size(), 3u);
    EXPECT_EQ(TempFolder::Read(Target()).substr(0, 9), "<table>\r\n");
}

TEST_F(HtmlExport, AWriteFailureOffersAbortRetryIgnore) {
    WriteTemplate("<table>");
    Compared();
    const std::string target = out_->File("no-such-folder/report.html");
    saveDialog.Choose(QString::fromStdString(target)).Choose(QString::fromStdString(target));
    prompt.Answer(PromptAnswer::Retry).Answer(PromptAnswer::Abort).Answer(PromptAnswer::Ignore);
    Export();
    ASSERT_EQ(prompt.messages.size(), 2u);
    for (const auto& message : prompt.messages) {
        EXPECT_EQ(message.buttons, PromptButtons::AbortRetryIgnore);
        EXPECT_EQ(message.icon, PromptIcon::Warning);
        EXPECT_EQ(message.title, "");
        EXPECT_EQ(message.text.substr(message.text.size() - 3), " 76");
    }
    Export();
    EXPECT_EQ(prompt.messages.size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
}  // namespace tablor::testing

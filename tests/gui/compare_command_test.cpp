// The compare command: two entries in, one row per difference out, with the busy state
// always left, whatever the sources do.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTextDocument>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>
#include <set>

#include "GuiTestSupport.hpp"
#include "compare/cCompareEngine.hpp"
#include "report/DifferenceRow.hpp"
#include "sources/cSnapShot.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/OptionsDialog.hpp"

namespace tablor::testing {
namespace {

using gui::Main;

class CompareCommand : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
        CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
        connector->databases["Sales"]
            .Table("Orders", {{"Id", "int"}, {"Note", "varchar"}})
            .Table("Customers", {{"Id", "int"}})
            .View("vOrders")
            .Procedure("usp_Place")
            .Function("fn_Total")
            .Constraint("PK_Orders");
        connector->databases["SalesCopy"] = connector->databases["Sales"];
        connector->databases["Archive"].Table("Orders", {{"Id", "int"}}).Table("History").View("vOld");
    }
    void Compare() { Click("btnCompare"); }
    void ExpectIdle() {
        EXPECT_FALSE(Window().IsBusy());
        EXPECT_TRUE(Find<QFrame>("WorkingPanel").isHidden());
        EXPECT_TRUE(Find<QToolButton>("btnCompare").isEnabled());
        EXPECT_TRUE(Find<QLabel>("lblStatus").text().isEmpty());
        EXPECT_TRUE(Find<QTreeView>("lvDifferences").isVisibleTo(&Window()));
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
    // What the engine itself finds for two snapshot files, as row texts.
    std::vector<std::string> Expected(const std::string& a, const std::string& b,
                                      const CompareOptions& options = {}) {
        cSnapShot first, second;
        first.SetFileName(SnapShotFile(a));
        second.SetFileName(SnapShotFile(b));
        first.Fill(prompt);
        second.Fill(prompt);
        cCompareEngine engine;
        std::vector<std::string> rows;
        for (const auto& d : engine.Compare(*first.MetaData(), a, *second.MetaData(), b, options)) {
            const auto row = DifferenceRow::From(*d);
            rows.push_back(row.cells[0] + "|" + row.cells[1] + "|" + row.cells[2] + "|" + row.cells[3] + "|" +
                           row.cells[4]);
        }
        return rows;
    }
};

TEST_F(CompareCommand, NeedsExactlyTwoEntries) {
    for (int entries = 0; entries < 2; ++entries) {
        Compare();
        ASSERT_EQ(prompt.messages.size(), static_cast<std::size_t>(entries + 1));
        EXPECT_EQ(prompt.messages.back().text, "Please add two objects to do a comparison!");
        EXPECT_EQ(prompt.messages.back().icon, PromptIcon::Warning);
        EXPECT_EQ(prompt.messages.back().buttons, PromptButtons::Ok);
        AddSnapShotEntry("shop-v1.snp");
    }
    EXPECT_EQ(Differences().rowCount(), 0);
    ExpectIdle();
}

TEST_F(CompareCommand, TwoSnapshotsListEveryDifferenceAndTheCount) {
    ShownWindow();
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Compare();
    // The keys go to the result, so that Space or an arrow acts on the list.
    EXPECT_EQ(QApplication::focusWidget(), &Find<QTreeView>("lvDifferences"));
    const auto expected = Expected("shop-v1.snp", "shop-v2.snp");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(DifferenceRows(), expected);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text,
              std::to_string(expected.size()) + " difference(s) found between the two objects!");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Information);
    EXPECT_EQ(prompt.messages[0].title, "");
    EXPECT_EQ(Window().ComparedNames().first, "shop-v1.snp");
    EXPECT_EQ(Window().ComparedNames().second, "shop-v2.snp");
    // The two files are read one after the other: the workspace keeps the last.
    EXPECT_EQ(Window().Workspace().SnapShots->Item(1)->FileName(), SnapShotFile("shop-v2.snp"));
    EXPECT_EQ(Window().Workspace().Connections->Count(), 0);
    ExpectIdle();

    // Swapped entries swap the halves; one object twice differs in nothing.
    Click("btnClear");
    AddSnapShotEntry("shop-v2.snp");
    AddSnapShotEntry("shop-v1.snp");
    Compare();
    EXPECT_EQ(DifferenceRows(), Expected("shop-v2.snp", "shop-v1.snp"));
    Click("btnClear");
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v1.snp");
    Compare();
    EXPECT_EQ(prompt.messages.back().text, "0 difference(s) found between the two objects!");
    EXPECT_EQ(Differences().rowCount(), 0);
}

// The options stored by File > Options... are read at start and the comparison is made with
// them; with every option off the list is the one it always was. The line over the list and the
// message name the options in force, and a pattern that matched nothing.
TEST_F(CompareCommand, TheStoredOptionsShapeTheList) {
    CompareOptions columnChanges;
    columnChanges.columnChanges = true;
    CompareOptions tablesOnly;
    tablesOnly.only = CompareKind::Tables;
    CompareOptions mistyped;
    mistyped.include = {"Ordrs*", "Orders"};
    mistyped.exclude = {"*.Nte", "Orders.Status"};
    const struct {
        const char* name;
        CompareOptions options;
        std::set<std::string> kinds;
        const char* unmatched;
    } cases[] = {
        {"all off", {}, {"Table", "Field", "View", "Procedure", "Function", "Constraint"}, nullptr},
        {"column changes",
         columnChanges,
         {"Table", "Field", "View", "Procedure", "Function", "Constraint", "Field changed"},
         nullptr},
        {"tables only", tablesOnly, {"Table"}, nullptr},
        {"mistyped patterns", mistyped, {"Field"}, "the include pattern Ordrs*, the exclude pattern *.Nte."},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        ASSERT_TRUE(gui::OptionsMemory::Save(each.options).isEmpty());
        Restart();
        prompt.messages.clear();
        AddSnapShotEntry("shop-v1.snp");
        AddSnapShotEntry("shop-v2.snp");
        Compare();
        EXPECT_EQ(DifferenceRows(), Expected("shop-v1.snp", "shop-v2.snp", each.options));
        std::set<std::string> kinds;
        for (int row = 0; row < Differences().rowCount(); ++row) kinds.insert(Differences().At(row).cells[1]);
        EXPECT_EQ(kinds, each.kinds);
        const std::string line =
            (Find<QLabel>("lblResult").toolTip() + " " + Find<QLabel>("lblWarnings").toolTip()).toStdString();
        ASSERT_EQ(prompt.messages.size(), 1u);
        for (const std::string& shown : {line, prompt.messages[0].text}) {
            EXPECT_EQ(shown.find("Compared with " + each.options.Describe()) != std::string::npos,
                      !each.options.IsDefault())
                << shown;
            EXPECT_EQ(shown.find("No name on either side matches") != std::string::npos,
                      each.unmatched != nullptr)
                << shown;
            if (each.unmatched != nullptr) {
                EXPECT_NE(shown.find(each.unmatched), std::string::npos) << shown;
            }
        }
        EXPECT_EQ(prompt.messages[0].icon, each.unmatched ? PromptIcon::Warning : PromptIcon::Information);
    }
}

TEST_F(CompareCommand, LiveAgainstLiveReadsBothThroughTheWorkspace) {
    AddConnectionEntry("SRV01", "Sales", "reader", "pw-XYZZY", false);
    AddConnectionEntry("SRV02", "Archive", "", "", true);
    // The entry keeps the integrated-security value it was added with.
    Find<QCheckBox>("chkIntegrated").setChecked(false);
    QString statusWhileReading;
    bool compareEnabledWhileReading = true;
    connector->onRow = [&] {
        statusWhileReading = Find<QLabel>("lblStatus").text();
        compareEnabledWhileReading = Find<QToolButton>("btnCompare").isEnabled();
    };
    Compare();
    EXPECT_EQ(statusWhileReading, "Comparing SRV01.Sales to SRV02.Archive");
    EXPECT_FALSE(compareEnabledWhileReading);
    // Both sides open at once, in either order.
    ASSERT_EQ(connector->opened.size(), 2u);
    const bool inOrder = connector->opened[0].serverName == "SRV01";
    const ConnectionSettings& first = connector->opened[inOrder ? 0 : 1];
    EXPECT_EQ(first.serverName, "SRV01");
    EXPECT_EQ(first.userName, "reader");
    EXPECT_EQ(first.password, "pw-XYZZY");
    EXPECT_FALSE(first.integratedSecurity);
    EXPECT_TRUE(connector->opened[inOrder ? 1 : 0].integratedSecurity);
    EXPECT_EQ(Window().Workspace().Connections->Count(), 2);

    const auto rows = DifferenceRows();
    const auto has = [&](const std::string& row) {
        return std::find(rows.begin(), rows.end(), row) != rows.end();
    };
    EXPECT_TRUE(has("Customers|Table|SRV02.Archive||Table was not found on SRV02.Archive")) << rows.size();
    EXPECT_TRUE(has("History|Table|SRV01.Sales||Table was not found on SRV01.Sales"));
    EXPECT_TRUE(
        has("Note|Field|SRV02.Archive|Orders|The field Note was not found on the table Orders on the object "
            "SRV02.Archive, TYPE: varchar SIZE: 50"));
    EXPECT_EQ(prompt.messages.back().text,
              std::to_string(rows.size()) + " difference(s) found between the two objects!");
    for (const auto& message : prompt.messages) EXPECT_EQ(message.text.find("XYZZY"), std::string::npos);
    ExpectIdle();

    // Live against a snapshot.
    Click("btnClear");
    AddConnectionEntry("SRV01", "Sales");
    AddSnapShotEntry("shop-v1.snp");
    Compare();
    EXPECT_EQ(Window().Workspace().Connections->Count(), 1);
    EXPECT_EQ(Window().Workspace().SnapShots->Count(), 1);
    EXPECT_EQ(Window().ComparedNames().second, "shop-v1.snp");
}

// Both sides are read at once; the one that fails is reported once and ends the command.
TEST_F(CompareCommand, AFailingSourceIsShownOnceAndTheLastRowsStay) {
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Compare();
    const auto before = DifferenceRows();
    prompt.messages.clear();
    Click("btnClear");
    AddConnectionEntry("SRV01", "Nowhere");
    AddConnectionEntry("SRV02", "Sales");
    Compare();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text.rfind("Error opening the connection! Details:", 0), 0u);
    // The driver's own words follow the connection text.
    EXPECT_TRUE(prompt.messages[0].text.ends_with("\nLogin failed for user 'sa'."))
        << prompt.messages[0].text;
    EXPECT_EQ(prompt.messages[0].title, "Error");
    // The last comparison's rows stay with the names they are reported under.
    EXPECT_EQ(DifferenceRows(), before);
    EXPECT_EQ(Window().ComparedNames().first, "shop-v1.snp");
    EXPECT_EQ(Window().ComparedNames().second, "shop-v2.snp");
    ExpectIdle();
}

TEST_F(CompareCommand, AFailingSecondSourceShowsItsRetrievalError) {
    AddSnapShotEntry("shop-v1.snp");
    AddConnectionEntry("SRV01", "Sales");
    connector->failQueries = true;
    Compare();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].title, "Error retriving connection data");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_EQ(Differences().rowCount(), 0);
    ExpectIdle();
}

TEST_F(CompareCommand, AMissingSnapshotFileIsTheLoadersToReport) {
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    std::filesystem::remove(SnapShotFile("shop-v2.snp"));
    prompt.Answer(PromptAnswer::Abort);
    Compare();
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[0].buttons, PromptButtons::AbortRetryIgnore);
    EXPECT_NE(prompt.messages[0].text.find(" 53"), std::string::npos);
    // The comparison goes on with what was loaded, and says that it did.
    EXPECT_GT(Differences().rowCount(), 0);
    EXPECT_EQ(prompt.messages[1].icon, PromptIcon::Warning);
    EXPECT_NE(prompt.messages[1].text.find("shop-v2.snp (File not found ("), std::string::npos);
    EXPECT_NE(prompt.messages[1].text.find(" 53) was read only in part"), std::string::npos);
    ExpectIdle();
}

// The read runs on a thread of its own; the questions it raises are asked on the window's, with
// the busy panel out of the way. A side read only in part is told in the result.
TEST_F(CompareCommand, APromptRaisedByTheReadIsAskedOnTheWindowsThread) {
    WriteSnapShot("bad.snp", SnapShotText({"S*D*U*", "", "", "", ":T1", "Id"}));
    Window().RefreshSnapShotList();
    AddSnapShotEntry("bad.snp");
    AddSnapShotEntry("shop-v1.snp");
    for (const PromptAnswer answer : {PromptAnswer::Abort, PromptAnswer::Ignore}) {
        std::vector<QThread*> askedOn;
        bool panelInSight = false;
        prompt.onAsk = [&] {
            askedOn.push_back(QThread::currentThread());
            panelInSight = panelInSight || !Find<QFrame>("WorkingPanel").isHidden();
        };
        prompt.messages.clear();
        prompt.Answer(answer);
        Compare();
        ASSERT_EQ(prompt.messages.size(), 2u);
        EXPECT_EQ(prompt.messages[0].buttons, PromptButtons::AbortRetryIgnore);
        EXPECT_NE(prompt.messages[0].text.find("Reading " + SnapShotFile("bad.snp") + ", line 6."),
                  std::string::npos);
        EXPECT_NE(prompt.messages[1].text.find("difference(s) found"), std::string::npos);
        for (const std::string& result :
             {prompt.messages[1].text, Find<QLabel>("lblWarnings").toolTip().toStdString()})
            EXPECT_NE(result.find("bad.snp (Subscript out of range 9) was read only in part"),
                      std::string::npos)
                << result;
        EXPECT_EQ(askedOn, std::vector<QThread*>(2, qApp->thread()));
        EXPECT_FALSE(panelInSight);
        ExpectIdle();
    }
}

// Cancel stops the comparison however late it comes: nothing it made is listed or told, and the
// busy panel goes at once.
TEST_F(CompareCommand, ALateCancelListsNothing) {
    ShownWindow();
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Compare();
    const auto before = DifferenceRows();
    Click("btnClear");
    AddSnapShotEntry("shop-v2.snp");
    AddSnapShotEntry("shop-v1.snp");
    prompt.messages.clear();
    bool panelGone = false;
    prompt.onProgress = [&] {
        // Both sides read: what is left is the comparison itself.
        const std::string& line = prompt.lastSection;
        if (line.find(" tables;") == std::string::npos || !line.ends_with(" tables") || panelGone) return;
        QTest::keyClick(&Window(), Qt::Key_Escape);
        panelGone = Find<QFrame>("WorkingPanel").isHidden();
    };
    Compare();
    EXPECT_TRUE(panelGone);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(DifferenceRows(), before);
    EXPECT_EQ(Window().ComparedNames().first, "shop-v1.snp");
    ExpectIdle();
}

TEST_F(CompareCommand, ASecondRunReplacesTheRowsInTheChosenOrder) {
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Compare();
    Differences().SortBy(0);
    Compare();
    auto expected = Expected("shop-v1.snp", "shop-v2.snp");
    std::stable_sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        return QString::fromStdString(a.substr(0, a.find('|'))).toCaseFolded() <
               QString::fromStdString(b.substr(0, b.find('|'))).toCaseFolded();
    });
    EXPECT_EQ(DifferenceRows(), expected);
}

// The progress line names both files, and counts what each has read.
TEST_F(CompareCommand, ThereIsNoLimitOnTheNumberOfRows) {
    std::vector<std::string> lines = {"S*D*U*", "", "", ""};
    for (int i = 0; i < 40000; ++i) lines.push_back(":T" + std::to_string(i));
    WriteSnapShot("big.snp", SnapShotText(lines));
    WriteSnapShot("empty.snp", SnapShotText({"S*D*U*", "", "", ""}));
    Window().RefreshSnapShotList();
    AddSnapShotEntry("big.snp");
    AddSnapShotEntry("empty.snp");
    Compare();
    EXPECT_EQ(Differences().rowCount(), 40000);
    EXPECT_EQ(prompt.messages.back().text, "40000 difference(s) found between the two objects!");
    EXPECT_EQ(prompt.lastSection, "big.snp: 40,000 tables; empty.snp: 0 tables");
}

TEST_F(CompareCommand, AnUnexpectedFailureStillLeavesTheBusyState) {
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Find<QListWidget>("lvCompare")
        .item(1)
        ->setData(static_cast<int>(Qt::UserRole) + Main::kSourceKind, "snapshot");
    Compare();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_NE(prompt.messages[0].text.find("snapshot"), std::string::npos);
    EXPECT_EQ(Differences().rowCount(), 0);
    ExpectIdle();
}

// While sources read, the window handles events: nothing reachable may start a second
// schema-reading command or tear the window down under the running one.
TEST_F(CompareCommand, ASecondCommandIsRefusedWhileOneRuns) {
    int viewerLaunches = 0;
    hooks.viewConnectionStructure = [&](Main&) { ++viewerLaunches; };
    hooks.viewSnapStructure = [&](Main&) { ++viewerLaunches; };
    AddConnectionEntry("SRV01", "Sales");
    AddConnectionEntry("SRV02", "Archive");
    Differences().Append({std::make_shared<cDifference>(std::string(), 0, std::string(), std::string())});
    bool tried = false;
    connector->onRow = [&] {
        if (tried) return;
        tried = true;
        Find<QToolButton>("btnCompare").setEnabled(true);  // even a button somehow enabled is refused
        Click("btnCompare");
        Click("btnSaveSnapShot");
        Click("btnViewConnectionStructure");
        Click("btnViewSnapStructure");
        Click("btnSave");
        Click("btnExit");
        Find<QToolButton>("btnCompare").setEnabled(false);
    };
    ShownWindow();
    Compare();
    EXPECT_TRUE(tried);
    EXPECT_EQ(viewerLaunches, 0);
    EXPECT_TRUE(prompt.inputRequests.empty());
    EXPECT_TRUE(saveDialog.requests.empty());
    // The close asked for meanwhile cancels the read, silently; the last comparison's rows
    // stay; the window closes once the command has ended.
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(Differences().rowCount(), 1);
    EXPECT_TRUE(Window().isVisible());
    QTest::qWait(20);
    EXPECT_FALSE(Window().isVisible());
}

}  // namespace
}  // namespace tablor::testing

namespace tablor::testing {
namespace {

// A side's name that looks like markup stays text on the result line and in its tip, also once
// the window's width has cut the line again.
TEST_F(CompareCommand, TheResultLineShowsANameThatLooksLikeMarkupAsText) {
    WriteSnapShot("<b>old.snp", TempFolder::Read(SnapShotFile("shop-v1.snp")));
    ShownWindow().RefreshSnapShotList();
    AddSnapShotEntry("<b>old.snp");
    AddSnapShotEntry("shop-v2.snp");
    Compare();
    auto& line = Find<QLabel>("lblResult");
    for (const int widen : {0, 40}) {
        Window().resize(Window().width() + widen, Window().height());
        QTextDocument tip;
        tip.setHtml(line.toolTip());
        EXPECT_NE(tip.toPlainText().indexOf(" between <b>old.snp and shop-v2.snp."), -1)
            << line.toolTip().toStdString();
        EXPECT_NE(line.text().indexOf("<b>old"), -1) << line.text().toStdString();
    }
}

}  // namespace
}  // namespace tablor::testing

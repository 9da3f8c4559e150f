// Pictures of the window for people to look at: at start and after a comparison.
#include <QCheckBox>
#include <QDialog>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "GuiTestSupport.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/OptionsDialog.hpp"

namespace tablor::testing {
namespace {

class Screenshot : public GuiTest {};

TEST_F(Screenshot, MainWindowAtStartAndAfterAComparison) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    StoreServers("SQLPROD01~SQLTEST02~END");
    gui::Main& window = ShownWindow();
    SaveScreenshot(window, TABLOR_SCREENSHOT_DIR, "main-window-start.png");

    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Click("btnCompare");
    ASSERT_GT(Differences().rowCount(), 0);
    QTest::qWait(50);
    SaveScreenshot(window, TABLOR_SCREENSHOT_DIR, "main-window-compared.png");

    // Long names, shown whole.
    Click("btnClear");
    WriteSnapShot("nightly-production-inventory-2024.snp", "");
    window.RefreshSnapShotList();
    AddConnectionEntry("production-warehouse-eu", "inventory_history");
    AddSnapShotEntry("nightly-production-inventory-2024.snp");
    QTest::qWait(50);
    SaveScreenshot(window, TABLOR_SCREENSHOT_DIR, "main-window-long-names.png");

    // The busy panel, as a long command shows it: a long name is cut in its middle.
    {
        gui::Main::BusyScope busy(window,
                                  "Comparing nightly-production-inventory-2024-eu-west-warehouse-full.snp to "
                                  "nightly-production-inventory-2025-eu-west-warehouse-full.snp",
                                  true);
        QTest::qWait(50);
        SaveScreenshot(window, TABLOR_SCREENSHOT_DIR, "main-window-busy.png");
    }
}

// The result line of a comparison made with options, one pattern of which matched nothing, of a
// side read only in part.
TEST_F(Screenshot, TheResultLineTellsOptionsAndWarnings) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    WriteSnapShot("shop-v2.snp", TempFolder::Read(SnapShotFile("shop-v1.snp")) + "Broken line\r\n");
    CompareOptions options;
    options.ignoreCase = true;
    options.include = {"Ordrs*", "Customers"};
    ASSERT_TRUE(gui::OptionsMemory::Save(options).isEmpty());
    gui::Main& window = ShownWindow();
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    prompt.Answer(PromptAnswer::Ignore);
    Click("btnCompare");
    QTest::qWait(50);
    SaveScreenshot(window, TABLOR_SCREENSHOT_DIR, "main-window-result-warnings.png");
}

TEST_F(Screenshot, ChangedColumnsInTheList) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    CompareOptions options;
    options.columnChanges = true;
    ASSERT_TRUE(gui::OptionsMemory::Save(options).isEmpty());
    gui::Main& window = ShownWindow();
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Click("btnCompare");
    auto& list = Find<QTreeView>("lvDifferences");
    const auto changed = Differences().match(Differences().index(0, 1), Qt::DisplayRole, "Field changed");
    ASSERT_FALSE(changed.isEmpty());
    list.scrollTo(changed.front(), QAbstractItemView::PositionAtTop);
    QTest::qWait(50);
    SaveScreenshot(window, TABLOR_SCREENSHOT_DIR, "main-window-changed-columns.png");
}

TEST_F(Screenshot, OptionsDialog) {
    ShownWindow();
    bool taken = false;
    QTimer::singleShot(0, &Window(), [&] {
        auto* dialog = Window().findChild<QDialog*>("OptionsDialog");
        if (dialog == nullptr) return;
        Find<QCheckBox>("chkOnlyChanges").setChecked(true);
        Find<QPlainTextEdit>("txtExclude").setPlainText("tmp_*\nOrders.Note");
        Find<QCheckBox>("chkOnlyProcedures").setChecked(false);
        QTest::qWait(50);
        SaveScreenshot(*dialog, TABLOR_SCREENSHOT_DIR, "options-dialog.png");
        taken = true;
        dialog->reject();
    });
    Trigger("mnuOptions");
    EXPECT_TRUE(taken);
}

// The migration script of a comparison, with statements held back.
TEST_F(Screenshot, ScriptDialog) {
    WriteDefinedSnapShots();
    ShownWindow();
    AddSnapShotEntry("model.snp");
    AddSnapShotEntry("copy.snp");
    Click("btnCompare");
    bool taken = false;
    QTimer::singleShot(0, &Window(), [&] {
        auto* dialog = Window().findChild<QDialog*>("ScriptDialog");
        if (dialog == nullptr) return;
        QTest::qWait(50);
        SaveScreenshot(*dialog, TABLOR_SCREENSHOT_DIR, "script-dialog.png");
        taken = true;
        dialog->reject();
    });
    Click("btnScript");
    EXPECT_TRUE(taken);
}

}  // namespace
}  // namespace tablor::testing

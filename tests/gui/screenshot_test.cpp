// Pictures of the window for people to look at: at start and after a comparison.
#include <QListWidget>
#include <QTest>
#include <QToolButton>

#include "GuiTestSupport.hpp"
#include "workbench/DifferencesModel.hpp"

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

    // The busy panel, as a long command shows it.
    {
        gui::Main::BusyScope busy(window, "Comparing shop-v1.snp to shop-v2.snp", true);
        QTest::qWait(50);
        SaveScreenshot(window, TABLOR_SCREENSHOT_DIR, "main-window-busy.png");
    }
}

}  // namespace
}  // namespace tablor::testing

// Pictures of the window for people to look at: at start and after a comparison.
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

#include "GuiTestSupport.hpp"
#include "workbench/DifferencesModel.hpp"

namespace tablor::testing {
namespace {

class Screenshot : public GuiTest {};

void Save(QWidget& widget, const QString& name) {
    QDir().mkpath(TABLOR_SCREENSHOT_DIR);
    const QString path = QString(TABLOR_SCREENSHOT_DIR) + "/" + name;
    const QImage image = widget.grab().toImage();
    ASSERT_FALSE(image.isNull());
    ASSERT_TRUE(image.save(path)) << path.toStdString();
}

TEST_F(Screenshot, MainWindowAtStartAndAfterAComparison) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    StoreServers("SQLPROD01~SQLTEST02~END");
    gui::Main& window = ShownWindow();
    Save(window, "main-window-start.png");

    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    window.btnCompare->click();
    ASSERT_GT(window.differences->rowCount(), 0);
    QTest::qWait(50);
    Save(window, "main-window-compared.png");

    // The busy panel, as a long command shows it.
    {
        gui::Main::BusyScope busy(window, "Comparing shop-v1.snp to shop-v2.snp", true);
        QTest::qWait(50);
        Save(window, "main-window-busy.png");
    }
}

}  // namespace
}  // namespace tablor::testing

// Pictures of the structure viewer, the About box and its System Info window, and the help
// window, saved into the build folder for people to look at.
#include <QDir>
#include <QImage>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>

#include "GuiTestSupport.hpp"
#include "ViewerTestSupport.hpp"
#include "shell/HelpWindow.hpp"
#include "shell/frmAbout.hpp"
#include "viewer/ViewerLaunch.hpp"

namespace tablor::testing {
namespace {

using gui::Main;

class ViewerScreenshot : public GuiTest {};

void Save(QWidget& widget, const QString& name) {
    QDir().mkpath(TABLOR_SCREENSHOT_DIR);
    const QString path = QString(TABLOR_SCREENSHOT_DIR) + "/" + name;
    const QImage image = widget.grab().toImage();
    ASSERT_FALSE(image.isNull());
    ASSERT_TRUE(image.save(path)) << path.toStdString();
}

TEST_F(ViewerScreenshot, StructureViewerAboutBoxSystemInfoAndHelp) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    gui::StructureViewerFrm* viewer = nullptr;
    hooks.viewSnapStructure = [&](Main& window) {
        viewer = gui::ViewSnapStructure(window, window.SourcePrompt());
    };
    Main& window = ShownWindow();
    SelectSnapShot("shop-v1.snp");
    window.btnViewSnapStructure->click();
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));

    const auto& model = *viewer->TreeModel();
    const QModelIndex tables = model.index(0, 0, model.RootIndex());
    viewer->Tree->expand(tables);
    const QModelIndex orders = ChildNamed(model, tables, "Orders");
    viewer->Tree->expand(orders);
    viewer->Tree->expand(model.index(0, 0, orders));
    ClickNode(*viewer, orders);
    viewer->Tree->scrollTo(model.RootIndex());
    QTest::qWait(50);
    Save(*viewer, "structure-viewer.png");

    gui::frmAbout box(prompt, &window);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::qWait(50);
    Save(box, "about-box.png");
    gui::SystemInfoWindow* info = box.StartSysInfo();
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(info));
    QTest::qWait(50);
    Save(*info, "system-info.png");

    std::filesystem::copy_file(TABLOR_HELP_PAGE, Home() + "/help.html");
    gui::HelpWindow* help = gui::ShowHelp(&window);
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    QTest::qWait(50);
    Save(*help, "help-window.png");
}

}  // namespace
}  // namespace tablor::testing

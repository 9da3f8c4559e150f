// Pictures of the structure viewer, the About box and its System Info window, and the help
// window, saved into the build folder for people to look at.
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

TEST_F(ViewerScreenshot, StructureViewerAboutBoxSystemInfoAndHelp) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    gui::StructureViewerFrm* viewer = nullptr;
    hooks.viewSnapStructure = [&](Main& window) { viewer = window.ViewSnapStructure(); };
    Main& window = ShownWindow();
    SelectSnapShot("shop-v1.snp");
    Click("btnViewSnapStructure");
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
    SaveScreenshot(*viewer, TABLOR_SCREENSHOT_DIR, "structure-viewer.png");

    gui::frmAbout box(prompt, &window);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::qWait(50);
    SaveScreenshot(box, TABLOR_SCREENSHOT_DIR, "about-box.png");
    gui::SystemInfoWindow* info = box.StartSysInfo();
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(info));
    QTest::qWait(50);
    SaveScreenshot(*info, TABLOR_SCREENSHOT_DIR, "system-info.png");

    std::filesystem::copy_file(TABLOR_HELP_PAGE, Home() + "/help.html");
    gui::HelpWindow* help = gui::ShowHelp(&window);
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    QTest::qWait(50);
    SaveScreenshot(*help, TABLOR_SCREENSHOT_DIR, "help-window.png");
}

}  // namespace
}  // namespace tablor::testing

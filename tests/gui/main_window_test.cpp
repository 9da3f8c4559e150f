// The window itself: controls, start-up, remembered servers, the comparison list, resizing
// and closing.
#include <QGuiApplication>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>

#include "GuiTestSupport.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/ServerMemory.hpp"
#include "workbench/Twips.hpp"

namespace tablor::testing {
namespace {

using gui::Main;

class MainWindow : public GuiTest {};

TEST_F(MainWindow, IsLaidOutInTwipsScaledByTheScreen) {
    EXPECT_EQ(gui::Twips::At(96, 96).Rect(1695, 390, 1995, 315), QRect(113, 26, 133, 21));
    EXPECT_EQ(gui::Twips::At(192, 144).Rect(1695, 390, 1995, 315), QRect(226, 39, 266, 32));
    Main& window = ShownWindow();
    const auto t = gui::Twips::For(&window);
    EXPECT_EQ(window.windowTitle(), "Quennet Tablor");
    EXPECT_EQ(window.centralWidget()->size(), QSize(t.X(10035), t.Y(7620)));
    EXPECT_EQ(window.btnSave->geometry(), t.Rect(7550, 3795, 990, 825));
    EXPECT_TRUE(window.WorkingPanel->isHidden());
}

TEST_F(MainWindow, StartUpCreatesTheSnapshotFolderAndListsOnlySnapshotFiles) {
    const std::string folder = Home() + "/SnapShots";
    ASSERT_FALSE(std::filesystem::exists(folder));
    Window();
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(SnapShotList().isEmpty());

    WriteSnapShot("b.snp", "x");
    WriteSnapShot("A.snp", "x");
    WriteSnapShot("notes.txt", "x");
    std::filesystem::create_directory(folder + "/folder.snp");
    Window().mnuRefreshList->trigger();
    EXPECT_EQ(SnapShotList(), QStringList({"A.snp", "b.snp"}));
}

TEST_F(MainWindow, StartUpOpensCentredOnTheScreen) {
    Main& window = ShownWindow();
    const QRect screen = window.screen()->geometry();
    const QRect frame = window.frameGeometry();
    EXPECT_NEAR(frame.center().x(), screen.center().x(), 1);
    EXPECT_NEAR(frame.center().y(), screen.center().y(), 1);
}

TEST_F(MainWindow, RememberedServersAreParsedUpToEnd) {
    using gui::ServerMemory::Parse;
    EXPECT_EQ(Parse("A~B~END"), QStringList({"A", "B"}));
    EXPECT_EQ(Parse("END"), QStringList());
    EXPECT_EQ(Parse(""), QStringList());
    EXPECT_EQ(Parse("A~END~B~END"), QStringList({"A"}));
    EXPECT_EQ(Parse("A~~B~END"), QStringList({"A", "", "B"}));
    // Without "END" every element is read, and nothing past the last.
    EXPECT_EQ(Parse("A~B"), QStringList({"A", "B"}));
    EXPECT_EQ(Parse("end~END"), QStringList({"end"}));
    EXPECT_EQ(gui::ServerMemory::Format({"SRV01", "SRV02"}), "SRV01~SRV02~END");
    EXPECT_EQ(gui::ServerMemory::Format({}), "END");
}

TEST_F(MainWindow, StartUpRestoresRememberedServersWithAnEmptyServerBox) {
    StoreServers("SRV01~SRV02~END");
    Main& window = Window();
    EXPECT_EQ(window.RememberedServers(), QStringList({"SRV01", "SRV02"}));
    EXPECT_TRUE(window.txtServer->currentText().isEmpty());
}

TEST_F(MainWindow, ServersAreRememberedWhenTheFocusLeavesTheServerBox) {
    Main& window = ShownWindow();
    auto typeAndLeave = [&](const QString& text) {
        window.txtServer->setFocus();
        QApplication::processEvents();
        window.txtServer->setEditText(text);
        window.txtDatabase->setFocus();
        QApplication::processEvents();
    };
    typeAndLeave("SRV01");
    typeAndLeave("SRV01");
    EXPECT_EQ(window.RememberedServers(), QStringList({"SRV01"}));
    typeAndLeave("srv01");
    typeAndLeave("   ");
    typeAndLeave(" SRV02 ");
    EXPECT_EQ(window.RememberedServers(), QStringList({"SRV01", "srv01", " SRV02 "}));
    EXPECT_EQ(window.txtServer->currentText(), " SRV02 ");
}

TEST_F(MainWindow, ClosingStoresTheServersByEveryWayOut) {
    QWidget other;
    other.show();
    EXPECT_TRUE(ShownWindow().close());
    EXPECT_EQ(StoredServers(), "END");
    EXPECT_FALSE(other.isVisible());

    Restart();
    StoreServers("A~B~END");
    Window().txtServer->addItem("SRV~3");
    ShownWindow().btnExit->click();
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(StoredServers(), "A~B~SRV~3~END");

    // A "~" inside a name comes back as two servers; an "END" server ends the list.
    Restart();
    EXPECT_EQ(Window().RememberedServers(), QStringList({"A", "B", "SRV", "3"}));
    Window().txtServer->addItem("END");
    Window().txtServer->addItem("LOST");
    ShownWindow().mnuExit->trigger();
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(StoredServers(), "A~B~SRV~3~END~LOST~END");

    Restart();
    EXPECT_EQ(Window().RememberedServers(), QStringList({"A", "B", "SRV", "3"}));
}

TEST_F(MainWindow, LiveEntriesKeepTheirSevenFields) {
    AddConnectionEntry("SRV01", "Sales", "reader", "s3cret", true);
    Main& window = Window();
    ASSERT_EQ(window.lvCompare->count(), 1);
    const QListWidgetItem& entry = *window.lvCompare->item(0);
    EXPECT_EQ(entry.text(), "SRV01.Sales");
    EXPECT_EQ(Main::SubItemText(entry, Main::kServer), "SRV01");
    EXPECT_EQ(Main::SubItemText(entry, Main::kDatabase), "Sales");
    EXPECT_EQ(Main::SubItemText(entry, Main::kUser), "reader");
    EXPECT_EQ(Main::SubItemText(entry, Main::kPassword), "s3cret");
    EXPECT_EQ(Main::SubItemText(entry, Main::kIntegratedSecurity), "1");
    EXPECT_EQ(Main::SubItemText(entry, Main::kFileName), "");
    EXPECT_EQ(Main::SubItemText(entry, Main::kSourceKind), "CONNECTION");
    // Editing the fields afterwards leaves the entry as it was.
    window.txtServer->setEditText("OTHER");
    window.chkIntegrated->setChecked(false);
    EXPECT_EQ(Main::SubItemText(entry, Main::kServer), "SRV01");
    EXPECT_EQ(Main::SubItemText(entry, Main::kIntegratedSecurity), "1");

    WriteSnapShot("sales.snp", "");
    Window().RefreshSnapShotList();
    AddSnapShotEntry("sales.snp");
    const QListWidgetItem& snapshot = *window.lvCompare->item(1);
    EXPECT_EQ(snapshot.text(), "sales.snp");
    EXPECT_EQ(Main::SubItemText(snapshot, Main::kServer), "");
    EXPECT_EQ(Main::SubItemText(snapshot, Main::kFileName), "sales.snp");
    EXPECT_EQ(Main::SubItemText(snapshot, Main::kSourceKind), "SNAPSHOT");
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(MainWindow, AddingRefusesAThirdEntryAndASnapshotWithoutSelection) {
    WriteSnapShot("sales.snp", "");
    Main& window = Window();
    window.btnAddSnapShot->click();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text, "Please select a snapshot from the list!");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);

    AddSnapShotEntry("sales.snp");
    AddConnectionEntry("SRV01", "Sales");
    EXPECT_EQ(CompareEntries(), QStringList({"sales.snp", "SRV01.Sales"}));
    AddConnectionEntry("SRV02", "Sales");
    AddSnapShotEntry("sales.snp");
    EXPECT_EQ(CompareEntries(), QStringList({"sales.snp", "SRV01.Sales"}));
    ASSERT_EQ(prompt.messages.size(), 3u);
    for (std::size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(prompt.messages[i].text, "You can not compare more than two objects");
        EXPECT_EQ(prompt.messages[i].icon, PromptIcon::Information);
    }
}

TEST_F(MainWindow, ClearEmptiesOnlyTheComparisonList) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Window().btnCompare->click();
    const int rows = Window().differences->rowCount();
    ASSERT_GT(rows, 0);
    Window().btnClear->click();
    EXPECT_TRUE(CompareEntries().isEmpty());
    EXPECT_EQ(Window().differences->rowCount(), rows);
    EXPECT_EQ(Window().Object1Name, "shop-v1.snp");
}

TEST_F(MainWindow, OnlyTheDifferencesListFollowsTheWindowSize) {
    Main& window = ShownWindow();
    const auto t = gui::Twips::For(&window);
    const QRect list = window.lvDifferences->geometry();
    const QRect frame = window.findChildren<QGroupBox*>().front()->geometry();
    window.resize(window.width() + t.X(1000), window.height() + t.Y(1000));
    QApplication::processEvents();
    EXPECT_EQ(window.lvDifferences->width(), list.width() + t.X(1000));
    EXPECT_EQ(window.lvDifferences->height(), list.height() + t.Y(1000));
    EXPECT_EQ(window.lvDifferences->pos(), list.topLeft());
    EXPECT_EQ(window.findChildren<QGroupBox*>().front()->geometry(), frame);
    EXPECT_EQ(window.lvDifferences->width(), window.frameGeometry().width() - t.X(300));

    // Too small for a list: it keeps the size it had.
    const QSize before = window.lvDifferences->size();
    window.resize(10, 10);
    QApplication::processEvents();
    EXPECT_EQ(window.lvDifferences->size(), before);
}

TEST_F(MainWindow, LaunchersRunTheirHooksAndSurviveTheirFailures) {
    QStringList called;
    hooks.viewConnectionStructure = [&](Main&) { called.append("connection"); };
    hooks.viewSnapStructure = [&](Main&) { called.append("snapshot"); };
    hooks.showHelp = [&](Main&) { called.append("help"); };
    hooks.showAbout = [&](Main&) { called.append("about"); };
    Main& window = Window();
    window.btnViewConnectionStructure->click();
    window.btnViewSnapStructure->click();
    window.btnHelp->click();
    window.mnuHelpContents->trigger();
    window.mnuAbout->trigger();
    EXPECT_EQ(called, QStringList({"connection", "snapshot", "help", "help", "about"}));

    hooks.viewSnapStructure = [](Main& window) {
        Main::BusyScope busy(window, "Creating structure view for snapshot: x.snp");
        throw TablorError(53, "File not found");
    };
    Restart();
    Window().btnViewSnapStructure->click();
    ASSERT_EQ(prompt.Texts(), std::vector<std::string>({"File not found 53"}));
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_FALSE(Window().IsBusy());
    EXPECT_TRUE(Window().WorkingPanel->isHidden());
    EXPECT_TRUE(Window().lblStatus->text().isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace tablor::testing

// The window itself: controls, start-up, remembered servers, the comparison list, resizing
// and closing.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <filesystem>
#include <tuple>
#include <utility>

#include "GuiTestSupport.hpp"
#include "ui/Twips.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/ServerMemory.hpp"

namespace tablor::testing {
namespace {

using gui::Main;

class MainWindow : public GuiTest {};

TEST_F(MainWindow, IsLaidOutInTwipsScaledByTheScreen) {
    EXPECT_EQ(gui::Twips::At(96, 96).Rect(1695, 390, 1995, 315), QRect(113, 26, 133, 21));
    EXPECT_EQ(gui::Twips::At(192, 144).Rect(1695, 390, 1995, 315), QRect(226, 39, 266, 32));
    Main& window = ShownWindow();
    EXPECT_EQ(window.windowTitle(), "Quennet Tablor");
    EXPECT_TRUE(Find<QFrame>("WorkingPanel").isHidden());
    // A PostgreSQL server's address shows whole in the server box.
    const QLineEdit& server = *Find<QComboBox>("txtServer").lineEdit();
    EXPECT_GE(server.width(),
              server.fontMetrics().horizontalAdvance("postgresql://pg-primary.example.org:5432"));
}

// Tests, and tools that read the window as a user does, reach its parts by these names.
TEST_F(MainWindow, EveryPartIsFoundByItsName) {
    const std::pair<const char*, const QMetaObject*> parts[] = {
        {"mnuFile", &QMenu::staticMetaObject},
        {"mnuSnapShots", &QMenu::staticMetaObject},
        {"mnuRefreshList", &QAction::staticMetaObject},
        {"mnuOptions", &QAction::staticMetaObject},
        {"mnuSep1", &QAction::staticMetaObject},
        {"mnuExit", &QAction::staticMetaObject},
        {"mnuHelp", &QMenu::staticMetaObject},
        {"mnuHelpContents", &QAction::staticMetaObject},
        {"Separator2", &QAction::staticMetaObject},
        {"mnuAbout", &QAction::staticMetaObject},
        {"txtServer", &QComboBox::staticMetaObject},
        {"txtDatabase", &QLineEdit::staticMetaObject},
        {"txtUser", &QLineEdit::staticMetaObject},
        {"txtPassword", &QLineEdit::staticMetaObject},
        {"chkIntegrated", &QCheckBox::staticMetaObject},
        {"btnSaveSnapShot", &QToolButton::staticMetaObject},
        {"btnViewConnectionStructure", &QToolButton::staticMetaObject},
        {"btnAddConnection", &QToolButton::staticMetaObject},
        {"Image2", &QLabel::staticMetaObject},
        {"FLSnapShots", &QListWidget::staticMetaObject},
        {"btnDelete", &QToolButton::staticMetaObject},
        {"btnViewSnapStructure", &QToolButton::staticMetaObject},
        {"btnAddSnapShot", &QToolButton::staticMetaObject},
        {"Image1", &QLabel::staticMetaObject},
        {"lvCompare", &QListWidget::staticMetaObject},
        {"btnClear", &QToolButton::staticMetaObject},
        {"btnCompare", &QToolButton::staticMetaObject},
        {"btnHelp", &QToolButton::staticMetaObject},
        {"btnSave", &QToolButton::staticMetaObject},
        {"btnExit", &QToolButton::staticMetaObject},
        {"lvDifferences", &QTreeView::staticMetaObject},
        {"WorkingPanel", &QFrame::staticMetaObject},
        {"lblStatus", &QLabel::staticMetaObject},
    };
    for (const auto& [name, type] : parts) {
        const QList<QObject*> found = Window().findChildren<QObject*>(QString::fromLatin1(name));
        ASSERT_EQ(found.size(), 1) << name;
        EXPECT_TRUE(found.front()->inherits(type->className())) << name;
    }
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
    Trigger("mnuRefreshList");
    EXPECT_EQ(SnapShotList(), QStringList({"A.snp", "b.snp"}));
}

// Centred on the screen's free area, its title bar and menus never above it, even on a screen
// too small for it (as at 200%); then where it was closed, as large as it was.
TEST_F(MainWindow, StartUpOpensInsideTheScreenAndWhereItWasLeft) {
    Main& window = ShownWindow();
    QApplication::processEvents();
    const QRect area = window.screen()->availableGeometry();
    const QRect frame = window.frameGeometry();
    EXPECT_TRUE(area.contains(frame.topLeft())) << frame.y();
    if (area.contains(frame)) {
        EXPECT_NEAR(frame.center().x(), area.center().x(), 1);
        EXPECT_NEAR(frame.center().y(), area.center().y(), 1);
        const QRect left(area.topLeft() + QPoint(7, 5), window.size() + QSize(-20, -10));
        window.setGeometry(left.intersected(area));
        window.close();
        Restart();
        ShownWindow();
        QApplication::processEvents();
        EXPECT_EQ(Window().geometry(), left.intersected(area));
    }
}

// However small the window is made, every control stays whole in sight, the list a few rows.
TEST_F(MainWindow, EveryControlStaysInSightAtTheLeastSize) {
    Main& window = ShownWindow();
    window.resize(10, 10);
    QApplication::processEvents();
    EXPECT_EQ(window.size(), window.minimumSize());
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        if (!control->isVisible() || control->focusPolicy() == Qt::NoFocus) continue;
        EXPECT_TRUE(window.rect().contains(QRect(control->mapTo(&window, QPoint()), control->size())))
            << control->objectName().toStdString();
    }
    EXPECT_GT(Find<QTreeView>("lvDifferences").viewport()->height(),
              3 * Find<QTreeView>("lvDifferences").fontMetrics().height());
}

// Tab visits every control once, frame by frame in reading order: the left frames top to bottom,
// the comparison frame, the buttons under it from left to right, then the list.
TEST_F(MainWindow, TabFollowsTheLayout) {
    Main& window = ShownWindow();
    Find<QComboBox>("txtServer").setFocus();
    std::vector<QWidget*> visited;
    for (QWidget* now = QApplication::focusWidget(); now != nullptr && visited.size() < 64;
         now = QApplication::focusWidget()) {
        if (std::find(visited.begin(), visited.end(), now) != visited.end()) break;
        visited.push_back(now);
        QTest::keyClick(now, Qt::Key_Tab);
    }
    const QWidget& list = Find<QTreeView>("lvDifferences");
    const int rightColumn = Find<QGroupBox>("comparisonFrame").x();
    // Where a control stands: its frame, or itself outside any.
    const auto place = [&](const QWidget* control) {
        for (const QWidget* up = control; up != nullptr; up = up->parentWidget())
            if (const auto* frame = qobject_cast<const QGroupBox*>(up)) return frame->geometry();
        return QRect(control->mapTo(window.centralWidget(), QPoint()), control->size());
    };
    const auto order = [&](const QRect& at) {
        return std::tuple(at.top() >= list.y() ? 2 : at.left() < rightColumn ? 0 : 1, at.top(), at.left());
    };
    std::vector<QRect> places;
    for (const QWidget* control : visited)
        if (places.empty() || places.back() != place(control)) places.push_back(place(control));
    for (std::size_t i = 1; i < places.size(); ++i)
        EXPECT_LT(order(places[i - 1]), order(places[i])) << visited.size() << " controls, place " << i;
    int focusable = 0;
    for (const QWidget* control : window.centralWidget()->findChildren<QWidget*>())
        if (control->isVisible() && control->isEnabled() &&
            (control->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && control->focusProxy() == nullptr)
            ++focusable;
    EXPECT_EQ(visited.size(), static_cast<std::size_t>(focusable));
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

// Remembered servers come back, from an earlier version's settings too, and Delete in the open
// list forgets one.
TEST_F(MainWindow, StartUpRestoresRememberedServersWithAnEmptyServerBox) {
    StoreServers("SRV01~SRV02~SRV03~END");
    Main& window = ShownWindow();
    EXPECT_EQ(window.RememberedServers(), QStringList({"SRV01", "SRV02", "SRV03"}));
    EXPECT_TRUE(Find<QComboBox>("txtServer").currentText().isEmpty());
    auto& box = Find<QComboBox>("txtServer");
    box.setEditText("typed");
    box.showPopup();
    box.view()->setCurrentIndex(box.model()->index(1, 0));
    QTest::keyClick(box.view(), Qt::Key_Delete);
    box.hidePopup();
    EXPECT_EQ(window.RememberedServers(), QStringList({"SRV01", "SRV03"}));
    EXPECT_EQ(box.currentText(), "typed");

    Restart();
    const QString earlier =
        QFileInfo(gui::ServerMemory::FileName()).absolutePath() + "/../qnTablor/qnTablor.ini";
    QDir().mkpath(QFileInfo(earlier).absolutePath());
    QFile::remove(gui::ServerMemory::FileName());
    {
        QSettings old(earlier, QSettings::IniFormat);
        old.setValue("Settings/Server", "OLD1~END");
    }
    EXPECT_EQ(Window().RememberedServers(), QStringList({"OLD1"}));
    QFile::remove(earlier);
}

TEST_F(MainWindow, ServersAreRememberedWhenTheFocusLeavesTheServerBox) {
    Main& window = ShownWindow();
    auto typeAndLeave = [&](const QString& text) {
        Find<QComboBox>("txtServer").setFocus();
        QApplication::processEvents();
        Find<QComboBox>("txtServer").setEditText(text);
        Find<QLineEdit>("txtDatabase").setFocus();
        QApplication::processEvents();
    };
    typeAndLeave("SRV01");
    typeAndLeave("SRV01");
    EXPECT_EQ(window.RememberedServers(), QStringList({"SRV01"}));
    typeAndLeave("srv01");
    typeAndLeave("   ");
    typeAndLeave(" SRV02 ");
    EXPECT_EQ(window.RememberedServers(), QStringList({"SRV01", "srv01", " SRV02 "}));
    EXPECT_EQ(Find<QComboBox>("txtServer").currentText(), " SRV02 ");
}

TEST_F(MainWindow, ClosingStoresTheServersByEveryWayOut) {
    QWidget other;
    other.show();
    EXPECT_TRUE(ShownWindow().close());
    EXPECT_EQ(StoredServers(), "END");
    EXPECT_FALSE(other.isVisible());

    Restart();
    StoreServers("A~B~END");
    Find<QComboBox>("txtServer").addItem("SRV~3");
    ShownWindow();
    Click("btnExit");
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(StoredServers(), "A~B~SRV~3~END");

    // A "~" inside a name comes back as two servers; an "END" server ends the list.
    Restart();
    EXPECT_EQ(Window().RememberedServers(), QStringList({"A", "B", "SRV", "3"}));
    Find<QComboBox>("txtServer").addItem("END");
    Find<QComboBox>("txtServer").addItem("LOST");
    ShownWindow();
    Trigger("mnuExit");
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(StoredServers(), "A~B~SRV~3~END~LOST~END");

    Restart();
    EXPECT_EQ(Window().RememberedServers(), QStringList({"A", "B", "SRV", "3"}));
}

TEST_F(MainWindow, LiveEntriesKeepTheirSevenFields) {
    AddConnectionEntry("SRV01", "Sales", "reader", "s3cret", true);
    ASSERT_EQ(Find<QListWidget>("lvCompare").count(), 1);
    const QListWidgetItem& entry = *Find<QListWidget>("lvCompare").item(0);
    EXPECT_EQ(entry.text(), "SRV01.Sales");
    EXPECT_EQ(Main::SubItemText(entry, Main::kServer), "SRV01");
    EXPECT_EQ(Main::SubItemText(entry, Main::kDatabase), "Sales");
    EXPECT_EQ(Main::SubItemText(entry, Main::kUser), "reader");
    EXPECT_EQ(Main::SubItemText(entry, Main::kPassword), "s3cret");
    EXPECT_EQ(Main::SubItemText(entry, Main::kIntegratedSecurity), "1");
    EXPECT_EQ(Main::SubItemText(entry, Main::kFileName), "");
    EXPECT_EQ(Main::SubItemText(entry, Main::kSourceKind), "CONNECTION");
    // Editing the fields afterwards leaves the entry as it was.
    Find<QComboBox>("txtServer").setEditText("OTHER");
    Find<QCheckBox>("chkIntegrated").setChecked(false);
    EXPECT_EQ(Main::SubItemText(entry, Main::kServer), "SRV01");
    EXPECT_EQ(Main::SubItemText(entry, Main::kIntegratedSecurity), "1");

    WriteSnapShot("sales.snp", "");
    Window().RefreshSnapShotList();
    AddSnapShotEntry("sales.snp");
    const QListWidgetItem& snapshot = *Find<QListWidget>("lvCompare").item(1);
    EXPECT_EQ(snapshot.text(), "sales.snp");
    EXPECT_EQ(Main::SubItemText(snapshot, Main::kServer), "");
    EXPECT_EQ(Main::SubItemText(snapshot, Main::kFileName), "sales.snp");
    EXPECT_EQ(Main::SubItemText(snapshot, Main::kSourceKind), "SNAPSHOT");
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(MainWindow, AddingRefusesAThirdEntryAndASnapshotWithoutSelection) {
    WriteSnapShot("sales.snp", "");
    Click("btnAddSnapShot");
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
    // The same login again corrects the entry's password in its place.
    AddConnectionEntry("SRV01", "Sales", "sa", "right");
    EXPECT_EQ(CompareEntries(), QStringList({"sales.snp", "SRV01.Sales"}));
    EXPECT_EQ(Main::SubItemText(*Find<QListWidget>("lvCompare").item(1), Main::kPassword), "right");
    EXPECT_EQ(prompt.messages.size(), 3u);
}

// Delete or the entry's menu removes an entry; double-click or Enter adds a snapshot.
TEST_F(MainWindow, EntriesGoByDeleteOrTheirMenuAndSnapshotsComeByDoubleClickOrEnter) {
    WriteSnapShot("a.snp", "");
    WriteSnapShot("b.snp", "");
    ShownWindow();
    Window().RefreshSnapShotList();
    auto& snapshots = Find<QListWidget>("FLSnapShots");
    SelectSnapShot("a.snp");
    QApplication::processEvents();
    const QPoint first = snapshots.visualItemRect(snapshots.item(0)).center();
    QTest::mouseClick(snapshots.viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(snapshots.viewport(), Qt::LeftButton, {}, first);
    SelectSnapShot("b.snp");
    snapshots.setFocus();
    QTest::keyClick(&snapshots, Qt::Key_Return);
    EXPECT_EQ(CompareEntries(), QStringList({"a.snp", "b.snp"}));

    auto& entries = Find<QListWidget>("lvCompare");
    EXPECT_EQ(entries.contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_TRUE(entries.actions().contains(&Find<QAction>("mnuRemoveEntry")));
    entries.setCurrentRow(0);
    entries.setFocus();
    QTest::keyClick(&entries, Qt::Key_Delete);
    EXPECT_EQ(CompareEntries(), QStringList({"b.snp"}));
    entries.setCurrentRow(0);
    Trigger("mnuRemoveEntry");
    EXPECT_TRUE(CompareEntries().isEmpty());
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(MainWindow, ClearEmptiesOnlyTheComparisonList) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Click("btnCompare");
    const int rows = Differences().rowCount();
    ASSERT_GT(rows, 0);
    Click("btnClear");
    EXPECT_TRUE(CompareEntries().isEmpty());
    EXPECT_EQ(Differences().rowCount(), rows);
    EXPECT_EQ(Window().ComparedNames().first, "shop-v1.snp");
}

TEST_F(MainWindow, OnlyTheDifferencesListFollowsTheWindowSize) {
    Main& window = ShownWindow();
    const auto t = gui::Twips::For(&window);
    const QRect list = Find<QTreeView>("lvDifferences").geometry();
    const QRect frame = window.findChildren<QGroupBox*>().front()->geometry();
    window.resize(window.width() + t.X(1000), window.height() + t.Y(1000));
    QApplication::processEvents();
    EXPECT_EQ(Find<QTreeView>("lvDifferences").width(), list.width() + t.X(1000));
    EXPECT_EQ(Find<QTreeView>("lvDifferences").height(), list.height() + t.Y(1000));
    EXPECT_EQ(Find<QTreeView>("lvDifferences").pos(), list.topLeft());
    EXPECT_EQ(window.findChildren<QGroupBox*>().front()->geometry(), frame);
    // The message column takes the room; the others keep the widths the user gave them.
    QHeaderView& header = *Find<QTreeView>("lvDifferences").header();
    header.resizeSection(0, header.sectionSize(0) + 30);
    const int chosen = header.sectionSize(0);
    window.resize(window.width() + 100, window.height());
    QApplication::processEvents();
    EXPECT_EQ(header.sectionSize(0), chosen);
    EXPECT_EQ(header.sectionPosition(4) + header.sectionSize(4), header.viewport()->width());
}

TEST_F(MainWindow, TheDifferencesListKeepsItsMarginsFromTheClientAreaFromTheStart) {
    // The window manager adds its frame after the window is first laid out.
    Window().setWindowFlag(Qt::FramelessWindowHint);
    Main& window = ShownWindow();
    const QWidget& client = *window.centralWidget();
    auto margins = [&] {
        const QRect list = Find<QTreeView>("lvDifferences").geometry();
        return std::pair(client.width() - list.right(), client.height() - list.bottom());
    };
    const auto atShow = margins();
    window.setWindowFlag(Qt::FramelessWindowHint, false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int step = 1; step <= 2; ++step) {
        window.resize(window.width() + 40, window.height() + 60);
        QApplication::processEvents();
        EXPECT_EQ(margins(), atShow) << step;
    }
}

TEST_F(MainWindow, EntriesShowTheirWholeNamesAndCarryThemInTheirTips) {
    WriteSnapShot("nightly-production-inventory-2024.snp", "");
    Main& window = ShownWindow();
    window.RefreshSnapShotList();
    AddConnectionEntry("production-warehouse-eu", "inventory_history");
    AddSnapShotEntry("nightly-production-inventory-2024.snp");
    QApplication::processEvents();
    const QListWidget& list = Find<QListWidget>("lvCompare");
    ASSERT_EQ(list.count(), 2);
    for (int row = 0; row < list.count(); ++row) {
        const QModelIndex index = list.model()->index(row, 0);
        EXPECT_EQ(index.data(Qt::ToolTipRole).toString().toStdString(),
                  index.data().toString().toStdString());
        // The size the entry needs with its text wrapped, as the list lays its entries out.
        QStyleOptionViewItem option;
        option.initFrom(&list);
        option.widget = &list;
        option.font = list.font();
        option.decorationSize = list.iconSize();
        option.decorationPosition = QStyleOptionViewItem::Top;
        option.displayAlignment = Qt::AlignCenter;
        option.features = QStyleOptionViewItem::WrapText;
        option.rect = QRect(QPoint(), list.gridSize());
        const QSize needed = list.itemDelegate()->sizeHint(option, index);
        const QRect shown = list.visualRect(index);
        EXPECT_GE(shown.height(), needed.height()) << index.data().toString().toStdString();
        EXPECT_GE(shown.width(), needed.width()) << index.data().toString().toStdString();
        EXPECT_TRUE(list.viewport()->rect().contains(shown));
    }
}

TEST_F(MainWindow, PicturesSitInsideTheirFramesAtTheScreensPixelRatio) {
    Main& window = ShownWindow();
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        const QRect inside = frame->contentsRect();
        for (const QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const auto* picture = qobject_cast<const QLabel*>(child);
            const bool isPicture = qobject_cast<const QToolButton*>(child) != nullptr ||
                                   (picture != nullptr && !picture->pixmap().isNull());
            if (!isPicture) continue;
            EXPECT_TRUE(inside.contains(child->geometry())) << frame->title().toStdString();
            if (picture != nullptr) {
                EXPECT_EQ(picture->pixmap().devicePixelRatio(), window.devicePixelRatio());
            }
        }
    }
}

TEST_F(MainWindow, AltHOpensHelpAndTheHelpMenuHasAKeyOfItsOwn) {
    int helps = 0;
    hooks.showHelp = [&](Main&) { ++helps; };
    Main& window = ShownWindow();
    EXPECT_EQ(QString(Find<QMenu>("mnuHelp").title()).remove('&'), "Help");
    EXPECT_EQ(Find<QToolButton>("btnHelp").text(), "&Help");

    // Every key the menu bar and the buttons take is taken once.
    QList<QKeySequence> keys;
    for (const QAction* menu : window.menuBar()->actions()) keys.append(QKeySequence::mnemonic(menu->text()));
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (!QKeySequence::mnemonic(button->text()).isEmpty())
            keys.append(QKeySequence::mnemonic(button->text()));
    for (const QKeySequence& key : keys) EXPECT_EQ(keys.count(key), 1) << key.toString().toStdString();

    // Every button with a caption has a key.
    for (const QAbstractButton* button : window.findChildren<QToolButton*>()) {
        if (!button->text().isEmpty()) {
            EXPECT_FALSE(QKeySequence::mnemonic(button->text()).isEmpty()) << button->text().toStdString();
        }
    }

    QTest::keyClick(&window, Qt::Key_H, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return helps == 1; }));

    const QKeyCombination menuKey = QKeySequence::mnemonic(Find<QMenu>("mnuHelp").title())[0];
    QTest::keyClick(&window, menuKey.key(), menuKey.keyboardModifiers());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Find<QMenu>("mnuHelp").isVisible(); }));
    Find<QMenu>("mnuHelp").close();
    EXPECT_EQ(helps, 1);

    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return helps == 2; }));
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }));
}

TEST_F(MainWindow, LaunchersRunTheirHooksAndSurviveTheirFailures) {
    QStringList called;
    hooks.viewConnectionStructure = [&](Main&) { called.append("connection"); };
    hooks.viewSnapStructure = [&](Main&) { called.append("snapshot"); };
    hooks.showHelp = [&](Main&) { called.append("help"); };
    hooks.showAbout = [&](Main&) { called.append("about"); };
    Click("btnViewConnectionStructure");
    Click("btnViewSnapStructure");
    Click("btnHelp");
    Trigger("mnuHelpContents");
    Trigger("mnuAbout");
    EXPECT_EQ(called, QStringList({"connection", "snapshot", "help", "help", "about"}));

    hooks.viewSnapStructure = [](Main& window) {
        Main::BusyScope busy(window, "Creating structure view for snapshot: x.snp");
        throw TablorError(53, "File not found");
    };
    Restart();
    Click("btnViewSnapStructure");
    ASSERT_EQ(prompt.Texts(), std::vector<std::string>({"File not found 53"}));
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_FALSE(Window().IsBusy());
    EXPECT_TRUE(Find<QFrame>("WorkingPanel").isHidden());
    EXPECT_TRUE(Find<QLabel>("lblStatus").text().isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Window().cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
}  // namespace tablor::testing

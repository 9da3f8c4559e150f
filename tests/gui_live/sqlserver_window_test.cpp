// The window against the scripted SQL Server through the real FreeTDS driver: entries typed
// into the connection fields, compared, listed, and the password kept out of sight.
#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <QFrame>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "LiveWindow.hpp"
#include "PostgresServer.hpp"
#include "ReaderProcess.hpp"
#include "TempFolder.hpp"
#include "sources/SchemaQueries.hpp"
#include "sources/cSnapShot.hpp"
#include "workbench/DifferencesModel.hpp"

namespace tablor::testing {
namespace {

using ::testing::UnorderedElementsAreArray;

// The characters that connection strings quote or end values on, and some beyond ASCII.
const std::string kPassword = "pä}ss;wörd {x}=1";

class SqlServerWindow : public LiveWindow {
  protected:
    void SetUp() override {
        LiveWindow::SetUp();
        Catalogue sales;
        sales.tables = {{"Customers", {{"CustomerID", "int", {}}, {"Name", "varchar", 50}}},
                        {"Orders", {{"OrderID", "int", {}}, {"Note", "nvarchar", 200}}}};
        sales.views = {"OpenOrders"};
        sales.procedures = {"GetOrders"};
        sales.functions = {"OrderTotal"};
        sales.constraints = {"PK_Customers"};
        sales.ScriptInto(first);

        Catalogue next = sales;
        next.tables = {
            {"Customers", {{"CustomerID", "int", {}}, {"Name", "varchar", 50}, {"Email", "nvarchar", 100}}},
            {"Invoices", {{"InvoiceID", "int", {}}}}};
        next.procedures = {"GetOrders", "PlaceOrder"};
        next.functions = {};
        next.constraints = {"PK_Customers", "PK_Invoices"};
        next.ScriptInto(second);

        first.expectUser("tablor", kPassword);
        second.expectUser("tablor", kPassword);
    }

    TdsResponder first;
    TdsResponder second;
};

TEST_F(SqlServerWindow, TwoServersComparedWithThePasswordIntactAndUnseen) {
    AddConnectionEntry(ServerOf(first), "Sales", "tablor", QString::fromStdString(kPassword));
    AddConnectionEntry(ServerOf(second), "SalesNext", "tablor", QString::fromStdString(kPassword));
    const std::string one = ServerOf(first).toStdString() + ".Sales";
    const std::string two = ServerOf(second).toStdString() + ".SalesNext";
    EXPECT_EQ(CompareEntries(), QStringList({QString::fromStdString(one), QString::fromStdString(two)}));
    Compare();

    const std::vector<std::string> expected = {
        "OrderTotal|Function|" + two + "||Routine was not found on " + two,
        "Orders|Table|" + two + "||Table was not found on " + two,
        "PK_Invoices|Constraint|" + one + "||Constraint was not found on " + one,
        "PlaceOrder|Procedure|" + one + "||Routine was not found on " + one,
        "Invoices|Table|" + one + "||Table was not found on " + one,
        "Email|Field|" + one +
            "|Customers|The field Email was not found on the table Customers on the object " + one +
            ", TYPE: nvarchar SIZE: 100",
    };
    EXPECT_THAT(DifferenceRows(), UnorderedElementsAreArray(expected))
        << ::testing::PrintToString(prompt.Texts());
    ASSERT_FALSE(prompt.messages.empty());
    EXPECT_EQ(prompt.messages.back().text, "6 difference(s) found between the two objects!");
    EXPECT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(Window().ComparedNames().first.toStdString(), one);
    EXPECT_EQ(Window().ComparedNames().second.toStdString(), two);

    for (const TdsResponder* server : {&first, &second}) {
        const auto login = server->lastLogin();
        ASSERT_TRUE(login.has_value());
        EXPECT_EQ(login->user, "tablor");
        EXPECT_EQ(login->password, kPassword);
        EXPECT_FALSE(login->integrated);
    }
    EXPECT_EQ(first.lastLogin()->database, "Sales");
    EXPECT_EQ(second.lastLogin()->database, "SalesNext");
    for (const ConnectionSettings& opened : driver->opened)
        EXPECT_EQ(opened.engine, DatabaseEngine::SqlServer);

    const QString password = QString::fromStdString(kPassword);
    for (const QString& text : ShownTexts()) EXPECT_FALSE(text.contains(password)) << text.toStdString();
    ExpectIdle();
}

TEST_F(SqlServerWindow, AWrongPasswordShowsTheMaskedConnectionText) {
    AddConnectionEntry(ServerOf(first), "Sales", "tablor", "wrong;pass");
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    Window().RefreshSnapShotList();
    AddSnapShotEntry("shop-v1.snp");
    Compare();

    ASSERT_EQ(prompt.messages.size(), 1u);
    // The driver's own words follow the connection text.
    EXPECT_THAT(
        prompt.messages[0].text,
        ::testing::StartsWith("Error opening the connection! Details:Provider=SQLOLEDB.1;Persist Security "
                              "Info=False;User ID=tablor;password=****;Initial Catalog=Sales;Data Source=" +
                              ServerOf(first).toStdString() + "\n"));
    EXPECT_THAT(prompt.messages[0].text, ::testing::HasSubstr("Login failed"));
    EXPECT_EQ(prompt.messages[0].title, "Error");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_TRUE(first.queries().empty());
    EXPECT_EQ(Differences().rowCount(), 0);
    for (const QString& text : ShownTexts()) EXPECT_FALSE(text.contains("wrong;pass")) << text.toStdString();
    ExpectIdle();
}

// A driver that crashes takes down its reader only: the window says the connection failed and
// goes on working.
TEST_F(SqlServerWindow, ADriverThatCrashesLeavesTheWindowWorking) {
    TempFolder configuration;
    configuration.Write("odbcinst.ini", std::string("[Crash]\nDriver=") + TABLOR_CRASH_DRIVER + "\n");
    ::setenv("ODBCSYSINI", configuration.Path().c_str(), 1);
    OdbcOptions drivers = PostgresServer::Driver();
    drivers.sqlServerDriver = "Crash";
    driver = std::make_shared<RecordingReader>(drivers);
    reader = driver;
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    Window().RefreshSnapShotList();
    AddConnectionEntry(ServerOf(first), "Sales", "tablor", "pw");
    AddSnapShotEntry("shop-v1.snp");
    Compare();
    ::unsetenv("ODBCSYSINI");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_THAT(prompt.messages[0].text, ::testing::StartsWith("Error opening the connection! Details:"));

    Click("btnClear");
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Compare();
    EXPECT_GT(Differences().rowCount(), 0);
    ExpectIdle();
}

// Counts the paints of the widget it watches.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// A server gone quiet holds the read until Cancel (or Esc) ends it within 200 ms, at a silent
// login, after the login or mid-result, with one live side or two: the window keeps painting
// meanwhile, and afterwards everything is as it was before the command.
TEST_F(SqlServerWindow, CancelEndsAReadOnAQuietServerAndLeavesEverythingAsItWas) {
    const std::string columns = SchemaQueries::For(DatabaseEngine::SqlServer).columns;
    struct Case {
        const char* name;
        std::function<void(TdsResponder&)> quiet;
        // True once the read waits on the quiet server.
        std::function<bool(const TdsResponder&)> waiting;
        bool byEscape;
        bool twoLiveSides;
    };
    const auto silentLogin = [](TdsResponder& s) { s.setSilentAfterAccept(true); };
    const auto connected = [](const TdsResponder& s) { return s.connectionCount() > 0; };
    const auto silentAfterLogin = [](TdsResponder& s) { s.setSilentAfterLogin(true); };
    const auto loggedIn = [](const TdsResponder& s) { return s.loginCount() > 0; };
    const auto stallMidResult = [&](TdsResponder& s) { s.stallAfterRows(columns, 1); };
    const auto reading = [&](const TdsResponder& s) {
        const auto sent = s.queries();
        return std::find(sent.begin(), sent.end(), columns) != sent.end();
    };
    const Case cases[] = {
        {"silent login", silentLogin, connected, false, false},
        {"quiet after the login", silentAfterLogin, loggedIn, false, false},
        {"quiet in the middle of a result", stallMidResult, reading, false, false},
        {"quiet in the middle of a result, Esc", stallMidResult, reading, true, false},
        {"two silent logins", silentLogin, connected, false, true},
        {"two quiet after the login", silentAfterLogin, loggedIn, false, true},
        {"two quiet in the middle of a result", stallMidResult, reading, false, true},
    };
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    Window().RefreshSnapShotList();
    gui::Main& window = ShownWindow();
    PaintCounter counter;
    QFrame& panel = Widget<QFrame>(window, "WorkingPanel");
    panel.installEventFilter(&counter);
    auto* cancel = window.findChild<QPushButton*>("btnCancelRead");
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), "Cancel");

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TdsResponder quiet, other;
        Catalogue sales;
        sales.tables = {{"Orders", {{"OrderID", "int", {}}, {"Note", "varchar", 20}}}};
        for (TdsResponder* server : {&quiet, &other}) {
            sales.ScriptInto(*server);
            c.quiet(*server);
        }
        const auto waiting = [&] { return c.waiting(quiet) && (!c.twoLiveSides || c.waiting(other)); };

        Click("btnClear");
        AddSnapShotEntry("shop-v1.snp");
        AddSnapShotEntry("shop-v2.snp");
        Compare();
        Click("btnClear");
        if (c.twoLiveSides)
            AddConnectionEntry(ServerOf(other), "Sales", "tablor", "secret");
        else
            AddSnapShotEntry("shop-v1.snp");
        AddConnectionEntry(ServerOf(quiet), "Sales", "tablor", "secret");
        const auto rows = DifferenceRows();
        const auto entries = CompareEntries();
        const auto snapshots = SnapShotList();
        const auto names = window.ComparedNames();
        const long snapshotSources = window.Workspace().SnapShots->Count();
        const std::string firstSource = window.Workspace().SnapShots->Item(1)->FileName();
        prompt.messages.clear();

        // Once the read waits on the server, the window must still paint; then Cancel.
        QElapsedTimer sinceCancel;
        int paintsWhileReading = 0;
        QTimer poke;
        poke.setInterval(10);
        QObject::connect(&poke, &QTimer::timeout, [&] {
            panel.update();
            if (sinceCancel.isValid() || !waiting()) return;
            if (counter.paints == 0) return;  // not painted since the read began
            paintsWhileReading = counter.paints;
            sinceCancel.start();
            if (c.byEscape)
                QTest::keyClick(&window, Qt::Key_Escape);
            else
                cancel->click();
        });
        counter.paints = 0;
        poke.start();
        Compare();
        const qint64 endedAfter = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
        poke.stop();

        EXPECT_GT(paintsWhileReading, 0);
        ASSERT_GE(endedAfter, 0);
        EXPECT_LT(endedAfter, 200);
        EXPECT_THAT(RunningReaders(), ::testing::IsEmpty());
        std::cerr << c.name << ": the read ended " << endedAfter << " ms after Cancel\n";
        EXPECT_TRUE(prompt.messages.empty()) << ::testing::PrintToString(prompt.Texts());
        EXPECT_EQ(DifferenceRows(), rows);
        EXPECT_EQ(CompareEntries(), entries);
        EXPECT_EQ(SnapShotList(), snapshots);
        EXPECT_EQ(window.ComparedNames(), names);
        EXPECT_EQ(window.Workspace().SnapShots->Count(), snapshotSources);
        EXPECT_EQ(window.Workspace().SnapShots->Item(1)->FileName(), firstSource);
        EXPECT_EQ(window.Workspace().Connections->Count(), 0);
        EXPECT_FALSE(cancel->isEnabled());
        ExpectIdle();
    }
}

}  // namespace
}  // namespace tablor::testing

// The About box with its System Info window, and the help window.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>

#include "GuiTestSupport.hpp"
#include "shell/HelpWindow.hpp"
#include "shell/SystemInfo.hpp"
#include "shell/frmAbout.hpp"

namespace tablor::testing {
namespace {

using gui::frmAbout;
using gui::Main;
using gui::SystemInfo;
using gui::SystemInfoSources;

class AboutBox : public GuiTest {};

TEST_F(AboutBox, ShowsTheTitleVersionDescriptionDisclaimerAndButtons) {
    frmAbout box(prompt);
    EXPECT_EQ(box.windowTitle(), "About Quennet Tablor");
    EXPECT_EQ(box.lblTitle->text(), "Tablor");
    EXPECT_EQ(box.lblVersion->text(), "Version " TABLOR_VERSION);
    EXPECT_EQ(
        box.lblDescription->text(),
        "The Quennet Tablor application will allow you to compare the structure of two SQL server databases "
        "and display all the differences between them.");
    EXPECT_GT(box.lblDisclaimer->text().size(), 40);
    EXPECT_EQ(box.cmdOK->text(), "OK");
    EXPECT_EQ(box.cmdSysInfo->text(), "&System Info...");
    EXPECT_FALSE(box.picIcon->pixmap().isNull());
    EXPECT_NE(box.Line1, nullptr);

    EXPECT_EQ(gui::VersionCaption("1.1.1"), "Version 1.1.1");
    EXPECT_EQ(gui::VersionCaption("2.10.03"), "Version 2.10.3");
    EXPECT_EQ(gui::VersionCaption("3"), "Version 3.0.0");
}

TEST_F(AboutBox, OpensModalOverTheMainWindowCentredAndOkClosesIt) {
    hooks.showAbout = [](Main& window) { gui::ShowAbout(&window, window.SourcePrompt()); };
    Main& window = ShownWindow();

    bool shown = false;
    const QWidget* owner = nullptr;
    Qt::WindowModality modality = Qt::NonModal;
    QPoint offCentre;
    QTimer::singleShot(0, [&] {
        // The box lives only while it is shown: everything is noted here.
        auto* box = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        shown = box->isVisible();
        owner = box->parentWidget();
        modality = box->windowModality();
        offCentre = box->frameGeometry().center() - box->screen()->geometry().center();
        box->cmdOK->click();
    });
    // Should the box not be found, it must not hold the test up.
    QTimer::singleShot(5000, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    Trigger("mnuAbout");

    ASSERT_TRUE(shown);
    EXPECT_EQ(owner, &window);
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_LE(std::abs(offCentre.x()), 1);
    EXPECT_LE(std::abs(offCentre.y()), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(AboutBox, SystemInfoShowsTheFactsOrSaysTheyAreUnavailable) {
    frmAbout unavailable(prompt, nullptr, [] { return std::optional<SystemInfo>(); });
    unavailable.cmdSysInfo->click();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::None);
    EXPECT_EQ(prompt.messages[0].buttons, PromptButtons::Ok);
    EXPECT_TRUE(prompt.messages[0].title.empty());
    EXPECT_TRUE(unavailable.findChildren<gui::SystemInfoWindow*>().isEmpty());

    SystemInfo sample{
        "Debian GNU/Linux 12", "Xeon", "16000 MB total", "6.4.2", {"FreeTDS", "PostgreSQL Unicode"}};
    frmAbout box(prompt, nullptr, [&] { return std::optional<SystemInfo>(sample); });
    box.cmdSysInfo->click();
    const auto windows = box.findChildren<gui::SystemInfoWindow*>();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(windows[0]->isVisible());
    EXPECT_EQ(windows[0]->lvInfo->findItems("PostgreSQL Unicode", Qt::MatchExactly, 1).size(), 1);
    EXPECT_EQ(prompt.messages.size(), 1u);
}

TEST_F(AboutBox, SystemFactsComeFromProcAndTheOdbcInstallersRegistry) {
    TempFolder files;
    SystemInfoSources sources;
    sources.cpuInfo =
        QString::fromStdString(files.Write("cpuinfo",
                                           "processor\t: 0\nmodel name\t: Test CPU @ 2.00GHz\n\nprocessor\t: "
                                           "1\nmodel name\t: Test CPU @ 2.00GHz\n"));
    sources.memInfo = QString::fromStdString(
        files.Write("meminfo", "MemTotal:       16384000 kB\nMemAvailable:    8192000 kB\n"));
    sources.odbcInstFiles = {
        QString::fromStdString(files.Write("odbcinst.ini",
                                           "[ODBC]\nTrace=No\n\n[FreeTDS]\nDriver=libtdsodbc.so\n"
                                           "[PostgreSQL Unicode]\nDriver=psqlodbcw.so\n")),
        QString::fromStdString(files.Write("user.ini", "[FreeTDS]\nDriver=/opt/tds.so\n[ My Driver ]\n")),
        QString::fromStdString(files.File("absent.ini"))};

    const auto info = gui::ReadSystemInfo(sources);
    ASSERT_TRUE(info.has_value());
    EXPECT_TRUE(info->processor.startsWith("Test CPU @ 2.00GHz (2 logical processors"))
        << info->processor.toStdString();
    EXPECT_EQ(info->memory, "16000 MB total, 8000 MB available");
    EXPECT_EQ(info->qtVersion, QString::fromLatin1(qVersion()));
    EXPECT_FALSE(info->operatingSystem.isEmpty());
    EXPECT_EQ(info->odbcDrivers, QStringList({"FreeTDS", "PostgreSQL Unicode", "My Driver"}));

    sources.memInfo = QString::fromStdString(files.File("no-meminfo"));
    ASSERT_TRUE(gui::ReadSystemInfo(sources).has_value());
    EXPECT_EQ(gui::ReadSystemInfo(sources)->memory, "unknown");
    sources.cpuInfo = QString::fromStdString(files.File("no-cpuinfo"));
    EXPECT_FALSE(gui::ReadSystemInfo(sources).has_value());

    // The registry is found where unixODBC looks for it.
    ::setenv("ODBCSYSINI", files.Path().c_str(), 1);
    ::setenv("ODBCINSTINI", "user.ini", 1);
    const QStringList located = SystemInfoSources::OdbcInstFiles();
    ::unsetenv("ODBCSYSINI");
    ::unsetenv("ODBCINSTINI");
    ASSERT_FALSE(located.isEmpty());
    EXPECT_EQ(located[0].toStdString(), files.File("user.ini"));
    EXPECT_EQ(SystemInfoSources::OdbcInstFiles().value(0), "/etc/odbcinst.ini");
}

class HelpPage : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        hooks.showHelp = [](Main& window) { gui::ShowHelp(&window); };
    }
    static QList<gui::HelpWindow*> HelpWindows(Main& window) {
        return window.findChildren<gui::HelpWindow*>();
    }
};

TEST_F(HelpPage, ButtonAndMenuOpenTheInstalledPageInOneWindowAndAMissingPageShowsNothing) {
    Main& window = ShownWindow();
    Click("btnHelp");
    std::filesystem::create_directory(Home() + "/help.html");  // not a page either
    Trigger("mnuHelpContents");
    EXPECT_TRUE(HelpWindows(window).isEmpty());
    EXPECT_TRUE(prompt.messages.empty());

    std::filesystem::remove(Home() + "/help.html");
    std::filesystem::copy_file(TABLOR_HELP_PAGE, Home() + "/help.html");
    Click("btnHelp");
    ASSERT_EQ(HelpWindows(window).size(), 1);
    gui::HelpWindow* help = HelpWindows(window).front();
    EXPECT_TRUE(help->isVisible() && help->isWindow());
    const QString text = help->Browser->toPlainText();
    for (const char* topic : {"Comparing two databases", "Snapshots", "The report", "The command line",
                              "The snapshot file format", "The structure viewer", "Keys"})
        EXPECT_TRUE(text.contains(topic)) << topic;

    help->hide();
    Trigger("mnuHelpContents");
    EXPECT_EQ(HelpWindows(window).size(), 1);
    EXPECT_TRUE(help->isVisible());
}

TEST(HelpPageText, TheWindowsServerFormsAreGivenWhereTheWindowIsDescribed) {
    QFile file(TABLOR_HELP_PAGE);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QTextDocument page;
    page.setHtml(QString::fromUtf8(file.readAll()));
    const QString text = page.toPlainText();
    const qsizetype from = text.indexOf("A live database");
    const QString window = text.mid(from, text.indexOf("A snapshot", from) - from);
    for (const char* form : {"postgresql://HOST[:PORT]", "host\\instance", "host,port"})
        EXPECT_TRUE(window.contains(form)) << form;
}

}  // namespace
}  // namespace tablor::testing

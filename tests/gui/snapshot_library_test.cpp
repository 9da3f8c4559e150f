// Saving, deleting and re-listing snapshot files from the main window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <filesystem>

#include "GuiTestSupport.hpp"

namespace tablor::testing {
namespace {

using gui::Main;

class SnapshotLibrary : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        connector->databases["Sales"].Table("Orders", {{"Id", "int"}, {"Note", "varchar"}}).View("vOrders");
    }
    void FillConnection(const QString& server = "SRV01", const QString& database = "Sales") {
        Find<QComboBox>("txtServer").setEditText(server);
        Find<QLineEdit>("txtDatabase").setText(database);
        Find<QLineEdit>("txtPassword").setText("pw-XYZZY");
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(SnapShotFile(name)); }
    void ExpectIdle() {
        EXPECT_FALSE(Window().IsBusy());
        EXPECT_TRUE(Find<QFrame>("WorkingPanel").isHidden());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
};

TEST_F(SnapshotLibrary, SaveAsksForANameAndWritesTheLiveStructure) {
    FillConnection();
    prompt.Type("sales-2026");
    QString statusWhileReading;
    bool panelWhileReading = false;
    connector->onRow = [&] {
        statusWhileReading = Find<QLabel>("lblStatus").text();
        panelWhileReading =
            Find<QFrame>("WorkingPanel").isVisible() || !Find<QFrame>("WorkingPanel").isHidden();
    };
    Click("btnSaveSnapShot");

    ASSERT_EQ(prompt.inputRequests.size(), 1u);
    EXPECT_EQ(prompt.inputRequests[0].prompt, "Please enter a name for this snapshot");
    EXPECT_EQ(prompt.inputRequests[0].title, "Save Snapshot");
    EXPECT_EQ(prompt.inputRequests[0].proposed, "SRV01");
    EXPECT_EQ(statusWhileReading, "Creating snapshot of SRV01->Sales");
    EXPECT_TRUE(panelWhileReading);
    ASSERT_TRUE(Exists("sales-2026.snp"));
    const std::string text = TempFolder::Read(SnapShotFile("sales-2026.snp"));
    EXPECT_EQ(text.substr(0, text.find('\r')), "SRV01*Sales*sa*");
    EXPECT_NE(text.find(":Orders\r\nId*int*\r\nNote*varchar*50\r\n"), std::string::npos);
    EXPECT_EQ(text.find("XYZZY"), std::string::npos);
    EXPECT_EQ(SnapShotList(), QStringList({"sales-2026.snp"}));
    EXPECT_EQ(prompt.Texts(),
              std::vector<std::string>{"The snapshot was saved as " + SnapShotFile("sales-2026.snp") + "."});
    EXPECT_EQ(Window().SelectedSnapShot(), "sales-2026.snp");
    ASSERT_EQ(connector->opened.size(), 1u);
    EXPECT_EQ(connector->opened[0].password, "pw-XYZZY");
    EXPECT_EQ(Window().Workspace().Connections->Count(), 1);
    ExpectIdle();
    EXPECT_TRUE(Find<QLabel>("lblStatus").text().isEmpty() || Find<QFrame>("WorkingPanel").isHidden());
}

TEST_F(SnapshotLibrary, SaveTurnsSeparatorsIntoDashesAndAddsTheExtension) {
    FillConnection();
    prompt.Type("Sales\\2024").Type("x.snp").Type("../up/and away");
    for (int i = 0; i < 3; ++i) Click("btnSaveSnapShot");
    EXPECT_TRUE(Exists("Sales-2024.snp"));
    EXPECT_TRUE(Exists("x.snp.snp"));
    // "/" would lead out of the folder on this system: it is turned into "-" as well.
    EXPECT_TRUE(Exists("..-up-and away.snp"));
    EXPECT_EQ(SnapShotList(), QStringList({"..-up-and away.snp", "Sales-2024.snp", "x.snp.snp"}));

    // A cancelled box or an empty answer (proposed for an empty server) writes nothing.
    FillConnection("");
    prompt.Type(std::nullopt).Type("");
    Click("btnSaveSnapShot");
    Click("btnSaveSnapShot");
    EXPECT_EQ(prompt.inputRequests.back().proposed, "");
    EXPECT_EQ(connector->opened.size(), 3u);
    EXPECT_EQ(SnapShotList().size(), 3);
    EXPECT_EQ(prompt.messages.size(), 3u);
    ExpectIdle();
}

TEST_F(SnapshotLibrary, SavingOverAnExistingSnapshotAsksOnce) {
    WriteSnapShot("sales.snp", "old");
    FillConnection();
    prompt.Type("sales").Answer(PromptAnswer::No);
    Click("btnSaveSnapShot");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text, "This snapshot already exists! Replace with new one?");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Question);
    EXPECT_EQ(prompt.messages[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(TempFolder::Read(SnapShotFile("sales.snp")), "old");
    ExpectIdle();

    prompt.Type("sales").Answer(PromptAnswer::Yes);
    Click("btnSaveSnapShot");
    EXPECT_EQ(prompt.messages.size(), 3u);
    EXPECT_NE(TempFolder::Read(SnapShotFile("sales.snp")), "old");
    ExpectIdle();
}

TEST_F(SnapshotLibrary, AnUnreadableLiveSourceShowsItsOwnMessageAndWritesNothing) {
    FillConnection("SRV01", "Nowhere");
    prompt.Type("lost");
    Click("btnSaveSnapShot");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text.rfind("Error opening the connection! Details:", 0), 0u);
    EXPECT_EQ(prompt.messages[0].title, "Error");
    EXPECT_EQ(prompt.messages[0].text.find("XYZZY"), std::string::npos);
    EXPECT_FALSE(Exists("lost.snp"));

    connector->failQueries = true;
    FillConnection();
    prompt.Type("lost");
    Click("btnSaveSnapShot");
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[1].title, "Error retriving connection data");
    EXPECT_FALSE(Exists("lost.snp"));
    ExpectIdle();
}

TEST_F(SnapshotLibrary, AWriteFailureIsReportedAsAWarning) {
    // A folder where the file should go cannot be replaced by it.
    std::filesystem::create_directories(SnapShotFile("blocked.snp"));
    FillConnection();
    prompt.Type("blocked");
    Click("btnSaveSnapShot");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_EQ(prompt.messages[0].buttons, PromptButtons::Ok);
    EXPECT_NE(prompt.messages[0].text.find("blocked.snp"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(SnapShotFile("blocked.snp")));

    // A name the snapshot format cannot hold is refused the same way.
    connector->databases["Sales"].Table("T2", {{"Bad*Column", "int"}});
    prompt.Type("starred");
    Click("btnSaveSnapShot");
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[1].icon, PromptIcon::Warning);
    EXPECT_FALSE(Exists("starred.snp"));
    ExpectIdle();
}

TEST_F(SnapshotLibrary, DeleteAsksFirstAndRemovesTheFile) {
    WriteSnapShot("a.snp", "x");
    WriteSnapShot("b.snp", "x");
    Click("btnDelete");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text, "Please select a snapshot file");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_EQ(prompt.messages[0].buttons, PromptButtons::Ok);

    SelectSnapShot("a.snp");
    prompt.Answer(PromptAnswer::No);
    Click("btnDelete");
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[1].text, "Are you sure you want to permanently delete a.snp?");
    EXPECT_EQ(prompt.messages[1].icon, PromptIcon::Warning);
    EXPECT_EQ(prompt.messages[1].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompt.messages[1].defaultAnswer, PromptAnswer::No);
    EXPECT_TRUE(Exists("a.snp"));

    SelectSnapShot("a.snp");
    prompt.Answer(PromptAnswer::Yes);
    Click("btnDelete");
    EXPECT_FALSE(Exists("a.snp"));
    EXPECT_EQ(SnapShotList(), QStringList({"b.snp"}));
}

TEST_F(SnapshotLibrary, TheListIsReadAgainOnlyWhenAsked) {
    WriteSnapShot("gone.snp", "x");
    AddSnapShotEntry("gone.snp");
    WriteSnapShot("copied.snp", "x");
    std::filesystem::remove(SnapShotFile("gone.snp"));
    EXPECT_EQ(SnapShotList(), QStringList({"gone.snp"}));
    Trigger("mnuRefreshList");
    EXPECT_EQ(SnapShotList(), QStringList({"copied.snp"}));
    // Deleting a file already gone just reads the list again; comparison entries stay.
    WriteSnapShot("later.snp", "x");
    Find<QListWidget>("FLSnapShots").addItem("gone.snp");
    SelectSnapShot("gone.snp");
    Click("btnDelete");
    EXPECT_EQ(SnapShotList(), QStringList({"copied.snp", "later.snp"}));
    EXPECT_EQ(CompareEntries(), QStringList({"gone.snp"}));
}

}  // namespace
}  // namespace tablor::testing

// A snapshot folder that is missing, a file, or read-only: the window starts and lists what it
// can; a save says what is wrong before it reads the database, and nothing there is lost.
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLineEdit>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>

#include "FileModesBind.hpp"
#include "GuiTestSupport.hpp"
#include "workbench/DifferencesModel.hpp"

namespace tablor::testing {
namespace {

namespace fs = std::filesystem;

class HostileSnapshotFolder : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        connector->databases["Sales"].Table("Orders", {{"Id", "int"}});
        folder = Home() + "/SnapShots";
    }
    void TearDown() override {
        std::error_code ignored;
        if (fs::is_directory(folder))
            fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        GuiTest::TearDown();
    }

    void Save(const std::string& name) {
        Find<QComboBox>("txtServer").setEditText("SRV01");
        Find<QLineEdit>("txtDatabase").setText("Sales");
        prompt.Type(name);
        Click("btnSaveSnapShot");
    }
    void ExpectIdle() {
        EXPECT_FALSE(Window().IsBusy());
        EXPECT_TRUE(Find<QFrame>("WorkingPanel").isHidden());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
    std::string Cannot(const std::string& why) const { return "The snapshot cannot be saved: " + why; }

    std::string folder;
};

TEST_F(HostileSnapshotFolder, AFileInItsPlaceIsLeftAlone) {
    {
        std::FILE* file = std::fopen(folder.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("precious", file);
        std::fclose(file);
    }
    EXPECT_TRUE(SnapShotList().isEmpty());
    Trigger("mnuRefreshList");
    EXPECT_TRUE(SnapShotList().isEmpty());
    EXPECT_TRUE(prompt.messages.empty());

    Save("sales");
    ASSERT_EQ(prompt.Texts(), std::vector<std::string>{Cannot(folder + " is not a folder.")});
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    // Told before the database was read.
    EXPECT_TRUE(connector->opened.empty());
    EXPECT_EQ(TempFolder::Read(folder), "precious");
    ExpectIdle();
}

TEST_F(HostileSnapshotFolder, AMissingFolderIsMadeWhenItCanBe) {
    // Gone after start: the save makes it again.
    Window();
    fs::remove_all(folder);
    Save("sales");
    EXPECT_EQ(prompt.Texts(),
              std::vector<std::string>{"The snapshot was saved as " + folder + "/sales.snp."});
    EXPECT_EQ(SnapShotList(), QStringList({"sales.snp"}));
    prompt.messages.clear();

    // Under a file it cannot be made: the window starts empty and the save says why.
    Restart();
    const std::string blocker = Home() + "/blocker";
    {
        std::FILE* file = std::fopen(blocker.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
    }
    ::setenv("TABLOR_HOME", (blocker + "/home").c_str(), 1);
    EXPECT_TRUE(SnapShotList().isEmpty());
    EXPECT_TRUE(prompt.messages.empty());
    Save("sales");
    ASSERT_EQ(prompt.Texts(), std::vector<std::string>{Cannot("Path not found (" + blocker +
                                                              "/home/SnapShots: Not a directory).")});
    EXPECT_EQ(connector->opened.size(), 1u);  // the first save's read only

    // Nor through another user's link in a shared sticky folder.
    Restart();
    prompt.messages.clear();
    const std::string shared = Home() + "/shared";
    fs::create_directories(Home() + "/elsewhere");
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    fs::create_directory_symlink(Home() + "/elsewhere", shared + "/link");
    if (::lchown((shared + "/link").c_str(), 65534, 65534) != 0) GTEST_SKIP() << "links cannot be given away";
    ::setenv("TABLOR_HOME", (shared + "/link/home").c_str(), 1);
    Save("sales");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_NE(prompt.messages[0].text.find("Permission denied"), std::string::npos)
        << prompt.messages[0].text;
    EXPECT_TRUE(fs::is_empty(Home() + "/elsewhere"));
    ExpectIdle();
}

TEST_F(HostileSnapshotFolder, AReadOnlyFolderIsReadButNotChanged) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    FileModesBind bind;
    if (!FileModesBind::Holds(Home())) GTEST_SKIP() << "file modes cannot be made to bind on this system";
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);

    EXPECT_EQ(SnapShotList(), QStringList({"shop-v1.snp", "shop-v2.snp"}));
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Click("btnCompare");
    EXPECT_GT(Differences().rowCount(), 0);
    prompt.messages.clear();

    Save("sales");
    ASSERT_EQ(prompt.Texts(),
              std::vector<std::string>{
                  Cannot("the folder " + folder + " does not accept new files (Permission denied).")});
    EXPECT_TRUE(connector->opened.empty());

    SelectSnapShot("shop-v1.snp");
    prompt.Answer(PromptAnswer::Yes);
    Click("btnDelete");
    ASSERT_EQ(prompt.messages.size(), 3u);
    EXPECT_EQ(prompt.messages[2].text, "The snapshot shop-v1.snp could not be deleted (Permission denied).");
    EXPECT_EQ(prompt.messages[2].icon, PromptIcon::Warning);
    EXPECT_EQ(SnapShotList(), QStringList({"shop-v1.snp", "shop-v2.snp"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    ExpectIdle();
}

}  // namespace
}  // namespace tablor::testing

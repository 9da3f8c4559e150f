// A settings store that is damaged, unreadable or not a file: the window starts with no
// remembered servers, says why, and leaves what it cannot write as it found it.
#include <sys/stat.h>

#include <QComboBox>
#include <QSettings>
#include <filesystem>

#include "FileModesBind.hpp"
#include "GuiTestSupport.hpp"
#include "workbench/ServerMemory.hpp"

namespace tablor::testing {
namespace {

namespace fs = std::filesystem;

class HostileSettings : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        path = gui::ServerMemory::FileName().toStdString();
        // The window finds its file, in a folder named after the program, without opening it.
        ASSERT_EQ(path, gui::ServerMemory::Store().fileName().toStdString());
        ASSERT_EQ(fs::path(path).parent_path().filename(), "tablor");
        folder = fs::path(path).parent_path().string();
    }
    void TearDown() override {
        // The next test's set-up opens the store: it must find an ordinary one.
        std::error_code ignored;
        if (fs::is_directory(folder))
            fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
        fs::create_directories(folder, ignored);
        GuiTest::TearDown();
    }

    void WriteSettings(const std::string& bytes) {
        fs::remove_all(path);
        fs::create_directories(folder);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    std::vector<std::string> StartMessages() {
        Window();
        return prompt.Texts();
    }
    std::string Damaged() const {
        return "The settings file " + path +
               " is damaged; the list of servers starts empty, and the file is written anew when the window "
               "closes.";
    }
    std::string NotSaved() const { return "The list of servers could not be saved in " + path; }

    std::string path;
    std::string folder;
};

TEST_F(HostileSettings, DamagedFilesStartEmptyAndAreWrittenAnewOnClose) {
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919 + 13) % 256);
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"text", "this is not\nan ini file at all\n[[[\n"},
        {"binary", binary},
        {"a sound key among stray lines", "[Settings]\nServer=A~B~END\nstray line\n"},
        {"a value of an unknown type", "[Settings]\nServer=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x5QFoo\\0)\n"},
        {"a list claiming two billion entries",
         "[Settings]\nServer=@Variant(\\0\\0\\0\\xb\\0\\x7f\\xff\\xff\\xf0)\n"},
        {"a list instead of a text", "[Settings]\nServer=A,B~END,C\n"},
    };
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        Restart();
        prompt.messages.clear();
        WriteSettings(bytes);
        EXPECT_EQ(StartMessages(), std::vector<std::string>{Damaged()});
        EXPECT_EQ(prompt.messages.at(0).icon, PromptIcon::Warning);
        EXPECT_TRUE(Window().RememberedServers().isEmpty());
        EXPECT_TRUE(Find<QComboBox>("txtServer").currentText().isEmpty());

        Find<QComboBox>("txtServer").addItem("SRV9");
        ShownWindow().close();
        EXPECT_EQ(prompt.messages.size(), 1u);
        // A copy, so that QSettings reads it from disk rather than from what it remembers.
        const std::string copy = Home() + "/copy.ini";
        fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
        QSettings reread(QString::fromStdString(copy), QSettings::IniFormat);
        EXPECT_EQ(reread.value("Settings/Server").toString(), "SRV9~END");
        EXPECT_EQ(reread.status(), QSettings::NoError);
    }
}

TEST_F(HostileSettings, WhatIsNotAFileIsLeftAsItIs) {
    // A folder in the file's place, with something of the user's in it.
    fs::create_directories(path);
    fs::copy_file(TABLOR_EXAMPLES_DIR "/shop-v1.snp", path + "/keep.snp");
    const std::string notAFile =
        "The settings file " + path + " is not a file; the list of servers starts empty.";
    EXPECT_EQ(StartMessages(), std::vector<std::string>{notAFile});
    EXPECT_TRUE(Window().RememberedServers().isEmpty());
    Find<QComboBox>("txtServer").addItem("SRV9");
    ShownWindow().close();
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{notAFile, NotSaved() + ": it is not a file."}));
    EXPECT_EQ(prompt.messages.back().icon, PromptIcon::Warning);
    EXPECT_TRUE(fs::is_regular_file(path + "/keep.snp"));

    // A pipe: opening it to read would wait for a writer that never comes.
    Restart();
    prompt.messages.clear();
    fs::remove_all(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(StartMessages(), std::vector<std::string>{notAFile});
    ShownWindow().close();
    EXPECT_EQ(prompt.Texts().back(), NotSaved() + ": it is not a file.");
    EXPECT_TRUE(fs::is_fifo(path));

    // A file where the settings folder should be: nothing to read, and nowhere to write.
    Restart();
    prompt.messages.clear();
    fs::remove_all(folder);
    {
        std::FILE* file = std::fopen(folder.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("precious", file);
        std::fclose(file);
    }
    EXPECT_TRUE(StartMessages().empty());
    Find<QComboBox>("txtServer").addItem("SRV9");
    ShownWindow().close();
    EXPECT_EQ(prompt.Texts(), std::vector<std::string>{NotSaved() + "."});
    EXPECT_EQ(TempFolder::Read(folder), "precious");
}

TEST_F(HostileSettings, UnreadableFileAndReadOnlyFolder) {
    FileModesBind bind;
    if (!FileModesBind::Holds(Home())) GTEST_SKIP() << "file modes cannot be made to bind on this system";

    // The size is new to QSettings, which would otherwise answer from what it read before.
    WriteSettings("[Settings]\nServer=HIDDEN~END\n; unreadable\n");
    fs::permissions(path, fs::perms::none);
    EXPECT_EQ(StartMessages(),
              std::vector<std::string>{"The settings file " + path +
                                       " could not be read; the list of servers starts empty."});
    EXPECT_TRUE(Window().RememberedServers().isEmpty());

    Restart();
    prompt.messages.clear();
    const std::string kept = "[Settings]\nServer=KEEP~END\n";
    WriteSettings(kept);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_TRUE(StartMessages().empty());
    EXPECT_EQ(Window().RememberedServers(), QStringList({"KEEP"}));
    Find<QComboBox>("txtServer").addItem("NEW");
    ShownWindow().close();
    EXPECT_EQ(prompt.Texts(), std::vector<std::string>{NotSaved() + "."});
    EXPECT_EQ(TempFolder::Read(path), kept);
}

}  // namespace
}  // namespace tablor::testing

// The visual-style manifest: its text, when it is written, and when the program restarts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempFolder.hpp"
#include "support/ManifestWriter.hpp"

namespace tablor::testing {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

class ManifestWriter : public ::testing::Test {
  protected:
    ManifestTarget Target() const {
        ManifestTarget target;
        target.folder = folder.Path();
        target.programName = "tablor";
        target.major = 1;
        target.minor = 2;
        target.revision = 30;
        target.description = "Tablor";
        return target;
    }
    std::string Path() const { return folder.File("tablor.exe.manifest"); }

    TempFolder folder;
    int restarts = 0;
    std::function<void()> restart = [this] { ++restarts; };
};

TEST_F(ManifestWriter, TheTextIsTwentyTwoLinesWithThePlaceholdersFilledIn) {
    const std::vector<std::string> lines = Lines(ManifestText(Target()));
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[0], R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?> )");
    EXPECT_EQ(lines[6], R"(    version="1.2.30.0")");
    EXPECT_EQ(lines[8], R"(    name="tablor.exe"/>)");
    EXPECT_EQ(lines[9], "    <description>Tablor</description>");
    EXPECT_EQ(lines[21], "</assembly>");
    const std::size_t leading[22] = {0, 0, 3, 3, 0, 4, 4, 4, 4, 4, 4, 4, 4, 9, 9, 9, 9, 9, 9, 4, 4, 0};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].find_first_not_of(' '), leading[i]) << i + 1;
        EXPECT_EQ(lines[i].back() == ' ', i <= 2 || i == 4 || i == 5) << i + 1;
    }

    ManifestTarget target = Target();
    target.description.clear();
    EXPECT_EQ(Lines(ManifestText(target))[9], "    <description></description>");
    // A value is put in once, as text: neither a placeholder's name nor markup in it is read.
    target.description = "EXENAME & <Tools>";
    target.programName = "a\"b";
    EXPECT_EQ(Lines(ManifestText(target))[9], "    <description>EXENAME &amp; &lt;Tools&gt;</description>");
    EXPECT_EQ(Lines(ManifestText(target))[8], R"(    name="a&quot;b.exe"/>)");

    EXPECT_EQ(ManifestPath(Target()), Path());
    target.folder = "/";
    EXPECT_EQ(ManifestPath(target), "/a\"b.exe.manifest");
}

TEST_F(ManifestWriter, AMissingManifestIsWrittenAndFollowedByOneRestartWhenAsked) {
    bool restartAfter = true;
    bool overwrite = true;
    EXPECT_FALSE(ApplyVisualStyles(restartAfter, overwrite, Target(), restart));
    EXPECT_FALSE(overwrite);  // forced off, for the caller too
    EXPECT_EQ(TempFolder::Read(Path()), ManifestText(Target()));
    EXPECT_EQ(restarts, 1);
    overwrite = true;  // the restarted program finds it and leaves it
    EXPECT_TRUE(ApplyVisualStyles(restartAfter, overwrite, Target(), restart));
    EXPECT_EQ(restarts, 1);

    std::filesystem::remove(Path());
    restartAfter = false;
    EXPECT_FALSE(ApplyVisualStyles(restartAfter, overwrite, Target(), restart));
    EXPECT_TRUE(std::filesystem::is_regular_file(Path()));
    EXPECT_EQ(restarts, 1);
}

TEST_F(ManifestWriter, AnExistingManifestIsLeftAloneUnlessOverwriteIsAskedWithoutRestart) {
    folder.Write("tablor.exe.manifest", "anything at all");
    for (const bool restartAfter : {true, false}) {
        bool restartFlag = restartAfter;
        bool overwrite = restartAfter;
        EXPECT_TRUE(ApplyVisualStyles(restartFlag, overwrite, Target(), restart));
        EXPECT_EQ(TempFolder::Read(Path()), "anything at all");
    }
    bool restartAfter = false;
    bool overwrite = true;
    EXPECT_TRUE(ApplyVisualStyles(restartAfter, overwrite, Target(), restart));
    EXPECT_TRUE(overwrite);
    EXPECT_EQ(TempFolder::Read(Path()), ManifestText(Target()));
    EXPECT_EQ(restarts, 0);
}

TEST_F(ManifestWriter, AManifestThatCannotBeWrittenIsSilentlyMissingAndNeverRestarts) {
    ManifestTarget target = Target();
    target.folder = folder.File("no such folder");
    bool restartAfter = true;
    bool overwrite = true;
    EXPECT_FALSE(ApplyVisualStyles(restartAfter, overwrite, target, restart));
    EXPECT_FALSE(std::filesystem::exists(ManifestPath(target)));
    EXPECT_EQ(restarts, 0);

    // A folder in the manifest's place counts as present and is left alone.
    std::filesystem::create_directory(Path());
    restartAfter = false;
    overwrite = true;
    EXPECT_TRUE(ApplyVisualStyles(restartAfter, overwrite, Target(), restart));
    EXPECT_TRUE(std::filesystem::is_directory(Path()));
}

TEST_F(ManifestWriter, ThisProgramIsNamedAndVersionedByTheBuild) {
    const ManifestTarget target = ManifestTarget::ThisProgram();
    EXPECT_FALSE(target.programName.empty());
    EXPECT_FALSE(target.folder.empty());
    EXPECT_EQ(std::to_string(target.major) + "." + std::to_string(target.minor) + "." +
                  std::to_string(target.revision),
              TABLOR_VERSION);
    EXPECT_EQ(target.description, "Tablor");
}

}  // namespace
}  // namespace tablor::testing

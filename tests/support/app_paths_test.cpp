// Where the programs find their data and the window its snapshots, from a build folder, an
// install and TABLOR_HOME, laid out in a temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TempFolder.hpp"
#include "support/AppPaths.hpp"

namespace tablor::testing {
namespace {

namespace fs = std::filesystem;

// A folder layout under the temporary folder: "bin/" names a folder, anything else a file.
void Lay(const TempFolder& root, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        const fs::path path = fs::path(root.Path()) / entry;
        if (entry.back() == '/') {
            fs::create_directories(path);
        } else {
            fs::create_directories(path.parent_path());
            root.Write(entry, "x");
        }
    }
}

// Paths given relative to the root; an empty one stays empty.
PathSettings Settings(const TempFolder& root, const std::string& exe, const std::string& tablorHome,
                      const std::string& xdg) {
    const auto under = [&root](const std::string& path) { return path.empty() ? path : root.File(path); };
    return {under(exe), under(tablorHome), xdg.empty() || xdg[0] != '/' ? xdg : root.Path() + xdg,
            root.File("user")};
}

struct Layout {
    const char* name;
    std::vector<std::string> entries;
    std::string exe, tablorHome, xdg;
    std::string dataFolder, snapShotFolder;
};

const std::vector<std::string> kInstall = {"usr/bin/", "usr/share/tablor/template.html",
                                           "usr/share/tablor/SnapShots/shop-v1.snp"};

TEST(AppPaths, FoldersFollowTheLayout) {
    const std::vector<Layout> layouts = {
        {"build folder", {"bin/template.html"}, "bin", "", "", "bin", "bin/SnapShots"},
        {"installed", kInstall, "usr/bin", "", "", "usr/share/tablor", "user/.local/share/tablor/SnapShots"},
        {"installed, XDG_DATA_HOME", kInstall, "usr/bin", "", "/data", "usr/share/tablor",
         "data/tablor/SnapShots"},
        {"installed, relative XDG_DATA_HOME ignored", kInstall, "usr/bin", "", "data", "usr/share/tablor",
         "user/.local/share/tablor/SnapShots"},
        {"installed, TABLOR_HOME wins", kInstall, "usr/bin", "home", "/data", "home", "home/SnapShots"},
        {"build folder, TABLOR_HOME wins",
         {"bin/template.html"},
         "bin",
         "home",
         "",
         "home",
         "home/SnapShots"},
        {"a folder named template.html is no install",
         {"opt/bin/", "opt/share/tablor/template.html/"},
         "opt/bin",
         "",
         "",
         "opt/bin",
         "opt/bin/SnapShots"},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const TempFolder root;
        Lay(root, layout.entries);
        const PathSettings settings = Settings(root, layout.exe, layout.tablorHome, layout.xdg);
        EXPECT_EQ(DataFolder(settings), root.File(layout.dataFolder));
        EXPECT_EQ(SnapShotFolder(settings), root.File(layout.snapShotFolder));
    }
}

// A symbolic link at `at` to `to` (both under the root), belonging to another user or not.
struct Link {
    std::string at, to;
    bool othersLink;
};

struct Preparation {
    const char* name;
    std::vector<std::string> entries;
    std::string exe, tablorHome;
    std::string folder;
    std::vector<std::string> expected;  // the folder's entries afterwards
    std::string xdg;
    std::vector<Link> links;  // planted in "shared/", a sticky folder anyone may write to
};

constexpr uid_t kOtherUser = 65534;

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
        names.push_back(entry->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AppPaths, PreparedSnapShotFolderGetsTheExamplesOnlyWhenNew) {
    std::vector<std::string> installWithExtras = kInstall;
    installWithExtras.push_back("usr/share/tablor/SnapShots/shop-v2.snp");
    installWithExtras.push_back("usr/share/tablor/SnapShots/notes.txt");
    std::vector<std::string> installedUserFolder = kInstall;
    installedUserFolder.push_back("user/.local/share/tablor/SnapShots/mine.snp");

    const std::vector<Preparation> cases = {
        {"installed, first start",
         installWithExtras,
         "usr/bin",
         "",
         "user/.local/share/tablor/SnapShots",
         {"shop-v1.snp", "shop-v2.snp"},
         "",
         {}},
        {"installed, the user's folder is kept as it is",
         installedUserFolder,
         "usr/bin",
         "",
         "user/.local/share/tablor/SnapShots",
         {"mine.snp"},
         "",
         {}},
        {"build folder", {"bin/template.html"}, "bin", "", "bin/SnapShots", {}, "", {}},
        {"TABLOR_HOME gets no examples", kInstall, "usr/bin", "home", "home/SnapShots", {}, "", {}},
        // Nothing is made or copied through another user's link in a shared folder.
        {"another user's link as the data folder's tablor",
         kInstall,
         "usr/bin",
         "",
         "victim",
         {},
         "/shared",
         {{"shared/tablor", "victim", true}}},
        {"another user's link as XDG_DATA_HOME",
         kInstall,
         "usr/bin",
         "",
         "victim",
         {},
         "/shared/data",
         {{"shared/data", "victim", true}}},
        {"the user's own link is followed",
         kInstall,
         "usr/bin",
         "",
         "victim/tablor/SnapShots",
         {"shop-v1.snp"},
         "/shared/data",
         {{"shared/data", "victim", false}}},
    };
    for (const Preparation& preparation : cases) {
        SCOPED_TRACE(preparation.name);
        const TempFolder root;
        Lay(root, preparation.entries);
        fs::create_directories(root.File("shared"));
        fs::create_directories(root.File("victim"));
        ASSERT_EQ(::chmod(root.File("shared").c_str(), 01777), 0);
        for (const Link& link : preparation.links) {
            fs::create_directory_symlink(root.File(link.to), root.File(link.at));
            if (link.othersLink) {
                ASSERT_EQ(::lchown(root.File(link.at).c_str(), kOtherUser, kOtherUser), 0);
            }
        }
        const PathSettings settings =
            Settings(root, preparation.exe, preparation.tablorHome, preparation.xdg);
        PrepareSnapShotFolder(settings);
        EXPECT_TRUE(fs::is_directory(root.File(preparation.folder)));
        EXPECT_EQ(Entries(root.File(preparation.folder)), preparation.expected);
    }
}

TEST(AppPaths, AFileInPlaceOfTheSnapShotFolderIsLeftAlone) {
    const TempFolder root;
    std::vector<std::string> entries = kInstall;
    entries.push_back("user/.local/share/tablor/SnapShots");
    Lay(root, entries);
    PrepareSnapShotFolder(Settings(root, "usr/bin", "", ""));
    EXPECT_EQ(TempFolder::Read(root.File("user/.local/share/tablor/SnapShots")), "x");
}

}  // namespace
}  // namespace tablor::testing

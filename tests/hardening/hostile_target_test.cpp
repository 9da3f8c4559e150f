// Write targets someone else prepared: planted links, shared files, pipes, set-ID files.
// The tests run as root, so "another user" is uid 65534 and the checks must not trust root.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "FileSizeLimit.hpp"
#include "TempFolder.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"

using namespace tablor;
using tablor::testing::TempFolder;

// What each fsync of this program found in its file: a write must reach the disk before the
// new content takes the old one's place.
namespace {
std::vector<std::string>* syncedContents = nullptr;
}  // namespace

extern "C" int fsync(int fd) {
    if (syncedContents != nullptr) {
        // Opened anew: the descriptor itself may be write-only.
        const int reader = ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY | O_CLOEXEC);
        char text[64];
        const ssize_t got = reader >= 0 ? ::read(reader, text, sizeof text) : -1;
        if (got >= 0) syncedContents->emplace_back(text, static_cast<std::size_t>(got));
        if (reader >= 0) ::close(reader);
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

constexpr uid_t kOtherUser = 65534;

bool IsLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

struct stat StatOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

std::size_t EntriesIn(const std::string& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}

}  // namespace

TEST(HostileTarget, FollowsOnlyLinksTheKernelWouldFollowInASharedFolder) {
    struct Case {
        const char* name;
        mode_t folderMode;
        uid_t folderOwner;
        uid_t linkOwner;
        bool linkIsFolder;  // the planted link is a folder on the way, not the file itself
        bool followed;
    };
    const uid_t me = ::geteuid();
    const Case cases[] = {
        {"another user's link in a sticky shared folder", 01777, me, kOtherUser, false, false},
        {"another user's folder link in a sticky shared folder", 01777, me, kOtherUser, true, false},
        {"the user's own link in a sticky shared folder", 01777, me, me, false, true},
        {"the user's own folder link in a sticky shared folder", 01777, me, me, true, true},
        {"the folder owner's link in a sticky shared folder", 01777, kOtherUser, kOtherUser, false, true},
        {"another user's link in a private folder", 0755, me, kOtherUser, false, true},
    };
    for (const Case& c : cases) {
        TempFolder victim, shared;
        const std::string real = victim.Write("real.html", "old");
        ASSERT_EQ(::chmod(shared.Path().c_str(), c.folderMode), 0);
        ASSERT_EQ(::chown(shared.Path().c_str(), c.folderOwner, c.folderOwner), 0);
        const std::string link = shared.File("planted");
        ASSERT_EQ(::symlink((c.linkIsFolder ? victim.Path() : real).c_str(), link.c_str()), 0);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        const std::string target = c.linkIsFolder ? link + "/real.html" : link;

        if (c.followed) {
            EXPECT_NO_THROW(WriteFileAtomically(target, "new")) << c.name;
            EXPECT_EQ(TempFolder::Read(real), "new") << c.name;
        } else {
            try {
                WriteFileAtomically(target, "new");
                ADD_FAILURE() << c.name << ": followed";
            } catch (const TablorError& error) {
                EXPECT_EQ(error.Number(), errors::PermissionDenied) << c.name;
                EXPECT_NE(error.Description().find("symbolic link"), std::string::npos)
                    << error.Description();
            }
            EXPECT_EQ(TempFolder::Read(real), "old") << c.name;
        }
        // Folders are made through a link only where a file would be written through it.
        if (c.linkIsFolder) {
            try {
                EXPECT_TRUE(MakeFolders(link + "/made/below")) << c.name;
                EXPECT_TRUE(c.followed) << c.name << ": followed";
            } catch (const TablorError& error) {
                EXPECT_FALSE(c.followed) << c.name << ": " << error.Description();
                EXPECT_EQ(error.Number(), errors::PermissionDenied) << c.name;
            }
            EXPECT_EQ(std::filesystem::is_directory(victim.File("made/below")), c.followed) << c.name;
            EXPECT_EQ(std::filesystem::exists(victim.File("made")), c.followed) << c.name;
        }
        EXPECT_TRUE(IsLink(link)) << c.name;
    }
}

TEST(HostileTarget, ReplacedAndRewrittenFilesLoseSetIdAndStickyBits) {
    for (const mode_t mode : {mode_t{04755}, mode_t{02750}, mode_t{01644}, mode_t{06777}}) {
        for (const bool hardLinked : {false, true}) {
            TempFolder folder;
            const std::string path = folder.Write("tool", "old");
            if (hardLinked) {
                ASSERT_EQ(::link(path.c_str(), folder.File("other").c_str()), 0);
            }
            ASSERT_EQ(::chmod(path.c_str(), mode), 0);
            WriteFileAtomically(path, "new");
            EXPECT_EQ(StatOf(path).st_mode & 07777, mode & 0777)
                << std::oct << mode << " linked " << hardLinked;
        }
    }
}

TEST(HostileTarget, NewFilesTakeTheUmaskAndRewrittenFilesKeepTheirMode) {
    const mode_t savedMask = ::umask(022);
    for (const mode_t mask : {mode_t{022}, mode_t{077}}) {
        ::umask(mask);
        TempFolder folder;
        const std::string path = folder.File("new.snp");
        WriteFileAtomically(path, "new");
        EXPECT_EQ(StatOf(path).st_mode & 07777, 0666 & ~mask) << std::oct << mask;
    }
    ::umask(022);
    for (const mode_t mode : {mode_t{0600}, mode_t{0640}}) {
        TempFolder folder;
        const std::string path = folder.Write("private.snp", "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        WriteFileAtomically(path, "new");
        EXPECT_EQ(StatOf(path).st_mode & 07777, mode) << std::oct << mode;
    }
    ::umask(savedMask);
}

// A crash or power cut right after a write must find the new content, or the old one kept aside.
TEST(HostileTarget, WrittenContentAndBackupsReachTheDiskFirst) {
    struct Case {
        const char* name;
        bool hardLinked;  // written in place, the old content kept in a backup first
        std::vector<std::string> synced;
    };
    const Case cases[] = {
        {"replaced", false, {"new"}},
        {"written in place", true, {"old", "new"}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string path = folder.Write("data.snp", "old");
        if (c.hardLinked) {
            ASSERT_EQ(::link(path.c_str(), folder.File("other.snp").c_str()), 0);
        }
        std::vector<std::string> synced;
        syncedContents = &synced;
        WriteFileAtomically(path, "new");
        syncedContents = nullptr;
        EXPECT_EQ(synced, c.synced) << c.name;
    }
}

TEST(HostileTarget, HardLinksAndOwnersSurviveAWrite) {
    TempFolder folder;
    const std::string path = folder.Write("shared.html", "old");
    const std::string other = folder.File("other.html");
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    const ino_t inode = StatOf(path).st_ino;
    WriteFileAtomically(path, "new");
    EXPECT_EQ(StatOf(path).st_ino, inode);
    EXPECT_EQ(StatOf(path).st_nlink, 2u);
    EXPECT_EQ(TempFolder::Read(other), "new");

    const std::string owned = folder.Write("theirs.html", "old");
    ASSERT_EQ(::chown(owned.c_str(), kOtherUser, kOtherUser), 0);
    WriteFileAtomically(owned, "new");
    EXPECT_EQ(StatOf(owned).st_uid, kOtherUser);
    EXPECT_EQ(StatOf(owned).st_gid, kOtherUser);
    EXPECT_EQ(TempFolder::Read(owned), "new");
    EXPECT_EQ(EntriesIn(folder.Path()), 3u);  // no backup left behind
}

TEST(HostileTarget, StrategyKeepsWhatARenameWouldLose) {
    struct Case {
        bool exists;
        mode_t mode;
        nlink_t links;
        uid_t owner;
        bool folderWritable;
        bool stream;
        WriteStrategy expected;
    };
    const uid_t me = 1000;
    const Case cases[] = {
        {false, 0, 0, 0, true, false, WriteStrategy::Replace},
        {false, 0, 0, 0, false, false, WriteStrategy::Replace},  // the write reports the folder
        {true, S_IFREG | 0644, 1, me, true, false, WriteStrategy::Replace},
        {true, S_IFREG | 0644, 2, me, true, false, WriteStrategy::InPlaceWithBackup},
        {true, S_IFREG | 0666, 1, kOtherUser, true, false, WriteStrategy::InPlaceWithBackup},
        {true, S_IFREG | 0644, 1, me, false, false, WriteStrategy::InPlaceFromMemory},
        {true, S_IFREG | 0666, 3, kOtherUser, false, false, WriteStrategy::InPlaceFromMemory},
        {true, S_IFCHR | 0666, 1, 0, false, false, WriteStrategy::Device},
        {true, S_IFIFO | 0600, 1, me, true, true, WriteStrategy::Device},  // /dev/stdout into a pipe
        {true, S_IFIFO | 0600, 1, me, true, false, WriteStrategy::Refuse},
        {true, S_IFSOCK | 0600, 1, me, true, false, WriteStrategy::Refuse},
        {true, S_IFDIR | 0755, 2, me, true, false, WriteStrategy::Refuse},
    };
    for (const Case& c : cases) {
        const WriteTarget target{c.exists, c.mode, c.links, c.owner, c.folderWritable, c.stream};
        EXPECT_EQ(ChooseWriteStrategy(target, me), c.expected)
            << std::oct << c.mode << std::dec << " links " << c.links << " owner " << c.owner << " writable "
            << c.folderWritable;
    }
}

TEST(HostileTarget, AFailedWriteInPlaceLeavesTheOldContent) {
    TempFolder folder;
    const std::string path = folder.Write("shared.snp", "old content");
    ASSERT_EQ(::link(path.c_str(), folder.File("other.snp").c_str()), 0);

    {
        const tablor::testing::FileSizeLimit fullDisk(1024);  // the write fails half-way
        EXPECT_THROW(WriteFileAtomically(path, std::string(100000, 'n')), TablorError);
    }

    EXPECT_EQ(TempFolder::Read(folder.File("other.snp")), "old content");
    EXPECT_EQ(EntriesIn(folder.Path()), 2u);
}

TEST(HostileTarget, PipesAndSocketsAreRefusedDevicesAndStandardOutputWritten) {
    ::alarm(60);  // a pipe nobody reads would block for ever
    TempFolder folder;
    const std::string fifo = folder.File("report.html");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = folder.File("socket.html");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    for (const auto& [path, what] : {std::pair{fifo, "named pipe"}, std::pair{socketPath, "socket"}}) {
        try {
            WriteFileAtomically(path, "page");
            ADD_FAILURE() << path;
        } catch (const TablorError& error) {
            EXPECT_NE(error.Description().find(what), std::string::npos) << error.Description();
        }
    }
    ::close(listener);

    EXPECT_NO_THROW(WriteFileAtomically("/dev/null", "page"));
    EXPECT_TRUE(S_ISCHR(StatOf("/dev/null").st_mode));
    // A pipe with a reader, named the way /dev/stdout names standard output.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    WriteFileAtomically("/proc/self/fd/" + std::to_string(ends[1]), "page");
    ::close(ends[1]);
    char got[16] = {};
    EXPECT_EQ(::read(ends[0], got, sizeof got), 4);
    EXPECT_STREQ(got, "page");
    ::close(ends[0]);
    ::alarm(0);
}

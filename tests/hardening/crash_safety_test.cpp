// A save killed or interrupted at any moment leaves the old snapshot or the new one, never a piece of one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "SchemaGenerator.hpp"
#include "TempFolder.hpp"
#include "sources/SnapshotWriter.hpp"
#include "support/FileIO.hpp"

using namespace tablor;
using tablor::testing::TempFolder;

TEST(CrashSafety, KilledWritersLeaveOldOrNewSnapshotWhole) {
    TempFolder folder;
    const std::string path = folder.File("sales.snp");
    tablor::testing::SchemaShape shape;
    shape.tables = 3000;
    const auto [older, newer] = tablor::testing::GenerateSchemaPair(shape, 11);
    const std::string oldText = FormatSnapshot({"SRV", "Sales", "u"}, *older);
    const std::string newText = FormatSnapshot({"SRV", "Sales", "u"}, *newer);
    ASSERT_NE(oldText, newText);

    std::mt19937 random(7);
    int killedMidway = 0;
    for (int round = 0; round < 25; ++round) {
        WriteSnapshot(path, {"SRV", "Sales", "u"}, *older);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) WriteSnapshot(path, {"SRV", "Sales", "u"}, *newer);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::string now = TempFolder::Read(path);
        EXPECT_TRUE(now == oldText || now == newText) << "round " << round << ": " << now.size() << " bytes";
        if (now == oldText) ++killedMidway;
    }
    // Some kills must land before the first rename, or the test proves nothing.
    EXPECT_GT(killedMidway, 0);
}

TEST(CrashSafety, InterruptedWritersLeaveNoTemporaryFileAndTheOldOrNewContentWhole) {
    const std::string oldText(1 << 20, 'o');
    const std::string newText(4 << 20, 'n');
    std::mt19937 random(5);
    for (const bool hardLinked : {false, true}) {  // replaced by a rename, or written in place
        TempFolder folder;
        const std::string path = folder.File("sales.snp");
        int interruptedMidway = 0;
        for (int round = 0; round < 20; ++round) {
            WriteFileAtomically(path, oldText);
            if (hardLinked && round == 0) {
                ASSERT_EQ(::link(path.c_str(), folder.File("other.snp").c_str()), 0);
            }
            // Signals wait until the child has its handlers, so each one lands in the handler.
            sigset_t interrupts, saved;
            sigemptyset(&interrupts);
            sigaddset(&interrupts, SIGINT);
            sigaddset(&interrupts, SIGTERM);
            ::sigprocmask(SIG_BLOCK, &interrupts, &saved);
            const pid_t child = ::fork();
            if (child == 0) {
                InstallInterruptCleanup();
                ::sigprocmask(SIG_SETMASK, &saved, nullptr);
                for (;;) WriteFileAtomically(path, newText);
            }
            ::sigprocmask(SIG_SETMASK, &saved, nullptr);
            ASSERT_GE(child, 0);
            // Every fourth signal goes at once, so that some land before the first write ends
            // however busy the machine is.
            const auto delay = round % 4 == 0 ? 0 : random() % 20000;
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
            ::kill(child, round % 2 == 0 ? SIGTERM : SIGINT);
            int status = 0;
            ::waitpid(child, &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << "round " << round;

            const std::string now = TempFolder::Read(path);
            EXPECT_TRUE(now == oldText || now == newText)
                << "round " << round << ": " << now.size() << " bytes";
            if (now == oldText) ++interruptedMidway;
            for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
                const std::string name = entry.path().filename().string();
                EXPECT_TRUE(name == "sales.snp" || name == "other.snp") << "round " << round << ": " << name;
            }
        }
        // Some signals must land before the first write ends, or the test proves nothing.
        EXPECT_GT(interruptedMidway, 0) << "linked " << hardLinked;
    }
}

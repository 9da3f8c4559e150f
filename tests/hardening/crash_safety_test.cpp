// A save killed at any moment leaves the old snapshot or the new one, never a piece of one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "SchemaGenerator.hpp"
#include "TempFolder.hpp"
#include "sources/SnapshotWriter.hpp"

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

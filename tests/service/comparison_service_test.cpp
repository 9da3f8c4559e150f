// The one road: reading, cancelling and failing as every program sees it.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "ScriptedPrompt.hpp"
#include "TempFolder.hpp"
#include "service/ComparisonService.hpp"

namespace tablor::testing {
namespace {

constexpr std::string_view kShop =
    "srv*shop*sa\r\npk_orders\r\nv_orders\r\nget_order+\r\n:orders\r\nid*int*4\r\ntotal*money*8\r\n:items\r\n"
    "id*int*4\r\n";

// Opens fail with the driver's words; or, blocking, wait until the operation is cancelled and
// then fail as a cut-off link does.
class StubConnector : public DatabaseConnector {
  public:
    explicit StubConnector(bool blockUntilCancelled) : block_(blockUntilCancelled) {}
    std::unique_ptr<DatabaseSession> Open(const ConnectionSettings& settings) override {
        if (!block_) throw DatabaseError("Login failed for user 'sa'.", "28000", 18456);
        std::mutex mutex;
        std::condition_variable woken;
        bool cut = false;
        const auto subscription = settings.cancel->OnCancel([&] {
            std::lock_guard lock(mutex);
            cut = true;
            woken.notify_all();
        });
        entered = true;
        std::unique_lock lock(mutex);
        woken.wait(lock, [&] { return cut; });
        throw DatabaseError("Communication link failure", "08S01");
    }
    std::atomic<bool> entered{false};

  private:
    bool block_;
};

ConnectionSettings Sales() {
    ConnectionSettings settings;
    settings.serverName = "db1";
    settings.databaseName = "Sales";
    settings.userName = "sa";
    settings.password = "pw";
    return settings;
}

class ComparisonServiceTest : public ::testing::Test {
  protected:
    TempFolder folder;
    ScriptedPrompt prompt;
};

// Cancel between rows: the workspace keeps the sources of the last finished command, and nobody
// is asked anything.
TEST_F(ComparisonServiceTest, ACancelledCompareLeavesTheWorkspaceAsItWas) {
    const std::string first = folder.Write("a.snp", kShop);
    const std::string second = folder.Write("b.snp", kShop);
    ComparisonService service(nullptr, prompt);
    service.Compare(SideDescription::Snapshot(first), SideDescription::Snapshot(second));

    CancellationToken cancel;
    int rows = 0;
    const auto cancelLate = [&](std::string_view, long) {
        if (++rows == 4) cancel.Cancel();
    };
    EXPECT_THROW(service.Compare(SideDescription::Snapshot(second), SideDescription::Snapshot(first),
                                 cancelLate, cancel),
                 OperationCancelled);
    ASSERT_EQ(service.Workspace().SnapShots->Count(), 2);
    EXPECT_EQ(service.Workspace().SnapShots->Item(1)->FileName(), first);
    EXPECT_TRUE(prompt.messages.empty());

    // Cancelled once both sides are read: the comparison stops too, and lists nothing.
    EXPECT_THROW(
        service.Compare(service.Read(SideDescription::Snapshot(first)),
                        service.Read(SideDescription::Snapshot(folder.Write("c.snp", ""))), {}, cancel),
        OperationCancelled);
    EXPECT_EQ(service.Workspace().CompareEng->Differences().Count(), 0);
}

// A login that would block for ever ends as soon as the operation is cancelled from another
// thread, without the failure message a broken link would otherwise bring.
TEST_F(ComparisonServiceTest, CancelBreaksOffABlockedLogin) {
    const auto connector = std::make_shared<StubConnector>(true);
    ComparisonService service(connector, prompt);
    CancellationToken cancel;
    std::thread canceller([&] {
        while (!connector->entered) std::this_thread::yield();
        cancel.Cancel();
    });
    EXPECT_THROW(service.Read(SideDescription::Live(Sales()), {}, cancel), OperationCancelled);
    canceller.join();
    EXPECT_TRUE(prompt.messages.empty());
}

// What a script prints for a live side that fails is what the window shows, with the driver's
// words; the password is in neither.
TEST_F(ComparisonServiceTest, ALiveSideThatFailsIsAReportedFailure) {
    ComparisonService service(std::make_shared<StubConnector>(false), prompt);
    try {
        service.Read(SideDescription::Live(Sales()));
        FAIL() << "read";
    } catch (const ReportedFailure& failure) {
        ASSERT_EQ(prompt.messages.size(), 1U);
        EXPECT_EQ(failure.Description(), "Error: " + prompt.messages[0].text);
        EXPECT_TRUE(prompt.messages[0].text.ends_with("\nLogin failed for user 'sa'."));
        EXPECT_EQ(failure.Description().find("pw"), std::string::npos);
    }
}

// Two live sides are read at once: a login that fails ends the other side's blocked login, and
// the first failure is the one reported, shown once.
TEST_F(ComparisonServiceTest, BothLiveSidesAtOnceFirstFailureStopsTheOther) {
    class PerServer : public DatabaseConnector {
      public:
        std::unique_ptr<DatabaseSession> Open(const ConnectionSettings& settings) override {
            if (settings.serverName == "quiet") return blocking.Open(settings);
            while (!blocking.entered) std::this_thread::yield();
            return failing.Open(settings);
        }
        StubConnector blocking{true};
        StubConnector failing{false};
    };
    ComparisonService service(std::make_shared<PerServer>(), prompt);
    ConnectionSettings quiet = Sales();
    quiet.serverName = "quiet";
    try {
        service.Compare(SideDescription::Live(quiet), SideDescription::Live(Sales()));
        FAIL() << "compared";
    } catch (const ReportedFailure& failure) {
        EXPECT_NE(failure.Description().find("Login failed"), std::string::npos);
        EXPECT_EQ(prompt.messages.size(), 1U);
    }
}

// While two sides are read at once, one line tells how far each has come.
TEST(TwoSideProgressTest, OneLineTellsBothSides) {
    ScriptedPrompt prompt;
    std::vector<std::string> shown;
    TwoSideProgress progress(prompt,
                             [&](std::string_view text, long rows) {
                                 EXPECT_EQ(rows, kAllInSection);
                                 shown.emplace_back(text);
                             },
                             {"db1.Sales", "old.snp"});
    progress.Progress(1, "Tables", 1);
    progress.Progress(0, "Columns", 250);
    ASSERT_EQ(shown.size(), 2U);
    EXPECT_EQ(shown[0], "db1.Sales: waiting; old.snp: Tables, 1 row");
    EXPECT_EQ(shown[1], "db1.Sales: Columns, 250 rows; old.snp: Tables, 1 row");
}

// A snapshot that the user gives up on part-way, or of which a step is skipped: the window keeps
// what was loaded and is told where the file failed, a script stops with the reason.
TEST_F(ComparisonServiceTest, ASnapshotReadInPart) {
    const std::string broken = folder.Write(
        "broken.snp", "srv*shop*sa\r\n\r\n\r\n\r\n:orders\r\nid*int*4\r\ntotal*money\r\n:items\r\n");
    for (const PromptAnswer answer : {PromptAnswer::Abort, PromptAnswer::Ignore}) {
        prompt.messages.clear();
        prompt.Answer(answer);
        ComparisonService keeping(nullptr, prompt, ComparisonService::PartialSnapshots::Keep);
        const SideRead read = keeping.Read(SideDescription::Snapshot(broken));
        EXPECT_TRUE(read.ReadInPart());
        EXPECT_EQ(read.model->Tables().Count(), answer == PromptAnswer::Ignore ? 2 : 1);
        ASSERT_EQ(prompt.messages.size(), 1U);
        EXPECT_TRUE(
            prompt.messages[0].text.starts_with("Subscript out of range 9\n\nReading " + broken +
                                                ", line 7.\nRetry reads it again, which helps only once "
                                                "the file has been changed."));
        const SideRead whole = keeping.Read(SideDescription::Snapshot(folder.Write("whole.snp", kShop)));
        EXPECT_EQ(
            ReadInPartNote(whole, read),
            "broken.snp (Subscript out of range 9) was read only in part: differences may be missing, or "
            "listed where there are none.");
        EXPECT_EQ(ReadInPartNote(whole, whole), "");

        ComparisonService failing(nullptr, prompt, ComparisonService::PartialSnapshots::Fail);
        prompt.Answer(answer);
        try {
            failing.Read(SideDescription::Snapshot(broken));
            FAIL() << "read";
        } catch (const ReportedFailure& failure) {
            EXPECT_EQ(failure.Description(), "cannot read " + broken + ": Subscript out of range 9");
        }
    }
}

// The line a failed step names is the one whose parts are missing, wherever it is in the file,
// and the progress counts tables, not lines.
TEST_F(ComparisonServiceTest, AFailedStepNamesItsLineAndProgressCountsTables) {
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"srv*shop\r\n\r\n\r\n\r\n:orders\r\nid*int*4\r\n", 1},
        {"srv*shop*sa\r\n\r\n\r\n\r\n:orders\r\nid\r\n", 6},
        {"srv*shop*sa\r\n\r\n\r\n\r\n:a\r\nx*int*4\r\ny*int*4\r\n:b\r\n:c\r\nz*int\r\n", 10},
    };
    for (const auto& broken : cases) {
        prompt.messages.clear();
        prompt.Answer(PromptAnswer::Ignore);
        const std::string path = folder.Write("broken.snp", broken.text);
        long lastCount = -1;
        ComparisonService keeping(nullptr, prompt, ComparisonService::PartialSnapshots::Keep);
        const SideRead read = keeping.Read(SideDescription::Snapshot(path),
                                           [&](std::string_view, long tables) { lastCount = tables; });
        ASSERT_EQ(prompt.messages.size(), 1U) << broken.text;
        EXPECT_NE(prompt.messages[0].text.find(path + ", line " + std::to_string(broken.line) + "."),
                  std::string::npos)
            << prompt.messages[0].text;
        EXPECT_EQ(lastCount, read.model->Tables().Count()) << broken.text;
    }
}

}  // namespace
}  // namespace tablor::testing

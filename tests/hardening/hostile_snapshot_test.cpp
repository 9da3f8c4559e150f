// Snapshot files as they arrive from elsewhere: empty, binary, cut short, huge, with NUL
// bytes or in no known encoding. Each either loads intact or says clearly what is wrong.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "ScriptedPrompt.hpp"
#include "TempFolder.hpp"
#include "cli/CliApp.hpp"
#include "sources/SnapshotWriter.hpp"
#include "sources/cSnapShot.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"

using namespace tablor;
using tablor::testing::ScriptedPrompt;
using tablor::testing::TempFolder;

namespace {

struct Outcome {
    std::shared_ptr<cMetaData> model;
    cSnapShot snapshot;
    std::vector<std::string> messages;
};

std::unique_ptr<Outcome> LoadFile(const std::string& path) {
    auto outcome = std::make_unique<Outcome>();
    outcome->snapshot.SetFileName(path);
    ScriptedPrompt prompt;  // Abort at the first failure, as the command line does
    outcome->snapshot.Fill(prompt);
    outcome->model = outcome->snapshot.MetaData();
    outcome->messages = prompt.Texts();
    return outcome;
}

int CompareOnCommandLine(const std::string& path, std::string& err) {
    std::ostringstream out, errors;
    const int status = cli::RunCli({"compare", path, path}, out, errors);
    err = errors.str();
    return status;
}

}  // namespace

TEST(HostileSnapshot, EmptyAndTruncatedFilesSayWhatIsWrong) {
    TempFolder folder;
    auto empty = LoadFile(folder.Write("empty.snp", ""));
    ASSERT_EQ(empty->messages.size(), 1u);
    EXPECT_EQ(empty->messages[0], "Input past end of file 62");
    std::string err;
    EXPECT_EQ(CompareOnCommandLine(folder.File("empty.snp"), err), cli::kTrouble);
    EXPECT_NE(err.find("Input past end of file 62"), std::string::npos) << err;

    auto cut =
        LoadFile(folder.Write("cut.snp", "S*D*U*\r\nPK*\r\n\r\n\r\n:Orders\r\nOrderID*int*\r\nName*nvar"));
    ASSERT_EQ(cut->messages.size(), 1u);
    EXPECT_EQ(cut->messages[0], "Subscript out of range 9");
    EXPECT_EQ(cut->model->Tables().Item(1)->Fields().Count(), 1);  // what came before is kept
}

TEST(HostileSnapshot, BinaryBytesNeverCrashTheLoader) {
    TempFolder folder;
    std::mt19937 random(42);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(static_cast<std::size_t>(random() % 4096), '\0');
        for (char& byte : bytes) byte = static_cast<char>(random());
        if (round % 2 == 0) bytes = "S*D*U*\r\n\r\n\r\n\r\n:T\r\n" + bytes;
        auto outcome = LoadFile(folder.Write("binary.snp", bytes));
        EXPECT_LE(outcome->messages.size(), 1u);  // the command ends at the first failure
    }
}

TEST(HostileSnapshot, NulBytesAndUndefinedCodePageBytesSurviveARoundTrip) {
    TempFolder folder;
    // 0x81 and 0x9D are neither UTF-8 nor defined in Windows-1252: they are kept as the
    // control characters of the same value, so nothing is lost.
    const std::string path =
        folder.Write("odd.snp", std::string("S\0rv*D*U*\r\n\r\n\r\n\r\n:T\x81\r\nc\x9D\0*int*\r\n", 30));
    auto outcome = LoadFile(path);
    EXPECT_TRUE(outcome->messages.empty());
    const auto table = outcome->model->Tables().Item(1);
    EXPECT_EQ(outcome->snapshot.SourceServer, std::string("S\0rv", 4));
    EXPECT_EQ(table->ObjectName, "T\xC2\x81");
    EXPECT_EQ(table->Fields().Item(1)->FieldName, std::string("c\xC2\x9D\0", 4));

    WriteSnapshot(
        folder.File("again.snp"),
        {outcome->snapshot.SourceServer, outcome->snapshot.SourceDatabase, outcome->snapshot.SourceUser},
        *outcome->model);
    auto again = LoadFile(folder.File("again.snp"));
    EXPECT_EQ(again->model->Tables().Item(1)->Fields().Item(1)->FieldName, std::string("c\xC2\x9D\0", 4));
    EXPECT_EQ(again->snapshot.SourceServer, std::string("S\0rv", 4));
}

TEST(HostileSnapshot, AHundredMegabyteLineLoadsWhole) {
    TempFolder folder;
    const std::string longName(100u << 20, 'x');
    const std::string path =
        folder.Write("long.snp", "S*D*U*\r\n\r\n\r\n\r\n:" + longName + "\r\nid*int*\r\n");
    auto outcome = LoadFile(path);
    EXPECT_TRUE(outcome->messages.empty());
    ASSERT_EQ(outcome->model->Tables().Count(), 1);
    EXPECT_EQ(outcome->model->Tables().Item(1)->ObjectName.size(), longName.size());
    EXPECT_EQ(outcome->model->Tables().Item(1)->Fields().Count(), 1);
}

TEST(HostileSnapshot, AMillionColumnsLoad) {
    TempFolder folder;
    std::string text = "S*D*U*\r\n\r\n\r\n\r\n";
    text.reserve(24u << 20);
    for (int t = 0; t < 40; ++t) {
        text += ":table" + std::to_string(t) + "\r\n";
        for (int c = 0; c < 25000; ++c) text += "column" + std::to_string(c) + "*nvarchar*50\r\n";
    }
    auto outcome = LoadFile(folder.Write("wide.snp", text));
    EXPECT_TRUE(outcome->messages.empty());
    long columns = 0;
    for (const auto& table : outcome->model->Tables()) columns += table->Fields().Count();
    EXPECT_EQ(columns, 1000000);
    EXPECT_EQ(outcome->model->Tables().Item(40)->Fields().Item("COLUMN24999")->FieldSize, "50");
}

TEST(HostileSnapshot, EndlessAndOversizedInputsStopAtTheLimit) {
    constexpr std::size_t limit = 1u << 20;
    TempFolder folder;
    const std::string atLimit = folder.Write("at.snp", std::string(limit, 'x'));
    EXPECT_EQ(ReadFileBytes(atLimit, limit).size(), limit);
    for (const std::string& path :
         {std::string("/dev/zero"), folder.Write("over.snp", std::string(limit + 1, 'x'))}) {
        try {
            ReadFileBytes(path, limit);
            ADD_FAILURE() << path;
        } catch (const TablorError& error) {
            EXPECT_EQ(error.Number(), errors::PathFileAccessError);
            EXPECT_NE(error.Description().find(path + " is larger than 1 MiB, more than any schema"),
                      std::string::npos)
                << error.Description();
        }
    }
}

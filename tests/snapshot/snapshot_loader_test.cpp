#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ModelText.hpp"
#include "ScriptedPrompt.hpp"
#include "TempFolder.hpp"
#include "sources/SnapshotLines.hpp"
#include "sources/SnapshotWriter.hpp"
#include "sources/cSnapShot.hpp"
#include "support/TablorError.hpp"
#include "support/TextEncoding.hpp"

using namespace tablor;
using tablor::testing::ScriptedPrompt;
using tablor::testing::TempFolder;

using tablor::testing::Names;

namespace {

struct Loaded {
    cSnapShot snapshot;
    ScriptedPrompt prompt;
};

std::unique_ptr<Loaded> Load(const TempFolder& folder, std::string_view bytes, ScriptedPrompt prompt = {}) {
    auto loaded = std::make_unique<Loaded>();
    loaded->prompt = std::move(prompt);
    loaded->snapshot.SetFileName(folder.Write("s.snp", bytes));
    EXPECT_EQ(loaded->snapshot.Fill(loaded->prompt), "");
    return loaded;
}

}  // namespace

TEST(SnapshotLoader, ReadsEveryLineKind) {
    TempFolder folder;
    auto loaded = Load(folder,
                       "SRV01*Sales*appuser*\r\n"
                       "PK_Orders*FK_Orders_Customers*\r\n"
                       "OpenOrders*\r\n"
                       "GetOrders+*OrderTotal-*dt_Props+*DT_Keep+*odd?*+*\r\n"
                       "ignored before any table\r\n"
                       ":Customers\r\n"
                       "CustomerID*int*\r\n"
                       "Name*nvarchar*100*extra*parts\r\n"
                       ":\r\n"
                       ":Orders\r\n");
    const auto& s = loaded->snapshot;
    EXPECT_TRUE(loaded->prompt.messages.empty());
    EXPECT_EQ(s.SourceServer, "SRV01");
    EXPECT_EQ(s.SourceDatabase, "Sales");
    EXPECT_EQ(s.SourceUser, "appuser");

    auto model = loaded->snapshot.MetaData();
    EXPECT_EQ(Names(model->Constraints()), (std::vector<std::string>{"PK_Orders", "FK_Orders_Customers"}));
    EXPECT_EQ(Names(model->Views()), (std::vector<std::string>{"OpenOrders"}));
    EXPECT_EQ(Names(model->Routines()), (std::vector<std::string>{"GetOrders", "OrderTotal", "DT_Keep", ""}));
    EXPECT_EQ(model->Routines().Item(1)->ObjectType, 3);
    EXPECT_EQ(model->Routines().Item(2)->ObjectType, 4);
    EXPECT_EQ(Names(model->Tables()), (std::vector<std::string>{"Customers", "", "Orders"}));
    const auto& columns = model->Tables().Item(1)->Fields();
    ASSERT_EQ(columns.Count(), 2);
    EXPECT_EQ(columns.Item(1)->FieldSize, "");
    EXPECT_EQ(columns.Item(2)->FieldType, "nvarchar");
    EXPECT_EQ(columns.Item(2)->FieldSize, "100");
    EXPECT_GT(loaded->prompt.progressCalls, 0);
}

TEST(SnapshotLoader, ReadsBackWhatTheWriterWrote) {
    cMetaData schema;
    schema.Constraints().Add("PK_é");
    schema.Views().Add("Ωview");
    schema.Routines().Add("表proc", 2);
    auto table = schema.Tables().Add("Tab*le :odd");
    table->Fields().Add("naïve", "nvarchar", "-1");
    table->Fields().Add("id", "int", "");
    TempFolder folder;
    WriteSnapshot(folder.File("round.snp"), {"srv\\inst", "db", "user"}, schema);

    cSnapShot snapshot;
    snapshot.SetFileName(folder.File("round.snp"));
    ScriptedPrompt prompt;
    snapshot.Fill(prompt);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(snapshot.SourceServer, "srv\\inst");
    const auto& model = *snapshot.MetaData();
    EXPECT_EQ(model.Constraints().Item(1)->ObjectName, "PK_é");
    EXPECT_EQ(model.Views().Item(1)->ObjectName, "Ωview");
    EXPECT_EQ(model.Routines().Item(1)->ObjectName, "表proc");
    EXPECT_EQ(model.Tables().Item(1)->ObjectName, "Tab*le :odd");
    EXPECT_EQ(model.Tables().Item(1)->Fields().Item("NAÏVE")->FieldSize, "-1");
}

TEST(SnapshotLoader, AcceptsLineFeedsAloneLoneCarriageReturnsAndWindowsText) {
    TempFolder folder;
    auto unix = Load(folder, "s*d*u*\nc1*\nv1*\np+*\n:T\nid*int*\n");
    EXPECT_EQ(unix->snapshot.MetaData()->Tables().Item(1)->Fields().Item(1)->FieldName, "id");
    EXPECT_EQ(unix->snapshot.MetaData()->Routines().Item(1)->ObjectName, "p");

    auto oldMac = Load(folder, "s*d*u*\rc1*\r\r\r:T\rid*int*");
    EXPECT_EQ(oldMac->snapshot.MetaData()->Constraints().Count(), 1);
    EXPECT_EQ(oldMac->snapshot.MetaData()->Tables().Item(1)->Fields().Count(), 1);

    auto windows = Load(folder, "s*d*u*\r\n\r\n\r\n\r\n:Caf\xE9\r\nPr\xEDs*int*\r\n");
    EXPECT_EQ(windows->snapshot.MetaData()->Tables().Item(1)->ObjectName, "Café");
    EXPECT_EQ(windows->snapshot.MetaData()->Tables().Item(1)->Fields().Item(1)->FieldName, "Prís");
}

TEST(SnapshotLoader, MissingFileAbortedGivesAnEmptyModelAndLaterLoadsWork) {
    TempFolder folder;
    cSnapShot snapshot;
    snapshot.SetFileName(folder.File("gone.snp"));
    ScriptedPrompt prompt;
    prompt.Answer(PromptAnswer::Abort);
    EXPECT_EQ(snapshot.Fill(prompt), "");
    ASSERT_EQ(prompt.messages.size(), 1u);
    const auto& message = prompt.messages[0];
    EXPECT_EQ(message.icon, PromptIcon::Warning);
    EXPECT_EQ(message.buttons, PromptButtons::AbortRetryIgnore);
    EXPECT_EQ(message.title, "");
    EXPECT_TRUE(message.text.ends_with(" 53")) << message.text;
    EXPECT_EQ(snapshot.MetaData()->Tables().Count(), 0);

    snapshot.SetFileName(folder.Write("there.snp", "a*b*c*\r\n\r\n\r\n\r\n:T\r\n"));
    ScriptedPrompt quiet;
    snapshot.Fill(quiet);
    EXPECT_TRUE(quiet.messages.empty());
    EXPECT_EQ(snapshot.MetaData()->Tables().Count(), 1);
}

TEST(SnapshotLoader, RetryOpensAFileRestoredMeanwhile) {
    TempFolder folder;
    cSnapShot snapshot;
    snapshot.SetFileName(folder.File("late.snp"));

    // A prompt that restores the file before answering Retry.
    struct RestoringPrompt : ScriptedPrompt {
        const TempFolder* folder = nullptr;
        PromptAnswer Ask(const PromptMessage& message) override {
            ScriptedPrompt::Ask(message);
            folder->Write("late.snp", "srv*db*user*\r\n\r\n\r\n\r\n");
            return PromptAnswer::Retry;
        }
    } prompt;
    prompt.folder = &folder;
    snapshot.Fill(prompt);
    EXPECT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(snapshot.SourceServer, "srv");
}

TEST(SnapshotLoader, IgnoringAMissingFilePromptsForEachFollowingRead) {
    TempFolder folder;
    cSnapShot snapshot;
    snapshot.SourceServer = "before";
    snapshot.SetFileName(folder.File("gone.snp"));
    ScriptedPrompt prompt;
    for (int i = 0; i < 20; ++i) prompt.Answer(PromptAnswer::Ignore);
    snapshot.Fill(prompt);
    // The open, the four lines that cannot be read, the three header values missing.
    const auto texts = prompt.Texts();
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_TRUE(texts[0].ends_with(" 53"));
    for (int i = 1; i <= 4; ++i) EXPECT_TRUE(texts[static_cast<std::size_t>(i)].ends_with(" 52")) << texts[1];
    for (int i = 5; i <= 7; ++i) EXPECT_TRUE(texts[static_cast<std::size_t>(i)].ends_with(" 9"));
    EXPECT_EQ(snapshot.SourceServer, "before");
}

TEST(SnapshotLoader, ShortFileAndShortHeaderPromptWithTheirNumbers) {
    TempFolder folder;
    ScriptedPrompt prompt;
    prompt.Answer(PromptAnswer::Ignore).Answer(PromptAnswer::Ignore).Answer(PromptAnswer::Ignore);
    auto loaded = Load(folder, "srv\r\nPK*\r\n", std::move(prompt));
    const auto texts = loaded->prompt.Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_TRUE(texts[0].ends_with(" 62"));  // views line missing, taken as empty
    EXPECT_TRUE(texts[1].ends_with(" 62"));  // routines line missing
    EXPECT_TRUE(texts[2].ends_with(" 9"));   // no database in the header
    EXPECT_TRUE(texts[3].ends_with(" 9"));   // nor a user: Abort, the default, ends here
    EXPECT_EQ(loaded->snapshot.SourceServer, "srv");
    // Abort came before the sections were read.
    EXPECT_EQ(loaded->snapshot.MetaData()->Constraints().Count(), 0);
}

TEST(SnapshotLoader, BadColumnLinesPromptAndIgnoreSkipsThem) {
    TempFolder folder;
    ScriptedPrompt prompt;
    prompt.Answer(PromptAnswer::Ignore).Answer(PromptAnswer::Ignore).Answer(PromptAnswer::Ignore);
    auto loaded =
        Load(folder, "s*d*u*\r\n\r\n\r\n\r\n:T\r\nid*int*\r\nshort*line\r\n\r\nid*bigint*\r\nID*int*\r\n",
             std::move(prompt));
    const auto texts = loaded->prompt.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_TRUE(texts[0].ends_with(" 9"));
    EXPECT_TRUE(texts[1].ends_with(" 9"));    // an empty line has no parts at all
    EXPECT_TRUE(texts[2].ends_with(" 457"));  // id repeated
    const auto& fields = loaded->snapshot.MetaData()->Tables().Item(1)->Fields();
    ASSERT_EQ(fields.Count(), 2);
    EXPECT_EQ(fields.Item(2)->FieldName, "ID");  // differs from id in letter case only: kept
}

TEST(SnapshotLoader, AbortKeepsWhatWasLoadedAndASecondLoadDoesNotDouble) {
    TempFolder folder;
    const std::string path =
        folder.Write("s.snp", "s*d*u*\r\nPK*\r\nV*\r\nP+*\r\n:A\r\nx*int*\r\n:B\r\nbad\r\n:C\r\n");
    cSnapShot snapshot;
    snapshot.SetFileName(path);
    ScriptedPrompt aborting;
    snapshot.Fill(aborting);
    EXPECT_EQ(snapshot.MetaData()->Tables().Count(), 2);  // C was never reached
    EXPECT_EQ(snapshot.MetaData()->Views().Count(), 1);

    ScriptedPrompt ignoring;
    ignoring.Answer(PromptAnswer::Ignore);
    snapshot.Fill(ignoring);
    snapshot.Fill(ignoring);  // unscripted now: Abort at the bad line again
    const auto& model = *snapshot.MetaData();
    EXPECT_EQ(model.Constraints().Count(), 1);
    EXPECT_EQ(model.Routines().Count(), 1);
    EXPECT_EQ(model.Tables().Count(), 2);
}

// Schemas and definitions travel in lines that older loaders skip: any value comes back, the
// model written again gives the same bytes, and without those lines a file gives the same
// names, types and sizes.
TEST(SnapshotLoader, SchemasAndDefinitionsComeBackAndOlderRulesSeeTheSameNames) {
    const std::string awkward = "a*b%c\r\nd\x01 é:~";
    cMetaData schema;
    schema.Constraints().Add("pk")->Schema = "sales";
    const auto view = schema.Views().Add("v");
    view->Schema = awkward;
    // A byte that begins no character must not turn the file into another encoding.
    view->Definition =
        std::make_shared<const Properties>(Properties{{"body", awkward}, {"kind=", ""}, {"lone", "\xCA"}});
    schema.Routines().Add("f", 1)->Schema = "s";
    const auto table = schema.Tables().Add("orders");
    table->Schema = "sales";
    table->Fields().Add("id", "int", "")->Definition =
        std::make_shared<const Properties>(Properties{{"default", awkward}, {"nullable", "NO"}});
    // Known to hold nothing is not the same as unknown.
    schema.Tables().Add("orders")->Fields().Add("id", "bigint", "")->Definition =
        std::make_shared<const Properties>();
    const auto index = schema.Indexes().Add(awkward);
    index->Definition = std::make_shared<const Properties>(Properties{{"table", "orders"}});
    schema.Triggers().Add("tg")->Schema = "sales";
    const std::string written = FormatSnapshot({"srv", "db", "u"}, schema);

    ScriptedPrompt prompt;
    cSnapShot snapshot;
    snapshot.FillFromBytes(written, prompt);
    EXPECT_TRUE(prompt.messages.empty());
    const cMetaData& model = *snapshot.MetaData();
    EXPECT_EQ(FormatSnapshot({"srv", "db", "u"}, model), written);
    EXPECT_EQ(model.Views().Item(1)->Schema, awkward);
    EXPECT_EQ(*model.Views().Item(1)->Definition, *view->Definition);
    EXPECT_EQ(model.Tables().Item(1)->Schema, "sales");
    EXPECT_EQ(model.Tables().Item(2)->Schema, "");
    EXPECT_EQ(*model.Tables().Item(1)->Fields().Item(1)->Definition, *table->Fields().Item(1)->Definition);
    ASSERT_NE(model.Tables().Item(2)->Fields().Item(1)->Definition, nullptr);
    EXPECT_TRUE(model.Tables().Item(2)->Fields().Item(1)->Definition->empty());
    ASSERT_EQ(model.Indexes().Count(), 1);
    EXPECT_EQ(model.Indexes().Item(1)->ObjectName, awkward);
    EXPECT_EQ(*model.Indexes().Item(1)->Definition, *index->Definition);
    ASSERT_EQ(model.Triggers().Count(), 1);
    EXPECT_EQ(model.Triggers().Item(1)->Definition, nullptr);

    // Older loaders skip the definition lines and read a field line's first three parts only.
    std::string older;
    for (std::size_t at = 0; at < written.size();) {
        const std::size_t end = written.find("\r\n", at) + 2;
        std::string line = written.substr(at, end - at - 2);
        if (line.front() != ':' && std::count(line.begin(), line.end(), '*') >= 3 && at > 0 &&
            written.rfind("\r\n:", at) != std::string::npos)
            line = line.substr(0, line.find('*', line.find('*', line.find('*') + 1) + 1));
        if (written[at] != '~') older += line + "\r\n";
        at = end;
    }
    cSnapShot plain;
    plain.FillFromBytes(older, prompt);
    EXPECT_EQ(tablor::testing::TablesWithColumns(plain.MetaData()->Tables()),
              tablor::testing::TablesWithColumns(model.Tables()));
    EXPECT_EQ(Names(plain.MetaData()->Views()), Names(model.Views()));
}

// A file read a block at a time gives the lines the whole decoded text gives, wherever the
// blocks end: inside a CR LF, inside a UTF-8 or Windows-1252 character, or right after a
// byte-order mark.
TEST(SnapshotLoader, FileReadInBlocksGivesTheLinesOfTheWholeText) {
    const std::vector<std::string> pieces{"\r\n",  "\r",        "\n",           "a", "*b*", ":T",
                                          "Größe", "\xE9t\xE9", "\xEF\xBB\xBF", "",  "表"};
    TempFolder folder;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::mt19937 random(seed);
        std::string bytes = seed % 3 == 0 ? "\xEF\xBB\xBF" : "";
        const bool windows = seed % 4 == 0;
        for (int i = 0; i < 40; ++i) {
            const std::string& piece = pieces[random() % pieces.size()];
            if (windows || piece.find('\xE9') == std::string::npos) bytes += piece;
        }
        const auto linesOf = [](SnapshotLines lines) {
            std::vector<std::string> out;
            while (!lines.AtEnd()) out.emplace_back(lines.ReadLine());
            return out;
        };
        const auto whole = linesOf(SnapshotLines(DecodeFileText(bytes)));
        const std::string path = folder.Write("b.snp", bytes);
        for (const std::size_t block : {1, 2, 3, 5, 64})
            EXPECT_EQ(linesOf(SnapshotLines::OfFile(path, block)), whole)
                << "seed " << seed << ", block " << block;
    }
}

// File > Migration Script... and the Script button: the script of the last comparison, either
// way round, in a dialog that saves it.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "GuiTestSupport.hpp"
#include "service/ComparisonService.hpp"
#include "support/FileIO.hpp"

namespace tablor::testing {
namespace {

class ScriptDialog : public GuiTest {
  protected:
    void Compare(const QString& first, const QString& second) {
        AddSnapShotEntry(first);
        AddSnapShotEntry(second);
        Click("btnCompare");
    }
    // Clicks Script and hands the dialog, once open (a side read again runs an event loop before
    // it), to `act`; false when none opened.
    bool WithDialog(const std::function<void(QDialog&)>& act) {
        bool opened = false;
        QTimer wait;
        QObject::connect(&wait, &QTimer::timeout, [&] {
            auto* dialog = Window().findChild<QDialog*>("ScriptDialog");
            if (dialog == nullptr || !dialog->isVisible()) return;
            wait.stop();
            opened = true;
            try {
                act(*dialog);
            } catch (const std::exception&) {
                // A missing part has failed the test already.
            }
            dialog->reject();
        });
        wait.start(10);
        Click("btnScript");
        return opened;
    }
    // The script the service makes of the two snapshots.
    std::string Expected(bool firstLikeSecond, bool allowDrop) {
        ComparisonService service(nullptr, prompt);
        const SideRead model =
            service.Read(SideDescription::Snapshot(SnapShotFile("model.snp"), "model.snp"));
        const SideRead copy = service.Read(SideDescription::Snapshot(SnapShotFile("copy.snp"), "copy.snp"));
        return (firstLikeSecond ? service.Script(model, copy, {}, std::nullopt, allowDrop)
                                : service.Script(copy, model, {}, std::nullopt, allowDrop))
            .Text();
    }
};

// How many runs of marked lines the view shows; -1 when a marked line is not a comment.
int MarkedRuns(QPlainTextEdit& view) {
    int runs = 0;
    bool before = false;
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
        const bool marked = block.blockFormat().hasProperty(QTextFormat::BackgroundBrush);
        if (marked && !block.text().startsWith("--")) return -1;
        runs += marked && !before;
        before = marked;
    }
    return runs;
}

TEST_F(ScriptDialog, ShowsTheScriptOfTheChosenWayWithWhatIsHeldBackMarked) {
    WriteDefinedSnapShots();
    Compare("model.snp", "copy.snp");
    struct Case {
        bool firstLikeSecond, allowDrop;
        const char* summary;
        int heldBack;
    };
    // The first is what the dialog opens with.
    const Case cases[] = {
        {false, false,
         "2 statements to run, 2 held back (marked: run as it is, the script leaves them undone).", 2},
        {false, true, "4 statements to run, 0 held back.", 0},
        {true, true, "4 statements to run, 0 held back.", 0},
        {true, false,
         "2 statements to run, 2 held back (marked: run as it is, the script leaves them undone).", 2},
    };
    EXPECT_TRUE(WithDialog([&](QDialog&) {
        EXPECT_EQ(Find<QRadioButton>("optSecondLikeFirst").text(), "Make copy.snp like model.snp");
        EXPECT_EQ(Find<QRadioButton>("optFirstLikeSecond").text(), "Make model.snp like copy.snp");
        auto& view = Find<QPlainTextEdit>("txtScript");
        EXPECT_TRUE(view.isReadOnly());
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.firstLikeSecond << c.allowDrop);
            Find<QRadioButton>(c.firstLikeSecond ? "optFirstLikeSecond" : "optSecondLikeFirst")
                .setChecked(true);
            Find<QCheckBox>("chkAllowDrop").setChecked(c.allowDrop);
            EXPECT_EQ(view.toPlainText().toStdString(), Expected(c.firstLikeSecond, c.allowDrop));
            EXPECT_EQ(Find<QLabel>("lblScriptSummary").text(), c.summary);
            EXPECT_EQ(MarkedRuns(view), c.heldBack);
        }
    }));
}

TEST_F(ScriptDialog, SaveWritesTheScriptAsShown) {
    WriteDefinedSnapShots();
    Compare("model.snp", "copy.snp");
    const QString target = QString::fromStdString(Home() + "/out.sql");
    saveDialog.Choose(target);
    std::string shown;
    EXPECT_TRUE(WithDialog([&](QDialog&) {
        Find<QCheckBox>("chkAllowDrop").setChecked(true);
        shown = Find<QPlainTextEdit>("txtScript").toPlainText().toStdString();
        Click("btnSaveScript");
    }));
    EXPECT_EQ(ReadFileBytes(target.toStdString()), shown);
    ASSERT_EQ(saveDialog.requests.size(), 1u);
    EXPECT_EQ(saveDialog.requests[0].filter, "SQL Script (*.sql)");
    EXPECT_EQ(prompt.Texts().back(), "The script was saved as " + target.toStdString() + ".");
}

// Before a comparison there is nothing to script; snapshots that hold names only cannot be.
TEST_F(ScriptDialog, WithoutDefinitionsTheWindowSaysWhyInsteadOfOpeningIt) {
    EXPECT_FALSE(Find<QToolButton>("btnScript").isEnabled());
    EXPECT_FALSE(Find<QAction>("mnuScript").isEnabled());
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    WriteDefinedSnapShots();
    Window().RefreshSnapShotList();
    const std::pair<const char*, const char*> cases[] = {{"shop-v1.snp", "shop-v2.snp"},
                                                         {"model.snp", "shop-v2.snp"}};
    for (const auto& [first, second] : cases) {
        SCOPED_TRACE(first);
        Click("btnClear");
        Compare(first, second);
        EXPECT_TRUE(Find<QAction>("mnuScript").isEnabled());
        EXPECT_FALSE(WithDialog([](QDialog&) {}));
        EXPECT_EQ(prompt.messages.back().title, "Migration Script");
        EXPECT_EQ(prompt.Texts().back().rfind("No migration script can be made: shop-v", 0), 0u)
            << prompt.Texts().back();
    }
}

// A live side compared by its names is read again, once, with its definitions.
TEST_F(ScriptDialog, LiveSidesComparedByNamesAreReadAgainWithDefinitions) {
    connector->databases["Sales"].Table("Orders", {{"Id", "int"}});
    connector->databases["Archive"].Table("Orders", {{"Id", "int"}});
    AddConnectionEntry("SRV01", "Sales");
    AddConnectionEntry("SRV01", "Archive");
    Click("btnCompare");
    ASSERT_EQ(connector->opened.size(), 2u) << ::testing::PrintToString(prompt.Texts());
    WithDialog([](QDialog&) {});
    WithDialog([](QDialog&) {});
    ASSERT_EQ(connector->opened.size(), 4u) << ::testing::PrintToString(prompt.Texts());
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(connector->opened[i].readDefinitions, i >= 2);
}

}  // namespace
}  // namespace tablor::testing

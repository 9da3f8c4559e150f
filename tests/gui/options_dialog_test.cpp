// File > Options...: the comparison options, chosen in a dialog and kept in the settings store.
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTimer>
#include <functional>

#include "GuiTestSupport.hpp"
#include "compare/CompareOptions.hpp"
#include "workbench/OptionsDialog.hpp"
#include "workbench/ServerMemory.hpp"

namespace tablor::testing {
namespace {

constexpr const char* kKindBoxes[] = {"chkOnlyTables",     "chkOnlyColumns",   "chkOnlyViews",
                                      "chkOnlyProcedures", "chkOnlyFunctions", "chkOnlyConstraints",
                                      "chkOnlyChanges"};

class OptionsDialog : public GuiTest {
  protected:
    // Opens File > Options... and hands the open dialog to `act`, which is to close it.
    void WithDialog(const std::function<void(QDialog&)>& act) {
        bool opened = false;
        QTimer::singleShot(0, &Window(), [&] {
            auto* dialog = Window().findChild<QDialog*>("OptionsDialog");
            if (dialog == nullptr || !dialog->isVisible()) return;
            opened = true;
            EXPECT_TRUE(dialog->isModal());
            EXPECT_EQ(dialog->windowTitle(), "Comparison Options");
            try {
                act(*dialog);
            } catch (const std::exception&) {
                // A missing part has failed the test already.
            }
            if (dialog->isVisible()) {
                ADD_FAILURE() << "The dialog is still open";
                dialog->reject();
            }
        });
        Trigger("mnuOptions");
        EXPECT_TRUE(opened) << "File > Options... opened no dialog";
    }
    // Sets every box of the open dialog to `options`. Changed columns have one box: looked for
    // and shown, or neither.
    void Fill(const CompareOptions& options) {
        Find<QCheckBox>("chkIgnoreCase").setChecked(options.ignoreCase);
        Find<QCheckBox>("chkIgnoreGeneratedNames").setChecked(options.ignoreGeneratedNames);
        const auto lines = [](const std::vector<std::string>& patterns) {
            QString text;
            for (const auto& pattern : patterns) text += "  " + QString::fromStdString(pattern) + " \n\n";
            return text;
        };
        Find<QPlainTextEdit>("txtInclude").setPlainText(lines(options.include));
        Find<QPlainTextEdit>("txtExclude").setPlainText(lines(options.exclude));
        for (unsigned bit = 0; bit < std::size(kKindBoxes); ++bit)
            Find<QCheckBox>(kKindBoxes[bit]).setChecked(options.Shows(1u << bit));
        Find<QCheckBox>("chkOnlyChanges")
            .setChecked(options.columnChanges && options.Shows(CompareKind::Changes));
    }
    // What the open dialog shows.
    CompareOptions Shown() {
        CompareOptions options;
        options.columnChanges = Find<QCheckBox>("chkOnlyChanges").isChecked();
        options.ignoreCase = Find<QCheckBox>("chkIgnoreCase").isChecked();
        options.ignoreGeneratedNames = Find<QCheckBox>("chkIgnoreGeneratedNames").isChecked();
        const auto patterns = [](const QString& text) {
            std::vector<std::string> out;
            for (const QString& line : text.split('\n', Qt::SkipEmptyParts))
                out.push_back(line.toStdString());
            return out;
        };
        options.include = patterns(Find<QPlainTextEdit>("txtInclude").toPlainText());
        options.exclude = patterns(Find<QPlainTextEdit>("txtExclude").toPlainText());
        options.only = 0;
        for (unsigned bit = 0; bit < std::size(kKindBoxes); ++bit)
            if (Find<QCheckBox>(kKindBoxes[bit]).isChecked()) options.only |= 1u << bit;
        const unsigned boxes = (1u << std::size(kKindBoxes)) - 1;
        if ((options.only | CompareKind::Changes) == boxes) options.only = CompareKind::All;
        return options;
    }
};

CompareOptions Chosen() {
    CompareOptions options;
    options.columnChanges = true;
    options.ignoreGeneratedNames = true;
    options.include = {"Orders*", "Cust?mers"};
    options.exclude = {"tmp_*", "Orders.Note"};
    options.only = CompareKind::Tables | CompareKind::Changes;
    return options;
}

void ExpectSame(const CompareOptions& actual, const CompareOptions& expected) {
    EXPECT_EQ(actual.Describe(), expected.Describe());
    EXPECT_EQ(actual.only, expected.only);
}

TEST_F(OptionsDialog, SitsInTheFileMenuAboveTheSeparatorBeforeExit) {
    const QList<QAction*> items = Find<QMenu>("mnuFile").actions();
    const auto at = items.indexOf(&Find<QAction>("mnuOptions"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(items.value(at + 1), &Find<QAction>("mnuSep1"));
    EXPECT_EQ(items.value(at + 2), &Find<QAction>("mnuExit"));
}

TEST_F(OptionsDialog, OkKeepsTheChoiceForTheNextStartAndCancelChangesNothing) {
    ExpectSame(Window().Options(), CompareOptions());
    WithDialog([&](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QCheckBox*>("chkColumnChanges"), nullptr) << "two boxes for one choice";
        ExpectSame(Shown(), CompareOptions());
        Fill(Chosen());
        Click("btnOK");
    });
    // Blank lines and the spaces around a pattern are dropped.
    ExpectSame(Window().Options(), Chosen());

    Restart();
    ExpectSame(Window().Options(), Chosen());
    WithDialog([&](QDialog&) {
        ExpectSame(Shown(), Chosen());
        Fill(CompareOptions());
        Click("btnCancel");
    });
    ExpectSame(Window().Options(), Chosen());
    Restart();
    ExpectSame(Window().Options(), Chosen());
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(OptionsDialog, NoKindToShowIsRefusedWithAMessage) {
    WithDialog([&](QDialog& dialog) {
        for (const char* box : kKindBoxes) Find<QCheckBox>(box).setChecked(false);
        Click("btnOK");
        EXPECT_TRUE(dialog.isVisible());
        ASSERT_EQ(prompt.messages.size(), 1u);
        EXPECT_EQ(prompt.messages[0].text, "Please tick at least one kind to show.");
        EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
        Find<QCheckBox>("chkOnlyViews").setChecked(true);
        Click("btnOK");
    });
    EXPECT_EQ(Window().Options().only, CompareKind::Views);
}

// A stored choice the program cannot read must not hide differences.
TEST_F(OptionsDialog, AnUnreadableStoredKindListShowsEveryKind) {
    const std::pair<QVariant, unsigned> cases[] = {
        {QVariant(), CompareKind::All},
        {"tables,bogus", CompareKind::All},
        {"", CompareKind::All},
        {"views, Tables", CompareKind::Tables | CompareKind::Views},
    };
    for (const auto& [stored, shown] : cases) {
        SCOPED_TRACE(stored.toString().toStdString());
        {
            QSettings store = gui::ServerMemory::Store();
            if (stored.isNull())
                store.remove("ComparisonOptions/Only");
            else
                store.setValue("ComparisonOptions/Only", stored);
        }
        Restart();
        EXPECT_EQ(Window().Options().only, shown);
    }
}

// The report says how its rows were found, even once the options have changed again.
TEST_F(OptionsDialog, TheReportNamesTheOptionsOfItsComparison) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    CopyExample("template.html", "template.html");
    const TempFolder out;
    const std::string target = out.File("report.html");
    const auto report = [&] {
        saveDialog.Choose(QString::fromStdString(target));
        Click("btnSave");
        return TempFolder::Read(target);
    };
    AddSnapShotEntry("shop-v1.snp");
    AddSnapShotEntry("shop-v2.snp");
    Click("btnCompare");
    EXPECT_EQ(report().find("Compared with"), std::string::npos);

    CompareOptions caseless;
    caseless.ignoreCase = true;
    WithDialog([&](QDialog&) {
        Fill(caseless);
        Click("btnOK");
    });
    EXPECT_EQ(report().find("Compared with"), std::string::npos);
    Click("btnCompare");
    WithDialog([&](QDialog&) {
        Fill(CompareOptions());
        Click("btnOK");
    });
    EXPECT_NE(report().find("Compared with options: ignore-case<"), std::string::npos);
}

}  // namespace
}  // namespace tablor::testing

namespace tablor::testing {
namespace {

// Definitions are read and compared when ticked, the properties to ignore with them; both are
// kept for the next start.
TEST_F(OptionsDialog, DefinitionsAndThePropertiesToIgnoreAreKept) {
    WithDialog([&](QDialog&) {
        EXPECT_FALSE(Find<QLineEdit>("txtIgnoreProperties").isEnabled());
        Find<QCheckBox>("chkDefinitions").setChecked(true);
        Find<QLineEdit>("txtIgnoreProperties").setText(" comment,collation  owner ");
        Click("btnOK");
    });
    Restart();
    EXPECT_TRUE(Window().Options().definitions);
    EXPECT_EQ(Window().Options().ignoreProperties,
              (std::vector<std::string>{"comment", "collation", "owner"}));
    EXPECT_EQ(Window().Options().only, CompareKind::All);
    WithDialog([&](QDialog&) {
        EXPECT_EQ(Find<QLineEdit>("txtIgnoreProperties").text(), "comment, collation, owner");
        Find<QCheckBox>("chkDefinitions").setChecked(false);
        Click("btnOK");
    });
    EXPECT_FALSE(Window().Options().definitions);
    EXPECT_TRUE(Window().Options().ignoreProperties.empty()) << "an option that does nothing";
}

}  // namespace
}  // namespace tablor::testing

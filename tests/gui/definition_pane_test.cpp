// The pane under the differences list: a changed definition's values, side by side.
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTreeView>

#include "GuiTestSupport.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/OptionsDialog.hpp"

namespace tablor::testing {
namespace {

class DefinitionPane : public GuiTest {};

// Each line of the box, opened by '*' when it is marked (a background of its own), else ' '.
std::string MarkedLines(QTextEdit& box) {
    std::string out;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        if (!out.empty()) out += '\n';
        out += block.blockFormat().hasProperty(QTextFormat::BackgroundBrush) ? '*' : ' ';
        out += block.text().toStdString();
    }
    return out;
}

TEST_F(DefinitionPane, ShowsBothValuesOfAChangedRowWithTheChangedLinesMarkedAndNothingForOthers) {
    WriteSnapShot("a.snp",
                  "SRV*Db1*u*\r\n*\r\nvOpen*\r\n*\r\n"
                  "~V*1*schema=dbo*definition=create view vOpen as%0Aselect o.id, o.total%0Afrom orders o%0A"
                  "where o.state = %27open%27%0A  and o.total > 0\r\n"
                  ":orders\r\nstate*varchar*10*default=%27new%27\r\n:extra\r\nid*int*\r\n");
    WriteSnapShot("b.snp",
                  "SRV*Db2*u*\r\n*\r\nvOpen*\r\n*\r\n"
                  "~V*1*schema=dbo*definition=create view vOpen as%0Aselect o.id, o.total, o.<customer>%0A"
                  "from orders o%0Awhere o.state = %27open%27 and o.total > 0\r\n"
                  ":orders\r\nstate*varchar*10*default=%27pending%27\r\n");
    CompareOptions options;
    options.definitions = true;
    ASSERT_TRUE(gui::OptionsMemory::Save(options).isEmpty());
    gui::Main& window = ShownWindow();
    AddSnapShotEntry("a.snp");
    AddSnapShotEntry("b.snp");
    Click("btnCompare");

    struct Case {
        const char* kind;
        const char* first;  // empty: the pane is hidden
        const char* second;
    };
    const Case cases[] = {
        {"View changed",
         " create view vOpen as\n*select o.id, o.total\n from orders o\n*where o.state = 'open'\n*  and "
         "o.total > 0",
         " create view vOpen as\n*select o.id, o.total, o.<customer>\n from orders o\n"
         "*where o.state = 'open' and o.total > 0\n*"},
        {"Table", "", ""},
        {"Field changed", "*'new'", "*'pending'"},
    };
    auto& list = Find<QTreeView>("lvDifferences");
    auto& pane = Find<QWidget>("pnlDefinition");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const auto found =
            Differences().match(Differences().index(0, 1), Qt::DisplayRole, c.kind, 1, Qt::MatchFixedString);
        ASSERT_EQ(found.size(), 1) << ::testing::PrintToString(DifferenceRows());
        list.setCurrentIndex(found.front());
        EXPECT_EQ(pane.isVisible(), *c.first != '\0');
        EXPECT_EQ(MarkedLines(Find<QTextEdit>("txtDefinition1")), *c.first ? c.first : " ");
        EXPECT_EQ(MarkedLines(Find<QTextEdit>("txtDefinition2")), *c.second ? c.second : " ");
    }
    list.setCurrentIndex(
        Differences().match(Differences().index(0, 1), Qt::DisplayRole, "View changed").front());
    QTest::qWait(50);
    SaveScreenshot(window, TABLOR_SCREENSHOT_DIR, "main-window-definition.png");
}

}  // namespace
}  // namespace tablor::testing

namespace tablor::testing {
namespace {

// Live sides read their definitions only for a comparison of definitions.
TEST_F(DefinitionPane, LiveSidesReadDefinitionsOnlyWhenTheyAreCompared) {
    connector->databases["Sales"].Table("Orders", {{"Id", "int"}});
    connector->databases["Archive"].Table("Orders", {{"Id", "int"}});
    for (const bool definitions : {false, true}) {
        SCOPED_TRACE(definitions);
        CompareOptions options;
        options.definitions = definitions;
        ASSERT_TRUE(gui::OptionsMemory::Save(options).isEmpty());
        Restart();
        connector->opened.clear();
        AddConnectionEntry("SRV01", "Sales");
        AddConnectionEntry("SRV01", "Archive");
        Click("btnCompare");
        ASSERT_EQ(connector->opened.size(), 2u) << ::testing::PrintToString(prompt.Texts());
        for (const ConnectionSettings& side : connector->opened) EXPECT_EQ(side.readDefinitions, definitions);
    }
}

}  // namespace
}  // namespace tablor::testing

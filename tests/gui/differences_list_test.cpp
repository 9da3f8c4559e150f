// The differences list: row texts, kind words and pictures, and the ascending sort that
// stays on for later comparisons.
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QTreeView>

#include "GuiTestSupport.hpp"
#include "compare/cDifference.hpp"
#include "ui/Pictures.hpp"
#include "workbench/DifferencesModel.hpp"

namespace tablor::testing {
namespace {

using gui::DifferencesModel;

cDifference Difference(const std::string& name, int type, const std::string& source,
                       const std::string& message) {
    return cDifference(name, type, source, message);
}

std::vector<DifferencesModel::Row> Rows(const std::vector<cDifference>& differences) {
    std::vector<DifferencesModel::Row> rows;
    for (const auto& d : differences) rows.push_back(std::make_shared<cDifference>(d));
    return rows;
}

QStringList Column(const DifferencesModel& model, int column) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) texts.append(model.index(row, column).data().toString());
    return texts;
}

TEST(DifferencesRows, EachKindShowsItsPictureInTheFirstColumnOnly) {
    const std::pair<int, int> pictures[] = {{0, 3},  {1, 4},  {2, 6}, {3, 8}, {4, 10},
                                            {5, 11}, {6, 12}, {9, 0}, {-1, 0}};
    DifferencesModel model;
    for (const auto& [type, picture] : pictures) {
        model.Replace(Rows({Difference("X", type, "b", "m")}));
        const QVariant shown = model.index(0, 0).data(Qt::DecorationRole);
        EXPECT_EQ(shown.isValid() ? shown.value<QIcon>().cacheKey() : 0,
                  picture == 0 ? 0 : gui::SmallPictureAt(picture).cacheKey())
            << type;
        EXPECT_FALSE(model.index(0, 1).data(Qt::DecorationRole).isValid());
    }
    for (int number = 1; number <= gui::kSmallPictureCount; ++number)
        EXPECT_FALSE(gui::SmallPictureAt(number).pixmap(16, 16).isNull()) << number;
}

// Texts are made when shown; each cell's tip is the whole of its text.
TEST(DifferencesRows, EveryCellTellsItsWholeTextInItsTip) {
    DifferencesModel model;
    const std::string longName = "Customer_Order_Fulfilment_" + std::string(120, 'x') + "_Archive";
    cDifference field(longName, 1, "b.snp", "The field is missing");
    field.SetFieldDetails("Orders", "nvarchar", "50");
    model.Append(Rows({field}));
    const DifferenceRow texts = DifferenceRow::From(field);
    for (int column = 0; column < DifferencesModel::kColumns; ++column) {
        EXPECT_EQ(model.index(0, column).data(Qt::DisplayRole).toString().toStdString(),
                  texts.cells[static_cast<std::size_t>(column)]);
        EXPECT_EQ(model.index(0, column).data(Qt::ToolTipRole), model.index(0, column).data(Qt::DisplayRole));
    }
}

// A name that looks like markup shows in its tip as the name, as Qt reads a tip.
TEST(DifferencesRows, ATipShowsMarkupInANameAsText) {
    for (const std::string name : {"plain <name>", "<b>bold</b>\nline", "<img src=\"x.png\"> &amp;"}) {
        DifferencesModel model;
        model.Append(Rows({Difference(name, 0, "b.snp", "m")}));
        const QString tip = model.index(0, 0).data(Qt::ToolTipRole).toString();
        QTextDocument shown;
        if (Qt::mightBeRichText(tip))
            shown.setHtml(tip);
        else
            shown.setPlainText(tip);
        EXPECT_EQ(shown.toPlainText().toStdString(), name);
    }
}

TEST(DifferencesSort, SortsAscendingByTheClickedColumnIgnoringCase) {
    DifferencesModel model;
    model.Append(Rows({Difference("beta", 0, "s2", "m3"), Difference("alpha", 2, "s1", "m1"),
                       Difference("gamma", 3, "s1", "m2"), Difference("Alpha", 4, "s3", "m0")}));
    EXPECT_FALSE(model.IsSorted());
    EXPECT_EQ(Column(model, 0), QStringList({"beta", "alpha", "gamma", "Alpha"}));
    model.SortBy(0);
    // Letter case is ignored; equal texts then go by exact text.
    EXPECT_EQ(Column(model, 0), QStringList({"Alpha", "alpha", "beta", "gamma"}));
    model.SortBy(4);
    EXPECT_EQ(Column(model, 4), QStringList({"m0", "m1", "m2", "m3"}));
    model.SortBy(4);
    EXPECT_EQ(Column(model, 4), QStringList({"m0", "m1", "m2", "m3"}));
    // Rows with the same text keep the order they had.
    model.SortBy(2);
    EXPECT_EQ(Column(model, 2), QStringList({"s1", "s1", "s2", "s3"}));
    EXPECT_EQ(Column(model, 4), QStringList({"m1", "m2", "m3", "m0"}));
}

TEST(DifferencesSort, RowsAddedLaterTakeTheirPlaceInTheChosenOrder) {
    DifferencesModel model;
    model.Append(Rows({Difference("b", 0, "y.snp", "1"), Difference("a", 0, "x.snp", "2")}));
    model.SortBy(2);
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(model.IsSorted());
    model.Append(Rows({Difference("p", 0, "z.snp", "1"), Difference("q", 0, "x.snp", "2")}));
    model.Append(Rows({Difference("r", 0, "y.snp", "3"), Difference("s", 0, "x.snp", "4")}));
    EXPECT_EQ(Column(model, 2), QStringList({"x.snp", "x.snp", "y.snp", "z.snp"}));
    EXPECT_EQ(Column(model, 0), QStringList({"q", "s", "r", "p"}));
    EXPECT_EQ(model.At(0).cells[0], "q");
    EXPECT_EQ(model.At(3).cells[2], "z.snp");
}

TEST(DifferencesSort, SortingKeepsTheSelectedRowSelected) {
    DifferencesModel model;
    model.Append(
        Rows({Difference("c", 0, "s", "m"), Difference("a", 0, "s", "m"), Difference("b", 0, "s", "m")}));
    const QPersistentModelIndex selected = model.index(0, 0);
    model.SortBy(0);
    EXPECT_EQ(selected.row(), 2);
    EXPECT_EQ(selected.data().toString(), "c");
}

class DifferencesView : public GuiTest {};

TEST_F(DifferencesView, AHeaderClickSortsAscendingEveryTime) {
    ShownWindow();
    Differences().Append(Rows(
        {Difference("b", 0, "s", "Zeta"), Difference("a", 0, "s", "alpha"), Difference("c", 0, "s", "Mu")}));
    QHeaderView* header = Find<QTreeView>("lvDifferences").header();
    const QPoint message(header->sectionViewportPosition(4) + 5, header->height() / 2);
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, message);
        EXPECT_EQ(Column(Differences(), 4), QStringList({"alpha", "Mu", "Zeta"}));
        EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
        EXPECT_EQ(header->sortIndicatorSection(), 4);
    }
    EXPECT_EQ(Differences().SortColumn(), 4);
}

}  // namespace
}  // namespace tablor::testing

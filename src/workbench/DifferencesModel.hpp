#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <memory>
#include <vector>

#include "report/DifferenceRow.hpp"

namespace tablor {
class cDifference;
}

namespace tablor::gui {

// The rows of the differences list: the differences themselves, whose texts are made when the
// view asks for them, never held (750,000 rows of copied texts took some 600 MB). Each cell's
// tip is its whole text. Sorting is always ascending by one column's text (letter case ignored,
// then exact text, then the order the rows came in); once sorted, rows added later take their
// place in that order.
class DifferencesModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kColumns = 5;

    using Row = std::shared_ptr<const cDifference>;

    explicit DifferencesModel(QObject* parent = nullptr);

    // Adds rows in the order given (or merged into the sort order).
    void Append(std::vector<Row> rows);
    // Puts `rows` in place of every row, and hands back the rows it held. Rows already put in
    // the list's order (Sort, by SortColumn, off the window's thread) are taken as they are.
    std::vector<Row> Replace(std::vector<Row> rows, bool inListOrder = false);
    // Sorts rows as a header click on `column` does; rows of equal texts keep their order.
    static void Sort(std::vector<Row>& rows, int column);
    void Clear();

    // Column-header click: sorts ascending by `column` and keeps that order from now on.
    void SortBy(int column);
    bool IsSorted() const noexcept { return sorted_; }
    int SortColumn() const noexcept { return sortColumn_; }

    // A row's texts as displayed, for the report.
    DifferenceRow At(std::size_t row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    static void SortByTexts(std::vector<Row>& rows, int column);

    std::vector<Row> rows_;
    bool sorted_ = false;
    int sortColumn_ = 0;
};

}  // namespace tablor::gui

#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <vector>

#include "report/DifferenceRow.hpp"

namespace tablor {
struct cDifference;
}

namespace tablor::gui {

// The rows of the differences list: plain text copies of the difference records, with the
// kind's picture. Sorting is always ascending by one column's text (letter case ignored,
// then exact text, then the order the rows came in); once sorted, rows added later are
// merged into that order.
class DifferencesModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kColumns = 5;

    struct Row {
        std::array<QString, kColumns> cells;
        int picture = 0;  // image-list number; 0 for none
        QString sortKey;  // the folded text of the sort column
    };

    explicit DifferencesModel(QObject* parent = nullptr);

    static Row MakeRow(const cDifference& difference);

    // Adds rows in the order given (or merged into the sort order).
    void Append(std::vector<Row> rows);
    void Clear();

    // Column-header click: sorts ascending by `column` and keeps that order from now on.
    void SortBy(int column);
    bool IsSorted() const noexcept { return sorted_; }
    int SortColumn() const noexcept { return sortColumn_; }

    // The rows as displayed, for the report.
    std::vector<DifferenceRow> DisplayedRows() const;
    const Row& At(int row) const { return rows_[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    void SetKeys(std::vector<Row>::iterator first, std::vector<Row>::iterator last) const;

    std::vector<Row> rows_;
    bool sorted_ = false;
    int sortColumn_ = 0;
};

}  // namespace tablor::gui

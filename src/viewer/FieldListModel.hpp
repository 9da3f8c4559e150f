#pragma once
#include <QAbstractTableModel>
#include <memory>

#include "model/cMetaDataElement.hpp"

namespace tablor::gui {

// The viewer's column list: one row per column of one table, "Field", "Type" and "Size",
// each row with the column picture. It holds the table, not a copy of its columns.
class FieldListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    // Lists the columns of `table` in model order; null empties the list.
    void ShowTable(std::shared_ptr<const cMetaDataElement> table);
    const std::shared_ptr<const cMetaDataElement>& ShownTable() const noexcept { return table_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  private:
    std::shared_ptr<const cMetaDataElement> table_;
};

}  // namespace tablor::gui

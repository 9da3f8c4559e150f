#include "viewer/FieldListModel.hpp"

#include "ui/Pictures.hpp"
#include "ui/ShownText.hpp"

namespace tablor::gui {

void FieldListModel::ShowTable(std::shared_ptr<const cMetaDataElement> table) {
    beginResetModel();
    table_ = std::move(table);
    endResetModel();
}

int FieldListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !table_) return 0;
    return static_cast<int>(table_->Fields().Count());
}

int FieldListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant FieldListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !table_) return {};
    const auto& fields = table_->Fields().Items();
    const auto row = static_cast<std::size_t>(index.row());
    if (row >= fields.size()) return {};
    const cField& field = *fields[row];
    if (role == Qt::DecorationRole)
        return index.column() == 0 ? QVariant(Picture(SmallPicture::Column)) : QVariant();
    // A long name, cut by the column's width, shows whole in its tip.
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const std::string* text = index.column() == 0   ? &field.FieldName
                              : index.column() == 1 ? &field.FieldType
                              : index.column() == 2 ? &field.FieldSize
                                                    : nullptr;
    if (text == nullptr) return {};
    const QString shown = QString::fromStdString(*text);
    return role == Qt::ToolTipRole ? TipText(shown) : shown;
}

QVariant FieldListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case 0:
            return QStringLiteral("Field");
        case 1:
            return QStringLiteral("Type");
        case 2:
            return QStringLiteral("Size");
        default:
            return {};
    }
}

}  // namespace tablor::gui

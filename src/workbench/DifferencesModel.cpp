#include "workbench/DifferencesModel.hpp"

#include <algorithm>
#include <iterator>

#include "compare/cDifference.hpp"
#include "model/ObjectType.hpp"
#include "workbench/Pictures.hpp"

namespace tablor::gui {
namespace {

int PictureFor(std::int32_t objectType) {
    switch (objectType) {
        case ObjectType::Table:
            return static_cast<int>(SmallPicture::Table);
        case ObjectType::Field:
            return static_cast<int>(SmallPicture::Column);
        case ObjectType::View:
            return static_cast<int>(SmallPicture::View);
        case ObjectType::Procedure:
            return static_cast<int>(SmallPicture::Procedure);
        case ObjectType::Function:
            return static_cast<int>(SmallPicture::Function);
        case ObjectType::Constraint:
            return static_cast<int>(SmallPicture::Constraint);
        case ObjectType::FieldChanged:
            return static_cast<int>(SmallPicture::FieldChanged);
        default:
            return 0;
    }
}

bool SortsBefore(const DifferencesModel::Row& a, const DifferencesModel::Row& b, int column) {
    if (const int c = a.sortKey.compare(b.sortKey); c != 0) return c < 0;
    return a.cells[static_cast<std::size_t>(column)] < b.cells[static_cast<std::size_t>(column)];
}

}  // namespace

DifferencesModel::DifferencesModel(QObject* parent) : QAbstractTableModel(parent) {}

DifferencesModel::Row DifferencesModel::MakeRow(const cDifference& difference) {
    const DifferenceRow texts = DifferenceRow::From(difference);
    Row row;
    for (std::size_t i = 0; i < texts.cells.size(); ++i)
        row.cells[i] = QString::fromStdString(texts.cells[i]);
    row.picture = PictureFor(difference.ObjectType);
    return row;
}

void DifferencesModel::SetKeys(std::vector<Row>::iterator first, std::vector<Row>::iterator last) const {
    for (auto it = first; it != last; ++it)
        it->sortKey = it->cells[static_cast<std::size_t>(sortColumn_)].toCaseFolded();
}

void DifferencesModel::Append(std::vector<Row> rows) {
    if (rows.empty()) return;
    if (!sorted_) {
        const int first = static_cast<int>(rows_.size());
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
        rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
        endInsertRows();
        return;
    }
    // Equal texts keep their arrival order: rows already listed come before new ones.
    const int column = sortColumn_;
    SetKeys(rows.begin(), rows.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [column](const Row& a, const Row& b) { return SortsBefore(a, b, column); });
    beginResetModel();
    const auto middle = static_cast<std::ptrdiff_t>(rows_.size());
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    std::inplace_merge(rows_.begin(), rows_.begin() + middle, rows_.end(),
                       [column](const Row& a, const Row& b) { return SortsBefore(a, b, column); });
    endResetModel();
}

void DifferencesModel::Clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
}

void DifferencesModel::SortBy(int column) {
    if (column < 0 || column >= kColumns) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    // Remember where each persistent row stood, to point it at its new place.
    std::vector<std::size_t> origin(rows_.size());
    for (std::size_t i = 0; i < origin.size(); ++i) origin[i] = i;
    sorted_ = true;
    sortColumn_ = column;
    SetKeys(rows_.begin(), rows_.end());
    std::stable_sort(origin.begin(), origin.end(),
                     [&](std::size_t a, std::size_t b) { return SortsBefore(rows_[a], rows_[b], column); });
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    std::vector<int> newPlace(rows_.size());
    for (std::size_t i = 0; i < origin.size(); ++i) {
        newPlace[origin[i]] = static_cast<int>(i);
        sorted.push_back(std::move(rows_[origin[i]]));
    }
    rows_ = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(index.isValid()
                         ? this->index(newPlace[static_cast<std::size_t>(index.row())], index.column())
                         : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<DifferenceRow> DifferencesModel::DisplayedRows() const {
    std::vector<DifferenceRow> out;
    out.reserve(rows_.size());
    for (const Row& row : rows_) {
        DifferenceRow texts;
        for (std::size_t i = 0; i < texts.cells.size(); ++i) texts.cells[i] = row.cells[i].toStdString();
        out.push_back(std::move(texts));
    }
    return out;
}

int DifferencesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DifferencesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant DifferencesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return row.cells[static_cast<std::size_t>(index.column())];
        case Qt::DecorationRole:
            if (index.column() == 0 && row.picture != 0) return SmallPictureAt(row.picture);
            return {};
        default:
            return {};
    }
}

QVariant DifferencesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    const std::string_view header = DifferenceRow::kHeaders[static_cast<std::size_t>(section)];
    return QString::fromUtf8(header.data(), static_cast<qsizetype>(header.size()));
}

}  // namespace tablor::gui

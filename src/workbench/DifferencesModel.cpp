#include "workbench/DifferencesModel.hpp"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <iterator>
#include <numeric>

#include "compare/cDifference.hpp"
#include "model/ObjectType.hpp"
#include "ui/Pictures.hpp"
#include "ui/ShownText.hpp"

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
            // A changed element shows as its kind; kinds without a picture of their own show none.
            return ObjectType::IsChange(objectType) ? PictureFor(objectType - ObjectType::kChanged) : 0;
    }
}

QString Cell(const cDifference& difference, int column) {
    // Sorting asks every row once: bodies are not copied for it.
    return QString::fromStdString(
        DifferenceRow::From(difference, false).cells[static_cast<std::size_t>(column)]);
}

}  // namespace

DifferencesModel::DifferencesModel(QObject* parent) : QAbstractTableModel(parent) {}

// The texts are made once for the sort and let go of after it.
void DifferencesModel::Sort(std::vector<Row>& rows, int column) {
    SortByTexts(rows, column);
#if defined(__GLIBC__)
    // Hundreds of megabytes of texts were let go of: they go back to the system, not to the heap.
    malloc_trim(0);
#endif
}

void DifferencesModel::SortByTexts(std::vector<Row>& rows, int column) {
    std::vector<QString> exact(rows.size());
    std::vector<QString> folded(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        exact[i] = Cell(*rows[i], column);
        folded[i] = exact[i].toCaseFolded();
    }
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (const int c = folded[a].compare(folded[b]); c != 0) return c < 0;
        return exact[a] < exact[b];
    });
    std::vector<Row> sorted;
    sorted.reserve(rows.size());
    for (const std::size_t from : order) sorted.push_back(std::move(rows[from]));
    rows = std::move(sorted);
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
    beginResetModel();
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    Sort(rows_, sortColumn_);
    endResetModel();
}

std::vector<DifferencesModel::Row> DifferencesModel::Replace(std::vector<Row> rows, bool inListOrder) {
    beginResetModel();
    std::vector<Row> previous = std::exchange(rows_, std::move(rows));
    if (sorted_ && !inListOrder) Sort(rows_, sortColumn_);
    endResetModel();
    return previous;
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
    // Where each persistent row stood, to point it at its new place.
    std::vector<const cDifference*> held;
    held.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        held.push_back(index.isValid() ? rows_[static_cast<std::size_t>(index.row())].get() : nullptr);
    sorted_ = true;
    sortColumn_ = column;
    Sort(rows_, column);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const cDifference* row = held[static_cast<std::size_t>(i)];
        const auto found =
            std::find_if(rows_.begin(), rows_.end(), [row](const Row& each) { return each.get() == row; });
        after.append(row == nullptr || found == rows_.end()
                         ? QModelIndex()
                         : index(static_cast<int>(found - rows_.begin()), before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

DifferenceRow DifferencesModel::At(std::size_t row) const {
    return DifferenceRow::From(*rows_[row]);
}

int DifferencesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DifferencesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant DifferencesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const cDifference& row = *rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return Cell(row, index.column());
        case Qt::ToolTipRole:
            return TipText(Cell(row, index.column()));
        case Qt::DecorationRole:
            if (index.column() == 0 && PictureFor(row.ObjectType) != 0)
                return SmallPictureAt(PictureFor(row.ObjectType));
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

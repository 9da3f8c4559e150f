#include "ViewerTestSupport.hpp"

#include <gtest/gtest.h>

#include <QTest>
#include <QTreeView>

#include "ui/Pictures.hpp"
#include "viewer/FieldListModel.hpp"

namespace tablor::testing {

SchemaBuilder& SchemaBuilder::Table(const std::string& name, const Columns& columns) {
    const auto table = schema->Tables().Add(name);
    for (const auto& [field, type] : columns)
        table->Fields().Add(field, type, type.find("char") != std::string::npos ? "50" : "");
    return *this;
}
SchemaBuilder& SchemaBuilder::View(const std::string& name) {
    schema->Views().Add(name);
    return *this;
}
SchemaBuilder& SchemaBuilder::Procedure(const std::string& name) {
    schema->Routines().Add(name, 2);
    return *this;
}
SchemaBuilder& SchemaBuilder::Function(const std::string& name) {
    schema->Routines().Add(name, 1);
    return *this;
}

QStringList Captions(const QAbstractItemModel& model, const QModelIndex& parent) {
    QStringList captions;
    for (int row = 0; row < model.rowCount(parent); ++row)
        captions << model.index(row, 0, parent).data().toString();
    return captions;
}

int IconNumber(const QModelIndex& index) {
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (!decoration.isValid()) return 0;
    const qint64 key = decoration.value<QIcon>().cacheKey();
    for (int number = 1; number <= gui::kSmallPictureCount; ++number)
        if (gui::SmallPictureAt(number).cacheKey() == key) return number;
    return -1;
}

QStringList FieldRows(const gui::StructureViewerFrm& viewer) {
    const QAbstractItemModel& model = *viewer.lvFields->model();
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.index(row, column).data().toString();
        rows << cells.join('|');
    }
    return rows;
}

void ClickNode(gui::StructureViewerFrm& viewer, const QModelIndex& index) {
    viewer.Tree->scrollTo(index);
    const QRect rect = viewer.Tree->visualRect(index);
    ASSERT_TRUE(rect.isValid()) << index.data().toString().toStdString();
    QTest::mouseClick(viewer.Tree->viewport(), Qt::LeftButton, {}, rect.center());
}

QModelIndex ChildNamed(const QAbstractItemModel& model, const QModelIndex& parent, const QString& caption) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex child = model.index(row, 0, parent);
        if (child.data().toString() == caption) return child;
    }
    return {};
}

}  // namespace tablor::testing

#pragma once
#include <QIcon>
#include <QModelIndex>
#include <QStringList>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/cMetaData.hpp"
#include "viewer/StructureTreeModel.hpp"
#include "viewer/StructureViewerFrm.hpp"

namespace tablor::testing {

using Columns = std::vector<std::pair<std::string, std::string>>;  // name, type; "char" types get size 50

// A schema built in the order given.
struct SchemaBuilder {
    std::shared_ptr<cMetaData> schema = std::make_shared<cMetaData>();

    SchemaBuilder& Table(const std::string& name, const Columns& columns = {});
    SchemaBuilder& View(const std::string& name);
    SchemaBuilder& Procedure(const std::string& name);
    SchemaBuilder& Function(const std::string& name);
};

// The captions of `parent`'s children, in the order shown.
QStringList Captions(const QAbstractItemModel& model, const QModelIndex& parent);
// The image-list number of a node's or row's icon; 0 for none.
int IconNumber(const QModelIndex& index);
// The list's rows, each "field|type|size".
QStringList FieldRows(const gui::StructureViewerFrm& viewer);
// Clicks a node with the mouse, as the user would (it is scrolled into view first).
void ClickNode(gui::StructureViewerFrm& viewer, const QModelIndex& index);
// The child of `parent` with this caption; invalid when none has it.
QModelIndex ChildNamed(const QAbstractItemModel& model, const QModelIndex& parent, const QString& caption);

}  // namespace tablor::testing

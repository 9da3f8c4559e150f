#include "viewer/StructureTreeModel.hpp"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "model/ObjectType.hpp"
#include "support/TextCase.hpp"
#include "ui/Pictures.hpp"
#include "ui/ShownText.hpp"

namespace tablor::gui {
namespace {

static_assert(sizeof(quintptr) >= 8, "node ids need 64 bits");

using Kind = StructureTreeModel::Kind;

constexpr Kind kGroups[] = {Kind::TablesGroup, Kind::ViewsGroup, Kind::ProceduresGroup, Kind::FunctionsGroup};

int GroupRow(Kind group) {
    switch (group) {
        case Kind::TablesGroup:
            return 0;
        case Kind::ViewsGroup:
            return 1;
        case Kind::ProceduresGroup:
            return 2;
        default:
            return 3;
    }
}

bool IsProperty(Kind kind) {
    return kind == Kind::TableProperty || kind == Kind::ViewProperty || kind == Kind::RoutineProperty ||
           kind == Kind::ColumnProperty;
}

Kind GroupOf(Kind member) {
    switch (member) {
        case Kind::Table:
            return Kind::TablesGroup;
        case Kind::View:
            return Kind::ViewsGroup;
        case Kind::Procedure:
            return Kind::ProceduresGroup;
        default:
            return Kind::FunctionsGroup;
    }
}

// The viewer's image-list numbers.
int IconOf(Kind kind) {
    switch (kind) {
        case Kind::Root:
            return 1;
        case Kind::TablesGroup:
            return 2;
        case Kind::Table:
            return 3;
        case Kind::Column:
            return 4;
        case Kind::ViewsGroup:
            return 5;
        case Kind::View:
            return 6;
        case Kind::ProceduresGroup:
            return 7;
        case Kind::Procedure:
            return 8;
        case Kind::FunctionsGroup:
            return 9;
        case Kind::Function:
            return 10;
        default:
            return 0;
    }
}

const char* GroupCaption(Kind group) {
    switch (group) {
        case Kind::TablesGroup:
            return "Tables";
        case Kind::ViewsGroup:
            return "Views";
        case Kind::ProceduresGroup:
            return "Stored Procedures";
        default:
            return "Functions";
    }
}

const char* GroupKey(Kind group) {
    switch (group) {
        case Kind::TablesGroup:
            return "TABLES";
        case Kind::ViewsGroup:
            return "VIEWS";
        case Kind::ProceduresGroup:
            return "PROCEDURES";
        default:
            return "FUNCTIONS";
    }
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

StructureTreeModel::StructureTreeModel(std::shared_ptr<cMetaData> schema, QString rootCaption,
                                       QObject* parent)
    : QAbstractItemModel(parent),
      schema_(schema ? std::move(schema) : std::make_shared<cMetaData>()),
      rootCaption_(std::move(rootCaption)),
      outline_(OutlineOf(*schema_)) {
    const cMetaData& model = std::as_const(*schema_);
    tableRow_.resize(model.Tables().Items().size(), -1);
    for (std::size_t row = 0; row < outline_.tables.size(); ++row)
        tableRow_[outline_.tables[row]] = static_cast<int>(row);
    viewRow_.resize(model.Views().Items().size(), -1);
    for (std::size_t row = 0; row < outline_.views.size(); ++row)
        viewRow_[outline_.views[row]] = static_cast<int>(row);
    routineRow_.resize(model.Routines().Items().size(), -1);
    for (const auto* group : {&outline_.procedures, &outline_.functions})
        for (std::size_t row = 0; row < group->size(); ++row)
            routineRow_[(*group)[row]] = static_cast<int>(row);
}

quintptr StructureTreeModel::Pack(Kind kind, std::size_t element, std::size_t column, std::size_t property) {
    return static_cast<quintptr>(kind) | ((quintptr{element} & kIndexMask) << 4) |
           ((quintptr{column} & kColumnMask) << 34) | ((quintptr{property} & kPropertyMask) << 54);
}

const Properties* StructureTreeModel::PropertiesOf(quintptr id) const {
    const std::size_t element = ElementOf(id);
    const cMetaDataElement* owner = nullptr;
    switch (static_cast<Kind>(id & 0x0F)) {
        case Kind::Table:
        case Kind::TableProperty:
            owner = Table(element);
            break;
        case Kind::View:
        case Kind::ViewProperty: {
            const auto& views = std::as_const(*schema_).Views().Items();
            owner = element < views.size() ? views[element].get() : nullptr;
            break;
        }
        case Kind::Procedure:
        case Kind::Function:
        case Kind::RoutineProperty: {
            const auto& routines = std::as_const(*schema_).Routines().Items();
            owner = element < routines.size() ? routines[element].get() : nullptr;
            break;
        }
        case Kind::Column:
        case Kind::ColumnProperty: {
            const cField* field = Field(element, ColumnOf(id));
            return field != nullptr ? field->Definition.get() : nullptr;
        }
        default:
            return nullptr;
    }
    return owner != nullptr ? owner->Definition.get() : nullptr;
}

int StructureTreeModel::PropertyCount(const Properties* properties) {
    if (properties == nullptr) return 0;
    return static_cast<int>(std::min<std::size_t>(properties->size(), kPropertyMask + 1));
}

Kind StructureTreeModel::KindOf(const QModelIndex& index) {
    return static_cast<Kind>(index.internalId() & 0x0F);
}

const cMetaDataElement* StructureTreeModel::Table(std::size_t table) const {
    const auto& tables = std::as_const(*schema_).Tables().Items();
    return table < tables.size() ? tables[table].get() : nullptr;
}

const cField* StructureTreeModel::Field(std::size_t table, std::size_t column) const {
    const cMetaDataElement* element = Table(table);
    if (element == nullptr) return nullptr;
    const auto& fields = element->Fields().Items();
    return column < fields.size() ? fields[column] : nullptr;
}

QModelIndex StructureTreeModel::GroupIndex(Kind group) const {
    return createIndex(GroupRow(group), 0, Pack(group));
}

QModelIndex StructureTreeModel::TableIndex(std::size_t table) const {
    if (table >= tableRow_.size() || tableRow_[table] < 0) return {};
    return createIndex(tableRow_[table], 0, Pack(Kind::Table, table));
}

// A table's columns follow its properties.
QModelIndex StructureTreeModel::ColumnIndex(std::size_t table, std::size_t column) const {
    const cMetaDataElement* element = Table(table);
    if (element == nullptr) return {};
    const int row = PropertyCount(element->Definition.get()) + static_cast<int>(column);
    return createIndex(row, 0, Pack(Kind::Column, table, column));
}

QModelIndex StructureTreeModel::ViewIndex(std::size_t view) const {
    if (view >= viewRow_.size() || viewRow_[view] < 0) return {};
    return createIndex(viewRow_[view], 0, Pack(Kind::View, view));
}

QModelIndex StructureTreeModel::RoutineIndex(std::size_t routine) const {
    if (routine >= routineRow_.size() || routineRow_[routine] < 0) return {};
    const bool procedure =
        std::as_const(*schema_).Routines().Items()[routine]->ObjectType == ObjectType::Procedure;
    return createIndex(routineRow_[routine], 0, Pack(procedure ? Kind::Procedure : Kind::Function, routine));
}

QModelIndex StructureTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0 || row >= rowCount(parent)) return {};
    const auto at = static_cast<std::size_t>(row);
    if (!parent.isValid()) return createIndex(row, 0, Pack(Kind::Root));
    const quintptr id = parent.internalId();
    switch (const Kind kind = KindOf(parent)) {
        case Kind::Root:
            return createIndex(row, 0, Pack(kGroups[row]));
        case Kind::TablesGroup:
            return createIndex(row, 0, Pack(Kind::Table, outline_.tables[at]));
        case Kind::ViewsGroup:
            return createIndex(row, 0, Pack(Kind::View, outline_.views[at]));
        case Kind::ProceduresGroup:
            return createIndex(row, 0, Pack(Kind::Procedure, outline_.procedures[at]));
        case Kind::FunctionsGroup:
            return createIndex(row, 0, Pack(Kind::Function, outline_.functions[at]));
        case Kind::Table: {
            const auto properties = static_cast<std::size_t>(PropertyCount(PropertiesOf(id)));
            if (at < properties) return createIndex(row, 0, Pack(Kind::TableProperty, ElementOf(id), 0, at));
            return createIndex(row, 0, Pack(Kind::Column, ElementOf(id), at - properties));
        }
        case Kind::Column:
            if (row < 2)
                return createIndex(row, 0,
                                   Pack(row == 0 ? Kind::Type : Kind::Size, ElementOf(id), ColumnOf(id)));
            return createIndex(row, 0, Pack(Kind::ColumnProperty, ElementOf(id), ColumnOf(id), at - 2));
        case Kind::View:
            return createIndex(row, 0, Pack(Kind::ViewProperty, ElementOf(id), 0, at));
        case Kind::Procedure:
        case Kind::Function:
            return createIndex(row, 0, Pack(Kind::RoutineProperty, ElementOf(id), 0, at));
        default:
            (void)kind;
            return {};
    }
}

QModelIndex StructureTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    const quintptr id = child.internalId();
    switch (const Kind kind = KindOf(child)) {
        case Kind::Root:
            return {};
        case Kind::TablesGroup:
        case Kind::ViewsGroup:
        case Kind::ProceduresGroup:
        case Kind::FunctionsGroup:
            return RootIndex();
        case Kind::Table:
        case Kind::View:
        case Kind::Procedure:
        case Kind::Function:
            return GroupIndex(GroupOf(kind));
        case Kind::Column:
        case Kind::TableProperty:
            return TableIndex(ElementOf(id));
        case Kind::Type:
        case Kind::Size:
        case Kind::ColumnProperty:
            return ColumnIndex(ElementOf(id), ColumnOf(id));
        case Kind::ViewProperty:
            return ViewIndex(ElementOf(id));
        case Kind::RoutineProperty:
            return RoutineIndex(ElementOf(id));
    }
    return {};
}

int StructureTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return 1;
    if (parent.column() != 0) return 0;
    switch (KindOf(parent)) {
        case Kind::Root:
            return 4;
        case Kind::TablesGroup:
            return static_cast<int>(outline_.tables.size());
        case Kind::ViewsGroup:
            return static_cast<int>(outline_.views.size());
        case Kind::ProceduresGroup:
            return static_cast<int>(outline_.procedures.size());
        case Kind::FunctionsGroup:
            return static_cast<int>(outline_.functions.size());
        case Kind::Table: {
            const cMetaDataElement* table = Table(ElementOf(parent.internalId()));
            return table == nullptr
                       ? 0
                       : PropertyCount(table->Definition.get()) + static_cast<int>(table->Fields().Count());
        }
        case Kind::Column: {
            const cField* field = Field(ElementOf(parent.internalId()), ColumnOf(parent.internalId()));
            return field == nullptr ? 0 : 2 + PropertyCount(field->Definition.get());
        }
        case Kind::View:
        case Kind::Procedure:
        case Kind::Function:
            return PropertyCount(PropertiesOf(parent.internalId()));
        default:
            return 0;
    }
}

int StructureTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

Qt::ItemFlags StructureTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const Kind kind = KindOf(index);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (kind == Kind::Type || kind == Kind::Size || IsProperty(kind)) flags |= Qt::ItemNeverHasChildren;
    return flags;
}

QString StructureTreeModel::Caption(quintptr id) const {
    const Kind kind = static_cast<Kind>(id & 0x0F);
    const std::size_t element = ElementOf(id);
    switch (kind) {
        case Kind::Root:
            return rootCaption_;
        case Kind::TablesGroup:
        case Kind::ViewsGroup:
        case Kind::ProceduresGroup:
        case Kind::FunctionsGroup:
            return QString::fromLatin1(GroupCaption(kind));
        case Kind::Table: {
            const cMetaDataElement* table = Table(element);
            return table ? Text(table->ObjectName) : QString();
        }
        case Kind::Column:
        case Kind::Type:
        case Kind::Size: {
            const cField* field = Field(element, ColumnOf(id));
            if (field == nullptr) return {};
            if (kind == Kind::Column) return Text(field->FieldName);
            return kind == Kind::Type ? "Type: " + Text(field->FieldType) : "Size: " + Text(field->FieldSize);
        }
        case Kind::View: {
            const auto& views = std::as_const(*schema_).Views().Items();
            return element < views.size() ? Text(views[element]->ObjectName) : QString();
        }
        case Kind::Procedure:
        case Kind::Function: {
            const auto& routines = std::as_const(*schema_).Routines().Items();
            return element < routines.size() ? Text(routines[element]->ObjectName) : QString();
        }
        case Kind::TableProperty:
        case Kind::ViewProperty:
        case Kind::RoutineProperty:
        case Kind::ColumnProperty: {
            // One line a node: a body shows its first line, and whole in the tip.
            const Properties* properties = PropertiesOf(id);
            if (properties == nullptr || PropertyOf(id) >= properties->size()) return {};
            const auto& [property, value] = (*properties)[PropertyOf(id)];
            std::string_view first = value;
            const std::size_t lineEnd = first.find('\n');
            first = first.substr(0, lineEnd);
            if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
            QString caption =
                Text(property) + ": " + QString::fromUtf8(first.data(), static_cast<qsizetype>(first.size()));
            if (lineEnd != std::string_view::npos) caption += QStringLiteral(" \u2026");
            return caption;
        }
    }
    return {};
}

QVariant StructureTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return Caption(index.internalId());
        case Qt::ToolTipRole: {
            // A long name, cut by the tree's width, shows whole; so does a property's value, as
            // text whatever it holds.
            if (!IsProperty(KindOf(index))) return TipText(Caption(index.internalId()));
            const Properties& properties = *PropertiesOf(index.internalId());
            const auto& [property, value] = properties[PropertyOf(index.internalId())];
            return TipText(Text(property) + ":\n" + Text(value));
        }
        case Qt::DecorationRole: {
            const int icon = IconOf(KindOf(index));
            return icon == 0 ? QVariant() : QVariant(SmallPictureAt(icon));
        }
        case KeyRole: {
            const QString key = KeyOf(index);
            return key.isNull() ? QVariant() : QVariant(key);
        }
        default:
            return {};
    }
}

std::shared_ptr<cMetaDataElement> StructureTreeModel::TableAt(const QModelIndex& index) const {
    if (!index.isValid() || KindOf(index) != Kind::Table) return nullptr;
    const auto& tables = std::as_const(*schema_).Tables().Items();
    const std::size_t table = ElementOf(index.internalId());
    return table < tables.size() ? tables[table] : nullptr;
}

std::string StructureTreeModel::PlainKey(quintptr id) const {
    const Kind kind = static_cast<Kind>(id & 0x0F);
    const std::size_t element = ElementOf(id);
    switch (kind) {
        case Kind::Root:
            return "PARENT";
        case Kind::TablesGroup:
        case Kind::ViewsGroup:
        case Kind::ProceduresGroup:
        case Kind::FunctionsGroup:
            return GroupKey(kind);
        case Kind::Table: {
            const cMetaDataElement* table = Table(element);
            return table ? table->ObjectName + std::to_string(element + 1) : std::string();
        }
        case Kind::Column: {
            const cMetaDataElement* table = Table(element);
            const cField* field = Field(element, ColumnOf(id));
            if (table == nullptr || field == nullptr) return {};
            return table->ObjectName + field->FieldName + std::to_string(ColumnOf(id) + 1);
        }
        default:
            return {};
    }
}

// The plain keys of 20,000 tables with 25 columns each are half a million texts: only their
// hashes are kept while looking for keys that coincide, and texts are made again for the few
// that share a hash.
void StructureTreeModel::AssignKeys() const {
    if (keysAssigned_) return;
    keysAssigned_ = true;

    std::vector<quintptr> order;  // keyed nodes in the order they claim their keys
    for (const Kind group :
         {Kind::Root, Kind::TablesGroup, Kind::ViewsGroup, Kind::ProceduresGroup, Kind::FunctionsGroup})
        order.push_back(Pack(group));
    const auto& tables = std::as_const(*schema_).Tables().Items();
    for (std::size_t table = 0; table < tables.size(); ++table) {
        order.push_back(Pack(Kind::Table, table));
        const std::size_t columns = tables[table]->Fields().Items().size();
        for (std::size_t column = 0; column < columns; ++column)
            order.push_back(Pack(Kind::Column, table, column));
    }

    std::string folded;
    const auto foldedKey = [&](quintptr id) -> const std::string& {
        folded.clear();
        AppendFolded(folded, PlainKey(id));
        return folded;
    };
    const std::hash<std::string_view> hash;
    struct Claim {
        std::size_t hash;
        std::uint32_t order;
        bool operator<(const Claim& other) const {
            return hash != other.hash ? hash < other.hash : order < other.order;
        }
    };
    std::vector<Claim> claims(order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        claims[i] = {hash(foldedKey(order[i])), static_cast<std::uint32_t>(i)};
    std::sort(claims.begin(), claims.end());

    // Within a run of one hash, a key already claimed earlier in the run loses it.
    std::vector<std::uint32_t> losers;
    for (std::size_t first = 0; first < claims.size();) {
        std::size_t end = first + 1;
        while (end < claims.size() && claims[end].hash == claims[first].hash) ++end;
        if (end - first > 1) {
            std::unordered_set<std::string> seen;
            for (std::size_t i = first; i < end; ++i)
                if (!seen.insert(foldedKey(order[claims[i].order])).second) losers.push_back(claims[i].order);
        }
        first = end;
    }
    std::sort(losers.begin(), losers.end());

    // A loser takes the first "#n" that is no node's plain key and not yet given out.
    std::unordered_set<std::string> given;
    const auto isPlainKey = [&](const std::string& candidate) {
        const Claim probe{hash(candidate), 0};
        for (auto it = std::lower_bound(claims.begin(), claims.end(), probe);
             it != claims.end() && it->hash == probe.hash; ++it)
            if (foldedKey(order[it->order]) == candidate) return true;
        return false;
    };
    for (const std::uint32_t loser : losers) {
        const std::string plain = PlainKey(order[loser]);
        for (long suffix = 2;; ++suffix) {
            std::string key = plain + "#" + std::to_string(suffix);
            const std::string candidate = FoldCase(key);
            if (given.count(candidate) != 0 || isPlainKey(candidate)) continue;
            given.insert(candidate);
            renamedKeys_.emplace(order[loser], std::move(key));
            break;
        }
    }
}

QString StructureTreeModel::KeyOf(const QModelIndex& index) const {
    if (!index.isValid()) return {};
    switch (KindOf(index)) {
        case Kind::Table:
        case Kind::Column: {
            AssignKeys();
            const auto renamed = renamedKeys_.find(index.internalId());
            if (renamed != renamedKeys_.end()) return Text(renamed->second);
            return Text(PlainKey(index.internalId()));
        }
        case Kind::Root:
        case Kind::TablesGroup:
        case Kind::ViewsGroup:
        case Kind::ProceduresGroup:
        case Kind::FunctionsGroup:
            return Text(PlainKey(index.internalId()));
        default:
            return {};
    }
}

QModelIndex StructureTreeModel::IndexOfKey(const QString& key) const {
    const std::string wanted = FoldCase(key.toStdString());
    const auto matches = [&](const QModelIndex& index) {
        return FoldCase(KeyOf(index).toStdString()) == wanted;
    };
    const QModelIndex root = RootIndex();
    if (matches(root)) return root;
    for (const Kind group : kGroups) {
        const QModelIndex groupIndex = GroupIndex(group);
        if (matches(groupIndex)) return groupIndex;
        if (group != Kind::TablesGroup) continue;
        for (int row = 0; row < rowCount(groupIndex); ++row) {
            const QModelIndex table = index(row, 0, groupIndex);
            if (matches(table)) return table;
            for (int column = 0; column < rowCount(table); ++column) {
                const QModelIndex field = index(column, 0, table);
                if (matches(field)) return field;
            }
        }
    }
    return {};
}

}  // namespace tablor::gui

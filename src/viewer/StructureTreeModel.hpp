#pragma once
#include <QAbstractItemModel>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "model/cMetaData.hpp"
#include "report/StructureText.hpp"

namespace tablor::gui {

// The schema tree of the structure viewer: the database, its four groups, the objects of each
// group and, under each table, its columns with their type and size. Where a side read
// definitions, each table, view and routine lists its properties first ("key: value"), and
// each column its own after its type and size; a value of several lines shows its first,
// and whole as the node's tip.
//
// Nodes are read from the schema model when the view asks for them, never copied: a schema of
// 20,000 tables with 25 columns each is 1.5 million nodes, which as tree items take over a
// second and some 600 MB to build. The model holds the schema, so the tree stays
// usable after the workspace has dropped the source that read it.
class StructureTreeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    enum class Kind : std::uint8_t {
        Root,
        TablesGroup,
        ViewsGroup,
        ProceduresGroup,
        FunctionsGroup,
        Table,
        Column,
        Type,
        Size,
        View,
        Procedure,
        Function,
        TableProperty,
        ViewProperty,
        RoutineProperty,
        ColumnProperty,
    };
    // The node's key (a text unique within the tree), or nothing for nodes without one.
    static constexpr int KeyRole = Qt::UserRole;

    StructureTreeModel(std::shared_ptr<cMetaData> schema, QString rootCaption, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static Kind KindOf(const QModelIndex& index);
    // For a table node: the table itself; null for any other node.
    std::shared_ptr<cMetaDataElement> TableAt(const QModelIndex& index) const;
    QModelIndex RootIndex() const { return index(0, 0); }

    // Keys follow one scheme: "PARENT", "TABLES", "VIEWS", "PROCEDURES", "FUNCTIONS"; a table
    // is its name and model position, a column its table's name, its own name and position.
    // The scheme can give two nodes one key (table A1 at 1 and A at 11 both make A11). Keys are
    // told apart ignoring letter case; of the nodes sharing a key, the first in the order the
    // tree is built (tables in model order, each followed by its columns) keeps it, and each
    // later one gets the first "#2", "#3"... that is no node's plain key and not yet given.
    // Worked out for the whole tree when the first key is asked for.
    QString KeyOf(const QModelIndex& index) const;
    // The node with this key (letter case ignored); invalid when none has it. Walks the tree.
    QModelIndex IndexOfKey(const QString& key) const;

    const std::shared_ptr<cMetaData>& Schema() const noexcept { return schema_; }

  private:
    // A node's identity, packed into the index's internal id: the kind in the low 4 bits,
    // then the element's 0-based model index (30 bits), a column's 0-based index (20 bits: no
    // engine allows a table a million columns) and a property's (10 bits: a definition lists
    // at most the first 1,024).
    static quintptr Pack(Kind kind, std::size_t element = 0, std::size_t column = 0,
                         std::size_t property = 0);
    static std::size_t ElementOf(quintptr id) { return (id >> 4) & kIndexMask; }
    static std::size_t ColumnOf(quintptr id) { return (id >> 34) & kColumnMask; }
    static std::size_t PropertyOf(quintptr id) { return (id >> 54) & kPropertyMask; }
    static constexpr quintptr kIndexMask = (quintptr{1} << 30) - 1;
    static constexpr quintptr kColumnMask = (quintptr{1} << 20) - 1;
    static constexpr quintptr kPropertyMask = (quintptr{1} << 10) - 1;

    QModelIndex GroupIndex(Kind group) const;
    QModelIndex TableIndex(std::size_t table) const;
    QModelIndex ColumnIndex(std::size_t table, std::size_t column) const;
    // A view's or routine's node, by its model index.
    QModelIndex ViewIndex(std::size_t view) const;
    QModelIndex RoutineIndex(std::size_t routine) const;
    // The properties a node's children begin with (a column's follow its type and size).
    const Properties* PropertiesOf(quintptr id) const;
    static int PropertyCount(const Properties* properties);
    const cMetaDataElement* Table(std::size_t table) const;
    const cField* Field(std::size_t table, std::size_t column) const;
    QString Caption(quintptr id) const;
    std::string PlainKey(quintptr id) const;
    void AssignKeys() const;

    std::shared_ptr<cMetaData> schema_;
    QString rootCaption_;
    StructureOutline outline_;
    std::vector<int> tableRow_;    // by table model index: its row under "Tables"
    std::vector<int> viewRow_;     // by view model index: its row under "Views"
    std::vector<int> routineRow_;  // by routine model index: its row in its group, or -1
    // Keys that differ from the scheme's, by node id; worked out on the first key asked for.
    mutable std::unordered_map<quintptr, std::string> renamedKeys_;
    mutable bool keysAssigned_ = false;
};

}  // namespace tablor::gui

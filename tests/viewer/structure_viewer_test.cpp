// The structure viewer window on its own: the tree, the column list, keys and layout.
#include <QAbstractItemModelTester>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTreeView>
#include <functional>

#include "GuiTestSupport.hpp"
#include "ViewerTestSupport.hpp"
#include "sources/cSnapShot.hpp"
#include "ui/Twips.hpp"

namespace tablor::testing {
namespace {

using gui::StructureTreeModel;
using gui::StructureViewerFrm;

class StructureViewer : public ::testing::Test {
  protected:
    void TearDown() override { delete viewer_.data(); }

    StructureViewerFrm& Open(std::shared_ptr<cMetaData> schema) {
        viewer_ = new StructureViewerFrm;
        viewer_->lblDatabase->setText("Sales");
        viewer_->FillTree(std::move(schema));
        viewer_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(viewer_));
        return *viewer_;
    }
    const StructureTreeModel& Model() const { return *viewer_->TreeModel(); }
    QModelIndex Group(int row) const { return Model().index(row, 0, Model().RootIndex()); }
    QModelIndex Table(const QString& name) const { return ChildNamed(Model(), Group(0), name); }

    QPointer<StructureViewerFrm> viewer_;
};

SchemaBuilder ShopSchema() {
    SchemaBuilder shop;
    shop.Table("beta", {{"CustomerID", "int"}, {"Name", "nvarchar"}})
        .Table("Products")
        .Table("Orders", {{"OrderId", "int"}, {"Id", "int"}, {"Note", "varchar"}})
        .Table("Orders", {{"Region", "char"}})  // two schemas' Orders reach the model under one name
        .View("vOpenOrders")
        .Procedure("GetOrders")
        .Procedure("dt_audit")
        .Function("OrderTotal");
    return shop;
}

TEST_F(StructureViewer, TreeShowsTheDatabaseGroupsAndObjectsWithKeysIconsAndOrder) {
    StructureViewerFrm& viewer = Open(ShopSchema().schema);
    const StructureTreeModel& model = Model();
    const QModelIndex root = model.RootIndex();
    EXPECT_EQ(root.data().toString(), "Sales");
    EXPECT_EQ(model.KeyOf(root), "PARENT");
    EXPECT_EQ(IconNumber(root), 1);
    EXPECT_TRUE(viewer.Tree->isExpanded(root));

    EXPECT_EQ(Captions(model, root), QStringList({"Tables", "Views", "Stored Procedures", "Functions"}));
    const QString groupKeys[] = {"TABLES", "VIEWS", "PROCEDURES", "FUNCTIONS"};
    const int groupIcons[] = {2, 5, 7, 9};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(model.KeyOf(Group(row)), groupKeys[row]);
        EXPECT_EQ(IconNumber(Group(row)), groupIcons[row]);
        EXPECT_FALSE(viewer.Tree->isExpanded(Group(row)));
    }
    EXPECT_EQ(Captions(model, Group(0)), QStringList({"beta", "Orders", "Orders", "Products"}));
    EXPECT_EQ(Captions(model, Group(2)), QStringList({"GetOrders"}));  // dt_ procedures are left out

    // The third table, Orders, is keyed Orders3; its second column, Id, OrdersId2.
    const QModelIndex orders = model.index(1, 0, Group(0));
    EXPECT_EQ(orders.data(Qt::ToolTipRole), orders.data());  // a long name shows whole there
    EXPECT_EQ(model.KeyOf(orders), "Orders3");
    EXPECT_EQ(IconNumber(orders), 3);
    EXPECT_EQ(Captions(model, orders), QStringList({"OrderId", "Id", "Note"}));
    const QModelIndex id = model.index(1, 0, orders);
    EXPECT_EQ(model.KeyOf(id), "OrdersId2");
    EXPECT_EQ(IconNumber(id), 4);
    EXPECT_EQ(Captions(model, id), QStringList({"Type: int", "Size: "}));
    EXPECT_EQ(Captions(model, model.index(2, 0, orders)), QStringList({"Type: varchar", "Size: 50"}));
    const QModelIndex type = model.index(0, 0, id);
    EXPECT_TRUE(model.KeyOf(type).isNull());
    EXPECT_EQ(IconNumber(type), 0);
    EXPECT_EQ(model.parent(type), id);
    EXPECT_EQ(model.parent(id), orders);
    EXPECT_FALSE(model.hasChildren(Table("Products")));

    const QModelIndex objects[] = {model.index(0, 0, Group(1)), model.index(0, 0, Group(2)),
                                   model.index(0, 0, Group(3))};
    const int objectIcons[] = {6, 8, 10};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(IconNumber(objects[i]), objectIcons[i]);
        EXPECT_TRUE(model.KeyOf(objects[i]).isNull());
    }
    EXPECT_EQ(model.IndexOfKey("orders3"), orders);
    EXPECT_FALSE(model.flags(orders) & Qt::ItemIsEditable);
}

TEST_F(StructureViewer, ClickingATableListsItsOwnColumnsAndNoOtherNodeChangesTheList) {
    StructureViewerFrm& viewer = Open(ShopSchema().schema);
    const StructureTreeModel& model = Model();
    EXPECT_TRUE(FieldRows(viewer).isEmpty());
    for (int row = 0; row < 4; ++row) viewer.Tree->expand(Group(row));
    const QModelIndex orders = model.index(1, 0, Group(0));
    const QModelIndex id = model.index(1, 0, orders);
    viewer.Tree->expand(orders);
    viewer.Tree->expand(id);

    ClickNode(viewer, orders);
    const QStringList ordersRows = {"OrderId|int|", "Id|int|", "Note|varchar|50"};
    EXPECT_EQ(FieldRows(viewer), ordersRows);
    EXPECT_EQ(viewer.lvFields->model()->index(2, 1).data(Qt::ToolTipRole), "varchar");
    EXPECT_EQ(IconNumber(viewer.lvFields->model()->index(0, 0)), 4);
    EXPECT_EQ(IconNumber(viewer.lvFields->model()->index(0, 1)), 0);

    for (const QModelIndex& node :
         {model.RootIndex(), Group(0), id, model.index(0, 0, id), model.index(1, 0, id),
          model.index(0, 0, Group(1)), model.index(0, 0, Group(2)), model.index(0, 0, Group(3))}) {
        ClickNode(viewer, node);
        EXPECT_EQ(FieldRows(viewer), ordersRows) << node.data().toString().toStdString();
    }

    // The second Orders lists its own columns, not those of the first table of its name.
    viewer.Tree->collapse(orders);
    ClickNode(viewer, model.index(2, 0, Group(0)));
    EXPECT_EQ(FieldRows(viewer), QStringList({"Region|char|50"}));
    ClickNode(viewer, Table("Products"));
    EXPECT_TRUE(FieldRows(viewer).isEmpty());
    // The keyboard reaches tables too.
    viewer.Tree->setFocus();
    QTest::keyClick(viewer.Tree, Qt::Key_Up);
    EXPECT_EQ(FieldRows(viewer), QStringList({"Region|char|50"}));
}

TEST_F(StructureViewer, CoincidingKeysAreMadeUniqueAndEveryNodeStaysUnderItsParent) {
    SchemaBuilder schema;
    schema.Table("A1", {{"x", "int"}}).Table("A11#");  // A11, and A11#2 by the plain scheme
    for (int position = 3; position <= 10; ++position) schema.Table("T" + std::to_string(position));
    schema
        .Table("A", {{"bC", "int"}})  // at 11: A11 and A11#2 are taken; its column makes AbC1
        .Table("Ab", {{"C", "int"}})  // its column would make AbC1 again
        .Table("Q", {{"r", "int"}})
        .Table("q", {{"R", "int"}})    // qR1 differs from Qr1 only in case
        .Table("a", {{"BC", "int"}});  // a third AbC1, ignoring case
    StructureViewerFrm& viewer = Open(schema.schema);
    const StructureTreeModel& model = Model();

    const auto key = [&](const QString& table, int column = -1) {
        return model.KeyOf(column < 0 ? Table(table) : model.index(column, 0, Table(table)));
    };
    EXPECT_EQ(key("A1"), "A11");
    EXPECT_EQ(key("A11#"), "A11#2");
    EXPECT_EQ(key("A"), "A11#3");
    EXPECT_EQ(key("A", 0), "AbC1");
    EXPECT_EQ(key("Ab"), "Ab12");
    EXPECT_EQ(key("Ab", 0), "AbC1#2");
    EXPECT_EQ(key("Q", 0), "Qr1");
    EXPECT_EQ(key("q", 0), "qR1#2");
    EXPECT_EQ(key("a", 0), "aBC1#3");

    // Every keyed node: one key each, ignoring case, found again by its key.
    QSet<QString> seen;
    const std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& node) {
        const QString nodeKey = model.KeyOf(node);
        if (!nodeKey.isNull()) {
            EXPECT_FALSE(seen.contains(nodeKey.toLower())) << nodeKey.toStdString();
            seen.insert(nodeKey.toLower());
            EXPECT_EQ(model.IndexOfKey(nodeKey), node) << nodeKey.toStdString();
        }
        for (int row = 0; row < model.rowCount(node); ++row) walk(model.index(row, 0, node));
    };
    walk(model.RootIndex());
    EXPECT_EQ(seen.size(), 5 + 15 + 6);

    EXPECT_EQ(Captions(model, Table("A")), QStringList({"bC"}));
    viewer.Tree->expand(Group(0));
    ClickNode(viewer, Table("A"));
    EXPECT_EQ(FieldRows(viewer), QStringList({"bC|int|"}));
}

TEST_F(StructureViewer, TheTreeTakesUpEveryChangeOfSizeAndTheListKeepsItsWidth) {
    StructureViewerFrm& viewer = Open(ShopSchema().schema);
    const auto t = gui::Twips::For(&viewer);
    const auto expectRule = [&] {
        const QSize outer = viewer.frameGeometry().size();
        EXPECT_EQ(viewer.Picture1->geometry(),
                  QRect(0, viewer.height() - t.Y(855), viewer.width(), t.Y(855)));
        EXPECT_EQ(viewer.btnClose->x(), outer.width() - t.X(2205));
        EXPECT_EQ(viewer.Line1->geometry().right() + 1, outer.width() - t.X(250));
        EXPECT_EQ(viewer.Line2->geometry().right() + 1, outer.width() - t.X(250));
        EXPECT_EQ(viewer.Tree->width(), outer.width() - t.X(450) - viewer.lvFields->width());
        EXPECT_EQ(viewer.lvFields->x(), viewer.Tree->x() + viewer.Tree->width() + t.X(100));
        EXPECT_EQ(viewer.lvFields->height(), viewer.Tree->height());
    };
    expectRule();

    const QRect tree = viewer.Tree->geometry();
    const QRect list = viewer.lvFields->geometry();
    viewer.resize(viewer.width() + t.X(600), viewer.height() + t.Y(300));
    QTest::qWait(10);
    EXPECT_EQ(viewer.Tree->width(), tree.width() + t.X(600));
    EXPECT_EQ(viewer.Tree->height(), tree.height() + t.Y(300));
    EXPECT_EQ(viewer.lvFields->x(), list.x() + t.X(600));
    EXPECT_EQ(viewer.lvFields->width(), t.X(4230));
    EXPECT_EQ(viewer.Tree->pos(), tree.topLeft());
    expectRule();

    // Too small for the rule: sizes stop at zero instead of going negative.
    viewer.resize(120, 90);
    QTest::qWait(10);
    EXPECT_EQ(viewer.Tree->size(), QSize(0, 0));
    EXPECT_EQ(viewer.lvFields->width(), t.X(4230));
}

TEST_F(StructureViewer, ASnapshotFillsTheHeaderAndNamesShowAsText) {
    cSnapShot snapshot;
    snapshot.SetFileName("/data/SnapShots/shop.snp");
    ScriptedPrompt prompt;
    snapshot.FillFromBytes("SRV<i>01*<b>Shop</b>*reader*\r\n\r\n\r\n\r\n:Orders\r\nId*int*\r\n", prompt);

    viewer_ = new StructureViewerFrm;
    viewer_->LoadSnapShot(snapshot);
    EXPECT_EQ(viewer_->lblServer->text(), "SRV<i>01");
    EXPECT_EQ(viewer_->lblDatabase->text(), "<b>Shop</b>");
    EXPECT_EQ(viewer_->lblSource->text(), "/data/SnapShots/shop.snp");
    for (const QLabel* label : {viewer_->lblServer, viewer_->lblDatabase, viewer_->lblSource})
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(Model().RootIndex().data().toString(), "<b>Shop</b>");
    EXPECT_EQ(Model().Schema(), snapshot.MetaData());
}

}  // namespace
}  // namespace tablor::testing

namespace tablor::testing {
namespace {

// Where a side read definitions, each element lists its properties first, each column its own
// after its type and size; a body shows its first line, and whole, as text, in the tip.
TEST_F(StructureViewer, DefinitionsShowAsPropertiesUnderTheirElementsAndColumns) {
    SchemaBuilder shop;
    shop.Table("Orders", {{"Id", "int"}, {"Note", "varchar"}})
        .View("vOpen")
        .Function("Total")
        .Procedure("Place");
    const auto properties = [](Properties list) {
        return std::make_shared<const Properties>(std::move(list));
    };
    cMetaData& schema = *shop.schema;
    schema.Tables().Items()[0]->Definition = properties({{"comment", "all orders"}});
    schema.Tables().Items()[0]->Fields().Items()[0]->Definition = properties({{"nullable", "NO"}});
    schema.Views().Items()[0]->Definition = properties({{"definition", "select <b>1</b>\r\nfrom t"}});
    schema.Routines().Items()[1]->Definition = properties({{"language", "plpgsql"}});
    Open(shop.schema);
    QAbstractItemModelTester check(viewer_->TreeModel(),
                                   QAbstractItemModelTester::FailureReportingMode::Warning);

    const QModelIndex orders = Table("Orders");
    const QModelIndex view = ChildNamed(Model(), Group(1), "vOpen");
    const std::pair<QModelIndex, QStringList> cases[] = {
        {orders, {"comment: all orders", "Id", "Note"}},
        {ChildNamed(Model(), orders, "Id"), {"Type: int", "Size: ", "nullable: NO"}},
        {ChildNamed(Model(), orders, "Note"), {"Type: varchar", "Size: 50"}},
        {view, {"definition: select <b>1</b> \u2026"}},
        {ChildNamed(Model(), Group(2), "Place"), {"language: plpgsql"}},
        {ChildNamed(Model(), Group(3), "Total"), {}},
    };
    for (const auto& [node, expected] : cases) {
        SCOPED_TRACE(node.data().toString().toStdString());
        EXPECT_EQ(Captions(Model(), node), expected);
        for (int row = 0; row < Model().rowCount(node); ++row)
            EXPECT_EQ(Model().index(row, 0, node).parent(), node);
    }
    EXPECT_EQ(Model().index(0, 0, view).data(Qt::ToolTipRole).toString(),
              "definition:\nselect <b>1</b>\r\nfrom t");
    EXPECT_EQ(Model().KeyOf(Model().index(0, 0, orders)), QString()) << "a property is no keyed node";
    EXPECT_EQ(Model().IndexOfKey(Model().KeyOf(ChildNamed(Model(), orders, "Note"))),
              ChildNamed(Model(), orders, "Note"));

    for (const QModelIndex& node : {Group(0), orders, ChildNamed(Model(), orders, "Id"), Group(1), view})
        viewer_->Tree->expand(node);
    QTest::qWait(50);
    SaveScreenshot(*viewer_, TABLOR_SCREENSHOT_DIR, "structure-viewer-definitions.png");
}

}  // namespace
}  // namespace tablor::testing

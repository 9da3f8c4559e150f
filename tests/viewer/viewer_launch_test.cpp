// The main window's two "View structure" commands: messages, status, the busy panel and the
// windows they open.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>

#include "GuiTestSupport.hpp"
#include "ViewerTestSupport.hpp"
#include "viewer/ViewerLaunch.hpp"

namespace tablor::testing {
namespace {

using gui::Main;
using gui::StructureViewerFrm;

class ViewerLaunch : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        hooks.viewConnectionStructure = [this](Main& window) { launched = window.ViewConnectionStructure(); };
        hooks.viewSnapStructure = [this](Main& window) { launched = window.ViewSnapStructure(); };
        // What the window showed while the source read, with the busy panel up.
        prompt.onProgress = [this] {
            if (!Find<QFrame>("WorkingPanel").isHidden()) watched = Find<QLabel>("lblStatus").text();
        };
        connector->databases["Sales"]
            .Table("Orders", {{"OrderId", "int"}, {"Note", "varchar"}})
            .Table("Customers", {{"CustomerId", "int"}})
            .View("vOrders")
            .Procedure("usp_Place")
            .Function("fn_Total");
    }

    static std::vector<StructureViewerFrm*> OpenViewers() {
        std::vector<StructureViewerFrm*> viewers;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* viewer = qobject_cast<StructureViewerFrm*>(widget);
                viewer != nullptr && viewer->isVisible())
                viewers.push_back(viewer);
        return viewers;
    }
    void ExpectIdle() {
        EXPECT_FALSE(Window().IsBusy());
        EXPECT_TRUE(Find<QFrame>("WorkingPanel").isHidden());
        EXPECT_TRUE(Find<QLabel>("lblStatus").text().isEmpty());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
    void FillConnection(const QString& database) {
        Find<QComboBox>("txtServer").setEditText("SRV01");
        Find<QLineEdit>("txtDatabase").setText(database);
        Find<QLineEdit>("txtUser").setText("reader");
        Find<QLineEdit>("txtPassword").setText("pw-XYZZY");
    }
    // The header's picture: the source's own, 24 x 24 in the screen's pixels, never scaled up.
    static void ExpectPicture(const StructureViewerFrm& viewer, gui::LargePicture picture) {
        const QPixmap shown = viewer.MainImage->pixmap();
        EXPECT_EQ(shown.deviceIndependentSize(), QSizeF(24, 24));
        EXPECT_EQ(shown.devicePixelRatio(), viewer.devicePixelRatio());
        EXPECT_EQ(shown.toImage(),
                  gui::Picture(picture).pixmap(QSize(24, 24), viewer.devicePixelRatio()).toImage());
    }

    StructureViewerFrm* launched = nullptr;
    QString watched;  // the status line while the source read, with the busy panel up
};

TEST_F(ViewerLaunch, SnapshotViewerWithoutASelectionAsksForOneAndChangesNothing) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    Click("btnViewSnapStructure");

    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text, "Please select a snapshot file!");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_EQ(prompt.messages[0].buttons, PromptButtons::Ok);
    EXPECT_TRUE(prompt.messages[0].title.empty());
    EXPECT_EQ(launched, nullptr);
    EXPECT_TRUE(OpenViewers().empty());
    EXPECT_EQ(Window().Workspace().SnapShots->Count(), 0);
    ExpectIdle();
}

TEST_F(ViewerLaunch, SnapshotViewerOpensOnTheSelectedFileWithItsTitlePictureAndStatus) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    SelectSnapShot("shop-v1.snp");
    Click("btnViewSnapStructure");

    ASSERT_NE(launched, nullptr);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(watched, "Creating structure view for snapshot: shop-v1.snp");
    EXPECT_TRUE(prompt.lastSection.ends_with(" tables read")) << prompt.lastSection;
    ExpectIdle();
    EXPECT_EQ(OpenViewers(), std::vector<StructureViewerFrm*>{launched});
    EXPECT_FALSE(launched->isModal());
    EXPECT_EQ(launched->windowTitle(), "Database Structure - Shop on SQLPROD01 (shop-v1.snp)");
    EXPECT_EQ(launched->lblServer->text(), "SQLPROD01");
    EXPECT_EQ(launched->lblDatabase->text(), "Shop");
    EXPECT_EQ(launched->lblSource->text().toStdString(), SnapShotFile("shop-v1.snp"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(launched));
    ExpectPicture(*launched, gui::LargePicture::Snapshot);

    const auto& model = *launched->TreeModel();
    EXPECT_EQ(model.RootIndex().data().toString(), "Shop");
    const QStringList tables = Captions(model, model.index(0, 0, model.RootIndex()));
    ASSERT_FALSE(tables.isEmpty());
    EXPECT_EQ(tables.front(), "Addresses");
    ASSERT_EQ(Window().Workspace().SnapShots->Count(), 1);
    EXPECT_EQ(Window().Workspace().SnapShots->Item(1)->FileName(), SnapShotFile("shop-v1.snp"));
}

TEST_F(ViewerLaunch, TwoLaunchesOpenTwoWindowsThatOutliveTheirSourcesAndGoWithTheMainWindow) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    CopyExample("shop-v2.snp", "SnapShots/shop-v2.snp");
    SelectSnapShot("shop-v1.snp");
    Click("btnViewSnapStructure");
    QPointer<StructureViewerFrm> first = launched;
    SelectSnapShot("shop-v2.snp");
    Click("btnViewSnapStructure");
    QPointer<StructureViewerFrm> second = launched;
    ASSERT_TRUE(first && second && first != second);
    EXPECT_EQ(OpenViewers().size(), 2u);

    // The workspace now holds only the second source, and then none at all.
    Window().Workspace().SnapShots->Clear();
    const auto& model = *first->TreeModel();
    const QModelIndex tables = model.index(0, 0, model.RootIndex());
    first->Tree->expand(tables);
    ClickNode(*first, ChildNamed(model, tables, "Customers"));
    EXPECT_EQ(FieldRows(*first).value(0), "CustomerID|int|");

    // Closing a viewer lets go of its schema.
    const std::weak_ptr<cMetaData> secondSchema = second->TreeModel()->Schema();
    second->close();
    QTest::qWait(10);
    EXPECT_TRUE(second.isNull());
    EXPECT_TRUE(secondSchema.expired());
    ClickNode(*first, ChildNamed(model, tables, "Countries"));
    EXPECT_EQ(FieldRows(*first), QStringList({"CountryCode|char|2", "Name|nvarchar|80"}));

    Restart();
    EXPECT_TRUE(first.isNull());
}

TEST_F(ViewerLaunch, LiveViewerReadsTheConnectionFieldsAndShowsThePasswordMasked) {
    FillConnection("Sales");
    Find<QCheckBox>("chkIntegrated").setChecked(true);
    Click("btnViewConnectionStructure");

    ASSERT_NE(launched, nullptr);
    EXPECT_EQ(watched, "Creating structure view for database: Sales");
    ExpectIdle();
    ASSERT_EQ(connector->opened.size(), 1u);
    EXPECT_EQ(connector->opened[0].serverName, "SRV01");
    EXPECT_EQ(connector->opened[0].userName, "reader");
    EXPECT_EQ(connector->opened[0].password, "pw-XYZZY");
    EXPECT_TRUE(connector->opened[0].integratedSecurity);

    EXPECT_EQ(launched->windowTitle(), "Database Structure - Sales on SRV01");
    EXPECT_EQ(launched->lblServer->text(), "SRV01");
    EXPECT_EQ(launched->lblDatabase->text(), "Sales");
    ExpectPicture(*launched, gui::LargePicture::LiveDatabase);
    const auto& source = *Window().Workspace().Connections->Item(1);
    EXPECT_EQ(launched->lblSource->text().toStdString(), source.DisplayConnectionString());
    EXPECT_FALSE(launched->lblSource->text().isEmpty());

    // No text of the window carries the password.
    QStringList texts{launched->windowTitle(), launched->lblSource->toolTip()};
    for (const QLabel* label : launched->findChildren<QLabel*>()) texts << label->text() << label->toolTip();
    for (const QString& text : texts) EXPECT_FALSE(text.contains("pw-XYZZY")) << text.toStdString();

    const auto& model = *launched->TreeModel();
    EXPECT_EQ(Captions(model, model.index(0, 0, model.RootIndex())), QStringList({"Customers", "Orders"}));
    EXPECT_EQ(Captions(model, model.index(2, 0, model.RootIndex())), QStringList({"usp_Place"}));
}

TEST_F(ViewerLaunch, ALiveSourceThatCannotBeReadOpensNoWindow) {
    FillConnection("Missing");
    Click("btnViewConnectionStructure");

    EXPECT_EQ(launched, nullptr);
    EXPECT_TRUE(OpenViewers().empty());
    ASSERT_EQ(prompt.messages.size(), 1u);  // the source's own message, and nothing more
    EXPECT_EQ(prompt.messages[0].text.rfind("Error opening the connection! Details:", 0), 0u);
    EXPECT_EQ(prompt.messages[0].text.find("pw-XYZZY"), std::string::npos);
    ExpectIdle();
}

TEST_F(ViewerLaunch, ASnapshotThatFailsToLoadStillOpensWithWhatWasRead) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    SelectSnapShot("shop-v1.snp");
    std::filesystem::remove(SnapShotFile("shop-v1.snp"));
    Click("btnViewSnapStructure");  // the loader's prompt is answered Abort

    ASSERT_FALSE(prompt.messages.empty());
    EXPECT_EQ(prompt.messages[0].buttons, PromptButtons::AbortRetryIgnore);
    ASSERT_NE(launched, nullptr);
    EXPECT_EQ(launched->windowTitle(), "Database Structure - (shop-v1.snp)");
    const auto& model = *launched->TreeModel();
    EXPECT_EQ(model.rowCount(model.RootIndex()), 4);
    for (int group = 0; group < 4; ++group)
        EXPECT_EQ(model.rowCount(model.index(group, 0, model.RootIndex())), 0);
    ExpectIdle();
}

}  // namespace
}  // namespace tablor::testing

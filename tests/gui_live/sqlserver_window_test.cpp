// The window against the scripted SQL Server through the real FreeTDS driver: entries typed
// into the connection fields, compared, listed, and the password kept out of sight.
#include <gmock/gmock.h>

#include "LiveWindow.hpp"
#include "workbench/DifferencesModel.hpp"

namespace tablor::testing {
namespace {

using ::testing::UnorderedElementsAreArray;

// The characters that connection strings quote or end values on, and some beyond ASCII.
const std::string kPassword = "pä}ss;wörd {x}=1";

class SqlServerWindow : public LiveWindow {
  protected:
    void SetUp() override {
        LiveWindow::SetUp();
        Catalogue sales;
        sales.tables = {{"Customers", {{"CustomerID", "int", {}}, {"Name", "varchar", 50}}},
                        {"Orders", {{"OrderID", "int", {}}, {"Note", "nvarchar", 200}}}};
        sales.views = {"OpenOrders"};
        sales.procedures = {"GetOrders"};
        sales.functions = {"OrderTotal"};
        sales.constraints = {"PK_Customers"};
        sales.ScriptInto(first);

        Catalogue next = sales;
        next.tables = {
            {"Customers", {{"CustomerID", "int", {}}, {"Name", "varchar", 50}, {"Email", "nvarchar", 100}}},
            {"Invoices", {{"InvoiceID", "int", {}}}}};
        next.procedures = {"GetOrders", "PlaceOrder"};
        next.functions = {};
        next.constraints = {"PK_Customers", "PK_Invoices"};
        next.ScriptInto(second);

        first.expectUser("tablor", kPassword);
        second.expectUser("tablor", kPassword);
    }

    TdsResponder first;
    TdsResponder second;
};

TEST_F(SqlServerWindow, TwoServersComparedWithThePasswordIntactAndUnseen) {
    AddConnectionEntry(ServerOf(first), "Sales", "tablor", QString::fromStdString(kPassword));
    AddConnectionEntry(ServerOf(second), "SalesNext", "tablor", QString::fromStdString(kPassword));
    const std::string one = ServerOf(first).toStdString() + ".Sales";
    const std::string two = ServerOf(second).toStdString() + ".SalesNext";
    EXPECT_EQ(CompareEntries(), QStringList({QString::fromStdString(one), QString::fromStdString(two)}));
    Compare();

    const std::vector<std::string> expected = {
        "OrderTotal|Function|" + two + "||Routine was not found on " + two,
        "Orders|Table|" + two + "||Table was not found on " + two,
        "PK_Invoices|Constraint|" + one + "||Constraint was not found on " + one,
        "PlaceOrder|Procedure|" + one + "||Routine was not found on " + one,
        "Invoices|Table|" + one + "||Table was not found on " + one,
        "Email|Field|" + one +
            "|Customers|The field Email was not found on the table Customers on the object " + one +
            ", TYPE: nvarchar SIZE: 100",
    };
    EXPECT_THAT(DifferenceRows(), UnorderedElementsAreArray(expected))
        << ::testing::PrintToString(prompt.Texts());
    ASSERT_FALSE(prompt.messages.empty());
    EXPECT_EQ(prompt.messages.back().text, "6 difference(s) found between the two objects!");
    EXPECT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(Window().ComparedNames().first.toStdString(), one);
    EXPECT_EQ(Window().ComparedNames().second.toStdString(), two);

    for (const TdsResponder* server : {&first, &second}) {
        const auto login = server->lastLogin();
        ASSERT_TRUE(login.has_value());
        EXPECT_EQ(login->user, "tablor");
        EXPECT_EQ(login->password, kPassword);
        EXPECT_FALSE(login->integrated);
    }
    EXPECT_EQ(first.lastLogin()->database, "Sales");
    EXPECT_EQ(second.lastLogin()->database, "SalesNext");
    for (const ConnectionSettings& opened : driver->opened)
        EXPECT_EQ(opened.engine, DatabaseEngine::SqlServer);

    const QString password = QString::fromStdString(kPassword);
    for (const QString& text : ShownTexts()) EXPECT_FALSE(text.contains(password)) << text.toStdString();
    ExpectIdle();
}

TEST_F(SqlServerWindow, AWrongPasswordShowsTheMaskedConnectionText) {
    AddConnectionEntry(ServerOf(first), "Sales", "tablor", "wrong;pass");
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    Window().RefreshSnapShotList();
    AddSnapShotEntry("shop-v1.snp");
    Compare();

    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text,
              "Error opening the connection! Details:Provider=SQLOLEDB.1;Persist Security Info=False;User "
              "ID=tablor;password=****;Initial Catalog=Sales;Data Source=" +
                  ServerOf(first).toStdString());
    EXPECT_EQ(prompt.messages[0].title, "Error");
    EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
    EXPECT_TRUE(first.queries().empty());
    EXPECT_EQ(Differences().rowCount(), 0);
    for (const QString& text : ShownTexts()) EXPECT_FALSE(text.contains("wrong;pass")) << text.toStdString();
    ExpectIdle();
}

}  // namespace
}  // namespace tablor::testing

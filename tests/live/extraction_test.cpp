// Fill of a live source over scripted record sets: the queries sent, what the model gets from
// the rows, and what the user is told when something fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ModelText.hpp"
#include "ScriptedDatabase.hpp"
#include "ScriptedPrompt.hpp"
#include "TempFolder.hpp"
#include "sources/cConnection.hpp"

namespace tablor::testing {
using tablor::testing::Columns;
using tablor::testing::Names;

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using Row = ScriptedDatabase::Row;

const std::string kTables = "SELECT * FROM INFORMATION_SCHEMA.TABLES";
const std::string kConstraints = "SELECT * FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS";
const std::string kViews = "SELECT * FROM INFORMATION_SCHEMA.VIEWS";
const std::string kRoutines = "SELECT * FROM INFORMATION_SCHEMA.ROUTINES";
const std::string kColumns =
    "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME,CHARACTER_MAXIMUM_LENGTH,DATA_TYPE FROM "
    "INFORMATION_SCHEMA.COLUMNS ORDER BY TABLE_NAME,ORDINAL_POSITION";

Row Table(std::string schema, std::string name, std::string type = "BASE TABLE") {
    return {{"TABLE_CATALOG", "Sales"}, {"TABLE_SCHEMA", schema}, {"TABLE_NAME", name}, {"TABLE_TYPE", type}};
}
Row Column(std::string schema, std::string table, std::string name, std::optional<std::string> length,
           std::string type) {
    return {{"TABLE_SCHEMA", schema},
            {"TABLE_NAME", table},
            {"COLUMN_NAME", name},
            {"CHARACTER_MAXIMUM_LENGTH", length},
            {"DATA_TYPE", type}};
}
Row Constraint(std::string name) {
    return {{"CONSTRAINT_SCHEMA", "dbo"},
            {"CONSTRAINT_NAME", name},
            {"TABLE_NAME", "Orders"},
            {"CONSTRAINT_TYPE", "CHECK"}};
}
Row View(std::string name) {
    return {{"TABLE_SCHEMA", "dbo"}, {"TABLE_NAME", name}, {"VIEW_DEFINITION", "..."}};
}
Row Routine(std::string name, std::optional<std::string> type) {
    return {{"ROUTINE_SCHEMA", "dbo"}, {"ROUTINE_NAME", name}, {"ROUTINE_TYPE", type}};
}

class FillTest : public ::testing::Test {
  protected:
    FillTest() {
        database->SetRows(
            kTables, {Table("dbo", "Customers"), Table("dbo", "Orders"), Table("dbo", "sysOrders", "VIEW")});
        database->SetRows(kConstraints, {Constraint("PK_Orders"), Constraint("FK_Orders_Customers")});
        database->SetRows(kViews, {View("OpenOrders"), View("sysOrders")});
        database->SetRows(kRoutines, {Routine("GetOrders", "PROCEDURE"), Routine("OrderTotal", "FUNCTION")});
        database->SetRows(kColumns, {Column("dbo", "Customers", "CustomerID", std::nullopt, "int"),
                                     Column("dbo", "Customers", "Name", "100", "nvarchar"),
                                     Column("dbo", "Orders", "OrderID", std::nullopt, "int"),
                                     Column("dbo", "sysOrders", "OrderID", std::nullopt, "int")});
        connection.ServerName = "SRV01";
        connection.DatabaseName = "Sales";
        connection.UserName = "appuser";
        connection.Password = "pa;ss=word";
    }

    std::shared_ptr<ScriptedDatabase> database = std::make_shared<ScriptedDatabase>();
    cConnection connection{database};
    ScriptedPrompt prompt;
};

// Every row read is reported, one record set is open at a time (FreeTDS allows no more) and
// the session is closed; sections come out in query order.
TEST_F(FillTest, ReadsEverySectionOneRecordSetAtATime) {
    ASSERT_EQ(connection.Fill(prompt), "DONE");

    EXPECT_THAT(database->queries, ElementsAre(kTables, kConstraints, kViews, kRoutines, kColumns));
    EXPECT_EQ(prompt.progressCalls, 3 + 2 + 2 + 2 + 4);
    EXPECT_EQ(prompt.lastSection, "columns");
    EXPECT_EQ(database->mostRecordSetsOpen, 1);
    EXPECT_EQ(database->sessionsClosed, 1);
    EXPECT_TRUE(prompt.messages.empty());
    cMetaData& model = *connection.MetaData();
    EXPECT_THAT(Names(model.Tables()), ElementsAre("Customers", "Orders", "sysOrders"));
    EXPECT_THAT(Columns(*model.Tables().Item(1)), ElementsAre("CustomerID*int*", "Name*nvarchar*100"));
    EXPECT_THAT(Names(model.Constraints()), ElementsAre("PK_Orders", "FK_Orders_Customers"));
    EXPECT_THAT(Names(model.Views()), ElementsAre("OpenOrders"));
    EXPECT_THAT(Names(model.Routines()), ElementsAre("GetOrders", "OrderTotal"));
}

TEST_F(FillTest, ConnectionTextBeforeAndAfterFill) {
    EXPECT_EQ(connection.ActiveConnectionString(), "");
    EXPECT_EQ(connection.DisplayConnectionString(), "");
    ASSERT_EQ(connection.Fill(prompt), "DONE");
    EXPECT_EQ(connection.ActiveConnectionString(),
              "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=appuser;password=pa;ss=word;"
              "Initial Catalog=Sales;Data Source=SRV01");
    EXPECT_EQ(connection.DisplayConnectionString(),
              "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=appuser;password=****;"
              "Initial Catalog=Sales;Data Source=SRV01");

    // Later changes show at the next Fill.
    connection.IntegratedSecurity = true;
    connection.Password.clear();
    ASSERT_EQ(connection.Fill(prompt), "DONE");
    const std::string integrated =
        "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=Sales;"
        "Data Source=SRV01";
    EXPECT_EQ(connection.ActiveConnectionString(), integrated);
    EXPECT_EQ(connection.DisplayConnectionString(), integrated);

    connection.IntegratedSecurity = false;
    ASSERT_EQ(connection.Fill(prompt), "DONE");
    EXPECT_THAT(connection.ActiveConnectionString(), HasSubstr(";password=;Initial Catalog="));
}

TEST_F(FillTest, OpenFailureShowsTheMaskedConnectionText) {
    ASSERT_EQ(connection.Fill(prompt), "DONE");
    database->FailOpen(
        DatabaseError("[FreeTDS][SQL Server]Login failed for user 'appuser'.", "28000", 18456));
    connection.Password = "n3w;secret";

    EXPECT_EQ(connection.Fill(prompt), "ERROR");

    ASSERT_EQ(prompt.messages.size(), 1u);
    const PromptMessage& message = prompt.messages[0];
    EXPECT_EQ(message.text,
              "Error opening the connection! Details:Provider=SQLOLEDB.1;Persist Security Info=False;"
              "User ID=appuser;password=****;Initial Catalog=Sales;Data Source=SRV01");
    EXPECT_EQ(message.title, "Error");
    EXPECT_EQ(message.icon, PromptIcon::Warning);
    EXPECT_EQ(message.buttons, PromptButtons::Ok);
    EXPECT_THAT(message.text, Not(HasSubstr("n3w;secret")));
    // The shown text is the new one; the model keeps what the last good Fill read.
    EXPECT_THAT(connection.ActiveConnectionString(), HasSubstr("password=n3w;secret;"));
    EXPECT_EQ(connection.MetaData()->Tables().Count(), 3);
    EXPECT_EQ(connection.LastErrorDetails(), "[FreeTDS][SQL Server]Login failed for user 'appuser'.");
}

// Column names that differ only in letter case (legal in PostgreSQL) are both kept; the same
// name twice fails naming it, and the sections not reached keep their content.
TEST_F(FillTest, CaseTwinColumnsAreKeptAndRepeatedNamesFailNamingThem) {
    database->SetRows(kColumns,
                      {Column("public", "T", "id", "", "int"), Column("public", "T", "ID", "", "int")});
    database->SetRows(kTables, {Table("public", "T")});
    ASSERT_EQ(connection.Fill(prompt), "DONE");
    const auto& twins = connection.MetaData()->Tables().Item(1)->Fields();
    ASSERT_EQ(twins.Count(), 2);
    EXPECT_EQ(twins.Item(2)->FieldName, "ID");

    database->SetRows(kTables, {Table("public", "first"), Table("public", "T"), Table("public", "last")});
    database->SetRows(kConstraints, {});
    database->SetRows(kColumns, {Column("public", "T", "name", "5", "varchar"),
                                 Column("public", "T", "name", "5", "varchar")});

    EXPECT_EQ(connection.Fill(prompt), "ERROR");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].title, "Error retriving connection data");
    EXPECT_THAT(prompt.messages[0].text,
                HasSubstr("This key is already associated with an element of this collection"));
    EXPECT_THAT(prompt.messages[0].text, HasSubstr("\"name\" of table \"T\""));
    cMetaData& model = *connection.MetaData();
    EXPECT_THAT(Names(model.Tables()), ElementsAre("first", "T"));
    EXPECT_EQ(model.Constraints().Count(), 2);
}

TEST_F(FillTest, SaveSnapShotWritesTheModelUnderTheSettings) {
    TempFolder folder;
    connection.IntegratedSecurity = true;
    ASSERT_EQ(connection.Fill(prompt), "DONE");
    connection.SaveSnapShot(folder.File("sales.snp"));
    EXPECT_EQ(
        TempFolder::Read(folder.File("sales.snp")),
        "SRV01*Sales*appuser*\r\nPK_Orders*FK_Orders_Customers*\r\nOpenOrders*\r\nGetOrders+*OrderTotal-*\r\n"
        ":Customers\r\nCustomerID*int*\r\nName*nvarchar*100\r\n:Orders\r\nOrderID*int*\r\n"
        ":sysOrders\r\nOrderID*int*\r\n");
    EXPECT_THROW(connection.SaveSnapShot(folder.File("missing/sales.snp")), TablorError);
}

}  // namespace
}  // namespace tablor::testing

// Fill of a live source over scripted record sets: the queries sent, what the model gets from
// the rows, and what the user is told when something fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ModelText.hpp"
#include "ScriptedDatabase.hpp"
#include "ScriptedPrompt.hpp"
#include "TempFolder.hpp"
#include "model/ObjectType.hpp"
#include "sources/SchemaExtraction.hpp"
#include "sources/SnapshotWriter.hpp"
#include "sources/cConnection.hpp"
#include "sources/cSnapShot.hpp"

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
Row Constraint(std::string name, std::string schema = "dbo") {
    return {{"CONSTRAINT_SCHEMA", schema},
            {"CONSTRAINT_NAME", name},
            {"TABLE_NAME", "Orders"},
            {"CONSTRAINT_TYPE", "CHECK"}};
}
Row View(std::string name, std::string schema = "dbo") {
    return {{"TABLE_SCHEMA", schema}, {"TABLE_NAME", name}, {"VIEW_DEFINITION", "..."}};
}
Row Routine(std::string name, std::optional<std::string> type, std::string schema = "dbo") {
    return {
        {"ROUTINE_SCHEMA", schema}, {"ROUTINE_NAME", name}, {"ROUTINE_TYPE", type}, {"SPECIFIC_NAME", name}};
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
    // Masked even when empty: what is shown never tells whether a password was given.
    EXPECT_THAT(connection.DisplayConnectionString(), HasSubstr(";password=****;Initial Catalog="));
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

// A model in one text per section: tables with their columns, then the other names (routines
// marked + for procedures, - for functions, as snapshots mark them).
struct ModelSections {
    std::vector<std::string> tables, constraints, views, routines;
    bool operator==(const ModelSections&) const = default;
};
ModelSections Sections(cMetaData& model) {
    ModelSections out;
    for (const auto& table : model.Tables()) {
        std::string line = table->ObjectName + ":";
        for (const std::string& column : Columns(*table)) line += " " + column;
        out.tables.push_back(line);
    }
    out.constraints = Names(model.Constraints());
    out.views = Names(model.Views());
    for (const auto& routine : model.Routines())
        out.routines.push_back(routine->ObjectName +
                               (routine->ObjectType == ObjectType::Procedure ? "+" : "-"));
    return out;
}
void PrintTo(const ModelSections& model, std::ostream* out) {
    *out << ::testing::PrintToString(model.tables) << ::testing::PrintToString(model.constraints)
         << ::testing::PrintToString(model.views) << ::testing::PrintToString(model.routines);
}

// Two schemas holding same-named objects, and a third whose name differs from one of them only
// in letter case: the schema filter keeps exactly the schemas named, qualifying keeps
// same-named objects apart, and either way each table keeps its own schema's columns. The
// server's own views and the design tools' routines stay out whatever they are named.
TEST_F(FillTest, SchemaFilterAndQualifiedNamesOnEveryKind) {
    database->SetRows(kTables,
                      {Table("sales", "Orders"), Table("archive", "Orders"), Table("Sales", "Totals")});
    database->SetRows(kColumns, {Column("archive", "Orders", "OrderID", std::nullopt, "int"),
                                 Column("archive", "Orders", "ArchivedOn", std::nullopt, "date"),
                                 Column("sales", "Orders", "OrderID", std::nullopt, "int"),
                                 Column("sales", "Orders", "Note", "20", "varchar"),
                                 Column("Sales", "Totals", "N", std::nullopt, "int")});
    database->SetRows(kConstraints, {Constraint("PK_Orders", "sales"), Constraint("PK_Orders", "archive"),
                                     Constraint("PK_Totals", "Sales")});
    database->SetRows(kViews,
                      {View("OpenOrders", "sales"), View("sysOld", "archive"), View("OldOrders", "archive")});
    database->SetRows(kRoutines,
                      {Routine("GetOrders", "PROCEDURE", "sales"), Routine("dt_x", "PROCEDURE", "archive"),
                       Routine("Purge", "FUNCTION", "archive")});
    const std::string sales = "Orders: OrderID*int* Note*varchar*20";
    const std::string archive = "Orders: OrderID*int* ArchivedOn*date*";
    struct Case {
        std::vector<std::string> schemas;
        bool qualify;
        ModelSections expected;
    };
    const std::vector<Case> cases = {
        {{},
         false,
         {{sales, archive, "Totals: N*int*"},
          {"PK_Orders", "PK_Orders", "PK_Totals"},
          {"OpenOrders", "OldOrders"},
          {"GetOrders+", "Purge-"}}},
        {{"sales"}, false, {{sales}, {"PK_Orders"}, {"OpenOrders"}, {"GetOrders+"}}},
        {{"archive", "Sales"},
         false,
         {{archive, "Totals: N*int*"}, {"PK_Orders", "PK_Totals"}, {"OldOrders"}, {"Purge-"}}},
        {{},
         true,
         {{"sales." + sales, "archive." + archive, "Sales.Totals: N*int*"},
          {"sales.PK_Orders", "archive.PK_Orders", "Sales.PK_Totals"},
          {"sales.OpenOrders", "archive.OldOrders"},
          {"sales.GetOrders+", "archive.Purge-"}}},
        {{"archive", "sales"},
         true,
         {{"sales." + sales, "archive." + archive},
          {"sales.PK_Orders", "archive.PK_Orders"},
          {"sales.OpenOrders", "archive.OldOrders"},
          {"sales.GetOrders+", "archive.Purge-"}}},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(::testing::PrintToString(run.schemas) + (run.qualify ? " qualified" : ""));
        database->queries.clear();
        connection.Schemas = run.schemas;
        connection.QualifyNames = run.qualify;
        ASSERT_EQ(connection.Fill(prompt), "DONE") << ::testing::PrintToString(prompt.Texts());
        EXPECT_EQ(Sections(*connection.MetaData()), run.expected);
        // The catalogue queries stay as they are: the rows are filtered as they are read.
        EXPECT_THAT(database->queries, ElementsAre(kTables, kConstraints, kViews, kRoutines, kColumns));
        EXPECT_EQ(database->opened.back().schemas, run.schemas);
        EXPECT_EQ(database->opened.back().qualifyNames, run.qualify);

        // A snapshot holds the qualified names and gives them back.
        cSnapShot snapshot;
        snapshot.FillFromBytes(FormatSnapshot({"SRV01", "Sales", "appuser"}, *connection.MetaData()), prompt);
        ASSERT_FALSE(snapshot.AbortedBy());
        EXPECT_EQ(Sections(*snapshot.MetaData()), run.expected);
    }

    // A schema that gives nothing is a wrong name, or one the login cannot see into: trouble,
    // never a side that would show everything as missing.
    connection.Schemas = {"nothing"};
    connection.QualifyNames = false;
    EXPECT_EQ(connection.Fill(prompt), "ERROR");
    EXPECT_THAT(connection.LastErrorDetails(),
                ::testing::StartsWith("The schema \"nothing\" holds no table"));
}

// With definitions read, every object and column is known, those the catalogue told nothing of
// with an empty definition; overloads are told apart by their specific names, and indexes,
// triggers, sequences and types are made from their rows.
TEST_F(FillTest, DefinitionsGoToTheirObjectsAndMakeTheKindsOnlyTheyName) {
    const auto property = [](std::string kind, std::string name, std::string column, std::string key,
                             std::string value) {
        return Row{{"OBJECT_KIND", kind},   {"OBJECT_SCHEMA", "dbo"}, {"OBJECT_NAME", name},
                   {"COLUMN_NAME", column}, {"PROPERTY", key},        {"VALUE", value}};
    };
    SchemaQueries queries = SchemaQueries::For(DatabaseEngine::SqlServer);
    queries.definitions = "DEFINITIONS";
    Row overload = Routine("OrderTotal", "FUNCTION");
    overload["SPECIFIC_NAME"] = "OrderTotal_2";
    database->SetRows(kRoutines, {Routine("OrderTotal", "FUNCTION"), overload});
    database->SetRows(queries.definitions, {property("column", "Orders", "OrderID", "nullable", "NO"),
                                            property("column", "Orders", "OrderID", "default", "0"),
                                            property("routine", "OrderTotal_2", "", "signature", "(text)"),
                                            property("index", "IX_Orders", "", "table", "Orders"),
                                            property("view", "OpenOrders", "", "definition", "SELECT 1")});
    for (const bool qualify : {false, true}) {
        SchemaExtraction extraction;
        extraction.SetReadDefinitions(true);
        extraction.SetQualifyNames(qualify);
        const auto session = database->Open({});
        extraction.Read(*session, queries, prompt);
        cMetaData model;
        extraction.Apply(model);

        const cField& orderId = *model.Tables().Item(2)->Fields().Item(1);
        EXPECT_EQ(*orderId.Definition, (Properties{{"default", "0"}, {"nullable", "NO"}}));
        ASSERT_NE(model.Tables().Item(1)->Fields().Item(1)->Definition, nullptr);
        EXPECT_TRUE(model.Tables().Item(1)->Fields().Item(1)->Definition->empty());
        EXPECT_TRUE(model.Routines().Item(1)->Definition->empty());
        EXPECT_EQ(*model.Routines().Item(2)->Definition, (Properties{{"signature", "(text)"}}));
        EXPECT_EQ(*model.Views().Item(1)->Definition, (Properties{{"definition", "SELECT 1"}}));
        ASSERT_EQ(model.Indexes().Count(), 1);
        EXPECT_EQ(model.Indexes().Item(1)->ObjectName, qualify ? "dbo.IX_Orders" : "IX_Orders");
        EXPECT_EQ(model.Indexes().Item(1)->Schema, "dbo");
        EXPECT_EQ(*model.Indexes().Item(1)->Definition, (Properties{{"table", "Orders"}}));
    }
}

// A row of several properties gives each that has a value; a row of one reads VALUE alone. A
// columns query with definitions gives the columns and their properties at once.
TEST_F(FillTest, ARowOfSeveralPropertiesGivesEachWithAValue) {
    SchemaQueries queries = SchemaQueries::For(DatabaseEngine::SqlServer);
    queries.definitions = "DEFINITIONS";
    queries.columnsWithDefinitions = "COLUMNS WITH DEFINITIONS";
    // Unsorted: each row gives its column's position.
    const auto several = [](Row row, std::string position, std::optional<std::string> names) {
        row.insert({{"ORDINAL_POSITION", std::move(position)},
                    {"PROPERTY", std::move(names)},
                    {"VALUE", "int"},
                    {"VALUE2", std::nullopt},
                    {"VALUE3", "NO"}});
        return row;
    };
    database->SetRows(
        queries.columnsWithDefinitions,
        {several(Column("dbo", "Orders", "Total", std::nullopt, "int"), "10", std::nullopt),
         several(Column("dbo", "Customers", "CustomerID", std::nullopt, "int"), "1", std::nullopt),
         several(Column("dbo", "Orders", "OrderID", std::nullopt, "int"), "2", "type|default|nullable")});
    // Definitions of a constraint type are read only where the constraints read hold one.
    queries.constraintDefinitions = {{"FOREIGN KEY", "FOREIGN KEYS"}, {"CHECK", "CHECKS"}};
    auto foreignKey = Constraint("FK_Orders_Customers");
    foreignKey["CONSTRAINT_TYPE"] = "FOREIGN KEY";
    auto primaryKey = Constraint("PK_Orders");
    primaryKey["CONSTRAINT_TYPE"] = "PRIMARY KEY";
    database->SetRows(kConstraints, {primaryKey, foreignKey});
    database->SetRows("FOREIGN KEYS", {Row{{"OBJECT_KIND", "constraint"},
                                           {"OBJECT_SCHEMA", "dbo"},
                                           {"OBJECT_NAME", "FK_Orders_Customers"},
                                           {"COLUMN_NAME", ""},
                                           {"PROPERTY", "definition"},
                                           {"VALUE", "FOREIGN KEY (CustomerID)"}}});
    database->SetRows(queries.definitions, {Row{{"OBJECT_KIND", "view"},
                                                {"OBJECT_SCHEMA", "dbo"},
                                                {"OBJECT_NAME", "OpenOrders"},
                                                {"COLUMN_NAME", ""},
                                                {"PROPERTY", "definition"},
                                                {"VALUE", "SELECT 1"}}});
    SchemaExtraction extraction;
    extraction.SetReadDefinitions(true);
    const auto session = database->Open({});
    extraction.Read(*session, queries, prompt);
    cMetaData model;
    extraction.Apply(model);
    EXPECT_TRUE(model.Tables().Item(1)->Fields().Item(1)->Definition->empty());
    EXPECT_EQ(*model.Tables().Item(2)->Fields().Item(1)->Definition,
              (Properties{{"nullable", "NO"}, {"type", "int"}}));
    EXPECT_EQ(model.Tables().Item(2)->Fields().Item(2)->FieldName, "Total");
    EXPECT_EQ(*model.Views().Item(1)->Definition, (Properties{{"definition", "SELECT 1"}}));
    EXPECT_EQ(*model.Constraints().Item(2)->Definition,
              (Properties{{"definition", "FOREIGN KEY (CustomerID)"}}));
    EXPECT_THAT(database->queries, ::testing::Contains("FOREIGN KEYS"));
    EXPECT_THAT(database->queries, ::testing::Not(::testing::Contains("CHECKS")));
}

TEST_F(FillTest, SaveSnapShotWritesTheModelUnderTheSettings) {
    TempFolder folder;
    connection.IntegratedSecurity = true;
    ASSERT_EQ(connection.Fill(prompt), "DONE");
    connection.SaveSnapShot(folder.File("sales.snp"));
    EXPECT_EQ(
        TempFolder::Read(folder.File("sales.snp")),
        "SRV01*Sales*appuser*\r\nPK_Orders*FK_Orders_Customers*\r\nOpenOrders*\r\nGetOrders+*OrderTotal-*\r\n"
        // The engine and each object's schema, where older loaders do not look.
        "~E*1*engine=sqlserver\r\n"
        "~K*1*schema=dbo\r\n~K*2*schema=dbo\r\n~V*1*schema=dbo\r\n~R*1*schema=dbo\r\n~R*2*schema=dbo\r\n"
        "~T*1*schema=dbo\r\n~T*2*schema=dbo\r\n~T*3*schema=dbo\r\n"
        ":Customers\r\nCustomerID*int*\r\nName*nvarchar*100\r\n:Orders\r\nOrderID*int*\r\n"
        ":sysOrders\r\nOrderID*int*\r\n");
    EXPECT_THROW(connection.SaveSnapShot(folder.File("missing/sales.snp")), TablorError);
}

}  // namespace
}  // namespace tablor::testing

// The structure as text, for `tablor-cli show`: the viewer's tree, line by line.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "cli/DifferenceOutput.hpp"
#include "report/StructureText.hpp"

namespace tablor {
namespace {

cMetaData Shop() {
    cMetaData schema;
    const auto orders = schema.Tables().Add("orders");
    orders->Fields().Add("OrderId", "int", "");
    orders->Fields().Add("Note", "varchar", "200");
    schema.Tables().Add("Archive");
    const auto customers = schema.Tables().Add("Customers");
    customers->Fields().Add("Name", "nvarchar", "50");
    schema.Views().Add("vOpen");
    schema.Views().Add("vAll");
    schema.Constraints().Add("PK_Orders");  // constraints are not part of the tree
    schema.Routines().Add("usp_Place", 2);
    schema.Routines().Add("dt_addtosourcecontrol", 2);
    schema.Routines().Add("fn_Total", 1);
    schema.Routines().Add("Apply", 2);
    return schema;
}

TEST(StructureText, RendersTheViewersTreeUnderAHeading) {
    const std::string expected =
        "Server: SRV01\n"
        "Database: Shop\n"
        "Source: /snap/shop.snp\n"
        "\n"
        "Shop\n"
        "  Tables\n"
        "    Archive\n"
        "    Customers\n"
        "      Name\n"
        "        Type: nvarchar\n"
        "        Size: 50\n"
        "    orders\n"
        "      OrderId\n"
        "        Type: int\n"
        "        Size: \n"
        "      Note\n"
        "        Type: varchar\n"
        "        Size: 200\n"
        "  Views\n"
        "    vAll\n"
        "    vOpen\n"
        "  Stored Procedures\n"
        "    Apply\n"
        "    usp_Place\n"
        "  Functions\n"
        "    fn_Total\n";
    EXPECT_EQ(RenderStructureText({"SRV01", "Shop", "/snap/shop.snp"}, Shop()), expected);
}

TEST(StructureText, AnEmptySchemaGivesTheFourEmptyGroups) {
    EXPECT_EQ(RenderStructureText({"", "", ""}, cMetaData()),
              "Server: \nDatabase: \nSource: \n\n\n  Tables\n  Views\n  Stored Procedures\n  Functions\n");
}

TEST(StructureText, OutlineSortsIgnoringCaseKeepsTiesInModelOrderAndFiltersOnlyDesignTools) {
    cMetaData schema;
    for (const char* name : {"beta", "Alpha", "gamma", "x", "X", "Ärger", "ärger"}) schema.Tables().Add(name);
    for (const char* name : {"dt_audit", "Dt_audit", "DT_audit", "dt", "d"}) schema.Routines().Add(name, 2);
    schema.Routines().Add("dt_calc", 1);
    schema.Routines().Add("odd", 0);  // neither kind: listed with the functions

    const StructureOutline outline = OutlineOf(schema);
    EXPECT_EQ(outline.tables, (std::vector<std::size_t>{1, 0, 2, 3, 4, 5, 6}));
    EXPECT_EQ(outline.procedures, (std::vector<std::size_t>{4, 3, 1, 2}));
    EXPECT_EQ(outline.functions, (std::vector<std::size_t>{5, 6}));
    EXPECT_TRUE(IsHiddenProcedure("dt_"));
    EXPECT_FALSE(IsHiddenProcedure("dt"));
    EXPECT_FALSE(IsHiddenProcedure("DT_x"));
}

TEST(StructureText, ControlCharactersInNamesCannotBreakTheLines) {
    cMetaData schema;
    const auto table = schema.Tables().Add("Evil\n  Tables");
    table->Fields().Add("tab\there", "int\r", std::string("\x01", 1));
    const std::string text = RenderStructureText({"S", "D\x7F", "src"}, schema);
    EXPECT_NE(text.find("    Evil\\n  Tables\n"), std::string::npos) << text;
    EXPECT_NE(text.find("      tab\\there\n        Type: int\\r\n        Size: \\x01\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("Database: D\\x7F\n"), std::string::npos) << text;
}

TEST(StructureText, C1ControlsAreEscapedAndOtherUnicodeStays) {
    cMetaData schema;
    schema.Tables().Add(
        "c1\xC2\x9B"
        "31m");
    schema.Tables().Add(
        "raw\x9B"
        "31m");
    schema.Tables().Add("Ωμέγα_表_\xC2\xA0é");
    const std::string text = RenderStructureText({"S", "D", "src"}, schema);
    EXPECT_NE(text.find("    c1\\xC2\\x9B31m\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    raw\\x9B31m\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    Ωμέγα_表_\xC2\xA0é\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace tablor

namespace tablor {
namespace {

cMetaData Defined() {
    cMetaData schema;
    const auto orders = schema.Tables().Add("orders");
    orders->Schema = "dbo";
    orders->Fields().Add("state", "varchar", "10");
    orders->Fields().Items()[0]->Definition =
        std::make_shared<Properties>(Properties{{"default", "'new'"}, {"nullable", "YES"}});
    orders->Fields().Add("note\x1b[31m", "text", "");
    const auto view = schema.Views().Add("vOpen");
    view->Definition =
        std::make_shared<Properties>(Properties{{"definition", "select \"a\"\r\n  from\torders\n"}});
    schema.Indexes().Add("orders.ix_state")->Definition = std::make_shared<Properties>();
    return schema;
}

TEST(StructureText, WithDefinitionsEachElementAndColumnListsItsPropertiesUnderIt) {
    const std::string text = RenderStructureText({"S", "D", "src"}, Defined(), true);
    for (const char* expected : {
             "      state\n        Type: varchar\n        Size: 10\n        default: 'new'\n"
             "        nullable: YES\n      note\\x1B[31m\n        Type: text\n        Size: \n  Views\n",
             "    vOpen\n      definition:\n        select \"a\"\n          from\\torders\n  Stored "
             "Procedures\n",
             "  Functions\n  Constraints\n  Indexes\n    orders.ix_state\n  Triggers\n  Sequences\n  Types\n",
         })
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n---\n" << text;
    EXPECT_EQ(RenderStructureText({"S", "D", "src"}, Defined(), false).find("default"), std::string::npos);
}

TEST(StructureText, TheJsonParsesBackToTheStructure) {
    const std::string json = RenderStructureJson({"S", "D\n", "src"}, Defined(), cli::JsonString);
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(json)) << json;
    EXPECT_EQ(parsed["database"], "D\n");
    const auto& table = parsed["tables"][0];
    EXPECT_EQ(table["kind"], "Table");
    EXPECT_EQ(table["schema"], "dbo");
    EXPECT_TRUE(table["properties"].is_null());
    EXPECT_EQ(table["columns"][0]["size"], "10");
    EXPECT_EQ(table["columns"][0]["properties"]["default"], "'new'");
    EXPECT_TRUE(table["columns"][1]["properties"].is_null());
    EXPECT_EQ(table["columns"][1]["name"], "note\x1b[31m");
    EXPECT_EQ(parsed["views"][0]["properties"]["definition"], "select \"a\"\r\n  from\torders\n");
    EXPECT_TRUE(parsed["indexes"][0]["properties"].empty());
    EXPECT_EQ(parsed["indexes"][0]["kind"], "Index");
    EXPECT_TRUE(parsed["procedures"].empty());
    EXPECT_EQ(json.find('\x1b'), std::string::npos) << "a control character reached the terminal";
}

}  // namespace
}  // namespace tablor

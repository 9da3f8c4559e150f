// The structure as text, for `tablor-cli show`: the viewer's tree, line by line.
#include <gtest/gtest.h>

#include <string>

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

#include <gtest/gtest.h>

#include "model/cMetaData.hpp"

using namespace tablor;

TEST(MetaData, FreshSchemaReadsAsFourEmptyCollectionsThatStay) {
    cMetaData schema;
    EXPECT_EQ(schema.Tables().Count(), 0);
    EXPECT_EQ(schema.Views().Count(), 0);
    EXPECT_EQ(schema.Constraints().Count(), 0);
    EXPECT_EQ(schema.Routines().Count(), 0);
    EXPECT_EQ(&schema.Tables(), &schema.Tables());

    schema.Views().Add("v");
    const cMetaData& readOnly = schema;
    EXPECT_EQ(readOnly.Views().Count(), 1);
    EXPECT_EQ(readOnly.Tables().Count(), 0);
}

TEST(MetaData, AssigningACollectionReplacesIt) {
    cMetaData schema;
    schema.Tables().Add("old");
    auto replacement = std::make_shared<Tables>();
    replacement->Add("new1");
    replacement->Add("new2");
    schema.SetTables(replacement);
    EXPECT_EQ(schema.Tables().Count(), 2);
    EXPECT_EQ(schema.Tables().Item(1)->ObjectName, "new1");
}

TEST(MetaData, NewElementIsEmptyWithAnEmptyColumnList) {
    cMetaDataElement element;
    EXPECT_EQ(element.ObjectName, "");
    EXPECT_EQ(element.ObjectType, 0);
    EXPECT_EQ(element.Fields().Count(), 0);
}

TEST(MetaData, ColumnsOutliveTheirTableForHolders) {
    std::shared_ptr<cField> column;
    {
        cMetaData schema;
        auto table = schema.Tables().Add("T");
        table->Fields().Add("id", "int", "");
        column = table->Fields().Item(1);
    }
    EXPECT_EQ(column->FieldName, "id");
}

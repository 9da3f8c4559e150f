#include <gtest/gtest.h>

#include <functional>

#include "compare/coDifferences.hpp"
#include "model/ElementCollections.hpp"
#include "model/coFields.hpp"
#include "support/TablorError.hpp"

using namespace tablor;

namespace {

long ErrorNumber(const std::function<void()>& call) {
    try {
        call();
    } catch (const TablorError& error) {
        return error.Number();
    }
    return 0;
}

}  // namespace

TEST(Collection, PositionsAreOneBasedInOrderOfAdditionAndShiftOnRemove) {
    Views views;
    views.Add("a");
    views.Add("b");
    views.Add("c");
    ASSERT_EQ(views.Count(), 3);
    EXPECT_EQ(views.Item(1)->ObjectName, "a");
    EXPECT_EQ(views.Item(3)->ObjectName, "c");

    views.Remove(1);
    EXPECT_EQ(views.Count(), 2);
    EXPECT_EQ(views.Item(1)->ObjectName, "b");

    std::vector<std::string> order;
    for (const auto& view : views) order.push_back(view->ObjectName);
    EXPECT_EQ(order, (std::vector<std::string>{"b", "c"}));
}

TEST(Collection, BadPositionsAndKeysFailExceptInTables) {
    Views views;
    Constraints constraints;
    Routines routines;
    coFields fields;
    views.Add("v");
    EXPECT_EQ(ErrorNumber([&] { views.Item(0); }), errors::SubscriptOutOfRange);
    EXPECT_EQ(ErrorNumber([&] { views.Item(2); }), errors::SubscriptOutOfRange);
    EXPECT_EQ(ErrorNumber([&] { views.Item("missing"); }), errors::InvalidProcedureCall);
    EXPECT_EQ(ErrorNumber([&] { constraints.Item(1); }), errors::SubscriptOutOfRange);
    EXPECT_EQ(ErrorNumber([&] { routines.Item(1); }), errors::SubscriptOutOfRange);
    EXPECT_EQ(ErrorNumber([&] { fields.Item("id"); }), errors::InvalidProcedureCall);
    EXPECT_EQ(ErrorNumber([&] { views.Remove(5); }), errors::SubscriptOutOfRange);

    Tables tables;
    tables.Add("T");
    EXPECT_EQ(tables.Item(0), nullptr);
    EXPECT_EQ(tables.Item(2), nullptr);
    EXPECT_EQ(tables.Item("T"), nullptr);  // added without a key: reachable by position only
    EXPECT_EQ(tables.Item(1)->ObjectName, "T");
}

TEST(Collection, KeysIgnoreLetterCaseAndRefuseDuplicates) {
    coFields fields;
    fields.Add("CustomerID", "int", "");
    EXPECT_EQ(fields.Item("customerid")->FieldName, "CustomerID");
    EXPECT_EQ(ErrorNumber([&] { fields.Add("CustomerID", "varchar", "10"); }), errors::DuplicateKey);
    EXPECT_EQ(fields.Count(), 1);
    EXPECT_EQ(fields.Item(1)->FieldType, "int");

    // Letters beyond ASCII fold too, as the server's collation treats them.
    fields.Add("Émission", "int", "");
    coDifferences keyed;
    keyed.Add("a", 0, "", "", "Émission");
    EXPECT_EQ(ErrorNumber([&] { keyed.Add("b", 0, "", "", "émission"); }), errors::DuplicateKey);
    fields.Add("ΩMEGA", "int", "");
    EXPECT_EQ(fields.Item("ωmega")->FieldName, "ΩMEGA");
    fields.Add("表", "int", "");
    EXPECT_EQ(fields.Item("表")->FieldName, "表");

    // Keys still resolve after a removal moved the items behind it.
    fields.Remove("émission");
    EXPECT_EQ(fields.Count(), 3);
    EXPECT_EQ(fields.Item("ωMEGA"), fields.Item(2));
    EXPECT_EQ(fields.Item("表"), fields.Item(3));
    fields.Add("émission", "int", "");  // the key is free again
    EXPECT_EQ(fields.Item(4)->FieldName, "émission");
}

TEST(Collection, ColumnNamesAreDistinctUntilOneWithoutAKeyIsAdded) {
    coFields fields;
    fields.Add("a", "int", "");
    fields.Add("b", "int", "");
    EXPECT_TRUE(fields.NamesDistinct());
    fields.Add("B", "int", "");  // beside "b", without a key
    EXPECT_FALSE(fields.NamesDistinct());
    coFields empty;
    empty.Add("", "int", "");
    EXPECT_FALSE(empty.NamesDistinct());
}

TEST(Collection, ItemsWithoutKeysMayShareNamesAndClearEmpties) {
    Views views;
    views.Add("same");
    views.Add("same");
    EXPECT_EQ(views.Count(), 2);
    views.Clear();
    EXPECT_EQ(views.Count(), 0);
    views.Clear();
    EXPECT_EQ(views.Count(), 0);

    Views keyed;
    keyed.Add("x", "Key");
    EXPECT_EQ(ErrorNumber([&] { keyed.Add("y", "KEY"); }), errors::DuplicateKey);
    keyed.Clear();
    keyed.Add("y", "KEY");
    EXPECT_EQ(keyed.Item("key")->ObjectName, "y");
}

TEST(Collection, RemovedItemStaysValidForItsHolder) {
    coDifferences differences;
    auto held = differences.Add("T", 0, "srv.db", "Table was not found on srv.db");
    differences.Clear();
    EXPECT_EQ(held->ObjectName(), "T");
    EXPECT_EQ(held->Message(), "Table was not found on srv.db");
}

TEST(Collection, HoldsFarMoreThanSixteenBitsOfEntries) {
    coFields fields;
    for (int i = 0; i < 100000; ++i) fields.Add("Column" + std::to_string(i), "int", "");
    EXPECT_EQ(fields.Count(), 100000);
    EXPECT_EQ(fields.Item(100000)->FieldName, "Column99999");
    EXPECT_EQ(fields.Item("COLUMN77777")->FieldName, "Column77777");
    EXPECT_EQ(ErrorNumber([&] { fields.Add("Column5", "int", ""); }), errors::DuplicateKey);
}

TEST(Collection, AddsElementsOfTheirOwnKind) {
    EXPECT_EQ(Tables().Add("t")->ObjectType, 0);
    EXPECT_EQ(Views().Add("v")->ObjectType, 2);
    EXPECT_EQ(Constraints().Add("c")->ObjectType, 5);
    Routines routines;
    EXPECT_EQ(routines.Add("f", 1)->ObjectType, 4);
    EXPECT_EQ(routines.Add("p", 2)->ObjectType, 3);
    EXPECT_EQ(routines.Add("x", 0)->ObjectType, 0);  // the caller sets the kind afterwards
    EXPECT_EQ(routines.Add("y", 7)->ObjectType, 0);
}

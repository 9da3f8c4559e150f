#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "compare/coDifferences.hpp"
#include "model/ElementCollections.hpp"
#include "model/coFields.hpp"
#include "support/TablorError.hpp"
#include "support/TextCase.hpp"

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

// Random additions, removals and lookups, on tables small enough to be scanned and large
// enough to be hashed, against a plain list searched name by name. Items handed out earlier
// keep their column however the list moves or grows.
TEST(Collection, ColumnsAgreeWithAPlainListAndHeldItemsStayValid) {
    const std::vector<std::string> names{"id",       "ID", "Id", "name",  "NAME", "Émission",
                                         "émission", "",   "表", "ΩMEGA", "ωmega"};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
        coFields fields;
        if (seed % 2 == 0) fields.Reserve(3 + pick(40));
        std::vector<std::pair<std::string, bool>> plain;  // name, keyed
        std::vector<std::pair<std::shared_ptr<cField>, std::string>> held;
        const auto keyOf = [&](const std::string& name) -> long {
            for (std::size_t i = 0; i < plain.size(); ++i)
                if (plain[i].second && FoldCase(plain[i].first) == FoldCase(name))
                    return static_cast<long>(i);
            return -1;
        };
        for (int step = 0; step < 300; ++step) {
            const std::string name =
                pick(3) == 0 ? names[pick(names.size())] : "c" + std::to_string(pick(seed * 10));
            if (pick(5) == 0 && !plain.empty()) {
                const std::size_t at = pick(plain.size());
                fields.Remove(static_cast<long>(at + 1));
                plain.erase(plain.begin() + static_cast<std::ptrdiff_t>(at));
                continue;
            }
            // Refused: a name whose key is taken, repeated exactly. A column without a key
            // never blocks one.
            bool exact = false;
            for (const auto& entry : plain) exact = exact || entry.first == name;
            exact = exact && keyOf(name) >= 0;
            const bool keyed = !name.empty() && keyOf(name) < 0;
            const long error =
                ErrorNumber([&] { held.emplace_back(fields.Add(name, "t" + name, ""), name); });
            ASSERT_EQ(error, exact ? errors::DuplicateKey : 0) << name;
            if (!exact) plain.emplace_back(name, keyed);
            ASSERT_EQ(fields.Count(), static_cast<long>(plain.size()));

            const long found = keyOf(name);
            if (found < 0) {
                EXPECT_EQ(ErrorNumber([&] { fields.Item(name); }), errors::InvalidProcedureCall);
            } else {
                EXPECT_EQ(fields.Item(name), fields.Item(found + 1)) << name;
            }
        }
        bool distinct = true;
        for (std::size_t i = 0; i < plain.size(); ++i) {
            EXPECT_EQ(fields.NameAt(i), plain[i].first);
            EXPECT_EQ(fields.Items()[i], fields.Item(static_cast<long>(i + 1)).get());
        }
        for (const auto& entry : plain) distinct = distinct && entry.second;
        if (!distinct) {
            EXPECT_FALSE(fields.NamesDistinct());
        }
        for (const auto& [item, name] : held) EXPECT_EQ(item->FieldType, "t" + name);
    }
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

#include <gtest/gtest.h>

#include "PlainScanReference.hpp"
#include "SameDifferences.hpp"
#include "SchemaGenerator.hpp"
#include "compare/cCompareEngine.hpp"

using namespace tablor;
using tablor::testing::ExpectSameList;

namespace {

std::vector<std::string> Messages(const coDifferences& differences) {
    std::vector<std::string> messages;
    for (const auto& d : differences) messages.push_back(d->Message());
    return messages;
}

}  // namespace

TEST(CompareEngine, MissingFieldCarriesItsTableTypeAndSizeFromTheSideThatHasIt) {
    cMetaData first, second;
    auto t1 = first.Tables().Add("T");
    t1->Fields().Add("ID", "int", "");
    t1->Fields().Add("Name", "varchar", "50");
    second.Tables().Add("T")->Fields().Add("ID", "bigint", "");  // types are never compared

    cCompareEngine engine;
    const auto& differences = engine.Compare(first, "srv1.db", second, "snap.snp");
    ASSERT_EQ(differences.Count(), 1);
    const auto& d = *differences.Item(1);
    EXPECT_EQ(d.ObjectName(), "Name");
    EXPECT_EQ(d.ObjectType, 1);
    EXPECT_EQ(d.Source(), "snap.snp");
    EXPECT_EQ(d.FieldTable(), "T");
    EXPECT_EQ(d.FieldType(), "varchar");
    EXPECT_EQ(d.FieldSize(), "50");
    EXPECT_EQ(d.Message(), "The field Name was not found on the table T on the object snap.snp");
}

TEST(CompareEngine, ListsFirstDirectionThenSecondEachByKindInFixedOrder) {
    cMetaData first, second;
    first.Tables().Add("OnlyFirst")->Fields().Add("c", "int", "");
    first.Routines().Add("fn", 1);
    first.Constraints().Add("PK_x");
    first.Views().Add("Orders");
    second.Tables().Add("Orders");  // a view and a table of one name never match
    second.Routines().Add("proc", 2);
    second.Views().Add("v");

    cCompareEngine engine;
    const auto& differences = engine.Compare(first, "A", second, "B");
    EXPECT_EQ(Messages(differences), (std::vector<std::string>{
                                         "View was not found on B",
                                         "Constraint was not found on B",
                                         "Routine was not found on B",
                                         "Table was not found on B",
                                         "View was not found on A",
                                         "Routine was not found on A",
                                         "Table was not found on A",
                                     }));
    EXPECT_EQ(differences.Item(3)->ObjectType, 4);  // a missing routine keeps its own kind
    EXPECT_EQ(differences.Item(6)->ObjectType, 3);
    EXPECT_EQ(differences.Item(4)->FieldTable(), "");  // a missing table lists none of its columns
}

TEST(CompareEngine, NamesDifferingOnlyInLetterCaseAreTwoElements) {
    cMetaData first, second;
    first.Views().Add("orders");
    second.Views().Add("Orders");
    first.Routines().Add("Same", 1);
    second.Routines().Add("Same", 2);  // a procedure and a function of one name match

    cCompareEngine engine;
    EXPECT_EQ(Messages(engine.Compare(first, "one", second, "two")),
              (std::vector<std::string>{"View was not found on two", "View was not found on one"}));
}

TEST(CompareEngine, TableHeldTwiceOnTheOtherSideIsComparedWithEach) {
    cMetaData first, second;
    auto t = first.Tables().Add("T");
    t->Fields().Add("a", "int", "");
    t->Fields().Add("b", "int", "");
    second.Tables().Add("T")->Fields().Add("a", "int", "");
    second.Tables().Add("T")->Fields().Add("b", "int", "");
    first.Tables().Add("U")->Fields().Add("x", "int", "");
    second.Tables().Add("U")->Fields().Add("x", "int", "");

    cCompareEngine engine;
    const auto& differences = engine.Compare(first, "A", second, "B");
    // b is missing from the first T, a from the second; backwards, the single T on the first
    // side holds every column of both.
    ASSERT_EQ(differences.Count(), 2);
    EXPECT_EQ(differences.Item(1)->ObjectName(), "b");
    EXPECT_EQ(differences.Item(2)->ObjectName(), "a");

    coDifferences reference;
    tablor::testing::PlainScanCompare(first, "A", second, "B", reference);
    ExpectSameList(differences, reference);
}

// A table name held three or more times (one per schema) is compared with every copy.
TEST(CompareEngine, EveryCopyOfARepeatedTableIsCompared) {
    for (const int copies : {3, 4}) {
        cMetaData first, second;
        auto t = first.Tables().Add("T");
        for (int k = 0; k < copies; ++k) {
            t->Fields().Add("c" + std::to_string(k), "int", "");
            second.Tables().Add("T")->Fields().Add("c" + std::to_string(k), "int", "");
        }
        cCompareEngine engine;
        const auto& differences = engine.Compare(first, "A", second, "B");
        EXPECT_EQ(differences.Count(), copies * (copies - 1)) << copies;
        coDifferences reference;
        tablor::testing::PlainScanCompare(first, "A", second, "B", reference);
        ExpectSameList(differences, reference);
    }
}

// Column names may repeat (empty names do) or differ in letter case only (PostgreSQL): a column
// is missing when the other table has no column of exactly its name.
TEST(CompareEngine, RepeatedAndCaseTwinColumnsMatchByExactName) {
    struct Case {
        std::vector<std::string> first, second, missing;
    };
    const std::vector<Case> cases = {
        {{"", ""}, {"", "x"}, {"x"}},   {{"", "x"}, {"", ""}, {"x"}},
        {{"", ""}, {""}, {}},           {{"id", "ID"}, {"id"}, {"ID"}},
        {{"id"}, {"ID", "id"}, {"ID"}}, {{"a", "", "b", ""}, {"", "b", "a", "c"}, {"c"}},
    };
    for (const Case& c : cases) {
        cMetaData first, second;
        auto t1 = first.Tables().Add("T");
        for (const auto& name : c.first) t1->Fields().Add(name, "int", "");
        auto t2 = second.Tables().Add("T");
        for (const auto& name : c.second) t2->Fields().Add(name, "int", "");
        cCompareEngine engine;
        const auto& differences = engine.Compare(first, "A", second, "B");
        std::vector<std::string> missing;
        for (const auto& d : differences) missing.push_back(d->ObjectName());
        EXPECT_EQ(missing, c.missing) << c.first.size() << " / " << c.second.size();
        coDifferences reference;
        tablor::testing::PlainScanCompare(first, "A", second, "B", reference);
        ExpectSameList(differences, reference);
    }
}

TEST(CompareEngine, SameOrEmptySchemasGiveNothingAndTheListIsReused) {
    cCompareEngine engine;
    cMetaData empty1, empty2;
    EXPECT_EQ(engine.Compare(empty1, "a", empty2, "b").Count(), 0);

    auto [first, second] = tablor::testing::GenerateSchemaPair({}, 7);
    EXPECT_EQ(engine.Compare(*first, "a", *first, "a").Count(), 0);

    const coDifferences& once = engine.Compare(*first, "a", *second, "b");
    const long firstCount = once.Count();
    ASSERT_GT(firstCount, 0);
    const coDifferences& twice = engine.Compare(*second, "b", *second, "b");
    EXPECT_EQ(&once, &twice);
    EXPECT_EQ(twice.Count(), 0);
    engine.Compare(*first, "a", *second, "b");
    engine.Clear();
    EXPECT_EQ(engine.Differences().Count(), 0);
}

TEST(CompareEngine, GivesTheVeryListOfThePlainScansOnRandomSchemas) {
    cCompareEngine engine;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        tablor::testing::SchemaShape shape;
        shape.tables = 30 + static_cast<int>(seed % 7) * 10;
        shape.columnsPerTable = seed % 5 == 0 ? 80 : 6;  // long column lists take the hashed path
        shape.differing = 0.02 * static_cast<double>(seed % 10);
        shape.awkwardNames = seed % 2 == 0;
        auto [first, second] = tablor::testing::GenerateSchemaPair(shape, seed);

        coDifferences reference;
        tablor::testing::PlainScanCompare(*first, "first.snp", *second, "srv.db", reference);
        SCOPED_TRACE("seed " + std::to_string(seed));
        ExpectSameList(engine.Compare(*first, "first.snp", *second, "srv.db"), reference);
    }
}

// A collection that fills its lookup table's size must still end a lookup that misses.
TEST(CompareEngine, CollectionsOfAPowerOfTwoFindWhatIsMissing) {
    for (const int count : {16, 32, 64}) {
        cMetaData first, second;
        for (int i = 0; i < count; ++i) {
            first.Views().Add("a" + std::to_string(i));
            second.Views().Add("b" + std::to_string(i));
        }
        cCompareEngine engine;
        EXPECT_EQ(engine.Compare(first, "a", second, "b").Count(), 2 * count) << count;
    }
}

TEST(CompareEngine, HandlesCollectionsBeyondSixteenBits) {
    cMetaData first, second;
    for (int i = 0; i < 40000; ++i) {
        first.Constraints().Add("c" + std::to_string(i));
        if (i % 2 == 0) second.Constraints().Add("c" + std::to_string(i));
    }
    cCompareEngine engine;
    const auto& differences = engine.Compare(first, "a", second, "b");
    EXPECT_EQ(differences.Count(), 20000);
    EXPECT_EQ(differences.Item(20000)->ObjectName(), "c39999");
}

namespace {

// A side whose elements are given as "schema.name" (a table's columns after a colon).
cMetaData SideOf(const std::vector<std::string>& tables, const std::vector<std::string>& views = {}) {
    cMetaData side;
    for (const std::string& spec : tables) {
        const auto colon = spec.find(':');
        const std::string qualified = spec.substr(0, colon);
        const auto dot = qualified.find('.');
        const auto table = side.Tables().Add(qualified.substr(dot + 1));
        if (dot != std::string::npos) table->Schema = qualified.substr(0, dot);
        for (std::size_t at = colon; at != std::string::npos;) {
            const auto next = spec.find(',', at + 1);
            table->Fields().Add(spec.substr(at + 1, next - at - 1), "int", "");
            at = next;
        }
    }
    for (const std::string& qualified : views) {
        const auto dot = qualified.find('.');
        side.Views().Add(qualified.substr(dot + 1))->Schema = qualified.substr(0, dot);
    }
    return side;
}

}  // namespace

// Objects pair by schema and name where both sides know the schemas and one holds several:
// same-named tables of different schemas are never compared with each other, and each
// difference names its schema. Sides of one schema each, or a side that does not know its
// schemas, pair by name as before.
TEST(CompareEngine, SameNamesInSeveralSchemasPairBySchema) {
    const cMetaData three = SideOf({"public.orders:id", "sales.orders:id,region", "archive.orders:id,closed"},
                                   {"public.v", "sales.v"});
    const struct {
        const char* name;
        cMetaData first, second;
        std::vector<std::string> expected;
    } cases[] = {
        {"itself", three, three, {}},
        {"a column one schema lacks",
         three,
         SideOf({"public.orders:id", "sales.orders:id", "archive.orders:id,closed"}, {"public.v", "sales.v"}),
         {"The field region was not found on the table sales.orders on the object B"}},
        {"a schema one side lacks",
         three,
         SideOf({"public.orders:id", "sales.orders:id,region"}, {"public.v"}),
         {"View was not found on B", "Table was not found on B"}},
        {"one schema each, named apart", SideOf({"app.orders:id"}), SideOf({"live.orders:id"}), {}},
        {"a side without schemas", SideOf({"orders:id"}), SideOf({"a.orders:id", "b.orders:id"}), {}},
    };
    for (const auto& c : cases) {
        cCompareEngine engine;
        const auto& differences = engine.Compare(c.first, "A", c.second, "B");
        EXPECT_EQ(Messages(differences), c.expected) << c.name;
    }
    cCompareEngine engine;
    const auto& differences = engine.Compare(three, "A", cases[2].second, "B");
    ASSERT_EQ(differences.Count(), 2);
    EXPECT_EQ(differences.Item(1)->ObjectName(), "sales.v");
    EXPECT_EQ(differences.Item(2)->ObjectName(), "archive.orders");
}

// Definitions compared: one change per case, each giving the differences a user reads.
#include <gtest/gtest.h>

#include "compare/DefinitionComparison.hpp"
#include "compare/cCompareEngine.hpp"

using namespace tablor;

namespace {

std::shared_ptr<const Properties> Props(Properties properties) {
    return std::make_shared<const Properties>(std::move(properties));
}

// A table "t" with a column "c", a view "v" and, where given, an index "ix".
struct Side {
    Side(std::shared_ptr<const Properties> column = nullptr, std::shared_ptr<const Properties> view = nullptr,
         bool index = false)
        : column(std::move(column)), view(std::move(view)), index(index) {}
    std::shared_ptr<const Properties> column;
    std::shared_ptr<const Properties> view;
    bool index;
};

cMetaData Model(const Side& side) {
    cMetaData model;
    model.Tables().Add("t")->Fields().Add("c", "numeric", "")->Definition = side.column;
    model.Views().Add("v")->Definition = side.view;
    if (side.index) model.Indexes().Add("ix");
    return model;
}

std::vector<std::string> Messages(const coDifferences& differences) {
    std::vector<std::string> messages;
    for (const auto& d : differences) messages.push_back(d->Message());
    return messages;
}

}  // namespace

TEST(DefinitionCompare, EachChangeGivesOneDifferenceAndWhatASideDoesNotKnowGivesNone) {
    const auto nullable = Props({{"nullable", "YES"}, {"type", "numeric(10,2)"}});
    const std::string body1 = "SELECT a,\n  b\nFROM t";
    constexpr const char* kLong = "FOREIGN KEY (customer_id) REFERENCES sales.customers(id) ON DELETE ";
    const std::string body2 = "SELECT a,\n  c\nFROM t";
    struct Case {
        const char* what;
        Side first, second;
        CompareOptions options;
        std::vector<std::string> expected;
    };
    CompareOptions definitions;
    definitions.definitions = true;
    CompareOptions ignoring = definitions;
    ignoring.ignoreProperties = {"NULLABLE"};
    CompareOptions viewsOnly = definitions;
    viewsOnly.only = CompareKind::Views;
    const Case cases[] = {
        {"a column property",
         {nullable},
         {Props({{"nullable", "NO"}, {"type", "numeric(10,2)"}})},
         definitions,
         {"Field t.c changed: nullable: YES \u2192 NO"}},
        {"a property one side lacks",
         {nullable},
         {Props({{"default", "0"}, {"nullable", "YES"}, {"type", "numeric(10,2)"}})},
         definitions,
         {"Field t.c changed: default: (none) \u2192 0"}},
        {"a side that knows nothing", {nullable, Props({{"definition", "x"}})}, {}, definitions, {}},
        {"without --definitions", {nullable, nullptr}, {Props({{"nullable", "NO"}}), nullptr}, {}, {}},
        {"an ignored property",
         {nullable},
         {Props({{"nullable", "NO"}, {"type", "numeric(10,2)"}})},
         ignoring,
         {}},
        {"line ends and trailing blanks",
         {nullptr, Props({{"definition", body1}})},
         {nullptr, Props({{"definition", "\r\n" + body1 + "  \r\n"}})},
         definitions,
         {}},
        {"a body",
         {nullptr, Props({{"definition", body1}})},
         {nullptr, Props({{"definition", body2}})},
         definitions,
         {"View v changed: definition differs from line 2"}},
        {"a long line, told where it differs",
         {nullptr, Props({{"definition", std::string(kLong) + "CASCADE ON UPDATE NO ACTION DEFERRABLE"}})},
         {nullptr, Props({{"definition", std::string(kLong) + "RESTRICT ON UPDATE NO ACTION DEFERRABLE"}})},
         definitions,
         {"View v changed: definition: \u2026omers(id) ON DELETE CASCADE ON UPDATE NO ACTION\u2026 \u2192 "
          "\u2026omers(id) ON DELETE RESTRICT ON UPDATE NO ACTION\u2026"}},
        {"a new kind, both ways", {nullptr, nullptr, true}, {}, definitions, {"Index was not found on B"}},
        {"a new kind, without --definitions", {nullptr, nullptr, true}, {}, {}, {}},
        {"only views",
         {nullable, Props({{"definition", "x"}})},
         {Props({{"nullable", "NO"}}), Props({{"definition", "y"}})},
         viewsOnly,
         {"View v changed: definition: x \u2192 y"}},
    };
    cCompareEngine engine;
    for (const Case& c : cases) {
        const cMetaData first = Model(c.first);
        const cMetaData second = Model(c.second);
        EXPECT_EQ(Messages(engine.Compare(first, "A", second, "B", c.options)), c.expected) << c.what;
        // Going the other way finds the same changes, the values swapped.
        const auto& back = engine.Compare(second, "B", first, "A", c.options);
        EXPECT_EQ(back.Count(), static_cast<long>(c.expected.size())) << c.what;
    }
}

// A changed column's type is told once: by its definition where both sides know it.
TEST(DefinitionCompare, ATypeChangeIsToldOnceWithColumnChangesToo) {
    cMetaData first, second;
    first.Tables().Add("t")->Fields().Add("c", "numeric", "")->Definition =
        Props({{"type", "numeric(10,2)"}});
    second.Tables().Add("t")->Fields().Add("c", "integer", "")->Definition = Props({{"type", "integer"}});
    CompareOptions options;
    options.definitions = true;
    options.columnChanges = true;
    cCompareEngine engine;
    const auto& differences = engine.Compare(first, "A", second, "B", options);
    ASSERT_EQ(differences.Count(), 1);
    const cDifference& d = *differences.Item(1);
    EXPECT_EQ(d.ObjectType, ObjectType::FieldChanged);
    EXPECT_EQ(d.FieldTable(), "t");
    EXPECT_EQ(d.Property(), "type");
    EXPECT_EQ(d.Value1(), "numeric(10,2)");
    EXPECT_EQ(d.Value2(), "integer");
}

// Overloads pair by signature where both sides know every routine's, and are named by it.
TEST(DefinitionCompare, OverloadsPairBySignature) {
    cMetaData first, second;
    first.Routines().Add("f", 1)->Definition = Props({{"signature", "integer"}});
    for (const char* signature : {"integer", "text"})
        second.Routines().Add("f", 1)->Definition = Props({{"signature", signature}});
    CompareOptions options;
    options.definitions = true;
    cCompareEngine engine;
    const auto& differences = engine.Compare(first, "A", second, "B", options);
    ASSERT_EQ(differences.Count(), 1);
    EXPECT_EQ(differences.Item(1)->ObjectName(), "f(text)");
    EXPECT_EQ(differences.Item(1)->Message(), "Routine was not found on A");
    EXPECT_EQ(engine.Compare(first, "A", second, "B").Count(), 0);
}

// Texts are compared as Normalized makes them, without making them.
TEST(DefinitionCompare, SameOnceNormalizedAgreesWithNormalized) {
    const std::pair<const char*, const char*> cases[] = {
        {"a", "a"},          {"a", "a \t"},    {"a\r\nb", "a\nb"}, {"\n \n a", " a\n\n"},
        {"a\n\nb", "a\nb"},  {"", " \r\n\n"},  {"a", "b"},         {"a\n", "a\nb"},
        {" a", "a"},         {"a\rb", "ab"},   {"", "x"},          {"a\n \nb\n", "a\n\nb"},
        {"a\nb ", "a\nb\t"}, {"\n\n", "\r\n"}, {"ab", "a\nb"},     {"a\n\n\nb", "a\n\nb"},
    };
    for (const auto& [a, b] : cases) {
        const bool same = DefinitionComparison::Normalized(a) == DefinitionComparison::Normalized(b);
        EXPECT_EQ(DefinitionComparison::SameOnceNormalized(a, b), same) << a << " | " << b;
        EXPECT_EQ(DefinitionComparison::SameOnceNormalized(b, a), same) << b << " | " << a;
    }
}

// Columns of one definition share one list; each pair is still told on its own.
TEST(DefinitionCompare, ColumnsSharingADefinitionAreEachCompared) {
    const auto shared = Props({{"nullable", "NO"}});
    const auto alike = Props({{"nullable", "NO "}});
    const auto other = Props({{"nullable", "YES"}});
    cMetaData first, second;
    for (cMetaData* side : {&first, &second}) {
        auto& fields = side->Tables().Add("t")->Fields();
        for (const char* column : {"a", "b", "c", "d"})
            fields.Add(column, "int", "")->Definition = side == &first ? shared : nullptr;
    }
    const auto& bFields = second.Tables().Item(1)->Fields();
    bFields.Item(1)->Definition = alike;
    bFields.Item(2)->Definition = other;
    bFields.Item(3)->Definition = alike;
    bFields.Item(4)->Definition = other;
    CompareOptions options;
    options.definitions = true;
    cCompareEngine engine;
    EXPECT_EQ(Messages(engine.Compare(first, "A", second, "B", options)),
              (std::vector<std::string>{"Field t.b changed: nullable: NO \u2192 YES",
                                        "Field t.d changed: nullable: NO \u2192 YES"}));
}

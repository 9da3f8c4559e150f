#include <gtest/gtest.h>

#include <random>

#include "PlainScanReference.hpp"
#include "SameDifferences.hpp"
#include "SchemaGenerator.hpp"
#include "compare/cCompareEngine.hpp"
#include "model/ObjectType.hpp"
#include "support/TablorError.hpp"

using namespace tablor;
using tablor::testing::ExpectSameList;

namespace {

struct Column {
    std::string name, type, size;
};

std::shared_ptr<cMetaDataElement> AddTable(cMetaData& schema, const std::string& name,
                                           const std::vector<Column>& columns) {
    auto table = schema.Tables().Add(name);
    for (const auto& c : columns) table->Fields().Add(c.name, c.type, c.size);
    return table;
}

std::vector<std::string> Names(const coDifferences& differences) {
    std::vector<std::string> names;
    for (const auto& d : differences) names.push_back(d->ObjectName());
    return names;
}

CompareOptions RandomOptions(std::mt19937& random) {
    const auto chance = [&random](int percent) {
        return std::uniform_int_distribution<int>(0, 99)(random) < percent;
    };
    const auto pick = [&random](const std::vector<std::string>& pool) {
        return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
    };
    CompareOptions options;
    options.columnChanges = chance(50);
    options.ignoreCase = chance(50);
    options.ignoreGeneratedNames = chance(50);
    const std::vector<std::string> includes = {"*",     "table_1*",      "*_2?", "VIEW_*",   "pk__*",
                                               "*a*e*", "usp_?outine_3", "t*",   "TABLE_12", "table_1",
                                               "*_old", "view_1?",       "*_v2"};
    const std::vector<std::string> excludes = {
        "table_3*",      "Table_1?.column_2", "*.column_1", "PK__*",
        "*_1",           "*.COLUMN_?",        "t*_?.*_3",   "?",
        "*routine_2*",   "table_2.column_3",  "table_1*.*", "TABLE_*.column_2",
        "usp_routine_1", "pk__*__*",          "*_dup1"};
    for (int n = 0; n < 2; ++n) {
        if (chance(25)) options.include.push_back(pick(includes));
        if (chance(35)) options.exclude.push_back(pick(excludes));
    }
    // Now and then lists long enough to be looked up rather than tried in turn.
    for (auto* list : {&options.include, &options.exclude}) {
        if (chance(25))
            for (int n = 0; n < 10; ++n)
                list->push_back(pick(list == &options.include ? includes : excludes));
    }
    if (chance(30)) options.only = std::uniform_int_distribution<unsigned>(1, CompareKind::All)(random);
    return options;
}

}  // namespace

// The engine, with any mix of options, gives the list the literal scans give.
TEST(CompareOptions, GivesTheListOfThePlainScansOnRandomSchemasAndOptions) {
    cCompareEngine engine;
    std::mt19937 random(20260);
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
        tablor::testing::SchemaShape shape;
        shape.tables = 10 + static_cast<int>(seed % 5) * 6;
        shape.columnsPerTable = seed % 6 == 0 ? 60 : 5;  // long column lists take the hashed path
        shape.views = 12;
        shape.routines = 20;
        shape.constraints = 40;
        shape.differing = 0.04 * static_cast<double>(seed % 6);
        shape.awkwardNames = seed % 2 == 0;
        shape.optionCases = seed % 3 != 0;
        auto [first, second] = tablor::testing::GenerateSchemaPair(shape, seed);
        const CompareOptions options = RandomOptions(random);

        coDifferences reference;
        tablor::testing::PlainScanCompare(*first, "first.snp", *second, "srv.db", reference, options);
        SCOPED_TRACE("seed " + std::to_string(seed) + " " + options.Describe());
        ExpectSameList(engine.Compare(*first, "first.snp", *second, "srv.db", options), reference);
    }
}

TEST(CompareOptions, ChangedColumnIsReportedOnceWithBothSidesAfterThePairsMissingColumns) {
    cMetaData first, second;
    AddTable(first, "Orders", {{"Total", "decimal", "10,2"}, {"Gone", "int", ""}, {"Note", "VARCHAR", "50"}});
    AddTable(second, "Orders", {{"Note", "varchar", "50"}, {"Total", "money", ""}, {"New", "int", ""}});
    CompareOptions options;
    options.columnChanges = true;

    cCompareEngine engine;
    const auto& differences = engine.Compare(first, "shop-v1.snp", second, "shop-v2.snp", options);
    ASSERT_EQ(Names(differences), (std::vector<std::string>{"Gone", "Total", "New"}));
    const cDifference& change = *differences.Item(2);
    EXPECT_EQ(change.ObjectType, ObjectType::FieldChanged);
    EXPECT_EQ(change.Source(), "");
    EXPECT_EQ(change.FieldTable(), "Orders");
    EXPECT_EQ(change.FieldType(), "decimal");
    EXPECT_EQ(change.FieldSize(), "10,2");
    EXPECT_EQ(change.FieldType2(), "money");
    EXPECT_EQ(change.FieldSize2(), "");
    EXPECT_EQ(change.Message(),
              "Field Orders.Total changed: decimal (10,2) on shop-v1.snp, money on shop-v2.snp");
    EXPECT_EQ(differences.Item(1)->FieldType2(), "");  // a missing column has no second side
}

TEST(CompareOptions, ChangedColumnsFollowTheirRules) {
    struct Case {
        const char* what;
        bool ignoreCase;
        std::vector<Column> first, second;
        std::vector<std::string> changed;
    };
    const std::vector<Case> cases = {
        {"types ignore letter case", false, {{"a", "NVarChar", "5"}}, {{"a", "nvarchar", "5"}}, {}},
        {"sizes compare as text", false, {{"a", "char", "10"}}, {{"a", "char", "010"}}, {"a"}},
        {"a size appears", false, {{"a", "char", ""}}, {{"a", "char", "1"}}, {"a"}},
        {"the first of a repeated name counts",
         false,
         {{"a", "int", ""}, {"", "int", ""}},
         {{"", "bigint", ""}, {"", "int", ""}},
         {""}},
        {"the first of case twins, case ignored",
         true,
         {{"x", "int", ""}, {"ID", "int", ""}},
         {{"id", "bit", ""}, {"ID", "int", ""}},
         {"ID"}},
        {"in the first side's order",
         false,
         {{"b", "int", ""}, {"a", "int", ""}},
         {{"a", "bit", ""}, {"b", "bit", ""}},
         {"b", "a"}},
    };
    for (const Case& c : cases) {
        cMetaData first, second;
        AddTable(first, "T", c.first);
        AddTable(second, "T", c.second);
        CompareOptions options;
        options.columnChanges = true;
        options.ignoreCase = c.ignoreCase;
        options.only = CompareKind::Changes;
        cCompareEngine engine;
        EXPECT_EQ(Names(engine.Compare(first, "A", second, "B", options)), c.changed) << c.what;
    }
}

TEST(CompareOptions, IgnoringCaseMatchesNamesOfEveryKindAndColumns) {
    cMetaData first, second;
    AddTable(first, "Orders", {{"Id", "int", ""}, {"ÉTAT", "int", ""}});
    AddTable(second, "ORDERS", {{"ID", "int", ""}, {"état", "int", ""}});
    first.Views().Add("vΣ");
    second.Views().Add("Vσ");
    first.Routines().Add("Proc", 2);
    second.Routines().Add("PROC", 1);
    first.Constraints().Add("Пк");
    second.Constraints().Add("пК");
    CompareOptions options;
    options.ignoreCase = true;
    cCompareEngine engine;
    EXPECT_EQ(engine.Compare(first, "A", second, "B", options).Count(), 0);
    EXPECT_EQ(engine.Compare(first, "A", second, "B").Count(), 8);
}

TEST(CompareOptions, GeneratedConstraintNamesMatchByStem) {
    struct Case {
        const char* first;
        const char* second;
        bool same;
    };
    const Case cases[] = {
        {"PK__Orders__C3905BAF5AAE4BD6", "PK__Orders__1234ABCD", true},
        {"FK__Orders__Custo__3B75D760", "FK__Orders__Custo__AB12CD34EF", true},
        {"DF__T__a__0123456789abcdef", "DF__T__a__FEDCBA98", true},
        {"UQ__T__1234567", "UQ__T__12345678", false},             // seven digits are a name
        {"CK__T__12345678901234567", "CK__T__12345678", false},   // so are seventeen
        {"PK__Orders__C3905BAF", "PK__Order__C3905BAF", false},   // another stem
        {"PK__Orders__C3905BAF", "PK__Orders", false},            // a plain name stays plain
        {"XX__Orders__C3905BAF", "XX__Orders__C3905BAA", false},  // not a known prefix
        {"pk__Orders__C3905BAF", "pk__Orders__D3905BAF", true},
        {"PK__C3905BAF", "PK__D3905BAF", false},  // no stem
        {"PK__Orders__C3905BAF", "pk__orders__00000000", false},
    };
    for (const Case& c : cases) {
        cMetaData first, second;
        first.Constraints().Add(c.first);
        second.Constraints().Add(c.second);
        second.Views().Add(c.first);  // only constraint names are seen as generated
        first.Views().Add(c.second);
        CompareOptions options;
        options.ignoreGeneratedNames = true;
        cCompareEngine engine;
        const auto& differences = engine.Compare(first, "A", second, "B", options);
        std::size_t constraints = 0;
        for (const auto& d : differences) constraints += d->ObjectType == ObjectType::Constraint;
        EXPECT_EQ(constraints, c.same ? 0u : 2u) << c.first << " / " << c.second;
        EXPECT_EQ(differences.Count() - static_cast<long>(constraints),
                  c.first == std::string(c.second) ? 0 : 2);
    }
    // With letter case ignored as well, the stems fold.
    cMetaData first, second;
    first.Constraints().Add("PK__Orders__C3905BAF");
    second.Constraints().Add("pk__ORDERS__00000000");
    CompareOptions options;
    options.ignoreGeneratedNames = options.ignoreCase = true;
    EXPECT_EQ(cCompareEngine().Compare(first, "A", second, "B", options).Count(), 0);
}

TEST(CompareOptions, GlobsMatchStarAndOneCharacterIgnoringCase) {
    struct Case {
        const char* pattern;
        const char* text;
        bool matches;
    };
    const std::string longPattern = std::string(70, 'a') + "*" + std::string(3, 'b');
    const Case cases[] = {
        {"tmp_*", "TMP_orders", true},
        {"tmp_*", "tmp_", true},
        {"tmp_*", "xtmp_a", false},
        {"*_log", "orders_LOG", true},
        {"*_log", "_log_x", false},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
        {"?", "", false},
        {"?", "ß", true},
        {"Stra?e", "STRAßE", true},
        {"a?c", "ac", false},
        {"**a**", "bab", true},
        {"*a*b", "aXbYb", true},
        {"*a*b", "aXbYbc", false},
        {"ΣΥ*", "σύστημα", false},
        {"Σ*", "σύστημα", true},
        {"a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaa", false},
        {"[a]", "[A]", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GlobMatches(c.pattern, c.text), c.matches) << c.pattern << " " << c.text;
    EXPECT_TRUE(GlobMatches(longPattern, std::string(70, 'A') + "xxBBB"));
    EXPECT_FALSE(GlobMatches(longPattern, std::string(69, 'a') + "bbb"));

    // Patterns over several words of state, in other scripts too, against the plain way; each
    // text follows its pattern, half of them with one letter astray.
    std::mt19937 random(64);
    const std::vector<std::string> letters = {"a", "B", "_", "ß", "Σ", "σ", "É", "é", "A", "?", "*"};
    const auto letter = [&](std::size_t among) { return letters[random() % among]; };
    for (int n = 0; n < 400; ++n) {
        std::string pattern, text;
        int stars = 0;
        for (std::size_t i = 0, length = 40 + random() % 120; i < length; ++i) {
            std::string next = letter(letters.size());
            if (next == "*" && ++stars > 3) next = "_";
            pattern += next;
            if (next == "*")
                for (std::size_t k = random() % 3; k > 0; --k) text += letter(9);
            else
                text += next == "?" ? letter(9) : next;
        }
        if (n % 2 == 1) text.insert(random() % (text.size() + 1), letter(9));
        EXPECT_EQ(GlobMatches(pattern, text), tablor::testing::PlainGlobMatches(pattern, text))
            << pattern << " / " << text;
    }
}

TEST(CompareOptions, IncludeAndExcludeChooseWhatIsCompared) {
    struct Case {
        std::vector<std::string> include, exclude;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {{}, {}, {"v1", "b", "x", "c", "tmp_b"}},
        {{}, {"tmp_*"}, {"v1", "b", "c"}},              // an excluded table brings no columns
        {{"TMP_*"}, {}, {"x", "tmp_b"}},                // only what an include matches
        {{"tmp_*", "v?"}, {"tmp_a"}, {"v1", "tmp_b"}},  // exclude wins
        {{}, {"orders.?"}, {"v1", "x", "tmp_b"}},       // a dot leaves columns out on both sides
        {{}, {"tmp_a.*"}, {"v1", "b", "c", "tmp_b"}},
        {{}, {"*.x"}, {"v1", "b", "c", "tmp_b"}},
        // Lists long enough to be looked up by their literal starts and ends.
        {{}, {"orders.b", "*S.c*", "*a.x", "*_b", "q.1", "q.2", "q.3", "q.4", "q.5", "q.6"}, {"v1"}},
        {{"q1", "q2", "q3", "q4", "q5", "q6", "q7", "tmp_*", "*1"}, {"tmp_a"}, {"v1", "tmp_b"}},
    };
    for (const Case& c : cases) {
        cMetaData first, second;
        AddTable(first, "Orders", {{"a", "int", ""}, {"b", "int", ""}});
        AddTable(second, "Orders", {{"a", "int", ""}, {"c", "int", ""}});
        AddTable(first, "tmp_a", {{"x", "int", ""}});
        AddTable(second, "tmp_a", {});
        first.Views().Add("v1");
        AddTable(second, "tmp_b", {});
        CompareOptions options;
        options.include = c.include;
        options.exclude = c.exclude;
        cCompareEngine engine;
        EXPECT_EQ(Names(engine.Compare(first, "A", second, "B", options)), c.names) << options.Describe();
    }
}

TEST(CompareOptions, PatternsPastALimitAreRefusedNamingIt) {
    struct Case {
        std::vector<std::string> include, exclude;
        std::string problem;
    };
    std::string wide;  // 1,000 characters in 2,000 bytes
    for (int i = 0; i < 1000; ++i) wide += "é";
    const std::string opening = "\"" + std::string(20, 'a') + "...\" is too long: 1001 characters, ";
    const std::vector<Case> cases = {
        {{std::string(1000, 'a'), wide, "t"}, std::vector<std::string>(10000, "x*"), ""},
        {{}, {std::string(1001, 'a')}, "exclude pattern " + opening + "more than the limit of 1000"},
        // Bytes that begin no UTF-8 sequence are a character each, as the glob reads them.
        {{std::string(1001, '\xE9')},
         {},
         "include pattern \"" + std::string(20, '\xE9') + "...\" is too long: 1001 characters, " +
             "more than the limit of 1000"},
        {std::vector<std::string>(10001, "t*"),
         {},
         "too many include patterns: 10001, more than the limit of 10000 in one list"},
    };
    cMetaData first, second;
    AddTable(first, "t", {});
    for (const Case& c : cases) {
        CompareOptions options;
        options.include = c.include;
        options.exclude = c.exclude;
        cCompareEngine engine;
        try {
            EXPECT_EQ(engine.Compare(first, "A", second, "B", options).Count(), 1);
            EXPECT_EQ(c.problem, "");
        } catch (const TablorError& error) {
            EXPECT_EQ(error.Description(), "The comparison options cannot be used: " + c.problem);
        }
    }
}

TEST(CompareOptions, OnlyTheChosenKindsAppear) {
    cMetaData first, second;
    AddTable(first, "T", {{"a", "int", ""}, {"c", "int", ""}});
    AddTable(second, "T", {{"a", "bit", ""}});
    AddTable(first, "U", {});
    first.Views().Add("V");
    first.Routines().Add("F", 1);
    first.Routines().Add("P", 2);
    first.Constraints().Add("K");
    struct Case {
        const char* kinds;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"tables", {"U"}},
        {"columns", {"c"}},
        {"views", {"V"}},
        {"functions", {"F"}},
        {"procedures", {"P"}},
        {"constraints", {"K"}},
        {"changes, TABLES", {"a", "U"}},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto kinds = ParseCompareKinds(c.kinds, error);
        ASSERT_TRUE(kinds) << error;
        CompareOptions options;
        options.columnChanges = true;
        options.only = *kinds;
        cCompareEngine engine;
        EXPECT_EQ(Names(engine.Compare(first, "A", second, "B", options)), c.names) << c.kinds;
    }
}

TEST(CompareOptions, KindsListNamesTheWordItDoesNotKnow) {
    std::string error;
    EXPECT_FALSE(ParseCompareKinds("tables,colums", error));
    EXPECT_EQ(
        error,
        "Unknown kind \"colums\"; the kinds are tables, columns, views, procedures, functions, constraints, "
        "changes, indexes, triggers, sequences, types");
    EXPECT_FALSE(ParseCompareKinds("tables,", error));
    EXPECT_EQ(error.substr(0, 17), "Unknown kind \"\"; ");
    EXPECT_EQ(ParseCompareKinds("views", error), CompareKind::Views);
}

TEST(CompareOptions, DescribeNamesWhatIsOn) {
    EXPECT_EQ(CompareOptions{}.Describe(), "");
    CompareOptions options;
    options.columnChanges = options.ignoreCase = true;
    options.exclude = {"tmp_*", "T.secret"};
    EXPECT_EQ(options.Describe(), "options: column-changes, ignore-case, exclude=tmp_*,T.secret");
    CompareOptions other;
    other.ignoreGeneratedNames = true;
    other.include = {"a*"};
    other.only = CompareKind::Tables | CompareKind::Changes;
    EXPECT_EQ(other.Describe(), "options: ignore-generated-names, include=a*, only=tables,changes");
}

// With no option set, the four-argument call and the default options give one list.
TEST(CompareOptions, DefaultOptionsChangeNothing) {
    tablor::testing::SchemaShape shape;
    shape.awkwardNames = shape.optionCases = true;
    shape.differing = 0.1;
    auto [first, second] = tablor::testing::GenerateSchemaPair(shape, 99);
    cCompareEngine engine;
    coDifferences plain;
    tablor::testing::PlainScanCompare(*first, "a", *second, "b", plain);
    ExpectSameList(engine.Compare(*first, "a", *second, "b", CompareOptions{}), plain);
    ExpectSameList(engine.Compare(*first, "a", *second, "b"), plain);
}

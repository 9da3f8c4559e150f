// The migration script of two 2,000-table schemas with definitions that differ in 5% of their
// tables (names dropped, added or renamed, and every twentieth definition changed): the time
// beyond reading the two sides, planning the script and writing its text.
#include <benchmark/benchmark.h>

#include "SchemaGenerator.hpp"
#include "migrate/MigrationPlanner.hpp"

using namespace tablor;

namespace {

// What a catalogue tells of each generated object; `changed` alters every twentieth text.
void AddDefinitions(cMetaData& model, bool changed) {
    const auto props = [](Properties properties) {
        std::sort(properties.begin(), properties.end());
        return std::make_shared<const Properties>(std::move(properties));
    };
    std::size_t n = 0;
    const auto alter = [&n, changed](std::string text) {
        return changed && ++n % 20 == 0 ? text + " " : text;
    };
    std::size_t t = 0;
    for (const auto& table : model.Tables()) {
        table->Definition = props({});
        for (const auto& field : table->Fields())
            field->Definition = props({{"nullable", alter("NO")}, {"type", alter("varchar(40)")}});
        model.Indexes().Add(table->ObjectName + "_ix")->Definition =
            props({{"definition",
                    alter("CREATE INDEX " + table->ObjectName + "_ix ON " + table->ObjectName + " (c)")},
                   {"table", table->ObjectName}});
        const auto& constraints = model.Constraints().Items();
        if (t < constraints.size())
            constraints[t]->Definition =
                props({{"definition", alter("CHECK (c > 0)")}, {"table", table->ObjectName}});
        ++t;
    }
    for (const auto& view : model.Views())
        view->Definition =
            props({{"definition", alter(" SELECT a.c FROM " + view->ObjectName + "_base a;")}});
    for (const auto& routine : model.Routines())
        routine->Definition =
            props({{"definition", alter("CREATE FUNCTION " + routine->ObjectName + "() ...")},
                   {"returns", "integer"},
                   {"signature", ""}});
    for (std::size_t i = t; i < model.Constraints().Items().size(); ++i)
        model.Constraints().Items()[i]->Definition = props({});
}

void BM_MigrationScript(benchmark::State& state) {
    testing::SchemaShape shape;
    shape.tables = 2000;
    shape.columnsPerTable = 10;
    shape.views = 200;
    shape.routines = 200;
    shape.constraints = 2000;
    shape.differing = 0.05;
    const auto [current, desired] = testing::GenerateSchemaPair(shape, 2026);
    AddDefinitions(*current, false);
    AddDefinitions(*desired, true);
    std::size_t statements = 0;
    for (auto _ : state) {
        const MigrationScript script = PlanMigration(*current, *desired, {});
        const std::string text = script.Text();
        benchmark::DoNotOptimize(text.data());
        statements = script.statements.size();
    }
    state.counters["statements"] = static_cast<double>(statements);
}
BENCHMARK(BM_MigrationScript)->Unit(benchmark::kMillisecond);

}  // namespace

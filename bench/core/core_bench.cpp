#include <benchmark/benchmark.h>
#include <malloc.h>

#include <filesystem>

#include "LargeSchemas.hpp"
#include "PlainScanReference.hpp"
#include "ScriptedPrompt.hpp"
#include "compare/cCompareEngine.hpp"
#include "report/HtmlReport.hpp"
#include "service/ComparisonService.hpp"
#include "sources/SnapshotWriter.hpp"
#include "sources/cSnapShot.hpp"
#include "support/FileIO.hpp"
#include "support/TextEncoding.hpp"

using namespace tablor;

namespace {

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

std::shared_ptr<cMetaData> LoadSnapshot(const std::string& path) {
    cSnapShot snapshot;
    snapshot.SetFileName(path);
    testing::ScriptedPrompt prompt;
    snapshot.Fill(prompt);
    return snapshot.MetaData();
}

// Both schemas as the program holds them: each read from its own snapshot file, one after
// the other.
template <class Generated>
auto ReadBack(const Generated& generated) {
    const std::string path = TempPath("tablor-bench-pair.snp");
    WriteSnapshot(path, {"SRV01", "Sales", "reader"}, *generated.first);
    auto first = LoadSnapshot(path);
    WriteSnapshot(path, {"SRV01", "Sales", "reader"}, *generated.second);
    auto second = LoadSnapshot(path);
    std::filesystem::remove(path);
    return std::make_pair(first, second);
}

const auto& Pair() {
    static const auto pair = ReadBack(testing::GenerateSchemaPair(LargeShape(), 2026));
    return pair;
}

// What a catalogue tells, added to a generated schema: every column's type, nullability and
// some defaults, every view's, routine's and constraint's text, and an index for each table.
// `changed` alters every twentieth of them, as the second side of a drift.
void AddDefinitions(cMetaData& model, bool changed) {
    const auto props = [](Properties properties) {
        return std::make_shared<const Properties>(std::move(properties));
    };
    std::size_t n = 0;
    const auto alter = [&n, changed](std::string text) {
        return changed && ++n % 20 == 0 ? text + " " : text;
    };
    for (const auto& table : model.Tables()) {
        table->Definition = props({});
        for (const auto& field : table->Fields())
            field->Definition = props({{"default", alter(field->FieldSize.empty() ? "" : "'x'::text")},
                                       {"nullable", alter("NO")},
                                       {"type", field->FieldType + "(" + field->FieldSize + ")"}});
        model.Indexes().Add(table->ObjectName + "_ix")->Definition =
            props({{"definition", alter("CREATE INDEX " + table->ObjectName + "_ix ON " + table->ObjectName +
                                        " USING btree (column_1, column_2 DESC)")},
                   {"table", table->ObjectName}});
    }
    for (const auto& view : model.Views())
        view->Definition =
            props({{"definition", alter(" SELECT a.column_1,\n    a.column_2\n   FROM " + view->ObjectName +
                                        "_base a\n  WHERE a.column_3 > 0;")}});
    for (const auto& routine : model.Routines())
        routine->Definition = props(
            {{"definition", alter("CREATE FUNCTION " + routine->ObjectName +
                                  "(p integer)\n RETURNS integer\n LANGUAGE sql\nAS $function$\n  SELECT "
                                  "count(*) FROM orders WHERE customer = p\n$function$\n")},
             {"returns", "integer"},
             {"signature", "integer"}});
    for (const auto& constraint : model.Constraints())
        constraint->Definition =
            props({{"definition", alter("FOREIGN KEY (column_1) REFERENCES customers(id) "
                                        "ON DELETE CASCADE")}});
}

// The pair with definitions, each side read back from its snapshot file.
const auto& PairWithDefinitions() {
    static const auto pair = [] {
        const auto generated = testing::GenerateSchemaPair(LargeShape(), 2026);
        AddDefinitions(*generated.first, false);
        AddDefinitions(*generated.second, true);
        return ReadBack(generated);
    }();
    return pair;
}

void BM_Compare(benchmark::State& state) {
    const auto& [first, second] = Pair();
    cCompareEngine engine;
    long count = 0;
    for (auto _ : state) count = engine.Compare(*first, "first.snp", *second, "srv.db").Count();
    state.counters["differences"] = static_cast<double>(count);
}
BENCHMARK(BM_Compare)->Unit(benchmark::kMillisecond);

// The same pair with definitions, compared with and without them.
void BM_CompareDefinitions(benchmark::State& state) {
    const auto& [first, second] = PairWithDefinitions();
    CompareOptions options;
    options.definitions = state.range(0) == 1;
    cCompareEngine engine;
    long count = 0;
    for (auto _ : state) count = engine.Compare(*first, "first.snp", *second, "srv.db", options).Count();
    state.counters["differences"] = static_cast<double>(count);
}
BENCHMARK(BM_CompareDefinitions)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

// Every option on, over the same pair: the excludes take ten tables and one column name.
void BM_CompareAllOptions(benchmark::State& state) {
    const auto& [first, second] = Pair();
    CompareOptions options;
    options.columnChanges = options.ignoreCase = options.ignoreGeneratedNames = true;
    options.include = {"*"};
    options.exclude = {"table_1?", "table_2.column_3"};
    cCompareEngine engine;
    long count = 0;
    for (auto _ : state) count = engine.Compare(*first, "first.snp", *second, "srv.db", options).Count();
    state.counters["differences"] = static_cast<double>(count);
}
BENCHMARK(BM_CompareAllOptions)->Unit(benchmark::kMillisecond);

// One option at a time, to see what each costs: 0 column changes, 1 ignore case, 2 generated
// names, 3 include and exclude.
void BM_CompareOneOption(benchmark::State& state) {
    const auto& [first, second] = Pair();
    CompareOptions options;
    switch (state.range(0)) {
        case 0:
            options.columnChanges = true;
            break;
        case 1:
            options.ignoreCase = true;
            break;
        case 2:
            options.ignoreGeneratedNames = true;
            break;
        default:
            options.include = {"*"};
            options.exclude = {"table_1?", "table_2.column_3"};
    }
    cCompareEngine engine;
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.Compare(*first, "first.snp", *second, "srv.db", options));
}
BENCHMARK(BM_CompareOneOption)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

std::size_t HeapBytes() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A pattern of n characters past ASCII, each another one, matched against every table name:
// what the pattern holds must not multiply with the number of characters it uses. 160,000 is
// far past what the options take, to show how it grows.
void BM_GlobLongNonAsciiPattern(benchmark::State& state) {
    std::string pattern = "*";
    for (char32_t c = 0x4E00, added = 0; added < static_cast<char32_t>(state.range(0)); ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        AppendUtf8(pattern, c);
        ++added;
    }
    pattern += '*';
    const auto& tables = Pair().first->Tables().Items();
    long matched = 0;
    std::size_t held = 0;
    for (auto _ : state) {
        const std::size_t before = HeapBytes();
        const Glob glob(pattern);
        held = HeapBytes() - before;
        for (const auto& table : tables) matched += glob.Matches(table->ObjectName) ? 1 : 0;
    }
    benchmark::DoNotOptimize(matched);
    state.counters["glob_KiB"] = static_cast<double>(held) / 1024;
}
BENCHMARK(BM_GlobLongNonAsciiPattern)->Arg(1000)->Arg(160000)->Unit(benchmark::kMillisecond);

// As many excludes as a list may hold, over the large pair: exact names, prefixes, suffixes
// and columns, a quarter each.
void BM_CompareManyPatterns(benchmark::State& state) {
    const auto& [first, second] = Pair();
    CompareOptions options;
    for (int i = 0; i < static_cast<int>(state.range(0)); ++i) {
        const std::string n = std::to_string(i);
        switch (i % 4) {
            case 0:
                options.exclude.push_back("table_" + std::to_string(i * 2));
                break;
            case 1:
                options.exclude.push_back("tmp_" + n + "_*");
                break;
            case 2:
                options.exclude.push_back("*_" + n + "_old");
                break;
            default:
                options.exclude.push_back("table_" + n + ".column_1?");
        }
    }
    cCompareEngine engine;
    long count = 0;
    for (auto _ : state) count = engine.Compare(*first, "first.snp", *second, "srv.db", options).Count();
    state.counters["differences"] = static_cast<double>(count);
}
BENCHMARK(BM_CompareManyPatterns)->Arg(10000)->Unit(benchmark::kMillisecond);

// The whole comparison of two snapshot files as the command line does it (both files read,
// then compared), without options (0) and with every option on (1).
void BM_CompareSnapshotFiles(benchmark::State& state) {
    static const auto paths = [] {
        const std::string first = TempPath("tablor-bench-first.snp");
        const std::string second = TempPath("tablor-bench-second.snp");
        WriteSnapshot(first, {"SRV01", "Sales", "reader"}, *Pair().first);
        WriteSnapshot(second, {"SRV01", "Sales", "reader"}, *Pair().second);
        return std::make_pair(first, second);
    }();
    CompareOptions options;
    if (state.range(0) == 1) {
        options.columnChanges = options.ignoreCase = options.ignoreGeneratedNames = true;
        options.include = {"*"};
        options.exclude = {"table_1?", "table_2.column_3"};
    }
    testing::ScriptedPrompt prompt;
    ComparisonService service(nullptr, prompt);
    for (auto _ : state) {
        const ComparisonResult result =
            service.Compare(SideDescription::Snapshot(paths.first), SideDescription::Snapshot(paths.second),
                            {}, CancellationToken::None(), options);
        benchmark::DoNotOptimize(result.differences->Count());
    }
}
BENCHMARK(BM_CompareSnapshotFiles)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

// The literal nested scans, for the speed-up figure. One run is enough: it takes seconds.
void BM_ComparePlainScan(benchmark::State& state) {
    const auto& [first, second] = Pair();
    coDifferences out;
    for (auto _ : state) testing::PlainScanCompare(*first, "first.snp", *second, "srv.db", out);
    state.counters["differences"] = static_cast<double>(out.Count());
}
BENCHMARK(BM_ComparePlainScan)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SnapshotWrite(benchmark::State& state) {
    const auto& first = Pair().first;
    const std::string path = TempPath("tablor-bench-write.snp");
    std::size_t bytes = 0;
    for (auto _ : state) {
        WriteSnapshot(path, {"SRV01", "Sales", "reader"}, *first);
        bytes = std::filesystem::file_size(path);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
    std::filesystem::remove(path);
}
BENCHMARK(BM_SnapshotWrite)->Unit(benchmark::kMillisecond);

// Loads the snapshot of `model` over and over; freeing the model is not part of loading it.
void LoadRepeatedly(benchmark::State& state, const cMetaData& model, const char* name) {
    const std::string path = TempPath(name);
    WriteSnapshot(path, {"SRV01", "Sales", "reader"}, model);
    const auto bytes = std::filesystem::file_size(path);
    for (auto _ : state) {
        auto snapshot = std::make_unique<cSnapShot>();
        snapshot->SetFileName(path);
        testing::ScriptedPrompt prompt;
        snapshot->Fill(prompt);
        benchmark::DoNotOptimize(snapshot->MetaData()->Tables().Count());
        state.PauseTiming();
        snapshot.reset();
        state.ResumeTiming();
    }
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
    std::filesystem::remove(path);
}

void BM_SnapshotLoad(benchmark::State& state) {
    LoadRepeatedly(state, *Pair().first, "tablor-bench-load.snp");
}
BENCHMARK(BM_SnapshotLoad)->Unit(benchmark::kMillisecond);

// A snapshot with definitions: its size and how fast it loads.
void BM_SnapshotLoadDefinitions(benchmark::State& state) {
    LoadRepeatedly(state, *PairWithDefinitions().first, "tablor-bench-load-definitions.snp");
}
BENCHMARK(BM_SnapshotLoadDefinitions)->Unit(benchmark::kMillisecond);

void BM_RenderReport100k(benchmark::State& state) {
    std::vector<DifferenceRow> rows;
    rows.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
        const std::string column = "column_" + std::to_string(i);
        const std::string table = "table_" + std::to_string(i / 25);
        cDifference d(
            column, 1, "SRV01.Sales",
            "The field " + column + " was not found on the table " + table + " on the object SRV01.Sales");
        d.SetFieldDetails(table, "nvarchar", "50");
        rows.push_back(DifferenceRow::From(d));
    }
    const std::string templateText = ReadFileBytes(TABLOR_TEMPLATE);
    for (auto _ : state) {
        const std::string page =
            RenderHtmlReport(templateText, "first.snp", "SRV01.Sales", {2026, 12, 7}, rows);
        benchmark::DoNotOptimize(page.data());
        state.counters["bytes"] = static_cast<double>(page.size());
    }
}
BENCHMARK(BM_RenderReport100k)->Unit(benchmark::kMillisecond);

}  // namespace

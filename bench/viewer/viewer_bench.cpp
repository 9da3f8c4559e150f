// The structure viewer on a large schema: 20,000 tables of 25 columns, 5,000 views and 10,000
// routines. Opening it (tree built, window shown and painted) should take at most 1.5 s.
// Before the timings, the memory the open viewer adds is printed.
//
// The eager QTreeWidget variant builds every node up front, as a plain tree would; it is here
// to show why the viewer reads its nodes from the schema instead.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QStandardPaths>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "LargeSchemas.hpp"
#include "ui/Pictures.hpp"
#include "viewer/StructureTreeModel.hpp"
#include "viewer/StructureViewerFrm.hpp"

using namespace tablor;

namespace {

std::shared_ptr<cMetaData> LargeSchema() {
    static const std::shared_ptr<cMetaData> schema = [] {
        testing::SchemaShape shape = LargeShape();
        shape.constraints = 0;  // the viewer shows none
        shape.differing = 0.0;
        return testing::GenerateSchemaPair(shape, 2026).first;
    }();
    return schema;
}

double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Opens a viewer as the launcher does and waits until it has been painted.
std::unique_ptr<gui::StructureViewerFrm> OpenViewer(const std::shared_ptr<cMetaData>& schema) {
    auto viewer = std::make_unique<gui::StructureViewerFrm>();
    viewer->setAttribute(Qt::WA_DeleteOnClose, false);
    viewer->lblDatabase->setText("Large");
    viewer->FillTree(schema);
    viewer->setWindowTitle("Database Structure - Large");
    viewer->show();
    if (!QTest::qWaitForWindowExposed(viewer.get())) std::abort();
    viewer->repaint();
    return viewer;
}

void BM_OpenViewer(benchmark::State& state) {
    const auto schema = LargeSchema();
    for (auto _ : state) {
        auto viewer = OpenViewer(schema);
        benchmark::DoNotOptimize(viewer.get());
        state.PauseTiming();
        viewer.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenViewer)->Unit(benchmark::kMillisecond)->Iterations(5);

// Expanding "Tables" shows 20,000 rows at once.
void BM_ExpandTablesGroup(benchmark::State& state) {
    const auto viewer = OpenViewer(LargeSchema());
    const auto& model = *viewer->TreeModel();
    const QModelIndex tables = model.index(0, 0, model.RootIndex());
    for (auto _ : state) {
        viewer->Tree->expand(tables);
        viewer->Tree->scrollToBottom();
        viewer->Tree->repaint();
        state.PauseTiming();
        viewer->Tree->collapse(tables);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ExpandTablesGroup)->Unit(benchmark::kMillisecond)->Iterations(5);

// A table click fills the column list.
void BM_ClickTable(benchmark::State& state) {
    const auto viewer = OpenViewer(LargeSchema());
    const auto& model = *viewer->TreeModel();
    const QModelIndex tables = model.index(0, 0, model.RootIndex());
    int row = 0;
    for (auto _ : state) {
        viewer->Tree->setCurrentIndex(model.index(row, 0, tables));
        viewer->lvFields->repaint();
        row = (row + 7919) % model.rowCount(tables);
    }
}
BENCHMARK(BM_ClickTable)->Unit(benchmark::kMicrosecond);

// Keys are worked out for the whole tree on the first one asked for.
void BM_FirstKeyLookup(benchmark::State& state) {
    const auto schema = LargeSchema();
    for (auto _ : state) {
        gui::StructureTreeModel model(schema, "Large");
        const QModelIndex tables = model.index(0, 0, model.RootIndex());
        benchmark::DoNotOptimize(model.KeyOf(model.index(0, 0, tables)));
    }
}
BENCHMARK(BM_FirstKeyLookup)->Unit(benchmark::kMillisecond)->Iterations(3);

// Every node as a QTreeWidgetItem, built before the window shows.
void BM_EagerQTreeWidget_ForComparison(benchmark::State& state) {
    const auto schema = LargeSchema();
    const cMetaData& model = *schema;
    for (auto _ : state) {
        auto tree = std::make_unique<QTreeWidget>();
        auto* root = new QTreeWidgetItem(tree.get(), {"Large"});
        root->setIcon(0, gui::SmallPictureAt(1));
        auto* tables = new QTreeWidgetItem(root, {"Tables"});
        QList<QTreeWidgetItem*> tableItems;
        long position = 0;
        for (const auto& table : model.Tables()) {
            ++position;
            auto* tableItem = new QTreeWidgetItem({QString::fromStdString(table->ObjectName)});
            tableItem->setIcon(0, gui::SmallPictureAt(3));
            tableItem->setData(0, Qt::UserRole,
                               QString::fromStdString(table->ObjectName) + QString::number(position));
            long column = 0;
            for (const auto& field : std::as_const(*table).Fields()) {
                ++column;
                auto* fieldItem = new QTreeWidgetItem(tableItem, {QString::fromStdString(field->FieldName)});
                fieldItem->setIcon(0, gui::SmallPictureAt(4));
                fieldItem->setData(
                    0, Qt::UserRole,
                    QString::fromStdString(table->ObjectName + field->FieldName) + QString::number(column));
                new QTreeWidgetItem(fieldItem, {"Type: " + QString::fromStdString(field->FieldType)});
                new QTreeWidgetItem(fieldItem, {"Size: " + QString::fromStdString(field->FieldSize)});
            }
            tableItems.append(tableItem);
        }
        tables->addChildren(tableItems);
        tables->sortChildren(0, Qt::AscendingOrder);
        tree->show();
        if (!QTest::qWaitForWindowExposed(tree.get())) std::abort();
        state.counters["resident_MB"] = ResidentMegabytes();
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EagerQTreeWidget_ForComparison)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);

    const auto schema = LargeSchema();
    QCoreApplication::processEvents();
    const double before = ResidentMegabytes();
    {
        const auto viewer = OpenViewer(schema);
        const auto& model = *viewer->TreeModel();
        viewer->Tree->expand(model.index(0, 0, model.RootIndex()));
        viewer->Tree->repaint();
        std::printf("Schema: %ld tables x 25 columns, %ld views, %ld routines; resident %.1f MB\n",
                    schema->Tables().Count(), schema->Views().Count(), schema->Routines().Count(), before);
        std::printf("An open viewer with its tables listed adds %.1f MB\n", ResidentMegabytes() - before);
    }
    std::fflush(stdout);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Speed of the differences list with 100,000 rows, through the window's own paths: the
// compare command's row step, a header click, and a whole comparison of two snapshots.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QListWidget>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <cstdlib>
#include <random>

#include "ScriptedPrompt.hpp"
#include "TempFolder.hpp"
#include "compare/coDifferences.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/Main.hpp"
#include "workbench/SaveFileDialog.hpp"

namespace {

using namespace tablor;

constexpr int kRows = 100000;

class NoDialog : public gui::SaveFileDialog {
  public:
    std::optional<QString> AskSaveFileName(const QString&, const QString&, const QString&) override {
        return {};
    }
};

class NoConnector : public DatabaseConnector {
  public:
    std::unique_ptr<DatabaseSession> Open(const ConnectionSettings&) override { throw DatabaseError("none"); }
};

// Differences of every kind, in an order unlike any column's, as a large schema pair gives.
const coDifferences& LargeDifferences() {
    static coDifferences differences = [] {
        coDifferences made;
        std::mt19937 random(42);
        const char* sides[] = {"SQLPROD01.Shop", "shop-v2.snp"};
        for (int i = 0; i < kRows; ++i) {
            const int kind = static_cast<int>(random() % 6);
            const std::string name = "Object_" + std::to_string(random() % 1000000);
            const std::string side = sides[random() % 2];
            auto d = made.Add(name, kind, side, "Object " + name + " was not found on " + side);
            if (kind == 1) {
                d->SetFieldDetails("Table_" + std::to_string(random() % 5000), "nvarchar",
                                   std::to_string(random() % 400));
            }
        }
        return made;
    }();
    return differences;
}

// A part of the window by its object name, as the tests find it.
template <class T>
T& Part(gui::Main& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) std::abort();
    return *found;
}

gui::DifferencesModel& Differences(gui::Main& window) {
    return Part<gui::DifferencesModel>(window, "differences");
}

// One window for the whole run, shown offscreen unless a display is there.
struct Workbench {
    testing::TempFolder home;
    testing::ScriptedPrompt prompt;
    NoDialog dialog;
    std::unique_ptr<gui::Main> window;

    Workbench() {
        ::setenv("TABLOR_HOME", home.Path().c_str(), 1);
        window = std::make_unique<gui::Main>(prompt, dialog, std::make_shared<NoConnector>());
        window->show();
        (void)QTest::qWaitForWindowExposed(window.get());
    }
    static Workbench& Get() {
        static Workbench bench;
        return bench;
    }
};

// The longest stretch without event handling while `work` runs, in milliseconds.
template <class Work>
double LongestWaitMs(Work&& work) {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    ticker.start();
    work();
    longest = std::max(longest, clock.elapsed() - last);
    return static_cast<double>(longest);
}

void BM_List100kDifferences(benchmark::State& state) {
    gui::Main& window = *Workbench::Get().window;
    const coDifferences& differences = LargeDifferences();
    double longest = 0;
    for (auto _ : state) {
        Differences(window).Clear();
        longest = std::max(longest, LongestWaitMs([&] {
                               window.AddDifferenceRows(differences);
                               QApplication::processEvents();  // the list painted with its rows
                           }));
    }
    state.counters["rows"] = Differences(window).rowCount();
    state.counters["longest_wait_ms"] = longest;
}
BENCHMARK(BM_List100kDifferences)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_HeaderClickSort100k(benchmark::State& state) {
    gui::Main& window = *Workbench::Get().window;
    if (Differences(window).rowCount() != kRows) {
        Differences(window).Clear();
        window.AddDifferenceRows(LargeDifferences());
    }
    QHeaderView* header = Part<QTreeView>(window, "lvDifferences").header();
    int column = 0;
    for (auto _ : state) {
        // Each click sorts by another column, so every sort has real work to do.
        column = (column + 3) % gui::DifferencesModel::kColumns;
        const QPoint at(header->sectionViewportPosition(column) + 4, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
    }
    state.counters["rows"] = Differences(window).rowCount();
}
BENCHMARK(BM_HeaderClickSort100k)->Unit(benchmark::kMillisecond)->Iterations(10);

// A whole comparison: two snapshot files of 50,000 tables each, no table in common.
void BM_Compare100kFromSnapshots(benchmark::State& state) {
    Workbench& bench = Workbench::Get();
    gui::Main& window = *bench.window;
    for (const char* side : {"left", "right"}) {
        std::string text = std::string(side) + "*Db*u*\r\n\r\n\r\n\r\n";
        for (int i = 0; i < kRows / 2; ++i)
            text += ":" + std::string(side) + "_table_" + std::to_string(i) + "\r\n";
        bench.home.Write("SnapShots/" + std::string(side) + ".snp", text);
    }
    window.RefreshSnapShotList();
    Part<QListWidget>(window, "lvCompare").clear();
    auto& snapshots = Part<QListWidget>(window, "FLSnapShots");
    for (const char* side : {"left.snp", "right.snp"}) {
        snapshots.setCurrentItem(snapshots.findItems(side, Qt::MatchExactly).front());
        Part<QToolButton>(window, "btnAddSnapShot").click();
    }
    double longest = 0;
    for (auto _ : state) {
        longest = std::max(longest, LongestWaitMs([&] { Part<QToolButton>(window, "btnCompare").click(); }));
    }
    state.counters["rows"] = Differences(window).rowCount();
    state.counters["longest_wait_ms"] = longest;
}
BENCHMARK(BM_Compare100kFromSnapshots)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Workbench::Get().window.reset();  // before the application object goes
    return 0;
}

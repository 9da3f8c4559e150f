// What the window holds after comparing two large snapshots, through its own Compare button:
// 200,000 tables of 16 columns a side (about 70 MB each), some 740,000 differences. Prints the
// resident memory after the comparison and the peak, then again after a second comparison and
// after the list was sorted by its message column. The two snapshots are written by a child
// process into a temporary program folder, so that making them does not count.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QStandardPaths>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "LargeSchemas.hpp"
#include "ScriptedPrompt.hpp"
#include "TempFolder.hpp"
#include "sources/SnapshotWriter.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/Main.hpp"
#include "workbench/SaveFileDialog.hpp"

namespace {

using namespace tablor;

class NoDialog : public gui::SaveFileDialog {
  public:
    std::optional<QString> AskSaveFileName(const QString&, const QString&, const QString&) override {
        return {};
    }
};

class NoReader : public LiveReader {
  public:
    void ReadSchema(const ConnectionSettings&, cMetaData&, UserPrompt&) override {
        throw SessionOpenError(DatabaseError("none"));
    }
};

double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double PeakMb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

template <class T>
T& Part(gui::Main& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) std::abort();
    return *found;
}

}  // namespace

int main(int argc, char** argv) {
    testing::TempFolder home;
    const std::string snapshots = home.Path() + "/SnapShots";
    ::mkdir(snapshots.c_str(), 0700);
    const pid_t child = ::fork();
    if (child == 0) {
        const auto [first, second] = testing::GenerateSchemaPair(MemoryShape(), 2026);
        WriteSnapshot(snapshots + "/large-1.snp", {"SRV01", "Sales", "reader"}, *first);
        WriteSnapshot(snapshots + "/large-2.snp", {"SRV01", "Sales", "reader"}, *second);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;

    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("TABLOR_HOME", home.Path().c_str(), 1);
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    testing::ScriptedPrompt prompt;
    NoDialog dialog;
    auto window = std::make_unique<gui::Main>(prompt, dialog, std::make_shared<NoReader>());
    window->show();
    QApplication::processEvents();
    std::printf("window shown: resident %.0f MB\n", ResidentMb());

    auto& list = Part<QListWidget>(*window, "FLSnapShots");
    for (const char* side : {"large-1.snp", "large-2.snp"}) {
        list.setCurrentItem(list.findItems(side, Qt::MatchExactly).front());
        Part<QToolButton>(*window, "btnAddSnapShot").click();
    }
    // What is let go of is freed in the background: the window settles once that is done (the
    // resident size has stopped falling for three seconds), within twenty seconds.
    const auto settled = [] {
        QElapsedTimer clock, still;
        clock.start();
        still.start();
        double last = ResidentMb();
        while (clock.elapsed() < 20000 && still.elapsed() < 3000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            if (const double now = ResidentMb(); now < last - 1) {
                last = now;
                still.restart();
            }
        }
        return last;
    };
    const auto compare = [&](const char* what) {
        QElapsedTimer clock;
        clock.start();
        Part<QToolButton>(*window, "btnCompare").click();
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        const double atOnce = ResidentMb();
        std::printf("%s: %d rows in %.1f s, resident %.0f MB at once, %.0f MB settled, peak %.0f MB\n", what,
                    Part<gui::DifferencesModel>(*window, "differences").rowCount(), seconds, atOnce,
                    settled(), PeakMb());
    };
    compare("after one comparison");
    compare("after a second comparison");
    Part<gui::DifferencesModel>(*window, "differences").SortBy(4);
    std::printf("sorted by message: resident %.0f MB settled, peak %.0f MB\n", settled(), PeakMb());
    for (const auto& message : prompt.messages) std::printf("  %s\n", message.text.c_str());
    window.reset();
    return 0;
}

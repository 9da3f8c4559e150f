#pragma once
#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ScriptedPrompt.hpp"
#include "TempFolder.hpp"
#include "sources/DatabaseSession.hpp"
#include "workbench/CommandHooks.hpp"
#include "workbench/Main.hpp"
#include "workbench/SaveFileDialog.hpp"

namespace tablor::gui {
class DifferencesModel;
}

namespace tablor::testing {

// A part of a window found by its object name, as a user finds it by its place. A missing or
// differently typed part fails the test and ends the step that wanted it.
template <class T>
T& Widget(QObject& window, const char* name) {
    if (T* found = window.findChild<T*>(QString::fromLatin1(name))) return *found;
    ADD_FAILURE() << "The window has no " << T::staticMetaObject.className() << " named " << name;
    throw std::logic_error(std::string("missing part ") + name);
}

// Answers the save dialog from a script; an unscripted dialog is cancelled.
class ScriptedSaveDialog : public gui::SaveFileDialog {
  public:
    ScriptedSaveDialog& Choose(std::optional<QString> path) {
        answers_.push_back(std::move(path));
        return *this;
    }
    std::optional<QString> AskSaveFileName(const QString& title, const QString& filter,
                                           const QString& initialName) override;

    struct Request {
        QString title, filter, initialName;
    };
    std::vector<Request> requests;

  private:
    std::vector<std::optional<QString>> answers_;
    std::size_t next_ = 0;
};

// A live database in memory, answering the catalogue queries by the view they name.
struct FakeDatabase {
    using Row = std::map<std::string, std::string>;
    std::vector<Row> tables, columns, constraints, views, routines;

    FakeDatabase& Table(const std::string& name,
                        std::vector<std::pair<std::string, std::string>> fields = {});
    FakeDatabase& View(const std::string& name);
    FakeDatabase& Procedure(const std::string& name);
    FakeDatabase& Function(const std::string& name);
    FakeDatabase& Constraint(const std::string& name);
};

// Opens sessions on fake databases by database name; an unknown name, or a server marked
// unreachable, fails to open. Records what each open was given.
class FakeConnector : public DatabaseConnector {
  public:
    std::map<std::string, FakeDatabase> databases;
    bool failQueries = false;
    std::vector<ConnectionSettings> opened;
    // Called after every row a session hands out (to act while a source is reading).
    std::function<void()> onRow;

    std::unique_ptr<DatabaseSession> Open(const ConnectionSettings& settings) override;

  protected:
    std::mutex openMutex_;  // both sides of a comparison open at once
};

// Every window test: an offscreen application, a fresh program folder (TABLOR_HOME) and an
// empty settings store; messages, input boxes and the save dialog answered by script.
class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    gui::Main& Window();
    // Ends the window, as the next start of the program would find things.
    void Restart() { window_.reset(); }
    // Shows the window and waits until it is exposed and active.
    gui::Main& ShownWindow();

    std::string Home() const { return home_->Path(); }
    std::string SnapShotFile(const std::string& name) const { return home_->Path() + "/SnapShots/" + name; }
    // Copies an example file (snapshots, template) beside the program or into SnapShots.
    void CopyExample(const std::string& name, const std::string& targetRelative);
    void WriteSnapShot(const std::string& name, const std::string& content);
    // Two snapshots of one PostgreSQL database with definitions, for migration scripts:
    // "model.snp" has customers and orders.note, "copy.snp" orders.legacy and old_log instead.
    void WriteDefinedSnapShots();

    // The main window's parts by name.
    template <class T>
    T& Find(const char* name) {
        return Widget<T>(Window(), name);
    }
    void Click(const char* button);
    void Trigger(const char* action);
    // The rows behind the differences list.
    gui::DifferencesModel& Differences();

    void SelectSnapShot(const QString& name);
    void AddSnapShotEntry(const QString& name);
    void AddConnectionEntry(const QString& server, const QString& database, const QString& user = "sa",
                            const QString& password = "", bool integrated = false);
    QStringList SnapShotList();
    QStringList CompareEntries();
    // The differences list as displayed, each row's five texts joined by "|".
    std::vector<std::string> DifferenceRows();

    ScriptedPrompt prompt;
    ScriptedSaveDialog saveDialog;
    std::shared_ptr<FakeConnector> connector = std::make_shared<FakeConnector>();
    // What the window reads live databases through, when not the fake connector.
    std::shared_ptr<LiveReader> reader;
    gui::CommandHooks hooks;

  private:
    std::unique_ptr<TempFolder> home_;
    std::unique_ptr<gui::Main> window_;
};

// A snapshot file's text from its lines: the source, constraints, views, routines, then
// ":Table" lines each followed by its "Column*type*size" lines.
std::string SnapShotText(const std::vector<std::string>& lines);

// The settings store's stored server text, empty when absent.
QString StoredServers();
void StoreServers(const QString& value);

// Saves a picture of a widget as PNG into `folder`, for people to look at.
void SaveScreenshot(QWidget& widget, const QString& folder, const QString& name);

}  // namespace tablor::testing

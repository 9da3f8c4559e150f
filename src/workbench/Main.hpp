#pragma once
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "service/ComparisonService.hpp"
#include "sources/qnTablor.hpp"
#include "support/Cancellation.hpp"
#include "support/UserPrompt.hpp"
#include "ui/Pictures.hpp"
#include "workbench/CommandHooks.hpp"
#include "workbench/EventPump.hpp"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QShortcut;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QToolButton;
class QTreeView;

namespace tablor::gui {

class DefinitionPane;
class DifferencesModel;
class SaveFileDialog;
class StructureViewerFrm;
struct ViewerLaunch;

// The program's working window: the connection fields, the snapshot library, the comparison
// list of at most two objects, the compare command and the differences list.
class Main : public QMainWindow {
    Q_OBJECT
  public:
    // `prompt` answers every message and input box; `reader` reads live databases.
    Main(UserPrompt& prompt, SaveFileDialog& saveDialog, std::shared_ptr<LiveReader> reader,
         CommandHooks hooks = {}, QWidget* parent = nullptr);
    ~Main() override;

    // A comparison-list entry's stored fields, sub-items 1 to 7.
    enum SubItem {
        kServer = 1,
        kDatabase = 2,
        kUser = 3,
        kPassword = 4,
        kIntegratedSecurity = 5,
        kFileName = 6,
        kSourceKind = 7,
    };
    static QString SubItemText(const QListWidgetItem& entry, int subItem);

    // The snapshot folder and a listed snapshot's full path.
    static QString SnapShotFolder();
    static std::string SnapShotPath(const QString& fileName);

    // While a schema-reading command runs: the busy panel is up and no second such command
    // may start (the service is reading for the first).
    bool IsBusy() const noexcept { return busy_; }

    // Enters the busy state for one command and leaves it on every way out.
    class BusyScope {
      public:
        BusyScope(Main& window, const QString& status, bool disableCompare = false);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

      private:
        Main& window_;
        bool disableCompare_;
    };

    // The window's prompt as reads see it: asked from the reading thread, it shows the message
    // on the window's thread and waits for the answer.
    UserPrompt& SourcePrompt() noexcept { return sourcePrompt_; }

    // The sources of the last read and the engine, for tests.
    const qnTablor& Workspace() const noexcept { return service_.Workspace(); }

    // The two "View structure" commands: the source is read off the window's thread under the
    // busy panel, and the viewer opened belongs to this window. Null when nothing opened.
    StructureViewerFrm* ViewConnectionStructure();
    StructureViewerFrm* ViewSnapStructure();

    // A live side from the texts of the connection fields or of a comparison-list entry; the
    // server text decides the engine. `readDefinitions` reads what the catalogue tells beyond names.
    static SideDescription LiveSideOf(const QString& server, const QString& database, const QString& user,
                                      const QString& password, bool integratedSecurity,
                                      std::string displayName = {}, bool readDefinitions = false);

    // The display names of the last successful comparison, as the report names its two sides.
    std::pair<QString, QString> ComparedNames() const { return {Object1Name, Object2Name}; }

    // The options the next comparison is made with, as File > Options... last left them.
    const CompareOptions& Options() const noexcept { return options_; }

    // Lists the differences in place of the rows shown, in the list's order.
    void AddDifferenceRows(const coDifferences& found);

    // The selected snapshot file name, empty when none is selected.
    QString SelectedSnapShot() const;
    // The remembered servers, in order.
    QStringList RememberedServers() const;

  public slots:
    void RefreshSnapShotList();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // Hands messages to the user's prompt on the window's thread, whichever thread asks.
    class WindowPrompt : public UserPrompt {
      public:
        explicit WindowPrompt(Main& window) : window_(window) {}
        PromptAnswer Ask(const PromptMessage& message) override;
        std::optional<std::string> Input(std::string_view prompt, std::string_view title,
                                         std::string_view proposed) override;

      private:
        template <class Call>
        auto OnWindowThread(Call&& call);
        Main& window_;
    };
    // Keeps the busy panel out of sight while a box asks something over it.
    class PanelAside {
      public:
        explicit PanelAside(Main& window);
        ~PanelAside();
        PanelAside(const PanelAside&) = delete;
        PanelAside& operator=(const PanelAside&) = delete;

      private:
        Main& window_;
        bool hidden_;
    };

    // A read handed to the reading thread.
    using ReadWork = std::function<void(const ProgressCallback&, const CancellationToken&)>;
    // Runs `read` on a thread of its own while this thread goes on handling events, so the
    // window repaints, its menus open and Cancel is heard. Rethrows what the read threw;
    // OperationCancelled when Cancel stopped it.
    void ReadOffThread(const ReadWork& read);
    void CancelRead();
    // What the structure viewers are launched with.
    ViewerLaunch Launcher();
    void ShowProgress(const QString& section, long rowsRead);

    // Display names of the last successful comparison, for the report.
    QString Object1Name;
    QString Object2Name;
    // How the last successful comparison was made (CompareOptions::Describe), for the report:
    // the options may have changed since; and which side it read only in part.
    std::string comparedOptions_;
    std::string comparedNote_;
    bool compared_ = false;
    // The sides of the last successful comparison, as described and as read, and the options it
    // was made with: its migration script is made from them.
    struct ComparedSide {
        SideDescription description;
        SideRead read;
    };
    std::array<ComparedSide, 2> comparedSides_;
    CompareOptions comparedWith_;

    // Menus.
    QMenu* mnuFile = nullptr;
    QMenu* mnuSnapShots = nullptr;
    QAction* mnuRefreshList = nullptr;
    QAction* mnuScript = nullptr;
    QAction* mnuOptions = nullptr;
    QAction* mnuSep1 = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuRemoveEntry = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpContents = nullptr;
    QAction* Separator2 = nullptr;
    QAction* mnuAbout = nullptr;

    // "SQL Connection".
    QComboBox* txtServer = nullptr;
    QLineEdit* txtDatabase = nullptr;
    QLineEdit* txtUser = nullptr;
    QLineEdit* txtPassword = nullptr;
    QCheckBox* chkIntegrated = nullptr;
    QToolButton* btnSaveSnapShot = nullptr;
    QToolButton* btnViewConnectionStructure = nullptr;
    QToolButton* btnAddConnection = nullptr;
    QLabel* Image2 = nullptr;

    // "Snapshot Files".
    QListWidget* FLSnapShots = nullptr;
    QToolButton* btnDelete = nullptr;
    QToolButton* btnViewSnapStructure = nullptr;
    QToolButton* btnAddSnapShot = nullptr;
    QLabel* Image1 = nullptr;

    // "Comparison type".
    QListWidget* lvCompare = nullptr;
    QToolButton* btnClear = nullptr;
    QToolButton* btnCompare = nullptr;

    QToolButton* btnScript = nullptr;
    QToolButton* btnHelp = nullptr;
    QToolButton* btnSave = nullptr;
    QToolButton* btnExit = nullptr;
    QLabel* lblResult = nullptr;
    QLabel* lblWarnings = nullptr;
    QTreeView* lvDifferences = nullptr;
    DifferencesModel* differences = nullptr;
    // Under the list while the selected row is a changed definition.
    DefinitionPane* pnlDefinition = nullptr;

    QFrame* WorkingPanel = nullptr;
    QLabel* lblStatus = nullptr;
    SaveFileDialog& Dialog;

    void BuildMenus();
    void BuildControls();
    void NameParts();
    void SetFocusOrder();
    void ConnectCommands();
    void PlaceOnScreen(bool centre);
    void PlaceOnceFramed();
    void ApplyResizeRule();
    // Shows the selected row's definitions under the list, or hides the pane when it has none.
    void ShowDefinition();
    void RenderPictures();
    void RememberServer();
    void OnFocusChanged(QWidget* old, QWidget* now);

    void SaveSnapShotCommand();
    void DeleteSnapShotCommand();
    void AddConnectionCommand();
    void AddSnapShotCommand();
    void RemoveEntryCommand();
    void ClearCommand();
    void CompareCommand();
    void SaveHtmlCommand();
    void ScriptCommand();
    // Reads again, with definitions, each compared live side that was read by names only.
    void ReadComparedDefinitions();
    void OptionsCommand();
    void RunHook(const std::function<void(Main&)>& hook, bool readsSchema);

    // Runs one command; an unexpected failure is shown instead of ending the program.
    template <class Command>
    void Guarded(Command&& command);
    PromptAnswer Tell(const QString& text, PromptIcon icon, PromptButtons buttons = PromptButtons::Ok,
                      const QString& title = {}, PromptAnswer defaultAnswer = PromptAnswer::Ok);
    // The result line over the list, and the message, of a finished comparison.
    void ShowResult(std::size_t count, const QStringList& unmatched);

    UserPrompt& prompt_;
    WindowPrompt sourcePrompt_;
    ComparisonService service_;
    CompareOptions options_;
    // The running read's token; null while none runs.
    CancellationToken* readToken_ = nullptr;
    QLabel* progressLine_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QShortcut* cancelShortcut_ = nullptr;
    CommandHooks hooks_;
    EventPump pump_;
    bool busy_ = false;
    bool closeRequested_ = false;
    bool placed_ = false;
    bool restored_ = false;
    // The window manager has told the frame's size, and the window was placed knowing it.
    bool framed_ = false;
    // Pixels the server box takes beyond the design, for a whole postgresql://HOST:PORT; the
    // frames and everything right of them widen by as much.
    int widen_ = 0;
    QWidget* client_ = nullptr;
    QGroupBox* connectionFrame_ = nullptr;
    QGroupBox* snapShotFrame_ = nullptr;
    QGroupBox* comparisonFrame_ = nullptr;
    std::vector<std::pair<QLabel*, LargePicture>> pictures_;
    bool followsScreen_ = false;
    // Rows and schemas let go of are freed off the window's thread.
    BackgroundRelease release_;
};

}  // namespace tablor::gui

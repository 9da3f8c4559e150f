#include "viewer/ViewerLaunch.hpp"

#include <QCoreApplication>
#include <QPointer>
#include <memory>
#include <vector>

#include "sources/ServerText.hpp"
#include "viewer/StructureViewerFrm.hpp"
#include "workbench/Main.hpp"

namespace tablor::gui {
namespace {

std::string Std(const QString& text) {
    return text.toStdString();
}

// Keeps track of the viewers a main window opened. Viewers are windows of their own, not
// children of the main window (which would keep them above it), so whatever is still open
// when the main window goes is deleted here.
class ViewerShelf : public QObject {
  public:
    static constexpr const char* kName = "StructureViewerShelf";

    explicit ViewerShelf(QObject* owner) : QObject(owner) { setObjectName(kName); }
    ~ViewerShelf() override {
        for (const QPointer<StructureViewerFrm>& viewer : viewers_) delete viewer.data();
    }
    ViewerShelf(const ViewerShelf&) = delete;
    ViewerShelf& operator=(const ViewerShelf&) = delete;

    static ViewerShelf& Of(Main& window) {
        auto* found =
            dynamic_cast<ViewerShelf*>(window.findChild<QObject*>(kName, Qt::FindDirectChildrenOnly));
        return found != nullptr ? *found : *new ViewerShelf(&window);
    }

    StructureViewerFrm* Keep(std::unique_ptr<StructureViewerFrm> viewer) {
        std::erase_if(viewers_, [](const QPointer<StructureViewerFrm>& kept) { return kept.isNull(); });
        viewers_.emplace_back(viewer.get());
        return viewer.release();
    }

  private:
    std::vector<QPointer<StructureViewerFrm>> viewers_;
};

// Lets the busy panel paint before the source is read.
void Repaint() {
    QCoreApplication::processEvents();
}

StructureViewerFrm* Open(Main& window, std::unique_ptr<StructureViewerFrm> viewer,
                         const std::string& database, Main::SourceKind kind) {
    viewer->setWindowTitle("Database Structure - " + QString::fromStdString(database));
    viewer->SetSourcePicture(window.SourcePicture(kind));
    StructureViewerFrm* shown = ViewerShelf::Of(window).Keep(std::move(viewer));
    shown->show();
    return shown;
}

}  // namespace

StructureViewerFrm* ViewConnectionStructure(Main& window, UserPrompt& prompt) {
    const Main::Connection fields = window.ConnectionFields();
    const QString& database = fields.database;
    Main::BusyScope busy(window, "Creating structure view for database: " + database);
    Repaint();

    const bool integrated = fields.integratedSecurity;
    coConnections& connections = *window.qnTablor1.Connections;
    connections.Clear();
    const LiveTarget live = ParseServerText(Std(fields.server));
    connections.Add(live.server, Std(database), Std(fields.user), Std(fields.password), integrated, {},
                    live.engine);
    const auto source = connections.Item(1);
    if (source->Fill(prompt) == "ERROR") return nullptr;

    auto viewer = std::make_unique<StructureViewerFrm>();
    viewer->LoadConnection(*source);
    return Open(window, std::move(viewer), source->DatabaseName, Main::SourceKind::Connection);
}

StructureViewerFrm* ViewSnapStructure(Main& window, UserPrompt& prompt) {
    const QString name = window.SelectedSnapShot();
    if (name.isEmpty()) {
        PromptMessage message;
        message.text = "Please select a snapshot file!";
        message.icon = PromptIcon::Warning;
        prompt.Ask(message);
        return nullptr;
    }
    Main::BusyScope busy(window, "Creating structure view for snapshot: " + name);
    Repaint();

    coSnapShots& snapshots = *window.qnTablor1.SnapShots;
    snapshots.Clear();
    snapshots.Add(Main::SnapShotPath(name));
    const auto source = snapshots.Item(1);
    if (source->Fill(prompt) == "ERROR") return nullptr;

    auto viewer = std::make_unique<StructureViewerFrm>();
    viewer->LoadSnapShot(*source);
    return Open(window, std::move(viewer), source->SourceDatabase, Main::SourceKind::SnapShot);
}

}  // namespace tablor::gui

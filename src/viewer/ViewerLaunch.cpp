#include "viewer/ViewerLaunch.hpp"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "support/TablorError.hpp"
#include "ui/ShownText.hpp"
#include "viewer/StructureViewerFrm.hpp"

namespace tablor::gui {
namespace {

// Keeps track of the viewers an owner opened. Viewers are windows of their own, not children
// of the main window (which would keep them above it), so whatever is still open when the
// owner goes is deleted here.
class ViewerShelf : public QObject {
  public:
    static constexpr const char* kName = "StructureViewerShelf";

    explicit ViewerShelf(QObject* owner) : QObject(owner) { setObjectName(kName); }
    ~ViewerShelf() override {
        for (const QPointer<StructureViewerFrm>& viewer : viewers_) delete viewer.data();
    }
    ViewerShelf(const ViewerShelf&) = delete;
    ViewerShelf& operator=(const ViewerShelf&) = delete;

    static ViewerShelf& Of(QObject& owner) {
        auto* found =
            dynamic_cast<ViewerShelf*>(owner.findChild<QObject*>(kName, Qt::FindDirectChildrenOnly));
        return found != nullptr ? *found : *new ViewerShelf(&owner);
    }

    StructureViewerFrm* Keep(std::unique_ptr<StructureViewerFrm> viewer) {
        std::erase_if(viewers_, [](const QPointer<StructureViewerFrm>& kept) { return kept.isNull(); });
        viewers_.emplace_back(viewer.get());
        return viewer.release();
    }

  private:
    std::vector<QPointer<StructureViewerFrm>> viewers_;
};

// Reads one side; nothing when the user has been told why it failed or cancelled the read.
std::optional<SideRead> ReadSide(const ViewerLaunch& launch, const QString& status,
                                 const SideDescription& side) {
    SideRead read;
    try {
        launch.runRead(status, [&](const ProgressCallback& progress, const CancellationToken& cancel) {
            if (side.IsLive()) {
                read = launch.service.Read(side, progress, cancel);
                return;
            }
            // A snapshot's loader counts the tables it has read: the line says so.
            read = launch.service.Read(
                side,
                [&progress](std::string_view, long tables) {
                    progress(SnapshotTablesText(tables).toStdString(), kAllInSection);
                },
                cancel);
        });
    } catch (const OperationCancelled&) {
        return std::nullopt;
    } catch (const ReportedFailure&) {
        return std::nullopt;
    }
    return read;
}

StructureViewerFrm* Open(const ViewerLaunch& launch, std::unique_ptr<StructureViewerFrm> viewer,
                         const QString& title, LargePicture picture) {
    viewer->setWindowTitle(title);
    viewer->SetSourcePicture(picture);
    StructureViewerFrm* shown = ViewerShelf::Of(launch.owner).Keep(std::move(viewer));
    shown->show();
    return shown;
}

}  // namespace

QString ViewerTitle(const std::string& server, const std::string& database, const QString& file) {
    QStringList parts;
    if (!database.empty()) parts.append(QString::fromStdString(database));
    if (!server.empty()) parts.append("on " + QString::fromStdString(server));
    if (!file.isEmpty()) parts.append("(" + file + ")");
    return parts.isEmpty() ? QStringLiteral("Database Structure") : "Database Structure - " + parts.join(' ');
}

StructureViewerFrm* ViewConnectionStructure(const ViewerLaunch& launch, const SideDescription& side,
                                            LargePicture picture) {
    const QString status =
        "Creating structure view for database: " + QString::fromStdString(side.live.databaseName);
    const std::optional<SideRead> read = ReadSide(launch, status, side);
    if (!read) return nullptr;

    auto viewer = std::make_unique<StructureViewerFrm>();
    viewer->LoadConnection(*read->connection);
    return Open(launch, std::move(viewer), ViewerTitle(read->server, read->database), picture);
}

StructureViewerFrm* ViewSnapStructure(const ViewerLaunch& launch, const QString& name,
                                      const std::string& path, LargePicture picture) {
    if (name.isEmpty()) {
        PromptMessage message;
        message.text = "Please select a snapshot file!";
        message.icon = PromptIcon::Warning;
        launch.prompt.Ask(message);
        return nullptr;
    }
    const std::optional<SideRead> read =
        ReadSide(launch, "Creating structure view for snapshot: " + name, SideDescription::Snapshot(path));
    if (!read) return nullptr;

    // The service's workspace holds the snapshot just read; its labels come from there.
    auto viewer = std::make_unique<StructureViewerFrm>();
    viewer->LoadSnapShot(*launch.service.Workspace().SnapShots->Item(1));
    return Open(launch, std::move(viewer), ViewerTitle(read->server, read->database, name), picture);
}

}  // namespace tablor::gui

#pragma once
#include <QString>
#include <functional>
#include <string>

#include "service/ComparisonService.hpp"
#include "service/SideDescription.hpp"
#include "support/Cancellation.hpp"
#include "support/UserPrompt.hpp"
#include "ui/Pictures.hpp"

class QObject;

namespace tablor::gui {

class StructureViewerFrm;

// What the "View structure" commands need from the window that starts them.
struct ViewerLaunch {
    using Read = std::function<void(const ProgressCallback&, const CancellationToken&)>;

    // Reads the source.
    ComparisonService& service;
    // Tells the user what is missing before anything is read.
    UserPrompt& prompt;
    // Keeps the viewers: they are windows of their own, and go when the owner goes.
    QObject& owner;
    // Runs a read as the window's busy command, showing `status`; what the read throws
    // (OperationCancelled when the user cancelled) comes out of it.
    std::function<void(const QString& status, const Read& read)> runRead;
};

// From the connection fields, as `side`. A source that cannot be read (it has told the user
// why) or a read the user cancelled opens no window. Returns the new viewer, or null.
StructureViewerFrm* ViewConnectionStructure(const ViewerLaunch& launch, const SideDescription& side,
                                            LargePicture picture);

// From the snapshot `name` selected in the file list, at `path`; "Please select a snapshot
// file!" when the name is empty. A snapshot that loads only in part still opens, with what was
// loaded. Returns the new viewer, or null.
StructureViewerFrm* ViewSnapStructure(const ViewerLaunch& launch, const QString& name,
                                      const std::string& path, LargePicture picture);

// A viewer's title: the database and the server it is on, and for a snapshot its file, so that
// two viewers are told apart.
QString ViewerTitle(const std::string& server, const std::string& database, const QString& file = {});

}  // namespace tablor::gui

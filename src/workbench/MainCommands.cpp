// The main window's long commands: compare, save and delete a snapshot, export to HTML.
#include <fcntl.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "report/DifferenceRow.hpp"
#include "service/ComparisonService.hpp"
#include "sources/LiveAddress.hpp"
#include "support/AppPaths.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/Main.hpp"
#include "workbench/SaveFileDialog.hpp"

namespace tablor::gui {
namespace {

std::string Std(const QString& text) {
    return text.toStdString();
}

struct CompareEntry {
    QString text;
    QString fields[8];  // by sub-item number, 1 to 7
};

// The side a comparison-list entry describes, named as the entry is.
SideDescription SideOf(const CompareEntry& entry) {
    const QString& kind = entry.fields[Main::kSourceKind];
    if (kind == "SNAPSHOT")
        return SideDescription::Snapshot(Main::SnapShotPath(entry.fields[Main::kFileName]), Std(entry.text));
    if (kind == "CONNECTION")
        return Main::LiveSideOf(entry.fields[Main::kServer], entry.fields[Main::kDatabase],
                                entry.fields[Main::kUser], entry.fields[Main::kPassword],
                                entry.fields[Main::kIntegratedSecurity] == "1", Std(entry.text));
    throw TablorError(errors::InvalidProcedureCall, "Unknown source kind: " + Std(kind));
}

// Why no snapshot can be written into `folder`, or empty when one can. A missing folder is
// made, as at start-up.
QString SnapShotFolderProblem(const QString& folder) {
    const std::string path = QFile::encodeName(folder).toStdString();
    const QString cannot = QStringLiteral("The snapshot cannot be saved: ");
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        // Through links only as every other write goes: not another user's in a shared folder.
        try {
            MakeFolders(path);
        } catch (const TablorError& failure) {
            return cannot + QString::fromStdString(failure.Description()) + ".";
        }
    } else if (error) {
        return cannot + "the folder " + folder + " could not be reached (" +
               QString::fromStdString(error.message()) + ").";
    } else if (status.type() != std::filesystem::file_type::directory) {
        return cannot + folder + " is not a folder.";
    }
    // Modes, ACLs, read-only mounts and root's privileges all have a say: only a file made there
    // answers for sure.
    std::string probe = path + "/.tablor-probe-XXXXXX";
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0)
        return cannot + "the folder " + folder + " does not accept new files (" +
               QString::fromLocal8Bit(std::strerror(errno)) + ").";
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

}  // namespace

SideDescription Main::LiveSideOf(const QString& server, const QString& database, const QString& user,
                                 const QString& password, bool integratedSecurity, std::string displayName) {
    const LiveTarget live = ParseServerText(Std(server));
    ConnectionSettings settings;
    settings.engine = live.engine;
    settings.serverName = live.server;
    settings.databaseName = Std(database);
    settings.userName = Std(user);
    settings.password = Std(password);
    settings.integratedSecurity = integratedSecurity;
    return SideDescription::Live(std::move(settings), std::move(displayName));
}

void Main::CompareCommand() {
    if (busy_) return;
    if (lvCompare->count() != 2) {
        Tell("Please add two objects to do a comparison!", PromptIcon::Warning);
        return;
    }
    // The entries are read once: the list may change while the sources are read.
    CompareEntry entries[2];
    for (int i = 0; i < 2; ++i) {
        const QListWidgetItem& item = *lvCompare->item(i);
        entries[i].text = item.text();
        for (int subItem = kServer; subItem <= kSourceKind; ++subItem)
            entries[i].fields[subItem] = SubItemText(item, subItem);
    }

    BusyScope busy(*this, "Comparing " + entries[0].text + " to " + entries[1].text, true);
    pump_.Now();
    pump_.Now();

    const SideDescription side1 = SideOf(entries[0]);
    const SideDescription side2 = SideOf(entries[1]);
    // As the command started: the options may not change under a running comparison.
    const CompareOptions options = options_;
    ComparisonResult result;
    ReadOffThread([&](const ProgressCallback& progress, const CancellationToken& cancel) {
        result = service_.Compare(side1, side2, progress, cancel, options);
    });

    // Only now: a read that failed or was cancelled leaves the last comparison's rows.
    differences->Clear();
    pump_.Tick();
    AddDifferenceRows(*result.differences);

    Object1Name = entries[0].text;
    Object2Name = entries[1].text;
    comparedOptions_ = options.Describe();
    Tell(QString::number(result.differences->Count()) + " difference(s) found between the two objects!",
         PromptIcon::Information);
}

void Main::AddDifferenceRows(const coDifferences& found) {
    // Rows go to the list in batches between event passes, so the list grows visibly without
    // paying for a repaint per row.
    std::vector<DifferencesModel::Row> batch;
    for (const auto& difference : found) {
        batch.push_back(DifferencesModel::MakeRow(*difference));
        if (pump_.Due()) {
            differences->Append(std::move(batch));
            batch.clear();
            pump_.Now();
        }
    }
    differences->Append(std::move(batch));
}

void Main::SaveSnapShotCommand() {
    if (busy_) return;
    BusyScope busy(*this, QString());
    pump_.Now();

    const auto answer = prompt_.Input("Please enter a name for this snapshot", "Save Snapshot",
                                      Std(txtServer->currentText()));
    QString name = answer ? QString::fromStdString(*answer) : QString();
    // "/" separates folders here as "\\" does on Windows: neither may lead out of the folder.
    name.replace(QLatin1Char('\\'), QLatin1Char('-'));
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    lblStatus->setText("Creating snapshot of " + txtServer->currentText() + "->" + txtDatabase->text());
    if (name.isEmpty()) return;
    // Before the database is read: a long read would be wasted on a folder that takes no file.
    if (const QString problem = SnapShotFolderProblem(SnapShotFolder()); !problem.isEmpty()) {
        Tell(problem, PromptIcon::Warning);
        return;
    }

    const SideDescription side = LiveSideOf(txtServer->currentText(), txtDatabase->text(), txtUser->text(),
                                            txtPassword->text(), chkIntegrated->isChecked());
    SideRead read;
    ReadOffThread([&](const ProgressCallback& progress, const CancellationToken& cancel) {
        read = service_.Read(side, progress, cancel);
    });

    const std::string target = SnapShotPath(name + ".snp");
    if (FileExist(target) && Tell("This snapshot already exists! Replace with new one?", PromptIcon::Question,
                                  PromptButtons::YesNo, {}, PromptAnswer::Yes) != PromptAnswer::Yes)
        return;
    try {
        service_.SaveSnapshot(read, target);
    } catch (const TablorError& error) {
        Tell(QString::fromStdString(error.PromptText()), PromptIcon::Warning);
    }
    RefreshSnapShotList();
}

void Main::DeleteSnapShotCommand() {
    const QString name = SelectedSnapShot();
    if (name.isEmpty()) {
        Tell("Please select a snapshot file", PromptIcon::Warning);
        return;
    }
    if (Tell("Are you sure you want to permanently delete " + name + "?", PromptIcon::Warning,
             PromptButtons::YesNo, {}, PromptAnswer::No) != PromptAnswer::Yes)
        return;
    // A file already gone needs no word; one that stays does.
    std::error_code error;
    std::filesystem::remove(SnapShotPath(name), error);
    if (error && error != std::errc::no_such_file_or_directory)
        Tell("The snapshot " + name + " could not be deleted (" + QString::fromStdString(error.message()) +
                 ").",
             PromptIcon::Warning);
    RefreshSnapShotList();
}

void Main::SaveHtmlCommand() {
    // A comparison still filling the list would be saved half-way.
    if (busy_) return;
    if (differences->rowCount() == 0) {
        Tell("There are no items in the list of differences, please make a comparison first.",
             PromptIcon::Information, PromptButtons::Ok, "Nothing to save");
        return;
    }
    const std::string templatePath = AddAppPath("template.html");
    if (!FileExist(templatePath)) {
        Tell("The template file: template.html was not found on the application directory! please re-install",
             PromptIcon::Warning, PromptButtons::Ok, "Error");
        return;
    }
    const auto chosen =
        Dialog.AskSaveFileName("Save Comparison List", "HTML Document (*.html)", "SQL Comparison.html");
    if (!chosen || chosen->isEmpty()) return;
    const std::string target = QFile::encodeName(*chosen).toStdString();
    if (FileExist(target) && Tell("Do you want to overwrite the existing file?", PromptIcon::Question,
                                  PromptButtons::YesNo, {}, PromptAnswer::Yes) != PromptAnswer::Yes)
        return;
    const std::vector<DifferenceRow> rows = differences->DisplayedRows();
    ReportRequest request;
    request.templatePath = templatePath;
    request.targetPath = target;
    request.side1Name = Std(Object1Name);
    request.side2Name = Std(Object2Name);
    request.optionsText = comparedOptions_;
    request.rowCount = rows.size();
    request.rowAt = [&rows](std::size_t i) { return rows[i]; };
    service_.WriteReport(request);
}

}  // namespace tablor::gui

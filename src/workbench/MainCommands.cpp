// The main window's long commands: compare, save and delete a snapshot, export to HTML, the
// migration script.
#include <fcntl.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <QTreeView>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "report/DifferenceRow.hpp"
#include "service/ComparisonService.hpp"
#include "sources/LiveAddress.hpp"
#include "support/AppPaths.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"
#include "ui/ShownText.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/Main.hpp"
#include "workbench/PatternUse.hpp"
#include "workbench/SaveFileDialog.hpp"
#include "workbench/ScriptDialog.hpp"

namespace tablor::gui {
namespace {

std::string Std(const QString& text) {
    return text.toStdString();
}

struct CompareEntry {
    QString text;
    QString fields[8];  // by sub-item number, 1 to 7
};

// The side a comparison-list entry describes, named as the entry is; a live one read with its
// definitions when they are compared.
SideDescription SideOf(const CompareEntry& entry, bool definitions) {
    const QString& kind = entry.fields[Main::kSourceKind];
    if (kind == "SNAPSHOT")
        return SideDescription::Snapshot(Main::SnapShotPath(entry.fields[Main::kFileName]), Std(entry.text));
    if (kind == "CONNECTION")
        return Main::LiveSideOf(entry.fields[Main::kServer], entry.fields[Main::kDatabase],
                                entry.fields[Main::kUser], entry.fields[Main::kPassword],
                                entry.fields[Main::kIntegratedSecurity] == "1", Std(entry.text), definitions);
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

// One line for two snapshots read one after the other, naming each and how far it has come, so
// that the count never seems to fall back when the second starts. Told from the reading thread.
class SnapshotPairProgress {
  public:
    SnapshotPairProgress(const ProgressCallback& show, const QString& name1, const QString& name2)
        : show_(show), names_{name1, name2} {}

    ProgressCallback Side(int side) {
        return [this, side](std::string_view, long tables) {
            const auto now = std::chrono::steady_clock::now();
            const bool first = states_[side].isEmpty();
            states_[side] = SnapshotTablesText(tables);
            if (!first && now - lastShown_ < std::chrono::milliseconds(100)) return;
            lastShown_ = now;
            Show();
        };
    }
    void Read(int side, long tables) {
        states_[side] = CountText(tables) + (tables == 1 ? " table" : " tables");
        Show();
    }

  private:
    void Show() {
        QStringList line;
        for (int side = 0; side < 2; ++side)
            line.append(names_[side] + ": " +
                        (states_[side].isEmpty() ? QStringLiteral("waiting") : states_[side]));
        show_(line.join("; ").toStdString(), kAllInSection);
    }

    const ProgressCallback& show_;
    QString names_[2];
    QString states_[2];
    std::chrono::steady_clock::time_point lastShown_;
};

}  // namespace

SideDescription Main::LiveSideOf(const QString& server, const QString& database, const QString& user,
                                 const QString& password, bool integratedSecurity, std::string displayName,
                                 bool readDefinitions) {
    const LiveTarget live = ParseServerText(Std(server));
    ConnectionSettings settings;
    settings.engine = live.engine;
    settings.serverName = live.server;
    settings.databaseName = Std(database);
    settings.userName = Std(user);
    settings.password = Std(password);
    settings.integratedSecurity = integratedSecurity;
    settings.readDefinitions = readDefinitions;
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

    std::optional<BusyScope> busy(std::in_place, *this,
                                  "Comparing " + entries[0].text + " to " + entries[1].text, true);
    pump_.Now();
    pump_.Now();

    // As the command started: the options may not change under a running comparison.
    const CompareOptions options = options_;
    const SideDescription side1 = SideOf(entries[0], options.definitions);
    const SideDescription side2 = SideOf(entries[1], options.definitions);
    const std::optional<int> sortColumn =
        differences->IsSorted() ? std::optional<int>(differences->SortColumn()) : std::nullopt;
    std::vector<DifferencesModel::Row> rows;
    std::string note;
    QStringList unmatched;
    std::array<ComparedSide, 2> sides;
    ReadOffThread([&](const ProgressCallback& progress, const CancellationToken& cancel) {
        ComparisonResult result;
        if (!side1.IsLive() && !side2.IsLive()) {
            // Two files are read one after the other, each named on the progress line.
            SnapshotPairProgress line(progress, entries[0].text, entries[1].text);
            SideRead first = service_.Read(side1, line.Side(0), cancel);
            line.Read(0, first.model->Tables().Count());
            SideRead second = service_.Read(side2, line.Side(1), cancel);
            line.Read(1, second.model->Tables().Count());
            result = service_.Compare(std::move(first), std::move(second), options, cancel);
        } else {
            result = service_.Compare(side1, side2, progress, cancel, options);
        }
        rows.assign(result.differences->Items().begin(), result.differences->Items().end());
        if (sortColumn) DifferencesModel::Sort(rows, *sortColumn);
        note = ReadInPartNote(result.side1, result.side2);
        if (!options.include.empty() || !options.exclude.empty())
            unmatched = PatternsMatchingNothing(options, *result.side1.model, *result.side2.model);
        sides = {ComparedSide{side1, result.side1}, ComparedSide{side2, result.side2}};
        // What only this comparison held goes with the rows it replaces, off the window's thread.
        release_.Drop(std::make_shared<ComparisonResult>(std::move(result)));
    });

    // Only now: a read that failed or was cancelled leaves the last comparison's rows.
    release_.Drop(
        std::make_shared<std::vector<DifferencesModel::Row>>(differences->Replace(std::move(rows), true)));
    Object1Name = entries[0].text;
    Object2Name = entries[1].text;
    comparedOptions_ = options.Describe();
    comparedNote_ = note;
    compared_ = true;
    release_.Drop(
        std::make_shared<std::array<ComparedSide, 2>>(std::exchange(comparedSides_, std::move(sides))));
    comparedWith_ = options;
    btnScript->setEnabled(true);
    mnuScript->setEnabled(true);
    busy.reset();
    // The keys go to the result, not to whatever follows the Compare button.
    lvDifferences->setFocus(Qt::OtherFocusReason);
    ShowResult(static_cast<std::size_t>(differences->rowCount()), unmatched);
}

void Main::ShowResult(std::size_t count, const QStringList& unmatched) {
    QStringList warnings;
    if (!unmatched.isEmpty())
        warnings.append("No name on either side matches the " + unmatched.join(", the ") + ".");
    if (!comparedNote_.empty()) warnings.append(QString::fromStdString(comparedNote_));
    const QString options = comparedOptions_.empty()
                                ? QString()
                                : "Compared with " + QString::fromStdString(comparedOptions_) + ".";

    const QString result = CountText(static_cast<long long>(count)) +
                           (count == 1 ? " difference" : " differences") + " between " + Object1Name +
                           " and " + Object2Name + ".";
    SetElidedText(lblResult, options.isEmpty() ? result : result + " " + options);
    SetElidedText(lblWarnings, warnings.join(' '));

    QStringList message{QString::number(count) + " difference(s) found between the two objects!"};
    message.append(warnings);
    if (!options.isEmpty()) message.append(options);
    Tell(message.join("\n\n"), warnings.isEmpty() ? PromptIcon::Information : PromptIcon::Warning);
}

void Main::AddDifferenceRows(const coDifferences& found) {
    release_.Drop(std::make_shared<std::vector<DifferencesModel::Row>>(
        differences->Replace({found.Items().begin(), found.Items().end()})));
}

void Main::SaveSnapShotCommand() {
    if (busy_) return;
    const auto answer = prompt_.Input("Please enter a name for this snapshot", "Save Snapshot",
                                      Std(txtServer->currentText()));
    QString name = answer ? QString::fromStdString(*answer) : QString();
    // "/" separates folders here as "\\" does on Windows: neither may lead out of the folder.
    name.replace(QLatin1Char('\\'), QLatin1Char('-'));
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    if (name.isEmpty()) return;
    std::optional<BusyScope> busy(
        std::in_place, *this,
        "Creating snapshot of " + txtServer->currentText() + "->" + txtDatabase->text());
    pump_.Now();
    // Before the database is read: a long read would be wasted on a folder that takes no file.
    if (const QString problem = SnapShotFolderProblem(SnapShotFolder()); !problem.isEmpty()) {
        Tell(problem, PromptIcon::Warning);
        return;
    }

    // With definitions compared, the snapshot keeps them, to be compared with definitions later.
    const SideDescription side =
        LiveSideOf(txtServer->currentText(), txtDatabase->text(), txtUser->text(), txtPassword->text(),
                   chkIntegrated->isChecked(), {}, options_.definitions);
    SideRead read;
    ReadOffThread([&](const ProgressCallback& progress, const CancellationToken& cancel) {
        read = service_.Read(side, progress, cancel);
    });

    busy.reset();
    const std::string target = SnapShotPath(name + ".snp");
    if (FileExist(target) && Tell("This snapshot already exists! Replace with new one?", PromptIcon::Question,
                                  PromptButtons::YesNo, {}, PromptAnswer::Yes) != PromptAnswer::Yes)
        return;
    try {
        service_.SaveSnapshot(read, target);
        RefreshSnapShotList();
        const auto saved = FLSnapShots->findItems(name + ".snp", Qt::MatchExactly);
        if (!saved.isEmpty()) FLSnapShots->setCurrentItem(saved.front());
        Tell("The snapshot was saved as " + QFile::decodeName(QByteArray::fromStdString(target)) + ".",
             PromptIcon::Information, PromptButtons::Ok, "Snapshot saved");
    } catch (const TablorError& error) {
        RefreshSnapShotList();
        Tell(QString::fromStdString(error.PromptText()), PromptIcon::Warning);
    }
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
    // A comparison that found nothing is reported as one: the two sides are alike.
    if (!compared_) {
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
    ReportRequest request;
    request.templatePath = templatePath;
    request.targetPath = target;
    request.side1Name = Std(Object1Name);
    request.side2Name = Std(Object2Name);
    request.optionsText = comparedOptions_;
    request.readInPartNote = comparedNote_;
    // Rows are made as the report asks for them, in the order shown.
    request.rowCount = static_cast<std::size_t>(differences->rowCount());
    request.rowAt = [this](std::size_t i) { return differences->At(i); };
    if (service_.WriteReport(request))
        Tell("The report was saved as " + *chosen + ".", PromptIcon::Information, PromptButtons::Ok,
             "Report saved");
}

void Main::ReadComparedDefinitions() {
    std::array<SideDescription, 2> sides{comparedSides_[0].description, comparedSides_[1].description};
    std::array<bool, 2> again{};
    QStringList names;
    for (std::size_t i = 0; i < sides.size(); ++i) {
        if (!sides[i].IsLive() || sides[i].live.readDefinitions) continue;
        sides[i].live.readDefinitions = again[i] = true;
        names.append(QString::fromStdString(sides[i].displayName));
    }
    if (names.isEmpty()) return;
    std::optional<BusyScope> busy(std::in_place, *this, "Reading the definitions of " + names.join(" and "));
    pump_.Now();
    std::array<SideRead, 2> reads;
    ReadOffThread([&](const ProgressCallback& progress, const CancellationToken& cancel) {
        for (std::size_t i = 0; i < sides.size(); ++i)
            if (again[i]) reads[i] = service_.Read(sides[i], progress, cancel);
    });
    // Kept, so that the next script of this comparison reads nothing.
    for (std::size_t i = 0; i < sides.size(); ++i)
        if (again[i])
            release_.Drop(std::make_shared<ComparedSide>(
                std::exchange(comparedSides_[i], ComparedSide{std::move(sides[i]), std::move(reads[i])})));
}

void Main::ScriptCommand() {
    if (busy_) return;
    if (!compared_) {
        Tell("Please make a comparison first: the script makes one compared object like the other.",
             PromptIcon::Information, PromptButtons::Ok, "Migration Script");
        return;
    }
    // A side that lacks what it could not read would be made whole by dropping and adding.
    if (!comparedNote_.empty()) {
        Tell("No migration script is made from this comparison: " + QString::fromStdString(comparedNote_),
             PromptIcon::Warning, PromptButtons::Ok, "Migration Script");
        return;
    }
    // Names are enough to compare; a script needs each column's and object's definition.
    ReadComparedDefinitions();
    const ScriptDialog::Build build = [this](bool firstLikeSecond, bool allowDrop) {
        const SideRead& first = comparedSides_[0].read;
        const SideRead& second = comparedSides_[1].read;
        return firstLikeSecond ? service_.Script(first, second, comparedWith_, std::nullopt, allowDrop)
                               : service_.Script(second, first, comparedWith_, std::nullopt, allowDrop);
    };
    MigrationScript script;
    try {
        script = build(false, false);
    } catch (const TablorError& error) {
        Tell("No migration script can be made: " + QString::fromStdString(error.Description()) + ".",
             PromptIcon::Warning, PromptButtons::Ok, "Migration Script");
        return;
    }
    ScriptDialog dialog(Object1Name, Object2Name, script, build, prompt_, Dialog, this);
    dialog.exec();
}

}  // namespace tablor::gui

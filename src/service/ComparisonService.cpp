#include "service/ComparisonService.hpp"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <array>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "migrate/MigrationPlanner.hpp"
#include "report/HtmlReport.hpp"
#include "support/AppPaths.hpp"
#include "support/FileIO.hpp"
#include "support/FileStep.hpp"
#include "support/TextEncoding.hpp"

namespace tablor {
namespace {

// Hands questions to the caller's prompt, reports progress and stops the read between rows
// once the operation is cancelled.
class OperationPrompt : public UserPrompt {
  public:
    OperationPrompt(UserPrompt& prompt, const ProgressCallback& progress, const CancellationToken& cancel)
        : prompt_(prompt), progress_(progress), cancel_(cancel) {}

    // A live source's failure to open names the connection only: the driver's words follow.
    void TellDetailsOf(const cConnection& source) { connection_ = &source; }
    // A snapshot's failed steps name the file and the line.
    void TellFileOf(const std::string& path, const cSnapShot& source) {
        snapshotPath_ = &path;
        snapshot_ = &source;
    }
    // The first failed step the user skipped, as the loader told it.
    const std::optional<std::string>& Skipped() const noexcept { return skipped_; }

    PromptAnswer Ask(const PromptMessage& message) override {
        if (connection_ != nullptr && message.text == connection_->LastErrorMessage().text &&
            message.title == connection_->LastErrorMessage().title) {
            const std::string& details = connection_->LastErrorDetails();
            if (details.empty() || message.text.find(details) != std::string::npos)
                return prompt_.Ask(message);
            PromptMessage told = message;
            told.text += "\n" + details;
            return prompt_.Ask(told);
        }
        if (snapshotPath_ == nullptr || message.buttons != PromptButtons::AbortRetryIgnore)
            return prompt_.Ask(message);
        PromptMessage told = message;
        told.text += "\n\nReading " + *snapshotPath_ + LineOf(message.text) +
                     ".\nRetry reads it again, which helps only once the file has been changed. Ignore "
                     "skips what failed and Abort stops reading the file; either way the side is read "
                     "only in part.";
        const PromptAnswer answer = prompt_.Ask(told);
        if (answer == PromptAnswer::Ignore && !skipped_) skipped_ = message.text;
        return answer;
    }
    std::optional<std::string> Input(std::string_view prompt, std::string_view title,
                                     std::string_view proposed) override {
        return prompt_.Input(prompt, title, proposed);
    }
    void Progress(std::string_view section, long rowsRead) override {
        cancel_.ThrowIfCancelled();
        if (progress_) progress_(section, rowsRead);
    }

  private:
    // Only a line's missing parts are the line's fault; a file that ends early or cannot be
    // read is not.
    std::string LineOf(const std::string& failure) const {
        if (failure !=
            FailurePrompt(errors::SubscriptError().Description(), errors::SubscriptOutOfRange).text)
            return {};
        return ", line " + std::to_string(snapshot_->LineBeingRead());
    }

    UserPrompt& prompt_;
    const ProgressCallback& progress_;
    const CancellationToken& cancel_;
    const cConnection* connection_ = nullptr;
    const std::string* snapshotPath_ = nullptr;
    const cSnapShot* snapshot_ = nullptr;
    std::optional<std::string> skipped_;
};

// The path's folder and file names, last first; empty and "." names say nothing about a side.
std::vector<std::string> NamesFromEnd(const std::string& path) {
    std::vector<std::string> names;
    std::size_t end = path.size();
    while (end > 0) {
        const std::size_t slash = path.rfind('/', end - 1);
        const std::size_t begin = slash == std::string::npos ? 0 : slash + 1;
        const std::string name = path.substr(begin, end - begin);
        if (!name.empty() && name != ".") names.push_back(name);
        if (slash == std::string::npos) break;
        end = slash;
    }
    return names;
}

// Two snapshots of one file name in different folders are named by as many trailing folders as
// tell them apart, so that "Not found on" says which side lacks a thing.
void NameSnapshotsApart(SideRead& side1, SideRead& side2) {
    if (side1.snapshotPath.empty() || side2.snapshotPath.empty() || side1.displayName != side2.displayName ||
        SameFile(side1.snapshotPath, side2.snapshotPath))
        return;
    const std::vector<std::string> names1 = NamesFromEnd(side1.snapshotPath);
    const std::vector<std::string> names2 = NamesFromEnd(side2.snapshotPath);
    std::size_t same = 0;
    while (same < names1.size() && same < names2.size() && names1[same] == names2[same]) ++same;
    if (same == names1.size() && same == names2.size()) {
        // Only the way they are written differs ("/x.snp" and "x.snp"): the paths tell them apart.
        side1.displayName = side1.snapshotPath;
        side2.displayName = side2.snapshotPath;
        return;
    }
    const auto suffix = [same](const std::vector<std::string>& names) {
        std::string text;
        for (std::size_t i = std::min(same + 1, names.size()); i-- > 0;)
            text += names[i] + (i > 0 ? "/" : "");
        return text;
    };
    side1.displayName = suffix(names1);
    side2.displayName = suffix(names2);
}

// What a script prints for a live side that could not be read: the message the user was shown,
// and the driver's words when the message leaves them out.
std::string FailureText(const cConnection& connection) {
    const PromptMessage& shown = connection.LastErrorMessage();
    std::string text = shown.title.empty() ? shown.text : shown.title + ": " + shown.text;
    const std::string& details = connection.LastErrorDetails();
    if (!details.empty() && text.find(details) == std::string::npos) text += "\n" + details;
    return text;
}

// How a side is named: as the caller named it, else by its file name or SERVER.DATABASE.
std::string NameOf(const SideDescription& side) {
    if (!side.displayName.empty()) return side.displayName;
    if (!side.IsLive()) return std::filesystem::path(side.snapshotPath).filename().string();
    return side.live.serverName + "." + side.live.databaseName;
}

}  // namespace

std::string ReadInPartNote(const SideRead& side1, const SideRead& side2) {
    std::vector<std::string> sides;
    for (const SideRead* side : {&side1, &side2}) {
        if (!side->ReadInPart()) continue;
        const std::string why = side->abortedBy ? side->abortedBy->PromptText() : *side->skipped;
        sides.push_back(side->displayName + " (" + why + ")");
    }
    if (sides.empty()) return {};
    const bool both = sides.size() == 2;
    return (both ? sides[0] + " and " + sides[1] : sides[0]) + (both ? " were" : " was") +
           " read only in part: differences may be missing, or listed where there are none.";
}

BackgroundRelease::~BackgroundRelease() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void BackgroundRelease::Drop(std::shared_ptr<const void> held) {
    if (!held) return;
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(held));
    if (!thread_.joinable())
        thread_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            for (;;) {
                wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (queue_.empty()) return;
                std::vector<std::shared_ptr<const void>> freed = std::move(queue_);
                queue_.clear();
                lock.unlock();
                freed.clear();
#if defined(__GLIBC__)
                // Freed memory would otherwise stay with the process, scattered between what lives.
                malloc_trim(0);
#endif
                lock.lock();
            }
        });
    wake_.notify_one();
}

ComparisonService::ComparisonService(std::shared_ptr<LiveReader> reader, UserPrompt& prompt,
                                     PartialSnapshots partial)
    : reader_(reader), prompt_(prompt), partial_(partial), workspace_(std::move(reader)) {}

SideRead ComparisonService::ReadInto(const SideDescription& side, coSnapShots& snapshots,
                                     coConnections& connections, UserPrompt& asked,
                                     const ProgressCallback& progress, const CancellationToken& cancel) {
    cancel.ThrowIfCancelled();
    OperationPrompt prompt(asked, progress, cancel);
    SideRead read;
    if (!side.IsLive()) {
        const auto source = [&] {
            std::lock_guard lock(sourcesMutex_);
            return snapshots.Add(side.snapshotPath);
        }();
        prompt.TellFileOf(side.snapshotPath, *source);
        source->Fill(prompt);
        cancel.ThrowIfCancelled();
        if (source->AbortedBy() && partial_ == PartialSnapshots::Fail)
            throw ReportedFailure(
                0, "cannot read " + side.snapshotPath + ": " + source->AbortedBy()->PromptText());
        if (prompt.Skipped() && partial_ == PartialSnapshots::Fail)
            throw ReportedFailure(0, "cannot read " + side.snapshotPath + ": " + *prompt.Skipped());
        read.displayName = NameOf(side);
        read.model = source->MetaData();
        read.server = source->SourceServer;
        read.database = source->SourceDatabase;
        read.sourceText = side.snapshotPath;
        read.snapshotPath = side.snapshotPath;
        read.abortedBy = source->AbortedBy();
        read.skipped = prompt.Skipped();
        return read;
    }
    const ConnectionSettings& settings = side.live;
    const auto source = [&] {
        std::lock_guard lock(sourcesMutex_);
        return connections.Add(settings.serverName, settings.databaseName, settings.userName,
                               settings.password, settings.integratedSecurity, {}, settings.engine);
    }();
    source->QueryTimeoutSeconds = settings.queryTimeoutSeconds;
    source->LoginTimeoutSeconds = settings.loginTimeoutSeconds;
    source->EncryptionLevel = settings.encryption;
    source->TrustServerCertificate = settings.trustServerCertificate;
    source->Schemas = settings.schemas;
    source->QualifyNames = settings.qualifyNames;
    source->ReadDefinitions = settings.readDefinitions;
    prompt.TellDetailsOf(*source);
    if (source->Fill(prompt, cancel) == "ERROR") throw ReportedFailure(0, FailureText(*source));
    read.displayName = NameOf(side);
    read.model = source->MetaData();
    read.server = source->ServerName;
    read.database = source->DatabaseName;
    read.sourceText = source->DisplayConnectionString();
    read.connection = source;
    return read;
}

SideRead ComparisonService::Read(const SideDescription& side, const ProgressCallback& progress,
                                 const CancellationToken& cancel) {
    auto snapshots = std::make_shared<coSnapShots>();
    auto connections = std::make_shared<coConnections>(reader_);
    try {
        SideRead read = ReadInto(side, *snapshots, *connections, prompt_, progress, cancel);
        if (side.IsLive())
            Keep(nullptr, std::move(connections));
        else
            Keep(std::move(snapshots), nullptr);
        return read;
    } catch (...) {
        release_.Drop(std::move(snapshots));
        release_.Drop(std::move(connections));
        throw;
    }
}

void ComparisonService::Keep(std::shared_ptr<coSnapShots> snapshots,
                             std::shared_ptr<coConnections> connections) {
    if (snapshots) release_.Drop(std::exchange(workspace_.SnapShots, std::move(snapshots)));
    if (connections) release_.Drop(std::exchange(workspace_.Connections, std::move(connections)));
}

ComparisonResult ComparisonService::Compare(SideRead side1, SideRead side2, const CompareOptions& options,
                                            const CancellationToken& cancel) {
    NameSnapshotsApart(side1, side2);
    ComparisonResult result{std::move(side1), std::move(side2), nullptr};
    result.differences =
        &workspace_.CompareEng->Compare(*result.side1.model, result.side1.displayName, *result.side2.model,
                                        result.side2.displayName, options, cancel);
    return result;
}

ComparisonResult ComparisonService::Compare(const SideDescription& side1, const SideDescription& side2,
                                            const ProgressCallback& progress, const CancellationToken& cancel,
                                            const CompareOptions& options) {
    auto snapshots = std::make_shared<coSnapShots>();
    auto connections = std::make_shared<coConnections>(reader_);
    try {
        SideRead read1;
        SideRead read2;
        if (side1.IsLive() || side2.IsLive()) {
            std::tie(read1, read2) = ReadAtOnce(side1, side2, *snapshots, *connections, progress, cancel);
        } else {
            // Two files: read one after the other, so that a failed step is asked about in order.
            read1 = ReadInto(side1, *snapshots, *connections, prompt_, progress, cancel);
            read2 = ReadInto(side2, *snapshots, *connections, prompt_, progress, cancel);
        }
        ComparisonResult result = Compare(std::move(read1), std::move(read2), options, cancel);
        Keep(std::move(snapshots), std::move(connections));
        return result;
    } catch (...) {
        release_.Drop(std::move(snapshots));
        release_.Drop(std::move(connections));
        throw;
    }
}

MigrationScript ComparisonService::Script(const SideRead& current, const SideRead& desired,
                                          const CompareOptions& options,
                                          std::optional<SqlDialectKind> dialect, bool allowDrop) const {
    for (const SideRead* side : {&current, &desired}) {
        if (!DefinitionsKnown(*side->model))
            throw TablorError(0, side->displayName +
                                     " holds names only, without the definitions a migration script is made "
                                     "from (a snapshot written before they were recorded): take a new "
                                     "snapshot with tablor-cli snapshot, or use the live database");
    }
    if (!dialect) {
        const std::string& engine1 = current.model->Engine;
        const std::string& engine2 = desired.model->Engine;
        if (!engine1.empty() && !engine2.empty() && engine1 != engine2)
            throw TablorError(0, current.displayName + " is " + engine1 + " and " + desired.displayName +
                                     " is " + engine2 + ": name the dialect of the script with --dialect");
        dialect = DialectNamed(engine1.empty() ? engine2 : engine1);
        if (!dialect)
            throw TablorError(0,
                              "neither side records its engine (snapshots written before it was recorded): "
                              "name the dialect of the script with --dialect");
    }
    MigrationOptions migration;
    migration.dialect = *dialect;
    migration.allowDrop = allowDrop;
    migration.include = options.include;
    migration.exclude = options.exclude;
    MigrationScript script = PlanMigration(*current.model, *desired.model, migration);
    script.currentName = current.displayName;
    script.desiredName = desired.displayName;
    return script;
}

std::pair<SideRead, SideRead> ComparisonService::ReadAtOnce(
    const SideDescription& side1, const SideDescription& side2, coSnapShots& snapshots,
    coConnections& connections, const ProgressCallback& progress, const CancellationToken& cancel) {
    cancel.ThrowIfCancelled();
    // Stopped by the caller, or by the first read that fails.
    CancellationToken stop;
    const auto follow = cancel.OnCancel([&stop] { stop.Cancel(); });
    TwoSideProgress shared(prompt_, progress, {NameOf(side1), NameOf(side2)});
    std::array<SideRead, 2> reads;
    std::mutex failureMutex;
    std::exception_ptr firstFailure;
    const auto readSide = [&](const SideDescription& side, std::size_t index) {
        try {
            reads[index] = ReadInto(
                side, snapshots, connections, shared,
                [&shared, index](std::string_view section, long rows) {
                    shared.Progress(index, section, rows);
                },
                stop);
        } catch (...) {
            {
                // What fails once the reads are stopping (cancelled, or cut off) only follows.
                std::lock_guard lock(failureMutex);
                if (!firstFailure && !stop.IsCancelled()) firstFailure = std::current_exception();
            }
            shared.StopAsking();
            stop.Cancel();
        }
    };
    std::thread second([&] { readSide(side2, 1); });
    readSide(side1, 0);
    second.join();
    if (firstFailure) std::rethrow_exception(firstFailure);
    cancel.ThrowIfCancelled();
    stop.ThrowIfCancelled();
    return {std::move(reads[0]), std::move(reads[1])};
}

void ComparisonService::SaveSnapshot(const SideRead& side, const std::string& path) {
    if (!side.connection)
        throw TablorError(errors::InvalidProcedureCall, "Only a live database is saved as a snapshot");
    side.connection->SaveSnapShot(path);
}

bool ComparisonService::WriteReport(const ReportRequest& request, const CancellationToken& cancel) {
    if (!FileExist(request.templatePath))
        throw TablorError(errors::FileNotFound,
                          "The template file: " + request.templatePath + " was not found");
    std::string templateText;
    if (!RunFileStep(prompt_, [&] { templateText = DecodeFileText(ReadFileBytes(request.templatePath)); }))
        return false;
    cancel.ThrowIfCancelled();
    const std::string document =
        RenderHtmlReport(templateText, request.side1Name, request.side2Name, ReportDate::Today(),
                         request.rowCount, request.rowAt, request.optionsText, request.readInPartNote);
    cancel.ThrowIfCancelled();
    return RunFileStep(prompt_, [&] { WriteFileAtomically(request.targetPath, document); });
}

}  // namespace tablor

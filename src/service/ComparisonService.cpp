#include "service/ComparisonService.hpp"

#include <algorithm>
#include <array>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

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

    PromptAnswer Ask(const PromptMessage& message) override { return prompt_.Ask(message); }
    std::optional<std::string> Input(std::string_view prompt, std::string_view title,
                                     std::string_view proposed) override {
        return prompt_.Input(prompt, title, proposed);
    }
    void Progress(std::string_view section, long rowsRead) override {
        cancel_.ThrowIfCancelled();
        if (progress_) progress_(section, rowsRead);
    }

  private:
    UserPrompt& prompt_;
    const ProgressCallback& progress_;
    const CancellationToken& cancel_;
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
        source->Fill(prompt);
        cancel.ThrowIfCancelled();
        if (source->AbortedBy() && partial_ == PartialSnapshots::Fail)
            throw ReportedFailure(
                0, "cannot read " + side.snapshotPath + ": " + source->AbortedBy()->PromptText());
        read.displayName = NameOf(side);
        read.model = source->MetaData();
        read.server = source->SourceServer;
        read.database = source->SourceDatabase;
        read.sourceText = side.snapshotPath;
        read.snapshotPath = side.snapshotPath;
        read.abortedBy = source->AbortedBy();
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
    SideRead read = ReadInto(side, *snapshots, *connections, prompt_, progress, cancel);
    if (side.IsLive())
        workspace_.Connections = std::move(connections);
    else
        workspace_.SnapShots = std::move(snapshots);
    return read;
}

ComparisonResult ComparisonService::Compare(SideRead side1, SideRead side2, const CompareOptions& options) {
    NameSnapshotsApart(side1, side2);
    ComparisonResult result{std::move(side1), std::move(side2), nullptr};
    result.differences =
        &workspace_.CompareEng->Compare(*result.side1.model, result.side1.displayName, *result.side2.model,
                                        result.side2.displayName, options);
    return result;
}

ComparisonResult ComparisonService::Compare(const SideDescription& side1, const SideDescription& side2,
                                            const ProgressCallback& progress, const CancellationToken& cancel,
                                            const CompareOptions& options) {
    auto snapshots = std::make_shared<coSnapShots>();
    auto connections = std::make_shared<coConnections>(reader_);
    SideRead read1;
    SideRead read2;
    if (side1.IsLive() || side2.IsLive()) {
        std::tie(read1, read2) = ReadAtOnce(side1, side2, *snapshots, *connections, progress, cancel);
    } else {
        // Two files: read one after the other, so that a failed step is asked about in order.
        read1 = ReadInto(side1, *snapshots, *connections, prompt_, progress, cancel);
        read2 = ReadInto(side2, *snapshots, *connections, prompt_, progress, cancel);
    }
    workspace_.SnapShots = std::move(snapshots);
    workspace_.Connections = std::move(connections);
    return Compare(std::move(read1), std::move(read2), options);
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

void ComparisonService::WriteReport(const ReportRequest& request, const CancellationToken& cancel) {
    if (!FileExist(request.templatePath))
        throw TablorError(errors::FileNotFound,
                          "The template file: " + request.templatePath + " was not found");
    std::string templateText;
    if (!RunFileStep(prompt_, [&] { templateText = DecodeFileText(ReadFileBytes(request.templatePath)); }))
        return;
    cancel.ThrowIfCancelled();
    const std::string document =
        RenderHtmlReport(templateText, request.side1Name, request.side2Name, ReportDate::Today(),
                         request.rowCount, request.rowAt, request.optionsText);
    cancel.ThrowIfCancelled();
    RunFileStep(prompt_, [&] { WriteFileAtomically(request.targetPath, document); });
}

}  // namespace tablor

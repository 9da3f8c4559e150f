#pragma once
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "compare/CompareOptions.hpp"
#include "compare/coDifferences.hpp"
#include "migrate/MigrationScript.hpp"
#include "report/DifferenceRow.hpp"
#include "service/SideDescription.hpp"
#include "service/TwoSideProgress.hpp"
#include "sources/cConnection.hpp"
#include "sources/cSnapShot.hpp"
#include "sources/qnTablor.hpp"
#include "support/Cancellation.hpp"
#include "support/UserPrompt.hpp"

namespace tablor {

// One side, read.
struct SideRead {
    std::string displayName;
    std::shared_ptr<cMetaData> model;
    // Where it came from, as the structure views head it: for a snapshot the server and
    // database recorded in it and its path, for a live side the server, the database and the
    // connection text with the password masked.
    std::string server;
    std::string database;
    std::string sourceText;
    std::string snapshotPath;                 // snapshots only
    std::shared_ptr<cConnection> connection;  // live sides only: the source a snapshot is saved from
    // For a snapshot whose load the user ended part-way (Abort): why. The model keeps what was
    // loaded.
    std::optional<TablorError> abortedBy;
    // For a snapshot of which the user skipped a failed step (Ignore): the first such failure,
    // as the loader told it. The model lacks what that step would have read.
    std::optional<std::string> skipped;

    // True when the model may lack or misread part of the source.
    bool ReadInPart() const noexcept { return abortedBy.has_value() || skipped.has_value(); }
};

struct ComparisonResult {
    SideRead side1;
    SideRead side2;
    // The engine's list; valid until the service compares again.
    const coDifferences* differences = nullptr;
};

// Says which sides were read only in part and why, so that a list or a report made from them
// does not pass for a whole one; empty when both were read whole.
std::string ReadInPartNote(const SideRead& side1, const SideRead& side2);

// What a report holds and where it goes.
struct ReportRequest {
    std::string templatePath;
    std::string targetPath;
    std::string side1Name;
    std::string side2Name;
    std::size_t rowCount = 0;
    std::function<DifferenceRow(std::size_t)> rowAt;
    // CompareOptions::Describe() of the comparison: a report never hides that it was filtered.
    std::string optionsText;
    // ReadInPartNote of the compared sides: nor that a side was read only in part.
    std::string readInPartNote;
};

// Frees what it is handed on a thread of its own: a large schema takes seconds to free, and
// whoever lets go of it need not wait. The destructor waits until everything is freed.
class BackgroundRelease {
  public:
    BackgroundRelease() = default;
    ~BackgroundRelease();
    BackgroundRelease(const BackgroundRelease&) = delete;
    BackgroundRelease& operator=(const BackgroundRelease&) = delete;

    void Drop(std::shared_ptr<const void> held);

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::shared_ptr<const void>> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

// The one road of every command: a side is described once, then read, two sides compared, a
// snapshot saved or a report written here. The command line, the main window and the
// structure viewer call it; they never fill a source themselves.
//
// Failures are TablorErrors. A failure the prompt has already shown the user is a
// ReportedFailure (its text is what a script prints); OperationCancelled ends an operation whose
// token was cancelled, leaving the workspace's sources as they were (a comparison cancelled
// while comparing empties the engine's list). Each operation may run on a worker thread; the
// prompt is then asked from that thread. Sources the workspace lets go of are freed in the
// background.
class ComparisonService {
  public:
    // What a snapshot load that the user ended part-way gives: the window keeps what was
    // loaded; a script takes it as a failure.
    enum class PartialSnapshots { Keep, Fail };

    ComparisonService(std::shared_ptr<LiveReader> reader, UserPrompt& prompt,
                      PartialSnapshots partial = PartialSnapshots::Keep);

    // Reads one side into a fresh source, which then replaces the workspace's sources of its
    // kind. A live side that cannot be read throws ReportedFailure with the source's message.
    SideRead Read(const SideDescription& side, const ProgressCallback& progress = {},
                  const CancellationToken& cancel = CancellationToken::None());

    // Compares two sides read by Read: what the first has and the second lacks, then the
    // reverse. Two snapshots of one file name in different folders, named by default, are
    // named by as many trailing folders as tell them apart.
    ComparisonResult Compare(SideRead side1, SideRead side2, const CompareOptions& options = {},
                             const CancellationToken& cancel = CancellationToken::None());
    // Reads both sides, then compares them. Nothing in the workspace changes until both are read.
    // When either side is live, the two are read at the same time, each on its own connection:
    // the first failure stops the other read and is the one thrown, and the prompt is asked
    // one question at a time.
    ComparisonResult Compare(const SideDescription& side1, const SideDescription& side2,
                             const ProgressCallback& progress = {},
                             const CancellationToken& cancel = CancellationToken::None(),
                             const CompareOptions& options = {});

    // The script that makes `current`'s structure like `desired`'s, for two sides read with
    // definitions; `options` chooses the objects (include, exclude). The dialect is `dialect`,
    // else the sides' engine. A side without definitions (an older snapshot), or sides of
    // different engines with no dialect named, is a TablorError that says why.
    MigrationScript Script(const SideRead& current, const SideRead& desired, const CompareOptions& options,
                           std::optional<SqlDialectKind> dialect, bool allowDrop) const;

    // Writes a live side's structure to a snapshot file, replacing one that is there.
    void SaveSnapshot(const SideRead& side, const std::string& path);

    // Reads the report template and writes the report; each file step that fails is put to
    // the prompt (Abort/Retry/Ignore). A missing template is a TablorError (FileNotFound).
    // False when the user skipped a step (Ignore) and nothing was written.
    bool WriteReport(const ReportRequest& request,
                     const CancellationToken& cancel = CancellationToken::None());

    // The sources of the last read, and the engine.
    const qnTablor& Workspace() const noexcept { return workspace_; }

  private:
    // Reads into a source added to `snapshots` or `connections`, which the caller puts into
    // the workspace once every side it needs is read.
    SideRead ReadInto(const SideDescription& side, coSnapShots& snapshots, coConnections& connections,
                      UserPrompt& prompt, const ProgressCallback& progress, const CancellationToken& cancel);
    std::pair<SideRead, SideRead> ReadAtOnce(const SideDescription& side1, const SideDescription& side2,
                                             coSnapShots& snapshots, coConnections& connections,
                                             const ProgressCallback& progress,
                                             const CancellationToken& cancel);

    // Puts a command's sources into the workspace, freeing those they replace in the background.
    void Keep(std::shared_ptr<coSnapShots> snapshots, std::shared_ptr<coConnections> connections);

    std::shared_ptr<LiveReader> reader_;
    UserPrompt& prompt_;
    PartialSnapshots partial_;
    // Declared before the workspace, so that it outlives what the workspace hands it.
    BackgroundRelease release_;
    qnTablor workspace_;
    // Two reads at once add their sources to the same collections.
    std::mutex sourcesMutex_;
};

}  // namespace tablor

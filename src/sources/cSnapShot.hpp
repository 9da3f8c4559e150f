#pragma once
#include <memory>
#include <optional>
#include <string>

#include "model/cMetaData.hpp"
#include "support/TablorError.hpp"
#include "support/UserPrompt.hpp"

namespace tablor {

class SnapshotLines;

// The source for one snapshot file: loads it into a schema model and tells which server,
// database and user it was taken from.
class cSnapShot {
  public:
    std::string SourceServer;
    std::string SourceDatabase;
    std::string SourceUser;

    // The loaded schema; created empty on first reading. Holders share it.
    const std::shared_ptr<cMetaData>& MetaData() {
        if (!metaData_) metaData_ = std::make_shared<cMetaData>();
        return metaData_;
    }
    void SetMetaData(std::shared_ptr<cMetaData> value) { metaData_ = std::move(value); }

    // Loads FileName into MetaData. Each failed step is put to the user as an
    // Abort/Retry/Ignore prompt; Abort keeps what was loaded so far (see AbortedBy). Always
    // returns "".
    std::string Fill(UserPrompt& prompt);
    // Loads a snapshot's bytes that are already in memory, as Fill loads the file's.
    std::string FillFromBytes(std::string bytes, UserPrompt& prompt);

    // The failure that the user ended the last load on; nothing when it ran to its end.
    const std::optional<TablorError>& AbortedBy() const noexcept { return abortedBy_; }

    // The line of the file being read, counted from 1; a failed step is on it.
    long LineBeingRead() const noexcept { return lineBeingRead_; }

    const std::string& FileName() const noexcept { return fileName_; }
    void SetFileName(std::string value) { fileName_ = std::move(value); }

  private:
    // Loads the lines; none at all when the file could not be opened and the user went on.
    void Load(SnapshotLines& reader, UserPrompt& prompt);

    std::string fileName_;
    std::shared_ptr<cMetaData> metaData_;
    std::optional<TablorError> abortedBy_;
    long lineBeingRead_ = 0;
};

}  // namespace tablor

#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/cMetaData.hpp"
#include "sources/DatabaseSession.hpp"
#include "support/Cancellation.hpp"
#include "support/UserPrompt.hpp"

namespace tablor {

// The source for one live database: what the user entered, the connection text shown for it,
// and the schema model read from it.
class cConnection {
  public:
    explicit cConnection(std::shared_ptr<LiveReader> reader,
                         DatabaseEngine engine = DatabaseEngine::SqlServer);

    // The connection text built by the last Fill; empty before. It carries the password:
    // show DisplayConnectionString() instead.
    const std::string& ActiveConnectionString() const noexcept { return activeConnectionString_; }
    // The same text with the password replaced by "****"; empty before the first Fill.
    const std::string& DisplayConnectionString() const noexcept { return displayConnectionString_; }

    // The schema; created empty on first reading. Holders share it.
    const std::shared_ptr<cMetaData>& MetaData();
    void SetMetaData(std::shared_ptr<cMetaData> value) { metaData_ = std::move(value); }

    // Reads the schema from the server: "DONE", or "ERROR" after telling the user why
    // ("Error opening the connection! Details:" and the masked connection text, or the
    // data-access layer's description under the title "Error retriving connection data").
    // Progress is reported as rows are read. Once `cancel` is cancelled the read ends with
    // OperationCancelled, the model as it was and nothing told.
    std::string Fill(UserPrompt& prompt, const CancellationToken& cancel = CancellationToken::None());

    // Why the last Fill returned "ERROR", in the data-access layer's words (for an open failure
    // the message only names the connection); empty after "DONE". Holds no password.
    const std::string& LastErrorDetails() const noexcept { return lastErrorDetails_; }
    // The message the user was shown for that failure.
    const PromptMessage& LastErrorMessage() const noexcept { return lastErrorMessage_; }

    // Writes the model as a snapshot file, headed by ServerName, DatabaseName and UserName.
    // A failure is a TablorError.
    void SaveSnapShot(const std::string& FileName);

    std::string DatabaseName;
    bool IntegratedSecurity = false;
    std::string Password;
    std::string UserName;
    std::string ServerName;
    // A query, with the reading of its rows, that takes longer ends the read as a server that
    // stopped answering.
    unsigned QueryTimeoutSeconds = kDefaultQueryTimeoutSeconds;
    // A login that takes longer ends the same way.
    unsigned LoginTimeoutSeconds = kDefaultLoginTimeoutSeconds;
    // SQL Server's encryption and certificate check; unset, the driver decides.
    Encryption EncryptionLevel = Encryption::Default;
    std::optional<bool> TrustServerCertificate;
    // The schemas read, as the server stores their names; empty reads all.
    std::vector<std::string> Schemas;
    // Names every object SCHEMA.NAME.
    bool QualifyNames = false;
    // Reads what the catalogue tells beyond names too.
    bool ReadDefinitions = false;

    DatabaseEngine Engine() const noexcept { return engine_; }

  private:
    std::shared_ptr<LiveReader> reader_;
    DatabaseEngine engine_;
    std::string activeConnectionString_;
    std::string displayConnectionString_;
    std::string lastErrorDetails_;
    PromptMessage lastErrorMessage_;
    std::shared_ptr<cMetaData> metaData_;
};

}  // namespace tablor

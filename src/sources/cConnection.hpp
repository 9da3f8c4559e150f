#pragma once
#include <memory>
#include <string>

#include "model/cMetaData.hpp"
#include "sources/DatabaseSession.hpp"
#include "support/UserPrompt.hpp"

namespace tablor {

// The source for one live database: what the user entered, the connection text shown for it,
// and the schema model read from it.
class cConnection {
public:
    explicit cConnection(std::shared_ptr<DatabaseConnector> connector,
                         DatabaseEngine engine = DatabaseEngine::SqlServer);

    // The connection text built by the last Fill; empty before. It carries the password:
    // show DisplayConnectionString() instead.
    const std::string& ActiveConnectionString() const noexcept { return activeConnectionString_; }
    // The same text with the password replaced by "****".
    std::string DisplayConnectionString() const;

    // The schema; created empty on first reading. Holders share it.
    const std::shared_ptr<cMetaData>& MetaData();
    void SetMetaData(std::shared_ptr<cMetaData> value) { metaData_ = std::move(value); }

    // Reads the schema from the server: "DONE", or "ERROR" after telling the user why.
    std::string Fill(UserPrompt& prompt);

    // Writes the model as a snapshot file. A failure is a TablorError.
    void SaveSnapShot(const std::string& FileName);

    std::string DatabaseName;
    bool IntegratedSecurity = false;
    std::string Password;
    std::string UserName;
    std::string ServerName;

    DatabaseEngine Engine() const noexcept { return engine_; }

private:
    std::shared_ptr<DatabaseConnector> connector_;
    DatabaseEngine engine_;
    std::string activeConnectionString_;
    std::shared_ptr<cMetaData> metaData_;
};

}  // namespace tablor

#include "sources/cConnection.hpp"

#include "sources/ConnectionText.hpp"
#include "sources/SchemaExtraction.hpp"
#include "sources/SchemaQueries.hpp"
#include "sources/SnapshotWriter.hpp"
#include "support/TablorError.hpp"

namespace tablor {
namespace {

std::string DescriptionOf(const std::exception& error) {
    if (const auto* database = dynamic_cast<const DatabaseError*>(&error)) return database->Description();
    if (const auto* tablor = dynamic_cast<const TablorError*>(&error)) return tablor->Description();
    return error.what();
}

PromptMessage Warning(std::string text, std::string title) {
    PromptMessage message;
    message.text = std::move(text);
    message.title = std::move(title);
    message.icon = PromptIcon::Warning;
    message.buttons = PromptButtons::Ok;
    return message;
}

}  // namespace

cConnection::cConnection(std::shared_ptr<DatabaseConnector> connector, DatabaseEngine engine)
    : connector_(std::move(connector)), engine_(engine) {}

const std::shared_ptr<cMetaData>& cConnection::MetaData() {
    if (!metaData_) metaData_ = std::make_shared<cMetaData>();
    return metaData_;
}

std::string cConnection::Fill(UserPrompt& prompt) {
    ConnectionSettings settings;
    settings.engine = engine_;
    settings.serverName = ServerName;
    settings.databaseName = DatabaseName;
    settings.userName = UserName;
    settings.password = Password;
    settings.integratedSecurity = IntegratedSecurity;
    settings.queryTimeoutSeconds = QueryTimeoutSeconds;
    activeConnectionString_ = BuildConnectionText(settings);
    displayConnectionString_ = BuildDisplayConnectionText(settings);
    lastErrorDetails_.clear();

    std::unique_ptr<DatabaseSession> session;
    try {
        session = connector_->Open(settings);
    } catch (const std::exception& error) {
        lastErrorDetails_ = DescriptionOf(error);
        prompt.Ask(Warning("Error opening the connection! Details:" + displayConnectionString_, "Error"));
        return "ERROR";
    }

    try {
        SchemaExtraction extraction;
        extraction.Read(*session, SchemaQueries::For(engine_), prompt);
        session->Close();
        session.reset();
        extraction.Apply(*MetaData());
    } catch (const std::exception& error) {
        if (session) session->Close();
        lastErrorDetails_ = DescriptionOf(error);
        prompt.Ask(Warning(lastErrorDetails_, "Error retriving connection data"));
        return "ERROR";
    }
    return "DONE";
}

void cConnection::SaveSnapShot(const std::string& FileName) {
    WriteSnapshot(FileName, SnapshotHeader{ServerName, DatabaseName, UserName}, *MetaData());
}

}  // namespace tablor

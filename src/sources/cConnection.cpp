#include "sources/cConnection.hpp"

#include "sources/ConnectionText.hpp"
#include "sources/SnapshotWriter.hpp"
#include "support/TablorError.hpp"

namespace tablor {
namespace {

std::string DescriptionOf(const std::exception& error) {
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

cConnection::cConnection(std::shared_ptr<LiveReader> reader, DatabaseEngine engine)
    : reader_(std::move(reader)), engine_(engine) {}

const std::shared_ptr<cMetaData>& cConnection::MetaData() {
    if (!metaData_) metaData_ = std::make_shared<cMetaData>();
    return metaData_;
}

std::string cConnection::Fill(UserPrompt& prompt, const CancellationToken& cancel) {
    ConnectionSettings settings;
    settings.engine = engine_;
    settings.serverName = ServerName;
    settings.databaseName = DatabaseName;
    settings.userName = UserName;
    settings.password = Password;
    settings.integratedSecurity = IntegratedSecurity;
    settings.queryTimeoutSeconds = QueryTimeoutSeconds;
    settings.loginTimeoutSeconds = LoginTimeoutSeconds;
    settings.encryption = EncryptionLevel;
    settings.trustServerCertificate = TrustServerCertificate;
    settings.schemas = Schemas;
    settings.qualifyNames = QualifyNames;
    settings.readDefinitions = ReadDefinitions;
    settings.cancel = &cancel;
    activeConnectionString_ = BuildConnectionText(settings);
    displayConnectionString_ = BuildDisplayConnectionText(settings);
    lastErrorDetails_.clear();
    lastErrorMessage_ = {};
    const auto fail = [&](const std::exception& error, PromptMessage message) {
        // A cancelled read broke off on purpose: whatever the driver made of it is no failure.
        cancel.ThrowIfCancelled();
        lastErrorDetails_ = DescriptionOf(error);
        lastErrorMessage_ = std::move(message);
        prompt.Ask(lastErrorMessage_);
        return "ERROR";
    };

    try {
        reader_->ReadSchema(settings, *MetaData(), prompt);
        MetaData()->Engine = std::string(EngineName(engine_));
    } catch (const SessionOpenError& error) {
        return fail(error,
                    Warning("Error opening the connection! Details:" + displayConnectionString_, "Error"));
    } catch (const std::exception& error) {
        return fail(error, Warning(DescriptionOf(error), "Error retriving connection data"));
    }
    return "DONE";
}

void cConnection::SaveSnapShot(const std::string& FileName) {
    WriteSnapshot(FileName, SnapshotHeader{ServerName, DatabaseName, UserName}, *MetaData());
}

}  // namespace tablor

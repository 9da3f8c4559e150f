#include "sources/DatabaseSession.hpp"

#include "sources/SchemaExtraction.hpp"
#include "sources/SchemaQueries.hpp"

namespace tablor {

void DatabaseConnector::ReadSchema(const ConnectionSettings& settings, cMetaData& model, UserPrompt& prompt) {
    settings.cancel->ThrowIfCancelled();
    std::unique_ptr<DatabaseSession> session;
    try {
        session = Open(settings);
    } catch (const DatabaseError& error) {
        throw SessionOpenError(error);
    } catch (const std::exception& error) {
        throw SessionOpenError(DatabaseError(error.what()));
    }
    SchemaExtraction extraction;
    extraction.SetSchemas(settings.schemas);
    extraction.SetQualifyNames(settings.qualifyNames);
    extraction.SetReadDefinitions(settings.readDefinitions);
    try {
        extraction.Read(*session, SchemaQueries::For(settings.engine), prompt);
    } catch (...) {
        session->Close();
        throw;
    }
    session->Close();
    extraction.Apply(model);
}

}  // namespace tablor

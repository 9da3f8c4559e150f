#include "sources/ConnectionText.hpp"

#include <string_view>

namespace tablor {
namespace {

std::string_view ProviderOf(DatabaseEngine engine) {
    switch (engine) {
        case DatabaseEngine::PostgreSql:
            return "PostgreSQL";
        case DatabaseEngine::MySql:
            return "MySQL";
        case DatabaseEngine::SqlServer:
            break;
    }
    return "SQLOLEDB.1";
}

std::string Build(const ConnectionSettings& settings, std::string_view password) {
    std::string text = "Provider=";
    text += ProviderOf(settings.engine);
    if (settings.integratedSecurity) {
        text += ";Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=";
    } else {
        text += ";Persist Security Info=False;User ID=";
        text += settings.userName;
        text += ";password=";
        text += password;
        text += ";Initial Catalog=";
    }
    text += settings.databaseName;
    text += ";Data Source=";
    text += settings.serverName;
    return text;
}

}  // namespace

std::string BuildConnectionText(const ConnectionSettings& settings) {
    return Build(settings, settings.password);
}

// Masked even when empty, so the text does not tell whether a password was given.
std::string BuildDisplayConnectionText(const ConnectionSettings& settings) {
    return Build(settings, "****");
}

}  // namespace tablor

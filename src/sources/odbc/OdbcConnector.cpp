#include "sources/odbc/OdbcConnector.hpp"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "sources/OdbcConnectionString.hpp"
#include "sources/odbc/OdbcDiagnostics.hpp"
#include "sources/odbc/OdbcLink.hpp"
#include "sources/odbc/OdbcSession.hpp"
#include "sources/odbc/WideText.hpp"

namespace tablor {
namespace {

std::string EnvironmentOr(const char* name, std::string_view fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : std::string(fallback);
}

// Clears a connection string's buffer, which holds the password, however the call ends.
class WipedOnExit {
  public:
    explicit WipedOnExit(std::vector<SQLWCHAR>& text) : text_(text) {}
    ~WipedOnExit() { odbc::Wipe(text_); }
    WipedOnExit(const WipedOnExit&) = delete;
    WipedOnExit& operator=(const WipedOnExit&) = delete;

  private:
    std::vector<SQLWCHAR>& text_;
};

// FreeTDS gives up on a login that encryption broke with no word of why: a server that offers
// none when it is required leaves "connection failed" alone; one that wants it but whose
// handshake fails leaves the end of the stream or a TLS complaint. Said here in the address's
// terms, with the driver's text kept.
DatabaseError ExplainedLoginFailure(const ConnectionSettings& settings, DatabaseError error) {
    if (settings.engine != DatabaseEngine::SqlServer) return error;
    const std::string& text = error.Description();
    if (text.find("Adaptive Server connection failed") == std::string::npos) return error;
    const bool required =
        settings.encryption == Encryption::Require || settings.encryption == Encryption::Strict;
    const bool handshake = text.find("EOF") != std::string::npos || text.find("TLS") != std::string::npos ||
                           text.find("SSL") != std::string::npos ||
                           text.find("certificate") != std::string::npos;
    std::string why;
    if (required && !handshake)
        why = "does not offer encryption, which encrypt=" + std::string(EncryptionWord(settings.encryption)) +
              " in the address asks for.";
    else if (handshake)
        why =
            "ended the login, as a server that requires encryption does when it cannot be set up: check "
            "encrypt= (request or require) and trustServerCertificate= in the address.";
    else
        return error;
    return DatabaseError("The server " + settings.serverName + " " + why + "\n" + text, error.SqlState(),
                         error.NativeCode());
}

}  // namespace

OdbcOptions OdbcOptions::FromEnvironment() {
    OdbcOptions options;
    options.sqlServerDriver = EnvironmentOr("TABLOR_ODBC_DRIVER", kDefaultSqlServerDriver);
    options.postgreSqlDriver = EnvironmentOr("TABLOR_ODBC_PG_DRIVER", kDefaultPostgreSqlDriver);
    options.mySqlDriver = EnvironmentOr("TABLOR_ODBC_MYSQL_DRIVER", kDefaultMySqlDriver);
    return options;
}

OdbcConnector::OdbcConnector(OdbcOptions options) : options_(std::move(options)) {
    if (options_.sqlServerDriver.empty()) options_.sqlServerDriver = kDefaultSqlServerDriver;
    if (options_.postgreSqlDriver.empty()) options_.postgreSqlDriver = kDefaultPostgreSqlDriver;
    if (options_.mySqlDriver.empty()) options_.mySqlDriver = kDefaultMySqlDriver;
}

std::unique_ptr<DatabaseSession> OdbcConnector::Open(const ConnectionSettings& settings) {
    using namespace odbc;
    const std::string& driver = settings.engine == DatabaseEngine::PostgreSql ? options_.postgreSqlDriver
                                : settings.engine == DatabaseEngine::MySql    ? options_.mySqlDriver
                                                                              : options_.sqlServerDriver;
    std::string connectionString = BuildOdbcConnectionString(settings, driver);
    std::vector<SQLWCHAR> wide = ToWide(connectionString);
    std::fill(connectionString.begin(), connectionString.end(), '\0');
    WipedOnExit wipe(wide);
    const std::string& secret = settings.password;

    auto link = std::make_shared<OdbcLink>();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, link->environment.Receive())))
        throw DatabaseError("The ODBC driver manager could not be started.");
    Check(SQLSetEnvAttr(link->environment.Get(), SQL_ATTR_ODBC_VERSION, IntegerAttribute(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, link->environment.Get(), "The ODBC driver manager refused ODBC 3.");
    Check(SQLAllocHandle(SQL_HANDLE_DBC, link->environment.Get(), link->connection.Receive()), SQL_HANDLE_ENV,
          link->environment.Get(), "No ODBC connection could be created.");
    SQLHDBC connection = link->connection.Get();
    Check(SQLSetConnectAttrW(connection, SQL_ATTR_LOGIN_TIMEOUT,
                             IntegerAttribute(settings.loginTimeoutSeconds), SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, connection, "The login timeout could not be set.");

    link->serverName = settings.serverName;
    link->queryTimeoutSeconds = settings.queryTimeoutSeconds;
    link->narrowUtf8 = settings.engine == DatabaseEngine::MySql;
    // The driver's login timeout holds for each read only; the program's deadline for the reader
    // holds for the whole login.
    const SQLRETURN rc = SQLDriverConnectW(connection, nullptr, wide.data(), SQL_NTS, nullptr, 0, nullptr,
                                           SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        DatabaseError error =
            ErrorFrom(SQL_HANDLE_DBC, connection, "The connection could not be opened.", secret);
        if (error.SqlState() == "HYT00")
            throw StoppedAnswering(settings.serverName, "the login did not complete within " +
                                                            std::to_string(settings.loginTimeoutSeconds) +
                                                            " seconds.");
        throw ExplainedLoginFailure(settings, std::move(error));
    }
    link->connected = true;
    return std::make_unique<OdbcSession>(std::move(link), secret);
}

}  // namespace tablor

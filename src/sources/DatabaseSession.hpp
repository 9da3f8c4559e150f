#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sources/DatabaseError.hpp"
#include "support/Cancellation.hpp"

namespace tablor {

// The small record-set interface that extraction reads through. The ODBC adapter implements
// it; tests may script it. Failures are DatabaseError exceptions.
class RecordSet {
  public:
    virtual ~RecordSet() = default;
    // Moves to the next row; false when no row is left. Call once before the first row.
    virtual bool Next() = 0;
    // The value of the named column in the current row (names ignore letter case, since some
    // drivers report them in lower case); nothing for NULL. A column the result does not have
    // is a DatabaseError.
    virtual std::optional<std::string> Value(std::string_view column) = 0;
};

class DatabaseSession {
  public:
    virtual ~DatabaseSession() = default;
    // Runs a query and returns its rows, read forward only. One record set is open at a time:
    // read it to its end or drop it before the next query.
    virtual std::unique_ptr<RecordSet> Query(const std::string& sql) = 0;
    // Ends the session; never fails.
    virtual void Close() noexcept = 0;
};

// Which kind of server a live source talks to; it decides the driver and the queries.
enum class DatabaseEngine { SqlServer, PostgreSql, MySql };

// The engine's word in snapshots and on the command line.
inline std::string_view EngineName(DatabaseEngine engine) {
    switch (engine) {
        case DatabaseEngine::PostgreSql:
            return "postgresql";
        case DatabaseEngine::MySql:
            return "mysql";
        default:
            return "sqlserver";
    }
}

// How long one query, with the reading of its rows, may take before the server is taken to
// have stopped answering.
inline constexpr unsigned kDefaultQueryTimeoutSeconds = 300;

// How long the login, from the first packet to the session being ready, may take.
inline constexpr unsigned kDefaultLoginTimeoutSeconds = 15;

// How SQL Server's traffic is encrypted; Default leaves it to the driver, as it was before
// the address could say.
enum class Encryption { Default, Off, Request, Require, Strict };

// The address's word for a level ("off", "request", ...); empty for Default.
inline std::string_view EncryptionWord(Encryption encryption) {
    switch (encryption) {
        case Encryption::Off:
            return "off";
        case Encryption::Request:
            return "request";
        case Encryption::Require:
            return "require";
        case Encryption::Strict:
            return "strict";
        case Encryption::Default:
            break;
    }
    return {};
}

// What opening a session needs. The password lives here only as long as the settings do.
struct ConnectionSettings {
    DatabaseEngine engine = DatabaseEngine::SqlServer;
    std::string serverName;  // host, host\instance or host,port (host:port also for PostgreSQL and MySQL)
    std::string databaseName;
    std::string userName;
    std::string password;
    bool integratedSecurity = false;
    unsigned queryTimeoutSeconds = kDefaultQueryTimeoutSeconds;
    unsigned loginTimeoutSeconds = kDefaultLoginTimeoutSeconds;
    // SQL Server only. Whether the server's certificate is taken without checking; unset, the
    // driver's own rule holds.
    Encryption encryption = Encryption::Default;
    std::optional<bool> trustServerCertificate;
    // Only these schemas are read (names as the server stores them); none, all of them.
    std::vector<std::string> schemas;
    // Objects are named SCHEMA.NAME, so that same-named ones of two schemas stay apart.
    bool qualifyNames = false;
    // What each engine's catalogue tells beyond names is read too (SchemaQueries::definitions).
    bool readDefinitions = false;
    // Cancelling it ends the read: at once for a reader process, between rows in this process.
    const CancellationToken* cancel = &CancellationToken::None();
};

class cMetaData;
class UserPrompt;

// A session could not be opened, the login included: nothing was read.
class SessionOpenError : public DatabaseError {
  public:
    explicit SessionOpenError(const DatabaseError& error) : DatabaseError(error) {}
};

// Reads a live database's structure into a model.
class LiveReader {
  public:
    virtual ~LiveReader() = default;
    // Fills `model` from the database the settings name. A session that cannot be opened is a
    // SessionOpenError, a read that fails another TablorError; progress goes to the prompt as
    // rows are read. Cancelling settings.cancel ends the read with OperationCancelled. The model
    // changes only once every query has been read.
    virtual void ReadSchema(const ConnectionSettings& settings, cMetaData& model, UserPrompt& prompt) = 0;
};

class DatabaseConnector : public LiveReader {
  public:
    // Opens a session; a failure is a DatabaseError whose text holds no password.
    virtual std::unique_ptr<DatabaseSession> Open(const ConnectionSettings& settings) = 0;
    // Reads in this process, over a session it opens: what the reader process does, and what
    // tests of the extraction use. Cancel is seen between rows only.
    void ReadSchema(const ConnectionSettings& settings, cMetaData& model, UserPrompt& prompt) override;
};

}  // namespace tablor

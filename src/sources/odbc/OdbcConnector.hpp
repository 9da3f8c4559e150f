#pragma once
#include <memory>
#include <string>

#include "sources/DatabaseSession.hpp"

namespace tablor {

// How live sessions are opened through unixODBC.
struct OdbcOptions {
    std::string sqlServerDriver;   // registered driver name; FreeTDS unless told otherwise
    std::string postgreSqlDriver;  // psqlODBC's Unicode driver unless told otherwise
    std::string mySqlDriver;       // MariaDB Connector/ODBC unless told otherwise

    // The defaults, with TABLOR_ODBC_DRIVER naming another SQL Server driver and
    // TABLOR_ODBC_PG_DRIVER another PostgreSQL one, TABLOR_ODBC_MYSQL_DRIVER another MySQL one.
    static OdbcOptions FromEnvironment();
};

// Opens live sessions through unixODBC.
class OdbcConnector : public DatabaseConnector {
  public:
    explicit OdbcConnector(OdbcOptions options = OdbcOptions::FromEnvironment());

    std::unique_ptr<DatabaseSession> Open(const ConnectionSettings& settings) override;

    const OdbcOptions& Options() const noexcept { return options_; }

  private:
    OdbcOptions options_;
};

}  // namespace tablor

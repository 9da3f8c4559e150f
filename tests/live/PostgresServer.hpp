#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "sources/DatabaseSession.hpp"
#include "sources/OdbcConnectionString.hpp"
#include "sources/odbc/OdbcConnector.hpp"

namespace tablor::testing {

// The PostgreSQL that pg_fixture.sh started for these tests, as its state file describes it.
// The test databases and roles are those of pg_databases.sql.
struct PostgresServer {
    std::string host;
    std::string port;
    std::string user;
    std::string password;

    static const PostgresServer& Get() {
        static const PostgresServer server = Load();
        return server;
    }

    // psqlODBC as installed, whatever the environment of the one running the tests says.
    static OdbcOptions Driver() {
        OdbcOptions options;
        options.sqlServerDriver = std::string(kDefaultSqlServerDriver);
        options.postgreSqlDriver = std::string(kDefaultPostgreSqlDriver);
        return options;
    }

    std::string ServerName() const { return host + ":" + port; }

    ConnectionSettings Settings(std::string database) const {
        ConnectionSettings settings;
        settings.engine = DatabaseEngine::PostgreSql;
        settings.serverName = ServerName();
        settings.databaseName = std::move(database);
        settings.userName = user;
        settings.password = password;
        return settings;
    }

    // postgresql://user@host:port/database
    std::string Address(const std::string& database, const std::string& as = {}) const {
        return "postgresql://" + (as.empty() ? user : as) + "@" + host + ":" + port + "/" + database;
    }

  private:
    static PostgresServer Load() {
        // The fixture's file, unless TABLOR_PG_STATE names another server's.
        const char* path = std::getenv("TABLOR_PG_STATE");
        if (path == nullptr || *path == '\0') path = TABLOR_PG_STATE_FILE;
        std::map<std::string, std::string> values;
        {
            std::ifstream in(path);
            for (std::string line; std::getline(in, line);) {
                const auto equals = line.find('=');
                if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
            }
        }
        // Run through ctest, which starts the server first (fixture live_postgres).
        if (values.count("TABLOR_PG_PORT") == 0) {
            ADD_FAILURE() << "no PostgreSQL for the tests: run them with ctest, or start one with "
                             "tests/live/pg_fixture.sh start FILE and set TABLOR_PG_STATE=FILE";
            return {};
        }
        return {values["TABLOR_PG_HOST"], values["TABLOR_PG_PORT"], values["TABLOR_PG_USER"],
                values["TABLOR_PG_PASSWORD"]};
    }
};

}  // namespace tablor::testing

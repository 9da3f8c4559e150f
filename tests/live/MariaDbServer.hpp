#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "sources/OdbcConnectionString.hpp"
#include "sources/odbc/OdbcConnector.hpp"

namespace tablor::testing {

// The server of the fixture's state file (or of TABLOR_MY_STATE); its databases and logins are
// those of mariadb_databases.sql.
struct MariaDbServer {
    std::string host, port, user, password;

    static const MariaDbServer& Get() {
        static const MariaDbServer server = [] {
            const char* path = std::getenv("TABLOR_MY_STATE");
            if (path == nullptr || *path == '\0') path = TABLOR_MY_STATE_FILE;
            std::map<std::string, std::string> values;
            std::ifstream in(path);
            for (std::string line; std::getline(in, line);) {
                const auto equals = line.find('=');
                if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
            }
            if (values.count("TABLOR_MY_PORT") == 0)
                ADD_FAILURE() << "no MariaDB for the tests: run them with ctest, or start one with "
                                 "tests/live/mariadb_fixture.sh start FILE and set TABLOR_MY_STATE=FILE";
            return MariaDbServer{values["TABLOR_MY_HOST"], values["TABLOR_MY_PORT"], values["TABLOR_MY_USER"],
                                 values["TABLOR_MY_PASSWORD"]};
        }();
        return server;
    }

    // The driver as installed, whatever the environment says.
    static OdbcOptions Driver() {
        OdbcOptions options;
        options.mySqlDriver = std::string(kDefaultMySqlDriver);
        return options;
    }

    std::string ServerName() const { return host + ":" + port; }

    std::string Address(const std::string& database) const {
        return "mysql://" + user + "@" + ServerName() + "/" + database;
    }
};

}  // namespace tablor::testing

#pragma once
#include <sql.h>

#include <memory>
#include <string>

#include "sources/DatabaseSession.hpp"
#include "sources/odbc/OdbcHandle.hpp"

namespace tablor::odbc {

// One open ODBC connection and its environment. Shared by a session and its record sets, so
// that a statement is always freed before the connection it runs on.
struct OdbcLink {
    EnvironmentHandle environment;
    ConnectionHandle connection;
    bool connected = false;
    std::string serverName;  // for messages
    unsigned queryTimeoutSeconds = kDefaultQueryTimeoutSeconds;
    // The driver hands out text as UTF-8 (the connection's character set), so values are read
    // narrow: the MariaDB driver's wide reads cost it a converter for every value.
    bool narrowUtf8 = false;

    OdbcLink() = default;
    OdbcLink(const OdbcLink&) = delete;
    OdbcLink& operator=(const OdbcLink&) = delete;
    ~OdbcLink() {
        if (connected) SQLDisconnect(connection.Get());
    }
};

}  // namespace tablor::odbc

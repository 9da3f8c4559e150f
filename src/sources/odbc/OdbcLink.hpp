#pragma once
#include <sql.h>

#include "sources/odbc/OdbcHandle.hpp"

namespace tablor::odbc {

// One open ODBC connection and its environment. Shared by a session and its record sets, so
// that a statement is always freed before the connection it runs on.
struct OdbcLink {
    EnvironmentHandle environment;
    ConnectionHandle connection;
    bool connected = false;

    OdbcLink() = default;
    OdbcLink(const OdbcLink&) = delete;
    OdbcLink& operator=(const OdbcLink&) = delete;
    ~OdbcLink() {
        if (connected) SQLDisconnect(connection.Get());
    }
};

}  // namespace tablor::odbc

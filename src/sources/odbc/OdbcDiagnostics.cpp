#include "sources/odbc/OdbcDiagnostics.hpp"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <vector>

#include "sources/odbc/WideText.hpp"

namespace tablor::odbc {

std::string WithoutSecret(std::string text, std::string_view secret) {
    // Drivers do not repeat passwords in their messages; masking a short one wherever its
    // letters happen to stand ("does not e****ist") would give it away instead of hiding it.
    constexpr std::size_t kShortest = 6;
    if (secret.size() < kShortest) return text;
    for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 4))
        text.replace(at, secret.size(), "****");
    return text;
}

DatabaseError ErrorFrom(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
                        std::string_view secret) {
    std::string sqlState;
    long nativeCode = 0;
    std::string messages;
    if (handle != SQL_NULL_HANDLE) {
        for (SQLSMALLINT record = 1; record <= 20; ++record) {
            SQLWCHAR state[6] = {};
            SQLINTEGER native = 0;
            std::vector<SQLWCHAR> message(1024);
            SQLSMALLINT length = 0;
            const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                                                static_cast<SQLSMALLINT>(message.size()), &length);
            if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
                message.resize(static_cast<std::size_t>(length) + 1);
                SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(),
                               static_cast<SQLSMALLINT>(message.size()), &length);
            } else if (!SQL_SUCCEEDED(rc)) {
                break;
            }
            const std::size_t units =
                std::min<std::size_t>(static_cast<std::size_t>(length), message.size() - 1);
            if (record == 1) {
                std::size_t stateLength = 0;
                while (stateLength < 5 && state[stateLength] != 0) ++stateLength;
                sqlState = FromWide(state, stateLength);
                nativeCode = native;
            }
            if (!messages.empty()) messages += '\n';
            messages += FromWide(message.data(), units);
        }
    }
    if (messages.empty()) messages = std::string(what);
    return DatabaseError(WithoutSecret(std::move(messages), secret), std::move(sqlState), nativeCode);
}

void Check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
           std::string_view secret) {
    if (!SQL_SUCCEEDED(rc)) throw ErrorFrom(handleType, handle, what, secret);
}

void CheckAnswered(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
                   std::string_view server, unsigned seconds, std::string_view secret) {
    if (SQL_SUCCEEDED(rc)) return;
    DatabaseError error = ErrorFrom(handleType, handle, what, secret);
    if (error.SqlState() == "HYT00" || error.SqlState() == "HYT01")
        throw StoppedAnswering(server, "no reply within " + std::to_string(seconds) + " seconds.");
    throw error;
}

}  // namespace tablor::odbc

#pragma once
#include <sql.h>

#include <string>
#include <string_view>

#include "sources/DatabaseError.hpp"

namespace tablor::odbc {

// The failure an ODBC call left on its handle, as a DatabaseError: the SQLSTATE and native
// code of the first diagnostic, and every diagnostic's message, one a line. `what` stands in
// when the driver left none. `secret` (the password) is replaced by "****" wherever a driver
// repeats it.
DatabaseError ErrorFrom(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
                        std::string_view secret = {});

// Throws ErrorFrom(...) unless the call succeeded.
void Check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
           std::string_view secret = {});

// Throws unless the call succeeded: the driver's own timeout (HYT00, HYT01) as a server that
// stopped answering within `seconds`, anything else as ErrorFrom(...).
void CheckAnswered(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
                   std::string_view server, unsigned seconds, std::string_view secret = {});

// `text` with every occurrence of `secret` replaced by "****"; a secret shorter than six
// characters is left alone, since masking its chance occurrences in words would reveal it.
std::string WithoutSecret(std::string text, std::string_view secret);

}  // namespace tablor::odbc

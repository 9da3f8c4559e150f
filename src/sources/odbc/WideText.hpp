#pragma once
#include <sqltypes.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tablor::odbc {

// Text goes to and comes from the drivers as UTF-16 through the wide entry points: the narrow
// ones take text in the driver's idea of the local character set, which loses names in other
// scripts.

// UTF-8 to SQLWCHARs, followed by a terminating zero. Malformed bytes become U+FFFD.
std::vector<SQLWCHAR> ToWide(std::string_view utf8);

// SQLWCHARs to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string FromWide(const SQLWCHAR* text, std::size_t length);

// Overwrites a buffer that held a secret before it is released.
void Wipe(std::vector<SQLWCHAR>& text) noexcept;

}  // namespace tablor::odbc

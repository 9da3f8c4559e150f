#pragma once
#include <string>

#include "sources/DatabaseSession.hpp"

namespace tablor {

// The connection text the program shows for a live source, in the OLE DB form its users know:
//   Provider=SQLOLEDB.1;Persist Security Info=False;User ID=u;password=p;Initial Catalog=d;Data Source=s
// or, with integrated security, without user and password. Values go in as they are: the text
// is shown, never parsed.
std::string BuildConnectionText(const ConnectionSettings& settings);

// The same text with the password replaced by "****", for every message, window and log.
std::string BuildDisplayConnectionText(const ConnectionSettings& settings);

}  // namespace tablor

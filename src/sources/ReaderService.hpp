#pragma once
#include <functional>
#include <memory>

#include "sources/DatabaseSession.hpp"
#include "sources/ReaderWire.hpp"

namespace tablor {

// The reader process's side of a live read: takes one request from `socket`, opens a session
// through the connector made for it, runs the catalogue queries and sends the progress, the rows
// and any failure back (ReaderWire). Returns the process's exit status: 0 once the read was
// answered, failures included; 3 when no request came or the program went away.
int ServeReadRequest(
    int socket,
    const std::function<std::shared_ptr<DatabaseConnector>(const wire::ReadRequest&)>& connectorFor);

}  // namespace tablor

#pragma once
#include <memory>

#include "sources/DatabaseSession.hpp"

namespace tablor::gui {

// The connector that live entries read through: the ODBC adapter when the program is built
// with it, otherwise one whose every open fails with a plain explanation.
std::shared_ptr<DatabaseConnector> MakeLiveConnector();

}  // namespace tablor::gui

#pragma once
#include <memory>

#include "sources/DatabaseSession.hpp"

namespace tablor::gui {

// What live entries read through: a reader process per read when the program is built with the
// ODBC adapter, otherwise a reader whose every read fails with a plain explanation.
std::shared_ptr<LiveReader> MakeLiveReader();

}  // namespace tablor::gui

#include "workbench/EventPump.hpp"

#include <QCoreApplication>

namespace tablor::gui {

bool EventPump::Tick() {
    if (!Due()) return false;
    Now();
    return true;
}

void EventPump::Now() {
    QCoreApplication::processEvents();
    last_.start();
}

}  // namespace tablor::gui

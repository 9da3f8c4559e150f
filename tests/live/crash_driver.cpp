// An ODBC driver that crashes as soon as the driver manager calls it, so that tests can see a
// driver take its reader down.
#include <cstdlib>

extern "C" {
__attribute__((visibility("default"))) short SQLAllocHandle(short, void*, void**) {
    std::abort();
}
__attribute__((visibility("default"))) short SQLAllocEnv(void**) {
    std::abort();
}
}

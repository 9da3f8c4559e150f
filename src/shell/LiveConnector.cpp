#include "shell/LiveConnector.hpp"

#ifdef TABLOR_HAVE_ODBC
#include "sources/odbc/OdbcConnector.hpp"
#endif

namespace tablor::gui {
namespace {

[[maybe_unused]] std::shared_ptr<DatabaseConnector> NoDriver() {
    class NoDriverConnector : public DatabaseConnector {
      public:
        std::unique_ptr<DatabaseSession> Open(const ConnectionSettings&) override {
            throw DatabaseError(
                "This build of Tablor has no database driver; only snapshots can be compared.");
        }
    };
    return std::make_shared<NoDriverConnector>();
}

}  // namespace

std::shared_ptr<DatabaseConnector> MakeLiveConnector() {
#ifdef TABLOR_HAVE_ODBC
    return std::make_shared<OdbcConnector>();
#else
    return NoDriver();
#endif
}

}  // namespace tablor::gui

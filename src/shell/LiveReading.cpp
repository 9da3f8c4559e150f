#include "shell/LiveReading.hpp"

#include "sources/ChildProcessReader.hpp"

namespace tablor::gui {
namespace {

[[maybe_unused]] std::shared_ptr<LiveReader> NoDriver() {
    class NoDriverReader : public LiveReader {
      public:
        void ReadSchema(const ConnectionSettings&, cMetaData&, UserPrompt&) override {
            throw SessionOpenError(DatabaseError(
                "This build of Tablor has no database driver; only snapshots can be compared."));
        }
    };
    return std::make_shared<NoDriverReader>();
}

}  // namespace

std::shared_ptr<LiveReader> MakeLiveReader() {
#ifdef TABLOR_HAVE_ODBC
    return std::make_shared<ChildProcessReader>();
#else
    return NoDriver();
#endif
}

}  // namespace tablor::gui

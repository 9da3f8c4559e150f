#pragma once
#include <string>

#include "sources/DatabaseSession.hpp"

namespace tablor {

// Reads each live database in a reader process of the program's own (tablor-reader), which runs
// the same extraction over ODBC and sends the rows back over a socket, with its progress and
// failures. The password travels over that socket only. Cancel, the login deadline and each
// query's deadline end the reader's process group at once, whatever its driver is doing; a driver
// that crashes or hangs takes down its reader only. Two sides are two readers, read in parallel.
class ChildProcessReader : public LiveReader {
  public:
    // The ODBC driver the reader should use for each engine; empty leaves it to the reader (its
    // environment's TABLOR_ODBC_* variables, else the usual drivers).
    struct Drivers {
        std::string sqlServer;
        std::string postgreSql;
        std::string mySql;
    };

    explicit ChildProcessReader(std::string program = DefaultProgram(), Drivers drivers = {});

    void ReadSchema(const ConnectionSettings& settings, cMetaData& model, UserPrompt& prompt) override;

    // tablor-reader beside the running program (a build folder), else in the install's
    // libexec/tablor folder.
    static std::string DefaultProgram();

  private:
    const std::string& DriverFor(DatabaseEngine engine) const;

    std::string program_;
    Drivers drivers_;
};

}  // namespace tablor

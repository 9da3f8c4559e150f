// tablor-reader: reads one live database for the program that started it, over the socket it
// was given as descriptor 3. Nothing else runs the drivers, so a driver that hangs or crashes
// takes only this process with it, and the program can end it at any moment.
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string_view>

#include "sources/ReaderService.hpp"
#include "sources/odbc/OdbcConnector.hpp"
#include "sources/odbc/PrivateDriverConfig.hpp"

namespace {

constexpr int kProgramSocket = 3;

tablor::OdbcOptions DriversFor(const tablor::wire::ReadRequest& request) {
    tablor::OdbcOptions options = tablor::OdbcOptions::FromEnvironment();
    if (!request.driver.empty()) {
        switch (request.settings.engine) {
            case tablor::DatabaseEngine::PostgreSql:
                options.postgreSqlDriver = request.driver;
                break;
            case tablor::DatabaseEngine::MySql:
                options.mySqlDriver = request.driver;
                break;
            case tablor::DatabaseEngine::SqlServer:
                options.sqlServerDriver = request.driver;
                break;
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader never outlives the program that started it, however that program ends.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc != 3 || std::string_view(argv[1]) != "--parent" || ::getppid() != std::atoi(argv[2])) return 3;
    return tablor::ServeReadRequest(kProgramSocket, [](const tablor::wire::ReadRequest& request) {
        const tablor::OdbcOptions options = DriversFor(request);
        tablor::odbc::UsePrivateDriverConfiguration(
            {options.sqlServerDriver, options.postgreSqlDriver, options.mySqlDriver});
        return std::make_shared<tablor::OdbcConnector>(options);
    });
}

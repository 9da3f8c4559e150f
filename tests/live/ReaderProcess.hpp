#pragma once
#include <memory>

#include "sources/ChildProcessReader.hpp"
#include "sources/odbc/OdbcConnector.hpp"

namespace tablor::testing {

// Reads as the programs do: in a tablor-reader process, with these drivers.
inline std::shared_ptr<LiveReader> ReaderProcess(const OdbcOptions& drivers) {
    return std::make_shared<ChildProcessReader>(
        ChildProcessReader::DefaultProgram(),
        ChildProcessReader::Drivers{drivers.sqlServerDriver, drivers.postgreSqlDriver, drivers.mySqlDriver});
}

}  // namespace tablor::testing

// Peak memory of the command line comparing two small snapshots whose tables all share one
// name: 1,000 tables a side, each compared with every table of the other side, give 2 million
// differences. Run with the table count and the format (text or json); prints the peak.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "CountingBuffer.hpp"
#include "cli/CliApp.hpp"

namespace {

// Writes a snapshot of `tables` tables named T, each with the one column `column`.
std::string WriteSameNamedTables(const std::string& path, int tables, const std::string& column) {
    std::ofstream file(path, std::ios::binary);
    file << "srv*db*user*\r\n\r\n\r\n\r\n";
    for (int i = 0; i < tables; ++i) file << ":T\r\n" << column << "*int*\r\n";
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    const int tables = argc > 1 ? std::atoi(argv[1]) : 1000;
    const std::string format = argc > 2 ? argv[2] : "text";
    const std::string folder = argc > 3 ? argv[3] : "/tmp";
    const std::string first = WriteSameNamedTables(folder + "/tablor-quadratic-1.snp", tables, "a");
    const std::string second = WriteSameNamedTables(folder + "/tablor-quadratic-2.snp", tables, "b");

    CountingBuffer counted;
    std::ostream out(&counted);
    std::ostringstream err;
    const int status = tablor::cli::RunCli({"compare", first, second, "--format", format}, out, err,
                                           tablor::cli::CliEnvironment{});
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%d tables a side, %s: exit %d, %lld bytes of output, peak memory %.1f MB\n", tables,
                format.c_str(), status, counted.count, static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::remove(first.c_str());
    std::remove(second.c_str());
    return status == 1 ? 0 : 1;
}

// Peak memory of the command line comparing two large snapshots: 200,000 tables of 16 columns a
// side (about 70 MB each), the pair the window's memory bench uses. The snapshots are written by
// one child process, and each format is compared in a child of its own, whose peak is printed.
//   ./cli_memory_bench [folder]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "CountingBuffer.hpp"
#include "LargeSchemas.hpp"
#include "cli/CliApp.hpp"
#include "sources/SnapshotWriter.hpp"

namespace {

using namespace tablor;

// The exit status of `run` in a child process, and the child's peak resident size in MB.
template <class Run>
std::pair<int, double> InChild(Run&& run) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(run());
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, static_cast<double>(usage.ru_maxrss) / 1024.0};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const std::string first = folder + "/tablor-cli-memory-1.snp";
    const std::string second = folder + "/tablor-cli-memory-2.snp";
    const auto written = InChild([&] {
        const auto [a, b] = testing::GenerateSchemaPair(MemoryShape(), 2026);
        WriteSnapshot(first, {"SRV01", "Sales", "reader"}, *a);
        WriteSnapshot(second, {"SRV01", "Sales", "reader"}, *b);
        return 0;
    });
    if (written.first != 0) return 1;

    int failures = 0;
    for (const char* format : {"text", "json"}) {
        const auto [status, peak] = InChild([&] {
            CountingBuffer counted;
            std::ostream out(&counted);
            std::ostringstream err;
            return cli::RunCli({"compare", first, second, "--format", format}, out, err,
                               cli::CliEnvironment{});
        });
        std::printf("compare --format %s: exit %d, peak memory %.0f MB\n", format, status, peak);
        failures += status == 1 ? 0 : 1;
    }
    std::remove(first.c_str());
    std::remove(second.c_str());
    return failures == 0 ? 0 : 1;
}

// Peak memory with both large schemas loaded from snapshot files, as the window holds them
// during a comparison. Run with a folder: the first run writes the two snapshots in a child
// process, so that generating them does not count; then this process loads and compares them.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "LargeSchemas.hpp"
#include "ScriptedPrompt.hpp"
#include "compare/cCompareEngine.hpp"
#include "sources/SnapshotWriter.hpp"
#include "sources/cSnapShot.hpp"

using namespace tablor;

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const std::string path1 = folder + "/tablor-memory-1.snp";
    const std::string path2 = folder + "/tablor-memory-2.snp";

    const pid_t child = ::fork();
    if (child == 0) {
        const auto [first, second] = testing::GenerateSchemaPair(LargeShape(), 2026);
        WriteSnapshot(path1, {"SRV01", "Sales", "reader"}, *first);
        WriteSnapshot(path2, {"SRV01", "Sales", "reader"}, *second);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;

    cSnapShot first, second;
    first.SetFileName(path1);
    second.SetFileName(path2);
    testing::ScriptedPrompt prompt;
    first.Fill(prompt);
    second.Fill(prompt);
    cCompareEngine engine;
    const long count = engine.Compare(*first.MetaData(), "first", *second.MetaData(), "second").Count();

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("tables %ld + %ld, differences %ld, peak memory %.1f MB\n",
                first.MetaData()->Tables().Count(), second.MetaData()->Tables().Count(), count,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    ::unlink(path1.c_str());
    ::unlink(path2.c_str());
    return 0;
}

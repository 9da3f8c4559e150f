#include <iostream>
#include <string>
#include <vector>

#include "cli/CliApp.hpp"
#include "support/FileIO.hpp"

int main(int argc, char** argv) {
    // Ctrl-C or a shutdown during a write leaves no temporary file and the old target whole.
    tablor::InstallInterruptCleanup();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tablor::cli::RunCli(args, std::cout, std::cerr);
}

#include <iostream>
#include <string>
#include <vector>

#include "cli/CliApp.hpp"
#include "shell/Program.hpp"
#include "support/FileIO.hpp"

int main(int argc, char** argv) {
    // Ctrl-C or a shutdown during a write leaves no temporary file and the old target whole.
    tablor::InstallInterruptCleanup();
    const int status = tablor::gui::RunProgram(argc, argv);
    if (status >= 0) return status;
    // No display to open a window on: do what the command line would.
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "tablor: no display to open the window on; give the arguments of tablor-cli to compare "
                     "from the command line.\n\n"
                  << tablor::cli::UsageText();
        return tablor::cli::kTrouble;
    }
    return tablor::cli::RunCli(args, std::cout, std::cerr);
}

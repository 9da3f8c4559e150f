#include <iostream>
#include <string>
#include <vector>

#include "cli/CliApp.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tablor::cli::RunCli(args, std::cout, std::cerr);
}

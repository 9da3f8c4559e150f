#include "cli/PasswordReader.hpp"

#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>

namespace tablor::cli {
namespace {

// Echo comes back even when the user gives up with Ctrl-C at the prompt.
termios savedTerminal;
volatile std::sig_atomic_t echoOff = 0;

void RestoreAndRaise(int signal) {
    if (echoOff != 0) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt) {
    if (isatty(STDIN_FILENO) == 0) return std::nullopt;
    std::cerr << prompt << std::flush;
    if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return std::nullopt;
    termios quiet = savedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    const auto previousInt = std::signal(SIGINT, RestoreAndRaise);
    const auto previousTerm = std::signal(SIGTERM, RestoreAndRaise);
    echoOff = 1;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);

    std::string password;
    const bool read = static_cast<bool>(std::getline(std::cin, password));

    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    echoOff = 0;
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    std::cerr << "\n";
    if (!read) return std::nullopt;
    return password;
}

}  // namespace tablor::cli

#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace tablor {

// A program of our own running beside this one, talked to over a socket. It runs in a process
// group of its own, so that ending it ends whatever it started, and only the thread that owns
// this object signals and reaps it, so a process number is never signalled after it was
// reaped (and perhaps reused).
class ChildProcess {
  public:
    // Starts `program` with `arguments` (argv[0] first) and `environment` ("NAME=value"). Its
    // descriptor 3 is one end of a socket pair, Socket() the other; its standard input is
    // /dev/null and its standard output goes to this process's standard error, so nothing a
    // library prints can mix with what it sends. A program that cannot be started is a
    // TablorError naming it.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment);
    // Ends the process group and reaps the process when that has not been done.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int Socket() const noexcept { return socket_; }

    // Kills the process group at once (SIGKILL); the process is still to be reaped by Wait.
    void Kill() noexcept;

    // Waits for the process to end and reaps it. Empty when it exited with status 0, else how it
    // ended: "exited with status 3", "was ended by signal 11 (Segmentation fault)".
    std::string Wait();

  private:
    pid_t pid_ = -1;
    int socket_ = -1;
    bool reaped_ = false;
};

// This process's environment, less the variables that hold a password.
std::vector<std::string> EnvironmentWithoutPasswords();

}  // namespace tablor

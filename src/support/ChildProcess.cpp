#include "support/ChildProcess.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string_view>
#include <utility>

#include "support/TablorError.hpp"

extern char** environ;

namespace tablor {
namespace {

constexpr int kChildSocket = 3;

// The descriptor closed when it goes out of scope, unless released.
class OwnedDescriptor {
  public:
    explicit OwnedDescriptor(int fd = -1) : fd_(fd) {}
    ~OwnedDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    OwnedDescriptor(const OwnedDescriptor&) = delete;
    OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
    int Get() const noexcept { return fd_; }
    int Release() noexcept { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

[[noreturn]] void CannotStart(const std::string& program, int error) {
    throw TablorError(0, "The program " + program + " could not be started: " + std::strerror(error));
}

// Spawn attributes and file actions, destroyed however the start ends.
struct SpawnSetup {
    posix_spawnattr_t attributes{};
    posix_spawn_file_actions_t actions{};
    SpawnSetup() {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) CannotStart(program, errno);
    OwnedDescriptor ours(ends[0]);
    OwnedDescriptor theirsLow(ends[1]);
    // Above the standard three and 3 itself, so that moving it to 3 in the child clears its
    // close-on-exec flag; every other descriptor of ours stays closed there.
    OwnedDescriptor theirs(::fcntl(theirsLow.Get(), F_DUPFD_CLOEXEC, 10));
    if (theirs.Get() < 0) CannotStart(program, errno);

    SpawnSetup setup;
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&setup.attributes, &signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD}) sigaddset(&signals, signal);
    posix_spawnattr_setsigdefault(&setup.attributes, &signals);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, theirs.Get(), kChildSocket);
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, kChildSocket + 1);

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (const std::string& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);

    const int error =
        ::posix_spawn(&pid_, program.c_str(), &setup.actions, &setup.attributes, argv.data(), envp.data());
    if (error != 0) {
        pid_ = -1;
        CannotStart(program, error);
    }
    socket_ = ours.Release();
}

ChildProcess::~ChildProcess() {
    if (!reaped_) {
        Kill();
        try {
            Wait();
        } catch (...) {
        }
    }
    if (socket_ >= 0) ::close(socket_);
}

void ChildProcess::Kill() noexcept {
    if (!reaped_ && pid_ > 0) ::kill(-pid_, SIGKILL);
}

std::string ChildProcess::Wait() {
    if (reaped_ || pid_ <= 0) return {};
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0) {
        if (errno != EINTR) {
            reaped_ = true;
            return std::string("could not be waited for: ") + std::strerror(errno);
        }
    }
    reaped_ = true;
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == 0 ? std::string()
                                        : "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = ::sigdescr_np(signal);
        return "was ended by signal " + std::to_string(signal) +
               (name != nullptr ? " (" + std::string(name) + ")" : "");
    }
    return "ended";
}

std::vector<std::string> EnvironmentWithoutPasswords() {
    std::vector<std::string> variables;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        if (variable.starts_with("TABLOR_PASSWORD")) continue;
        variables.emplace_back(variable);
    }
    return variables;
}

}  // namespace tablor

#pragma once
#include <sql.h>
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "sources/DatabaseError.hpp"

namespace tablor::odbc {

struct OdbcLink;

// The sockets one connection's driver opened, and the means to cut them. Drivers time single
// reads only, so a server that trickles bytes or goes quiet would hold a call for ever; shutting
// the socket down makes the blocked read return at once with a link failure.
class SocketWatch {
  public:
    // Only sockets whose peer has this port count as the connection's when it is known, so
    // that a server in the same process keeps its own.
    explicit SocketWatch(std::optional<std::uint16_t> peerPort) : peerPort_(peerPort) {}

    // Logins run one at a time in the process: the sockets that appear while one runs are its
    // own. Between Begin and End, a cut finds them as the sockets that were not open before.
    void BeginLogin();
    void EndLogin() noexcept;

    // Shuts down the connection's sockets; later driver calls on them fail at once.
    void CutOff() noexcept;
    bool WasCutOff() const noexcept { return cutOff_.load(); }

  private:
    using Sockets = std::vector<std::pair<int, ino_t>>;
    Sockets NewSockets() const;

    std::optional<std::uint16_t> peerPort_;
    std::mutex mutex_;
    std::unique_lock<std::mutex> loginTurn_;
    bool loggingIn_ = false;
    Sockets before_;
    Sockets owned_;
    std::atomic<bool> cutOff_{false};
};

// Cuts a connection off when it is still armed after the given time. Disarmed when destroyed.
class Deadline {
  public:
    Deadline() = default;
    // No deadline for zero seconds.
    Deadline(std::shared_ptr<SocketWatch> watch, unsigned seconds);
    ~Deadline() { Disarm(); }
    Deadline(Deadline&&) noexcept = default;
    Deadline& operator=(Deadline&& other) noexcept {
        Disarm();
        state_ = std::move(other.state_);
        return *this;
    }

    void Disarm() noexcept;

  private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        bool disarmed = false;
        std::thread timer;
    };
    std::unique_ptr<State> state_;
};

// "The server SERVER stopped answering: " and why.
DatabaseError StoppedAnswering(std::string_view server, std::string_view why);

// Throws the "stopped answering" error when the link was cut off or the driver timed out,
// else the driver's error, unless the call succeeded.
void CheckAnswered(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
                   const OdbcLink& link, std::string_view secret = {});

}  // namespace tablor::odbc

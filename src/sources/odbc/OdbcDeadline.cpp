#include "sources/odbc/OdbcDeadline.hpp"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

#include "sources/odbc/OdbcDiagnostics.hpp"
#include "sources/odbc/OdbcLink.hpp"

namespace tablor::odbc {
namespace {

// Logins one at a time, so that the sockets a login opens can be told from another's.
std::mutex& LoginTurn() {
    static std::mutex turn;
    return turn;
}

// The inode that identifies the socket open as fd now; a reused number shows another inode.
std::optional<ino_t> SocketInode(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode)) return std::nullopt;
    return status.st_ino;
}

std::optional<std::uint16_t> PeerPort(int fd) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return std::nullopt;
    if (peer.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(peer).sin_port);
    if (peer.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(peer).sin6_port);
    return std::nullopt;
}

bool IsStream(int fd) {
    int type = 0;
    socklen_t length = sizeof type;
    return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_STREAM;
}

std::vector<std::pair<int, ino_t>> OpenSockets() {
    std::vector<std::pair<int, ino_t>> sockets;
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) return sockets;
    const int own = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own) continue;
        if (const auto inode = SocketInode(static_cast<int>(fd)))
            sockets.emplace_back(static_cast<int>(fd), *inode);
    }
    ::closedir(folder);
    return sockets;
}

}  // namespace

void SocketWatch::BeginLogin() {
    std::unique_lock turn(LoginTurn());
    std::lock_guard lock(mutex_);
    loginTurn_ = std::move(turn);
    before_ = OpenSockets();
    loggingIn_ = true;
}

void SocketWatch::EndLogin() noexcept {
    std::lock_guard lock(mutex_);
    try {
        owned_ = NewSockets();
    } catch (...) {
        owned_.clear();  // out of memory: the connection goes without a watch
    }
    before_.clear();
    loggingIn_ = false;
    if (loginTurn_.owns_lock()) loginTurn_.unlock();
}

SocketWatch::Sockets SocketWatch::NewSockets() const {
    Sockets found;
    for (const auto& socket : OpenSockets()) {
        if (std::find(before_.begin(), before_.end(), socket) != before_.end()) continue;
        if (!IsStream(socket.first)) continue;
        if (peerPort_ && PeerPort(socket.first) != peerPort_) continue;
        found.push_back(socket);
    }
    return found;
}

void SocketWatch::CutOff() noexcept {
    std::lock_guard lock(mutex_);
    cutOff_ = true;
    try {
        const Sockets sockets = loggingIn_ ? NewSockets() : owned_;
        for (const auto& [fd, inode] : sockets) {
            // The driver may have closed it and the number gone to another connection.
            if (SocketInode(fd) == inode) ::shutdown(fd, SHUT_RDWR);
        }
    } catch (...) {
        // Out of memory while listing: nothing more can be done from here.
    }
}

Deadline::Deadline(std::shared_ptr<SocketWatch> watch, unsigned seconds) {
    if (seconds == 0 || !watch) return;
    state_ = std::make_unique<State>();
    const auto when = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    State* state = state_.get();
    state_->timer = std::thread([state, when, watch = std::move(watch)] {
        std::unique_lock lock(state->mutex);
        if (!state->wake.wait_until(lock, when, [state] { return state->disarmed; })) watch->CutOff();
    });
}

void Deadline::Disarm() noexcept {
    if (!state_) return;
    {
        std::lock_guard lock(state_->mutex);
        state_->disarmed = true;
    }
    state_->wake.notify_one();
    if (state_->timer.joinable()) state_->timer.join();
    state_.reset();
}

DatabaseError StoppedAnswering(std::string_view server, std::string_view why) {
    return DatabaseError("The server " + std::string(server) + " stopped answering: " + std::string(why),
                         "HYT00");
}

void CheckAnswered(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
                   const OdbcLink& link, std::string_view secret) {
    if (SQL_SUCCEEDED(rc)) return;
    const auto stopped = [&link] {
        return StoppedAnswering(link.serverName,
                                "no reply within " + std::to_string(link.queryTimeoutSeconds) + " seconds.");
    };
    if (link.watch && link.watch->WasCutOff()) throw stopped();
    DatabaseError error = ErrorFrom(handleType, handle, what, secret);
    // The driver's own timeout, where it keeps one, means the same.
    if (error.SqlState() == "HYT00" || error.SqlState() == "HYT01") throw stopped();
    throw error;
}

}  // namespace tablor::odbc

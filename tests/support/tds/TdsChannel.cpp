#include "TdsChannel.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tablor::testing::tds {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::uint8_t kEndOfMessage = 0x01;
constexpr std::uint16_t kSpid = 51;
// Far above anything a test sends; only guards against a runaway peer.
constexpr std::size_t kMaxMessageSize = 16u << 20;

}  // namespace

TdsChannel::TdsChannel(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}

TdsChannel::~TdsChannel() {
    ::close(fd_);
}

bool TdsChannel::waitFor(short events) {
    for (;;) {
        pollfd fds[2] = {{fd_, events, 0}, {wakeFd_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (fds[1].revents != 0) {
            return false;
        }
        // Errors and hang-ups are left for recv/send to report.
        return true;
    }
}

bool TdsChannel::readExact(std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t got = ::recv(fd_, data, size, 0);
        if (got > 0) {
            data += got;
            size -= static_cast<std::size_t>(got);
            continue;
        }
        if (got == 0) {
            return false;
        }
        if (errno == EINTR) {
            continue;
        }
        if ((errno != EAGAIN && errno != EWOULDBLOCK) || !waitFor(POLLIN)) {
            return false;
        }
    }
    return true;
}

bool TdsChannel::writeAll(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd_, data, size, MSG_NOSIGNAL);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) || !waitFor(POLLOUT)) {
            return false;
        }
    }
    return true;
}

std::optional<TdsChannel::Message> TdsChannel::read() {
    Message message;
    for (bool first = true;; first = false) {
        std::uint8_t header[kHeaderSize];
        if (!readExact(header, kHeaderSize)) {
            return std::nullopt;
        }
        const std::size_t length = (std::size_t{header[2]} << 8) | header[3];
        if (length < kHeaderSize || message.payload.size() + length > kMaxMessageSize) {
            return std::nullopt;
        }
        if (first) {
            message.type = header[0];
        } else if (header[0] != message.type) {
            return std::nullopt;
        }
        const std::size_t offset = message.payload.size();
        message.payload.resize(offset + length - kHeaderSize);
        if (!readExact(message.payload.data() + offset, length - kHeaderSize)) {
            return std::nullopt;
        }
        if ((header[1] & kEndOfMessage) != 0) {
            return message;
        }
    }
}

std::vector<std::uint8_t> TdsChannel::packets(std::uint8_t type, std::span<const std::uint8_t> payload,
                                              bool complete) {
    const std::size_t chunk = packetSize_ - kHeaderSize;
    std::vector<std::uint8_t> bytes;
    std::size_t offset = 0;
    do {
        const std::size_t size = std::min(chunk, payload.size() - offset);
        const bool last = offset + size == payload.size();
        const std::size_t length = size + kHeaderSize;
        bytes.insert(bytes.end(), {
                                      type,
                                      static_cast<std::uint8_t>(last && complete ? kEndOfMessage : 0),
                                      static_cast<std::uint8_t>(length >> 8),
                                      static_cast<std::uint8_t>(length),
                                      static_cast<std::uint8_t>(kSpid >> 8),
                                      static_cast<std::uint8_t>(kSpid),
                                      nextPacketId_++,
                                      0,
                                  });
        bytes.insert(bytes.end(), payload.begin() + static_cast<std::ptrdiff_t>(offset),
                     payload.begin() + static_cast<std::ptrdiff_t>(offset + size));
        offset += size;
    } while (offset < payload.size());
    return bytes;
}

bool TdsChannel::write(std::uint8_t type, std::span<const std::uint8_t> payload, bool complete) {
    const std::vector<std::uint8_t> bytes = packets(type, payload, complete);
    return writeAll(bytes.data(), bytes.size());
}

bool TdsChannel::writeSlowly(std::uint8_t type, std::span<const std::uint8_t> payload,
                             std::chrono::milliseconds interval) {
    const std::vector<std::uint8_t> bytes = packets(type, payload, true);
    for (const std::uint8_t byte : bytes) {
        if (!writeAll(&byte, 1)) {
            return false;
        }
        pollfd wake{wakeFd_, POLLIN, 0};
        if (::poll(&wake, 1, static_cast<int>(interval.count())) != 0) {
            return false;  // stopping (or interrupted: give up all the same)
        }
    }
    return true;
}

bool TdsChannel::readable() {
    pollfd fds{fd_, POLLIN, 0};
    return ::poll(&fds, 1, 0) > 0;
}

void TdsChannel::waitForHangUp() {
    std::uint8_t sink[256];
    for (;;) {
        if (!waitFor(POLLIN)) {
            return;
        }
        // Drain without answering; only EOF or an error ends the wait.
        const ssize_t got = ::recv(fd_, sink, sizeof sink, 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            return;
        }
    }
}

}  // namespace tablor::testing::tds

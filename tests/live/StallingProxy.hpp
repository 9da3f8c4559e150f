#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <list>
#include <stdexcept>
#include <string>
#include <thread>

namespace tablor::testing {

// A TCP relay in front of a real server on 127.0.0.1 that forwards both ways until the client
// sends a given text; from then on the server's replies are held back, as from a server that
// went quiet in the middle of a conversation. An empty text holds back from the start.
class StallingProxy {
  public:
    StallingProxy(std::uint16_t serverPort, std::string trigger)
        : serverPort_(serverPort), trigger_(std::move(trigger)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listen_, 8) != 0 ||
            ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            ::pipe2(stop_, O_CLOEXEC) != 0)
            throw std::runtime_error("the proxy cannot listen");
        port_ = ntohs(address.sin_port);
        accepting_ = std::thread([this] { Accept(); });
    }
    ~StallingProxy() {
        const char byte = 1;
        (void)!::write(stop_[1], &byte, 1);
        accepting_.join();
        for (auto& relay : relays_) relay.join();
        ::close(listen_);
        ::close(stop_[0]);
        ::close(stop_[1]);
    }
    StallingProxy(const StallingProxy&) = delete;
    StallingProxy& operator=(const StallingProxy&) = delete;

    std::uint16_t Port() const { return port_; }

  private:
    static sockaddr_in Loopback(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    void Accept() {
        for (;;) {
            pollfd fds[2] = {{listen_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
            const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) relays_.emplace_back([this, client] { Relay(client); });
        }
    }

    void Relay(int client) {
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = Loopback(serverPort_);
        if (server >= 0 &&
            ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            std::string seen;  // what the client sent, for the trigger
            bool holding = trigger_.empty();
            for (;;) {
                pollfd fds[3] = {
                    {client, POLLIN, 0}, {holding ? -1 : server, POLLIN, 0}, {stop_[0], POLLIN, 0}};
                if (::poll(fds, 3, -1) < 0 || fds[2].revents != 0) break;
                char buffer[4096];
                if (fds[0].revents != 0) {
                    const ssize_t got = ::read(client, buffer, sizeof buffer);
                    if (got <= 0) break;
                    seen.append(buffer, static_cast<std::size_t>(got));
                    if (seen.find(trigger_) != std::string::npos) holding = true;
                    if (::send(server, buffer, static_cast<std::size_t>(got), MSG_NOSIGNAL) != got) break;
                }
                if (fds[1].revents != 0) {
                    const ssize_t got = ::read(server, buffer, sizeof buffer);
                    if (got <= 0 ||
                        ::send(client, buffer, static_cast<std::size_t>(got), MSG_NOSIGNAL) != got)
                        break;
                }
            }
        }
        if (server >= 0) ::close(server);
        ::close(client);
    }

    std::uint16_t serverPort_;
    std::string trigger_;
    int listen_ = -1;
    int stop_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::list<std::thread> relays_;  // only the accepting thread adds, before the join
    std::thread accepting_;
};

}  // namespace tablor::testing

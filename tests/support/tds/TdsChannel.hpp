#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tablor::testing::tds {

// One accepted connection, seen as whole TDS messages rather than packets.
// Every wait also watches wakeFd, so the owner can end a connection that
// is blocked on a silent or stalled client.
class TdsChannel {
  public:
    struct Message {
        std::uint8_t type = 0;
        std::vector<std::uint8_t> payload;
    };

    TdsChannel(int fd, int wakeFd);  // takes ownership of fd
    ~TdsChannel();
    TdsChannel(const TdsChannel&) = delete;
    TdsChannel& operator=(const TdsChannel&) = delete;

    // Joins packets up to the one marked end-of-message. nullopt once the
    // peer is gone, sends garbage, or the responder is stopping.
    std::optional<Message> read();

    // Splits payload into packets of the negotiated size. With complete=false
    // the last packet lacks end-of-message, as when a server dies mid-reply.
    bool write(std::uint8_t type, std::span<const std::uint8_t> payload, bool complete = true);

    // As write, but one byte at a time with `interval` between them, as a server that
    // trickles its reply. false once the peer is gone or the responder is stopping.
    bool writeSlowly(std::uint8_t type, std::span<const std::uint8_t> payload,
                     std::chrono::milliseconds interval);

    // The peer has sent something (or hung up) that read() would see without waiting.
    bool readable();

    void setPacketSize(std::size_t size) { packetSize_ = size; }

    // Blocks until the peer hangs up or the responder stops, reading nothing.
    void waitForHangUp();

  private:
    std::vector<std::uint8_t> packets(std::uint8_t type, std::span<const std::uint8_t> payload,
                                      bool complete);
    bool readExact(std::uint8_t* data, std::size_t size);
    bool writeAll(const std::uint8_t* data, std::size_t size);
    bool waitFor(short events);

    int fd_;
    int wakeFd_;
    std::size_t packetSize_ = 4096;
    std::uint8_t nextPacketId_ = 1;
};

}  // namespace tablor::testing::tds

#include "TdsResponder.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <system_error>

#include "Login7.hpp"
#include "TdsChannel.hpp"
#include "TdsWriter.hpp"
#include "Utf16.hpp"

namespace tablor::testing {
namespace {

using tds::TdsChannel;
using tds::TdsWriter;

constexpr std::uint32_t kTds72 = 0x72090002;
constexpr std::uint32_t kTds74 = 0x74000004;
constexpr std::array<std::uint8_t, 6> kPreloginVersion{16, 0, 0x03, 0xE8, 0, 0};  // 16.0.1000
constexpr std::array<std::uint8_t, 4> kProgramVersion{16, 0, 0x03, 0xE8};

[[noreturn]] void throwErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void setFlags(int fd) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// SQL batches and RPCs start with ALL_HEADERS, prefixed by its total size.
std::span<const std::uint8_t> skipAllHeaders(std::span<const std::uint8_t> payload) {
    if (payload.size() < 4) {
        return payload;
    }
    const std::uint32_t total = tds::getU32(payload, 0);
    return total >= 4 && total <= payload.size() ? payload.subspan(total) : payload;
}

}  // namespace

TdsResponder::TdsResponder() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0) {
        throwErrno("socket");
    }
    setFlags(listenFd_);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int pipeFds[2];
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe(pipeFds) != 0) {
        const int saved = errno;
        ::close(listenFd_);
        throw std::system_error(saved, std::generic_category(), "TdsResponder listen");
    }
    port_ = ntohs(address.sin_port);
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    setFlags(wakeRead_);
    setFlags(wakeWrite_);
    try {
        acceptThread_ = std::thread([this] { acceptLoop(); });
    } catch (...) {
        ::close(listenFd_);
        ::close(wakeRead_);
        ::close(wakeWrite_);
        throw;
    }
}

TdsResponder::~TdsResponder() {
    // Never drained, so every poll on wakeRead_ returns from now on.
    const char stop = 1;
    while (::write(wakeWrite_, &stop, 1) < 0 && errno == EINTR) {
    }
    acceptThread_.join();
    for (auto& connection : connections_) {
        connection.join();
    }
    ::close(listenFd_);
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

void TdsResponder::expectUser(std::string user, std::string password) {
    std::lock_guard lock(mutex_);
    expectedUser_.emplace(std::move(user), std::move(password));
}

void TdsResponder::addResult(std::string sqlText, ResultSet result) {
    std::vector<ResultSet> results;
    results.push_back(std::move(result));
    addResults(std::move(sqlText), std::move(results));
}

void TdsResponder::addResults(std::string sqlText, std::vector<ResultSet> results) {
    for (const auto& result : results) {
        TdsWriter::check(result);
    }
    std::lock_guard lock(mutex_);
    replies_.insert_or_assign(std::move(sqlText), Reply{std::move(results), std::nullopt});
}

void TdsResponder::addError(std::string sqlText, std::int32_t number, std::string message,
                            std::uint8_t severity, std::uint8_t state) {
    std::lock_guard lock(mutex_);
    replies_.insert_or_assign(std::move(sqlText),
                              Reply{{}, QueryError{number, std::move(message), severity, state}});
}

void TdsResponder::setEncryption(std::uint8_t flag) {
    std::lock_guard lock(mutex_);
    encryption_ = flag;
}

void TdsResponder::setSilentAfterAccept(bool silent) {
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

void TdsResponder::dropConnectionAfterRows(std::string sqlText, std::size_t rowCount) {
    std::lock_guard lock(mutex_);
    drops_.insert_or_assign(std::move(sqlText), rowCount);
}

void TdsResponder::setLoginTrickle(std::chrono::milliseconds interval) {
    std::lock_guard lock(mutex_);
    loginTrickle_ = interval;
}

void TdsResponder::setSilentAfterLogin(bool silent) {
    std::lock_guard lock(mutex_);
    silentAfterLogin_ = silent;
}

void TdsResponder::stallAfterRows(std::string sqlText, std::size_t rowCount) {
    std::lock_guard lock(mutex_);
    stalls_.insert_or_assign(std::move(sqlText), rowCount);
}

void TdsResponder::sendRowsWithoutEnd(std::string sqlText) {
    std::lock_guard lock(mutex_);
    endless_.insert(std::move(sqlText));
}

std::optional<ReceivedLogin> TdsResponder::lastLogin() const {
    std::lock_guard lock(mutex_);
    return lastLogin_;
}

std::size_t TdsResponder::loginCount() const {
    std::lock_guard lock(mutex_);
    return loginCount_;
}

std::size_t TdsResponder::connectionCount() const {
    std::lock_guard lock(mutex_);
    return connectionCount_;
}

std::vector<std::string> TdsResponder::queries() const {
    std::lock_guard lock(mutex_);
    return queries_;
}

void TdsResponder::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) {
            continue;  // the client gave up between poll and accept, or EINTR
        }
        setFlags(fd);
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::lock_guard lock(mutex_);
        ++connectionCount_;
        try {
            connections_.emplace_back([this, fd] { serve(fd); });
        } catch (const std::system_error&) {
            ::close(fd);  // out of threads: the client sees a refused login
        }
    }
}

void TdsResponder::serve(int fd) {
    TdsChannel channel(fd, wakeRead_);
    try {
        bool silent = false;
        std::uint8_t encryption = tds::encrypt::kNotSupported;
        {
            std::lock_guard lock(mutex_);
            silent = silent_;
            encryption = encryption_;
        }
        bool preloginAnswered = false;
        if (silent) {
            channel.waitForHangUp();
            return;
        }
        for (bool open = true; open;) {
            auto message = channel.read();
            if (!message) {
                return;
            }
            TdsWriter reply;
            switch (message->type) {
                case tds::packet::kPrelogin:
                    // A second one carries a TLS handshake, which this double cannot answer.
                    if (preloginAnswered) return;
                    preloginAnswered = true;
                    open = channel.write(tds::packet::kReply,
                                         TdsWriter::preloginReply(kPreloginVersion, encryption));
                    break;
                case tds::packet::kLogin7: {
                    open = answerLogin(channel, message->payload);
                    std::lock_guard lock(mutex_);
                    silent = silentAfterLogin_;
                    break;
                }
                case tds::packet::kSqlBatch:
                    open = answerBatch(channel, message->payload);
                    break;
                case tds::packet::kRpc:
                    open = answerRpc(channel, message->payload);
                    break;
                case tds::packet::kAttention:
                    // Everything was already answered in full; just acknowledge.
                    reply.done(tds::done::kAttention, 0, 0);
                    open = channel.write(tds::packet::kReply, reply.bytes());
                    break;
                case tds::packet::kTransactionManager:
                    reply.done(tds::done::kFinal, 0, 0);
                    open = channel.write(tds::packet::kReply, reply.bytes());
                    break;
                default:
                    return;  // not something a SQL Server client sends
            }
            if (open && silent) {
                channel.waitForHangUp();
                return;
            }
        }
    } catch (const std::exception&) {
        // A test double must not take the test process down with it; the
        // client sees a closed connection instead.
    }
}

bool TdsResponder::answerLogin(TdsChannel& channel, std::span<const std::uint8_t> payload) {
    const auto login = tds::parseLogin7(payload);
    if (!login) {
        return false;
    }
    std::optional<std::pair<std::string, std::string>> expected;
    std::chrono::milliseconds trickle{0};
    {
        std::lock_guard lock(mutex_);
        lastLogin_ = login;
        ++loginCount_;
        expected = expectedUser_;
        trickle = loginTrickle_;
    }

    TdsWriter reply;
    if (login->tdsVersion < kTds72) {
        reply.error(50000, 1, 16, "TdsResponder speaks TDS 7.2 or later only.");
        reply.done(tds::done::kError, 0, 0);
        channel.write(tds::packet::kReply, reply.bytes());
        return false;
    }
    if (login->integrated) {
        reply.error(18452, 1, 14,
                    "Login failed. The login is from an untrusted domain and cannot be used with Integrated "
                    "authentication.");
        reply.done(tds::done::kError, 0, 0);
        channel.write(tds::packet::kReply, reply.bytes());
        return false;
    }
    if (expected && (login->user != expected->first || login->password != expected->second)) {
        reply.error(18456, 1, 14, "Login failed for user '" + login->user + "'.");
        reply.done(tds::done::kError, 0, 0);
        channel.write(tds::packet::kReply, reply.bytes());
        return false;  // SQL Server hangs up after a failed login too
    }

    const std::string database = login->database.empty() ? "master" : login->database;
    const std::uint32_t packetSize =
        std::clamp<std::uint32_t>(login->packetSize == 0 ? 4096 : login->packetSize, 512, 32767);
    const std::uint32_t version = std::min(login->tdsVersion, kTds74);

    reply.envChange(tds::EnvChange::Database, database, "master");
    reply.info(5701, 2, 0, "Changed database context to '" + database + "'.");
    reply.collationChange(tds::kCollation);
    reply.envChange(tds::EnvChange::Language, "us_english", "");
    reply.info(5703, 1, 0, "Changed language setting to us_english.");
    reply.loginAck(version, "Microsoft SQL Server", kProgramVersion);
    reply.envChange(tds::EnvChange::PacketSize, std::to_string(packetSize), std::to_string(packetSize));
    reply.done(tds::done::kFinal, 0, 0);
    const bool sent = trickle.count() > 0 ? channel.writeSlowly(tds::packet::kReply, reply.bytes(), trickle)
                                          : channel.write(tds::packet::kReply, reply.bytes());
    if (!sent) {
        return false;
    }
    channel.setPacketSize(packetSize);
    return true;
}

bool TdsResponder::answerBatch(TdsChannel& channel, std::span<const std::uint8_t> payload) {
    std::string sql = tds::utf16leToUtf8(skipAllHeaders(payload));
    std::optional<Reply> canned;
    std::optional<std::size_t> dropAfter;
    std::optional<std::size_t> stallAfter;
    bool endless = false;
    {
        std::lock_guard lock(mutex_);
        queries_.push_back(sql);
        if (const auto found = replies_.find(sql); found != replies_.end()) {
            canned = found->second;
        }
        if (const auto found = drops_.find(sql); found != drops_.end()) {
            dropAfter = found->second;
        }
        if (const auto found = stalls_.find(sql); found != stalls_.end()) {
            stallAfter = found->second;
        }
        endless = endless_.count(sql) != 0;
    }
    const bool hasRows = canned && !canned->results.empty() && !canned->results.front().columns.empty();
    if (endless && hasRows) {
        return streamWithoutEnd(channel, canned->results.front());
    }

    TdsWriter reply;
    if (dropAfter || stallAfter) {
        if (hasRows) {
            const ResultSet& result = canned->results.front();
            reply.colMetadata(result.columns);
            const std::size_t rows = std::min(dropAfter ? *dropAfter : *stallAfter, result.rows.size());
            for (std::size_t i = 0; i < rows; ++i) {
                reply.row(result.columns, result.rows[i]);
            }
        }
        if (channel.write(tds::packet::kReply, reply.bytes(), false) && stallAfter) {
            channel.waitForHangUp();
        }
        return false;
    }

    if (!canned) {
        reply.done(tds::done::kFinal, 0, 0);
    } else if (canned->error) {
        const QueryError& error = *canned->error;
        reply.error(error.number, error.state, error.severity, error.message);
        reply.done(tds::done::kError, tds::kCurCmdSelect, 0);
    } else {
        const auto& results = canned->results;
        for (std::size_t i = 0; i < results.size(); ++i) {
            const std::uint16_t more = i + 1 < results.size() ? tds::done::kMore : tds::done::kFinal;
            if (results[i].columns.empty()) {
                reply.done(more, 0, 0);
                continue;
            }
            reply.colMetadata(results[i].columns);
            for (const auto& row : results[i].rows) {
                reply.row(results[i].columns, row);
            }
            reply.done(static_cast<std::uint16_t>(more | tds::done::kCount), tds::kCurCmdSelect,
                       results[i].rows.size());
        }
    }
    return channel.write(tds::packet::kReply, reply.bytes());
}

bool TdsResponder::streamWithoutEnd(TdsChannel& channel, const ResultSet& result) {
    TdsWriter head;
    head.colMetadata(result.columns);
    if (!channel.write(tds::packet::kReply, head.bytes(), false)) {
        return false;
    }
    for (;;) {
        if (channel.readable()) {
            const auto message = channel.read();
            if (!message || message->type != tds::packet::kAttention) {
                return false;
            }
            TdsWriter done;
            done.done(tds::done::kAttention, 0, 0);
            return channel.write(tds::packet::kReply, done.bytes());
        }
        TdsWriter rows;
        for (const auto& row : result.rows) {
            rows.row(result.columns, row);
        }
        if (!channel.write(tds::packet::kReply, rows.bytes(), false)) {
            return false;
        }
    }
}

bool TdsResponder::answerRpc(TdsChannel& channel, std::span<const std::uint8_t> payload) {
    // Parameterised statements arrive as RPCs (sp_executesql, sp_prepare...);
    // they are not scripted, so say so instead of leaving the client waiting.
    const auto body = skipAllHeaders(payload);
    std::string name = "?";
    if (body.size() >= 2) {
        const std::uint16_t length = tds::getU16(body, 0);
        if (length == 0xFFFF && body.size() >= 4) {
            name = "procedure id " + std::to_string(tds::getU16(body, 2));
        } else if (body.size() >= 2 + std::size_t{length} * 2) {
            name = tds::utf16leToUtf8(body.subspan(2, std::size_t{length} * 2));
        }
    }
    TdsWriter reply;
    reply.error(50000, 1, 16, "TdsResponder does not script RPC calls (" + name + ").");
    reply.done(tds::done::kError, 0, 0);
    return channel.write(tds::packet::kReply, reply.bytes());
}

}  // namespace tablor::testing

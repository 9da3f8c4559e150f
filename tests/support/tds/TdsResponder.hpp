#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "TdsTypes.hpp"

namespace tablor::testing {

namespace tds {
class TdsChannel;
}

// A scripted stand-in for SQL Server, good enough for the FreeTDS ODBC
// driver: plain TDS 7.2-7.4 on 127.0.0.1, no encryption, SQL batches only.
// Replies are looked up by the exact text of each batch.
//
// Serves each accepted connection on its own thread until the client hangs
// up; the destructor ends them all, including ones blocked on a client.
// All members may be called while clients are connected.
class TdsResponder {
  public:
    TdsResponder();  // throws std::system_error if it cannot listen
    ~TdsResponder();
    TdsResponder(const TdsResponder&) = delete;
    TdsResponder& operator=(const TdsResponder&) = delete;

    std::uint16_t port() const noexcept { return port_; }

    // Without this any user and password is let in.
    void expectUser(std::string user, std::string password);

    // Canned replies, replacing any earlier one for the same text. Batches
    // with no reply succeed with no result set. Throw std::invalid_argument
    // if a result set cannot be encoded (wrong cell type, value too long...).
    void addResult(std::string sqlText, ResultSet result);
    void addResults(std::string sqlText, std::vector<ResultSet> results);
    void addError(std::string sqlText, std::int32_t number, std::string message, std::uint8_t severity = 16,
                  std::uint8_t state = 1);

    // The ENCRYPTION byte of the PRELOGIN answer (tds::encrypt); "not supported" unless set.
    // The responder speaks no TLS: a client that starts a handshake is hung up on.
    void setEncryption(std::uint8_t flag);

    // Misbehaviour for robustness tests.
    // Accept connections but never answer, so only a client timeout ends them.
    void setSilentAfterAccept(bool silent);
    // Send the column metadata and the first rowCount rows of the reply to
    // sqlText, then close the socket in the middle of the message.
    void dropConnectionAfterRows(std::string sqlText, std::size_t rowCount);
    // Answer the login one byte every `interval` (zero: at once).
    void setLoginTrickle(std::chrono::milliseconds interval);
    // Let the login in, then never answer again.
    void setSilentAfterLogin(bool silent);
    // As dropConnectionAfterRows, but keep the connection open and say nothing more.
    void stallAfterRows(std::string sqlText, std::size_t rowCount);
    // Answer sqlText with its result's rows over and over, without end, until the client
    // sends an attention (acknowledged as SQL Server does) or hangs up.
    void sendRowsWithoutEnd(std::string sqlText);

    std::optional<ReceivedLogin> lastLogin() const;
    std::size_t loginCount() const;
    // Connections accepted, answered or not.
    std::size_t connectionCount() const;
    // Every batch received, in order, across all connections.
    std::vector<std::string> queries() const;

  private:
    struct QueryError {
        std::int32_t number;
        std::string message;
        std::uint8_t severity;
        std::uint8_t state;
    };
    struct Reply {
        std::vector<ResultSet> results;
        std::optional<QueryError> error;
    };

    void acceptLoop();
    void serve(int fd);
    bool answerLogin(tds::TdsChannel& channel, std::span<const std::uint8_t> payload);
    bool answerBatch(tds::TdsChannel& channel, std::span<const std::uint8_t> payload);
    bool streamWithoutEnd(tds::TdsChannel& channel, const ResultSet& result);
    bool answerRpc(tds::TdsChannel& channel, std::span<const std::uint8_t> payload);

    int listenFd_ = -1;
    int wakeRead_ = -1;  // readable once the responder is stopping
    int wakeWrite_ = -1;
    std::uint16_t port_ = 0;

    mutable std::mutex mutex_;
    std::optional<std::pair<std::string, std::string>> expectedUser_;
    std::map<std::string, Reply, std::less<>> replies_;
    std::map<std::string, std::size_t, std::less<>> drops_;
    bool silent_ = false;
    std::uint8_t encryption_ = tds::encrypt::kNotSupported;
    std::chrono::milliseconds loginTrickle_{0};
    bool silentAfterLogin_ = false;
    std::map<std::string, std::size_t, std::less<>> stalls_;
    std::set<std::string, std::less<>> endless_;
    std::optional<ReceivedLogin> lastLogin_;
    std::size_t loginCount_ = 0;
    std::size_t connectionCount_ = 0;
    std::vector<std::string> queries_;
    std::list<std::thread> connections_;

    std::thread acceptThread_;  // last: starts once everything above exists
};

}  // namespace tablor::testing

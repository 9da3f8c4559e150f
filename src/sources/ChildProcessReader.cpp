#include "sources/ChildProcessReader.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>

#include "sources/ReaderWire.hpp"
#include "support/AppPaths.hpp"
#include "support/ChildProcess.hpp"
#include "support/UserPrompt.hpp"

namespace tablor {
namespace {

using Clock = std::chrono::steady_clock;

// How long a reader that has sent everything may take to end before it is ended.
constexpr auto kExitGrace = std::chrono::seconds(5);

// Wakes the read loop from the thread that cancels. An event descriptor of this read's own, so
// the canceller touches nothing of the reader's.
class Wakeup {
  public:
    Wakeup() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (fd_ < 0)
            throw DatabaseError(std::string("No event descriptor could be made: ") + std::strerror(errno));
    }
    ~Wakeup() { ::close(fd_); }
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;
    int Fd() const noexcept { return fd_; }
    void Raise() const noexcept {
        const std::uint64_t one = 1;
        (void)!::write(fd_, &one, sizeof one);
    }

  private:
    int fd_;
};

void SendAll(int socket, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        // A reader that is gone says why when it is waited for.
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

std::optional<Clock::time_point> After(unsigned seconds) {
    if (seconds == 0) return std::nullopt;
    return Clock::now() + std::chrono::seconds(seconds);
}

int MillisecondsUntil(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

// The failure as the reader raised it.
[[noreturn]] void Rethrow(const wire::ReportedError& reported) {
    if (reported.stage == wire::Stage::Open)
        throw SessionOpenError(DatabaseError(reported.description, reported.sqlState, reported.nativeCode));
    if (reported.number == errors::DatabaseFailure)
        throw DatabaseError(reported.description, reported.sqlState, reported.nativeCode);
    throw TablorError(reported.number, reported.description);
}

// Everything one read keeps while its reader runs.
class ReadLoop {
  public:
    ReadLoop(const ConnectionSettings& settings, UserPrompt& prompt) : settings_(settings), prompt_(prompt) {}

    // Hands over the frames that `buffer` holds whole, leaving the rest in it.
    void Take(std::string& buffer) {
        std::string_view rest(buffer);
        wire::Frame kind{};
        std::string_view payload;
        while (wire::TakeFrame(rest, kind, payload)) Handle(kind, payload);
        buffer.erase(0, buffer.size() - rest.size());
    }

    std::optional<Clock::time_point> deadline;
    bool opened = false;
    bool done = false;
    std::optional<wire::ReportedError> failure;
    wire::RowsCollector rows;

  private:
    void Handle(wire::Frame kind, std::string_view payload) {
        switch (kind) {
            case wire::Frame::Opened:
                opened = true;
                deadline.reset();
                return;
            case wire::Frame::Query:
                deadline = After(settings_.queryTimeoutSeconds);
                return;
            case wire::Frame::Progress: {
                wire::FieldReader fields(payload);
                const std::string section = fields.Text();
                prompt_.Progress(section, fields.Number());
                return;
            }
            case wire::Frame::AllRead:
                deadline.reset();
                return;
            case wire::Frame::Error:
                failure = wire::ParseError(payload);
                return;
            case wire::Frame::Done:
                done = true;
                deadline = Clock::now() + kExitGrace;
                return;
            default:
                if (!rows.Take(kind, payload))
                    throw DatabaseError("The database reader sent a message that could not be read.");
        }
    }

    const ConnectionSettings& settings_;
    UserPrompt& prompt_;
};

}  // namespace

ChildProcessReader::ChildProcessReader(std::string program, Drivers drivers)
    : program_(std::move(program)), drivers_(std::move(drivers)) {}

std::string ChildProcessReader::DefaultProgram() {
    const std::string folder = PathSettings::ThisProcess().executableFolder;
    std::string beside = folder + "/tablor-reader";
    std::error_code error;
    if (std::filesystem::exists(beside, error)) return beside;
    return folder + "/../libexec/tablor/tablor-reader";
}

const std::string& ChildProcessReader::DriverFor(DatabaseEngine engine) const {
    switch (engine) {
        case DatabaseEngine::PostgreSql:
            return drivers_.postgreSql;
        case DatabaseEngine::MySql:
            return drivers_.mySql;
        case DatabaseEngine::SqlServer:
            break;
    }
    return drivers_.sqlServer;
}

void ChildProcessReader::ReadSchema(const ConnectionSettings& settings, cMetaData& model,
                                    UserPrompt& prompt) {
    const CancellationToken& cancel = *settings.cancel;
    cancel.ThrowIfCancelled();
    Wakeup wakeup;
    const auto subscription = cancel.OnCancel([&wakeup] { wakeup.Raise(); });
    std::optional<ChildProcess> reader;
    try {
        reader.emplace(program_, std::vector<std::string>{program_, "--parent", std::to_string(::getpid())},
                       EnvironmentWithoutPasswords());
    } catch (const TablorError& error) {
        throw SessionOpenError(DatabaseError(error.Description()));
    }
    {
        std::string request;
        wire::AppendRequest(request, settings, DriverFor(settings.engine));
        SendAll(reader->Socket(), request);
        std::fill(request.begin(), request.end(), '\0');
    }

    ReadLoop loop(settings, prompt);
    loop.deadline = After(settings.loginTimeoutSeconds);
    std::string buffer;
    std::vector<char> chunk(1 << 16);
    for (;;) {
        pollfd watched[2] = {{reader->Socket(), POLLIN, 0}, {wakeup.Fd(), POLLIN, 0}};
        const int ready = ::poll(watched, 2, MillisecondsUntil(loop.deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (cancel.IsCancelled()) {
            reader->Kill();
            reader->Wait();
            throw OperationCancelled();
        }
        if (ready == 0 && loop.deadline && Clock::now() >= *loop.deadline) {
            reader->Kill();
            reader->Wait();
            if (loop.done) break;
            if (!loop.opened)
                throw SessionOpenError(StoppedAnswering(
                    settings.serverName, "the login did not complete within " +
                                             std::to_string(settings.loginTimeoutSeconds) + " seconds."));
            throw StoppedAnswering(
                settings.serverName,
                "no reply within " + std::to_string(settings.queryTimeoutSeconds) + " seconds.");
        }
        if (ready <= 0) continue;
        const ssize_t n = ::recv(reader->Socket(), chunk.data(), chunk.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        buffer.append(chunk.data(), static_cast<std::size_t>(n));
        loop.Take(buffer);
    }
    const std::string ending = reader->Wait();
    if (loop.failure) Rethrow(*loop.failure);
    if (!loop.done) {
        DatabaseError crashed("The database reader for " + settings.serverName +
                              " ended before it had read the " + "database: it " +
                              (ending.empty() ? std::string("exited without a word") : ending) + ".");
        if (!loop.opened) throw SessionOpenError(crashed);
        throw crashed;
    }
    SchemaExtraction(std::move(loop.rows.Rows())).Apply(model);
}

}  // namespace tablor

#include "sources/ReaderService.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "sources/SchemaExtraction.hpp"
#include "sources/SchemaQueries.hpp"

namespace tablor {
namespace {

// The program closed its end: nobody is left to tell anything.
struct ProgramGone {};

// Sends frames to the program as they are made.
class Channel {
  public:
    explicit Channel(int socket) : socket_(socket) {}

    void Send(std::string& frames) {
        std::size_t sent = 0;
        while (sent < frames.size()) {
            const ssize_t n = ::send(socket_, frames.data() + sent, frames.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw ProgramGone{};
            sent += static_cast<std::size_t>(n);
        }
        frames.clear();
    }

    void Send(wire::Frame kind, std::initializer_list<std::string_view> fields) {
        std::string frame;
        wire::AppendFrame(frame, kind, fields);
        Send(frame);
    }

  private:
    int socket_;
};

// Progress for the program's progress line: a frame every so many rows, and a section's last
// count before the next query starts.
class ProgressReporter : public UserPrompt {
  public:
    explicit ProgressReporter(Channel& channel) : channel_(channel) {}

    PromptAnswer Ask(const PromptMessage& message) override { return ScriptAnswer(message); }
    std::optional<std::string> Input(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    void Progress(std::string_view section, long rowsRead) override {
        if (section != section_) section_ = std::string(section);
        rows_ = rowsRead;
        unsent_ = true;
        if (rowsRead % kEvery == 0) Flush();
    }
    void Flush() {
        if (!unsent_) return;
        unsent_ = false;
        channel_.Send(wire::Frame::Progress, {section_, std::to_string(rows_)});
    }

  private:
    static constexpr long kEvery = 500;
    Channel& channel_;
    std::string section_;
    long rows_ = 0;
    bool unsent_ = false;
};

// Tells the program when each query starts, so that its deadline for the query starts then.
class ReportingSession : public DatabaseSession {
  public:
    ReportingSession(DatabaseSession& session, Channel& channel, ProgressReporter& progress)
        : session_(session), channel_(channel), progress_(progress) {}

    std::unique_ptr<RecordSet> Query(const std::string& sql) override {
        progress_.Flush();
        channel_.Send(wire::Frame::Query, {});
        return session_.Query(sql);
    }
    void Close() noexcept override { session_.Close(); }

  private:
    DatabaseSession& session_;
    Channel& channel_;
    ProgressReporter& progress_;
};

std::optional<wire::ReadRequest> ReceiveRequest(int socket) {
    std::string buffer;
    char chunk[4096];
    for (;;) {
        std::string_view rest(buffer);
        wire::Frame kind{};
        std::string_view payload;
        if (wire::TakeFrame(rest, kind, payload)) {
            if (kind != wire::Frame::Request) return std::nullopt;
            wire::ReadRequest request = wire::ParseRequest(payload);
            std::fill(buffer.begin(), buffer.end(), '\0');
            return request;
        }
        const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

TablorError AsTablorError(const std::exception& error) {
    if (const auto* tablor = dynamic_cast<const TablorError*>(&error)) return *tablor;
    return DatabaseError(error.what());
}

}  // namespace

int ServeReadRequest(
    int socket,
    const std::function<std::shared_ptr<DatabaseConnector>(const wire::ReadRequest&)>& connectorFor) {
    Channel channel(socket);
    std::string out;
    try {
        std::optional<wire::ReadRequest> request;
        try {
            request = ReceiveRequest(socket);
        } catch (const DatabaseError&) {
        }
        if (!request) return 3;
        ConnectionSettings& settings = request->settings;
        std::unique_ptr<DatabaseSession> session;
        try {
            session = connectorFor(*request)->Open(settings);
        } catch (const std::exception& error) {
            wire::AppendError(out, wire::Stage::Open, AsTablorError(error));
            wire::AppendFrame(out, wire::Frame::Done, {});
            channel.Send(out);
            return 0;
        }
        std::fill(settings.password.begin(), settings.password.end(), '\0');
        channel.Send(wire::Frame::Opened, {});
        try {
            ProgressReporter progress(channel);
            SchemaExtraction extraction;
            extraction.SetSchemas(settings.schemas);
            extraction.SetQualifyNames(settings.qualifyNames);
            extraction.SetReadDefinitions(settings.readDefinitions);
            ReportingSession reporting(*session, channel, progress);
            extraction.Read(reporting, SchemaQueries::For(settings.engine), progress);
            session->Close();
            progress.Flush();
            wire::AppendFrame(out, wire::Frame::AllRead, {});
            wire::AppendRows(out, extraction.Rows());
        } catch (const ProgramGone&) {
            throw;
        } catch (const std::exception& error) {
            session->Close();
            out.clear();
            wire::AppendError(out, wire::Stage::Read, AsTablorError(error));
        }
        wire::AppendFrame(out, wire::Frame::Done, {});
        channel.Send(out);
        return 0;
    } catch (const ProgramGone&) {
        return 3;
    }
}

}  // namespace tablor

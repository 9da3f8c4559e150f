#pragma once
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sources/DatabaseSession.hpp"
#include "support/TextCase.hpp"

namespace tablor::testing {

// A database in memory behind the record-set interface: canned rows per query text, and a
// failure to open on demand. It records the queries, the settings it was opened with, and how
// many record sets were open at once. Both sides of a comparison may use it at the same time.
class ScriptedDatabase : public DatabaseConnector, public std::enable_shared_from_this<ScriptedDatabase> {
  public:
    using Row = std::map<std::string, std::optional<std::string>>;

    void SetRows(const std::string& sql, std::vector<Row> rows) { results_[sql] = std::move(rows); }
    void FailOpen(DatabaseError error) { openError_ = std::move(error); }

    std::vector<std::string> queries;
    std::vector<ConnectionSettings> opened;
    int sessionsClosed = 0;
    int recordSetsOpen = 0;
    int mostRecordSetsOpen = 0;

    std::unique_ptr<DatabaseSession> Open(const ConnectionSettings& settings) override {
        std::lock_guard lock(mutex_);
        opened.push_back(settings);
        if (openError_) throw *openError_;
        return std::make_unique<Session>(shared_from_this());
    }

  private:
    class Rows : public RecordSet {
      public:
        Rows(std::shared_ptr<ScriptedDatabase> database, const std::vector<Row>& rows)
            : database_(std::move(database)), rows_(rows) {
            std::lock_guard lock(database_->mutex_);
            database_->mostRecordSetsOpen =
                std::max(database_->mostRecordSetsOpen, ++database_->recordSetsOpen);
        }
        ~Rows() override {
            std::lock_guard lock(database_->mutex_);
            --database_->recordSetsOpen;
        }
        bool Next() override {
            if (next_ >= rows_.size()) return false;
            current_ = &rows_[next_++];
            return true;
        }
        std::optional<std::string> Value(std::string_view column) override {
            for (const auto& [name, value] : *current_) {
                if (EqualsIgnoreCase(name, column)) return value;
            }
            throw DatabaseError("The result has no column named " + std::string(column) + ".");
        }

      private:
        std::shared_ptr<ScriptedDatabase> database_;
        const std::vector<Row>& rows_;
        std::size_t next_ = 0;
        const Row* current_ = nullptr;
    };

    class Session : public DatabaseSession {
      public:
        explicit Session(std::shared_ptr<ScriptedDatabase> database) : database_(std::move(database)) {}
        std::unique_ptr<RecordSet> Query(const std::string& sql) override {
            const std::vector<Row>* rows = nullptr;
            {
                std::lock_guard lock(database_->mutex_);
                database_->queries.push_back(sql);
                rows = &database_->results_[sql];
            }
            return std::make_unique<Rows>(database_, *rows);
        }
        void Close() noexcept override {
            std::lock_guard lock(database_->mutex_);
            ++database_->sessionsClosed;
        }

      private:
        std::shared_ptr<ScriptedDatabase> database_;
    };

    std::mutex mutex_;
    std::map<std::string, std::vector<Row>> results_;
    std::optional<DatabaseError> openError_;
};

}  // namespace tablor::testing

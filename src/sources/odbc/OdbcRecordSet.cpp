#include "sources/odbc/OdbcRecordSet.hpp"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <array>

#include "sources/odbc/OdbcDeadline.hpp"
#include "sources/odbc/OdbcDiagnostics.hpp"
#include "sources/odbc/WideText.hpp"
#include "support/TextCase.hpp"

namespace tablor::odbc {

OdbcRecordSet::OdbcRecordSet(std::shared_ptr<OdbcLink> link, StatementHandle statement, bool hasResult,
                             Deadline deadline)
    : link_(std::move(link)),
      deadline_(std::move(deadline)),
      statement_(std::move(statement)),
      open_(hasResult),
      buffer_(256) {
    if (!open_) return;
    SQLSMALLINT count = 0;
    CheckAnswered(SQLNumResultCols(statement_.Get(), &count), SQL_HANDLE_STMT, statement_.Get(),
                  "The columns of the result could not be counted.", *link_);
    foldedNames_.reserve(static_cast<std::size_t>(count));
    for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(count); ++column) {
        std::vector<SQLWCHAR> name(256);
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        CheckAnswered(
            SQLDescribeColW(statement_.Get(), column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                            &length, &type, &size, &digits, &nullable),
            SQL_HANDLE_STMT, statement_.Get(), "A column of the result could not be described.", *link_);
        const std::size_t units = std::min<std::size_t>(static_cast<std::size_t>(length), name.size() - 1);
        foldedNames_.push_back(FoldCase(FromWide(name.data(), units)));
    }
    row_.resize(foldedNames_.size());
}

OdbcRecordSet::~OdbcRecordSet() {
    if (open_) SQLFreeStmt(statement_.Get(), SQL_CLOSE);
}

bool OdbcRecordSet::Next() {
    if (!open_) return false;
    const SQLRETURN rc = SQLFetch(statement_.Get());
    if (rc == SQL_NO_DATA) {
        // Frees the connection for the next statement.
        SQLFreeStmt(statement_.Get(), SQL_CLOSE);
        open_ = false;
        deadline_.Disarm();
        return false;
    }
    CheckAnswered(rc, SQL_HANDLE_STMT, statement_.Get(), "The next row could not be read.", *link_);
    columnsRead_ = 0;
    return true;
}

std::size_t OdbcRecordSet::ColumnIndex(std::string_view column) {
    for (const auto& [name, index] : lookups_) {
        if (name == column) return index;
    }
    const std::string folded = FoldCase(column);
    for (std::size_t index = 0; index < foldedNames_.size(); ++index) {
        if (foldedNames_[index] == folded) {
            lookups_.emplace_back(std::string(column), index);
            return index;
        }
    }
    throw DatabaseError("The result has no column named " + std::string(column) + ".");
}

std::optional<std::string> OdbcRecordSet::Value(std::string_view column) {
    const std::size_t index = ColumnIndex(column);
    // Drivers hand out a row's values left to right only: read up to the one asked for and
    // keep the others.
    while (columnsRead_ <= index) {
        row_[columnsRead_] = ReadColumn(columnsRead_);
        ++columnsRead_;
    }
    return row_[index];
}

std::optional<std::string> OdbcRecordSet::ReadNarrowColumn(std::size_t index) {
    const auto column = static_cast<SQLUSMALLINT>(index + 1);
    std::array<char, 512> buffer{};
    std::string value;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(statement_.Get(), column, SQL_C_CHAR, buffer.data(),
                                        static_cast<SQLLEN>(buffer.size()), &indicator);
        if (rc == SQL_NO_DATA) break;  // a long value's last piece was already read
        CheckAnswered(rc, SQL_HANDLE_STMT, statement_.Get(), "A value could not be read.", *link_);
        if (indicator == SQL_NULL_DATA) return std::nullopt;
        const bool truncated = rc == SQL_SUCCESS_WITH_INFO &&
                               (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(buffer.size()));
        if (!truncated) {
            value.append(buffer.data(), static_cast<std::size_t>(indicator));
            break;
        }
        // The buffer holds its size less the terminating zero; the rest follows.
        value.append(buffer.data(), buffer.size() - 1);
    }
    return value;
}

std::optional<std::string> OdbcRecordSet::ReadColumn(std::size_t index) {
    if (link_->narrowUtf8) return ReadNarrowColumn(index);
    const auto column = static_cast<SQLUSMALLINT>(index + 1);
    const auto bufferBytes = static_cast<SQLLEN>(buffer_.size() * sizeof(SQLWCHAR));
    std::vector<SQLWCHAR> longValue;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(statement_.Get(), column, SQL_C_WCHAR, buffer_.data(), bufferBytes, &indicator);
        if (rc == SQL_NO_DATA) break;  // a long value's last piece was already read
        CheckAnswered(rc, SQL_HANDLE_STMT, statement_.Get(), "A value could not be read.", *link_);
        if (indicator == SQL_NULL_DATA) return std::nullopt;
        const bool truncated =
            rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= bufferBytes);
        if (!truncated) {
            const auto units = static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
            if (longValue.empty()) return FromWide(buffer_.data(), units);
            longValue.insert(longValue.end(), buffer_.begin(),
                             buffer_.begin() + static_cast<std::ptrdiff_t>(units));
            break;
        }
        // The buffer holds its size less the terminating zero; the rest follows.
        longValue.insert(longValue.end(), buffer_.begin(), buffer_.end() - 1);
    }
    return FromWide(longValue.data(), longValue.size());
}

}  // namespace tablor::odbc

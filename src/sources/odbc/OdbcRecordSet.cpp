#include "sources/odbc/OdbcRecordSet.hpp"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>

#include "sources/odbc/OdbcDiagnostics.hpp"
#include "sources/odbc/WideText.hpp"
#include "support/TextCase.hpp"

namespace tablor::odbc {

OdbcRecordSet::OdbcRecordSet(std::shared_ptr<OdbcLink> link, StatementHandle statement, bool hasResult)
    : link_(std::move(link)), statement_(std::move(statement)), open_(hasResult), buffer_(256) {
    if (!open_) return;
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(statement_.Get(), &count), "The columns of the result could not be counted.");
    foldedNames_.reserve(static_cast<std::size_t>(count));
    for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(count); ++column) {
        std::vector<SQLWCHAR> name(256);
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        Check(SQLDescribeColW(statement_.Get(), column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                              &length, &type, &size, &digits, &nullable),
              "A column of the result could not be described.");
        const std::size_t units = std::min<std::size_t>(static_cast<std::size_t>(length), name.size() - 1);
        foldedNames_.push_back(FoldCase(FromWide(name.data(), units)));
    }
    row_.resize(foldedNames_.size());
}

void OdbcRecordSet::Check(SQLRETURN rc, std::string_view what) const {
    CheckAnswered(rc, SQL_HANDLE_STMT, statement_.Get(), what, link_->serverName, link_->queryTimeoutSeconds);
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
        return false;
    }
    Check(rc, "The next row could not be read.");
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

template <typename Char, typename Out>
bool OdbcRecordSet::ReadPieces(SQLUSMALLINT column, SQLSMALLINT type, std::vector<Char>& buffer, Out& value) {
    value.clear();
    const auto bufferBytes = static_cast<SQLLEN>(buffer.size() * sizeof(Char));
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(statement_.Get(), column, type, buffer.data(), bufferBytes, &indicator);
        if (rc == SQL_NO_DATA) return true;  // a long value's last piece was already read
        Check(rc, "A value could not be read.");
        if (indicator == SQL_NULL_DATA) return false;
        const bool truncated =
            rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= bufferBytes);
        // A truncated piece fills the buffer but for the terminating zero; the rest follows.
        const std::size_t units =
            truncated ? buffer.size() - 1 : static_cast<std::size_t>(indicator) / sizeof(Char);
        value.insert(value.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(units));
        if (!truncated) return true;
    }
}

std::optional<std::string> OdbcRecordSet::ReadColumn(std::size_t index) {
    const auto column = static_cast<SQLUSMALLINT>(index + 1);
    if (link_->narrowUtf8) {
        std::string value;
        if (!ReadPieces(column, SQL_C_CHAR, narrowBuffer_, value)) return std::nullopt;
        return value;
    }
    if (!ReadPieces(column, SQL_C_WCHAR, buffer_, wideValue_)) return std::nullopt;
    return FromWide(wideValue_.data(), wideValue_.size());
}

}  // namespace tablor::odbc

#include "sources/odbc/OdbcSession.hpp"

#include <sqlext.h>
#include <sqlucode.h>

#include "sources/odbc/OdbcDiagnostics.hpp"
#include "sources/odbc/OdbcRecordSet.hpp"
#include "sources/odbc/WideText.hpp"

namespace tablor::odbc {

OdbcSession::OdbcSession(std::shared_ptr<OdbcLink> link, std::string secret)
    : link_(std::move(link)), secret_(std::move(secret)) {}

std::unique_ptr<RecordSet> OdbcSession::Query(const std::string& sql) {
    if (!link_) throw DatabaseError("The connection is closed.");
    StatementHandle statement;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, link_->connection.Get(), statement.Receive()), SQL_HANDLE_DBC,
          link_->connection.Get(), "No statement could be created on the connection.", secret_);
    // Lets a driver that keeps its own query timeout cancel on the server; the program's
    // deadline for the reader covers the rest. Drivers that ignore it may refuse it.
    SQLSetStmtAttrW(statement.Get(), SQL_ATTR_QUERY_TIMEOUT, IntegerAttribute(link_->queryTimeoutSeconds),
                    SQL_IS_UINTEGER);
    std::vector<SQLWCHAR> text = ToWide(sql);
    const SQLRETURN rc = SQLExecDirectW(statement.Get(), text.data(), SQL_NTS);
    if (rc == SQL_NO_DATA) return std::make_unique<OdbcRecordSet>(link_, std::move(statement), false);
    CheckAnswered(rc, SQL_HANDLE_STMT, statement.Get(), "The query failed.", link_->serverName,
                  link_->queryTimeoutSeconds, secret_);
    return std::make_unique<OdbcRecordSet>(link_, std::move(statement), true);
}

// The connection ends when the last record set read from it is gone too.
void OdbcSession::Close() noexcept {
    link_.reset();
}

}  // namespace tablor::odbc

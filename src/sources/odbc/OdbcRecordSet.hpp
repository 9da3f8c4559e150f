#pragma once
#include <sql.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sources/DatabaseSession.hpp"
#include "sources/odbc/OdbcHandle.hpp"
#include "sources/odbc/OdbcLink.hpp"

namespace tablor::odbc {

// The rows of one executed statement, read forward only. Values are fetched as text, column
// by column in ascending order as the drivers require, and only as far as the caller asks.
class OdbcRecordSet : public RecordSet {
  public:
    // `statement` has been executed; `hasResult` is false when it produced no result set.
    OdbcRecordSet(std::shared_ptr<OdbcLink> link, StatementHandle statement, bool hasResult);
    ~OdbcRecordSet() override;

    bool Next() override;
    std::optional<std::string> Value(std::string_view column) override;

  private:
    std::size_t ColumnIndex(std::string_view column);
    std::optional<std::string> ReadColumn(std::size_t index);
    // Reads a value piece by piece into `value`, as `type` (SQL_C_CHAR or SQL_C_WCHAR); false
    // for NULL.
    template <typename Char, typename Out>
    bool ReadPieces(SQLUSMALLINT column, SQLSMALLINT type, std::vector<Char>& buffer, Out& value);

    std::shared_ptr<OdbcLink> link_;  // declared first: released after the statement
    // Throws unless the call on the statement succeeded.
    void Check(SQLRETURN rc, std::string_view what) const;
    StatementHandle statement_;
    bool open_ = false;
    std::vector<std::string> foldedNames_;
    std::vector<std::pair<std::string, std::size_t>> lookups_;  // names asked for, as given
    std::vector<std::optional<std::string>> row_;
    std::size_t columnsRead_ = 0;
    std::vector<SQLWCHAR> buffer_;
    std::vector<SQLWCHAR> wideValue_;  // kept, so that reading a value allocates nothing
    std::vector<char> narrowBuffer_ = std::vector<char>(512);
};

}  // namespace tablor::odbc

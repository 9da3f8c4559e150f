#pragma once
#include <sql.h>

#include <utility>

namespace tablor::odbc {

// Owns one ODBC handle of one type and frees it once.
template <SQLSMALLINT Type>
class OdbcHandle {
  public:
    OdbcHandle() = default;
    explicit OdbcHandle(SQLHANDLE handle) noexcept : handle_(handle) {}
    ~OdbcHandle() { Reset(); }
    OdbcHandle(OdbcHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    SQLHANDLE Get() const noexcept { return handle_; }
    // For SQLAllocHandle's output argument; frees what was held before.
    SQLHANDLE* Receive() noexcept {
        Reset();
        return &handle_;
    }
    void Reset() noexcept {
        if (handle_ != nullptr) SQLFreeHandle(Type, handle_);
        handle_ = nullptr;
    }

  private:
    SQLHANDLE handle_ = nullptr;
};

using EnvironmentHandle = OdbcHandle<SQL_HANDLE_ENV>;
using ConnectionHandle = OdbcHandle<SQL_HANDLE_DBC>;
using StatementHandle = OdbcHandle<SQL_HANDLE_STMT>;

// ODBC takes an integer attribute's value in the pointer argument.
inline SQLPOINTER IntegerAttribute(SQLULEN value) noexcept {
    return reinterpret_cast<SQLPOINTER>(value);  // NOLINT(performance-no-int-to-ptr): ODBC's own convention
}

}  // namespace tablor::odbc

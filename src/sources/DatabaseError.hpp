#pragma once
#include <string>

#include "support/TablorError.hpp"

namespace tablor {

// A failure of the data-access layer: the SQLSTATE and native code of its first diagnostic
// and the readable text of all of them. The text never holds a password.
class DatabaseError : public TablorError {
  public:
    explicit DatabaseError(std::string description, std::string sqlState = {}, long nativeCode = 0)
        : TablorError(errors::DatabaseFailure, std::move(description)),
          sqlState_(std::move(sqlState)),
          nativeCode_(nativeCode) {}

    // Five characters such as "08001"; empty when the failure did not come from a driver.
    const std::string& SqlState() const noexcept { return sqlState_; }
    long NativeCode() const noexcept { return nativeCode_; }

  private:
    std::string sqlState_;
    long nativeCode_;
};

}  // namespace tablor

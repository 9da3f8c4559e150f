#pragma once
#include <string>
#include <string_view>

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

// "The server SERVER stopped answering: " and why, as the driver's own timeout would say it.
inline DatabaseError StoppedAnswering(std::string_view server, std::string_view why) {
    return DatabaseError("The server " + std::string(server) + " stopped answering: " + std::string(why),
                         "HYT00");
}

}  // namespace tablor

#pragma once
#include <stdexcept>
#include <string>

namespace tablor {

// A failure of the data-access layer: the SQLSTATE and native code of its first diagnostic
// and the readable text of all of them. The text never holds a password.
class DatabaseError : public std::runtime_error {
  public:
    explicit DatabaseError(std::string description, std::string sqlState = {}, long nativeCode = 0)
        : std::runtime_error(description),
          description_(std::move(description)),
          sqlState_(std::move(sqlState)),
          nativeCode_(nativeCode) {}

    const std::string& Description() const noexcept { return description_; }
    // Five characters such as "08001"; empty when the failure did not come from a driver.
    const std::string& SqlState() const noexcept { return sqlState_; }
    long NativeCode() const noexcept { return nativeCode_; }

  private:
    std::string description_;
    std::string sqlState_;
    long nativeCode_;
};

}  // namespace tablor

#pragma once
#include <memory>
#include <string>

#include "sources/DatabaseSession.hpp"
#include "sources/odbc/OdbcLink.hpp"

namespace tablor::odbc {

// An open connection: runs queries and hands out their rows.
class OdbcSession : public DatabaseSession {
  public:
    // `secret` is kept out of every message a driver gives.
    OdbcSession(std::shared_ptr<OdbcLink> link, std::string secret);

    std::unique_ptr<RecordSet> Query(const std::string& sql) override;
    void Close() noexcept override;

  private:
    std::shared_ptr<OdbcLink> link_;
    std::string secret_;
};

}  // namespace tablor::odbc

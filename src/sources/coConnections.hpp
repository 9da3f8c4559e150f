#pragma once
#include <memory>
#include <string>

#include "model/Collection.hpp"
#include "sources/cConnection.hpp"

namespace tablor {

// The live sources of the last command that read one. New sources read through the reader the
// collection was given.
class coConnections : public Collection<cConnection> {
  public:
    explicit coConnections(std::shared_ptr<LiveReader> reader) : reader_(std::move(reader)) {}

    std::shared_ptr<cConnection> Add(std::string ServerName, std::string DatabaseName, std::string UserName,
                                     std::string Password, bool IntegratedSecurity,
                                     std::string_view sKey = {},
                                     DatabaseEngine engine = DatabaseEngine::SqlServer) {
        auto connection = std::make_shared<cConnection>(reader_, engine);
        connection->DatabaseName = std::move(DatabaseName);
        connection->ServerName = std::move(ServerName);
        connection->UserName = std::move(UserName);
        connection->Password = std::move(Password);
        connection->IntegratedSecurity = IntegratedSecurity;
        return Append(std::move(connection), sKey);
    }

  private:
    std::shared_ptr<LiveReader> reader_;
};

}  // namespace tablor

// The window against the MariaDB of the live-source tests: a server text starting with
// "mysql://" makes an entry a MySQL one.
#include <gmock/gmock.h>

#include "LiveWindow.hpp"
#include "MariaDbServer.hpp"

namespace tablor::testing {
namespace {

using ::testing::Contains;
using ::testing::StartsWith;

class MariaDbWindow : public LiveWindow {
  protected:
    const MariaDbServer& server = MariaDbServer::Get();
    const QString serverText = QString::fromStdString("mysql://" + server.ServerName());

    void AddDatabase(const std::string& database) {
        AddConnectionEntry(serverText, QString::fromStdString(database), QString::fromStdString(server.user),
                           QString::fromStdString(server.password));
    }
    std::string NameOf(const std::string& database) const {
        return serverText.toStdString() + "." + database;
    }
};

TEST_F(MariaDbWindow, TwoDatabasesCompared) {
    AddDatabase("tablor_shop");
    AddDatabase("tablor_shop_v2");
    Compare();
    const std::string one = NameOf("tablor_shop");
    const std::string two = NameOf("tablor_shop_v2");

    ASSERT_EQ(driver->opened.size(), 2u);
    for (const ConnectionSettings& opened : driver->opened) {
        EXPECT_EQ(opened.engine, DatabaseEngine::MySql);
        EXPECT_EQ(opened.serverName, server.ServerName());
    }
    const auto rows = DifferenceRows();
    EXPECT_THAT(rows, Contains("invoices|Table|" + one + "||Table was not found on " + one))
        << ::testing::PrintToString(prompt.Texts());
    EXPECT_THAT(rows, Contains(StartsWith("audit.PRIMARY|Constraint|" + two + "|")));
    ExpectIdle();
}

}  // namespace
}  // namespace tablor::testing

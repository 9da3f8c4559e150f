// The window against the PostgreSQL of the live-source tests: a server text starting with
// "postgresql://" makes an entry a PostgreSQL one, for the compare and the save-snapshot
// commands alike, and the other entry keeps its own engine.
#include <gmock/gmock.h>

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

#include "LiveWindow.hpp"
#include "PostgresServer.hpp"
#include "workbench/DifferencesModel.hpp"

namespace tablor::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// The reader of pg_databases.sql.
const std::string kUser = "tablor_reader";
const std::string kPassword = "a}b;c{d=e f";

class PostgresWindow : public LiveWindow {
  protected:
    const PostgresServer& server = PostgresServer::Get();
    const QString serverText = QString::fromStdString("postgresql://" + server.ServerName());

    void AddDatabase(const std::string& database, const std::string& user = kUser,
                     const std::string& password = kPassword) {
        AddConnectionEntry(serverText, QString::fromStdString(database), QString::fromStdString(user),
                           QString::fromStdString(password));
    }
    std::string NameOf(const std::string& database) const {
        return serverText.toStdString() + "." + database;
    }
};

// As the cluster's owner: a reader with SELECT rights alone is shown no table constraints.
TEST_F(PostgresWindow, TwoDatabasesCompared) {
    AddDatabase("tablor_shop", server.user, server.password);
    AddDatabase("tablor_shop_v2", server.user, server.password);
    Compare();
    const std::string one = NameOf("tablor_shop");
    const std::string two = NameOf("tablor_shop_v2");

    ASSERT_EQ(driver->opened.size(), 2u);
    for (const ConnectionSettings& opened : driver->opened) {
        EXPECT_EQ(opened.engine, DatabaseEngine::PostgreSql);
        EXPECT_EQ(opened.serverName, server.ServerName());
    }
    const auto rows = DifferenceRows();
    EXPECT_THAT(rows, Contains("orders|Table|" + two + "||Table was not found on " + two))
        << ::testing::PrintToString(prompt.Texts());
    EXPECT_THAT(rows, Contains("invoices|Table|" + one + "||Table was not found on " + one));
    EXPECT_THAT(rows,
                Contains("email|Field|" + one +
                         "|customers|The field email was not found on the table customers on the object " +
                         one + ", TYPE: character varying SIZE: 200"));
    EXPECT_THAT(
        rows, Contains("code|Field|" + two +
                       "|customers|The field code was not found on the table customers on the object " + two +
                       ", TYPE: character SIZE: 5"));
    EXPECT_THAT(rows, Contains("archive_orders|Procedure|" + two + "||Routine was not found on " + two));
    EXPECT_THAT(rows, Contains("pk_orders|Constraint|" + two + "||Constraint was not found on " + two));
    EXPECT_THAT(rows, Contains("invoices_pkey|Constraint|" + one + "||Constraint was not found on " + one));
    // On both sides.
    EXPECT_THAT(rows, Not(Contains(HasSubstr("order_total|"))));
    EXPECT_THAT(rows, Not(Contains(HasSubstr("customers_pkey|"))));
    EXPECT_THAT(rows, Not(Contains(HasSubstr("open_orders|View|"))));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text,
              std::to_string(rows.size()) + " difference(s) found between the two objects!");
    EXPECT_EQ(Window().ComparedNames().first.toStdString(), one);
    EXPECT_EQ(Window().ComparedNames().second.toStdString(), two);

    const QString password = QString::fromStdString(server.password);
    for (const QString& text : ShownTexts()) EXPECT_FALSE(text.contains(password)) << text.toStdString();
    ExpectIdle();
}

TEST_F(PostgresWindow, EachEntryKeepsItsOwnEngine) {
    TdsResponder sqlServer;
    Catalogue catalogue;
    catalogue.tables = {{"plain", {{"id", "int", {}}, {"label", "varchar", 10}}},
                        {"audit", {{"id", "int", {}}}}};
    catalogue.ScriptInto(sqlServer);

    AddDatabase("tablor_plain");
    AddConnectionEntry(ServerOf(sqlServer), "Plain", "sa", "x");
    Compare();

    // Both sides are opened at once, in either order.
    ASSERT_EQ(driver->opened.size(), 2u);
    const bool sqlServerFirst = driver->opened[0].engine == DatabaseEngine::SqlServer;
    EXPECT_EQ(driver->opened[sqlServerFirst ? 1 : 0].engine, DatabaseEngine::PostgreSql);
    EXPECT_EQ(driver->opened[sqlServerFirst ? 0 : 1].engine, DatabaseEngine::SqlServer);
    EXPECT_EQ(driver->opened[sqlServerFirst ? 0 : 1].serverName, ServerOf(sqlServer).toStdString());
    const std::string one = NameOf("tablor_plain");
    EXPECT_THAT(DifferenceRows(), ElementsAre("audit|Table|" + one + "||Table was not found on " + one))
        << ::testing::PrintToString(prompt.Texts());
    EXPECT_THAT(prompt.Texts(), ElementsAre("1 difference(s) found between the two objects!"));
    ExpectIdle();
}

// The snapshot is headed by the server the driver was given, and reads back as the database.
TEST_F(PostgresWindow, SaveSnapshotReadsPostgreSql) {
    Find<QComboBox>("txtServer").setEditText(serverText);
    Find<QLineEdit>("txtDatabase").setText("tablor_plain");
    Find<QLineEdit>("txtUser").setText(QString::fromStdString(kUser));
    Find<QLineEdit>("txtPassword").setText(QString::fromStdString(kPassword));
    prompt.Type("plain");
    Click("btnSaveSnapShot");

    ASSERT_THAT(prompt.Texts(), ElementsAre("The snapshot was saved as " + SnapShotFile("plain.snp") + "."));
    prompt.messages.clear();
    ASSERT_THAT(SnapShotList(), Contains("plain.snp"));
    const std::string text = TempFolder::Read(SnapShotFile("plain.snp"));
    EXPECT_EQ(text.rfind(server.ServerName() + "*tablor_plain*" + kUser + "*\r\n", 0), 0u) << text;
    EXPECT_THAT(text, HasSubstr(":plain\r\nid*integer*\r\nlabel*character varying*10\r\n"));

    AddDatabase("tablor_plain");
    AddSnapShotEntry("plain.snp");
    Compare();
    EXPECT_THAT(prompt.Texts(), ElementsAre("0 difference(s) found between the two objects!"));
    ExpectIdle();
}

// A side that cannot be opened shows the masked connection text, then the driver's own words,
// never the password.
TEST_F(PostgresWindow, AFailedLoginShowsTheMaskedConnectionTextAndTheDriversWords) {
    const struct {
        std::string server, password, words;
    } cases[] = {
        {server.ServerName(), "wrong;pass", "password authentication failed"},
        {"no-such-host.invalid", "wrong;pass", "could not translate host name"},
        {"127.0.0.1:1", "wrong;pass", "Connection refused"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.server);
        Click("btnClear");
        prompt.messages.clear();
        AddConnectionEntry(QString::fromStdString("postgresql://" + each.server), "tablor_shop",
                           QString::fromStdString(kUser), QString::fromStdString(each.password));
        AddDatabase("tablor_shop_v2");
        Compare();

        ASSERT_EQ(prompt.messages.size(), 1u);
        const std::string shown =
            "Error opening the connection! Details:Provider=PostgreSQL;Persist Security Info=False;User ID=" +
            kUser + ";password=****;Initial Catalog=tablor_shop;Data Source=" + each.server + "\n";
        EXPECT_EQ(prompt.messages[0].text.substr(0, shown.size()), shown);
        EXPECT_THAT(prompt.messages[0].text.substr(shown.size()), HasSubstr(each.words));
        EXPECT_EQ(prompt.messages[0].title, "Error");
        EXPECT_EQ(prompt.messages[0].icon, PromptIcon::Warning);
        EXPECT_EQ(Differences().rowCount(), 0);
        for (const QString& text : ShownTexts())
            EXPECT_FALSE(text.contains(QString::fromStdString(each.password))) << text.toStdString();
        ExpectIdle();
    }
}

}  // namespace
}  // namespace tablor::testing

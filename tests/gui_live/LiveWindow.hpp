#pragma once
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "GuiTestSupport.hpp"
#include "TdsResponder.hpp"
#include "sources/odbc/OdbcConnector.hpp"

namespace tablor::testing {

// The test window takes its connector as a FakeConnector; this one opens real sessions through
// the ODBC adapter, and still records what each open was given.
class DriverConnector : public FakeConnector {
  public:
    explicit DriverConnector(OdbcOptions options) : odbc_(std::move(options)) {}
    std::unique_ptr<DatabaseSession> Open(const ConnectionSettings& settings) override;

  private:
    OdbcConnector odbc_;
};

// A small SQL Server catalogue, answered by a responder in the shapes INFORMATION_SCHEMA has.
struct Catalogue {
    struct Field {
        std::string name, type;
        std::optional<int> length;
    };
    struct Table {
        std::string name;
        std::vector<Field> fields;
    };
    std::vector<Table> tables;
    std::vector<std::string> views, procedures, functions, constraints;

    void ScriptInto(TdsResponder& server) const;
};

// The window reading live databases through the installed drivers (FreeTDS, psqlODBC).
class LiveWindow : public GuiTest {
  protected:
    void SetUp() override;

    // The responder as the window names it: "127.0.0.1,PORT".
    static QString ServerOf(const TdsResponder& server);
    void Compare();
    // Every text the window shows: captions, labels, fields as displayed, list entries, the
    // differences and their headers, tooltips; and every message it showed.
    QStringList ShownTexts();
    void ExpectIdle();

    std::shared_ptr<DriverConnector> driver;
};

}  // namespace tablor::testing

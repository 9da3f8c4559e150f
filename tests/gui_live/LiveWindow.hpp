#pragma once
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "GuiTestSupport.hpp"
#include "TdsResponder.hpp"
#include "sources/ChildProcessReader.hpp"
#include "sources/odbc/OdbcConnector.hpp"

namespace tablor::testing {

// Reads as the program does, in reader processes through the installed drivers, and records
// what each read was given.
class RecordingReader : public LiveReader {
  public:
    explicit RecordingReader(const OdbcOptions& drivers);
    void ReadSchema(const ConnectionSettings& settings, cMetaData& model, UserPrompt& prompt) override;

    std::vector<ConnectionSettings> opened;

  private:
    std::mutex mutex_;  // both sides of a comparison read at once
    ChildProcessReader reader_;
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

    std::shared_ptr<RecordingReader> driver;
};

}  // namespace tablor::testing

#include "GuiTestSupport.hpp"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "support/TextCase.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/ServerMemory.hpp"

namespace tablor::testing {
namespace {

// One application for the whole test program, offscreen, with its own home so that
// parallel test processes never share a settings file.
class GuiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        home_ = std::make_unique<TempFolder>();
        ::setenv("HOME", home_->Path().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QStandardPaths::setTestModeEnabled(true);
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

  private:
    int argc_ = 1;
    char name_[12] = "tablor-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<TempFolder> home_;
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

class FakeRecordSet : public RecordSet {
  public:
    FakeRecordSet(std::vector<FakeDatabase::Row> rows, std::function<void()> onRow)
        : rows_(std::move(rows)), onRow_(std::move(onRow)) {}
    bool Next() override {
        // Tests act on the window from here: on its thread, while the read waits.
        if (started_ && onRow_) {
            if (QThread::currentThread() == qApp->thread())
                onRow_();
            else
                QMetaObject::invokeMethod(qApp, onRow_, Qt::BlockingQueuedConnection);
        }
        if (started_) ++at_;
        started_ = true;
        return at_ < rows_.size();
    }
    std::optional<std::string> Value(std::string_view column) override {
        const auto& row = rows_.at(at_);
        const auto found = row.find(AsciiUpper(column));
        if (found == row.end()) return std::nullopt;
        return found->second;
    }

  private:
    std::vector<FakeDatabase::Row> rows_;
    std::function<void()> onRow_;
    std::size_t at_ = 0;
    bool started_ = false;
};

class FakeSession : public DatabaseSession {
  public:
    FakeSession(const FakeDatabase& database, const FakeConnector& connector)
        : database_(database), connector_(connector) {}
    std::unique_ptr<RecordSet> Query(const std::string& sql) override {
        if (connector_.failQueries)
            throw DatabaseError("The SELECT permission was denied on the object 'TABLES'");
        const std::string upper = AsciiUpper(sql);
        const auto rows = [&]() -> const std::vector<FakeDatabase::Row>& {
            if (upper.find("INFORMATION_SCHEMA.TABLE_CONSTRAINTS") != std::string::npos)
                return database_.constraints;
            if (upper.find("INFORMATION_SCHEMA.TABLES") != std::string::npos) return database_.tables;
            if (upper.find("INFORMATION_SCHEMA.COLUMNS") != std::string::npos) return database_.columns;
            if (upper.find("INFORMATION_SCHEMA.VIEWS") != std::string::npos) return database_.views;
            if (upper.find("INFORMATION_SCHEMA.ROUTINES") != std::string::npos) return database_.routines;
            // The definitions query: these databases tell nothing beyond names.
            static const std::vector<FakeDatabase::Row> none;
            if (upper.find("OBJECT_KIND") != std::string::npos) return none;
            throw DatabaseError("Invalid object name in: " + sql);
        }();
        return std::make_unique<FakeRecordSet>(rows, connector_.onRow);
    }
    void Close() noexcept override {}

  private:
    const FakeDatabase& database_;
    const FakeConnector& connector_;
};

}  // namespace

std::optional<QString> ScriptedSaveDialog::AskSaveFileName(const QString& title, const QString& filter,
                                                           const QString& initialName) {
    requests.push_back({title, filter, initialName});
    if (next_ >= answers_.size()) return std::nullopt;
    return answers_[next_++];
}

FakeDatabase& FakeDatabase::Table(const std::string& name,
                                  std::vector<std::pair<std::string, std::string>> fields) {
    tables.push_back({{"TABLE_SCHEMA", "dbo"}, {"TABLE_NAME", name}});
    for (const auto& [field, type] : fields) {
        Row column{
            {"TABLE_SCHEMA", "dbo"}, {"TABLE_NAME", name}, {"COLUMN_NAME", field}, {"DATA_TYPE", type}};
        if (type.find("char") != std::string::npos) column["CHARACTER_MAXIMUM_LENGTH"] = "50";
        columns.push_back(std::move(column));
    }
    return *this;
}
FakeDatabase& FakeDatabase::View(const std::string& name) {
    views.push_back({{"TABLE_NAME", name}});
    return *this;
}
FakeDatabase& FakeDatabase::Procedure(const std::string& name) {
    routines.push_back({{"ROUTINE_NAME", name}, {"ROUTINE_TYPE", "PROCEDURE"}});
    return *this;
}
FakeDatabase& FakeDatabase::Function(const std::string& name) {
    routines.push_back({{"ROUTINE_NAME", name}, {"ROUTINE_TYPE", "FUNCTION"}});
    return *this;
}
FakeDatabase& FakeDatabase::Constraint(const std::string& name) {
    constraints.push_back({{"CONSTRAINT_NAME", name}});
    return *this;
}

std::unique_ptr<DatabaseSession> FakeConnector::Open(const ConnectionSettings& settings) {
    std::lock_guard lock(openMutex_);
    opened.push_back(settings);
    const auto found = databases.find(settings.databaseName);
    if (found == databases.end()) throw DatabaseError("Login failed for user '" + settings.userName + "'.");
    return std::make_unique<FakeSession>(found->second, *this);
}

void GuiTest::SetUp() {
    home_ = std::make_unique<TempFolder>();
    ::setenv("TABLOR_HOME", home_->Path().c_str(), 1);
    StoreServers(QString());
    // Options and a window's place a test chose must not carry over into the next test.
    QSettings store = gui::ServerMemory::Store();
    store.remove("ComparisonOptions");
    store.remove("Window");
    store.sync();
}

void GuiTest::TearDown() {
    window_.reset();
    ::unsetenv("TABLOR_HOME");
}

gui::Main& GuiTest::Window() {
    if (!window_)
        window_ = std::make_unique<gui::Main>(
            prompt, saveDialog, reader ? reader : std::shared_ptr<LiveReader>(connector), hooks);
    return *window_;
}

gui::Main& GuiTest::ShownWindow() {
    gui::Main& window = Window();
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    return window;
}

void GuiTest::CopyExample(const std::string& name, const std::string& targetRelative) {
    const std::filesystem::path examples = TABLOR_EXAMPLES_DIR;
    const std::filesystem::path target = std::filesystem::path(Home()) / targetRelative;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(examples / name, target, std::filesystem::copy_options::overwrite_existing);
}

void GuiTest::WriteSnapShot(const std::string& name, const std::string& content) {
    std::filesystem::create_directories(Home() + "/SnapShots");
    home_->Write("SnapShots/" + name, content);
}

void GuiTest::WriteDefinedSnapShots() {
    const std::string head =
        "*shop*app*\r\n\r\n\r\n\r\n~E*1*engine=postgresql\r\n~T*1*schema=public*\r\n"
        "~T*2*schema=public*\r\n";
    const std::string id = "id*integer*4*nullable=NO*type=integer\r\n";
    WriteSnapShot("model.snp", "PG01" + head + ":customers\r\n" + id +
                                   "name*text*0*nullable=YES*type=text\r\n" + ":orders\r\n" + id +
                                   "note*varchar*200*nullable=YES*type=character varying(200)\r\n");
    WriteSnapShot("copy.snp", "PG02" + head + ":orders\r\n" + id +
                                  "legacy*text*0*nullable=YES*type=text\r\n" +
                                  ":old_log\r\nline*text*0*nullable=YES*type=text\r\n");
}

void GuiTest::Click(const char* button) {
    Find<QAbstractButton>(button).click();
}

void GuiTest::Trigger(const char* action) {
    Find<QAction>(action).trigger();
}

gui::DifferencesModel& GuiTest::Differences() {
    // The list shows the window's own rows: what it displays is what the report saves.
    auto* model = qobject_cast<gui::DifferencesModel*>(Find<QTreeView>("lvDifferences").model());
    if (model == nullptr) {
        ADD_FAILURE() << "The differences list shows no difference rows";
        throw std::logic_error("no difference rows");
    }
    return *model;
}

void GuiTest::SelectSnapShot(const QString& name) {
    auto& list = Find<QListWidget>("FLSnapShots");
    const auto found = list.findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    list.setCurrentItem(found.front());
}

void GuiTest::AddSnapShotEntry(const QString& name) {
    SelectSnapShot(name);
    Click("btnAddSnapShot");
}

void GuiTest::AddConnectionEntry(const QString& server, const QString& database, const QString& user,
                                 const QString& password, bool integrated) {
    Find<QComboBox>("txtServer").setEditText(server);
    Find<QLineEdit>("txtDatabase").setText(database);
    Find<QLineEdit>("txtUser").setText(user);
    Find<QLineEdit>("txtPassword").setText(password);
    Find<QCheckBox>("chkIntegrated").setChecked(integrated);
    Click("btnAddConnection");
}

QStringList GuiTest::SnapShotList() {
    QStringList names;
    const auto& list = Find<QListWidget>("FLSnapShots");
    for (int i = 0; i < list.count(); ++i) names.append(list.item(i)->text());
    return names;
}

QStringList GuiTest::CompareEntries() {
    QStringList names;
    const auto& list = Find<QListWidget>("lvCompare");
    for (int i = 0; i < list.count(); ++i) names.append(list.item(i)->text());
    return names;
}

std::vector<std::string> GuiTest::DifferenceRows() {
    std::vector<std::string> rows;
    const gui::DifferencesModel& model = Differences();
    for (int row = 0; row < model.rowCount(); ++row) {
        std::string line;
        for (int column = 0; column < gui::DifferencesModel::kColumns; ++column) {
            if (column > 0) line += "|";
            line += model.data(model.index(row, column), Qt::DisplayRole).toString().toStdString();
        }
        rows.push_back(line);
    }
    return rows;
}

std::string SnapShotText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

QString StoredServers() {
    QSettings store = gui::ServerMemory::Store();
    return store.value("Settings/Server").toString();
}

void StoreServers(const QString& value) {
    QSettings store = gui::ServerMemory::Store();
    if (value.isNull())
        store.remove("Settings/Server");
    else
        store.setValue("Settings/Server", value);
    store.sync();
}

void SaveScreenshot(QWidget& widget, const QString& folder, const QString& name) {
    QDir().mkpath(folder);
    // Pictures taken on a scaled screen sit beside the others.
    QString file = name;
    if (const qreal scale = widget.devicePixelRatio(); scale != 1.0)
        file.insert(file.lastIndexOf('.'), QStringLiteral("@%1x").arg(scale));
    const QString path = folder + "/" + file;
    const QImage image = widget.grab().toImage();
    ASSERT_FALSE(image.isNull());
    ASSERT_TRUE(image.save(path)) << path.toStdString();
}

}  // namespace tablor::testing

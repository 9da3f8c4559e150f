#include "LiveWindow.hpp"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <QTreeView>

#include "PostgresServer.hpp"
#include "sources/SchemaQueries.hpp"
#include "workbench/DifferencesModel.hpp"

namespace tablor::testing {
namespace {

Column Name(std::string name) {
    return {std::move(name), ColumnType::NVarChar, 128};
}

}  // namespace

RecordingReader::RecordingReader(const OdbcOptions& drivers)
    : reader_(ChildProcessReader::DefaultProgram(),
              {drivers.sqlServerDriver, drivers.postgreSqlDriver, drivers.mySqlDriver}) {}

void RecordingReader::ReadSchema(const ConnectionSettings& settings, cMetaData& model, UserPrompt& prompt) {
    {
        std::lock_guard lock(mutex_);
        opened.push_back(settings);
    }
    reader_.ReadSchema(settings, model, prompt);
}

void Catalogue::ScriptInto(TdsResponder& server) const {
    const SchemaQueries queries = SchemaQueries::For(DatabaseEngine::SqlServer);
    ResultSet tableRows{{Name("TABLE_CATALOG"),
                         Name("TABLE_SCHEMA"),
                         Name("TABLE_NAME"),
                         {"TABLE_TYPE", ColumnType::NVarChar, 10}},
                        {}};
    ResultSet columnRows{{Name("TABLE_SCHEMA"),
                          Name("TABLE_NAME"),
                          Name("COLUMN_NAME"),
                          {"CHARACTER_MAXIMUM_LENGTH", ColumnType::Int},
                          Name("DATA_TYPE")},
                         {}};
    for (const Table& table : tables) {
        tableRows.rows.push_back({"db", "dbo", table.name, "BASE TABLE"});
        for (const Field& field : table.fields)
            columnRows.rows.push_back({"dbo", table.name, field.name, field.length, field.type});
    }
    ResultSet viewRows{{Name("TABLE_SCHEMA"), Name("TABLE_NAME")}, {}};
    for (const auto& view : views) viewRows.rows.push_back({"dbo", view});
    ResultSet routineRows{{Name("ROUTINE_SCHEMA"),
                           Name("ROUTINE_NAME"),
                           {"ROUTINE_TYPE", ColumnType::NVarChar, 20},
                           Name("SPECIFIC_NAME")},
                          {}};
    for (const auto& procedure : procedures)
        routineRows.rows.push_back({"dbo", procedure, "PROCEDURE", procedure});
    for (const auto& function : functions)
        routineRows.rows.push_back({"dbo", function, "FUNCTION", function});
    ResultSet constraintRows{
        {Name("CONSTRAINT_SCHEMA"), Name("CONSTRAINT_NAME"), {"CONSTRAINT_TYPE", ColumnType::NVarChar, 11}},
        {}};
    for (const auto& constraint : constraints)
        constraintRows.rows.push_back({"dbo", constraint, "PRIMARY KEY"});

    server.addResult(queries.tables, std::move(tableRows));
    server.addResult(queries.columns, std::move(columnRows));
    server.addResult(queries.views, std::move(viewRows));
    server.addResult(queries.routines, std::move(routineRows));
    server.addResult(queries.constraints, std::move(constraintRows));
    // A snapshot always reads definitions: this catalogue tells none beyond names.
    server.addResult(queries.definitions,
                     ResultSet{{Name("OBJECT_KIND"), Name("OBJECT_SCHEMA"), Name("OBJECT_NAME"),
                                Name("COLUMN_NAME"), Name("PROPERTY"), Name("VALUE")},
                               {}});
}

void LiveWindow::SetUp() {
    GuiTest::SetUp();
    // The drivers as installed, whatever the environment of the one running the tests names.
    driver = std::make_shared<RecordingReader>(PostgresServer::Driver());
    reader = driver;
}

QString LiveWindow::ServerOf(const TdsResponder& server) {
    return "127.0.0.1," + QString::number(server.port());
}

void LiveWindow::Compare() {
    Click("btnCompare");
}

QStringList LiveWindow::ShownTexts() {
    gui::Main& window = Window();
    QStringList texts{window.windowTitle()};
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        texts << widget->windowTitle() << widget->toolTip() << widget->statusTip()
              << widget->accessibleName();
        if (const auto* label = qobject_cast<const QLabel*>(widget)) texts << label->text();
        if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) texts << edit->displayText();
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) texts << button->text();
        if (const auto* box = qobject_cast<const QGroupBox*>(widget)) texts << box->title();
        if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
            texts << combo->currentText();
            for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        }
        if (const auto* list = qobject_cast<const QListWidget*>(widget)) {
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text() << list->item(i)->toolTip();
        }
    }
    for (const QAction* action : window.findChildren<QAction*>())
        texts << action->text() << action->toolTip();
    const gui::DifferencesModel& model = Differences();
    for (int column = 0; column < model.columnCount(); ++column)
        texts << model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int column = 0; column < model.columnCount(); ++column) {
            const QModelIndex index = model.index(row, column);
            texts << model.data(index, Qt::DisplayRole).toString()
                  << model.data(index, Qt::ToolTipRole).toString();
        }
    }
    for (const PromptMessage& message : prompt.messages)
        texts << QString::fromStdString(message.text) << QString::fromStdString(message.title);
    return texts;
}

void LiveWindow::ExpectIdle() {
    EXPECT_FALSE(Window().IsBusy());
    EXPECT_TRUE(Find<QFrame>("WorkingPanel").isHidden());
    EXPECT_TRUE(Find<QToolButton>("btnCompare").isEnabled());
    EXPECT_TRUE(Find<QLabel>("lblStatus").text().isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace tablor::testing

#include "sources/ReaderWire.hpp"

#include <charconv>
#include <vector>

namespace tablor::wire {
namespace {

void AppendLength(std::string& out, std::size_t length) {
    const auto value = static_cast<std::uint32_t>(length);
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

std::uint32_t LengthAt(std::string_view bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    return value;
}

[[noreturn]] void Garbled(std::string_view what) {
    throw DatabaseError("The database reader sent a message that could not be read (" + std::string(what) +
                        ").");
}

std::string Decimal(long value) {
    return std::to_string(value);
}

std::string_view StageWord(Stage stage) {
    return stage == Stage::Open ? "open" : "read";
}

template <class Fields>
void AppendFields(std::string& out, Frame kind, const Fields& fields) {
    std::size_t payload = 0;
    for (const std::string_view field : fields) payload += 4 + field.size();
    out += static_cast<char>(kind);
    AppendLength(out, payload);
    for (const std::string_view field : fields) {
        AppendLength(out, field.size());
        out += field;
    }
}

void AppendColumn(std::string& out, const cField& column, std::vector<std::string_view>& fields) {
    fields.assign({column.FieldName, column.FieldType, column.FieldSize});
    if (column.Definition) {
        fields.emplace_back("D");
        for (const auto& [property, value] : *column.Definition) {
            fields.emplace_back(property);
            fields.emplace_back(value);
        }
    }
    AppendFields(out, Frame::Column, fields);
}

}  // namespace

void AppendFrame(std::string& out, Frame kind, std::initializer_list<std::string_view> fields) {
    AppendFields(out, kind, fields);
}

bool TakeFrame(std::string_view& buffer, Frame& kind, std::string_view& payload) {
    if (buffer.size() < 5) return false;
    const std::uint32_t length = LengthAt(buffer.substr(1, 4));
    if (length > kMaxFrameBytes) Garbled("a frame of " + std::to_string(length) + " bytes");
    if (buffer.size() - 5 < length) return false;
    kind = static_cast<Frame>(buffer[0]);
    payload = buffer.substr(5, length);
    buffer.remove_prefix(5 + length);
    return true;
}

std::string_view FieldReader::Next() {
    if (rest_.size() < 4) Garbled("a field is missing");
    const std::uint32_t length = LengthAt(rest_.substr(0, 4));
    if (rest_.size() - 4 < length) Garbled("a field runs past its frame");
    const std::string_view field = rest_.substr(4, length);
    rest_.remove_prefix(4 + length);
    return field;
}

long FieldReader::Number() {
    const std::string_view text = Next();
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) Garbled("a number is not one");
    return value;
}

void AppendRequest(std::string& out, const ConnectionSettings& settings, std::string_view driver) {
    const std::string trust =
        settings.trustServerCertificate ? (*settings.trustServerCertificate ? "1" : "0") : "";
    std::string schemas;
    for (const std::string& schema : settings.schemas) {
        AppendLength(schemas, schema.size());
        schemas += schema;
    }
    AppendFrame(out, Frame::Request,
                {Decimal(static_cast<long>(settings.engine)), settings.serverName, settings.databaseName,
                 settings.userName, settings.password, settings.integratedSecurity ? "1" : "0",
                 Decimal(settings.queryTimeoutSeconds), Decimal(settings.loginTimeoutSeconds),
                 Decimal(static_cast<long>(settings.encryption)), trust, settings.qualifyNames ? "1" : "0",
                 driver, schemas, settings.readDefinitions ? "1" : "0"});
}

ReadRequest ParseRequest(std::string_view payload) {
    FieldReader fields(payload);
    ReadRequest request;
    ConnectionSettings& settings = request.settings;
    const long engine = fields.Number();
    if (engine < 0 || engine > static_cast<long>(DatabaseEngine::MySql)) Garbled("an unknown engine");
    settings.engine = static_cast<DatabaseEngine>(engine);
    settings.serverName = fields.Text();
    settings.databaseName = fields.Text();
    settings.userName = fields.Text();
    settings.password = fields.Text();
    settings.integratedSecurity = fields.Next() == "1";
    settings.queryTimeoutSeconds = static_cast<unsigned>(fields.Number());
    settings.loginTimeoutSeconds = static_cast<unsigned>(fields.Number());
    const long encryption = fields.Number();
    if (encryption < 0 || encryption > static_cast<long>(Encryption::Strict))
        Garbled("an unknown encryption");
    settings.encryption = static_cast<Encryption>(encryption);
    const std::string_view trust = fields.Next();
    if (!trust.empty()) settings.trustServerCertificate = trust == "1";
    settings.qualifyNames = fields.Next() == "1";
    request.driver = fields.Text();
    FieldReader schemas(fields.Next());
    while (!schemas.AtEnd()) settings.schemas.push_back(schemas.Text());
    settings.readDefinitions = fields.Next() == "1";
    return request;
}

void AppendError(std::string& out, Stage stage, const TablorError& error) {
    const auto* database = dynamic_cast<const DatabaseError*>(&error);
    AppendFrame(out, Frame::Error,
                {StageWord(stage), Decimal(error.Number()), error.Description(),
                 database != nullptr ? std::string_view(database->SqlState()) : std::string_view(),
                 Decimal(database != nullptr ? database->NativeCode() : 0)});
}

ReportedError ParseError(std::string_view payload) {
    FieldReader fields(payload);
    ReportedError error;
    error.stage = fields.Next() == "open" ? Stage::Open : Stage::Read;
    error.number = fields.Number();
    error.description = fields.Text();
    error.sqlState = fields.Text();
    error.nativeCode = fields.Number();
    return error;
}

void AppendRows(std::string& out, const SchemaRows& rows) {
    AppendFrame(
        out, Frame::Schemas,
        {rows.schemasKnown ? "1" : "0", rows.definitionsRead ? "1" : "0", rows.namesQualified ? "1" : "0"});
    for (const SchemaRows::Table& table : rows.tables)
        AppendFrame(out, Frame::Table, {table.schema, table.name, table.modelName});
    for (const SchemaRows::Named& constraint : rows.constraints)
        AppendFrame(out, Frame::Constraint, {constraint.schema, constraint.name});
    for (const SchemaRows::Named& view : rows.views) AppendFrame(out, Frame::View, {view.schema, view.name});
    for (const SchemaRows::Routine& routine : rows.routines)
        AppendFrame(out, Frame::Routine,
                    {routine.schema, routine.name, routine.isFunction ? "F" : "P", routine.specificName});
    std::vector<std::string_view> fields;
    for (const auto& [key, columns] : rows.columns) {
        AppendFrame(out, Frame::Columns, {key});
        for (const cField& column : columns) AppendColumn(out, column, fields);
    }
    for (const SchemaRows::Property& row : rows.properties)
        AppendFrame(out, Frame::Property,
                    {row.kind, row.schema, row.name, row.column, row.property, row.value});
}

bool RowsCollector::Take(Frame kind, std::string_view payload) {
    FieldReader fields(payload);
    switch (kind) {
        case Frame::Table: {
            SchemaRows::Table table;
            table.schema = fields.Text();
            table.name = fields.Text();
            table.modelName = fields.Text();
            rows_.tables.push_back(std::move(table));
            return true;
        }
        case Frame::Schemas:
            rows_.schemasKnown = fields.Next() == "1";
            rows_.definitionsRead = fields.Next() == "1";
            rows_.namesQualified = fields.Next() == "1";
            return true;
        case Frame::Constraint:
        case Frame::View: {
            SchemaRows::Named named;
            named.schema = fields.Text();
            named.name = fields.Text();
            (kind == Frame::View ? rows_.views : rows_.constraints).push_back(std::move(named));
            return true;
        }
        case Frame::Routine: {
            SchemaRows::Routine routine;
            routine.schema = fields.Text();
            routine.name = fields.Text();
            routine.isFunction = fields.Next() == "F";
            routine.specificName = fields.Text();
            rows_.routines.push_back(std::move(routine));
            return true;
        }
        case Frame::Property: {
            SchemaRows::Property row;
            row.kind = fields.Text();
            row.schema = fields.Text();
            row.name = fields.Text();
            row.column = fields.Text();
            row.property = fields.Text();
            row.value = fields.Text();
            rows_.properties.push_back(std::move(row));
            return true;
        }
        case Frame::Columns:
            columns_ = &rows_.columns[fields.Text()];
            return true;
        case Frame::Column: {
            if (columns_ == nullptr) Garbled("a column before its table");
            cField column;
            column.FieldName = fields.Text();
            column.FieldType = fields.Text();
            column.FieldSize = fields.Text();
            if (!fields.AtEnd()) {
                if (fields.Next() != "D") Garbled("a column's definition");
                column.Definition = SharedDefinition(fields.Rest());
            }
            columns_->push_back(std::move(column));
            return true;
        }
        default:
            return false;
    }
}

ColumnDefinition::Shared RowsCollector::SharedDefinition(std::string_view fields) {
    key_.assign(fields);
    const auto found = definitions_.find(key_);
    if (found != definitions_.end()) return found->second;
    auto definition = std::make_shared<Properties>();
    FieldReader pairs(fields);
    while (!pairs.AtEnd()) {
        std::string property = pairs.Text();
        definition->emplace_back(std::move(property), pairs.Text());
    }
    definitions_.emplace(key_, definition);
    return definition;
}

}  // namespace tablor::wire

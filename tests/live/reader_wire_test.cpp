// What the program and its reader process say to each other over their socket.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sources/ReaderWire.hpp"

namespace tablor::wire {
namespace {

std::string Describe(const SchemaRows& rows) {
    std::string text;
    for (const auto& table : rows.tables)
        text += "T[" + table.schema + "|" + table.name + "|" + table.modelName + "]";
    text += rows.schemasKnown ? "N" : "n";
    text += rows.definitionsRead ? "D" : "d";
    text += rows.namesQualified ? "Q" : "q";
    for (const auto& named : rows.constraints) text += "K[" + named.schema + "|" + named.name + "]";
    for (const auto& named : rows.views) text += "V[" + named.schema + "|" + named.name + "]";
    for (const auto& routine : rows.routines)
        text += "R[" + routine.schema + "|" + routine.name + (routine.isFunction ? "|F|" : "|P|") +
                routine.specificName + "]";
    std::map<std::string, std::vector<cField>> columns(rows.columns.begin(), rows.columns.end());
    for (const auto& [key, fields] : columns) {
        text += "G[" + key + "]";
        for (const cField& field : fields) {
            text += "C[" + field.FieldName + "|" + field.FieldType + "|" + field.FieldSize;
            if (field.Definition) {
                text += "|D";
                for (const auto& [property, value] : *field.Definition) text += "|" + property + "=" + value;
            }
            text += "]";
        }
    }
    for (const auto& p : rows.properties)
        text += "Y[" + p.kind + "|" + p.schema + "|" + p.name + "|" + p.column + "|" + p.property + "|" +
                p.value + "]";
    return text;
}

// Every kind of message, with values no separator could carry, comes back as it was sent,
// however the bytes are cut up on the way.
TEST(ReaderWire, EverythingComesBackAsSentHoweverTheBytesArrive) {
    const std::string awkward = std::string("a;}{=\n\t*:\x01 é Ω 表") + std::string(1, '\0') + "end";
    ConnectionSettings settings;
    settings.engine = DatabaseEngine::MySql;
    settings.serverName = awkward;
    settings.databaseName = "";
    settings.userName = awkward + "u";
    settings.password = awkward + "p";
    settings.queryTimeoutSeconds = 7;
    settings.loginTimeoutSeconds = 0;
    settings.encryption = Encryption::Strict;
    settings.trustServerCertificate = false;
    settings.schemas = {"", awkward, std::string(70'000, 's')};
    settings.qualifyNames = true;
    settings.readDefinitions = true;
    SchemaRows rows;
    rows.tables = {{"dbo", awkward, "dbo." + awkward}, {"", "", ""}};
    rows.schemasKnown = true;
    rows.constraints = {{awkward, awkward}, {"", ""}};
    rows.views = {{"s", std::string(70'000, 'v')}};
    rows.routines = {{"dbo", awkward, true, awkward}, {"", "p", false, ""}};
    rows.definitionsRead = true;
    rows.namesQualified = true;
    rows.properties = {{"column", "dbo", awkward, awkward, "default", awkward}, {"", "", "", "", "", ""}};
    const auto definition = [](Properties properties) -> ColumnDefinition::Shared {
        return std::make_shared<Properties>(std::move(properties));
    };
    rows.columns[SchemaRows::TableKey("dbo", awkward)] = {
        {awkward, "varchar", "10", nullptr},
        {"", "", "", definition({})},
        {"a", "int", "", definition({{"nullable", "NO"}, {awkward, awkward}, {"", ""}})},
        {"b", "int", "", definition({{"nullable", "NO"}, {awkward, awkward}, {"", ""}})}};
    rows.columns[SchemaRows::TableKey("", "")] = {};

    std::string bytes;
    AppendRequest(bytes, settings, "Driver ü");
    AppendRows(bytes, rows);
    AppendError(bytes, Stage::Open, DatabaseError(awkward, "08001", -18456));
    AppendError(bytes, Stage::Read, TablorError(errors::DuplicateKey, "twice"));
    AppendFrame(bytes, Frame::Done, {});

    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4096}, bytes.size()}) {
        SCOPED_TRACE(piece);
        std::string buffer;
        std::vector<Frame> kinds;
        std::optional<ReadRequest> request;
        std::vector<ReportedError> errors;
        RowsCollector collected;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            buffer += bytes.substr(at, piece);
            std::string_view rest(buffer);
            Frame kind{};
            std::string_view payload;
            while (TakeFrame(rest, kind, payload)) {
                kinds.push_back(kind);
                if (kind == Frame::Request) request = ParseRequest(payload);
                if (kind == Frame::Error) errors.push_back(ParseError(payload));
                collected.Take(kind, payload);
            }
            buffer.erase(0, buffer.size() - rest.size());
        }
        EXPECT_TRUE(buffer.empty());
        EXPECT_EQ(kinds.front(), Frame::Request);
        EXPECT_EQ(kinds.back(), Frame::Done);
        ASSERT_TRUE(request.has_value());
        const ConnectionSettings& got = request->settings;
        EXPECT_EQ(request->driver, "Driver ü");
        EXPECT_EQ(got.engine, settings.engine);
        EXPECT_EQ(std::tie(got.serverName, got.databaseName, got.userName, got.password, got.schemas),
                  std::tie(settings.serverName, settings.databaseName, settings.userName, settings.password,
                           settings.schemas));
        EXPECT_EQ(std::tie(got.queryTimeoutSeconds, got.loginTimeoutSeconds, got.trustServerCertificate,
                           got.qualifyNames, got.integratedSecurity, got.readDefinitions),
                  std::tie(settings.queryTimeoutSeconds, settings.loginTimeoutSeconds,
                           settings.trustServerCertificate, settings.qualifyNames,
                           settings.integratedSecurity, settings.readDefinitions));
        EXPECT_EQ(got.encryption, settings.encryption);
        EXPECT_EQ(Describe(collected.Rows()), Describe(rows));
        // Alike definitions come back as one list.
        const auto& columns = collected.Rows().columns.at(SchemaRows::TableKey("dbo", awkward));
        EXPECT_EQ(columns[2].Definition.get(), columns[3].Definition.get());
        ASSERT_EQ(errors.size(), 2u);
        EXPECT_EQ(std::tie(errors[0].stage, errors[0].description, errors[0].sqlState, errors[0].nativeCode),
                  std::make_tuple(Stage::Open, awkward, std::string("08001"), -18456L));
        EXPECT_EQ(std::tie(errors[1].stage, errors[1].number, errors[1].description),
                  std::make_tuple(Stage::Read, errors::DuplicateKey, std::string("twice")));
    }
}

// A reader gone wrong cannot make the program take a frame larger than the limit, nor read
// past a frame's end.
TEST(ReaderWire, OversizedAndShortFramesAreRefused) {
    std::string huge(1, 'T');
    const std::uint32_t length = kMaxFrameBytes + 1;
    for (int shift = 0; shift < 32; shift += 8) huge += static_cast<char>((length >> shift) & 0xFF);
    std::string_view rest(huge);
    Frame kind{};
    std::string_view payload;
    EXPECT_THROW(TakeFrame(rest, kind, payload), DatabaseError);

    std::string frame;
    AppendFrame(frame, Frame::Table, {"only one field"});
    rest = frame;
    ASSERT_TRUE(TakeFrame(rest, kind, payload));
    RowsCollector rows;
    EXPECT_THROW(rows.Take(kind, payload), DatabaseError);
    EXPECT_THROW(rows.Take(Frame::Column, payload), DatabaseError);

    // A field whose length says 2 where its frame holds 1 byte.
    frame.clear();
    AppendFrame(frame, Frame::Columns, {"k"});
    frame[5] = 2;
    rest = frame;
    ASSERT_TRUE(TakeFrame(rest, kind, payload));
    EXPECT_THROW(rows.Take(kind, payload), DatabaseError);
}

}  // namespace
}  // namespace tablor::wire

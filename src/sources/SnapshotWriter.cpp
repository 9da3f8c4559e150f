#include "sources/SnapshotWriter.hpp"

#include <string_view>

#include "sources/SnapshotDefinitions.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"

namespace tablor {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

[[noreturn]] void Refuse(const std::string& what, std::string_view why) {
    throw TablorError(errors::InvalidName, "The snapshot was not written: " + what + " " + std::string(why) +
                                               ", which a snapshot file cannot hold.");
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string Quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

// Values separated by "*" must not hold one; no value may break its line. The description
// of the object is only built for a value that is refused.
template <class Describe>
void CheckValue(std::string_view value, Describe&& describe) {
    if (value.find_first_of("*\r\n") == std::string_view::npos) return;
    Refuse(describe(),
           value.find('*') != std::string_view::npos ? "contains \"*\"" : "contains a line break");
}

template <class C>
void CheckNames(const C& elements, std::string_view kind) {
    for (const auto& element : elements)
        CheckValue(element->ObjectName,
                   [&] { return std::string(kind) + " " + Quoted(element->ObjectName); });
}

void CheckModel(const SnapshotHeader& header, const cMetaData& model) {
    CheckValue(header.ServerName, [&] { return "the server name " + Quoted(header.ServerName); });
    CheckValue(header.DatabaseName, [&] { return "the database name " + Quoted(header.DatabaseName); });
    CheckValue(header.UserName, [&] { return "the user name " + Quoted(header.UserName); });
    CheckNames(model.Constraints(), "the constraint");
    CheckNames(model.Views(), "the view");
    CheckNames(model.Routines(), "the routine");
    for (const auto& table : model.Tables()) {
        // A table line holds the rest of the line, so only a line break harms a table name.
        if (HasLineBreak(table->ObjectName))
            Refuse("the table " + Quoted(table->ObjectName), "contains a line break");
        for (const auto& field : table->Fields()) {
            const auto column = [&] {
                return "the column " + Quoted(field->FieldName) + " of the table " +
                       Quoted(table->ObjectName);
            };
            CheckValue(field->FieldName, column);
            if (!field->FieldName.empty() && field->FieldName.front() == ':')
                Refuse(column(), "starts with \":\"");
            CheckValue(field->FieldType,
                       [&] { return "the type " + Quoted(field->FieldType) + " of " + column(); });
            CheckValue(field->FieldSize,
                       [&] { return "the size " + Quoted(field->FieldSize) + " of " + column(); });
        }
    }
}

template <class C>
void AppendNameLine(std::string& out, const C& elements) {
    for (const auto& element : elements) {
        out += element->ObjectName;
        out += '*';
    }
    out += kLineEnd;
}

}  // namespace

std::string FormatSnapshot(const SnapshotHeader& header, const cMetaData& model) {
    CheckModel(header, model);

    std::string out;
    out.reserve(4096);
    out += header.ServerName;
    out += '*';
    out += header.DatabaseName;
    out += '*';
    out += header.UserName;
    out += '*';
    out += kLineEnd;
    AppendNameLine(out, model.Constraints());
    AppendNameLine(out, model.Views());
    for (const auto& routine : model.Routines()) {
        out += routine->ObjectName;
        out += routine->ObjectType == ObjectType::Procedure ? "+*" : "-*";
    }
    out += kLineEnd;
    SnapshotDefinitions::Append(out, model);
    for (const auto& table : model.Tables()) {
        out += ':';
        out += table->ObjectName;
        out += kLineEnd;
        for (const auto& field : table->Fields()) {
            out += field->FieldName;
            out += '*';
            out += field->FieldType;
            out += '*';
            out += field->FieldSize;
            SnapshotDefinitions::AppendColumn(out, *field);
            out += kLineEnd;
        }
    }
    return out;
}

void WriteSnapshot(const std::string& fileName, const SnapshotHeader& header, const cMetaData& model) {
    WriteFileAtomically(fileName, FormatSnapshot(header, model));
}

}  // namespace tablor

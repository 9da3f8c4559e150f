#include "report/StructureText.hpp"

#include <algorithm>
#include <numeric>

#include "model/ObjectType.hpp"
#include "support/TerminalText.hpp"
#include "support/TextCase.hpp"

namespace tablor {
namespace {

// Folding each name once keeps the sort of 20,000 tables cheap.
template <class Items>
std::vector<std::size_t> SortedByName(const Items& items, std::vector<std::size_t> indexes) {
    std::vector<std::string> folded(items.size());
    for (const std::size_t index : indexes) folded[index] = FoldCase(items[index]->ObjectName);
    std::stable_sort(indexes.begin(), indexes.end(),
                     [&](std::size_t a, std::size_t b) { return folded[a] < folded[b]; });
    return indexes;
}

std::vector<std::size_t> AllOf(std::size_t count) {
    std::vector<std::size_t> indexes(count);
    std::iota(indexes.begin(), indexes.end(), std::size_t{0});
    return indexes;
}

void Line(std::string& out, int depth, std::string_view prefix, std::string_view text) {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += prefix;
    AppendForTerminal(out, text);
    out += '\n';
}

}  // namespace

bool IsHiddenProcedure(std::string_view name) {
    return name.substr(0, 3) == "dt_";
}

StructureOutline OutlineOf(const cMetaData& schema) {
    StructureOutline outline;
    const auto& tables = schema.Tables().Items();
    const auto& views = schema.Views().Items();
    const auto& routines = schema.Routines().Items();
    outline.tables = SortedByName(tables, AllOf(tables.size()));
    outline.views = SortedByName(views, AllOf(views.size()));

    std::vector<std::size_t> procedures;
    std::vector<std::size_t> functions;
    for (std::size_t i = 0; i < routines.size(); ++i) {
        if (routines[i]->ObjectType == ObjectType::Procedure) {
            if (!IsHiddenProcedure(routines[i]->ObjectName)) procedures.push_back(i);
        } else {
            functions.push_back(i);
        }
    }
    outline.procedures = SortedByName(routines, std::move(procedures));
    outline.functions = SortedByName(routines, std::move(functions));
    return outline;
}

std::string RenderStructureText(const StructureSource& source, const cMetaData& schema) {
    const StructureOutline outline = OutlineOf(schema);
    const auto& tables = schema.Tables().Items();
    const auto& views = schema.Views().Items();
    const auto& routines = schema.Routines().Items();

    std::string out;
    Line(out, 0, "Server: ", source.server);
    Line(out, 0, "Database: ", source.database);
    Line(out, 0, "Source: ", source.source);
    out += '\n';
    Line(out, 0, {}, source.database);

    Line(out, 1, {}, "Tables");
    for (const std::size_t index : outline.tables) {
        const cMetaDataElement& table = *tables[index];
        Line(out, 2, {}, table.ObjectName);
        for (const auto& field : table.Fields()) {
            Line(out, 3, {}, field->FieldName);
            Line(out, 4, "Type: ", field->FieldType);
            Line(out, 4, "Size: ", field->FieldSize);
        }
    }
    Line(out, 1, {}, "Views");
    for (const std::size_t index : outline.views) Line(out, 2, {}, views[index]->ObjectName);
    Line(out, 1, {}, "Stored Procedures");
    for (const std::size_t index : outline.procedures) Line(out, 2, {}, routines[index]->ObjectName);
    Line(out, 1, {}, "Functions");
    for (const std::size_t index : outline.functions) Line(out, 2, {}, routines[index]->ObjectName);
    return out;
}

}  // namespace tablor

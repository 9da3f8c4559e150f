#include "report/StructureText.hpp"

#include <algorithm>
#include <numeric>

#include "model/ObjectType.hpp"
#include "report/DifferenceRow.hpp"
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

// "key: value", or for a value of several lines "key:" and its lines a level deeper.
void PropertyLines(std::string& out, int depth, const std::shared_ptr<const Properties>& definition) {
    if (!definition) return;
    for (const auto& [property, value] : *definition) {
        if (value.find('\n') == std::string::npos) {
            out.append(static_cast<std::size_t>(depth) * 2, ' ');
            AppendForTerminal(out, property);
            out += ": ";
            AppendForTerminal(out, value);
            out += '\n';
            continue;
        }
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
        AppendForTerminal(out, property);
        out += ":\n";
        // A line end after the last line opens no line of its own.
        std::size_t start = 0;
        while (start < value.size()) {
            std::size_t end = value.find('\n', start);
            if (end == std::string::npos) end = value.size();
            std::string_view line(value.data() + start, end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            Line(out, depth + 1, {}, line);
            start = end + 1;
        }
    }
}

struct Group {
    const char* caption;
    const char* member;  // the JSON list's name
    const Collection<cMetaDataElement>* elements;
};

// The kinds the tree leaves out, each by name.
std::vector<Group> DefinitionGroups(const cMetaData& schema) {
    return {{"Constraints", "constraints", &schema.Constraints()},
            {"Indexes", "indexes", &schema.Indexes()},
            {"Triggers", "triggers", &schema.Triggers()},
            {"Sequences", "sequences", &schema.Sequences()},
            {"Types", "types", &schema.Types()}};
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

std::string RenderStructureText(const StructureSource& source, const cMetaData& schema, bool definitions) {
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
        if (definitions) PropertyLines(out, 3, table.Definition);
        for (const auto& field : table.Fields()) {
            Line(out, 3, {}, field->FieldName);
            Line(out, 4, "Type: ", field->FieldType);
            Line(out, 4, "Size: ", field->FieldSize);
            if (definitions) PropertyLines(out, 4, field->Definition);
        }
    }
    const auto element = [&](const cMetaDataElement& item) {
        Line(out, 2, {}, item.ObjectName);
        if (definitions) PropertyLines(out, 3, item.Definition);
    };
    Line(out, 1, {}, "Views");
    for (const std::size_t index : outline.views) element(*views[index]);
    Line(out, 1, {}, "Stored Procedures");
    for (const std::size_t index : outline.procedures) element(*routines[index]);
    Line(out, 1, {}, "Functions");
    for (const std::size_t index : outline.functions) element(*routines[index]);
    if (!definitions) return out;
    for (const Group& group : DefinitionGroups(schema)) {
        Line(out, 1, {}, group.caption);
        const auto& items = group.elements->Items();
        for (const std::size_t index : SortedByName(items, AllOf(items.size()))) element(*items[index]);
    }
    return out;
}

std::string RenderStructureJson(const StructureSource& source, const cMetaData& schema,
                                const std::function<std::string(std::string_view)>& jsonString) {
    const auto properties = [&](std::string& out, const std::shared_ptr<const Properties>& definition) {
        out += ", \"properties\": ";
        if (!definition) {
            out += "null";
            return;
        }
        out += '{';
        const char* separator = "";
        for (const auto& [property, value] : *definition) {
            out.append(separator).append(jsonString(property)).append(": ").append(jsonString(value));
            separator = ", ";
        }
        out += '}';
    };
    const auto element = [&](std::string& out, const cMetaDataElement& item) {
        out.append("{\"kind\": ").append(jsonString(KindWord(item.ObjectType)));
        out.append(", \"schema\": ").append(jsonString(item.Schema));
        out.append(", \"name\": ").append(jsonString(item.ObjectName));
        properties(out, item.Definition);
        if (item.ObjectType == ObjectType::Table) {
            out += ", \"columns\": [";
            const char* separator = "";
            for (const auto& field : item.Fields()) {
                out.append(separator).append("{\"name\": ").append(jsonString(field->FieldName));
                out.append(", \"type\": ").append(jsonString(field->FieldType));
                out.append(", \"size\": ").append(jsonString(field->FieldSize));
                properties(out, field->Definition);
                out += '}';
                separator = ", ";
            }
            out += ']';
        }
        out += '}';
    };
    const auto list = [&](std::string& out, const char* name, const auto& items,
                          const std::vector<std::size_t>& order) {
        out.append(",\n\"").append(name).append("\": [");
        const char* separator = "\n";
        for (const std::size_t index : order) {
            out.append(separator).append("  ");
            element(out, *items[index]);
            separator = ",\n";
        }
        out += order.empty() ? "]" : "\n]";
    };

    const StructureOutline outline = OutlineOf(schema);
    const auto& routines = schema.Routines().Items();
    std::string out = "{\"server\": " + jsonString(source.server) +
                      ", \"database\": " + jsonString(source.database) +
                      ", \"source\": " + jsonString(source.source);
    list(out, "tables", schema.Tables().Items(), outline.tables);
    list(out, "views", schema.Views().Items(), outline.views);
    list(out, "procedures", routines, outline.procedures);
    list(out, "functions", routines, outline.functions);
    for (const Group& group : DefinitionGroups(schema)) {
        const auto& items = group.elements->Items();
        list(out, group.member, items, SortedByName(items, AllOf(items.size())));
    }
    out += "}\n";
    return out;
}

}  // namespace tablor

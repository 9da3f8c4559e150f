#include "SqlServerCatalogue.hpp"

#include <algorithm>
#include <map>

namespace tablor::testing {
namespace {

using Catalogue = SqlServerCatalogue;

Column Text(std::string name, std::uint16_t length = 128) {
    return {std::move(name), ColumnType::NVarChar, length};
}

const Catalogue::Object* Find(const Catalogue& c, int id) {
    for (const auto& object : c.objects)
        if (object.object_id == id) return &object;
    return nullptr;
}

std::string ColumnName(const Catalogue& c, int object, int column) {
    for (const auto& row : c.columns)
        if (row.object_id == object && row.column_id == column) return row.name;
    return {};
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text;
}

std::string TypeText(const Catalogue::Column& c) {
    const auto in = [&c](std::initializer_list<const char*> names) {
        return std::find(names.begin(), names.end(), c.type) != names.end();
    };
    if (in({"varchar", "char", "varbinary", "binary", "nvarchar", "nchar"})) {
        const int length = c.type[0] == 'n' ? c.max_length / 2 : c.max_length;
        return c.type + "(" + (c.max_length == -1 ? "max" : std::to_string(length)) + ")";
    }
    if (in({"decimal", "numeric"}))
        return c.type + "(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
    if (in({"datetime2", "time", "datetimeoffset"})) return c.type + "(" + std::to_string(c.scale) + ")";
    return c.type;
}

std::string Comment(const Catalogue& c, int object, int minor) {
    for (const auto& p : c.properties)
        if (p.major_id == object && p.minor_id == minor && p.name == "MS_Description") return p.value;
    return {};
}

// Key columns in order with their direction, or the included ones.
std::string IndexColumns(const Catalogue& c, const Catalogue::Index& index, bool included) {
    std::vector<Catalogue::IndexColumn> columns;
    for (const auto& column : index.columns)
        if ((column.key_ordinal == 0) == included) columns.push_back(column);
    std::stable_sort(columns.begin(), columns.end(),
                     [](const auto& a, const auto& b) { return a.key_ordinal < b.key_ordinal; });
    std::vector<std::string> names;
    for (const auto& column : columns)
        names.push_back(ColumnName(c, index.object_id, column.column_id) + (included ? ""
                                                                            : column.is_descending_key
                                                                                ? " DESC"
                                                                                : " ASC"));
    return Joined(names);
}

const Catalogue::Index* IndexOf(const Catalogue& c, int object, int id) {
    for (const auto& index : c.indexes)
        if (index.object_id == object && index.index_id == id) return &index;
    return nullptr;
}

std::string Spaced(std::string text) {
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

std::string ConstraintText(const Catalogue& c, const Catalogue::Object& o) {
    if (o.type == "PK" || o.type == "UQ") {
        for (const auto& key : c.keyConstraints)
            if (key.object_id == o.object_id)
                if (const auto* index = IndexOf(c, o.parent_object_id, key.unique_index_id))
                    return (o.type == "PK" ? "PRIMARY KEY (" : "UNIQUE (") + IndexColumns(c, *index, false) +
                           ")";
        return {};
    }
    for (const auto& check : c.checks)
        if (check.object_id == o.object_id) return "CHECK " + check.definition;
    for (const auto& fk : c.foreignKeys) {
        if (fk.object_id != o.object_id) continue;
        const Catalogue::Object* referenced = Find(c, fk.referenced_object_id);
        std::vector<std::string> parent, target;
        for (const auto& [from, to] : fk.columns) {
            parent.push_back(ColumnName(c, o.parent_object_id, from));
            target.push_back(ColumnName(c, fk.referenced_object_id, to));
        }
        return "FOREIGN KEY (" + Joined(parent) + ") REFERENCES " +
               (referenced->schema != o.schema ? referenced->schema + "." : "") + referenced->name + " (" +
               Joined(target) + ") ON DELETE " + Spaced(fk.delete_referential_action_desc) + " ON UPDATE " +
               Spaced(fk.update_referential_action_desc);
    }
    return {};
}

bool IsRoutine(const std::string& type) {
    return type == "P" || type == "FN";
}

}  // namespace

ResultSet SqlServerCatalogue::Tables() const {
    ResultSet result{{Text("TABLE_SCHEMA"), Text("TABLE_NAME"), Text("TABLE_TYPE")}, {}};
    for (const auto& o : objects)
        if (o.type == "U" || o.type == "V")
            result.rows.push_back({o.schema, o.name, o.type == "U" ? "BASE TABLE" : "VIEW"});
    return result;
}

ResultSet SqlServerCatalogue::Constraints() const {
    static const std::map<std::string, std::string> kTypes = {
        {"PK", "PRIMARY KEY"}, {"UQ", "UNIQUE"}, {"F", "FOREIGN KEY"}, {"C", "CHECK"}};
    ResultSet result{{Text("CONSTRAINT_SCHEMA"), Text("CONSTRAINT_NAME"), Text("CONSTRAINT_TYPE")}, {}};
    for (const auto& o : objects)
        if (const auto type = kTypes.find(o.type); type != kTypes.end())
            result.rows.push_back({o.schema, o.name, type->second});
    return result;
}

ResultSet SqlServerCatalogue::Views() const {
    ResultSet result{{Text("TABLE_SCHEMA"), Text("TABLE_NAME")}, {}};
    for (const auto& o : objects)
        if (o.type == "V") result.rows.push_back({o.schema, o.name});
    return result;
}

ResultSet SqlServerCatalogue::Routines() const {
    ResultSet result{
        {Text("ROUTINE_SCHEMA"), Text("ROUTINE_NAME"), Text("ROUTINE_TYPE"), Text("SPECIFIC_NAME")}, {}};
    for (const auto& o : objects)
        if (IsRoutine(o.type))
            result.rows.push_back({o.schema, o.name, o.type == "P" ? "PROCEDURE" : "FUNCTION", o.name});
    return result;
}

ResultSet SqlServerCatalogue::Columns() const {
    std::vector<const Column*> sorted;
    for (const auto& column : columns) sorted.push_back(&column);
    std::stable_sort(sorted.begin(), sorted.end(), [this](const Column* a, const Column* b) {
        const std::string& aTable = Find(*this, a->object_id)->name;
        const std::string& bTable = Find(*this, b->object_id)->name;
        return aTable != bTable ? aTable < bTable : a->column_id < b->column_id;
    });
    ResultSet result{{Text("TABLE_SCHEMA"),
                      Text("TABLE_NAME"),
                      Text("COLUMN_NAME"),
                      {"CHARACTER_MAXIMUM_LENGTH", ColumnType::Int},
                      Text("DATA_TYPE")},
                     {}};
    for (const Column* c : sorted) {
        const Object& table = *Find(*this, c->object_id);
        const bool characters = c->type.find("char") != std::string::npos;
        const Cell length = !characters         ? Cell(std::nullopt)
                            : c->max_length < 0 ? Cell(-1)
                                                : Cell(c->type[0] == 'n' ? c->max_length / 2 : c->max_length);
        result.rows.push_back({table.schema, table.name, c->name, length, c->type});
    }
    return result;
}

std::variant<ResultSet, std::string> SqlServerCatalogue::Definitions(const std::string& query) const {
    for (const auto& o : objects) {
        // A check's or default's text is withheld as a module's is.
        const auto texts = [&o](const std::vector<Definition>& rows) {
            return std::any_of(rows.begin(), rows.end(),
                               [&o](const auto& row) { return row.object_id == o.object_id; });
        };
        const bool module = o.type == "V" || o.type == "TR" || IsRoutine(o.type);
        const bool withheld = module          ? !o.definition
                              : o.type == "C" ? !texts(checks)
                                              : o.type == "D" && !texts(defaults);
        if (!withheld) continue;
        const std::size_t start = query.find("RAISERROR(N'") + 12;
        std::string message = query.substr(start, query.find("', 16", start) - start);
        return message.replace(message.find("%s"), 2, o.schema + "." + o.name);
    }
    ResultSet result{{Text("OBJECT_KIND"), Text("OBJECT_SCHEMA"), Text("OBJECT_NAME"), Text("COLUMN_NAME"),
                      Text("PROPERTY"), Text("VALUE", 4000)},
                     {}};
    // What no part of the query gives (a part names its kind and each (property, value)), it does
    // not give.
    const auto given = [&query](const std::string& kind, const std::string& property) {
        for (std::size_t start = 0; start < query.size();) {
            const std::size_t end = std::min(query.find(" UNION ALL ", start), query.size());
            const std::string_view part = std::string_view(query).substr(start, end - start);
            if (part.find("N'" + kind + "'") != part.npos && part.find("(N'" + property + "', ") != part.npos)
                return true;
            start = end + 1;
        }
        return false;
    };
    const auto add = [&](const char* kind, const std::string& schema, const std::string& name,
                         const std::string& column, const char* property, const std::string& value) {
        if (!value.empty() && given(kind, property))
            result.rows.push_back({kind, schema, name, column, property, value});
    };
    for (const auto& c : columns) {
        const Object& table = *Find(*this, c.object_id);
        add("column", table.schema, table.name, c.name, "type", TypeText(c));
        add("column", table.schema, table.name, c.name, "nullable", c.is_nullable ? "YES" : "NO");
        for (const auto& d : defaults)
            if (d.object_id == c.default_object_id)
                add("column", table.schema, table.name, c.name, "default", d.definition);
        add("column", table.schema, table.name, c.name, "comment", Comment(*this, c.object_id, c.column_id));
    }
    for (const auto& o : objects) {
        const std::string definition = o.definition.value_or("");
        if (o.type == "U" || o.type == "V") {
            add(o.type == "U" ? "table" : "view", o.schema, o.name, "", "comment",
                Comment(*this, o.object_id, 0));
            if (o.type == "V") add("view", o.schema, o.name, "", "definition", definition);
        } else if (IsRoutine(o.type)) {
            add("routine", o.schema, o.name, "", "definition", definition);
            add("routine", o.schema, o.name, "", "comment", Comment(*this, o.object_id, 0));
        } else if (o.type == "TR") {
            const Object& table = *Find(*this, o.parent_object_id);
            const std::string name = table.name + "." + o.name;
            for (const auto& trigger : triggers) {
                if (trigger.object_id != o.object_id) continue;
                add("trigger", table.schema, name, "", "table", table.name);
                add("trigger", table.schema, name, "", "definition", definition);
                add("trigger", table.schema, name, "", "events", Joined(trigger.events));
                add("trigger", table.schema, name, "", "timing",
                    trigger.is_instead_of_trigger ? "INSTEAD OF" : "AFTER");
            }
        } else if (o.type != "D") {
            add("constraint", o.schema, o.name, "", "definition", ConstraintText(*this, o));
        }
    }
    for (const auto& i : indexes) {
        if (i.is_primary_key || i.is_unique_constraint) continue;
        const Object& table = *Find(*this, i.object_id);
        const std::string name = table.name + "." + i.name;
        const std::string included = IndexColumns(*this, i, true);
        add("index", table.schema, name, "", "table", table.name);
        add("index", table.schema, name, "", "definition",
            (i.is_unique ? "UNIQUE " : "") + i.type_desc + " (" + IndexColumns(*this, i, false) + ")" +
                (included.empty() ? "" : " INCLUDE (" + included + ")") +
                (i.filter_definition ? " WHERE " + *i.filter_definition : ""));
    }
    return result;
}

}  // namespace tablor::testing

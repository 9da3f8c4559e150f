#include "SqlServerCatalogue.hpp"

#include <algorithm>
#include <map>
#include <regex>
#include <set>

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

// The documented columns of the views the double holds, as far as the catalogue queries may
// want them: a query naming any other is refused, as the server refuses it.
const std::map<std::string, std::set<std::string>>& DocumentedColumns() {
    static const std::set<std::string> object = {"object_id", "name",      "schema_id",    "parent_object_id",
                                                 "type",      "type_desc", "is_ms_shipped"};
    static const std::set<std::string> column = {
        "object_id",         "column_id",   "name",       "user_type_id", "system_type_id",
        "max_length",        "precision",   "scale",      "is_nullable",  "collation_name",
        "default_object_id", "is_identity", "is_computed"};
    const auto with = [](std::set<std::string> base, std::initializer_list<std::string> more) {
        base.insert(more);
        return base;
    };
    static const std::map<std::string, std::set<std::string>> views = {
        {"objects", object},
        {"schemas", {"schema_id", "name"}},
        {"columns", column},
        {"types",
         {"name", "user_type_id", "system_type_id", "schema_id", "max_length", "precision", "scale",
          "is_nullable", "is_user_defined", "is_table_type", "collation_name"}},
        {"default_constraints", with(object, {"parent_column_id", "definition"})},
        {"check_constraints", with(object, {"parent_column_id", "definition", "is_disabled"})},
        {"computed_columns", with(column, {"definition", "is_persisted"})},
        {"identity_columns", with(column, {"seed_value", "increment_value", "last_value"})},
        {"extended_properties", {"class", "class_desc", "major_id", "minor_id", "name", "value"}},
        {"key_constraints", with(object, {"unique_index_id", "is_system_named"})},
        {"foreign_keys", with(object, {"referenced_object_id", "key_index_id", "delete_referential_action",
                                       "delete_referential_action_desc", "update_referential_action",
                                       "update_referential_action_desc", "is_disabled"})},
        {"foreign_key_columns",
         {"constraint_object_id", "constraint_column_id", "parent_object_id", "parent_column_id",
          "referenced_object_id", "referenced_column_id"}},
        {"indexes",
         {"object_id", "name", "index_id", "type", "type_desc", "is_unique", "is_primary_key",
          "is_unique_constraint", "is_hypothetical", "is_disabled", "has_filter", "filter_definition"}},
        {"index_columns",
         {"object_id", "index_id", "index_column_id", "column_id", "key_ordinal", "is_descending_key",
          "is_included_column"}},
        {"parameters",
         {"object_id", "name", "parameter_id", "system_type_id", "user_type_id", "max_length", "precision",
          "scale", "is_output"}},
        {"triggers",
         {"name", "object_id", "parent_class", "parent_id", "type", "type_desc", "is_ms_shipped",
          "is_disabled", "is_instead_of_trigger"}},
        {"trigger_events", {"object_id", "type", "type_desc", "is_first", "is_last"}},
        {"sequences",
         with(object, {"start_value", "increment", "minimum_value", "maximum_value", "is_cycling",
                       "is_cached", "cache_size", "user_type_id", "system_type_id", "precision", "scale"})},
    };
    return views;
}

// What the server would refuse in `query`: unbalanced quotes or parentheses, a WHERE before its
// SELECT's CROSS APPLY, a view or a view's column it does not have. Empty when it would run.
std::string Refusal(const std::string& query) {
    std::string text;  // the query with the contents of its literals left out
    for (std::size_t i = 0; i < query.size(); ++i) {
        text += query[i];
        if (query[i] != '\'') continue;
        // On to the closing quote; a doubled one stands for a quote in the text.
        for (++i;; i += 2) {
            i = query.find('\'', i);
            if (i == std::string::npos) return "Unclosed quotation mark after the character string.";
            if (i + 1 == query.size() || query[i + 1] != '\'') break;
        }
        text += '\'';
    }
    std::vector<int> depth(text.size() + 1, 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        depth[i + 1] = depth[i] + (text[i] == '(') - (text[i] == ')');
        if (depth[i + 1] < 0) return "Incorrect syntax near ')'.";
    }
    if (depth.back() != 0) return "Incorrect syntax near '('.";
    // Each SELECT's own clauses stand at its depth: FROM ... CROSS APPLY ... WHERE.
    for (std::size_t apply = text.find(" CROSS APPLY "); apply != std::string::npos;
         apply = text.find(" CROSS APPLY ", apply + 1)) {
        std::size_t select = text.rfind("SELECT ", apply);
        while (select != std::string::npos && select > 0 && depth[select] != depth[apply])
            select = text.rfind("SELECT ", select - 1);
        for (std::size_t where = text.find(" WHERE ", select); where < apply;
             where = text.find(" WHERE ", where + 1))
            if (depth[where] == depth[apply]) return "Incorrect syntax near the keyword 'CROSS'.";
    }
    // Aliases hold within a part of the UNION: sys.columns c ... c.name.
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(" UNION ALL ", start), text.size());
        const std::string part = text.substr(start, end - start);
        start = end + 1;
        std::map<std::string, std::set<std::string>> aliases;
        static const std::regex kView(R"(\bsys\.(\w+) (\w+))");
        for (std::sregex_iterator m(part.begin(), part.end(), kView), none; m != none; ++m) {
            const auto view = DocumentedColumns().find((*m)[1]);
            if (view == DocumentedColumns().end()) return "Invalid object name 'sys." + (*m)[1].str() + "'.";
            aliases[(*m)[2]].insert(view->second.begin(), view->second.end());
        }
        static const std::regex kReference(R"(\b(\w+)\.(\w+)\b)");
        for (std::sregex_iterator m(part.begin(), part.end(), kReference), none; m != none; ++m) {
            const auto alias = aliases.find((*m)[1]);
            if (alias != aliases.end() && alias->second.count((*m)[2]) == 0)
                return "Invalid column name '" + (*m)[2].str() + "'.";
        }
    }
    return {};
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
        // Bytes on the server, characters here; -1 for (max).
        std::optional<long> length;
        if (characters)
            length = c->max_length < 0
                         ? -1L
                         : static_cast<long>(c->type[0] == 'n' ? c->max_length / 2 : c->max_length);
        result.rows.push_back({table.schema, table.name, c->name, Cell(length), c->type});
    }
    return result;
}

std::variant<ResultSet, std::string> SqlServerCatalogue::Definitions(const std::string& query) const {
    if (std::string refusal = Refusal(query); !refusal.empty()) return refusal;
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
            if (const Object* table = Find(*this, o.parent_object_id))
                add("constraint", o.schema, o.name, "", "table", table->name);
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

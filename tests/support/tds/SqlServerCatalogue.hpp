#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "TdsTypes.hpp"

namespace tablor::testing {

// A database as SQL Server's catalogue views hold it: rows of sys.objects (with the text
// sys.sql_modules holds), sys.columns, sys.default_constraints, sys.check_constraints,
// sys.foreign_keys with their columns, sys.key_constraints, sys.indexes with their columns,
// sys.triggers with their events and sys.extended_properties, under the views' own column
// names. Schemas and types stand by name. From these rows it answers what the catalogue
// queries ask, as the server would.
struct SqlServerCatalogue {
    struct Object {  // sys.objects
        int object_id;
        std::string schema;
        std::string name;
        std::string type;  // U, V, P, FN, PK, UQ, F, C, D, TR
        int parent_object_id = 0;
        // OBJECT_DEFINITION(object_id); nothing for a login without VIEW DEFINITION.
        std::optional<std::string> definition = std::nullopt;
    };
    struct Column {  // sys.columns
        int object_id;
        int column_id;
        std::string name;
        std::string type;  // TYPE_NAME(user_type_id), a system type
        int max_length;
        int precision = 0;
        int scale = 0;
        bool is_nullable = true;
        int default_object_id = 0;
    };
    struct Definition {  // sys.default_constraints, sys.check_constraints
        int object_id;
        std::string definition;
    };
    struct ForeignKey {  // sys.foreign_keys and sys.foreign_key_columns
        int object_id;
        int referenced_object_id;
        std::string delete_referential_action_desc = "NO_ACTION";
        std::string update_referential_action_desc = "NO_ACTION";
        std::vector<std::pair<int, int>> columns;  // parent_column_id, referenced_column_id
    };
    struct KeyConstraint {  // sys.key_constraints
        int object_id;
        int unique_index_id;
    };
    struct IndexColumn {  // sys.index_columns
        int column_id;
        int key_ordinal;  // 0: included
        bool is_descending_key = false;
    };
    struct Index {  // sys.indexes
        int object_id;
        int index_id;
        std::string name;
        std::string type_desc;  // CLUSTERED, NONCLUSTERED
        bool is_unique = false;
        bool is_primary_key = false;
        bool is_unique_constraint = false;
        std::optional<std::string> filter_definition;
        std::vector<IndexColumn> columns;
    };
    struct Trigger {  // sys.triggers (its object in sys.objects) and sys.trigger_events
        int object_id;
        bool is_instead_of_trigger = false;
        std::vector<std::string> events;  // type_desc, in order of type
    };
    struct ExtendedProperty {  // sys.extended_properties of class 1
        int major_id;
        int minor_id;
        std::string name;
        std::string value;
    };

    std::vector<Object> objects;
    std::vector<Column> columns;
    std::vector<Definition> defaults;
    std::vector<Definition> checks;
    std::vector<ForeignKey> foreignKeys;
    std::vector<KeyConstraint> keyConstraints;
    std::vector<Index> indexes;
    std::vector<Trigger> triggers;
    std::vector<ExtendedProperty> properties;

    // INFORMATION_SCHEMA.TABLES, TABLE_CONSTRAINTS, VIEWS and ROUTINES, and COLUMNS in order of
    // table name and position.
    ResultSet Tables() const;
    ResultSet Constraints() const;
    ResultSet Views() const;
    ResultSet Routines() const;
    ResultSet Columns() const;
    // The definitions query's rows, one property a row, of the kinds and properties `query`
    // names; or the server's error: for a query it could not run (unbalanced, clauses out of
    // order, a view or column the views do not document), or, when a text is withheld, the
    // query's own RAISERROR text naming the object.
    std::variant<ResultSet, std::string> Definitions(const std::string& query) const;
};

}  // namespace tablor::testing

#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/cMetaData.hpp"

namespace tablor {

// The order in which a schema's structure is shown: indexes (0-based) into each collection's
// items. Tables, views, stored procedures and functions are sorted by name ignoring letter
// case; equal names keep model order. The structure viewer and `tablor-cli show` both list
// through this, so they always agree.
struct StructureOutline {
    std::vector<std::size_t> tables;
    std::vector<std::size_t> views;
    std::vector<std::size_t> procedures;  // indexes into Routines
    std::vector<std::size_t> functions;   // indexes into Routines
};

StructureOutline OutlineOf(const cMetaData& schema);

// Stored procedures whose names begin with "dt_" (exactly so) are the server's own design
// tools and are not shown. Functions are never filtered.
bool IsHiddenProcedure(std::string_view name);

// What the structure was read from, for the heading.
struct StructureSource {
    std::string server;
    std::string database;
    std::string source;  // the snapshot path, or the connection text with its password masked
};

// The structure as an indented text tree, two blanks per level, each line ending in "\n":
// a heading (Server, Database, Source), an empty line, then the database with its groups
// "Tables" (each table, its columns, each column's "Type: " and "Size: "), "Views",
// "Stored Procedures" and "Functions". Control characters in names are written as escapes
// (EscapeForTerminal), so that no name can break the tree's lines or drive the terminal.
// With `definitions`, each table, view, routine and column is followed, one level deeper, by
// what its definition tells, one property a line ("nullable: NO"; a value of several lines
// under its name, a level deeper still), and the groups "Constraints", "Indexes", "Triggers",
// "Sequences" and "Types" follow, each with its elements' properties.
std::string RenderStructureText(const StructureSource& source, const cMetaData& schema,
                                bool definitions = false);

// The structure as one JSON document, for programs: "server", "database", "source", then
// "tables", "views", "procedures", "functions", "constraints", "indexes", "triggers",
// "sequences" and "types", each a list (in the outline's order, the later five by name) of
// elements with "kind", "schema", "name" and "properties" (an object of the definition's
// properties, or null where the side knows none); a table's also has "columns", each with
// "name", "type", "size" and "properties". One element a line. Every text is written by
// `jsonString`, the caller's writer of a JSON string.
std::string RenderStructureJson(const StructureSource& source, const cMetaData& schema,
                                const std::function<std::string(std::string_view)>& jsonString);

}  // namespace tablor

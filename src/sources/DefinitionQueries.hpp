#pragma once
#include <string>
#include <vector>

namespace tablor {

// Each engine's query for what its catalogue tells beyond names (SchemaQueries::definitions):
// one property a row, as OBJECT_KIND, OBJECT_SCHEMA, OBJECT_NAME, COLUMN_NAME, PROPERTY, VALUE.
// OBJECT_KIND is table, column, view, routine, constraint, index, trigger, sequence or type.
// OBJECT_NAME is the object's name as the name queries give it (a constraint's, a routine's
// SPECIFIC_NAME, a column's table); an index or trigger also has a "table" property. A row of
// kind "withheld" stops the read with its VALUE as the reason (a text the login may not read).
// A row may tell several properties of one object instead, which spares the server unpivoting
// and the reader fetching a row each: PROPERTY then names them, separated by
// kPropertySeparator, and VALUE, VALUE2, VALUE3, ... hold their values, NULL for none.
// Empty where the engine's definitions are not read yet.
std::string PostgresDefinitionsQuery();
std::string MySqlDefinitionsQuery();
std::string SqlServerDefinitionsQuery();
// The columns query with its columns' properties (SchemaQueries::columnsWithDefinitions), which
// the engine's definitions query then leaves out.
std::string MySqlColumnsWithDefinitionsQuery();
// MySQL's foreign keys' and checks' definitions (SchemaQueries::constraintDefinitions).
std::string MySqlForeignKeyDefinitionsQuery();
std::string MySqlCheckDefinitionsQuery();
// MariaDB's sequences' options (SchemaQueries::sequenceDefinitions), which only each sequence
// itself tells.
std::string MySqlSequenceDefinitionsQuery(const std::vector<std::string>& names);
std::string PostgresColumnsWithDefinitionsQuery();

inline constexpr char kPropertySeparator = '|';

}  // namespace tablor

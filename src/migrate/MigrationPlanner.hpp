#pragma once
#include <string>
#include <vector>

#include "migrate/MigrationScript.hpp"
#include "model/cMetaData.hpp"

namespace tablor {

struct MigrationOptions {
    SqlDialectKind dialect = SqlDialectKind::PostgreSql;
    // Statements that lose data (a dropped table or column, a narrower type) are written
    // rather than held back.
    bool allowDrop = false;
    // Globs over object names, as a comparison takes them: what they leave out is not touched.
    std::vector<std::string> include;
    std::vector<std::string> exclude;
};

// The script that, run on `current`, makes its structure equal to `desired`'s. Objects pair as a
// comparison pairs them (by schema and name where both sides know schemas, routines by
// signature too), and what one side's catalogue did not tell is left as it is. Statements come
// in the order the server can run them: what depends on a changed object is dropped first and
// made again after it, keys before the foreign keys that need them, foreign keys last.
MigrationScript PlanMigration(const cMetaData& current, const cMetaData& desired,
                              const MigrationOptions& options);

// True when every object of the side carries its definition: a migration needs them.
bool DefinitionsKnown(const cMetaData& side);

}  // namespace tablor

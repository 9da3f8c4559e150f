#include "sources/DefinitionQueries.hpp"

namespace tablor {

std::string PostgresDefinitionsQuery() {
    return {};
}

}  // namespace tablor

#include "sources/DefinitionQueries.hpp"

namespace tablor {

std::string MySqlDefinitionsQuery() {
    return {};
}

}  // namespace tablor

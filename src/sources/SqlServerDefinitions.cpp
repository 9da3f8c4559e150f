#include "sources/DefinitionQueries.hpp"

namespace tablor {

std::string SqlServerDefinitionsQuery() {
    return {};
}

}  // namespace tablor

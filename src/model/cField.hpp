#pragma once
#include <string>

namespace tablor {

// One table column: its name, data type name and maximum character length (empty for
// columns that are not character columns).
struct cField {
    std::string FieldName;
    std::string FieldType;
    std::string FieldSize;
};

}  // namespace tablor

#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tablor {

// What a catalogue tells of an element or column beyond its name: property name and the
// server's own text, in order of property name.
using Properties = std::vector<std::pair<std::string, std::string>>;

// One table column: its name, data type name and maximum character length (empty for
// columns that are not character columns).
struct cField {
    std::string FieldName;
    std::string FieldType;
    std::string FieldSize;
    // Null where the side knows no more than the name, type and size.
    std::shared_ptr<const Properties> Definition;
};

}  // namespace tablor

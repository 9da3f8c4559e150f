#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "model/cMetaData.hpp"

namespace tablor::testing {

// The names of a collection's elements, in position order, for comparing in one assertion.
inline std::vector<std::string> Names(const Collection<cMetaDataElement>& elements) {
    std::vector<std::string> names;
    for (const auto& element : elements) names.push_back(element->ObjectName);
    return names;
}

// A table's columns as "name*type*size", the way a snapshot holds them.
inline std::vector<std::string> Columns(const cMetaDataElement& table) {
    std::vector<std::string> columns;
    for (const auto& field : table.Fields())
        columns.push_back(field->FieldName + "*" + field->FieldType + "*" + field->FieldSize);
    return columns;
}

// Each table as "name: column*type*size ...", sorted: a server's table order is its own.
inline std::vector<std::string> TablesWithColumns(const Tables& tables) {
    std::vector<std::string> out;
    for (const auto& table : tables) {
        std::string line = table->ObjectName + ":";
        for (const std::string& column : Columns(*table)) line += " " + column;
        out.push_back(line);
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace tablor::testing

#pragma once
#include <memory>
#include <string>

#include "model/Collection.hpp"
#include "model/cField.hpp"

namespace tablor {

// A table's columns, each keyed by its name: two columns whose names differ only in letter
// case cannot stand in one table. Columns are only ever added, so there is no Clear.
class coFields : public Collection<cField> {
  public:
    std::shared_ptr<cField> Add(std::string FieldName, std::string FieldType, std::string FieldSize);
    void Clear() = delete;
};

}  // namespace tablor

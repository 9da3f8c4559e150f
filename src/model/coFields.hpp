#pragma once
#include <memory>
#include <string>

#include "model/Collection.hpp"
#include "model/cField.hpp"

namespace tablor {

// A table's columns, each keyed by its name, ignoring letter case. A column whose name is the
// same as another's but for letter case is kept without a key (Item finds the first of them by
// name); the same name twice is refused. Columns are only ever added, so there is no Clear.
class coFields : public Collection<cField> {
  public:
    std::shared_ptr<cField> Add(std::string FieldName, std::string FieldType, std::string FieldSize);
    void Clear() = delete;
};

}  // namespace tablor

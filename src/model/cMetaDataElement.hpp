#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/coFields.hpp"

namespace tablor {

// One named element of a schema: a table, view, constraint, routine, or with definitions an
// index, trigger, sequence or type. Every element has a
// column list; only tables fill it, so the list is made on first use: a large schema holds
// tens of thousands of views, routines and constraints.
class cMetaDataElement {
  public:
    coFields& Fields() {
        if (!fields_) fields_ = std::make_unique<coFields>();
        return *fields_;
    }
    const coFields& Fields() const noexcept {
        static const coFields empty;
        return fields_ ? *fields_ : empty;
    }

    std::int32_t ObjectType = 0;
    std::string ObjectName;
    // The schema the element lives in; empty where the side does not know it (snapshots
    // written without it, MySQL, where the database is the schema).
    std::string Schema;
    // Null where the side does not know more than the name.
    std::shared_ptr<const Properties> Definition;

  private:
    std::unique_ptr<coFields> fields_;
};

}  // namespace tablor

#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "model/coFields.hpp"

namespace tablor {

// One named element of a schema: a table, view, constraint or routine. Every element has a
// column list; only tables fill it, so the list is made on first use: a large schema holds
// tens of thousands of views, routines and constraints.
class cMetaDataElement {
  public:
    coFields& Fields() { return *FieldsPtr(); }
    const coFields& Fields() const noexcept {
        static const coFields empty;
        return fields_ ? *fields_ : empty;
    }
    // The shared column list, for holders that outlive the element.
    const std::shared_ptr<coFields>& FieldsPtr() {
        if (!fields_) fields_ = std::make_shared<coFields>();
        return fields_;
    }

    std::int32_t ObjectType = 0;
    std::string ObjectName;

  private:
    std::shared_ptr<coFields> fields_;
};

}  // namespace tablor

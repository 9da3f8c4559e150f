#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "model/coFields.hpp"

namespace tablor {

// One named element of a schema: a table, view, constraint or routine. Every element has a
// column list; only tables fill it.
class cMetaDataElement {
public:
    cMetaDataElement() : fields_(std::make_shared<coFields>()) {}

    coFields& Fields() noexcept { return *fields_; }
    const coFields& Fields() const noexcept { return *fields_; }
    // The shared column list, for holders that outlive the element.
    const std::shared_ptr<coFields>& FieldsPtr() const noexcept { return fields_; }

    std::int32_t ObjectType = 0;
    std::string ObjectName;

private:
    std::shared_ptr<coFields> fields_;
};

}  // namespace tablor

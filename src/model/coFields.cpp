#include "model/coFields.hpp"

namespace tablor {

std::shared_ptr<cField> coFields::Add(std::string FieldName, std::string FieldType, std::string FieldSize) {
    auto field = std::make_shared<cField>();
    field->FieldName = std::move(FieldName);
    field->FieldType = std::move(FieldType);
    field->FieldSize = std::move(FieldSize);
    const std::string_view key = field->FieldName;
    return Append(std::move(field), key);
}

}  // namespace tablor

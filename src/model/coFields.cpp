#include "model/coFields.hpp"

namespace tablor {

std::shared_ptr<cField> coFields::Add(std::string FieldName, std::string FieldType, std::string FieldSize) {
    auto field = std::make_shared<cField>();
    field->FieldName = std::move(FieldName);
    field->FieldType = std::move(FieldType);
    field->FieldSize = std::move(FieldSize);
    const std::string_view key = field->FieldName;
    try {
        return Append(field, key);
    } catch (const TablorError& error) {
        if (error.Number() != errors::DuplicateKey) throw;
        // Only an exact repeat is refused. A name that differs from a key in letter case alone
        // (PostgreSQL's "id" and "ID") is kept without a key: found by position, compared by
        // its exact name.
        const auto& items = Items();
        for (const auto& existing : items)
            if (existing->FieldName == field->FieldName) throw;
        return Append(std::move(field), {});
    }
}

}  // namespace tablor

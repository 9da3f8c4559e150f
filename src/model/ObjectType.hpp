#pragma once
#include <cstdint>
#include <string_view>

namespace tablor {

// The kind codes carried by elements and differences. Stored files and callers use the
// numbers, so they never change.
namespace ObjectType {
inline constexpr std::int32_t Table = 0;
inline constexpr std::int32_t Field = 1;
inline constexpr std::int32_t View = 2;
inline constexpr std::int32_t Procedure = 3;
inline constexpr std::int32_t Function = 4;
inline constexpr std::int32_t Constraint = 5;
// A column on both sides whose type or size differs (a difference only, never an element);
// with definitions compared, any of its properties.
inline constexpr std::int32_t FieldChanged = 6;
// Read and compared only with definitions.
inline constexpr std::int32_t Index = 7;
inline constexpr std::int32_t Trigger = 8;
inline constexpr std::int32_t Sequence = 9;
inline constexpr std::int32_t Type = 10;
// An element on both sides whose definition differs (a difference only): its kind's code plus
// kChanged, Table (16) to Type (26).
inline constexpr std::int32_t kChanged = 16;
constexpr std::int32_t Changed(std::int32_t kind) {
    return kind + kChanged;
}
constexpr bool IsChange(std::int32_t code) {
    return code >= kChanged;
}
// The word a user reads for a code: "Table", "Field", ..., "Field changed", "View changed";
// empty for other codes.
constexpr std::string_view Word(std::int32_t code) {
    switch (code) {
        case ObjectType::Table:
            return "Table";
        case ObjectType::Field:
            return "Field";
        case ObjectType::View:
            return "View";
        case ObjectType::Procedure:
            return "Procedure";
        case ObjectType::Function:
            return "Function";
        case ObjectType::Constraint:
            return "Constraint";
        case ObjectType::FieldChanged:
            return "Field changed";
        case ObjectType::Index:
            return "Index";
        case ObjectType::Trigger:
            return "Trigger";
        case ObjectType::Sequence:
            return "Sequence";
        case ObjectType::Type:
            return "Type";
        case ObjectType::Changed(ObjectType::Table):
            return "Table changed";
        case ObjectType::Changed(ObjectType::View):
            return "View changed";
        case ObjectType::Changed(ObjectType::Procedure):
            return "Procedure changed";
        case ObjectType::Changed(ObjectType::Function):
            return "Function changed";
        case ObjectType::Changed(ObjectType::Constraint):
            return "Constraint changed";
        case ObjectType::Changed(ObjectType::Index):
            return "Index changed";
        case ObjectType::Changed(ObjectType::Trigger):
            return "Trigger changed";
        case ObjectType::Changed(ObjectType::Sequence):
            return "Sequence changed";
        case ObjectType::Changed(ObjectType::Type):
            return "Type changed";
        default:
            return {};
    }
}

}  // namespace ObjectType

}  // namespace tablor

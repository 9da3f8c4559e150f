#pragma once
#include <cstdint>

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
}  // namespace ObjectType

}  // namespace tablor

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
// A column on both sides whose type or size differs (a difference only, never an element).
inline constexpr std::int32_t FieldChanged = 6;
}  // namespace ObjectType

}  // namespace tablor

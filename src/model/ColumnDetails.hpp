#pragma once
#include <cstdint>
#include <string_view>

namespace tablor {

// A number for a column's type (letter case folded) and size, the same in every schema of the
// process: two columns have the same number exactly when their sizes are the same and their
// types are the same ignoring letter case. Schemas use a few dozen of them, so the table stays
// small; it is shared by every thread.
std::uint32_t ColumnDetailsId(std::string_view type, std::string_view size);

}  // namespace tablor

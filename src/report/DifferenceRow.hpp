#pragma once
#include <array>
#include <string>
#include <string_view>

#include "compare/cDifference.hpp"
#include "model/ObjectType.hpp"

namespace tablor {

// One row of the differences list as the user reads it: Object Name, Type, Not found on,
// Table, Message. The window, the command line and the report all show these texts.
struct DifferenceRow {
    static constexpr std::array<std::string_view, 5> kHeaders = {"Object Name", "Type", "Not found on",
                                                                 "Table", "Message"};
    std::array<std::string, 5> cells;
    // A changed definition's property and its value on each side, whole (the message tells a long or
    // multi-line one only by the line it first differs on); only with hasValues.
    bool hasValues = false;
    std::string property{};
    std::string value1{};
    std::string value2{};

    // Builds the row texts; a missing field's message gains its type and size (a changed
    // column's message names both sides' already). A changed definition brings both values.
    // Without `values` (a list asking for one cell), a changed definition's values are not copied.
    static DifferenceRow From(const cDifference& difference, bool values = true);
};

// "Table", "Field", "View", "Procedure", "Function", "Constraint", "Field changed", and with
// definitions "Index", "Trigger", "Sequence", "Type" and "View changed" and the like; empty for
// other codes.
std::string_view KindWord(int objectType);

}  // namespace tablor

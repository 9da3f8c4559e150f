#pragma once
#include <cstdint>
#include <string>

namespace tablor {

// One thing that one side has and the other lacks. `Source` names the side that lacks it;
// the field members are filled only for a missing table column.
struct cDifference {
    std::int32_t ObjectType = 0;
    std::string FieldType;
    std::string FieldSize;
    std::string FieldTable;
    std::string Message;
    std::string Source;
    std::string ObjectName;
};

}  // namespace tablor

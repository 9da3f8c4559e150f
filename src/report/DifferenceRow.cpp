#include "report/DifferenceRow.hpp"

#include "model/ObjectType.hpp"

namespace tablor {

std::string_view KindWord(int objectType) {
    return ObjectType::Word(objectType);
}

DifferenceRow DifferenceRow::From(const cDifference& difference, bool values) {
    DifferenceRow row;
    row.cells[0] = difference.ObjectName();
    row.cells[1] = std::string(KindWord(difference.ObjectType));
    row.cells[2] = difference.Source();
    row.cells[3] = difference.FieldTable();
    row.cells[4] = difference.Message();
    if (difference.ObjectType == ObjectType::Field)
        row.cells[4] += ", TYPE: " + difference.FieldType() + " SIZE: " + difference.FieldSize();
    if (values && !difference.Property().empty()) {
        row.hasValues = true;
        row.property = difference.Property();
        row.value1 = difference.Value1();
        row.value2 = difference.Value2();
    }
    return row;
}

}  // namespace tablor

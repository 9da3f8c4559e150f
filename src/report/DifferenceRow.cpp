#include "report/DifferenceRow.hpp"

#include "model/ObjectType.hpp"

namespace tablor {

std::string_view KindWord(int objectType) {
    switch (objectType) {
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
        default:
            return {};
    }
}

DifferenceRow DifferenceRow::From(const cDifference& difference) {
    DifferenceRow row;
    row.cells[0] = difference.ObjectName();
    row.cells[1] = std::string(KindWord(difference.ObjectType));
    row.cells[2] = difference.Source();
    row.cells[3] = difference.FieldTable();
    row.cells[4] = difference.Message();
    if (difference.ObjectType == ObjectType::Field)
        row.cells[4] += ", TYPE: " + difference.FieldType() + " SIZE: " + difference.FieldSize();
    return row;
}

}  // namespace tablor

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

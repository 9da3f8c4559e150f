#include "PlainScanReference.hpp"

#include "model/ObjectType.hpp"

namespace tablor::testing {
namespace {

template <class C>
bool ScanFinds(const C& elements, const std::string& name) {
    bool found = false;
    for (long j = 1; j <= elements.Count(); ++j)
        if ((*(elements.begin() + (j - 1)))->ObjectName == name) found = true;
    return found;
}

void OneWay(const cMetaData& a, const cMetaData& b, const std::string& name, coDifferences& out) {
    for (const auto& view : a.Views())
        if (!ScanFinds(b.Views(), view->ObjectName))
            out.Add(view->ObjectName, 2, name, "View was not found on " + name);
    for (const auto& constraint : a.Constraints())
        if (!ScanFinds(b.Constraints(), constraint->ObjectName))
            out.Add(constraint->ObjectName, 5, name, "Constraint was not found on " + name);
    for (const auto& routine : a.Routines())
        if (!ScanFinds(b.Routines(), routine->ObjectName))
            out.Add(routine->ObjectName, routine->ObjectType, name, "Routine was not found on " + name);
    for (const auto& table : a.Tables()) {
        bool found = false;
        for (const auto& other : b.Tables()) {
            if (other->ObjectName != table->ObjectName) continue;
            found = true;
            for (const auto& field : table->Fields()) {
                bool fieldFound = false;
                for (const auto& otherField : other->Fields())
                    if (otherField->FieldName == field->FieldName) fieldFound = true;
                if (fieldFound) continue;
                auto& d = *out.Add(field->FieldName, 1, name,
                                   "The field " + field->FieldName + " was not found on the table " +
                                       table->ObjectName + " on the object " + name);
                d.SetFieldDetails(table->ObjectName, field->FieldType, field->FieldSize);
            }
        }
        if (!found) out.Add(table->ObjectName, 0, name, "Table was not found on " + name);
    }
}

}  // namespace

void PlainScanCompare(const cMetaData& first, const std::string& firstName, const cMetaData& second,
                      const std::string& secondName, coDifferences& out) {
    out.Clear();
    OneWay(first, second, secondName, out);
    OneWay(second, first, firstName, out);
}

}  // namespace tablor::testing

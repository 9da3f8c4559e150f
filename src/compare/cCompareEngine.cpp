#include "compare/cCompareEngine.hpp"

#include <unordered_set>

#include "compare/NameIndex.hpp"

namespace tablor {

// The names of one schema's four collections, indexed once and used when that schema is
// the side being searched.
struct cCompareEngine::SchemaIndex {
    explicit SchemaIndex(const cMetaData& schema)
        : views(schema.Views()),
          constraints(schema.Constraints()),
          routines(schema.Routines()),
          tables(schema.Tables()) {}
    NameIndex views;
    NameIndex constraints;
    NameIndex routines;
    NameIndex tables;
};

coDifferences& cCompareEngine::Compare(const cMetaData& MetaData1, const std::string& srcName1,
                                       const cMetaData& MetaData2, const std::string& srcName2) {
    Clear();
    const SchemaIndex index1(MetaData1);
    const SchemaIndex index2(MetaData2);
    CompareOneWay(MetaData1, MetaData2, index2, srcName2);
    CompareOneWay(MetaData2, MetaData1, index1, srcName1);
    return *differences_;
}

void cCompareEngine::CompareOneWay(const cMetaData& a, const cMetaData& b, const SchemaIndex& bIndex,
                                   const std::string& name) {
    for (const auto& view : a.Views()) {
        if (!bIndex.views.Contains(view->ObjectName))
            differences_->Add(view->ObjectName, ObjectType::View, name, "View was not found on " + name);
    }
    for (const auto& constraint : a.Constraints()) {
        if (!bIndex.constraints.Contains(constraint->ObjectName))
            differences_->Add(constraint->ObjectName, ObjectType::Constraint, name,
                              "Constraint was not found on " + name);
    }
    for (const auto& routine : a.Routines()) {
        // A procedure and a function of one name are the same routine.
        if (!bIndex.routines.Contains(routine->ObjectName))
            differences_->Add(routine->ObjectName, routine->ObjectType, name, "Routine was not found on " + name);
    }
    const auto& bTables = b.Tables();
    for (const auto& table : a.Tables()) {
        std::uint32_t match = bIndex.tables.First(table->ObjectName);
        if (match == NameIndex::kNone) {
            differences_->Add(table->ObjectName, ObjectType::Table, name, "Table was not found on " + name);
            continue;
        }
        // A name held twice on the other side is compared column by column with each.
        for (; match != NameIndex::kNone; match = bIndex.tables.Next(match))
            CompareColumns(*table, **(bTables.begin() + match), name);
    }
}

void cCompareEngine::CompareColumns(const cMetaDataElement& aTable, const cMetaDataElement& bTable,
                                    const std::string& name) {
    const auto& aFields = aTable.Fields();
    const auto& bFields = bTable.Fields();
    const long bCount = bFields.Count();

    // Small column lists are scanned; most tables hold their columns in the same order on
    // both sides, so the same position is tried first. Long lists get a hash set.
    constexpr long kScanLimit = 48;
    std::unordered_set<std::string_view> bNames;
    if (bCount > kScanLimit) {
        bNames.reserve(static_cast<std::size_t>(bCount));
        for (const auto& field : bFields) bNames.insert(field->FieldName);
    }
    auto bFieldAt = [&](long i) -> const cField& { return **(bFields.begin() + i); };

    long position = 0;
    for (const auto& field : aFields) {
        const std::string& fieldName = field->FieldName;
        bool found;
        if (bCount > kScanLimit) {
            found = bNames.count(fieldName) != 0;
        } else {
            found = position < bCount && bFieldAt(position).FieldName == fieldName;
            for (long x = 0; !found && x < bCount; ++x) found = bFieldAt(x).FieldName == fieldName;
        }
        ++position;
        if (found) continue;
        auto& difference = *differences_->Add(fieldName, ObjectType::Field, name,
                                              "The field " + fieldName + " was not found on the table " +
                                                  aTable.ObjectName + " on the object " + name);
        difference.FieldSize = field->FieldSize;
        difference.FieldType = field->FieldType;
        difference.FieldTable = aTable.ObjectName;
    }
}

}  // namespace tablor

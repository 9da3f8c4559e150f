#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "model/cMetaDataElement.hpp"

namespace tablor {

// One thing that one side has and the other lacks. `Source` names the side that lacks it;
// the field members are filled only for a missing table column. A changed column
// (ObjectType::FieldChanged) has no Source: its field members are the first side's, and
// FieldType2 / FieldSize2 the second side's.
//
// A difference the engine finds holds no texts of its own: it points at the element (for a
// column, its table and position) and at the side's name, which the schemas already hold, and
// builds its message when asked. A comparison of many same-named tables gives millions of
// differences, so this keeps each one small.
class cDifference {
  public:
    // A difference with texts of its own.
    cDifference(std::string ObjectName, std::int32_t ObjectType, std::string Source, std::string Message);
    // An element that the `source` side lacks, or with `field` set, that column of a table.
    cDifference(std::int32_t ObjectType, std::shared_ptr<const cMetaDataElement> element,
                std::shared_ptr<const std::string> source, std::uint32_t field = kNoField);

    static constexpr std::uint32_t kNoField = UINT32_MAX;

    // A column whose type or size differs between the sides, with texts of its own.
    static cDifference ColumnChanged(std::string FieldTable, std::string FieldName, std::string FieldType,
                                     std::string FieldSize, std::string FieldType2, std::string FieldSize2,
                                     std::string Message);

    // An element, or with `FieldTable` set a column of that table, whose definition's
    // `Property` differs: `Value1` on the first side, `Value2` on the second (empty where a
    // side has none). ObjectType is ObjectType::Changed of the element's kind, or FieldChanged.
    static cDifference DefinitionChanged(std::int32_t ObjectType, std::string ObjectName,
                                         std::string FieldTable, std::string Property, std::string Value1,
                                         std::string Value2, std::string Message, std::string Schema = {});

    std::int32_t ObjectType = 0;

    const std::string& ObjectName() const;
    const std::string& Source() const;
    const std::string& FieldTable() const;
    const std::string& FieldType() const;
    const std::string& FieldSize() const;
    const std::string& FieldType2() const;
    const std::string& FieldSize2() const;
    // A changed definition's property and its value on each side; empty for any other.
    const std::string& Property() const;
    const std::string& Value1() const;
    const std::string& Value2() const;
    // The schema of a changed definition's element (for a column, its table's); empty where
    // the side does not know it.
    const std::string& Schema() const;
    std::string Message() const;

    // Gives a difference with texts of its own the column's details.
    void SetFieldDetails(std::string FieldTable, std::string FieldType, std::string FieldSize);

    // The element (for a column, its table) a difference found by the engine refers to; null
    // for one with texts of its own.
    const cMetaDataElement* ElementFound() const noexcept { return source_ ? &Element() : nullptr; }
    // A difference that refers to an element of a known schema gets texts of its own that name
    // the element (for a column, its table) SCHEMA.NAME.
    void QualifyBySchema();
    // A difference about an element found by the engine names it so instead (an overloaded
    // routine with its signature).
    void ShowNameAs(std::string name);

  private:
    struct OwnTexts;
    const cMetaDataElement& Element() const { return *static_cast<const cMetaDataElement*>(data_.get()); }
    const OwnTexts* Texts() const { return source_ ? nullptr : static_cast<const OwnTexts*>(data_.get()); }
    const cField& Field() const;

    // The element, or for a difference with texts of its own (no source_), its OwnTexts: one
    // pointer for either keeps a difference at 40 bytes.
    std::shared_ptr<const void> data_;
    std::shared_ptr<const std::string> source_;
    std::uint32_t field_ = kNoField;
};

}  // namespace tablor

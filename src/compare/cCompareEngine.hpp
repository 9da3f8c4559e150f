#pragma once
#include <string>

#include "compare/coDifferences.hpp"
#include "model/cMetaData.hpp"

namespace tablor {

class NameIndex;

// Lists what each of two schemas has and the other lacks, by exact name, in both directions.
// The engine owns one difference list that every comparison empties and refills.
class cCompareEngine {
public:
    cCompareEngine() : differences_(std::make_shared<coDifferences>()) {}

    void Clear() noexcept { differences_->Clear(); }

    // First what MetaData1 has and MetaData2 lacks (not found on srcName2), then the reverse.
    // Returns the engine's own list, valid until the next Compare or Clear.
    coDifferences& Compare(const cMetaData& MetaData1, const std::string& srcName1, const cMetaData& MetaData2,
                           const std::string& srcName2);

    coDifferences& Differences() noexcept { return *differences_; }

private:
    struct SchemaIndex;
    void CompareOneWay(const cMetaData& a, const cMetaData& b, const SchemaIndex& bIndex, const std::string& name);
    void CompareColumns(const cMetaDataElement& aTable, const cMetaDataElement& bTable, const std::string& name);

    std::shared_ptr<coDifferences> differences_;
};

}  // namespace tablor

#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "compare/CompareOptions.hpp"
#include "compare/coDifferences.hpp"
#include "model/cMetaData.hpp"
#include "support/Cancellation.hpp"

namespace tablor {

// Lists what each of two schemas has and the other lacks, by exact name, in both directions;
// options may loosen how names match, leave elements out, or add the columns whose type
// changed. The engine owns one difference list that every comparison empties and refills.
class cCompareEngine {
  public:
    cCompareEngine() : differences_(std::make_shared<coDifferences>()) {}

    void Clear() noexcept { differences_->Clear(); }

    // First what MetaData1 has and MetaData2 lacks (not found on srcName2), then the reverse.
    // Returns the engine's own list, valid until the next Compare or Clear. With every option
    // off (the default), the list is the same as without options, and made as fast. Patterns past
    // a limit (PatternLimitProblem) are a TablorError, thrown before the list changes. Once
    // `cancel` is cancelled the comparison ends with OperationCancelled and an empty list.
    coDifferences& Compare(const cMetaData& MetaData1, const std::string& srcName1,
                           const cMetaData& MetaData2, const std::string& srcName2,
                           const CompareOptions& options = {},
                           const CancellationToken& cancel = CancellationToken::None());

    coDifferences& Differences() noexcept { return *differences_; }

    // Whether two sides pair their objects by schema and name rather than by name alone.
    static bool PairsBySchema(const cMetaData& first, const cMetaData& second);
    // An element's kind and name in one key (a procedure and a function of one name alike).
    static std::string KindKey(const cMetaDataElement& element);

  private:
    struct SchemaIndex;
    struct Rules;
    struct Columns;
    using SideName = std::shared_ptr<const std::string>;
    enum class Pass { Forward, Backward };
    void CompareOneWay(const cMetaData& a, const SchemaIndex& aIndex, const cMetaData& b,
                       const SchemaIndex& bIndex, const SideName& name, Pass pass);
    // Appends the columns of aTable missing from bTable, and keeps the positions of the
    // columns of bTable missing from aTable for the backward pass; then, when asked, the
    // columns whose type or size changed.
    template <class Names>
    void CompareColumns(const std::shared_ptr<cMetaDataElement>& aTable, const Columns& a, const Columns& b,
                        const SideName& name, std::uint64_t backwardPair, bool missing, bool changes);
    void AddChange(const cMetaDataElement& aTable, const cField& aField, const cField& bField);
    std::string ShownName(const cMetaDataElement& element) const;
    bool Renamed(const cMetaDataElement& element) const;

    std::shared_ptr<coDifferences> differences_;
    const Rules* rules_ = nullptr;                    // during a comparison with options
    bool bySchema_ = false;                           // during a comparison
    bool bySignature_ = false;                        // during a comparison: routines pair by signature
    std::unordered_set<std::string> severalSchemas_;  // KindKeys of names in several schemas
    const std::string* firstName_ = nullptr;
    const std::string* secondName_ = nullptr;
    const CancellationToken* cancel_ = &CancellationToken::None();
    class DefinitionComparison* definitions_ = nullptr;  // during a comparison of definitions

    // Each pair of same-named tables is walked once, going forward; what the second table
    // lacks going back waits here: the pair (second-side index, first-side index) and the
    // column's position. A flat list, since many same-named tables make millions of pairs.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> backwardMissing_;
    std::vector<unsigned char> matchedScratch_;             // by column of the second table: matched
    std::vector<std::uint32_t> matchAtScratch_;             // by column of the first table: its match
    std::vector<std::uint32_t> keptScratch_[2];             // the columns the excludes leave, by side
    std::vector<const Properties*> definitionsScratch_[2];  // by column, by side
    std::string foldedScratch_;
    std::string foldedNameScratch_;
};

}  // namespace tablor

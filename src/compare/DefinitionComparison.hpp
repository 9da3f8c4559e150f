#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "compare/CompareOptions.hpp"
#include "compare/coDifferences.hpp"
#include "model/cMetaDataElement.hpp"

namespace tablor {

// What changed inside elements that both sides hold: each property of their definitions, and
// of their columns, that both sides know and that differs once normalized. A side that knows
// nothing of an element's definition (no Definition) never makes it changed; within a known
// definition, a property one side lacks is empty there ("default: (none) → 0").
class DefinitionComparison {
  public:
    // `shownName` names an element in a difference (SCHEMA.NAME where the name stands in
    // several schemas).
    DefinitionComparison(const CompareOptions& options,
                         std::function<std::string(const cMetaDataElement&)> shownName, coDifferences& out);

    // Two paired elements of one kind, the first side's first.
    void CompareElements(const cMetaDataElement& a, const cMetaDataElement& b);
    // Two paired columns of a table and their definitions, the first side's first.
    void CompareColumnPair(const cMetaDataElement& aTable, const cField& aField,
                           const Properties& aDefinition, const Properties& bDefinition) {
        // Most pairs were found alike before: told without reading them.
        const AlikePair& known = alike_[AlikeSlot(&aDefinition, &bDefinition)];
        if (known.a != &aDefinition || known.b != &bDefinition)
            CompareNewColumnPair(aTable, aField, aDefinition, bDefinition);
    }

    // The same text once line ends, trailing blanks and blank first and last lines are set
    // aside: a definition restored from a dump or written on another system is the same.
    static std::string Normalized(std::string_view text);
    // Whether Normalized(a) == Normalized(b), without making either.
    static bool SameOnceNormalized(std::string_view a, std::string_view b);
    // "nullable: YES → NO"; a long or multi-line value is told by the line it first differs on.
    static std::string ChangeText(std::string_view property, std::string_view value1,
                                  std::string_view value2);

  private:
    // Calls onChange for each property that differs; true when none does.
    template <class OnChange>
    bool CompareProperties(const Properties& a, const Properties& b, OnChange&& onChange) const;
    bool Ignored(std::string_view property) const;
    void CompareNewColumnPair(const cMetaDataElement& aTable, const cField& aField,
                              const Properties& aDefinition, const Properties& bDefinition);

    std::function<std::string(const cMetaDataElement&)> shownName_;
    coDifferences& out_;
    std::unordered_set<std::string> ignored_;  // folded property names
    // Pairs of column definitions found alike, by a hash of both addresses. A snapshot's
    // columns of one definition text share one list, so a large schema holds few of them.
    struct AlikePair {
        const Properties* a = nullptr;
        const Properties* b = nullptr;
    };
    static constexpr unsigned kAlikeBits = 12;
    static std::size_t AlikeSlot(const Properties* a, const Properties* b) {
        constexpr std::uint64_t kMix = 0x9E3779B97F4A7C15u;
        const auto x = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(a));
        const auto y = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(b));
        return static_cast<std::size_t>((((x * kMix) ^ y) * kMix) >> (64 - kAlikeBits));
    }
    std::vector<AlikePair> alike_;
};

}  // namespace tablor

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
    // Two paired columns of a table, both with definitions, the first side's first.
    void CompareColumnPair(const cMetaDataElement& aTable, const cField& aField, const cField& bField);

    // The same text once line ends, trailing blanks and blank first and last lines are set
    // aside: a definition restored from a dump or written on another system is the same.
    static std::string Normalized(std::string_view text);
    // "nullable: YES → NO"; a long or multi-line value is told by the line it first differs on.
    static std::string ChangeText(std::string_view property, std::string_view value1,
                                  std::string_view value2);

  private:
    template <class OnChange>
    void CompareProperties(const Properties& a, const Properties& b, OnChange&& onChange) const;

    std::function<std::string(const cMetaDataElement&)> shownName_;
    coDifferences& out_;
    std::unordered_set<std::string> ignored_;  // folded property names
};

}  // namespace tablor

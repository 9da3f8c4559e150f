#pragma once
#include <string>

#include "compare/CompareOptions.hpp"
#include "compare/coDifferences.hpp"
#include "model/cMetaData.hpp"

namespace tablor::testing {

// The comparison written as the literal nested scans, position by position, kept only to
// prove that the indexed engine gives the very same list. Options are applied literally too:
// each name filtered, folded and stripped at each comparison, globs tried by recursion.
void PlainScanCompare(const cMetaData& first, const std::string& firstName, const cMetaData& second,
                      const std::string& secondName, coDifferences& out, const CompareOptions& options = {});

// One glob tried the plain recursive way on folded text, as the scans above try them.
bool PlainGlobMatches(const std::string& pattern, const std::string& text);

}  // namespace tablor::testing

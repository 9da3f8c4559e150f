#pragma once
#include <string>

#include "compare/coDifferences.hpp"
#include "model/cMetaData.hpp"

namespace tablor::testing {

// The comparison written as the literal nested scans, position by position, kept only to
// prove that the indexed engine gives the very same list.
void PlainScanCompare(const cMetaData& first, const std::string& firstName, const cMetaData& second,
                      const std::string& secondName, coDifferences& out);

}  // namespace tablor::testing

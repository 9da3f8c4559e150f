#pragma once
#include <QStringList>

#include "compare/CompareOptions.hpp"
#include "model/cMetaData.hpp"

namespace tablor::gui {

// The include and exclude patterns of `options` that match no name on either side (a dotted
// exclude no TABLE.COLUMN either), each named with its list: "include pattern Sales_*". Such a
// pattern is most often mistyped, and an include that matches nothing empties the comparison.
QStringList PatternsMatchingNothing(const CompareOptions& options, const cMetaData& first,
                                    const cMetaData& second);

}  // namespace tablor::gui

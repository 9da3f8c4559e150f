#pragma once
#include <cstdint>
#include <memory>
#include <utility>

#include "model/cMetaData.hpp"

namespace tablor::testing {

struct SchemaShape {
    int tables = 100;
    int columnsPerTable = 10;
    int views = 20;
    int routines = 40;
    int constraints = 150;
    double differing = 0.05;  // share of names that one side renames, drops or adds
    // Names repeated and differing only in letter case, to reach the rare paths.
    bool awkwardNames = false;
    // What comparison options look at: names in other letter case, generated constraint names
    // (the same stem, other hex digits), and column types and sizes that differ.
    bool optionCases = false;
};

// Two schemas of one shape, alike but for the differing share, from a seed.
std::pair<std::shared_ptr<cMetaData>, std::shared_ptr<cMetaData>> GenerateSchemaPair(const SchemaShape& shape,
                                                                                     std::uint32_t seed);

}  // namespace tablor::testing

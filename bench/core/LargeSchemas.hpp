#pragma once
#include "SchemaGenerator.hpp"

// The size the speed goals are set for: 20,000 tables of 25 columns, 5,000 views,
// 10,000 routines and 40,000 constraints on each side, about 5% differing.
inline tablor::testing::SchemaShape LargeShape() {
    tablor::testing::SchemaShape shape;
    shape.tables = 20000;
    shape.columnsPerTable = 25;
    shape.views = 5000;
    shape.routines = 10000;
    shape.constraints = 40000;
    shape.differing = 0.05;
    return shape;
}

// The pair the memory goals are set for: 200,000 tables of 16 columns a side (about 70 MB of
// snapshot each) and otherwise the size above, an eighth of the tables differing.
inline tablor::testing::SchemaShape MemoryShape() {
    tablor::testing::SchemaShape shape = LargeShape();
    shape.tables = 200000;
    shape.columnsPerTable = 16;
    shape.differing = 0.125;
    return shape;
}

#pragma once
#include <gtest/gtest.h>

#include "compare/coDifferences.hpp"

namespace tablor::testing {

// Two lists of differences are the same, record by record and field by field.
inline void ExpectSameList(const coDifferences& actual, const coDifferences& expected) {
    ASSERT_EQ(actual.Count(), expected.Count());
    for (long i = 1; i <= actual.Count(); ++i) {
        const auto& a = *actual.Item(i);
        const auto& e = *expected.Item(i);
        ASSERT_EQ(a.ObjectName(), e.ObjectName()) << "at " << i;
        ASSERT_EQ(a.ObjectType, e.ObjectType) << "at " << i;
        ASSERT_EQ(a.Source(), e.Source()) << "at " << i;
        ASSERT_EQ(a.Message(), e.Message()) << "at " << i;
        ASSERT_EQ(a.FieldTable(), e.FieldTable()) << "at " << i;
        ASSERT_EQ(a.FieldType(), e.FieldType()) << "at " << i;
        ASSERT_EQ(a.FieldSize(), e.FieldSize()) << "at " << i;
        ASSERT_EQ(a.FieldType2(), e.FieldType2()) << "at " << i;
        ASSERT_EQ(a.FieldSize2(), e.FieldSize2()) << "at " << i;
    }
}

}  // namespace tablor::testing

#pragma once
#include <iosfwd>
#include <string>
#include <string_view>

#include "compare/coDifferences.hpp"

namespace tablor::cli {

// Writes a JUnit XML document for CI: one <testsuite> per kind present (named by its kind
// word), each difference a failing <testcase> (classname "tablor.<Kind>", named by the object,
// TABLE.COLUMN for a column) whose <failure> holds the message. With no differences, one passing
// test case, so that the run shows green. A comparison made with options has them as a property
// of each suite. Every text passes through VisibleText, so any bytes make a well-formed document.
void WriteDifferencesJunit(std::ostream& out, const std::string& object1, const std::string& object2,
                           const coDifferences& differences, std::string_view options = {});

}  // namespace tablor::cli

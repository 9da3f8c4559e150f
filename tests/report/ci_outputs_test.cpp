// The outputs for CI with the kinds definitions bring: every difference is told, each in one
// row or test case, whatever its values hold.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/JunitOutput.hpp"
#include "cli/MarkdownOutput.hpp"
#include "model/ObjectType.hpp"

namespace tablor {
namespace {

coDifferences Changed() {
    coDifferences differences;
    differences.AddChange(cDifference::DefinitionChanged(
        ObjectType::Changed(ObjectType::View), "v", "", "definition", "select 1\n| x |\n</failure>",
        "select 2", "View v changed: definition differs from line 1"));
    differences.AddChange(cDifference::DefinitionChanged(ObjectType::FieldChanged, "c", "t", "nullable",
                                                         "YES", "NO",
                                                         "Field t.c changed: nullable: YES → NO"));
    differences.Add("t.ix", ObjectType::Index, "b.snp", "Index t.ix was not found on b.snp");
    return differences;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(CiOutputs, EveryKindIsToldOnceAndNoValueReachesTheDocument) {
    std::ostringstream junit;
    cli::WriteDifferencesJunit(junit, "a.snp", "b.snp", Changed());
    std::ostringstream markdown;
    cli::WriteDifferencesMarkdown(markdown, Changed());
    EXPECT_EQ(Count(junit.str(), "<testcase "), 3u) << junit.str();
    for (const char* suite : {"name=\"View changed\"", "name=\"Field changed\"", "name=\"Index\""})
        EXPECT_EQ(Count(junit.str(), suite), 1u) << suite << "\n" << junit.str();
    EXPECT_EQ(Count(markdown.str(), "\n| "), 5u) << markdown.str();  // header, its rule, three rows
    EXPECT_EQ(markdown.str().substr(0, markdown.str().find('\n')),
              "**3 differences**: 1 changed column, 1 index, 1 changed view");
    for (const std::string& text : {junit.str(), markdown.str()})
        EXPECT_EQ(text.find("select"), std::string::npos) << "a value reached the output";
}

}  // namespace
}  // namespace tablor

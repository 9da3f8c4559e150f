#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tablor {

// One keyword=value pair as the unixODBC driver manager reads it from a connection string.
struct DriverManagerItem {
    std::string keyword;
    std::string value;
    std::size_t keywordOffset = 0;  // where the keyword starts in the string
};

// Reads a connection string the way the unixODBC driver manager does before it loads a driver:
// blanks and ";" before a keyword are skipped, a keyword runs to the next "=" (";" included),
// a value in braces ends at a "}" that is not doubled ("}}" stands for "}"), and any other value
// runs to the next ";". Text after the last "=" that has no "=" of its own is ignored.
std::vector<DriverManagerItem> ReadAsDriverManager(std::string_view text);

}  // namespace tablor

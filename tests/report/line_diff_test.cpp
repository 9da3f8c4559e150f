#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "report/LineDiff.hpp"

using namespace tablor;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The longest common subsequence by trying every subsequence of the first text's lines.
std::size_t PlainCommonLines(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::size_t best = 0;
    for (unsigned mask = 0; mask < (1u << a.size()); ++mask) {
        std::size_t k = 0, taken = 0;
        bool fits = true;
        for (std::size_t i = 0; i < a.size() && fits; ++i) {
            if ((mask & (1u << i)) == 0) continue;
            while (k < b.size() && b[k] != a[i]) ++k;
            fits = k < b.size();
            ++k;
            ++taken;
        }
        if (fits) best = std::max(best, taken);
    }
    return best;
}

}  // namespace

TEST(LineDiff, EachTextIsItsOwnLinesAndTheSharedLinesAreAsManyAsCanBe) {
    std::mt19937 random(20261208);
    const std::vector<std::string> pool = {"a", "b", "c", "", "select 1"};
    for (int round = 0; round < 3000; ++round) {
        std::string texts[2];
        for (auto& text : texts) {
            const int count = static_cast<int>(random() % 10);
            for (int i = 0; i < count; ++i) text += pool[random() % pool.size()] + "\n";
            if (random() % 3 == 0 && !text.empty()) text.pop_back();
        }
        std::vector<std::string> rebuilt[2];
        std::size_t shared = 0;
        for (const DiffLine& line : DiffLines(texts[0], texts[1])) {
            if (line.side != DiffLine::Side::Second) rebuilt[0].emplace_back(line.text);
            if (line.side != DiffLine::Side::First) rebuilt[1].emplace_back(line.text);
            shared += line.side == DiffLine::Side::Both ? 1 : 0;
        }
        const auto a = Lines(texts[0]);
        const auto b = Lines(texts[1]);
        ASSERT_EQ(rebuilt[0], a) << texts[0] << "|" << texts[1];
        ASSERT_EQ(rebuilt[1], b) << texts[0] << "|" << texts[1];
        ASSERT_EQ(shared, PlainCommonLines(a, b)) << texts[0] << "|" << texts[1];
    }
}

TEST(LineDiff, LineEndsAndTrailingBlanksMakeNoDifference) {
    const auto lines = DiffLines("select a  \r\nfrom t\r\n", "select a\nfrom t");
    ASSERT_EQ(lines.size(), 2u);
    for (const DiffLine& line : lines) EXPECT_EQ(line.side, DiffLine::Side::Both) << line.text;
    EXPECT_EQ(lines[1].text, "from t");
}

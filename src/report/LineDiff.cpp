#include "report/LineDiff.hpp"

#include <algorithm>
#include <cstdint>

namespace tablor {
namespace {

// The messages tell a value this long or of several lines by the line it first differs on.
constexpr std::size_t kShownValueLength = 80;
// The pairs of differing lines paired one by one: 4 million two-byte lengths, 8 MB.
constexpr std::size_t kMaxPairs = 4'000'000;

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string_view WithoutTrailingBlanks(std::string_view line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

bool SameLine(std::string_view a, std::string_view b) {
    return WithoutTrailingBlanks(a) == WithoutTrailingBlanks(b);
}

}  // namespace

bool IsBodyText(std::string_view value) {
    return value.size() > kShownValueLength || value.find('\n') != std::string_view::npos;
}

std::vector<DiffLine> DiffLines(std::string_view first, std::string_view second) {
    const std::vector<std::string_view> a = SplitLines(first);
    const std::vector<std::string_view> b = SplitLines(second);
    std::vector<DiffLine> out;
    out.reserve(a.size() + b.size());

    // Most bodies differ in a few lines: what they share at either end is paired at once.
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && SameLine(a[head], b[head])) ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           SameLine(a[a.size() - 1 - tail], b[b.size() - 1 - tail]))
        ++tail;
    for (std::size_t i = 0; i < head; ++i) out.push_back({DiffLine::Side::Both, a[i]});

    const std::size_t n = a.size() - head - tail;
    const std::size_t m = b.size() - head - tail;
    const auto A = [&](std::size_t i) { return a[head + i]; };
    const auto B = [&](std::size_t k) { return b[head + k]; };
    if (n != 0 && m != 0 && (n + 1) * (m + 1) <= kMaxPairs && std::min(n, m) < UINT16_MAX) {
        // The longest common subsequence of the suffixes: length[i][k] for A[i..], B[k..].
        const std::size_t width = m + 1;
        std::vector<std::uint16_t> length((n + 1) * width, 0);
        for (std::size_t i = n; i-- > 0;)
            for (std::size_t k = m; k-- > 0;)
                length[i * width + k] =
                    SameLine(A(i), B(k)) ? static_cast<std::uint16_t>(length[(i + 1) * width + k + 1] + 1)
                                         : std::max(length[(i + 1) * width + k], length[i * width + k + 1]);
        std::size_t i = 0, k = 0;
        while (i < n && k < m) {
            if (SameLine(A(i), B(k))) {
                out.push_back({DiffLine::Side::Both, A(i)});
                ++i;
                ++k;
            } else if (length[(i + 1) * width + k] >= length[i * width + k + 1]) {
                out.push_back({DiffLine::Side::First, A(i++)});
            } else {
                out.push_back({DiffLine::Side::Second, B(k++)});
            }
        }
        for (; i < n; ++i) out.push_back({DiffLine::Side::First, A(i)});
        for (; k < m; ++k) out.push_back({DiffLine::Side::Second, B(k)});
    } else {
        for (std::size_t i = 0; i < n; ++i) out.push_back({DiffLine::Side::First, A(i)});
        for (std::size_t k = 0; k < m; ++k) out.push_back({DiffLine::Side::Second, B(k)});
    }
    for (std::size_t i = a.size() - tail; i < a.size(); ++i) out.push_back({DiffLine::Side::Both, a[i]});
    return out;
}

}  // namespace tablor

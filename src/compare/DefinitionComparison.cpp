#include "compare/DefinitionComparison.hpp"

#include <algorithm>

#include "compare/SameText.hpp"
#include "model/ObjectType.hpp"
#include "support/TextCase.hpp"

namespace tablor {
namespace {

// Values longer than this are told by the part where they differ; of several lines, by the line.
constexpr std::size_t kShownValueLength = 80;
// What a long line keeps on either side of where two values differ.
constexpr std::size_t kContext = 20;

std::string_view Shown(std::string_view value) {
    return value.empty() ? std::string_view("(none)") : value;
}

// The 1-based line on which two texts first differ.
std::size_t FirstDifferentLine(std::string_view a, std::string_view b) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i)
        if (a[i] == '\n') ++line;
    return line;
}

}  // namespace

DefinitionComparison::DefinitionComparison(const CompareOptions& options,
                                           std::function<std::string(const cMetaDataElement&)> shownName,
                                           coDifferences& out)
    : shownName_(std::move(shownName)), out_(out) {
    for (const auto& property : options.ignoreProperties) ignored_.insert(FoldCase(property));
}

std::string DefinitionComparison::Normalized(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (!(out.empty() && line.empty())) out.append(line).append("\n");
        start = end + 1;
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string DefinitionComparison::ChangeText(std::string_view property, std::string_view value1,
                                             std::string_view value2) {
    const auto isBody = [](std::string_view value) { return value.find('\n') != std::string_view::npos; };
    std::string text(property);
    if (isBody(value1) || isBody(value2))
        return text.append(" differs from line ")
            .append(std::to_string(FirstDifferentLine(Normalized(value1), Normalized(value2))));
    if (value1.size() <= kShownValueLength && value2.size() <= kShownValueLength)
        return text.append(": ").append(Shown(value1)).append(" \u2192 ").append(Shown(value2));
    // A long line is told where it differs: what both share at either end is cut to a little.
    std::size_t head = 0;
    while (head < value1.size() && head < value2.size() && value1[head] == value2[head]) ++head;
    std::size_t tail = 0;
    while (tail < value1.size() - head && tail < value2.size() - head &&
           value1[value1.size() - 1 - tail] == value2[value2.size() - 1 - tail])
        ++tail;
    // Cut between characters, never inside one.
    const auto continuation = [](std::string_view value, std::size_t at) {
        return at < value.size() && (static_cast<unsigned char>(value[at]) & 0xC0) == 0x80;
    };
    std::size_t from = head > kContext ? head - kContext : 0;
    while (from > 0 && continuation(value1, from)) --from;
    const auto part = [&](std::string_view value) {
        std::size_t end = value.size() - (tail > kContext ? tail - kContext : 0);
        while (continuation(value, end)) ++end;
        std::string shown = from > 0 ? "\u2026" : "";
        shown.append(value.substr(from, end - from));
        if (end < value.size()) shown += "\u2026";
        return shown;
    };
    return text.append(": ").append(part(value1)).append(" \u2192 ").append(part(value2));
}

template <class OnChange>
void DefinitionComparison::CompareProperties(const Properties& a, const Properties& b,
                                             OnChange&& onChange) const {
    // Alike, the usual case, is told by one pass over both.
    if (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
            return SameName(x.first, y.first) && SameName(x.second, y.second);
        }))
        return;
    // Both lists are in order of property name: one walk finds each property of either.
    static const std::string none;
    std::size_t i = 0, k = 0;
    while (i < a.size() || k < b.size()) {
        const bool takeA = k == b.size() || (i < a.size() && a[i].first <= b[k].first);
        const bool takeB = i == a.size() || (k < b.size() && b[k].first <= a[i].first);
        const std::string& property = takeA ? a[i].first : b[k].first;
        const std::string& value1 = takeA ? a[i].second : none;
        const std::string& value2 = takeB ? b[k].second : none;
        if (takeA) ++i;
        if (takeB) ++k;
        if (value1 == value2 || ignored_.count(FoldCase(property)) != 0) continue;
        if (Normalized(value1) != Normalized(value2)) onChange(property, value1, value2);
    }
}

void DefinitionComparison::CompareElements(const cMetaDataElement& a, const cMetaDataElement& b) {
    if (!a.Definition || !b.Definition) return;
    CompareProperties(*a.Definition, *b.Definition,
                      [&](const std::string& property, const std::string& value1, const std::string& value2) {
                          std::string name = shownName_(a);
                          std::string message = std::string(ObjectType::Word(a.ObjectType)) + " " + name +
                                                " changed: " + ChangeText(property, value1, value2);
                          out_.AddChange(cDifference::DefinitionChanged(
                              ObjectType::Changed(a.ObjectType), std::move(name), {}, property, value1,
                              value2, std::move(message), a.Schema));
                      });
}

void DefinitionComparison::CompareColumnPair(const cMetaDataElement& aTable, const cField& aField,
                                             const cField& bField) {
    CompareProperties(*aField.Definition, *bField.Definition,
                      [&](const std::string& property, const std::string& value1, const std::string& value2) {
                          std::string table = shownName_(aTable);
                          std::string message = "Field " + table + "." + aField.FieldName +
                                                " changed: " + ChangeText(property, value1, value2);
                          out_.AddChange(cDifference::DefinitionChanged(
                              ObjectType::FieldChanged, aField.FieldName, std::move(table), property, value1,
                              value2, std::move(message), aTable.Schema));
                      });
}

}  // namespace tablor

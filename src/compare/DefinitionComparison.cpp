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

// The lines of a text as Normalized keeps them, each without its trailing blanks.
class NormalizedLines {
  public:
    explicit NormalizedLines(std::string_view text) : text_(text) {}
    // The next line, or false past the last; blank lines before the first are skipped.
    bool Next(std::string_view& line) {
        while (start_ <= text_.size()) {
            std::size_t end = text_.find('\n', start_);
            if (end == std::string_view::npos) end = text_.size();
            line = text_.substr(start_, end - start_);
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
                line.remove_suffix(1);
            start_ = end + 1;
            if (!line.empty()) begun_ = true;
            if (begun_) return true;
        }
        return false;
    }

  private:
    std::string_view text_;
    std::size_t start_ = 0;
    bool begun_ = false;
};

}  // namespace

DefinitionComparison::DefinitionComparison(const CompareOptions& options,
                                           std::function<std::string(const cMetaDataElement&)> shownName,
                                           coDifferences& out)
    : shownName_(std::move(shownName)), out_(out) {
    if (options.definitions) alike_.resize(std::size_t{1} << kAlikeBits);
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

bool DefinitionComparison::SameOnceNormalized(std::string_view a, std::string_view b) {
    NormalizedLines x(a), y(b);
    std::string_view lineA, lineB;
    bool moreA = x.Next(lineA), moreB = y.Next(lineB);
    for (; moreA && moreB; moreA = x.Next(lineA), moreB = y.Next(lineB))
        if (lineA != lineB) return false;
    // Blank lines at the end are set aside.
    for (; moreA; moreA = x.Next(lineA))
        if (!lineA.empty()) return false;
    for (; moreB; moreB = y.Next(lineB))
        if (!lineB.empty()) return false;
    return true;
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

bool DefinitionComparison::Ignored(std::string_view property) const {
    return !ignored_.empty() && ignored_.count(FoldCase(property)) != 0;
}

template <class OnChange>
bool DefinitionComparison::CompareProperties(const Properties& a, const Properties& b,
                                             OnChange&& onChange) const {
    // Alike, the usual case, is told by one pass over both.
    if (&a == &b ||
        (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
             return SameName(x.first, y.first) && SameName(x.second, y.second);
         })))
        return true;
    // Both lists are in order of property name: one walk finds each property of either.
    static const std::string none;
    bool alike = true;
    std::size_t i = 0, k = 0;
    while (i < a.size() || k < b.size()) {
        const bool takeA = k == b.size() || (i < a.size() && a[i].first <= b[k].first);
        const bool takeB = i == a.size() || (k < b.size() && b[k].first <= a[i].first);
        const std::string& property = takeA ? a[i].first : b[k].first;
        const std::string& value1 = takeA ? a[i].second : none;
        const std::string& value2 = takeB ? b[k].second : none;
        if (takeA) ++i;
        if (takeB) ++k;
        if (SameName(value1, value2) || Ignored(property) || SameOnceNormalized(value1, value2)) continue;
        alike = false;
        onChange(property, value1, value2);
    }
    return alike;
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

void DefinitionComparison::CompareNewColumnPair(const cMetaDataElement& aTable, const cField& aField,
                                                const Properties& aDefinition,
                                                const Properties& bDefinition) {
    const bool alike = CompareProperties(
        aDefinition, bDefinition,
        [&](const std::string& property, const std::string& value1, const std::string& value2) {
            std::string table = shownName_(aTable);
            std::string message = "Field " + table + "." + aField.FieldName +
                                  " changed: " + ChangeText(property, value1, value2);
            out_.AddChange(cDifference::DefinitionChanged(ObjectType::FieldChanged, aField.FieldName,
                                                          std::move(table), property, value1, value2,
                                                          std::move(message), aTable.Schema));
        });
    if (alike) alike_[AlikeSlot(&aDefinition, &bDefinition)] = {&aDefinition, &bDefinition};
}

}  // namespace tablor

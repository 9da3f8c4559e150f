#include "PlainScanReference.hpp"

#include "model/ObjectType.hpp"
#include "support/TextCase.hpp"

namespace tablor::testing {
namespace {

// A glob tried the plain recursive way, on folded text: fine for the short names of tests.
bool GlobLiteral(const std::u32string& pattern, std::size_t p, const std::u32string& text, std::size_t t) {
    if (p == pattern.size()) return t == text.size();
    if (pattern[p] == '*') {
        for (std::size_t skip = t; skip <= text.size(); ++skip)
            if (GlobLiteral(pattern, p + 1, text, skip)) return true;
        return false;
    }
    if (t == text.size()) return false;
    return (pattern[p] == '?' || pattern[p] == text[t]) && GlobLiteral(pattern, p + 1, text, t + 1);
}

// The tests' names are ASCII but for a few letters; each character of the text is one unit.
std::u32string Units(const std::string& folded) {
    std::u32string units;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const auto byte = static_cast<unsigned char>(folded[i]);
        if (byte >= 0xC0 && i + 1 < folded.size()) {
            units += static_cast<char32_t>(((byte & 0x1Fu) << 6) |
                                           (static_cast<unsigned char>(folded[i + 1]) & 0x3Fu));
            ++i;
        } else {
            units += byte;
        }
    }
    return units;
}

bool Glob(const std::string& pattern, const std::string& text) {
    return GlobLiteral(Units(FoldCase(pattern)), 0, Units(FoldCase(text)), 0);
}

// PK__Orders__C3905BAF: a known prefix, and 8 to 16 hex digits after the last "__".
std::size_t GeneratedStem(const std::string& name) {
    const std::size_t last = name.rfind("__");
    if (last == std::string::npos || last < 4 || name.substr(2, 2) != "__") return 0;
    const std::string prefix = AsciiUpper(name.substr(0, 2));
    if (prefix != "PK" && prefix != "FK" && prefix != "DF" && prefix != "UQ" && prefix != "CK") return 0;
    const std::string digits = name.substr(last + 2);
    if (digits.size() < 8 || digits.size() > 16) return 0;
    for (const char ch : digits)
        if (std::string("0123456789abcdefABCDEF").find(ch) == std::string::npos) return 0;
    return last;
}

struct Rules {
    const CompareOptions& options;

    bool Kept(const std::string& name) const {
        bool included = options.include.empty();
        for (const auto& pattern : options.include)
            if (Glob(pattern, name)) included = true;
        for (const auto& pattern : options.exclude)
            if (Glob(pattern, name)) included = false;
        return included;
    }
    bool ColumnKept(const std::string& table, const std::string& column) const {
        for (const auto& pattern : options.exclude)
            if (pattern.find('.') != std::string::npos && Glob(pattern, table + "." + column)) return false;
        return true;
    }
    bool SameText(const std::string& a, const std::string& b) const {
        return options.ignoreCase ? FoldCase(a) == FoldCase(b) : a == b;
    }
    // A generated name is the same as another generated one with the same stem.
    bool SameName(const std::string& a, const std::string& b, bool constraint) const {
        if (!constraint || !options.ignoreGeneratedNames) return SameText(a, b);
        const std::size_t stemA = GeneratedStem(a);
        const std::size_t stemB = GeneratedStem(b);
        if ((stemA == 0) != (stemB == 0)) return false;
        if (stemA == 0) return SameText(a, b);
        return SameText(a.substr(0, stemA), b.substr(0, stemB));
    }
    bool Shows(unsigned kind) const { return options.Shows(kind); }
};

template <class C>
bool ScanFinds(const C& elements, const std::string& name, const Rules& rules, bool constraint = false) {
    bool found = false;
    for (long j = 1; j <= elements.Count(); ++j) {
        const auto& other = *(elements.begin() + (j - 1));
        if (rules.Kept(other->ObjectName) && rules.SameName(other->ObjectName, name, constraint))
            found = true;
    }
    return found;
}

std::string TypeText(const cField& field) {
    return field.FieldSize.empty() ? field.FieldType : field.FieldType + " (" + field.FieldSize + ")";
}

void OneWay(const cMetaData& a, const cMetaData& b, const std::string& name, coDifferences& out,
            const Rules& rules, const std::string* firstName) {
    for (const auto& view : a.Views())
        if (rules.Kept(view->ObjectName) && rules.Shows(CompareKind::Views) &&
            !ScanFinds(b.Views(), view->ObjectName, rules))
            out.Add(view->ObjectName, 2, name, "View was not found on " + name);
    for (const auto& constraint : a.Constraints())
        if (rules.Kept(constraint->ObjectName) && rules.Shows(CompareKind::Constraints) &&
            !ScanFinds(b.Constraints(), constraint->ObjectName, rules, true))
            out.Add(constraint->ObjectName, 5, name, "Constraint was not found on " + name);
    for (const auto& routine : a.Routines()) {
        const unsigned kind = routine->ObjectType == 4 ? CompareKind::Functions : CompareKind::Procedures;
        if (rules.Kept(routine->ObjectName) && rules.Shows(kind) &&
            !ScanFinds(b.Routines(), routine->ObjectName, rules))
            out.Add(routine->ObjectName, routine->ObjectType, name, "Routine was not found on " + name);
    }
    for (const auto& table : a.Tables()) {
        if (!rules.Kept(table->ObjectName)) continue;
        bool found = false;
        for (const auto& other : b.Tables()) {
            if (!rules.Kept(other->ObjectName) ||
                !rules.SameName(other->ObjectName, table->ObjectName, false))
                continue;
            found = true;
            for (const auto& field : table->Fields()) {
                if (!rules.ColumnKept(table->ObjectName, field->FieldName)) continue;
                bool fieldFound = false;
                for (const auto& otherField : other->Fields())
                    if (rules.ColumnKept(other->ObjectName, otherField->FieldName) &&
                        rules.SameText(otherField->FieldName, field->FieldName))
                        fieldFound = true;
                if (fieldFound || !rules.Shows(CompareKind::Columns)) continue;
                auto& d = *out.Add(field->FieldName, 1, name,
                                   "The field " + field->FieldName + " was not found on the table " +
                                       table->ObjectName + " on the object " + name);
                d.SetFieldDetails(table->ObjectName, field->FieldType, field->FieldSize);
            }
            // Changes are seen going forward only, against the first column of the name.
            if (firstName == nullptr || !rules.options.columnChanges || !rules.Shows(CompareKind::Changes))
                continue;
            for (const auto& field : table->Fields()) {
                if (!rules.ColumnKept(table->ObjectName, field->FieldName)) continue;
                const cField* first = nullptr;
                for (const auto& otherField : other->Fields())
                    if (!first && rules.ColumnKept(other->ObjectName, otherField->FieldName) &&
                        rules.SameText(otherField->FieldName, field->FieldName))
                        first = otherField;
                if (!first) continue;
                if (FoldCase(first->FieldType) == FoldCase(field->FieldType) &&
                    first->FieldSize == field->FieldSize)
                    continue;
                out.AddChange(cDifference::ColumnChanged(
                    table->ObjectName, field->FieldName, field->FieldType, field->FieldSize, first->FieldType,
                    first->FieldSize,
                    "Field " + table->ObjectName + "." + field->FieldName + " changed: " + TypeText(*field) +
                        " on " + *firstName + ", " + TypeText(*first) + " on " + name));
            }
        }
        if (!found && rules.Shows(CompareKind::Tables))
            out.Add(table->ObjectName, 0, name, "Table was not found on " + name);
    }
}

}  // namespace

bool PlainGlobMatches(const std::string& pattern, const std::string& text) {
    return Glob(pattern, text);
}

void PlainScanCompare(const cMetaData& first, const std::string& firstName, const cMetaData& second,
                      const std::string& secondName, coDifferences& out, const CompareOptions& options) {
    out.Clear();
    const Rules rules{options};
    OneWay(first, second, secondName, out, rules, &firstName);
    OneWay(second, first, firstName, out, rules, nullptr);
}

}  // namespace tablor::testing

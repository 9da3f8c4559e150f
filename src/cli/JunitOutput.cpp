#include "cli/JunitOutput.hpp"

#include <cctype>
#include <ostream>

#include "cli/DifferenceOutput.hpp"
#include "report/DifferenceRow.hpp"
#include "support/MarkupEscape.hpp"

namespace tablor::cli {
namespace {

// Escaped for an attribute or for text alike.
std::string Xml(std::string_view text) {
    return EscapeMarkup(VisibleText(text));
}

// One word per kind: "Field changed" is "tablor.FieldChanged".
std::string ClassName(std::string_view kindWord) {
    std::string name = "tablor.";
    bool upper = false;
    for (const char ch : kindWord) {
        if (ch == ' ') {
            upper = true;
            continue;
        }
        name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(ch))) : ch;
        upper = false;
    }
    return name;
}

void WriteProperties(std::ostream& out, std::string_view options) {
    if (options.empty()) return;
    out << "    <properties>\n      <property name=\"options\" value=\"" << Xml(options)
        << "\"/>\n    </properties>\n";
}

}  // namespace

void WriteDifferencesJunit(std::ostream& out, const std::string& object1, const std::string& object2,
                           const coDifferences& differences, std::string_view options) {
    const long total = differences.Count();
    const std::string suitesName = Xml("tablor " + object1 + " / " + object2);
    const long tests = total == 0 ? 1 : total;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" << suitesName << "\" tests=\""
        << tests << "\" failures=\"" << total << "\" errors=\"0\">\n";
    if (total == 0) {
        out << "  <testsuite name=\"structure\" tests=\"1\" failures=\"0\" errors=\"0\">\n";
        WriteProperties(out, options);
        out << "    <testcase classname=\"tablor.Structure\" name=\""
            << Xml(object1 + " and " + object2 + " have the same structure") << "\"/>\n  </testsuite>\n";
    }
    const KindCounts counts = CountByKind(differences);
    std::string record;
    for (std::size_t kind = 0; kind < counts.size() && out; ++kind) {
        if (counts[kind] == 0) continue;
        const std::string_view word = KindWord(static_cast<int>(kind));
        const std::string className = ClassName(word);
        out << "  <testsuite name=\"" << word << "\" tests=\"" << counts[kind] << "\" failures=\""
            << counts[kind] << "\" errors=\"0\">\n";
        WriteProperties(out, options);
        for (const auto& d : differences) {
            if (static_cast<std::size_t>(d->ObjectType) != kind) continue;
            if (!out) return;
            const DifferenceRow row = DifferenceRow::From(*d);
            const std::string name = row.cells[3].empty() ? row.cells[0] : row.cells[3] + "." + row.cells[0];
            const std::string message = Xml(row.cells[4]);
            record.assign("    <testcase classname=\"").append(className).append("\" name=\"");
            record.append(Xml(name)).append("\">\n      <failure message=\"").append(message);
            record.append("\" type=\"").append(word).append("\">").append(message);
            record.append("</failure>\n    </testcase>\n");
            out.write(record.data(), static_cast<std::streamsize>(record.size()));
        }
        out << "  </testsuite>\n";
    }
    out << "</testsuites>\n";
}

}  // namespace tablor::cli

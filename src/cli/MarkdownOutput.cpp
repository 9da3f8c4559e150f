#include "cli/MarkdownOutput.hpp"

#include <array>
#include <cctype>
#include <ostream>

#include "cli/DifferenceOutput.hpp"
#include "model/ObjectType.hpp"
#include "report/DifferenceRow.hpp"

namespace tablor::cli {
namespace {

// By kind code, up to the kinds read with definitions: the singular, then the plural.
constexpr std::array<std::array<std::string_view, 2>, 11> kKindNouns = {
    {{"table", "tables"},
     {"column", "columns"},
     {"view", "views"},
     {"procedure", "procedures"},
     {"function", "functions"},
     {"constraint", "constraints"},
     {"changed column", "changed columns"},
     {"index", "indexes"},
     {"trigger", "triggers"},
     {"sequence", "sequences"},
     {"type", "types"}}};

std::string Counted(long count, const std::array<std::string_view, 2>& nouns) {
    return std::to_string(count) + " " + std::string(nouns[count == 1 ? 0 : 1]);
}

// "2 views", "1 changed view": a changed element is counted apart from the missing ones.
std::string CountedKind(long count, std::size_t kind) {
    const bool changed = ObjectType::IsChange(static_cast<std::int32_t>(kind));
    const std::size_t noun = changed ? kind - ObjectType::kChanged : kind;
    if (noun >= kKindNouns.size()) return Counted(count, {"difference", "differences"});
    std::string counted = Counted(count, kKindNouns[noun]);
    if (!changed) return counted;
    const std::size_t space = counted.find(' ');
    return counted.substr(0, space + 1) + "changed" + counted.substr(space);
}

}  // namespace

std::string MarkdownCell(std::string_view text) {
    const std::string visible = VisibleText(text);
    std::string out;
    out.reserve(visible.size() + 8);
    for (const char ch : visible) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '<')
            out += "&lt;";
        else if (ch == '>')
            out += "&gt;";
        else if (ch == '&')
            out += "&amp;";
        // Every punctuation mark, ':' and '.' included, so that no emphasis, code, cell break or
        // web link can start. GitHub finds e-mail addresses in the text as read, escapes undone,
        // so an empty comment (shown as nothing) parts every '@' from what follows.
        else if (ch == '@')
            out += "\\@<!---->";
        else if (byte < 0x80 && std::ispunct(byte) != 0)
            (out += '\\') += ch;
        else
            out += ch;
    }
    return out;
}

void WriteDifferencesMarkdown(std::ostream& out, const coDifferences& differences,
                              std::string_view optionsLine) {
    const long total = differences.Count();
    if (total == 0) {
        out << "No differences.\n";
    } else {
        out << "**" << Counted(total, {"difference", "differences"}) << "**:";
        const KindCounts counts = CountByKind(differences);
        const char* separator = " ";
        for (std::size_t kind = 0; kind < counts.size(); ++kind) {
            if (counts[kind] == 0) continue;
            out << separator << CountedKind(counts[kind], kind);
            separator = ", ";
        }
        out << "\n\n|";
        for (const auto header : DifferenceRow::kHeaders) out << ' ' << header << " |";
        out << "\n|";
        for (std::size_t c = 0; c < DifferenceRow::kHeaders.size(); ++c) out << " --- |";
        out << '\n';
        std::string line;
        for (const auto& d : differences) {
            if (!out) return;
            const DifferenceRow row = DifferenceRow::From(*d);
            line = "|";
            for (const auto& cell : row.cells) line += " " + MarkdownCell(cell) + " |";
            line += '\n';
            out.write(line.data(), static_cast<std::streamsize>(line.size()));
        }
    }
    if (!optionsLine.empty()) out << '\n' << MarkdownCell(optionsLine) << '\n';
}

}  // namespace tablor::cli

#include "report/HtmlReport.hpp"

#include <ctime>

#include "report/LineDiff.hpp"
#include "support/MarkupEscape.hpp"

namespace tablor {
namespace {

struct Placeholder {
    std::string_view name;
    std::string value;
};

// One pass, so that a name holding a placeholder is never filled in itself.
std::string FillPlaceholders(std::string_view text, const std::vector<Placeholder>& placeholders) {
    std::string out;
    out.reserve(text.size() + 64);
    std::size_t from = 0;
    for (std::size_t at = text.find('['); at != std::string_view::npos; at = text.find('[', at)) {
        const Placeholder* match = nullptr;
        for (const auto& placeholder : placeholders)
            if (text.substr(at, placeholder.name.size()) == placeholder.name) match = &placeholder;
        if (match == nullptr) {
            ++at;
            continue;
        }
        out.append(text, from, at - from);
        out += match->value;
        at += match->name.size();
        from = at;
    }
    out.append(text, from, std::string_view::npos);
    return out;
}

// A body's lines under its message: removed lines as <del>, added ones as <ins>, so that a
// template without the shipped styles still marks them, each opened by "-", "+" or a blank.
void AppendBodies(std::string& out, const DifferenceRow& row) {
    out += "<pre class=\"diff\">";
    for (const DiffLine& line : DiffLines(row.value1, row.value2)) {
        const char* open = line.side == DiffLine::Side::First    ? "<del>- "
                           : line.side == DiffLine::Side::Second ? "<ins>+ "
                                                                 : "<span>  ";
        const char* close = line.side == DiffLine::Side::First    ? "</del>"
                            : line.side == DiffLine::Side::Second ? "</ins>"
                                                                  : "</span>";
        // The line end inside the line's element: a template that shows lines as blocks gets no
        // empty line between them.
        out += open;
        AppendEscapedMarkup(out, line.text);
        out += "\r\n";
        out += close;
    }
    out += "</pre>";
}

void AppendRow(std::string& out, const DifferenceRow& row) {
    out += "<tr>\r\n";
    for (std::size_t c = 0; c < row.cells.size(); ++c) {
        out += "<td>";
        AppendEscapedMarkup(out, row.cells[c]);
        // A short value's message holds both values already.
        if (c + 1 == row.cells.size() && row.hasValues && (IsBodyText(row.value1) || IsBodyText(row.value2)))
            AppendBodies(out, row);
        out += "&nbsp;</td>\r\n";
    }
    out += "</tr>\r\n";
}

void AppendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + (value / 10) % 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

ReportDate ReportDate::Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string FormatReportDate(const ReportDate& date, char separator) {
    std::string out;
    AppendTwoDigits(out, date.month);
    out += separator;
    AppendTwoDigits(out, date.day);
    out += separator;
    out += std::to_string(date.year);
    return out;
}

std::string EscapeHtml(std::string_view text) {
    return EscapeMarkup(text);
}

namespace {

// The page around the rows; `rowAt(i)` gives row i, as a reference or a value.
template <class RowAt>
std::string Render(std::string_view templateText, std::string_view object1Name, std::string_view object2Name,
                   const ReportDate& date, std::size_t rowCount, const RowAt& rowAt,
                   std::string_view optionsText, std::string_view readInPartNote) {
    // Template lines end at CR or CR LF; a lone LF stays inside its line.
    std::string document;
    document.reserve(templateText.size() + 64);
    while (!templateText.empty()) {
        const std::size_t cr = templateText.find('\r');
        document.append(templateText.substr(0, cr));
        document += "\r\n";
        if (cr == std::string_view::npos) break;
        templateText.remove_prefix(cr + 1);
        if (!templateText.empty() && templateText.front() == '\n') templateText.remove_prefix(1);
    }

    document = FillPlaceholders(document, {{"[object1name]", EscapeHtml(object1Name)},
                                           {"[object2name]", EscapeHtml(object2Name)},
                                           {"[currentdate]", FormatReportDate(date)}});

    // Rows are asked for twice, once to measure, so that a long list is held once, in the page.
    std::size_t rowBytes = 0;
    for (std::size_t i = 0; i < rowCount; ++i) {
        const auto& row = rowAt(i);
        for (const auto& cell : row.cells) rowBytes += cell.size() + 20;
        if (row.hasValues) rowBytes += row.value1.size() + row.value2.size() + 64;
    }
    document.reserve(document.size() + rowBytes + 256 + object1Name.size() * 6 + object2Name.size() * 6);
    if (!readInPartNote.empty()) {
        document += "<tr>\r\n<td colspan=\"5\" class=\"read-in-part\">";
        AppendEscapedMarkup(document, readInPartNote);
        document += "</td>\r\n</tr>\r\n";
    }
    if (!optionsText.empty()) {
        document += "<tr>\r\n<td colspan=\"5\" class=\"options\">Compared with ";
        AppendEscapedMarkup(document, optionsText);
        document += "</td>\r\n</tr>\r\n";
    }
    for (std::size_t i = 0; i < rowCount; ++i) AppendRow(document, rowAt(i));
    if (rowCount == 0) {
        // An empty table would look like a failed report.
        document += "<tr>\r\n<td colspan=\"5\">No differences were found between ";
        AppendEscapedMarkup(document, object1Name);
        document += " and ";
        AppendEscapedMarkup(document, object2Name);
        document += ".</td>\r\n</tr>\r\n";
    }
    document += "<tr>\r\n</table>\r\n</div>\r\n</body>\r\n</html>\r\n";
    // The page is written followed by one more line end.
    document += "\r\n";
    return document;
}

}  // namespace

std::string RenderHtmlReport(std::string_view templateText, std::string_view object1Name,
                             std::string_view object2Name, const ReportDate& date,
                             const std::vector<DifferenceRow>& rows, std::string_view optionsText,
                             std::string_view readInPartNote) {
    return Render(
        templateText, object1Name, object2Name, date, rows.size(),
        [&rows](std::size_t index) -> const DifferenceRow& { return rows[index]; }, optionsText,
        readInPartNote);
}

std::string RenderHtmlReport(std::string_view templateText, std::string_view object1Name,
                             std::string_view object2Name, const ReportDate& date, std::size_t rowCount,
                             const std::function<DifferenceRow(std::size_t)>& rowAt,
                             std::string_view optionsText, std::string_view readInPartNote) {
    return Render(templateText, object1Name, object2Name, date, rowCount, rowAt, optionsText, readInPartNote);
}

}  // namespace tablor

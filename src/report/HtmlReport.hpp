#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "report/DifferenceRow.hpp"

namespace tablor {

struct ReportDate {
    int year = 0;
    int month = 0;
    int day = 0;
    static ReportDate Today();  // the local date
};

// "mm/dd/yyyy": month first, whatever the user's regional order.
std::string FormatReportDate(const ReportDate& date, char separator = '/');

// Escapes &, <, >, " and ' so that names show as text in a browser.
std::string EscapeHtml(std::string_view text);

// Builds the report page: the template's lines with the placeholders [object1name],
// [object2name] and [currentdate] filled in (in one pass: a value that spells a placeholder
// stays as it is), one table row per difference (or, with none, one row saying so), then the
// closing tags. Every line ends with CR LF and the page ends with one empty line. Values and
// cells are escaped, because object names are data and must not run as markup.
std::string RenderHtmlReport(std::string_view templateText, std::string_view object1Name,
                             std::string_view object2Name, const ReportDate& date,
                             const std::vector<DifferenceRow>& rows, std::string_view optionsText = {},
                             std::string_view readInPartNote = {});
// The same page from rows made on demand (each is asked for twice), so that a long list of
// differences is not held as texts beside the page. A comparison made with options names them
// (`optionsText`) in a first row of the table, so that a filtered report says so; a note that a
// side was read only in part (`readInPartNote`) comes before it.
std::string RenderHtmlReport(std::string_view templateText, std::string_view object1Name,
                             std::string_view object2Name, const ReportDate& date, std::size_t rowCount,
                             const std::function<DifferenceRow(std::size_t)>& rowAt,
                             std::string_view optionsText = {}, std::string_view readInPartNote = {});

}  // namespace tablor

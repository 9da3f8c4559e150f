// Renders a report from an arbitrary template, names and rows; the page must close its
// table and document, and no cell may open markup of its own.
#include <cstdlib>

#include "FuzzInput.hpp"
#include "report/HtmlReport.hpp"

using namespace tablor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string templateText = input.Text();
    const std::string name1 = input.Text();
    const std::string name2 = input.Text();
    std::vector<DifferenceRow> rows;
    while (!input.Empty() && rows.size() < 64) {
        DifferenceRow row;
        for (auto& cell : row.cells) cell = input.Text();
        rows.push_back(std::move(row));
    }
    const ReportDate date{2000 + input.Byte() % 100, 1 + input.Byte() % 12, 1 + input.Byte() % 31};
    const std::string page = RenderHtmlReport(templateText, name1, name2, date, rows);

    static const std::string kClosing = "<tr>\r\n</table>\r\n</div>\r\n</body>\r\n</html>\r\n\r\n";
    if (page.size() < kClosing.size() ||
        page.compare(page.size() - kClosing.size(), kClosing.size(), kClosing) != 0)
        std::abort();
    // After the template, every line is a tag line or a cell; a cell's text holds no '<'.
    std::size_t rowStart = page.size() - kClosing.size();
    for (const auto& row : rows)
        for (const auto& cell : row.cells) rowStart -= EscapeHtml(cell).size() + 17;
    rowStart -= rows.size() * 13;
    std::string_view body = std::string_view(page).substr(rowStart);
    for (const auto& row : rows) {
        if (body.substr(0, 6) != "<tr>\r\n") std::abort();
        body.remove_prefix(6);
        for (const auto& cell : row.cells) {
            const std::string line = "<td>" + EscapeHtml(cell) + "&nbsp;</td>\r\n";
            if (body.substr(0, line.size()) != line) std::abort();
            if (EscapeHtml(cell).find('<') != std::string::npos) std::abort();
            body.remove_prefix(line.size());
        }
        if (body.substr(0, 7) != "</tr>\r\n") std::abort();
        body.remove_prefix(7);
    }
    return 0;
}

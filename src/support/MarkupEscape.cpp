#include "support/MarkupEscape.hpp"

namespace tablor {

void AppendEscapedMarkup(std::string& out, std::string_view text) {
    for (const char ch : text) {
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += ch;
        }
    }
}

std::string EscapeMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendEscapedMarkup(out, text);
    return out;
}

}  // namespace tablor

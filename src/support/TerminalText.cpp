#include "support/TerminalText.hpp"

#include "support/TextEncoding.hpp"

namespace tablor {
namespace {

void AppendHexEscape(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

}  // namespace

void AppendForTerminal(std::string& out, std::string_view text, LineBreaks lineBreaks) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const std::size_t length = Utf8SequenceLength(text, i);
            const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
            if (c1) {
                AppendHexEscape(out, byte);
                AppendHexEscape(out, static_cast<unsigned char>(text[i + 1]));
            } else if (length == 0 && byte < 0xA0) {
                AppendHexEscape(out, byte);
            } else {
                out.append(text, i, length == 0 ? 1 : length);
            }
            i += length == 0 ? 1 : length;
            continue;
        }
        // A kept line break passes through like any printable character; it comes first so
        // the escapes below never see it.
        if (c == '\n' && lineBreaks == LineBreaks::Keep)
            out += c;  // NOLINT(bugprone-branch-clone)
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (byte < 0x20 || byte == 0x7F)
            AppendHexEscape(out, byte);
        else
            out += c;
        ++i;
    }
}

std::string EscapeForTerminal(std::string_view text, LineBreaks lineBreaks) {
    std::string out;
    out.reserve(text.size());
    AppendForTerminal(out, text, lineBreaks);
    return out;
}

}  // namespace tablor

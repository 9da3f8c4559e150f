#include "support/TextCase.hpp"

#include <cstdint>

#include "support/TextEncoding.hpp"

namespace tablor {
namespace {

char32_t FoldCodePoint(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x178) return 0xFF;
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (oddUpper) return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

// Decodes one well-formed UTF-8 sequence at text[i]; returns its length, 0 when malformed.
std::size_t DecodeAt(std::string_view text, std::size_t i, char32_t& out) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        out = b0;
        return 1;
    }
    std::size_t len = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > text.size()) return 0;
    char32_t c = b0 & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    out = c;
    return len;
}

}  // namespace

std::string FoldCase(std::string_view text) {
    std::string out;
    AppendFolded(out, text);
    return out;
}

void AppendFolded(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 < 0x80) {
            out += static_cast<char>(b0 >= 'A' && b0 <= 'Z' ? b0 + 0x20 : b0);
            ++i;
            continue;
        }
        char32_t c = 0;
        const std::size_t len = DecodeAt(text, i, c);
        if (len == 0) {  // not UTF-8: keep the byte as it is
            out += text[i++];
            continue;
        }
        const char32_t folded = FoldCodePoint(c);
        if (folded == c) {
            out.append(text.substr(i, len));
        } else {
            AppendUtf8(out, folded);  // every folded code point is below U+0800
        }
        i += len;
    }
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a == b) return true;
    return FoldCase(a) == FoldCase(b);
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& ch : out) {
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 0x20);
    }
    return out;
}

}  // namespace tablor

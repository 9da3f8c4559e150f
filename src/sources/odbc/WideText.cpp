#include "sources/odbc/WideText.hpp"

#include "support/TextEncoding.hpp"

namespace tablor::odbc {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the UTF-8 sequence at text[i]; advances i. Malformed input gives U+FFFD and skips
// one byte.
char32_t DecodeUtf8(std::string_view text, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, c = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, c = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, c = b0 & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + length > text.size()) {
        ++i;
        return kReplacement;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return c;
}

}  // namespace

std::vector<SQLWCHAR> ToWide(std::string_view utf8) {
    std::vector<SQLWCHAR> out;
    out.reserve(utf8.size() + 1);
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = DecodeUtf8(utf8, i);
        if (c >= 0x10000) {
            const char32_t v = c - 0x10000;
            out.push_back(static_cast<SQLWCHAR>(0xD800 + (v >> 10)));
            out.push_back(static_cast<SQLWCHAR>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<SQLWCHAR>(c));
        }
    }
    out.push_back(0);
    return out;
}

std::string FromWide(const SQLWCHAR* text, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

void Wipe(std::vector<SQLWCHAR>& text) noexcept {
    volatile SQLWCHAR* p = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) p[i] = 0;
}

}  // namespace tablor::odbc

#include <gtest/gtest.h>

#include "support/TextCase.hpp"
#include "support/TextEncoding.hpp"

using namespace tablor;

TEST(TextCase, FoldsCapitalsOfCommonScriptsOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"CustomerID", "customerid"},
        {"ZIP_CODE", "zip_code"},
        {"ÀÉÎÕÜÞ", "àéîõüþ"},
        {"×", "×"},  // a sign, not a letter
        {"ŁĄĆŽŸ", "łąćžÿ"},
        {"Ňň", "ňň"},
        {"İ", "İ"},  // Turkish dotted I: no single small letter
        {"ΑΒΓΩ", "αβγω"},
        {"ДБЁЏ", "дбёџ"},
        {"表名", "表名"},
        {"bad\xFF"
         "byte",
         "bad\xFF"
         "byte"},
    };
    for (const auto& [text, folded] : cases) EXPECT_EQ(FoldCase(text), folded) << text;
    EXPECT_TRUE(EqualsIgnoreCase("Straße", "STRAßE"));
    EXPECT_FALSE(EqualsIgnoreCase("a", "b"));
    EXPECT_EQ(AsciiUpper("azAZ09é"), "AZAZ09é");
}

TEST(TextEncoding, TellsValidUtf8FromWindowsText) {
    using namespace std::string_view_literals;
    const std::pair<std::string_view, bool> cases[] = {
        {"plain ASCII text that is long enough for the fast path", true},
        {"é Ω 表 😀", true},
        {"caf\xE9", false},                         // Windows-1252 é
        {"\xE9 then plain ASCII", false},           // at the start of a long run
        {"\xC0\xAF", false},                        // overlong
        {"\xE0\x82\x80", false},                    // overlong in three bytes
        {"\xED\xA0\x80", false},                    // first surrogate
        {"\xED\xBF\xBF", false},                    // last surrogate
        {"\xF4\x90\x80\x80", false},                // above U+10FFFF
        {"abc\xE2\x82", false},                     // cut short
        {"abc\xE2\x82\xAC"sv.substr(0, 5), false},  // cut short, more beyond
    };
    for (const auto& [bytes, valid] : cases) EXPECT_EQ(IsValidUtf8(bytes), valid) << bytes;
}

TEST(TextEncoding, ReadsWindowsFilesWithoutLosingAByte) {
    EXPECT_EQ(DecodeFileText("caf\xE9 \x80 \x93x\x94"), "café € “x”");
    // Bytes the code page leaves undefined survive as control characters.
    EXPECT_EQ(DecodeFileText("\x81"), "\xC2\x81");
    EXPECT_EQ(DecodeFileText("\x99\xA0\xFF"), "™\u00A0ÿ");
    EXPECT_EQ(DecodeFileText("\xEF\xBB\xBFhello"), "hello");
    EXPECT_EQ(DecodeFileText("Ω"), "Ω");
    EXPECT_EQ(CodePointCount("aΩ表"), 3u);
}

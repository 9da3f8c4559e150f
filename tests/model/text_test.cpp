#include <gtest/gtest.h>

#include "support/TextCase.hpp"
#include "support/TextEncoding.hpp"

using namespace tablor;

TEST(TextCase, FoldsCapitalsOfCommonScriptsOnly) {
    EXPECT_EQ(FoldCase("CustomerID"), "customerid");
    EXPECT_EQ(FoldCase("ÀÉÎÕÜ"), "àéîõü");
    EXPECT_EQ(FoldCase("×"), "×");  // a sign, not a letter
    EXPECT_EQ(FoldCase("ŁĄĆŽŸ"), "łąćžÿ");
    EXPECT_EQ(FoldCase("ΑΒΓ"), "αβγ");
    EXPECT_EQ(FoldCase("ДБЁ"), "дбё");
    EXPECT_EQ(FoldCase("表名"), "表名");
    EXPECT_EQ(FoldCase("bad\xFF"
                       "byte"),
              "bad\xFF"
              "byte");
    EXPECT_TRUE(EqualsIgnoreCase("Straße", "STRAßE"));
    EXPECT_FALSE(EqualsIgnoreCase("a", "b"));
}

TEST(TextEncoding, TellsValidUtf8FromWindowsText) {
    EXPECT_TRUE(IsValidUtf8("plain ASCII text that is long enough for the fast path"));
    EXPECT_TRUE(IsValidUtf8("é Ω 表 😀"));
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));           // Windows-1252 é
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("abc\xE2\x82"));       // cut short
}

TEST(TextEncoding, ReadsWindowsFilesWithoutLosingAByte) {
    EXPECT_EQ(DecodeFileText("caf\xE9 \x80 \x93x\x94"), "café € “x”");
    // Bytes the code page leaves undefined survive as control characters.
    EXPECT_EQ(DecodeFileText("\x81"), "\xC2\x81");
    EXPECT_EQ(DecodeFileText("\xEF\xBB\xBFhello"), "hello");
    EXPECT_EQ(DecodeFileText("Ω"), "Ω");
    EXPECT_EQ(CodePointCount("aΩ表"), 3u);
}

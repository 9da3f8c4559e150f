#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tablor {

// Strict UTF-8 check: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// Converts Windows-1252 bytes to UTF-8. The five bytes that code page leaves undefined
// become the C1 control characters of the same value, as Windows itself converts them,
// so no byte is lost.
std::string Windows1252ToUtf8(std::string_view bytes);

// Text files are UTF-8; a file that is not valid UTF-8 was written on a Windows machine
// and is read as Windows-1252. A UTF-8 byte-order mark is dropped.
// The buffer is reused when the bytes are UTF-8 already.
std::string DecodeFileText(std::string bytes);

// The length of the valid UTF-8 sequence that starts at `at`; 0 when the byte there begins none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// The code point a Windows-1252 byte stands for.
char32_t Windows1252CodePoint(unsigned char byte);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// Number of code points, for aligning columns on a terminal.
std::size_t CodePointCount(std::string_view utf8);

}  // namespace tablor

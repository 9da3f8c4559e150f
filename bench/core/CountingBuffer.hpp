#pragma once
#include <streambuf>

// Counts what would be written without keeping it, so that the output does not count
// towards a memory bench's peak.
class CountingBuffer : public std::streambuf {
  public:
    long long count = 0;

  protected:
    int_type overflow(int_type c) override {
        ++count;
        return c;
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        count += n;
        return n;
    }
};

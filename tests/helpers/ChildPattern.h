// The byte pattern the test child writes for its counted outputs, shared with the tests that check it.
#pragma once

#include <string>

inline char ChildPatternByte(unsigned long long i)
{
    return (i % 64 == 63) ? '\n' : static_cast<char>('a' + i % 26);
}

inline std::string ChildPattern(unsigned long long count, unsigned long long from = 0)
{
    std::string s;
    s.reserve(static_cast<size_t>(count));
    for (unsigned long long i = 0; i < count; ++i)
        s += ChildPatternByte(from + i);
    return s;
}

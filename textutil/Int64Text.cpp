// Int64ToString and StringToInt64.
#include "textutil/Int64Text.h"

#include <cstdlib>

std::wstring Int64ToString(int64_t value)
{
    // Twenty digits always fit the buffer, so the conversion has no failing path.
    wchar_t buffer[48];
    wchar_t* p = buffer + 48;
    *--p = 0;
    uint64_t rest = static_cast<uint64_t>(value);
    do {
        *--p = static_cast<wchar_t>(L'0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    return std::wstring(p);
}

int64_t StringToInt64(const std::wstring& text)
{
    // The runtime's conversion reads only up to the terminating zero, which the
    // string always carries, so it cannot fault on any text.
    return _wcstoi64(text.c_str(), nullptr, 10);
}

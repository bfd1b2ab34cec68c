// Int64ToString and StringToInt64: 64-bit numbers as decimal text and back.
#pragma once

#include <cstdint>
#include <string>

// The value's 64 bits as an unsigned decimal number: -1 gives 18446744073709551615.
std::wstring Int64ToString(int64_t value);

// A signed decimal number as the runtime reads it: leading white space, an optional
// sign, digits up to the first other character; 0 without digits, the nearest
// 64-bit limit beyond the range. The text ends at its first zero character.
int64_t StringToInt64(const std::wstring& text);

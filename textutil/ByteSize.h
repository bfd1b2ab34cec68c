// FormatByteSize: a byte count as short text with a power-of-two unit.
#pragma once

#include <cstdint>
#include <string>

struct TByteUnit
{
    uint64_t divisor;      // 0 on the last row: plain bytes
    uint64_t threshold;    // 0.95 of the divisor, rounded down
    const wchar_t* unit;
};

// Searched from the first row; the first row whose threshold is not above the size wins.
extern const TByteUnit ByteUnitTable[6];

// "971 bytes", "0.94 Kb", "1 Mb", "16383.99 Eb": the fraction is cut to two
// digits, never rounded, and left out when it is zero.
void FormatByteSize(std::wstring& out, uint64_t size);

// FormatByteSize and its unit table.
#include "textutil/ByteSize.h"

// A unit is used from 95 % of its size upward, so 1000 bytes read 0.97 Kb. There is
// no row above 2^50: the largest 64-bit count is 16383.99 Eb, and the whole part
// always fits 32 bits.
const TByteUnit ByteUnitTable[6] = {
    {1125899906842624ULL, 1069604911500492ULL, L"Eb"},
    {1099511627776ULL, 1044536046387ULL, L"Tb"},
    {1073741824ULL, 1020054732ULL, L"Gb"},
    {1048576ULL, 996147ULL, L"Mb"},
    {1024ULL, 972ULL, L"Kb"},
    {0ULL, 0ULL, L"bytes"},
};

void FormatByteSize(std::wstring& out, uint64_t size)
{
    const TByteUnit* row = ByteUnitTable;
    while (row->threshold > size)
        ++row;   // the last row's threshold 0 ends the search
    if (row->divisor == 0) {
        out = std::to_wstring(static_cast<uint32_t>(size)) + L" " + row->unit;
        return;
    }
    const uint32_t whole = static_cast<uint32_t>(size / row->divisor);
    // The remainder is below 2^50, so times 100 stays far inside 64 bits.
    const uint32_t hundredths = static_cast<uint32_t>((size % row->divisor) * 100 / row->divisor);
    out = std::to_wstring(whole);
    if (hundredths != 0) {
        out += L'.';
        out += static_cast<wchar_t>(L'0' + hundredths / 10);
        out += static_cast<wchar_t>(L'0' + hundredths % 10);
    }
    out += L' ';
    out += row->unit;
}

// CompareDateDMY: field-wise ordinal comparison of dd/mm/20yy texts.
#include "textutil/DateText.h"

namespace {

// Only the separators and the century are checked; the digits themselves are not.
bool IsDateDMY(const std::wstring& text)
{
    return text.size() == 10 && text[2] == L'/' && text[5] == L'/' && text[6] == L'2' && text[7] == L'0';
}

// Ordinal comparison of one field; equal widths make digits order as numbers.
int CompareField(const std::wstring& first, const std::wstring& second, size_t pos, size_t count)
{
    const int r = first.compare(pos, count, second, pos, count);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

} // namespace

int CompareDateDMY(const std::wstring& first, const std::wstring& second)
{
    if (!IsDateDMY(first) || !IsDateDMY(second))
        return 0;
    if (const int year = CompareField(first, second, 6, 4))
        return year;
    if (const int month = CompareField(first, second, 3, 2))
        return month;
    return CompareField(first, second, 0, 2);
}

// CompareDateDMY: orders two dates written dd/mm/20yy.
#pragma once

#include <string>

// -1, 0 or 1 by year, then month, then day. A text that is not exactly ten
// characters of the form dd/mm/20yy compares equal to anything.
int CompareDateDMY(const std::wstring& first, const std::wstring& second);

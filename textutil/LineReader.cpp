// TLineReader: line walking, key tests, trimmed values and separated tokens.
#include "textutil/LineReader.h"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace {

// Line positions are 32-bit and a line may reach one past the text's end.
constexpr size_t kMaxTextLength = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 1;

// The system's single-character lower-casing: a pointer whose high word is zero
// carries the character itself.
wchar_t LowerChar(wchar_t ch)
{
    const LPWSTR r = ::CharLowerW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(ch)));
    return static_cast<wchar_t>(LOWORD(reinterpret_cast<ULONG_PTR>(r)));
}

} // namespace

void TLineReader::Reset(std::wstring text)
{
    m_strText = std::move(text);
    // No runner produces anything near this; cutting keeps every position representable.
    if (m_strText.size() > kMaxTextLength)
        m_strText.resize(kMaxTextLength);
    m_nLine = -1;
    m_nStart = 0;
    m_nLength = 0;
}

bool TLineReader::NextLine()
{
    const int64_t length = static_cast<int64_t>(m_strText.size());
    if (length < 1)
        return false;
    int64_t start = static_cast<int64_t>(m_nStart) + m_nLength;
    if (m_nLine >= 0)
        start += 2;   // the CR and the character after it, taken to be the LF
    if (start > length)
        return false;
    // Position length reads as zero, never a CR, so the scan ends by length + 1.
    int64_t end = start;
    while (end <= length && At(end) != L'\r')
        ++end;
    m_nStart = static_cast<int32_t>(start);
    m_nLength = static_cast<int32_t>(end - start);
    ++m_nLine;
    return true;
}

bool TLineReader::StartsWith(const wchar_t* key, int n) const
{
    if (n > m_nLength)
        return false;
    if (n <= 0)
        return true;
    if (key == nullptr)
        return false;
    const int64_t length = static_cast<int64_t>(m_strText.size());
    for (int i = 0; i < n; ++i) {
        const int64_t pos = static_cast<int64_t>(m_nStart) + i;
        // The end of the text is no character, so it matches no key character, not even a zero.
        if (pos >= length)
            return false;
        const wchar_t c = At(pos);
        const wchar_t k = key[i];
        // Only the key is lowered: the tool prints keys as written or in lower case.
        if (c != k && c != LowerChar(k))
            return false;
    }
    return true;
}

bool TLineReader::FindLine(const wchar_t* key, int n, const wchar_t* stopKey, int stopN)
{
    const int32_t line = m_nLine;
    const int32_t start = m_nStart;
    const int32_t length = m_nLength;
    while (NextLine()) {
        // The key is tested first: a line carrying both counts as found.
        if (StartsWith(key, n))
            return true;
        if (stopN >= 1 && StartsWith(stopKey, stopN))
            break;
    }
    m_nLine = line;
    m_nStart = start;
    m_nLength = length;
    return false;
}

void TLineReader::GetValue(std::wstring& out, int column, int maxLength) const
{
    const int64_t lineLength = m_nLength;
    // No parser passes a negative column; reading before the line would take a
    // character of the previous line, so such a column counts as 0.
    int64_t c = column < 0 ? 0 : column;
    if (c >= lineLength)
        c = lineLength - 1;
    int64_t e = lineLength;
    if (maxLength >= 1)
        e = std::min<int64_t>(c + maxLength, lineLength);
    int64_t first = m_nStart + c;
    int64_t last = m_nStart + e - 1;
    while (first < last && At(first) == L' ')
        ++first;
    if (first < last) {
        while (last > first && At(last) == L' ')
            --last;
    }
    // The range may touch the end of the text (taken as nothing) or, on an empty
    // line at the very start, begin before it (taken as position 0).
    const int64_t count = last - first + 1;
    const int64_t from = first < 0 ? 0 : first;
    const int64_t size = static_cast<int64_t>(m_strText.size());
    if (from >= size || count <= 0) {
        out.clear();
        return;
    }
    out.assign(m_strText, static_cast<size_t>(from), static_cast<size_t>(std::min(count, size - from)));
}

void TLineReader::GetToken(std::wstring& out, int& position, wchar_t separator) const
{
    const int p = position;
    // The end marker or a position past the line: nothing more to take. Keeping the
    // marker stops a caller that forgot to test it instead of walking the line again.
    if (p < 0 || p > m_nLength) {
        out.clear();
        position = -1;
        return;
    }
    // Only real characters are searched: the end-of-text position is never a separator.
    const int64_t size = static_cast<int64_t>(m_strText.size());
    const int64_t limit = std::min<int64_t>(m_nLength, size - m_nStart);
    for (int64_t k = p; k < limit; ++k) {
        if (At(m_nStart + k) == separator) {
            if (k == p)
                out.clear();
            else
                GetValue(out, p, static_cast<int>(k - p));
            position = static_cast<int>(k + 1);
            return;
        }
    }
    if (p == m_nLength)
        out.clear();
    else
        GetValue(out, p, m_nLength - p);
    position = -1;
}

// TLineReader on random texts: every operation stays inside the text and every walk ends.
// Built with the standard library's bounds assertions, so any read past the text's
// terminating zero aborts the program.
#include "textutil/LineReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// Character mixes: line ends, zeros and blanks in heavy doses, plus any UTF-16 unit.
const std::vector<std::wstring> kMixes = {
    std::wstring(L"\r\n\r\r\n\nab", 8),
    std::wstring(L"\0\0\r\nx \0", 7),
    std::wstring(L"      \t\r\nk:", 11),
    std::wstring(L"Name : \r\n.,|", 12),
};

std::wstring RandomText(std::mt19937& rng, size_t length)
{
    std::wstring text(length, L' ');
    const unsigned mix = rng() % (kMixes.size() + 1);
    for (auto& c : text) {
        if (mix == kMixes.size())
            c = static_cast<wchar_t>(rng() & 0xFFFF);
        else
            c = kMixes[mix][rng() % kMixes[mix].size()];
    }
    return text;
}

// A text with lines of 100 000 characters between a few line ends.
std::wstring LongLineText(std::mt19937& rng)
{
    std::wstring text;
    for (int i = 0; i < 3; ++i) {
        std::wstring line = RandomText(rng, 100000);
        for (auto& c : line)
            if (c == L'\r')
                c = L'a';
        text += line;
        if (rng() % 2)
            text += L"\r\n";
    }
    return text;
}

int RandomInt(std::mt19937& rng, int lineLength)
{
    switch (rng() % 6) {
    case 0: return -static_cast<int>(rng() % 5) - 1;
    case 1: return 0x7fffffff - static_cast<int>(rng() % 3);
    case 2: return lineLength + static_cast<int>(rng() % 3);
    default: return static_cast<int>(rng() % (lineLength + 2));
    }
}

// The value must be a piece of the text between `column` of the line (one character
// before the line at most) and the line's end.
void CheckValue(const std::wstring& text, const TLineReader& r, const std::wstring& value, int column = -1)
{
    ASSERT_LE(value.size(), static_cast<size_t>(r.Length()) + 1);
    if (value.empty())
        return;
    const int64_t lowest = static_cast<int64_t>(r.Start()) + column;
    const size_t from = lowest > 0 ? static_cast<size_t>(lowest) : 0;
    const size_t found = text.find(value, from);
    ASSERT_NE(std::wstring::npos, found);
    // An empty line opening the text reads its first character.
    ASSERT_LE(found + value.size(), std::max<size_t>(static_cast<size_t>(r.Start()) + r.Length(), 1));
}

void WalkTokens(const std::wstring& text, const TLineReader& r, wchar_t separator)
{
    const int64_t real = std::min<int64_t>(r.Length(), static_cast<int64_t>(text.size()) - r.Start());
    int64_t separators = 0;
    for (int64_t k = 0; k < real; ++k)
        separators += text[static_cast<size_t>(r.Start() + k)] == separator;
    int pos = 0;
    int64_t calls = 0;
    std::wstring token;
    while (pos != -1) {
        const int before = pos;
        r.GetToken(token, pos, separator);
        ASSERT_NO_FATAL_FAILURE(CheckValue(text, r, token, before));
        ASSERT_EQ(std::wstring::npos, token.find(separator)) << "token holds its separator";
        ASSERT_TRUE(pos == -1 || pos > before) << "token position went back";
        ASSERT_LE(++calls, separators + 1) << "token walk does not end";
    }
    ASSERT_EQ(separators + 1, calls);
}

void Exercise(const std::wstring& text, std::mt19937& rng)
{
    const size_t size = text.size();
    TLineReader r(text);
    std::wstring out;
    int64_t lines = 0;
    int64_t lastEnd = -1;
    while (r.NextLine()) {
        ASSERT_LE(++lines, static_cast<int64_t>(size) + 1) << "NextLine does not end";
        ASSERT_EQ(lines - 1, r.Line());
        ASSERT_GE(r.Start(), 0);
        ASSERT_GT(r.Start(), lastEnd);
        ASSERT_LE(static_cast<int64_t>(r.Start()) + r.Length(), static_cast<int64_t>(size) + 1);
        lastEnd = static_cast<int64_t>(r.Start()) + r.Length() - 1;

        // Keys taken from the line itself (so some match), random keys, and the null key.
        const int take = RandomInt(rng, r.Length());
        const size_t keyFrom = static_cast<size_t>(r.Start());
        std::wstring key = keyFrom < size ? text.substr(keyFrom, take > 0 ? static_cast<size_t>(take) : 0) : L"";
        key.resize(key.size() + rng() % 3, static_cast<wchar_t>(rng() % 3 == 0 ? 0 : L'a'));
        r.StartsWith(key.c_str(), static_cast<int>(key.size()));
        const std::wstring own = text.substr(keyFrom < size ? keyFrom : size,
                                             static_cast<size_t>(std::min<int64_t>(r.Length(), 4)));
        if (own.size() == static_cast<size_t>(std::min(r.Length(), 4))) {
            ASSERT_TRUE(r.StartsWith(own.c_str(), static_cast<int>(own.size())));
        }
        r.StartsWith(nullptr, RandomInt(rng, r.Length()));

        for (int i = 0; i < 3; ++i) {
            r.GetValue(out, RandomInt(rng, r.Length()), RandomInt(rng, r.Length()));
            ASSERT_NO_FATAL_FAILURE(CheckValue(text, r, out));
        }
        const wchar_t separators[] = {L'.', L' ', L'\0', L'\n', L'|', L':'};
        ASSERT_NO_FATAL_FAILURE(WalkTokens(text, r, separators[rng() % 6]));
        // Positions outside the contract take nothing and end the walk.
        int pos = RandomInt(rng, r.Length());
        r.GetToken(out, pos, L'.');
        ASSERT_NO_FATAL_FAILURE(CheckValue(text, r, out));
        ASSERT_GE(pos, -1);
    }
    ASSERT_FALSE(r.NextLine());

    // Searches: each success moves forward, each failure leaves the reader still.
    TLineReader s(text);
    const std::wstring keys[] = {L"N", L"Name : ", L"\n", L"a", L" "};
    int64_t found = 0;
    for (;;) {
        const int32_t line = s.Line(), start = s.Start(), length = s.Length();
        const std::wstring& key = keys[rng() % 5];
        const std::wstring& stop = keys[rng() % 5];
        const int stopN = rng() % 3 == 0 ? 0 : static_cast<int>(stop.size());
        if (!s.FindLine(key.c_str(), static_cast<int>(key.size()), stop.c_str(), stopN)) {
            ASSERT_EQ(line, s.Line());
            ASSERT_EQ(start, s.Start());
            ASSERT_EQ(length, s.Length());
            if (!s.NextLine())
                break;
            continue;
        }
        ASSERT_GT(s.Line(), line);
        ASSERT_TRUE(s.StartsWith(key.c_str(), static_cast<int>(key.size())));
        ASSERT_LE(++found, lines) << "FindLine does not end";
    }
}

} // namespace

TEST(LineReaderRobustness, RandomTextsStayInsideAndEnd)
{
    std::mt19937 rng(20240611u);
    for (int i = 0; i < 20000; ++i) {
        const size_t length = (i % 10 == 0) ? rng() % 4 : rng() % 400;
        const std::wstring text = RandomText(rng, length);
        ASSERT_NO_FATAL_FAILURE(Exercise(text, rng)) << "text " << i << ", length " << length;
    }
}

TEST(LineReaderRobustness, HundredThousandCharacterLines)
{
    std::mt19937 rng(977u);
    for (int i = 0; i < 12; ++i) {
        const std::wstring text = LongLineText(rng);
        ASSERT_NO_FATAL_FAILURE(Exercise(text, rng)) << "text " << i;
    }
}

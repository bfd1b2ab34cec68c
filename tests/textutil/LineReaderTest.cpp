// TLineReader: the line rule, key tests, searches, values and tokens on exact texts.
#include "textutil/LineReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct LineSpan
{
    int start;
    int length;
    bool operator==(const LineSpan& o) const { return start == o.start && length == o.length; }
};

std::ostream& operator<<(std::ostream& os, const LineSpan& s)
{
    return os << "{" << s.start << "," << s.length << "}";
}

std::vector<LineSpan> Spans(const std::wstring& text)
{
    TLineReader r(text);
    std::vector<LineSpan> spans;
    while (r.NextLine()) {
        EXPECT_EQ(static_cast<int>(spans.size()), r.Line());
        spans.push_back({r.Start(), r.Length()});
    }
    return spans;
}

std::wstring Value(const TLineReader& r, int column, int maxLength)
{
    std::wstring out = L"stale";
    r.GetValue(out, column, maxLength);
    return out;
}

// Reader standing on line number `line` of text.
TLineReader On(const std::wstring& text, int line)
{
    TLineReader r(text);
    for (int i = 0; i <= line; ++i)
        EXPECT_TRUE(r.NextLine());
    return r;
}

struct Token
{
    std::wstring text;
    int position;
    bool operator==(const Token& o) const { return text == o.text && position == o.position; }
};

std::ostream& operator<<(std::ostream& os, const Token& t)
{
    os << "'";
    for (wchar_t c : t.text)
        os << static_cast<char>(c);
    return os << "'@" << t.position;
}

std::vector<Token> Tokens(const TLineReader& r, wchar_t separator)
{
    std::vector<Token> tokens;
    int pos = 0;
    while (pos != -1 && tokens.size() < 100) {
        std::wstring out = L"stale";
        r.GetToken(out, pos, separator);
        tokens.push_back({out, pos});
    }
    return tokens;
}

} // namespace

TEST(LineReaderLines, FreshAndEmptyTextHaveNoLines)
{
    TLineReader fresh;
    EXPECT_EQ(-1, fresh.Line());
    EXPECT_EQ(0, fresh.Start());
    EXPECT_EQ(0, fresh.Length());
    EXPECT_FALSE(fresh.NextLine());
    EXPECT_FALSE(fresh.FindLine(L"x", 1, nullptr, 0));
    EXPECT_EQ(-1, fresh.Line());

    // A reset drops the old text and the position in it.
    TLineReader r(L"a\r\nb\r\n");
    ASSERT_TRUE(r.NextLine());
    ASSERT_TRUE(r.NextLine());
    r.Reset(L"");
    EXPECT_EQ(-1, r.Line());
    EXPECT_EQ(0, r.Start());
    EXPECT_EQ(0, r.Length());
    EXPECT_FALSE(r.NextLine());
    r.Reset(L"zz");
    ASSERT_TRUE(r.NextLine());
    EXPECT_EQ(0, r.Line());
    EXPECT_EQ((LineSpan{0, 3}), (LineSpan{r.Start(), r.Length()}));
}

TEST(LineReaderLines, CrLfEndedTextHasAFinalLineAtTheEnd)
{
    EXPECT_EQ((std::vector<LineSpan>{{0, 1}, {3, 1}, {6, 1}}), Spans(L"x\r\ny\r\n"));
    TLineReader r = On(L"x\r\ny\r\n", 2);
    EXPECT_EQ(L"", Value(r, 0, 0));
    EXPECT_FALSE(r.NextLine());
    EXPECT_EQ(2, r.Line());   // a failed step leaves the reader on its line
    EXPECT_EQ(6, r.Start());
}

TEST(LineReaderLines, LineWithoutFinalCrReachesTheEndOfText)
{
    EXPECT_EQ((std::vector<LineSpan>{{0, 1}, {3, 2}}), Spans(L"x\r\ny"));
    EXPECT_EQ(L"y", Value(On(L"x\r\ny", 1), 0, 0));
    EXPECT_EQ((std::vector<LineSpan>{{0, 4}}), Spans(L"abc"));
}

TEST(LineReaderLines, CharacterAfterEveryCrIsSkipped)
{
    // After the lone CR the y is taken for the LF: an empty line follows, then z.
    EXPECT_EQ((std::vector<LineSpan>{{0, 1}, {3, 0}, {5, 2}}), Spans(L"x\ry\r\nz"));
    // A lone CR ending the text leaves no room for a further line.
    EXPECT_EQ((std::vector<LineSpan>{{0, 1}}), Spans(L"x\r"));
    // Empty lines, and a text that is only a line end.
    EXPECT_EQ((std::vector<LineSpan>{{0, 0}, {2, 0}, {4, 1}}), Spans(L"\r\n\r\n"));
    EXPECT_EQ((std::vector<LineSpan>{{0, 0}}), Spans(L"\r"));
}

TEST(LineReaderLines, LfOnlyTextIsOneLine)
{
    EXPECT_EQ((std::vector<LineSpan>{{0, 8}}), Spans(L"a\nb\nc\nd"));
    EXPECT_EQ(L"a\nb\nc\nd", Value(On(L"a\nb\nc\nd", 0), 0, 0));
}

TEST(LineReaderStartsWith, KeyMatchesAsPrintedOrInLowerCase)
{
    const wchar_t* key = L"State : ";
    EXPECT_TRUE(On(L"State : Installed\r\n", 0).StartsWith(key, 8));
    EXPECT_TRUE(On(L"state : Installed\r\n", 0).StartsWith(key, 8));
    EXPECT_TRUE(On(L"capability Identity : x\r\n", 0).StartsWith(L"Capability Identity : ", 22));
    EXPECT_FALSE(On(L"sTate : x\r\n", 0).StartsWith(key, 8));
    // Capitals in the line never match a lower-case key character.
    EXPECT_FALSE(On(L"STATE : Installed\r\n", 0).StartsWith(key, 8));
    EXPECT_FALSE(On(L"State : x\r\n", 0).StartsWith(L"state : ", 8));
    EXPECT_FALSE(On(L"State ; x\r\n", 0).StartsWith(key, 8));
    // Only n key characters are tested.
    EXPECT_TRUE(On(L"Stab\r\n", 0).StartsWith(key, 3));
}

TEST(LineReaderStartsWith, LineLengthBoundsTheKey)
{
    // Seven characters never hold an eight-character key.
    EXPECT_FALSE(On(L"State :\r\nmore", 0).StartsWith(L"State : ", 8));
    EXPECT_TRUE(On(L"State : \r\n", 0).StartsWith(L"State : ", 8));
    // The last line without a CR counts the end of the text in its length, but
    // that position matches no key character.
    TLineReader last = On(L"a\r\nState :", 1);
    EXPECT_EQ(8, last.Length());
    EXPECT_FALSE(last.StartsWith(L"State : ", 8));
    EXPECT_FALSE(last.StartsWith(L"State :\0", 8));
    EXPECT_TRUE(last.StartsWith(L"State :", 7));
    // n of 0 or less matches any line, even an empty one; null keys match nothing else.
    TLineReader empty = On(L"\r\nx", 0);
    EXPECT_TRUE(empty.StartsWith(L"abc", 0));
    EXPECT_TRUE(empty.StartsWith(nullptr, -3));
    EXPECT_FALSE(empty.StartsWith(L"a", 1));
    EXPECT_FALSE(On(L"abc\r\n", 0).StartsWith(nullptr, 1));
}

TEST(LineReaderFindLine, SearchStartsAfterTheCurrentLine)
{
    const std::wstring text = L"Name : a\r\nState : on\r\nName : b\r\nState : off\r\n";
    TLineReader r(text);
    // A fresh reader searches from the first line.
    ASSERT_TRUE(r.FindLine(L"Name : ", 7, nullptr, 0));
    EXPECT_EQ(0, r.Line());
    // The current line is never tested, so the same key finds the next record.
    ASSERT_TRUE(r.FindLine(L"Name : ", 7, nullptr, 0));
    EXPECT_EQ(2, r.Line());
    ASSERT_TRUE(r.FindLine(L"State : ", 8, nullptr, 0));
    EXPECT_EQ(3, r.Line());
    EXPECT_EQ(L"off", Value(r, 8, 0));
    // Found keys move forward only: "Name" lies behind now.
    EXPECT_FALSE(r.FindLine(L"Name : ", 7, nullptr, 0));
    EXPECT_EQ(3, r.Line());
    EXPECT_EQ(32, r.Start());
    EXPECT_EQ(11, r.Length());
}

TEST(LineReaderFindLine, FailureRestoresTheReader)
{
    TLineReader r(L"a\r\nb\r\nc");
    ASSERT_TRUE(r.FindLine(L"c", 1, nullptr, 0));
    EXPECT_EQ(2, r.Line());
    EXPECT_FALSE(r.FindLine(L"c", 1, nullptr, 0));
    EXPECT_EQ(2, r.Line());
    EXPECT_EQ(6, r.Start());
    EXPECT_EQ(2, r.Length());
    // A key that is absent leaves the next search where it was.
    TLineReader s(L"k1\r\nk2\r\nk3\r\n");
    ASSERT_TRUE(s.FindLine(L"k1", 2, nullptr, 0));
    EXPECT_FALSE(s.FindLine(L"zz", 2, nullptr, 0));
    EXPECT_EQ(0, s.Line());
    ASSERT_TRUE(s.FindLine(L"k2", 2, nullptr, 0));
    EXPECT_EQ(1, s.Line());
}

TEST(LineReaderFindLine, StopKeyEndsTheSearchAtTheNextRecord)
{
    const wchar_t* stop = L"DisplayName  : ";
    const std::wstring text =
        L"DisplayName  : one\r\nVersion : 1\r\nDisplayName  : two\r\nPublisher : p\r\n";
    TLineReader r(text);
    ASSERT_TRUE(r.NextLine());
    // Publisher lies beyond the next record: the search stops there and restores.
    EXPECT_FALSE(r.FindLine(L"Publisher : ", 12, stop, 15));
    EXPECT_EQ(0, r.Line());
    EXPECT_EQ(0, r.Start());
    EXPECT_EQ(18, r.Length());
    // A key before the stop line is found.
    ASSERT_TRUE(r.FindLine(L"Version : ", 10, stop, 15));
    EXPECT_EQ(1, r.Line());
    // Without a stop key (n 0, key null) the search runs to the end.
    ASSERT_TRUE(r.FindLine(L"Publisher : ", 12, nullptr, 0));
    EXPECT_EQ(3, r.Line());
    // A line carrying both keys counts as found.
    TLineReader both(L"x\r\nDisplayName  : z\r\n");
    ASSERT_TRUE(both.NextLine());
    EXPECT_TRUE(both.FindLine(L"Display", 7, stop, 15));
    EXPECT_EQ(1, both.Line());
    // A stop key with a null pointer stops nothing.
    TLineReader nullStop(L"aaaaaa\r\nbbbbbb\r\ncccccc\r\n");
    EXPECT_TRUE(nullStop.FindLine(L"ccc", 3, nullptr, 5));
    EXPECT_EQ(2, nullStop.Line());
}

TEST(LineReaderGetValue, TrimsBlanksWithinColumnAndCap)
{
    EXPECT_EQ(L"abc", Value(On(L"Key:   abc  \r\n", 0), 4, 0));
    EXPECT_EQ(L"bcd", Value(On(L"abcdef\r\n", 0), 1, 3));
    EXPECT_EQ(L"a b", Value(On(L"  a b  \r\n", 0), 0, 0));
    // A huge cap is no cap; it must not wrap round.
    EXPECT_EQ(L"cdef", Value(On(L"abcdef\r\n", 0), 2, 0x7fffffff));
    // Only U+0020 is trimmed.
    EXPECT_EQ(L"\tx\t", Value(On(L" \tx\t \r\n", 0), 0, 0));
    // Fixed columns of a table row.
    TLineReader row = On(L"oem1.inf  Display  \r\n", 0);
    EXPECT_EQ(L"oem1.inf", Value(row, 0, 10));
    EXPECT_EQ(L"Display", Value(row, 10, 0));
    // A no-CR last line: the end of the text is never part of the value.
    EXPECT_EQ(L"Enabled", Value(On(L"a\r\n  Enabled", 1), 0, 0));
}

TEST(LineReaderGetValue, OneCharacterResults)
{
    // A line holding only its key yields the key's last character, a blank.
    EXPECT_EQ(L" ", Value(On(L"State : \r\n", 0), 8, -1));
    EXPECT_EQ(L"f", Value(On(L"abcdef\r\n", 0), 50, 0));
    // A range of blanks yields its last blank.
    EXPECT_EQ(L" ", Value(On(L"ab     \r\n", 0), 2, 0));
    // An empty line yields the character before it: the LF of the previous end,
    // or the first character when the empty line opens the text.
    EXPECT_EQ(L"\n", Value(On(L"a\r\n\r\nb", 1), 0, 0));
    EXPECT_EQ(L"\r", Value(On(L"\r\nb", 0), 0, 0));
    // Before the first line the reader stands on an empty line at position 0.
    TLineReader fresh(L"abc");
    EXPECT_EQ(L"a", Value(fresh, 0, 0));
    EXPECT_EQ(L"", Value(TLineReader(), 0, 0));
    // No parser passes a negative column; it reads from the line's start.
    EXPECT_EQ(L"ab", Value(On(L"x\r\nab\r\n", 1), -5, 0));
}

TEST(LineReaderGetToken, FieldsBetweenSeparators)
{
    EXPECT_EQ((std::vector<Token>{{L"1", 2}, {L"22", 5}, {L"333", 9}, {L"4", -1}}),
              Tokens(On(L"1.22.333.4\r\n", 0), L'.'));
    // The same line without a CR: the last token stops before the end of the text.
    EXPECT_EQ((std::vector<Token>{{L"1", 2}, {L"22", 5}, {L"333", 9}, {L"4", -1}}),
              Tokens(On(L"1.22.333.4", 0), L'.'));
    EXPECT_EQ((std::vector<Token>{{L"x", 2}, {L"", 3}, {L"y", -1}}), Tokens(On(L"x||y\r\n", 0), L'|'));
    EXPECT_EQ((std::vector<Token>{{L"x", 2}, {L" ", 4}, {L"y", -1}}), Tokens(On(L"x| |y\r\n", 0), L'|'));
    EXPECT_EQ((std::vector<Token>{{L"a", 4}, {L"b c", -1}}), Tokens(On(L" a | b c \r\n", 0), L'|'));
}

TEST(LineReaderGetToken, EdgesOfTheLine)
{
    // A separator at the start and at the end gives empty first and last tokens.
    EXPECT_EQ((std::vector<Token>{{L"", 1}, {L"a", 3}, {L"", -1}}), Tokens(On(L",a,\r\n", 0), L','));
    // On a no-CR last line the token after a final separator is empty too.
    EXPECT_EQ((std::vector<Token>{{L"x", 2}, {L"", -1}}), Tokens(On(L"x.", 0), L'.'));
    EXPECT_EQ((std::vector<Token>{{L"", -1}}), Tokens(On(L"\r\n", 0), L','));
    EXPECT_EQ((std::vector<Token>{{L"abc", -1}}), Tokens(On(L"abc\r\n", 0), L','));
    // The end of the text is no separator, not even for a zero separator.
    EXPECT_EQ((std::vector<Token>{{L"abc", -1}}), Tokens(On(L"abc", 0), L'\0'));
    // A call with the end marker or past the line takes nothing and ends the walk.
    TLineReader r = On(L"a.b\r\n", 0);
    std::wstring out = L"stale";
    int pos = -1;
    r.GetToken(out, pos, L'.');
    EXPECT_EQ(L"", out);
    EXPECT_EQ(-1, pos);
    pos = 9;
    out = L"stale";
    r.GetToken(out, pos, L'.');
    EXPECT_EQ(L"", out);
    EXPECT_EQ(-1, pos);
}

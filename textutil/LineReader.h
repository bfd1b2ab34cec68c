// TLineReader: the cursor every tool-output parser walks a captured text with.
#pragma once

#include <cstdint>
#include <string>

// Lines end at CR only; the one character after a CR is skipped unread (normally
// the LF). Position Text().size() exists and reads as the terminating zero, so a
// line that no CR ends has a length one greater than the characters it holds.
// Every read stays within positions 0 to Text().size(), whatever the arguments.
class TLineReader
{
public:
    TLineReader() = default;
    explicit TLineReader(std::wstring text) { Reset(std::move(text)); }

    // Takes a new text and stands before its first line; nothing of the old text survives.
    void Reset(std::wstring text);

    // Moves to the next line; false (and no change) at the end of the text.
    bool NextLine();
    // Whether the current line begins with the first n characters of key; each key
    // character matches itself or its lower-case form in the line. n <= 0: true.
    bool StartsWith(const wchar_t* key, int n) const;
    // Moves to the next line after the current one that begins with key. Stops
    // (false) at a line beginning with stopKey when stopN >= 1, or at the end; a
    // failed search leaves the reader where it was.
    bool FindLine(const wchar_t* key, int n, const wchar_t* stopKey, int stopN);
    // The current line from column, at most maxLength characters (<= 0: no cap),
    // with blanks trimmed on both sides; a range of blanks yields one blank.
    void GetValue(std::wstring& out, int column, int maxLength) const;
    // The trimmed field from position up to the next separator; position moves past
    // the separator, or becomes -1 after the last field of the line.
    void GetToken(std::wstring& out, int& position, wchar_t separator) const;

    const std::wstring& Text() const { return m_strText; }
    int32_t Line() const { return m_nLine; }
    int32_t Start() const { return m_nStart; }
    int32_t Length() const { return m_nLength; }

private:
    // Character at a readable position (0 to size, where size reads as zero).
    wchar_t At(int64_t pos) const { return m_strText[static_cast<size_t>(pos)]; }

    std::wstring m_strText;
    int32_t m_nLine = -1;    // -1 before the first line
    int32_t m_nStart = 0;    // index of the current line's first character
    int32_t m_nLength = 0;   // the ending CR not counted
};

// Names a commit ran nothing for, gathered while it runs and told to the user once it ends.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

// A name read from a tool's output goes unquoted (or quoted, but unescaped) into another tool's
// command line. One that could carry options of its own, or that was cut and so may name some
// other item, is refused: nothing runs for it, and the user learns which names those were in one
// message for the whole commit rather than one box per row.
class TRefusedNames
{
public:
    void Add(const std::wstring& name) { m_names.push_back(name); }
    void Clear() { m_names.clear(); }
    const std::vector<std::wstring>& Names() const { return m_names; }

    // The message: one line per name, quoted, with control characters written out (a name that
    // is a line feed must still be seen). Very long lists end with how many more there were.
    std::wstring Text() const;
    // Shows the message over `owner` when a name was refused, then forgets the names.
    void Report(HWND owner);

private:
    std::vector<std::wstring> m_names;
};

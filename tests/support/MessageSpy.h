// Records texts set on a dialog's controls while a test runs, including texts a window sets
// just before it closes, which a test can no longer read afterwards.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace testsupport {

class TextSpy
{
public:
    explicit TextSpy(int controlId);   // watches WM_SETTEXT to controls with this id on this thread
    ~TextSpy();
    TextSpy(const TextSpy&) = delete;
    TextSpy& operator=(const TextSpy&) = delete;

    const std::vector<std::wstring>& Texts() const { return m_texts; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    int m_id;
    HHOOK m_hook;
    std::vector<std::wstring> m_texts;
};

} // namespace testsupport

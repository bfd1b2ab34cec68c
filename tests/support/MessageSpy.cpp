// Thread hook that notes every text set on one control id.
#include "tests/support/MessageSpy.h"

namespace testsupport {

static TextSpy* g_spy = nullptr;

TextSpy::TextSpy(int controlId) : m_id(controlId)
{
    g_spy = this;
    m_hook = ::SetWindowsHookExW(WH_CALLWNDPROC, Hook, nullptr, ::GetCurrentThreadId());
}

TextSpy::~TextSpy()
{
    ::UnhookWindowsHookEx(m_hook);
    g_spy = nullptr;
}

LRESULT CALLBACK TextSpy::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_spy != nullptr && m->message == WM_SETTEXT && ::GetDlgCtrlID(m->hwnd) == g_spy->m_id &&
        (::GetWindowLongW(m->hwnd, GWL_STYLE) & WS_CHILD))
        g_spy->m_texts.push_back(m->lParam ? reinterpret_cast<const wchar_t*>(m->lParam) : L"");
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace testsupport

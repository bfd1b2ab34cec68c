// Window wrapper methods that need more than one call.
#include "framework/Wnd.h"

std::wstring CWnd::GetWindowText() const
{
    int len = ::GetWindowTextLengthW(m_hWnd);
    if (len <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    int got = ::GetWindowTextW(m_hWnd, &text[0], len + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

bool CWnd::ScreenToClient(RECT* rc) const
{
    POINT pts[2] = {{rc->left, rc->top}, {rc->right, rc->bottom}};
    if (!::ScreenToClient(m_hWnd, &pts[0]) || !::ScreenToClient(m_hWnd, &pts[1]))
        return false;
    rc->left = pts[0].x; rc->top = pts[0].y; rc->right = pts[1].x; rc->bottom = pts[1].y;
    return true;
}

bool CWnd::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return false;
    bool ok = ::DestroyWindow(m_hWnd) != FALSE;
    m_hWnd = nullptr;
    return ok;
}

// Non-owning window wrapper: one HWND, thin methods over the window API.
#pragma once

#include <windows.h>
#include <string>

class CWnd
{
public:
    HWND m_hWnd = nullptr;

    CWnd() = default;
    explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}
    virtual ~CWnd() = default;

    operator HWND() const { return m_hWnd; }

    void Attach(HWND hWnd) { m_hWnd = hWnd; }

    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }

    void SetWindowText(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }
    void SetWindowText(const wchar_t* text) const { ::SetWindowTextW(m_hWnd, text ? text : L""); }
    std::wstring GetWindowText() const;

    bool EnableWindow(bool enable = true) const { return ::EnableWindow(m_hWnd, enable) != FALSE; }
    bool IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }
    bool IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
    bool ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd) != FALSE; }
    bool IsIconic() const { return ::IsIconic(m_hWnd) != FALSE; }
    bool IsWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd) != FALSE; }

    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

    bool GetClientRect(RECT* rc) const { return ::GetClientRect(m_hWnd, rc) != FALSE; }
    bool GetWindowRect(RECT* rc) const { return ::GetWindowRect(m_hWnd, rc) != FALSE; }
    bool MoveWindow(int x, int y, int cx, int cy, bool repaint = true) const
    {
        return ::MoveWindow(m_hWnd, x, y, cx, cy, repaint) != FALSE;
    }
    bool MoveWindow(const RECT& rc, bool repaint = true) const
    {
        return MoveWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, repaint);
    }
    bool ScreenToClient(RECT* rc) const;
    bool Invalidate(bool erase = true) const { return ::InvalidateRect(m_hWnd, nullptr, erase) != FALSE; }
    HWND SetFocus() const { return ::SetFocus(m_hWnd); }

    UINT_PTR SetTimer(UINT_PTR id, UINT ms) const { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    bool KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id) != FALSE; }

    void SetFont(HFONT font, bool redraw = true) const
    {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }

    bool DestroyWindow();
};

// Thread-timer driven actions on modal windows for window tests.
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <deque>
#include <vector>

namespace testsupport {
namespace {

struct Pending
{
    std::wstring caption;
    std::function<void(HWND)> action;
    DWORD deadline;
};

std::deque<Pending> g_pending;
UINT_PTR g_timer = 0;

struct FindData
{
    const std::wstring* prefix;
    bool exact;
    HWND found;
};

BOOL CALLBACK FindOne(HWND hWnd, LPARAM lParam)
{
    FindData* f = reinterpret_cast<FindData*>(lParam);
    if (!::IsWindowVisible(hWnd))
        return TRUE;
    std::wstring text = TextOf(hWnd);
    bool match = f->exact ? text == *f->prefix : text.compare(0, f->prefix->size(), *f->prefix) == 0;
    if (match)
    {
        f->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindByCaption(const std::wstring& caption, bool exact)
{
    FindData f{&caption, exact, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), FindOne, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

BOOL CALLBACK CloseOne(HWND hWnd, LPARAM)
{
    wchar_t cls[32] = {};
    ::GetClassNameW(hWnd, cls, 32);
    if (std::wstring(cls) == L"#32770")
        ::EndDialog(hWnd, IDABORT);
    return TRUE;
}

void StopTimerIfIdle()
{
    if (g_pending.empty() && g_timer != 0)
    {
        ::KillTimer(nullptr, g_timer);
        g_timer = 0;
    }
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_pending.empty())
    {
        StopTimerIfIdle();
        return;
    }
    Pending& next = g_pending.front();
    if (HWND hWnd = FindByCaption(next.caption, false))
    {
        // Taken off the queue first: the action may open a nested modal loop in which the
        // timer keeps serving the next entries.
        std::function<void(HWND)> action = std::move(next.action);
        g_pending.pop_front();
        action(hWnd);
        StopTimerIfIdle();
        return;
    }
    if (static_cast<LONG>(::GetTickCount() - next.deadline) > 0)
    {
        ADD_FAILURE() << "no window captioned \"" << std::string(next.caption.begin(), next.caption.end())
                      << "...\" showed up in time";
        g_pending.clear();
        ::EnumThreadWindows(::GetCurrentThreadId(), CloseOne, 0);
        StopTimerIfIdle();
    }
}

} // namespace

void OnWindow(const std::wstring& captionPrefix, std::function<void(HWND)> action, DWORD timeoutMs)
{
    g_pending.push_back(Pending{captionPrefix, std::move(action), ::GetTickCount() + timeoutMs});
    if (g_timer == 0)
        g_timer = ::SetTimer(nullptr, 0, 50, Tick);
}

void ClearActions()
{
    g_pending.clear();
    StopTimerIfIdle();
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    while (!done())
    {
        if (::GetTickCount() - start > timeoutMs)
            return done();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

bool WaitForResultLine(HWND commandWindow, DWORD timeoutMs)
{
    return PumpUntil([commandWindow] { return ItemText(commandWindow, IDCANCEL).rfind(L"DONE - ", 0) == 0; }, timeoutMs);
}

std::wstring TextOf(HWND hWnd)
{
    int len = ::GetWindowTextLengthW(hWnd);
    std::wstring text(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
    int got = ::GetWindowTextW(hWnd, &text[0], len + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

std::wstring ItemText(HWND dlg, int id)
{
    return TextOf(::GetDlgItem(dlg, id));
}

void Click(HWND dlg, int id)
{
    ::SendMessageW(::GetDlgItem(dlg, id), BM_CLICK, 0, 0);
}

HWND FindThreadWindow(const std::wstring& caption)
{
    return FindByCaption(caption, true);
}

bool SaveWindowBitmap(HWND hWnd, const std::wstring& path)
{
    RECT rc;
    if (!::GetWindowRect(hWnd, &rc))
        return false;
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0)
        return false;
    ::RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    // Drawing reaches the screen a little later than the paint messages end: let it settle.
    PumpUntil([] { return false; }, 400);
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    ::SelectObject(mem, old);

    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    std::vector<BYTE> pixels(stride * static_cast<DWORD>(h));
    ::GetDIBits(mem, bmp, 0, static_cast<UINT>(h), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER bfh = {};
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof(bfh) + sizeof(bih);
    bfh.bfSize = bfh.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = ::WriteFile(f, &bfh, sizeof(bfh), &written, nullptr) && ::WriteFile(f, &bih, sizeof(bih), &written, nullptr) &&
              ::WriteFile(f, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    ::CloseHandle(f);
    return ok;
}

} // namespace testsupport

// The command window watchdog of the window tests: a thread timer that looks at this thread's
// command windows a few times a second.
#include "tests/support/CommandWatchdog.h"
#include "resources/resource.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <string>

namespace testsupport {
namespace {

const wchar_t kCommandCaption[] = L"Executing Command...";

UINT_PTR g_timer = 0;
DWORD g_graceMs = 0;
// Finished command windows and the tick count at which each was first seen finished.
std::map<HWND, DWORD> g_finishedSince;

std::string Utf8(const std::wstring& text)
{
    std::wstring line = text;
    for (wchar_t& c : line)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &out[0], size, nullptr, nullptr);
    return out;
}

BOOL CALLBACK LookAt(HWND wnd, LPARAM now)
{
    if (!::IsWindowVisible(wnd) || TextOf(wnd) != kCommandCaption)
        return TRUE;
    const std::wstring result = ItemText(wnd, IDCANCEL);
    if (result.rfind(L"DONE - ", 0) != 0)
        return TRUE;
    const auto seen = g_finishedSince.find(wnd);
    if (seen == g_finishedSince.end())
    {
        g_finishedSince[wnd] = static_cast<DWORD>(now);
        return TRUE;
    }
    if (static_cast<DWORD>(now) - seen->second < g_graceMs)
        return TRUE;
    g_finishedSince.erase(seen);
    ADD_FAILURE() << "unexpected command window left open, closed by the watchdog: " << Utf8(ItemText(wnd, IDC_EDIT_COMMAND))
                  << " (" << Utf8(result) << ")";
    ::EndDialog(wnd, IDCANCEL);
    return TRUE;
}

void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD)
{
    // Windows that closed or went away are forgotten; a handle may come back for a new window.
    for (auto it = g_finishedSince.begin(); it != g_finishedSince.end();)
        it = ::IsWindow(it->first) && ::IsWindowVisible(it->first) ? std::next(it) : g_finishedSince.erase(it);
    ::EnumThreadWindows(::GetCurrentThreadId(), LookAt, static_cast<LPARAM>(::GetTickCount()));
}

} // namespace

void StartCommandWatchdog(DWORD graceMs)
{
    g_graceMs = graceMs;
    if (g_timer == 0)
        g_timer = ::SetTimer(nullptr, 0, 250, Watch);
}

void StopCommandWatchdog()
{
    if (g_timer != 0)
        ::KillTimer(nullptr, g_timer);
    g_timer = 0;
    g_finishedSince.clear();
}

} // namespace testsupport

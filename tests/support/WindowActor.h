// Acting on modal windows from inside a test: the test queues what to do with a window that
// is about to open, then makes the call that runs the window's modal loop. A thread timer
// finds the window by its caption and runs the action; a window that does not show up in
// time fails the test and every window of the thread is closed, so nothing hangs.
#pragma once

#include <windows.h>
#include <functional>
#include <string>

namespace testsupport {

// Runs `action` on the first visible top-level window of this thread whose caption starts
// with `captionPrefix`. Actions run in the order they were queued, one per window.
void OnWindow(const std::wstring& captionPrefix, std::function<void(HWND)> action, DWORD timeoutMs = 15000);

// Ends a modal dialog when an action leaves, also when a failed assertion leaves it early.
// A dialog the action already ended (EndDialog hides it at once) keeps its own result.
struct EndDialogOnExit
{
    HWND dlg;
    INT_PTR code;
    ~EndDialogOnExit()
    {
        if (::IsWindow(dlg) && ::IsWindowVisible(dlg))
            ::EndDialog(dlg, code);
    }
};

// Pumps this thread's messages until `done` is true or the time is out; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Pumps until a command window's close button shows its result line ("DONE - ..."); returns
// whether it did in time.
bool WaitForResultLine(HWND commandWindow, DWORD timeoutMs = 15000);

// Drops pending actions (after a test ends early).
void ClearActions();

// Text of a window or control.
std::wstring TextOf(HWND hWnd);
// Text of a dialog's control.
std::wstring ItemText(HWND dlg, int id);
// Clicks a button the way a user's click arrives (BM_CLICK).
void Click(HWND dlg, int id);
// Top-level visible window of this thread with exactly that caption, or null.
HWND FindThreadWindow(const std::wstring& caption);
// Saves the window's image as a PNG-ready 24-bit BMP next to the test program's build folder.
bool SaveWindowBitmap(HWND hWnd, const std::wstring& path);

} // namespace testsupport

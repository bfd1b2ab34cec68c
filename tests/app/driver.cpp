// Drives the real program from outside, as a user would, and checks what it shows.
//   vantrel_driver refusal PROGRAM   - expects only the WOW64 refusal box, then exit code 0
//   vantrel_driver main PROGRAM      - expects the main dialog, closes it with Esc, expects the end
//   vantrel_driver safemode PROGRAM  - walks "Safe Mode" with the keyboard, answers YES, waits for
//                                      the command window's result line, then closes everything
// Prints what it saw and exits 0 when everything matched, 1 otherwise.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>

namespace {

struct Search
{
    DWORD pid;
    const wchar_t* caption;
    bool prefix;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND hWnd, LPARAM lParam)
{
    Search* s = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (pid != s->pid || !::IsWindowVisible(hWnd))
        return TRUE;
    wchar_t text[512] = {};
    ::GetWindowTextW(hWnd, text, 512);
    std::wstring t = text;
    bool match = s->prefix ? t.compare(0, wcslen(s->caption), s->caption) == 0 : t == s->caption;
    if (match)
    {
        s->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindWindowOf(DWORD pid, const wchar_t* caption, bool prefix)
{
    Search s{pid, caption, prefix, nullptr};
    ::EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND WaitWindowOf(HANDLE process, DWORD pid, const wchar_t* caption, bool prefix, DWORD ms)
{
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms)
    {
        if (HWND h = FindWindowOf(pid, caption, prefix))
            return h;
        if (::WaitForSingleObject(process, 100) == WAIT_OBJECT_0)
            return nullptr;
    }
    return nullptr;
}

std::wstring TextOf(HWND h)
{
    wchar_t text[1024] = {};
    ::SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

BOOL CALLBACK FindIcon(HWND child, LPARAM lParam)
{
    LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON && ::SendMessageW(child, STM_GETICON, 0, 0) != 0)
    {
        *reinterpret_cast<bool*>(lParam) = true;
        return FALSE;
    }
    return TRUE;
}

// The box's icon is a static control whose id differs between systems: look for its style.
bool ShowsIcon(HWND box)
{
    bool found = false;
    ::EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&found));
    return found;
}

int g_failures = 0;

void Check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok)
        ++g_failures;
}

bool Start(const std::wstring& program, PROCESS_INFORMATION& pi)
{
    std::wstring cmd = L"\"" + program + L"\" ignored-argument";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (::CreateProcessW(program.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return true;
    std::printf("FAIL: cannot start the program (%lu)\n", ::GetLastError());
    return false;
}

// A key press as the focused control gets it; the dialog manager sees it in the modal loop.
void Key(HWND target, UINT vk)
{
    ::PostMessageW(target, WM_KEYDOWN, vk, 1);
    ::PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
    ::Sleep(150);
}

DWORD Finish(PROCESS_INFORMATION& pi, DWORD ms)
{
    DWORD code = 0xFFFFFFFF;
    if (::WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0)
    {
        ::TerminateProcess(pi.hProcess, 99);
        ::WaitForSingleObject(pi.hProcess, 5000);
        Check(false, "the program ends in time");
    }
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return code;
}

int Refusal(const std::wstring& program)
{
    PROCESS_INFORMATION pi = {};
    if (!Start(program, pi))
        return 1;
    HWND box = WaitWindowOf(pi.hProcess, pi.dwProcessId, L"SysVantrel32", false, 30000);
    Check(box != nullptr, "a box captioned \"SysVantrel32\" appears");
    if (box != nullptr)
    {
        wchar_t cls[64] = {};
        ::GetClassNameW(box, cls, 64);
        Check(std::wstring(cls) == L"#32770", "it is a message box");
        Check(TextOf(::GetDlgItem(box, 0xFFFF)) == L"You need the 64 bits version of this program.",
              "its text is the refusal");
        Check(ShowsIcon(box), "it shows an icon");
        Check(::GetDlgItem(box, IDOK) != nullptr && ::GetDlgItem(box, IDCANCEL) == nullptr &&
                  ::GetDlgItem(box, IDYES) == nullptr,
              "its only button is OK");
        Check(FindWindowOf(pi.dwProcessId, L"Sys_Vantrel32", true) == nullptr, "no main dialog is shown");
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    DWORD code = Finish(pi, 15000);
    Check(code == 0, "the program ends with exit code 0");
    return g_failures ? 1 : 0;
}

int MainDialog(const std::wstring& program)
{
    PROCESS_INFORMATION pi = {};
    if (!Start(program, pi))
        return 1;
    HWND dlg = WaitWindowOf(pi.hProcess, pi.dwProcessId, L"Sys_Vantrel32 - v", true, 30000);
    Check(dlg != nullptr, "the main dialog appears");
    if (dlg != nullptr)
    {
        Check(TextOf(dlg) == L"Sys_Vantrel32 - v1.8.39.0", "its title carries the version");
        Check(FindWindowOf(pi.dwProcessId, L"SysVantrel32", false) == nullptr, "no refusal box");
        HWND list = ::GetDlgItem(dlg, 1000);
        Check(list != nullptr && ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 21, "the task list has 21 rows");
        // Esc reaches the list, which has the focus; the dialog manager turns it into cancel.
        Key(list, VK_ESCAPE);
    }
    // Finish counts a program that is still running after Esc as a failure.
    Finish(pi, 15000);
    return g_failures ? 1 : 0;
}

bool WaitText(HWND wnd, const std::wstring& prefix, DWORD ms)
{
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms)
    {
        if (TextOf(wnd).compare(0, prefix.size(), prefix) == 0)
            return true;
        ::Sleep(100);
    }
    return false;
}

int SafeMode(const std::wstring& program)
{
    PROCESS_INFORMATION pi = {};
    if (!Start(program, pi))
        return 1;
    HWND dlg = WaitWindowOf(pi.hProcess, pi.dwProcessId, L"Sys_Vantrel32 - v", true, 30000);
    Check(dlg != nullptr, "the main dialog appears");
    if (dlg != nullptr)
    {
        // Rows are inserted at the top, so index order is the table backwards; Wine shows no
        // groups, so "Safe Mode" is five rows below the first.
        HWND list = ::GetDlgItem(dlg, 1000);
        Key(list, VK_HOME);
        for (int i = 0; i < 5; ++i)
            Key(list, VK_DOWN);
        HWND start = ::GetDlgItem(dlg, 1002);
        Check(WaitText(::GetDlgItem(dlg, 1001), L" Turns safe mode on or off", 5000), "Safe Mode's description shows");
        Check(WaitText(start, L"Let's Start It!!!", 5000) && ::IsWindowEnabled(start), "the task is available");
        Key(list, VK_RETURN);   // the default button starts the task

        HWND prompt = WaitWindowOf(pi.hProcess, pi.dwProcessId, L"Sys_Vantrel32", false, 15000);
        Check(prompt != nullptr, "the YES/NO prompt appears");
        if (prompt != nullptr)
            ::PostMessageW(prompt, TDM_CLICK_BUTTON, 1000000, 0);

        HWND exec = WaitWindowOf(pi.hProcess, pi.dwProcessId, L"Executing Command...", false, 15000);
        Check(exec != nullptr, "the command window appears");
        if (exec != nullptr)
        {
            HWND cancel = ::GetDlgItem(exec, IDCANCEL);
            Check(WaitText(cancel, L"DONE - (result: 0 - 0)", 15000), "the command ends with exit code 0");
            Check(TextOf(::GetDlgItem(exec, 1002)) == L"The operation completed successfully.\r\n",
                  "its output is shown");
            ::PostMessageW(cancel, BM_CLICK, 0, 0);
            DWORD t = ::GetTickCount();
            while (::IsWindow(exec) && ::IsWindowVisible(exec) && ::GetTickCount() - t < 10000)
                ::Sleep(100);
            Check(!::IsWindowVisible(exec), "the command window closes");
        }
        Key(list, VK_ESCAPE);
    }
    Finish(pi, 15000);
    return g_failures ? 1 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc != 3)
    {
        std::printf("usage: vantrel_driver refusal|main|safemode PROGRAM\n");
        return 2;
    }
    std::wstring mode = argv[1];
    if (mode == L"refusal")
        return Refusal(argv[2]);
    if (mode == L"main")
        return MainDialog(argv[2]);
    if (mode == L"safemode")
        return SafeMode(argv[2]);
    std::printf("unknown mode\n");
    return 2;
}

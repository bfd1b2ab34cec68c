// Task dialog with command links, looked up at run time so the program still starts where
// the common controls of version 6 are missing (callers then fall back to a message box).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>

class CTaskDialog
{
public:
    CTaskDialog(const std::wstring& content, const std::wstring& mainInstruction, const std::wstring& title,
                int commonButtons, int options, const std::wstring& footer = std::wstring());

    static bool IsSupported();

    void AddCommandControl(int id, const std::wstring& caption, bool enabled = true, bool elevationRequired = false);
    void SetMainIcon(PCWSTR icon) { m_mainIcon = icon; }
    // Runs the dialog; the id of the command link or button that closed it, or IDCANCEL.
    INT_PTR DoModal(HWND parent);

    // Tests make the library look as if task dialogs were missing: 1 unsupported, 0 as the system says.
    static void SetUnsupportedForTesting(bool unsupported);

private:
    struct Command
    {
        int id;
        std::wstring caption;
        bool enabled;
        bool elevation;
    };
    static HRESULT CALLBACK Callback(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, LONG_PTR refData);

    std::wstring m_content, m_mainInstruction, m_title, m_footer;
    int m_commonButtons;
    int m_options;
    PCWSTR m_mainIcon = nullptr;
    std::vector<Command> m_commands;
};

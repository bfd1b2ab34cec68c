// The message that lists the names a commit refused to put on a command line.
#include "dialogs/RefusedNames.h"
#include "framework/WinApp.h"

#include <cwchar>

namespace {

// Enough to see what went wrong without a box taller than the screen.
const size_t kMaxListed = 20;

std::wstring Visible(const std::wstring& name)
{
    std::wstring out;
    for (wchar_t c : name)
    {
        if (c < 0x20 || c == 0x7F)
        {
            wchar_t escape[8];
            std::swprintf(escape, 8, L"\\x%02X", static_cast<unsigned>(c));
            out += escape;
        }
        else
            out += c;
    }
    return out;
}

} // namespace

std::wstring TRefusedNames::Text() const
{
    std::wstring text = L"Nothing was run for these names: they cannot be passed safely on a command line.\r\n";
    for (size_t i = 0; i < m_names.size() && i < kMaxListed; ++i)
        text += L"\r\n\"" + Visible(m_names[i]) + L"\"";
    if (m_names.size() > kMaxListed)
        text += L"\r\n... and " + std::to_wstring(m_names.size() - kMaxListed) + L" more";
    return text;
}

void TRefusedNames::Report(HWND owner)
{
    if (m_names.empty())
        return;
    const std::wstring text = Text();
    m_names.clear();
    std::wstring caption;
    if (CWinApp* app = AfxGetApp())
        caption = app->GetAppName();
    ::MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

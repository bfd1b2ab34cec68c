// Task dialog wrapper over TaskDialogIndirect.
#include "framework/TaskDialog.h"

typedef HRESULT(WINAPI* TaskDialogIndirectFn)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

static bool g_forceUnsupported = false;

static TaskDialogIndirectFn LookUpTaskDialog()
{
    if (g_forceUnsupported)
        return nullptr;
    HMODULE comctl = ::GetModuleHandleW(L"comctl32.dll");
    if (comctl == nullptr)
        comctl = ::LoadLibraryW(L"comctl32.dll");
    if (comctl == nullptr)
        return nullptr;
    return reinterpret_cast<TaskDialogIndirectFn>(
        reinterpret_cast<void*>(::GetProcAddress(comctl, "TaskDialogIndirect")));
}

void CTaskDialog::SetUnsupportedForTesting(bool unsupported)
{
    g_forceUnsupported = unsupported;
}

CTaskDialog::CTaskDialog(const std::wstring& content, const std::wstring& mainInstruction, const std::wstring& title,
                         int commonButtons, int options, const std::wstring& footer)
    : m_content(content), m_mainInstruction(mainInstruction), m_title(title), m_footer(footer),
      m_commonButtons(commonButtons), m_options(options)
{
}

bool CTaskDialog::IsSupported()
{
    return LookUpTaskDialog() != nullptr;
}

void CTaskDialog::AddCommandControl(int id, const std::wstring& caption, bool enabled, bool elevationRequired)
{
    m_commands.push_back(Command{id, caption, enabled, elevationRequired});
}

HRESULT CALLBACK CTaskDialog::Callback(HWND hWnd, UINT msg, WPARAM, LPARAM, LONG_PTR refData)
{
    if (msg == TDN_CREATED)
    {
        const CTaskDialog* self = reinterpret_cast<const CTaskDialog*>(refData);
        for (const Command& c : self->m_commands)
        {
            if (!c.enabled)
                ::SendMessageW(hWnd, TDM_ENABLE_BUTTON, static_cast<WPARAM>(c.id), FALSE);
            if (c.elevation)
                ::SendMessageW(hWnd, TDM_SET_BUTTON_ELEVATION_REQUIRED_STATE, static_cast<WPARAM>(c.id), TRUE);
        }
    }
    return S_OK;
}

INT_PTR CTaskDialog::DoModal(HWND parent)
{
    TaskDialogIndirectFn show = LookUpTaskDialog();
    if (show == nullptr)
        return IDCANCEL;

    std::vector<TASKDIALOG_BUTTON> buttons;
    for (const Command& c : m_commands)
        buttons.push_back(TASKDIALOG_BUTTON{c.id, c.caption.c_str()});

    TASKDIALOGCONFIG config = {};
    config.cbSize = sizeof(config);
    config.hwndParent = parent;
    config.hInstance = ::GetModuleHandleW(nullptr);
    config.dwFlags = static_cast<TASKDIALOG_FLAGS>(m_options);
    config.dwCommonButtons = static_cast<TASKDIALOG_COMMON_BUTTON_FLAGS>(m_commonButtons);
    config.pszWindowTitle = m_title.c_str();
    config.pszMainIcon = m_mainIcon;
    config.pszMainInstruction = m_mainInstruction.c_str();
    config.pszContent = m_content.c_str();
    config.cButtons = static_cast<UINT>(buttons.size());
    config.pButtons = buttons.empty() ? nullptr : buttons.data();
    config.pszFooter = m_footer.empty() ? nullptr : m_footer.c_str();
    config.pfCallback = Callback;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(this);

    int pressed = IDCANCEL;
    if (FAILED(show(&config, &pressed, nullptr, nullptr)))
        return IDCANCEL;
    return pressed;
}

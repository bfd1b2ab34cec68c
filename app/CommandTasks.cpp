// The component-store and boot-configuration tasks: one command each in a command window,
// the boot tasks after a YES/NO prompt.
#include "app/Tasks.h"
#include "app/App.h"
#include "app/DlgMain.h"
#include "dialogs/DlgExecute.h"
#include "framework/TaskDialog.h"

#include <memory>

namespace {

const int kLinkYes = 1000000;
const int kLinkNo = 1000001;

// Runs one command in a command window owned by the main dialog; the window is the report.
bool RunInCommandWindow(const std::wstring& program, const std::wstring& commandLine, unsigned flags)
{
    std::unique_ptr<CDlgExecute> dlg(new CDlgExecute(theApp.m_pMainDlg, program, commandLine, flags));
    dlg->DoModal();
    return true;
}

bool RunDism(const wchar_t* commandLine, unsigned flags)
{
    return RunInCommandWindow(theApp.m_strDismPath, commandLine, flags);
}

bool RunBcdedit(const std::wstring& commandLine)
{
    return RunInCommandWindow(theApp.m_strSysDir + L"bcdedit.exe", commandLine, EXEC_HIDE_CONSOLE);
}

struct TPrompt
{
    const wchar_t* mainInstruction;
    const wchar_t* content;
    const wchar_t* const* links;
    const wchar_t* messageBoxText;
};

// Asks YES/NO/Cancel and runs `run` with the answer; false when cancelled.
bool PromptAndRun(const TPrompt& prompt, bool (*run)(bool))
{
    int answer;
    if (CTaskDialog::IsSupported())
    {
        answer = AskTaskChoice(prompt.mainInstruction, prompt.content, prompt.links);
        if (answer == kLinkYes)
            answer = IDYES;
        else if (answer == kLinkNo)
            answer = IDNO;
    }
    else
    {
        answer = AfxMessageBox(prompt.messageBoxText, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    }
    if (answer == IDCANCEL)
        return false;
    return run(answer == IDYES);
}

const wchar_t* const kLegacyBootLinks[2] = {L"YES (enable Legacy Boot Manager)", L"NO (use the standard one)"};
const wchar_t* const kSafeModeLinks[2] = {L"YES (enable Safe Mode)", L"NO (Set/keep the default one)"};
const wchar_t* const kSignatureLinks[2] = {L"YES (turn it OFF)", L"NO (turn it ON)"};

} // namespace

int AskTaskChoice(const wchar_t* mainInstruction, const wchar_t* content, const wchar_t* const links[2])
{
    if (!CTaskDialog::IsSupported())
        return IDCANCEL;
    CTaskDialog dlg(content ? content : L"", mainInstruction ? mainInstruction : L"", theApp.m_pszTitle,
                    TDCBF_CANCEL_BUTTON, TDF_ENABLE_HYPERLINKS | TDF_USE_COMMAND_LINKS, L"");
    dlg.AddCommandControl(kLinkYes, links[0], true, false);
    dlg.AddCommandControl(kLinkNo, links[1], true, false);
    dlg.SetMainIcon(TD_INFORMATION_ICON);
    int pressed = static_cast<int>(dlg.DoModal(::GetActiveWindow()));
    // Some task dialog implementations report a command link by the low 16 bits of its id
    // only, since they keep it as a control id; give the caller the id it added.
    if (pressed == LOWORD(kLinkYes))
        return kLinkYes;
    if (pressed == LOWORD(kLinkNo))
        return kLinkNo;
    return pressed;
}

bool TaskDismCheckHealth()
{
    return RunDism(L"dism /Online /Cleanup-Image /CheckHealth /english", EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR);
}

bool TaskDismScanHealth()
{
    return RunDism(L"dism /Online /Cleanup-Image /ScanHealth /english", EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR);
}

bool TaskDismRemoveSpData()
{
    return RunDism(L"dism /Online /Cleanup-Image /spsuperseded /hidesp /english", EXEC_HIDE_CONSOLE);
}

bool TaskDismComponentCleanup()
{
    return RunDism(L"dism /Online /Cleanup-Image /StartComponentCleanup /english", EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR);
}

bool TaskDismComponentCleanupResetBase()
{
    return RunDism(L"dism /Online /Cleanup-Image /StartComponentCleanup /ResetBase /english",
                   EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR);
}

bool TaskDismAnalyzeComponentStore()
{
    return RunDism(L"dism /Online /Cleanup-Image /AnalyzeComponentStore /english", EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR);
}

bool RunBootMenuPolicy(bool legacy)
{
    return RunBcdedit(std::wstring(L"bcdedit /set {default} bootmenupolicy ") + (legacy ? L"legacy" : L"standard"));
}

bool RunSafeBoot(bool enable)
{
    return RunBcdedit(std::wstring(L"bcdedit ") +
                      (enable ? L"/set {default} safeboot minimal" : L"/deletevalue {default} safeboot"));
}

bool RunNoIntegrityChecks(bool on)
{
    return RunBcdedit(std::wstring(L"bcdedit /set {default} nointegritychecks ") + (on ? L"ON" : L"OFF"));
}

bool TaskLegacyBootMenu()
{
    static const TPrompt prompt = {L"Legacy Boot Menu", L"Do you wish to enable it?", kLegacyBootLinks,
                                   L"Do you wish to enable the Legacy Boot Menu?\nYES - enable it\nNO - use the standard one"};
    return PromptAndRun(prompt, RunBootMenuPolicy);
}

bool TaskSafeMode()
{
    static const TPrompt prompt = {
        L"Safe Mode", L"Do you wish to trigger it on the next system reboot?", kSafeModeLinks,
        L"Do you wish to trigger the Safe Mode for the next system reboot?\nYES - enable it\nNO - set/keep the default one"};
    return PromptAndRun(prompt, RunSafeBoot);
}

bool TaskDriverSignature()
{
    static const TPrompt prompt = {L"Driver Signature Verification", L"Do you wish to disable it?", kSignatureLinks,
                                   L"Do you wish to disable 'Driver Signature Verification'?YES -> turn it off\nNO -> turn it on"};
    return PromptAndRun(prompt, RunNoIntegrityChecks);
}

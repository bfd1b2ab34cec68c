// Command window: starts the runner, polls its output from a timer, shows the result line.
#include "dialogs/DlgExecute.h"
#include "app/App.h"
#include "resources/resource.h"

#include <cstring>
#include <cwchar>

namespace {
const UINT_PTR kTimerPoll = 1;
const unsigned char CR = 13;
const unsigned char LF = 10;
}

CDlgExecute::CDlgExecute(CWnd* parent, const std::wstring& program, const std::wstring& commandLine, unsigned flags)
    : CDialogEx(IDD_EXECUTE, parent),
      m_bCloseWhenDone((flags & EXEC_CLOSE_WHEN_DONE) != 0),
      m_bCloseOnSuccess((flags & EXEC_CLOSE_ON_SUCCESS) != 0),
      m_bDoneSeen(false),
      m_bCollapseCR((flags & EXEC_COLLAPSE_CR) != 0),
      m_nTaken(0),
      m_pRunner(new TExecPiped(program, commandLine, (flags & EXEC_HIDE_CONSOLE) != 0))
{
}

CDlgExecute::~CDlgExecute()
{
    delete m_pRunner;
    m_pRunner = nullptr;
}

void CDlgExecute::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_EDIT_COMMAND, m_edCommand);
    DDX_Control(pDX, IDC_EDIT_OUTPUT, m_edOutput);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
}

BOOL CDlgExecute::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    m_bOpened = true;

    HFONT font = theApp.m_font.GetSafeHandle();
    m_edCommand.SetFont(font, false);
    m_edOutput.SetFont(font, false);

    m_edCommand.SetWindowText(m_pRunner->m_strApplication + L"\r\n- \"" + m_pRunner->m_strCommandLine + L"\"");

    m_pRunner->Resume();
    SetTimer(kTimerPoll, 1000);
    return TRUE;
}

int CDlgExecute::CollapseCR(unsigned char* block, int size, int from)
{
    if (block == nullptr || size <= 0)
        return size < 0 ? 0 : size;
    // Start one byte early so that a CR which ended the previous update is judged now.
    int read = from > 0 ? from - 1 : 0;
    if (read > size)
        read = size;
    int write = read;
    // Start of the current line in the written text: just after the last CR LF written.
    int lineStart = 0;
    for (int i = write - 1; i > 0; --i)
    {
        if (block[i] == LF && block[i - 1] == CR)
        {
            lineStart = i + 1;
            break;
        }
    }
    for (; read < size; ++read)
    {
        unsigned char b = block[read];
        // A CR as the very last byte is not judged yet: its next byte has not arrived.
        bool loneCR = b == CR && read + 1 < size && block[read + 1] != LF;
        if (!loneCR)
        {
            block[write++] = b;
            if (b == LF && write >= 2 && block[write - 2] == CR)
                lineStart = write;
            continue;
        }
        if (std::memchr(block + lineStart, CR, static_cast<size_t>(write - lineStart)) == nullptr)
        {
            block[write++] = b;
            continue;
        }
        // Second lone CR on this line: what follows overwrites the line.
        write = lineStart;
    }
    return write;
}

void CDlgExecute::UpdateOutput()
{
    int available = 0;
    {
        TSysLockGuard lock(m_pRunner->m_cs);
        available = m_pRunner->m_pOutput ? m_pRunner->m_pOutput->m_nBytes : 0;
    }
    if (available == m_nTaken)
        return;

    TVoid fresh;
    bool copied = false;
    {
        TSysLockGuard lock(m_pRunner->m_cs);
        copied = m_pRunner->m_pOutput && m_pRunner->m_pOutput->CopyOut(&fresh, m_nTaken, 0);
    }
    if (!copied)
        return;
    m_nTaken += fresh.m_nSize;

    int start = m_rawOutput.m_nSize;
    if (!m_rawOutput.SetSize(start + fresh.m_nSize))
        return;   // these bytes are lost; the earlier text stays shown
    std::memcpy(static_cast<unsigned char*>(m_rawOutput.m_pData) + start, fresh.m_pData,
                static_cast<size_t>(fresh.m_nSize));

    if (m_bCollapseCR)
    {
        int size = CollapseCR(static_cast<unsigned char*>(m_rawOutput.m_pData), m_rawOutput.m_nSize, start);
        m_rawOutput.SetSize(size);
    }

    m_strOutput = m_rawOutput.ToText();
    m_edOutput.SetWindowText(m_strOutput);
}

bool CDlgExecute::Succeeded() const
{
    return m_bOpened && !m_pRunner->IsRunning() && m_pRunner->m_dwLastError == 0 && m_pRunner->m_dwExitCode == 0
        && !m_pRunner->m_bOutputLost;
}

namespace {
const wchar_t kOutputLostNotice[] =
    L"*** Some output could not be stored (out of memory) and is missing; this run counts as failed. ***";

// Puts the notice on a line of its own after everything shown. It is not part of m_strOutput, which
// holds only what the tool printed. The worker has ended by then, so no later update follows it.
void ShowOutputLostNotice(CEdit& edit)
{
    HWND h = edit.m_hWnd;
    const int length = ::GetWindowTextLengthW(h);
    const bool lineOpen = length > 0 && ::SendMessageW(h, EM_LINELENGTH, static_cast<WPARAM>(length), 0) > 0;
    std::wstring notice = lineOpen ? L"\r\n" : L"";
    notice += kOutputLostNotice;
    // The edit refuses an insertion beyond its text limit: make room for the notice.
    const LRESULT limit = ::SendMessageW(h, EM_GETLIMITTEXT, 0, 0);
    const LRESULT needed = static_cast<LRESULT>(length) + static_cast<LRESULT>(notice.size());
    if (limit < needed)
        ::SendMessageW(h, EM_SETLIMITTEXT, static_cast<WPARAM>(needed), 0);
    ::SendMessageW(h, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    ::SendMessageW(h, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(notice.c_str()));
    ::SendMessageW(h, EM_SCROLLCARET, 0, 0);
}
}

void CDlgExecute::OnTimer(UINT_PTR id)
{
    if (id != kTimerPoll)
        return;
    SetTimer(kTimerPoll, 500);
    UpdateOutput();
    bool ended = !m_pRunner->IsRunning();
    UpdateOutput();
    if (ended == m_bDoneSeen)
        return;
    m_bDoneSeen = true;

    wchar_t caption[80];
    swprintf(caption, 80, L"DONE - (result: %u - %u)", static_cast<unsigned>(m_pRunner->m_dwExitCode),
             static_cast<unsigned>(m_pRunner->m_dwLastError));
    m_btnCancel.SetWindowText(caption);

    // A capture with a hole is no success, whatever the tool returned: the window must not close as
    // if it were one, and the user must see why the run failed.
    const bool lost = m_pRunner->m_bOutputLost;
    if (lost)
        ShowOutputLostNotice(m_edOutput);
    bool success = m_pRunner->m_dwExitCode == 0 && m_pRunner->m_dwLastError == 0 && !lost;
    if (m_bCloseWhenDone || (m_bCloseOnSuccess && success))
    {
        EndDialog(0);
        return;
    }
    ::MessageBeep(MB_ICONASTERISK);
}

void CDlgExecute::OnBnClickedCancel()
{
    if (!m_pRunner->WaitFor(this, 0))
    {
        m_pRunner->Stop(3000);
        m_edOutput.SetWindowText(L"");
    }
    EndDialog(1);
}

void CDlgExecute::OnClose()
{
    KillTimer(kTimerPoll);
    UpdateOutput();
    // The default close handling of a dialog is the Cancel command.
    SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(m_btnCancel.m_hWnd));
}

void CDlgExecute::OnOK()
{
    // Enter must never end the window behind the runner's back: the worker may still be
    // writing the results the creator reads. Only the Cancel path stops it properly.
}

void CDlgExecute::OnCancel()
{
    OnBnClickedCancel();
}

HBRUSH CDlgExecute::OnCtlColor(HDC dc, HWND control, UINT ctlColor)
{
    if (control == m_edCommand.m_hWnd || control == m_edOutput.m_hWnd)
        return ::GetSysColorBrush(COLOR_WINDOW);
    return CDialogEx::OnCtlColor(dc, control, ctlColor);
}

bool CDlgExecute::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg)
    {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && (lParam == 0 || HIWORD(wParam) == BN_CLICKED))
        {
            OnBnClickedCancel();
            result = 0;
            return true;
        }
        break;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        result = 0;
        return true;
    case WM_CLOSE:
        OnClose();
        result = 0;
        return true;
    default:
        break;
    }
    return CDialogEx::OnMessage(msg, wParam, lParam, result);
}

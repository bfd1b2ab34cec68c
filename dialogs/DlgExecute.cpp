// Command window: starts the runner, polls its output from a timer, shows the result line.
#include "dialogs/DlgExecute.h"
#include "app/App.h"
#include "resources/resource.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <exception>

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
    // The edit's own limit (30000 characters) would cut what is appended to it; 0 lifts it.
    m_edOutput.SendMessage(EM_SETLIMITTEXT, 0);

    m_edCommand.SetWindowText(m_pRunner->m_strApplication + L"\r\n- \"" + m_pRunner->m_strCommandLine + L"\"");

    m_pRunner->Resume();
    SetTimer(kTimerPoll, 1000);
    return TRUE;
}

void* TOutputBlock::Alloc(int size)
{
    return Realloc(nullptr, size);
}

void* TOutputBlock::Realloc(void* memory, int size)
{
    if (memory != nullptr && size <= m_nCapacity)
        return memory;
    // Half as much again as asked: copies stay a fixed share of the bytes taken, however they arrive.
    int capacity = size <= INT_MAX / 3 * 2 ? size + size / 2 : size;
    void* p = std::realloc(memory, static_cast<size_t>(capacity));
    if (p == nullptr && capacity > size)
    {
        capacity = size;
        p = std::realloc(memory, static_cast<size_t>(capacity));
    }
    if (p != nullptr)
        m_nCapacity = capacity;
    return p;
}

void TOutputBlock::Free(void* memory)
{
    std::free(memory);
    m_nCapacity = 0;
}

int CDlgExecute::CollapseCR(unsigned char* block, int size, int from)
{
    if (block == nullptr || size <= 0)
        return size < 0 ? 0 : size;
    // Without a carried state, find where the line stands by looking back from the restart point.
    int read = from > 0 ? from - 1 : 0;
    if (read > size)
        read = size;
    TCollapseState state;
    for (int i = read - 1; i > 0; --i)
    {
        if (block[i] == LF && block[i - 1] == CR)
        {
            state.lineStart = i + 1;
            break;
        }
    }
    if (const void* cr = std::memchr(block + state.lineStart, CR, static_cast<size_t>(read - state.lineStart)))
        state.lineCR = static_cast<int>(static_cast<const unsigned char*>(cr) - block);
    return CollapseCR(block, size, from, &state);
}

int CDlgExecute::CollapseCR(unsigned char* block, int size, int from, TCollapseState* state)
{
    if (block == nullptr || size <= 0)
    {
        state->firstChange = 0;
        return size < 0 ? 0 : size;
    }
    // Start one byte early so that a CR which ended the previous update is judged now.
    int read = from > 0 ? from - 1 : 0;
    if (read > size)
        read = size;
    int write = read;
    state->firstChange = from < size ? from : size;
    for (; read < size; ++read)
    {
        unsigned char b = block[read];
        // A CR as the very last byte is not judged yet: its next byte has not arrived.
        bool loneCR = b == CR && read + 1 < size && block[read + 1] != LF;
        // A CR at the write position itself is the one being judged again, not an earlier one.
        if (loneCR && state->lineCR >= 0 && state->lineCR < write)
        {
            // Second lone CR on this line: what follows overwrites the line.
            write = state->lineStart;
            state->lineCR = -1;
            if (write < state->firstChange)
                state->firstChange = write;
            continue;
        }
        if (b == CR && (state->lineCR < 0 || state->lineCR >= write))
            state->lineCR = write;
        block[write++] = b;
        if (b == LF && write >= 2 && block[write - 2] == CR)
        {
            state->lineStart = write;
            state->lineCR = -1;
        }
    }
    return write;
}

void CDlgExecute::UpdateOutput()
{
    if (m_bDisplayStopped)
        return;   // the runner goes on capturing; the creator learns that this text is incomplete
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
    {
        // Only memory can refuse a copy of bytes the buffer holds.
        StopDisplay();
        return;
    }
    m_nTaken += fresh.m_nSize;

    int start = m_rawOutput.m_nSize;
    if (!m_rawOutput.SetSize(start + fresh.m_nSize))
    {
        StopDisplay();   // these bytes are lost; the earlier text stays shown
        return;
    }
    unsigned char* raw = static_cast<unsigned char*>(m_rawOutput.m_pData);
    std::memcpy(raw + start, fresh.m_pData, static_cast<size_t>(fresh.m_nSize));

    // Everything before `changed` is as the previous update left it.
    int changed = start;
    if (m_bCollapseCR)
    {
        int size = CollapseCR(raw, m_rawOutput.m_nSize, start, &m_collapse);
        m_rawOutput.SetSize(size);   // never grows, so never refused
        changed = m_collapse.firstChange;
    }

    // The shown text ends at the first zero byte.
    const int oldShown = m_nShown;
    if (m_nZeroAt >= changed)
        m_nZeroAt = -1;
    if (m_nZeroAt < 0 && changed < m_rawOutput.m_nSize)
    {
        if (const void* zero = std::memchr(raw + changed, 0, static_cast<size_t>(m_rawOutput.m_nSize - changed)))
            m_nZeroAt = static_cast<int>(static_cast<const unsigned char*>(zero) - raw);
    }
    const int shown = m_nZeroAt >= 0 ? m_nZeroAt : m_rawOutput.m_nSize;
    int keep = changed < oldShown ? changed : oldShown;
    if (shown < keep)
        keep = shown;
    if (keep == oldShown && shown == oldShown)
        return;

    try
    {
        // Each byte widens to the UTF-16 unit of the same value; only the changed tail is rebuilt,
        // in place, so no update holds a second copy of it.
        m_strOutput.resize(static_cast<size_t>(keep));
        m_strOutput.resize(static_cast<size_t>(shown));
        for (int i = keep; i < shown; ++i)
            m_strOutput[static_cast<size_t>(i)] = static_cast<wchar_t>(raw[i]);
    }
    catch (const std::exception&)
    {
        StopDisplay();
        return;
    }
    m_nShown = shown;
    if (!ShowOutput(keep, oldShown))
        StopDisplay();
}

namespace {
const wchar_t kNotShownNotice[] =
    L"\r\n\r\n[The output goes on beyond this point. It is captured but not shown here.]\r\n";
const wchar_t kStoppedNotice[] =
    L"\r\n\r\n[Out of memory: the display stopped growing here. The command goes on and its output "
    L"is still captured, but the text this window hands on is incomplete, so the run counts as failed.]\r\n";
}

bool CDlgExecute::ShowOutput(int keep, int oldShown)
{
    const int limit = m_nDisplayLimit;
    if (oldShown > limit && m_nShown > limit && keep >= limit)
        return true;   // the change lies wholly in the part that is not shown
    const int from = keep < limit ? keep : limit;
    const int end = m_nShown < limit ? m_nShown : limit;
    // Up to the limit the new text is the end of m_strOutput itself; past it, a copy with the notice.
    const wchar_t* replacement = m_strOutput.c_str() + from;
    std::wstring text;
    if (m_nShown > limit)
    {
        try
        {
            text.assign(m_strOutput, static_cast<size_t>(from), static_cast<size_t>(end > from ? end - from : 0));
            text += kNotShownNotice;
        }
        catch (const std::exception&)
        {
            return false;
        }
        replacement = text.c_str();
    }
    const int expected = m_nShown > limit ? from + static_cast<int>(text.size()) : m_nShown;
    // Select the changed tail (or just the end) and replace it: the edit lays out only that.
    m_edOutput.SendMessage(EM_SETSEL, static_cast<WPARAM>(from), m_nEditLength);
    m_edOutput.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(replacement));
    // A whole-text replacement left the caret at the start and the view at the top: so does this.
    m_edOutput.SetSel(0, 0);
    const int length = static_cast<int>(m_edOutput.SendMessage(WM_GETTEXTLENGTH));
    m_nEditLength = length;
    return length == expected;
}

void CDlgExecute::StopDisplay()
{
    if (m_bDisplayStopped)
        return;
    m_bDisplayStopped = true;
    if (!m_edOutput.m_hWnd)
        return;
    const int end = m_nEditLength;
    m_edOutput.SendMessage(EM_SETSEL, static_cast<WPARAM>(end), end);
    m_edOutput.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(kStoppedNotice));
    m_edOutput.SetSel(0, 0);
    m_nEditLength = static_cast<int>(m_edOutput.SendMessage(WM_GETTEXTLENGTH));
}

bool CDlgExecute::Succeeded() const
{
    return m_bOpened && !m_bDisplayStopped && !m_pRunner->IsRunning() && m_pRunner->m_dwLastError == 0
           && m_pRunner->m_dwExitCode == 0 && !m_pRunner->m_bOutputLost;
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
    // Likewise when the display stopped for want of memory: the text handed on is incomplete.
    if (m_bCloseWhenDone || (m_bCloseOnSuccess && Succeeded()))
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
        m_bStoppedByUser = true;
        m_pRunner->Stop(3000);
        m_edOutput.SetWindowText(L"");
        m_nEditLength = 0;
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

// The "Executing Command..." window: runs one command, shows it and its output live.
#pragma once

#include "framework/Dialog.h"
#include "framework/Controls.h"
#include "runner/ExecPiped.h"
#include "runner/Void.h"
#include <string>

enum CDlgExecuteFlags : unsigned
{
    EXEC_CLOSE_ON_SUCCESS = 1,   // close by itself after exit code 0 and launch error 0
    EXEC_HIDE_CONSOLE = 2,       // the child's console window is not shown
    EXEC_COLLAPSE_CR = 4,        // collapse carriage-return progress rewrites before display
    EXEC_CLOSE_WHEN_DONE = 8,    // close by itself when the command ends, whatever the result
};

// The window's copy of the output: grows with spare room, so that an update that brings a few
// bytes does not reallocate (and copy) everything taken before them.
class TOutputBlock : public TVoid
{
public:
    TOutputBlock() = default;
    ~TOutputBlock() { ReleaseMemory(); }

    void* Alloc(int size) override;
    void* Realloc(void* memory, int size) override;
    void Free(void* memory) override;

    int m_nCapacity = 0;   // bytes the memory can hold; the size may be smaller
};

// Where the carriage-return collapse stands in the text written so far, carried from one update
// to the next so that no update has to look back over a long line again.
struct TCollapseState
{
    int lineStart = 0;     // just after the last CR LF written
    int lineCR = -1;       // the first CR written on the current line; -1 when it holds none
    int firstChange = 0;   // out: lowest position whose byte this pass may have changed
};

class CDlgExecute : public CDialogEx
{
public:
    CDlgExecute(CWnd* parent, const std::wstring& program, const std::wstring& commandLine, unsigned flags);
    ~CDlgExecute() override;

    // Collapses lone-CR rewrites in block[from-1 .. size) in place; gives the new size.
    // `from` is where this update's bytes start (the size of the block before them).
    static int CollapseCR(unsigned char* block, int size, int from);
    // The same with the state of the previous pass instead of a look back over the block.
    static int CollapseCR(unsigned char* block, int size, int from, TCollapseState* state);

    // Characters of output the edit shows at most. Measured under Wine on both builds with
    // 64-character lines, the edit control costs about 3 bytes per character shown (48 MB at this
    // size, a small share of a 32-bit process's 2 GB beside the 2 bytes per character, up to twice
    // that while it grows, of m_strOutput), and since every change walks all its lines, one update
    // costs some 60 ms at this size however little it adds. Later output still reaches
    // m_strOutput; the edit says that it is captured but not shown.
    enum : int { DISPLAY_LIMIT = 16 * 1024 * 1024 };

    bool m_bCloseWhenDone : 1;
    bool m_bCloseOnSuccess : 1;
    bool m_bDoneSeen : 1;
    bool m_bCollapseCR : 1;
    int m_nTaken;
    TExecPiped* m_pRunner;
    TOutputBlock m_rawOutput;
    CButton m_btnCancel;
    CEdit m_edCommand;
    CEdit m_edOutput;
    std::wstring m_strOutput;
    bool m_bOpened = false;   // the modal run reached the window's initialisation
    // The user's Cancel (or close) stopped a command that was still running. Neither the exit
    // code (STILL_ACTIVE is also a code a tool may return) nor the modal result (Cancel also
    // closes the window of a command that has ended) tells this apart.
    bool m_bStoppedByUser = false;

    // The output edit holds the shown text up to m_nDisplayLimit characters, then one notice.
    int m_nDisplayLimit = DISPLAY_LIMIT;
    int m_nShown = 0;         // characters of m_strOutput: bytes before the first zero byte
    int m_nZeroAt = -1;       // the first zero byte in m_rawOutput; -1 when there is none
    int m_nEditLength = 0;    // characters in the output edit, notice included
    TCollapseState m_collapse;
    // Memory ran out while the output was shown: nothing more is taken or shown, and the text the
    // creator reads is incomplete, so the run cannot count as a success.
    bool m_bDisplayStopped = false;

    void UpdateOutput();

    // Launch error and exit code both 0, and the output whole: neither lost by the runner nor cut
    // where the display stopped for want of memory. The one rule for a run's success, for the
    // window's own close and for every creator. A window that never opened started no runner, and
    // a runner still going has no results yet: neither may pass for the zero results of a success.
    bool Succeeded() const;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnOK() override;
    void OnCancel() override;

    void OnBnClickedCancel();
    void OnTimer(UINT_PTR id);
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlColor) override;
    void OnClose();

private:
    // Brings the edit from showing `oldShown` characters of the output to showing `m_nShown`,
    // the first `keep` of them unchanged. False when the edit did not take the text.
    bool ShowOutput(int keep, int oldShown);
    void StopDisplay();
};

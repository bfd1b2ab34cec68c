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

class CDlgExecute : public CDialogEx
{
public:
    CDlgExecute(CWnd* parent, const std::wstring& program, const std::wstring& commandLine, unsigned flags);
    ~CDlgExecute() override;

    // Collapses lone-CR rewrites in block[from-1 .. size) in place; gives the new size.
    // `from` is where this update's bytes start (the size of the block before them).
    static int CollapseCR(unsigned char* block, int size, int from);

    bool m_bCloseWhenDone : 1;
    bool m_bCloseOnSuccess : 1;
    bool m_bDoneSeen : 1;
    bool m_bCollapseCR : 1;
    int m_nTaken;
    TExecPiped* m_pRunner;
    TVoid m_rawOutput;
    CButton m_btnCancel;
    CEdit m_edCommand;
    CEdit m_edOutput;
    std::wstring m_strOutput;
    bool m_bOpened = false;   // the modal run reached the window's initialisation
    // The user's Cancel (or close) stopped a command that was still running. Neither the exit
    // code (STILL_ACTIVE is also a code a tool may return) nor the modal result (Cancel also
    // closes the window of a command that has ended) tells this apart.
    bool m_bStoppedByUser = false;

    void UpdateOutput();

    // Launch error and exit code both 0, read after the modal run. A window that never opened
    // started no runner, and a runner still going has no results yet: neither may pass for the
    // zero results of a success.
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
};

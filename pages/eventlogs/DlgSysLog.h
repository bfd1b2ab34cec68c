// The "System Logs" page: every event-log channel with its details; clean or resize the ticked ones.
#pragma once

#include "dialogs/DlgList.h"
#include "textutil/LineReader.h"

#include <string>

class CDlgSysLog : public CDlgList
{
public:
    enum { MODE_CLEAN = 0, MODE_SET_MAX_SIZE = 1 };
    // The size prompt's bounds, in megabytes.
    enum { MAX_SIZE_MIN_MB = 1, MAX_SIZE_MAX_MB = 1024 };

    explicit CDlgSysLog(CWnd* parent);
    ~CDlgSysLog() override;

    bool Collect() override;
    void UpdateStatus() override;
    bool PrepareCommit(int mode, int* pParam) override;
    bool IsItemShown(int mode, CDlgListItem* item) override;
    bool CommitItem(int mode, CDlgListItem* item, int param) override;

    // Creates one row per channel line of a "wevtutil el" output, up to the empty line after the
    // last line break, with the name cut to 256 characters (and marked so when it was).
    void AddChannels(TLineReader& reader);
    // The command line of a mode for one channel, or empty when nothing may run: another mode, a
    // name no channel can have, or a size outside the prompt's bounds.
    static std::wstring CommandLineFor(int mode, const std::wstring& channel, int param);

    std::wstring m_strWevtutilPath;
};

// The task row "System Logs": available when the system folder holds the tool; opens the page.
bool IsWevtutilPresent();
bool TaskSystemLogs();

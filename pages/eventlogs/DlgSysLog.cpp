// The "System Logs" page: channel list, status line, size prompt, clean and set-size commands,
// and the task functions that open it.
#include "pages/eventlogs/DlgSysLog.h"
#include "pages/eventlogs/DlgSysLogItem.h"
#include "app/App.h"
#include "app/DlgMain.h"
#include "app/Tasks.h"
#include "dialogs/DlgExecute.h"
#include "dialogs/DlgGetIntValue.h"

#include <cstdint>
#include <cstdio>
#include <memory>

const TColumnDef SysLogColumns[11] = {
    {L"Name", 0},
    {L"Enabled", 1},
    {L"Retention", 1},
    {L"Isolation", 0},
    {L"Bytes", 1},
    {L"Used", 1},
    {L"Max", 1},
    {L"Records", 0},
    {L"Created", 0},
    {L"Last Access", 0},
    {L"Last Write", 0},
};

const TModeDef SysLogModes[2] = {
    {L"Clean", CDlgSysLog::MODE_CLEAN},
    {L"Set Max Size", CDlgSysLog::MODE_SET_MAX_SIZE},
};

namespace {

const wchar_t kWevtutil[] = L"wevtutil.exe";
// Longer lines of the channel list are cut to this many characters.
const int kMaxChannelName = 256;
const unsigned kCommandFlags = EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE;

// The last line of a text no CR ends keeps its trailing blanks; they make no name longer.
std::wstring WithoutTrailingBlanks(std::wstring text)
{
    const size_t last = text.find_last_not_of(L' ');
    text.erase(last == std::wstring::npos ? 0 : last + 1);
    return text;
}

} // namespace

CDlgSysLog::CDlgSysLog(CWnd* parent) : CDlgList(parent), m_strWevtutilPath(theApp.m_strSysDir + kWevtutil)
{
    m_strTitle = L"System Logs";
    m_strNoun = L"streams";
    m_nColumns = 11;
    m_pColumns = SysLogColumns;
    m_nModes = 2;
    m_pModes = SysLogModes;
}

CDlgSysLog::~CDlgSysLog() = default;

bool CDlgSysLog::Collect()
{
    TLineReader reader;
    if (!RunWithDialog(&reader, m_strWevtutilPath, L"wevtutil el", kCommandFlags))
        return false;
    AddChannels(reader);
    return m_nItemCount > 0;
}

void CDlgSysLog::AddChannels(TLineReader& reader)
{
    std::wstring name, whole;
    while (reader.NextLine())
    {
        reader.GetValue(name, 0, kMaxChannelName);
        // Only the line after the text's last line break reads empty.
        if (name.empty())
            break;
        // Every line makes a row, a blank one too (its name is the line feed before it); the rows
        // refuse to put a name no channel can have into a command line.
        CDlgSysLogItem* row = new CDlgSysLogItem(&m_pItems);
        row->m_strKey = name;
        reader.GetValue(whole, 0, 0);
        row->m_bNameCut = WithoutTrailingBlanks(whole) != WithoutTrailingBlanks(name);
        ++m_nItemCount;
    }
}

void CDlgSysLog::UpdateStatus()
{
    const int rows = m_list.GetItemCount();
    const int checked = CountCheckedRows();
    wchar_t text[64];
    std::swprintf(text, 64, L"Selected logs: %i/%i", checked, rows);
    m_stStatus.SetWindowText(text);
}

bool CDlgSysLog::PrepareCommit(int mode, int* pParam)
{
    if (mode != MODE_SET_MAX_SIZE)
        return true;
    std::unique_ptr<CDlgGetIntValue> prompt(new CDlgGetIntValue(this));
    prompt->m_strCaption = L"System Log: set max size";
    prompt->m_strLabel = L"Max Size (MB):";
    prompt->m_nMin = MAX_SIZE_MIN_MB;
    prompt->m_nMax = MAX_SIZE_MAX_MB;
    prompt->m_nValue = 0;
    prompt->m_bCancelled = false;
    prompt->m_bSigned = false;
    const INT_PTR result = prompt->DoModal();
    if (prompt->m_bCancelled)
        return false;
    // A prompt that never opened, or ended other than by OK, leaves the start value 0: that is
    // no size the user chose.
    if (result != IDOK || !prompt->IsInRange(prompt->m_nValue))
        return false;
    if (pParam != nullptr)
        *pParam = prompt->m_nValue;
    return true;
}

bool CDlgSysLog::IsItemShown(int mode, CDlgListItem* item)
{
    const CDlgSysLogItem* row = dynamic_cast<const CDlgSysLogItem*>(item);
    if (row == nullptr)
        return false;
    switch (mode)
    {
    case MODE_CLEAN:
        return row->m_nRecordCount != 0;
    case MODE_SET_MAX_SIZE:
        return (row->m_dwFlags & SYSLOG_ENABLED) != 0;
    default:
        return false;
    }
}

std::wstring CDlgSysLog::CommandLineFor(int mode, const std::wstring& channel, int param)
{
    if (!CDlgSysLogItem::IsUsableChannelName(channel))
        return std::wstring();
    const std::wstring quoted = L"\"" + channel + L"\"";
    switch (mode)
    {
    case MODE_CLEAN:
        return L"wevtutil cl " + quoted;
    case MODE_SET_MAX_SIZE:
    {
        // Outside the prompt's bounds the shift would wrap (0 from 4096 MB) or give 0 itself.
        if (param < MAX_SIZE_MIN_MB || param > MAX_SIZE_MAX_MB)
            return std::wstring();
        const uint32_t bytes = static_cast<uint32_t>(param) << 20;
        return L"wevtutil sl " + quoted + L" /ms:" + std::to_wstring(bytes);
    }
    default:
        return std::wstring();
    }
}

bool CDlgSysLog::CommitItem(int mode, CDlgListItem* item, int param)
{
    const CDlgSysLogItem* row = dynamic_cast<const CDlgSysLogItem*>(item);
    if (row == nullptr || (mode != MODE_CLEAN && mode != MODE_SET_MAX_SIZE))
        return false;
    // A refused name runs nothing; like a failed command, it does not stop the commit.
    if (!row->MayRunTools())
    {
        m_refusedNames.Add(row->m_strKey);
        return true;
    }
    const std::wstring commandLine = CommandLineFor(mode, row->m_strKey, param);
    if (commandLine.empty())
        return false;
    // A failed command keeps its window open with the result until the user closes it; the row is
    // reloaded all the same and shows what the tool reports afterwards, and the commit goes on.
    // A command the user stopped with Cancel ends the commit: no later log is erased or resized.
    bool stopped = false;
    RunWithDialog(nullptr, m_strWevtutilPath, commandLine, kCommandFlags, &stopped);
    return !stopped;
}

bool IsWevtutilPresent()
{
    return IsFilePresent(theApp.m_strSysDir + kWevtutil);
}

bool TaskSystemLogs()
{
    std::unique_ptr<CDlgSysLog> page(new CDlgSysLog(theApp.m_pMainDlg));
    page->DoModal();
    return true;
}

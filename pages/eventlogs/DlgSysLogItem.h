// One event-log channel of the "System Logs" page, with its registry and "wevtutil" details.
#pragma once

#include "dialogs/DlgListItem.h"

#include <cstdint>
#include <string>

class CDlgList;
class CListCtrl;

enum SysLogItemFlags : uint32_t
{
    SYSLOG_HAS_INFO = 0x001,          // "wevtutil gli" gave at least one of its keys
    SYSLOG_ENABLED = 0x002,
    SYSLOG_RETENTION = 0x004,
    SYSLOG_MAXSIZE_KNOWN = 0x008,
    SYSLOG_ENABLED_KNOWN = 0x010,     // from the registry, or from "wevtutil gl"
    SYSLOG_RETENTION_KNOWN = 0x020,
    SYSLOG_ISOLATION_KNOWN = 0x040,
    SYSLOG_NO_KEY = 0x100,            // the channel's registry key does not open
};

// The row learns its details cheapest first: the registry's "Enabled" value, then the log
// information ("wevtutil gli"), then, only when that answered, the configuration ("wevtutil gl").
class CDlgSysLogItem : public CDlgListItem
{
public:
    // Prepends the row to the list whose head is *ppHead; the creator then sets m_strKey.
    explicit CDlgSysLogItem(CDlgListItem** ppHead);
    ~CDlgSysLogItem() override;

    // page is the CDlgSysLog that owns the row: its wevtutil path is the program both runs start.
    void LoadDetails(CDlgList* page) override;
    int Compare(int column, CDlgListItem* other) override;
    void GetLabel(std::wstring& out) override;
    void ResetDetails() override;
    void FillRow(CListCtrl* list, int row) override;

    // The parsing steps of LoadDetails, on a text a tool printed. Each only adds to what the row
    // already holds, so LoadDetails resets first.
    void ReadRegistry();
    void ParseLogInfo(const std::wstring& text);
    void ParseConfig(const std::wstring& text);

    // Whether a name read from a tool's output may go into a registry path and, quoted, into a
    // "wevtutil" command line: printable, no quote or backslash, not starting with a blank or
    // with what the tool reads as an option.
    static bool IsUsableChannelName(const std::wstring& name);
    // Whether the row's name may go into a "wevtutil" command line: usable, and not cut from a
    // longer line (a cut name may be the whole name of another channel).
    bool MayRunTools() const { return !m_bNameCut && IsUsableChannelName(m_strKey); }
    // The "Used" column: empty without a maximum, "100%+" past it, else the rounded percentage.
    static std::wstring FillText(uint64_t fileSize, uint64_t maxSize);
    // Runs a command line without a window for at most 5000 ms and hands back whatever it printed,
    // whatever its result; false when it printed nothing.
    static bool RunHidden(const std::wstring& program, const std::wstring& commandLine, std::wstring& text);

    uint32_t m_dwFlags;
    uint64_t m_nFileSize;
    uint64_t m_nMaxSize;
    uint64_t m_nRecordCount;
    std::wstring m_strIsolation;
    std::wstring m_strCreationTime;
    std::wstring m_strLastAccessTime;
    std::wstring m_strLastWriteTime;
    // The channel list's line held more than the name the row keeps. Set by its creator.
    bool m_bNameCut = false;
};

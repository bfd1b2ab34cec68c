// Event-log channel rows: registry test, hidden "wevtutil gli"/"gl" runs and their parsing,
// the row's columns and its sort order.
#include "pages/eventlogs/DlgSysLogItem.h"
#include "pages/eventlogs/DlgSysLog.h"
#include "framework/Controls.h"
#include "runner/ExecPiped.h"
#include "runner/Void.h"
#include "textutil/ByteSize.h"
#include "textutil/Int64Text.h"
#include "textutil/LineReader.h"

#include <windows.h>

#include <cstring>
#include <memory>

namespace {

const wchar_t kChannelsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Channels\\";
const DWORD kHiddenWaitMs = 5000;
const DWORD kHiddenStopMs = 500;

// "wevtutil gli": the keys we take, tried in this order on each of the first kInfoLines lines.
enum InfoField { INFO_CREATION, INFO_LAST_ACCESS, INFO_LAST_WRITE, INFO_FILE_SIZE, INFO_RECORDS };
struct TInfoKey
{
    const wchar_t* pszKey;
    int nColumn;
    int nMaxLength;
    InfoField field;
};
const TInfoKey kInfoKeys[] = {
    {L"creationTime: ", 14, 19, INFO_CREATION},
    {L"lastAccessTime: ", 16, 19, INFO_LAST_ACCESS},
    {L"lastWriteTime: ", 15, 19, INFO_LAST_WRITE},
    {L"fileSize: ", 10, 40, INFO_FILE_SIZE},
    {L"numberOfLogRecords: ", 20, 40, INFO_RECORDS},
};
// The keys stand at the top of the tool's answer; lines further down are never looked at.
const int kInfoLines = 8;

// "wevtutil gl": each key is tried only while its flag is clear; the walk ends once all are set.
struct TConfigKey
{
    const wchar_t* pszKey;
    int nColumn;
    int nMaxLength;
    uint32_t dwKnownFlag;
};
const TConfigKey kConfigKeys[] = {
    {L"enabled: ", 9, 8, SYSLOG_ENABLED_KNOWN},
    {L"isolation: ", 11, 40, SYSLOG_ISOLATION_KNOWN},
    {L"  retention: ", 13, 8, SYSLOG_RETENTION_KNOWN},
    {L"  maxSize: ", 11, 40, SYSLOG_MAXSIZE_KNOWN},
};
const uint32_t kAllConfigKnown =
    SYSLOG_ENABLED_KNOWN | SYSLOG_ISOLATION_KNOWN | SYSLOG_RETENTION_KNOWN | SYSLOG_MAXSIZE_KNOWN;

int KeyLength(const wchar_t* key)
{
    return static_cast<int>(std::wcslen(key));
}

// The tool prints ISO 8601 times (2021-05-06T09:27:39.1234567Z); shown with a blank for the T.
std::wstring TimeText(std::wstring value)
{
    if (value.size() > 10)
        value[10] = L' ';
    return value;
}

int CompareNoCase(const std::wstring& a, const std::wstring& b)
{
    const int r = ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE);
    return r == 0 ? 0 : r - CSTR_EQUAL;
}

int CompareUnsigned(uint64_t a, uint64_t b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Rows without the flag come first.
int CompareFlag(uint32_t a, uint32_t b, uint32_t flag)
{
    return static_cast<int>((a & flag) != 0) - static_cast<int>((b & flag) != 0);
}

// Orders the "Used" column as it reads: empty, then 0% up to 100%, then "100%+".
int UsedRank(uint64_t fileSize, uint64_t maxSize)
{
    if (maxSize == 0)
        return -1;
    if (fileSize > maxSize)
        return 101;
    const std::wstring text = CDlgSysLogItem::FillText(fileSize, maxSize);
    return static_cast<int>(StringToInt64(text));
}

} // namespace

CDlgSysLogItem::CDlgSysLogItem(CDlgListItem** ppHead)
    : CDlgListItem(ppHead), m_dwFlags(0), m_nFileSize(0), m_nMaxSize(0), m_nRecordCount(0)
{
    ResetDetails();
}

CDlgSysLogItem::~CDlgSysLogItem() = default;

void CDlgSysLogItem::ResetDetails()
{
    m_dwFlags = 0;
    m_nRecordCount = 0;
    m_nMaxSize = 0;
    m_nFileSize = 0;
    m_strIsolation.clear();
    m_strCreationTime.clear();
    m_strLastAccessTime.clear();
    m_strLastWriteTime.clear();
}

bool CDlgSysLogItem::IsUsableChannelName(const std::wstring& name)
{
    if (name.empty() || name[0] == L' ' || name[0] == L'/' || name[0] == L'-')
        return false;
    for (wchar_t c : name)
    {
        // A quote or a backslash would end the quoted argument early (or escape its closing
        // quote); a backslash would also walk to another registry key.
        if (c < 0x20 || c == 0x7F || c == L'"' || c == L'\\')
            return false;
    }
    return true;
}

void CDlgSysLogItem::ReadRegistry()
{
    HKEY key = nullptr;
    const std::wstring path = kChannelsKey + m_strKey;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    {
        m_dwFlags |= SYSLOG_NO_KEY;
        return;
    }
    m_dwFlags &= ~static_cast<uint32_t>(SYSLOG_NO_KEY);
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegGetValueW(key, nullptr, L"Enabled", RRF_RT_DWORD, nullptr, &value, &size) == ERROR_SUCCESS)
    {
        m_dwFlags |= SYSLOG_ENABLED_KNOWN;
        if (value != 0)
            m_dwFlags |= SYSLOG_ENABLED;
    }
    ::RegCloseKey(key);
}

void CDlgSysLogItem::ParseLogInfo(const std::wstring& text)
{
    TLineReader reader(text);
    bool taken[sizeof(kInfoKeys) / sizeof(kInfoKeys[0])] = {};
    bool any = false;
    std::wstring value;
    for (int line = 0; line < kInfoLines && reader.NextLine(); ++line)
    {
        for (size_t k = 0; k < sizeof(kInfoKeys) / sizeof(kInfoKeys[0]); ++k)
        {
            const TInfoKey& key = kInfoKeys[k];
            if (taken[k] || !reader.StartsWith(key.pszKey, KeyLength(key.pszKey)))
                continue;
            taken[k] = true;
            any = true;
            reader.GetValue(value, key.nColumn, key.nMaxLength);
            switch (key.field)
            {
            case INFO_CREATION: m_strCreationTime = TimeText(value); break;
            case INFO_LAST_ACCESS: m_strLastAccessTime = TimeText(value); break;
            case INFO_LAST_WRITE: m_strLastWriteTime = TimeText(value); break;
            case INFO_FILE_SIZE: m_nFileSize = static_cast<uint64_t>(StringToInt64(value)); break;
            case INFO_RECORDS: m_nRecordCount = static_cast<uint64_t>(StringToInt64(value)); break;
            }
            break;
        }
    }
    if (any)
        m_dwFlags |= SYSLOG_HAS_INFO;
}

void CDlgSysLogItem::ParseConfig(const std::wstring& text)
{
    TLineReader reader(text);
    std::wstring value;
    while ((m_dwFlags & kAllConfigKnown) != kAllConfigKnown && reader.NextLine())
    {
        for (const TConfigKey& key : kConfigKeys)
        {
            if ((m_dwFlags & key.dwKnownFlag) != 0 || !reader.StartsWith(key.pszKey, KeyLength(key.pszKey)))
                continue;
            m_dwFlags |= key.dwKnownFlag;
            reader.GetValue(value, key.nColumn, key.nMaxLength);
            switch (key.dwKnownFlag)
            {
            case SYSLOG_ENABLED_KNOWN:
                if (value == L"true")
                    m_dwFlags |= SYSLOG_ENABLED;
                else
                    m_dwFlags &= ~static_cast<uint32_t>(SYSLOG_ENABLED);
                break;
            case SYSLOG_ISOLATION_KNOWN:
                m_strIsolation = value;
                break;
            case SYSLOG_RETENTION_KNOWN:
                if (value == L"true")
                    m_dwFlags |= SYSLOG_RETENTION;
                else
                    m_dwFlags &= ~static_cast<uint32_t>(SYSLOG_RETENTION);
                break;
            default:
                m_nMaxSize = static_cast<uint64_t>(StringToInt64(value));
                break;
            }
            break;
        }
    }
}

bool CDlgSysLogItem::RunHidden(const std::wstring& program, const std::wstring& commandLine, std::wstring& text)
{
    text.clear();
    // The runner's string class throws on an empty path; no exception may cross the pumped waits.
    if (program.empty())
        return false;
    std::unique_ptr<TExecPiped> runner(new TExecPiped(program, commandLine, true));
    runner->Resume();
    if (!runner->WaitFor(nullptr, kHiddenWaitMs))
        runner->Stop(kHiddenStopMs);
    // The worker has ended. Launch error and exit code are not asked: a tool that fails or
    // runs too long may still have printed what we look for. A capture with a hole is another
    // matter: values parsed from it could belong to the wrong keys.
    if (runner->m_bOutputLost)
        return false;
    TVoid copy;
    if (!runner->CopyCaptured(&copy))
        return false;
    text = copy.ToAnsiText();
    return !text.empty();
}

void CDlgSysLogItem::LoadDetails(CDlgList* page)
{
    ResetDetails();
    // A backslash would walk to another registry key, and a cut name may be another channel's:
    // such a name has no key of its own.
    if (m_bNameCut || m_strKey.find(L'\\') != std::wstring::npos)
        m_dwFlags |= SYSLOG_NO_KEY;
    else
        ReadRegistry();
    // A disabled channel (or one whose value cannot be read) costs no tool run.
    if ((m_dwFlags & SYSLOG_NO_KEY) == 0 && (m_dwFlags & SYSLOG_ENABLED) == 0)
        return;
    // A name that cannot go on a command line is asked nothing: the row stays as after queries
    // that printed nothing.
    if (!MayRunTools())
        return;

    const CDlgSysLog* owner = dynamic_cast<const CDlgSysLog*>(page);
    if (owner == nullptr)
        return;
    const std::wstring quoted = L"\"" + m_strKey + L"\"";
    std::wstring text;
    if (RunHidden(owner->m_strWevtutilPath, L"wevtutil gli " + quoted, text))
        ParseLogInfo(text);
    if ((m_dwFlags & SYSLOG_HAS_INFO) == 0)
        return;
    if (RunHidden(owner->m_strWevtutilPath, L"wevtutil gl " + quoted, text))
        ParseConfig(text);
}

void CDlgSysLogItem::GetLabel(std::wstring& out)
{
    if (m_dwFlags & SYSLOG_NO_KEY)
        out = L"* " + m_strKey;
    else
        out = m_strKey;
}

std::wstring CDlgSysLogItem::FillText(uint64_t fileSize, uint64_t maxSize)
{
    if (maxSize == 0)
        return std::wstring();
    if (fileSize > maxSize)
        return L"100%+";
    // (fileSize * 100 + maxSize / 2) / maxSize, without the overflow that product meets for sizes
    // beyond 2^57 (a garbled or negative number from the tool lands there): add fileSize a hundred
    // times modulo maxSize, counting the wraps.
    uint64_t percent = 0;
    uint64_t rest = 0;   // always below maxSize
    for (int i = 0; i < 100; ++i)
    {
        if (rest >= maxSize - fileSize)
        {
            rest -= maxSize - fileSize;
            ++percent;
        }
        else
            rest += fileSize;
    }
    if (rest >= maxSize - maxSize / 2)
        ++percent;
    return Int64ToString(static_cast<int64_t>(percent)) + L"%";
}

void CDlgSysLogItem::FillRow(CListCtrl* list, int row)
{
    if (list == nullptr)
        return;
    if ((m_dwFlags & SYSLOG_HAS_INFO) == 0)
    {
        for (int column = 1; column <= 10; ++column)
            list->SetItemText(row, column, L"");
        return;
    }
    std::wstring size;
    list->SetItemText(row, 1, (m_dwFlags & SYSLOG_ENABLED) ? L"Yes" : L"");
    list->SetItemText(row, 2, (m_dwFlags & SYSLOG_RETENTION) ? L"Yes" : L"");
    list->SetItemText(row, 3, m_strIsolation.c_str());
    FormatByteSize(size, m_nFileSize);
    list->SetItemText(row, 4, size.c_str());
    list->SetItemText(row, 5, FillText(m_nFileSize, m_nMaxSize).c_str());
    FormatByteSize(size, m_nMaxSize);
    list->SetItemText(row, 6, size.c_str());
    list->SetItemText(row, 7, Int64ToString(static_cast<int64_t>(m_nRecordCount)).c_str());
    list->SetItemText(row, 8, m_strCreationTime.c_str());
    list->SetItemText(row, 9, m_strLastAccessTime.c_str());
    list->SetItemText(row, 10, m_strLastWriteTime.c_str());
}

int CDlgSysLogItem::Compare(int column, CDlgListItem* other)
{
    const CDlgSysLogItem* o = dynamic_cast<const CDlgSysLogItem*>(other);
    if (o == nullptr)
        return 0;
    switch (column)
    {
    case 0:
        if (const int byKey = CompareFlag(o->m_dwFlags, m_dwFlags, SYSLOG_NO_KEY))
            return byKey;   // rows without a key come first
        return CompareNoCase(m_strKey, o->m_strKey);
    case 1:
        return CompareFlag(m_dwFlags, o->m_dwFlags, SYSLOG_ENABLED);
    case 2:
        return CompareFlag(m_dwFlags, o->m_dwFlags, SYSLOG_RETENTION);
    case 3:
        return CompareNoCase(m_strIsolation, o->m_strIsolation);
    case 4:
        return CompareUnsigned(m_nFileSize, o->m_nFileSize);
    case 5:
    {
        const int a = UsedRank(m_nFileSize, m_nMaxSize);
        const int b = UsedRank(o->m_nFileSize, o->m_nMaxSize);
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    case 6:
        return CompareUnsigned(m_nMaxSize, o->m_nMaxSize);
    case 7:
        return CompareUnsigned(m_nRecordCount, o->m_nRecordCount);
    case 8:
        // The times read YYYY-MM-DD hh:mm:ss, so their text order is their time order.
        return m_strCreationTime.compare(o->m_strCreationTime);
    case 9:
        return m_strLastAccessTime.compare(o->m_strLastAccessTime);
    case 10:
        return m_strLastWriteTime.compare(o->m_strLastWriteTime);
    default:
        return 0;
    }
}

// Driver package records: the driver table's rows, version packing, and the registry and
// driver-store folder look-up that completes each record.
#include "pages/driverstore/DriverPackage.h"
#include "app/App.h"
#include "textutil/ByteSize.h"
#include "textutil/DateText.h"
#include "textutil/FolderSize.h"

#include <windows.h>

#include <cwchar>
#include <limits>

namespace {

const wchar_t kDatabaseKey[] = L"SYSTEM\\DriverDatabase\\DriverInfFiles\\";
// Where the driver database lives when its hive is loaded on its own.
const wchar_t kDriversHiveKey[] = L"DRIVERS\\DriverDatabase\\DriverInfFiles\\";
const wchar_t kRepository[] = L"DriverStore\\FileRepository\\";
const DWORD kActiveBufferBytes = 512;

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

wchar_t LowerAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Index of the first separator among the current line's characters, -1 when there is none. The
// end-of-text position a last line may reach is no character.
int SeparatorIndex(const TLineReader& reader)
{
    const int64_t size = static_cast<int64_t>(reader.Text().size());
    int64_t limit = size - reader.Start();
    if (limit > reader.Length())
        limit = reader.Length();
    for (int64_t k = 0; k < limit; ++k)
        if (reader.Text()[static_cast<size_t>(reader.Start() + k)] == L'|')
            return static_cast<int>(k);
    return -1;
}

// The next field of a row; once the line is used up, every further field is empty.
void TakeField(const TLineReader& reader, std::wstring& out, int& position, wchar_t separator)
{
    if (position == -1)
    {
        out.clear();
        return;
    }
    reader.GetToken(out, position, separator);
}

// Low 16 bits of the number the text's leading digits spell: arithmetic modulo 2^16 keeps exactly
// those bits however long the digit run is.
uint16_t LeadingNumber16(const std::wstring& text)
{
    uint32_t value = 0;
    for (size_t i = 0; i < text.size() && IsDigit(text[i]); ++i)
        value = (value * 10u + static_cast<uint32_t>(text[i] - L'0')) & 0xFFFFu;
    return static_cast<uint16_t>(value);
}

bool OpenPackageKey(const std::wstring& publishedName, HKEY* key)
{
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kDatabaseKey + publishedName).c_str(), 0, KEY_READ, key) == ERROR_SUCCESS)
        return true;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kDriversHiveKey + publishedName).c_str(), 0, KEY_READ, key) ==
           ERROR_SUCCESS;
}

} // namespace

int CompareTextNoCase(const std::wstring& first, const std::wstring& second)
{
    const size_t n = first.size() < second.size() ? first.size() : second.size();
    for (size_t i = 0; i < n; ++i)
    {
        const wchar_t a = LowerAscii(first[i]);
        const wchar_t b = LowerAscii(second[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (first.size() == second.size())
        return 0;
    return first.size() < second.size() ? -1 : 1;
}

CDlgRepoDrvItem::CDlgRepoDrvItem(CDlgRepoDrvItem* previous)
    : m_pNext(nullptr), m_nVersion(0), m_nOemNumber(0), m_nSizeOnDisk(0)
{
    if (previous != nullptr)
        previous->m_pNext = this;
}

CDlgRepoDrvItem::~CDlgRepoDrvItem()
{
    m_pNext = nullptr;
}

void CDlgRepoDrvItem::SetVersion(const std::wstring& version)
{
    m_strVersion = version;
    // Only the text up to a first CR counts, as for any line the reader walks.
    TLineReader reader(version);
    reader.NextLine();
    uint64_t packed = 0;
    int position = 0;
    std::wstring part;
    for (int i = 0; i < 4; ++i)
    {
        uint16_t value = 0;
        if (position != -1)
        {
            reader.GetToken(part, position, L'.');
            value = LeadingNumber16(part);
        }
        packed = (packed << 16) | value;
    }
    m_nVersion = packed;
}

void CDlgRepoDrvItem::ReadDriverStore()
{
    std::wstring folder;
    HKEY key = nullptr;
    // A name the table printed in any other form is not ours to put into a registry path.
    if (IsPublishedName(m_strPublishedName) && OpenPackageKey(m_strPublishedName, &key))
    {
        wchar_t active[kActiveBufferBytes / sizeof(wchar_t)] = {};
        DWORD bytes = kActiveBufferBytes;
        // A plain string only: without RRF_NOEXPAND a REG_EXPAND_SZ value would pass as REG_SZ,
        // expanded into a name the database never held.
        const LSTATUS read =
            ::RegGetValueW(key, nullptr, L"Active", RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, active, &bytes);
        ::RegCloseKey(key);
        // The value names one folder of the repository. An empty one would measure the whole
        // repository, and one with "..", a drive or a wildcard some other place: neither is the
        // package's size or date.
        if (read == ERROR_SUCCESS && IsStoreFolderName(active))
            folder = theApp.m_strSysDir + kRepository + active;
    }

    m_nSizeOnDisk = 0;
    if (!folder.empty())
    {
        GetFolderSizeOnDisk(m_nSizeOnDisk, folder, theApp.m_nClusterSize);
        WIN32_FIND_DATAW found = {};
        const HANDLE find = ::FindFirstFileW(folder.c_str(), &found);
        if (find != INVALID_HANDLE_VALUE)
        {
            ::FindClose(find);
            SYSTEMTIME time = {};
            // The date stays in UTC, as the file system keeps it.
            if (::FileTimeToSystemTime(&found.ftCreationTime, &time))
            {
                wchar_t text[32];
                std::swprintf(text, 32, L"%02d/%02d/%4d", time.wDay, time.wMonth, time.wYear);
                m_strDate = text;
            }
        }
    }

    if (m_nSizeOnDisk == 0)
        m_strSizeText.clear();
    else
        FormatByteSize(m_strSizeText, m_nSizeOnDisk);
}

bool CDlgRepoDrvItem::IsSupersededBy(const CDlgRepoDrvItem& newer) const
{
    if (CompareTextNoCase(m_strInfName, newer.m_strInfName) != 0 || CompareTextNoCase(m_strType, newer.m_strType) != 0 ||
        CompareTextNoCase(m_strProvider, newer.m_strProvider) != 0)
        return false;
    if (m_nVersion != newer.m_nVersion)
        return m_nVersion < newer.m_nVersion;
    return CompareDateDMY(m_strDate, newer.m_strDate) < 0;
}

int32_t CDlgRepoDrvItem::OemNumberOf(const std::wstring& publishedName)
{
    if (publishedName.size() <= 7)
        return 0;
    const size_t end = publishedName.size() - 4;
    int64_t value = 0;
    for (size_t i = 3; i < end && IsDigit(publishedName[i]); ++i)
    {
        value = value * 10 + (publishedName[i] - L'0');
        if (value > std::numeric_limits<int32_t>::max())
            return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

bool CDlgRepoDrvItem::IsPublishedName(const std::wstring& name)
{
    if (name.size() < 8 || name.size() > 17 || name.compare(0, 3, L"oem") != 0)
        return false;
    const size_t end = name.size() - 4;
    for (size_t i = 3; i < end; ++i)
        if (!IsDigit(name[i]))
            return false;
    return CompareTextNoCase(name.substr(end), L".inf") == 0;
}

bool CDlgRepoDrvItem::IsStoreFolderName(const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L"..")
        return false;
    // Windows drops trailing dots and blanks from a path's last name, so such a value would
    // measure another folder (the repository itself for one made of dots only).
    if (name.back() == L'.' || name.back() == L' ')
        return false;
    return name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

bool ReadDriverTable(TLineReader& reader, CDlgRepoDrvItem*& head)
{
    head = nullptr;
    // Only the header's first three characters are looked at: the rest of it is the tool's.
    bool header = false;
    while (reader.NextLine())
    {
        if (reader.Length() >= 3 && reader.StartsWith(L"Published Name |", 3))
        {
            header = true;
            break;
        }
    }
    if (!header)
        return false;
    if (!reader.NextLine())   // the rule line under the header
        return true;

    CDlgRepoDrvItem* last = nullptr;
    while (reader.NextLine())
    {
        const int separator = SeparatorIndex(reader);
        if (reader.Length() < 3 || !reader.StartsWith(L"oem", 3) || separator < 0)
            break;
        CDlgRepoDrvItem* item = new CDlgRepoDrvItem(last);
        if (head == nullptr)
            head = item;
        last = item;

        reader.GetValue(item->m_strPublishedName, 0, separator);
        item->m_nOemNumber = CDlgRepoDrvItem::OemNumberOf(item->m_strPublishedName);
        int position = separator + 1;
        std::wstring unused, version;
        TakeField(reader, item->m_strInfName, position, L'|');
        TakeField(reader, unused, position, L'|');
        TakeField(reader, item->m_strType, position, L'|');
        TakeField(reader, item->m_strProvider, position, L'|');
        TakeField(reader, item->m_strDate, position, L'|');
        TakeField(reader, version, position, L'|');
        item->SetVersion(version);
        item->ReadDriverStore();
    }
    return true;
}

void DeleteDriverList(CDlgRepoDrvItem* head)
{
    while (head != nullptr)
    {
        CDlgRepoDrvItem* next = head->m_pNext;
        delete head;
        head = next;
    }
}

// Installed store packages: inventory parsing, dependency marking, mode views and removal.
#include "pages/storeapps/DlgWsApps.h"
#include "app/App.h"
#include "app/DlgMain.h"
#include "app/Tasks.h"
#include "dialogs/DlgExecute.h"
#include "pages/storeapps/NameSearch.h"

#include <windows.h>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

namespace {

const TColumnDef StoreAppsColumns[] = {
    {L"Name", 0},   {L"Version", 1},  {L"Type", 0},      {L"Is Used", 0},
    {L"Status", 0}, {L"Bundle", 0},   {L"Signature", 0}, {L"Family", 0},
};

const TModeDef StoreAppsModes[] = {
    {L"Remove Apps", 0},
    {L"Remove Frameworks", 1},
    {L"Remove Dev. Apps", 2},
};

struct TPrefix
{
    int32_t nLength;
    const wchar_t* pszPrefix;
};

// Names of the system's own packages that must never be offered, tested in this order.
const TPrefix ProtectedAppPrefixes[] = {
    {8, L"Windows."},
    {29, L"Microsoft.DesktopAppInstaller"},
    {24, L"Microsoft.Services.Store"},
    {15, L"Microsoft.Store"},
    {22, L"Microsoft.WindowsStore"},
};

// Without the enumeration limit, the list view cuts a collection after four entries ("...}"), and
// the fifth and later dependencies would not count.
const wchar_t kInventoryCommand[] = L"powershell -command $FormatEnumerationLimit=-1; Get-AppxPackage -AllUsers";
const wchar_t kRemoveCommand[] = L"powershell -command Remove-AppxPackage -AllUsers -Package ";

// The tool prints every key left-justified in 23 columns, then ": "; values start at column 25.
const int kKeyLength = 25;
const wchar_t kName[] = L"Name                   : ";
const wchar_t kArchitecture[] = L"Architecture           : ";
const wchar_t kVersion[] = L"Version                : ";
const wchar_t kPackageFullName[] = L"PackageFullName        : ";
const wchar_t kIsFramework[] = L"IsFramework            : ";
const wchar_t kPackageFamilyName[] = L"PackageFamilyName      : ";
const wchar_t kPublisherId[] = L"PublisherId            : ";
const wchar_t kIsResourcePackage[] = L"IsResourcePackage      : ";
const wchar_t kIsBundle[] = L"IsBundle               : ";
const wchar_t kIsDevelopmentMode[] = L"IsDevelopmentMode      : ";
const wchar_t kNonRemovable[] = L"NonRemovable           : ";
const wchar_t kDependencies[] = L"Dependencies           : ";
const wchar_t kSignatureKind[] = L"SignatureKind          : ";
const wchar_t kStatus[] = L"Status                 : ";
static_assert(sizeof(kName) / sizeof(wchar_t) == kKeyLength + 1, "key width");
static_assert(sizeof(kStatus) / sizeof(wchar_t) == kKeyLength + 1, "key width");

const wchar_t kSystemPublisherId[] = L"8wekyb3d8bbwe";

bool EqualsNoCase(const std::wstring& text, const wchar_t* other)
{
    return ::CompareStringOrdinal(text.c_str(), static_cast<int>(text.size()), other, -1, TRUE) == CSTR_EQUAL;
}

// A boolean value is true unless it reads "False" in any letter case (an empty one is true).
bool IsTrue(const std::wstring& value)
{
    return !EqualsNoCase(value, L"False");
}

// Finds the next key of the record (never past the next record's "Name" line) into value.
bool FindValue(TLineReader& reader, const wchar_t* key, std::wstring& value)
{
    if (!reader.FindLine(key, kKeyLength, kName, kKeyLength))
        return false;
    reader.GetValue(value, kKeyLength, 0);
    return true;
}

bool HasProtectedPrefix(const std::wstring& name)
{
    for (const TPrefix& p : ProtectedAppPrefixes)
    {
        if (static_cast<int32_t>(name.size()) >= p.nLength &&
            ::CompareStringOrdinal(name.c_str(), p.nLength, p.pszPrefix, p.nLength, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

// Rows that are copies of one package: the same name and the same version, case for case.
struct CopyHash
{
    size_t operator()(const CDlgWsAppsItem* row) const
    {
        const std::hash<std::wstring> hash;
        return hash(row->m_strName) * 31u + hash(row->m_strVersion);
    }
};
struct SameCopy
{
    bool operator()(const CDlgWsAppsItem* a, const CDlgWsAppsItem* b) const
    {
        return a->m_strName == b->m_strName && a->m_strVersion == b->m_strVersion;
    }
};

} // namespace

CDlgWsApps::CDlgWsApps(CWnd* parent) : CDlgList(parent)
{
    m_strTitle = L"MS Store Applications";
    m_strNoun = L"apps";
    m_bNoDetailPass = true;
    m_pColumns = StoreAppsColumns;
    m_nColumns = static_cast<int>(sizeof(StoreAppsColumns) / sizeof(StoreAppsColumns[0]));
    m_pModes = StoreAppsModes;
    m_nModes = static_cast<int>(sizeof(StoreAppsModes) / sizeof(StoreAppsModes[0]));
}

CDlgWsApps::~CDlgWsApps() = default;

bool CDlgWsApps::Collect()
{
    TLineReader reader;
    if (!RunWithDialog(&reader, theApp.m_strPowerShellPath, kInventoryCommand, EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE))
        return false;
    m_nItemCount += ParseInventory(&m_pItems, reader);
    return true;   // also when nothing was listed
}

int CDlgWsApps::ParseInventory(CDlgListItem** ppHead, TLineReader& reader)
{
    int count = 0;
    while (reader.NextLine())
    {
        if (ParseRecord(ppHead, reader))
            ++count;
    }
    MarkUsedPackages(*ppHead);
    return count;
}

bool CDlgWsApps::ParseRecord(CDlgListItem** ppHead, TLineReader& reader)
{
    std::wstring name, architecture, version, fullName, value;
    if (reader.FindLine(kName, kKeyLength, nullptr, 0))
        reader.GetValue(name, kKeyLength, 0);
    FindValue(reader, kArchitecture, architecture);
    FindValue(reader, kVersion, version);
    if (!FindValue(reader, kPackageFullName, fullName))
        return false;
    // Every record is listed, whatever its full name holds: its dependencies count all the same.
    // Only the removal command line refuses a name that is not plain.

    CDlgWsAppsItem* row = new CDlgWsAppsItem(ppHead);
    row->m_strKey = fullName;
    row->m_strName = name;
    row->m_strArchitecture = architecture;
    row->m_strVersion = version;

    if (FindValue(reader, kIsFramework, value) && IsTrue(value))
        row->m_nFlags |= APP_FRAMEWORK;
    FindValue(reader, kPackageFamilyName, row->m_strPackageFamilyName);
    FindValue(reader, kPublisherId, row->m_strPublisherId);
    FindValue(reader, kIsResourcePackage, value);   // only passed over
    if (FindValue(reader, kIsBundle, value) && IsTrue(value))
        row->m_nFlags |= APP_BUNDLE;
    if (FindValue(reader, kIsDevelopmentMode, value) && IsTrue(value))
        row->m_nFlags |= APP_DEVELOPMENT_MODE;
    if (FindValue(reader, kNonRemovable, value))
    {
        if (IsTrue(value))
            row->m_nFlags |= APP_HIDDEN;
    }
    else
        row->m_nFlags |= APP_NO_NONREMOVABLE_KEY;

    if (FindValue(reader, kDependencies, row->m_strDependencies))
    {
        row->m_nFlags |= APP_HAS_DEPENDENCIES;
        // A long list wraps onto lines indented with blanks; the first line that is empty or not
        // indented ends it and stays the current line.
        while (reader.NextLine())
        {
            if (!reader.StartsWith(L" ", 1))
                break;
            reader.GetValue(value, kKeyLength - 1, 0);
            row->m_strDependencies += value;
            if (!value.empty() && value.back() == L'}')
                break;
        }
    }
    FindValue(reader, kSignatureKind, row->m_strSignatureKind);
    FindValue(reader, kStatus, row->m_strStatus);

    if (!(row->m_nFlags & APP_HIDDEN) && EqualsNoCase(row->m_strPublisherId, kSystemPublisherId))
    {
        if ((row->m_nFlags & APP_NO_NONREMOVABLE_KEY) && EqualsNoCase(row->m_strSignatureKind, L"System"))
            row->m_nFlags |= APP_HIDDEN;
        else if (HasProtectedPrefix(row->m_strName))
            row->m_nFlags |= APP_HIDDEN;
    }
    return true;
}

void CDlgWsApps::MarkUsedPackages(CDlgListItem* head)
{
    std::vector<CDlgWsAppsItem*> rows;
    for (CDlgListItem* item = head; item != nullptr; item = item->m_pNext)
        rows.push_back(static_cast<CDlgWsAppsItem*>(item));

    // Pass A: named in another package's dependencies. The names are sought inside the
    // dependency texts (case for case, anywhere in them), all names in one pass over each text:
    // a system holds thousands of packages, and name against text, pair by pair, froze the page.
    std::vector<size_t> candidates;
    std::vector<const std::wstring*> names;
    for (size_t i = 0; i < rows.size(); ++i)
    {
        if ((rows[i]->m_nFlags & (APP_USED | APP_HIDDEN)) || rows[i]->m_strKey.empty())
            continue;
        candidates.push_back(i);
        names.push_back(&rows[i]->m_strKey);
    }
    if (!candidates.empty())
    {
        TNameSearch search(names);
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i]->m_nFlags & APP_HAS_DEPENDENCIES)
                search.Scan(rows[i]->m_strDependencies, static_cast<uint32_t>(i));
        for (size_t k = 0; k < candidates.size(); ++k)
            if (search.FoundOutside(k, static_cast<uint32_t>(candidates[k])))
                rows[candidates[k]]->m_nFlags |= APP_USED;
    }

    // Pass B: copies (the same name and version, another architecture) of a package marked by
    // pass A. Matching against pass A's result alone keeps the outcome free of the row order.
    std::unordered_set<const CDlgWsAppsItem*, CopyHash, SameCopy> used;
    for (const CDlgWsAppsItem* row : rows)
        if (row->m_nFlags & APP_USED)
            used.insert(row);
    if (used.empty())
        return;
    for (CDlgWsAppsItem* x : rows)
    {
        // A row of pass A's set is itself marked, so a match is always another row.
        if (!(x->m_nFlags & (APP_USED | APP_HIDDEN)) && used.count(x) != 0)
            x->m_nFlags |= APP_USED;
    }
}

bool CDlgWsApps::PrepareCommit(int, int*)
{
    return true;
}

bool CDlgWsApps::IsItemShown(int mode, CDlgListItem* item)
{
    const uint32_t flags = static_cast<CDlgWsAppsItem*>(item)->m_nFlags;
    if (flags & APP_HIDDEN)
        return false;
    switch (mode)
    {
    case 0:
        return (flags & (APP_DEVELOPMENT_MODE | APP_FRAMEWORK)) == 0;
    case 1:
        return (flags & APP_FRAMEWORK) != 0 && (flags & APP_DEVELOPMENT_MODE) == 0;
    case 2:
        return (flags & APP_DEVELOPMENT_MODE) != 0;
    default:
        return false;
    }
}

bool CDlgWsApps::CommitItem(int mode, CDlgListItem* item, int)
{
    CDlgWsAppsItem* row = static_cast<CDlgWsAppsItem*>(item);
    // Another package needs it: skipped, and the commit goes on with the next row.
    if (row->m_nFlags & APP_USED)
        return true;
    if (mode < 0 || mode > 2)
        return false;
    // The full name goes onto the command line unquoted: anything but a plain package name runs
    // nothing and stops the commit like a failed removal.
    if (!IsPlainPackageName(row->m_strKey))
    {
        m_refusedNames.Add(row->m_strKey);
        return false;
    }
    const bool removed = RunRemoval(this, kRemoveCommand + row->m_strKey);
    // A removed developer package stays listed until the next Refresh.
    if (removed && mode != 2)
        row->m_nFlags |= APP_HIDDEN;
    return removed;
}

bool CDlgWsApps::IsPlainPackageName(const std::wstring& name)
{
    if (name.empty() || name[0] == L'-')
        return false;
    for (wchar_t c : name)
    {
        const bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                           c == L'.' || c == L'_' || c == L'~' || c == L'-';
        if (!plain)
            return false;
    }
    return true;
}

bool CDlgWsApps::RunRemoval(CWnd* parent, const std::wstring& commandLine)
{
    // The runner cannot take an empty program path, and no exception may cross the window
    // procedures of the page's modal loop.
    if (theApp.m_strPowerShellPath.empty())
        return false;
    std::unique_ptr<CDlgExecute> dlg(
        new CDlgExecute(parent, theApp.m_strPowerShellPath, commandLine, EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR));
    dlg->DoModal();
    return dlg->Succeeded();
}

bool IsPowerShellPresentWin10()
{
    if (!IsWindowsVersionOrGreater(10, 0))
        return false;
    return IsFilePresent(theApp.m_strPowerShellPath);
}

bool TaskStoreApps()
{
    std::unique_ptr<CDlgWsApps> page(new CDlgWsApps(theApp.m_pMainDlg));
    page->DoModal();
    return true;
}

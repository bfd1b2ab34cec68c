// Provisioned store packages: inventory parsing, the one view and removal.
#include "pages/storeapps/DlgWsPrvApps.h"
#include "pages/storeapps/DlgWsApps.h"
#include "app/App.h"
#include "app/DlgMain.h"
#include "dialogs/DlgExecute.h"

#include <windows.h>
#include <memory>

namespace {

const TColumnDef ProvisionedAppsColumns[] = {
    {L"Name", 0},
    {L"Version", 1},
    {L"Type", 1},
};

const TModeDef ProvisionedAppsModes[] = {
    {L"Remove", 0},
};

struct TPrefix
{
    int32_t nLength;
    const wchar_t* pszPrefix;
};

// The store's own packages, tested in this order. Unlike installed packages, provisioned
// "Windows." packages are offered.
const TPrefix ProtectedProvisionedPrefixes[] = {
    {29, L"Microsoft.DesktopAppInstaller"},
    {24, L"Microsoft.Services.Store"},
    {15, L"Microsoft.Store"},
    {22, L"Microsoft.WindowsStore"},
};

const wchar_t kInventoryCommand[] = L"powershell -command Get-AppxProvisionedPackage -Online";
const wchar_t kRemoveCommand[] = L"powershell -command Remove-AppxProvisionedPackage -Online -AllUsers -PackageName ";

// Keys left-justified in 13 columns, then ": "; values start at column 15.
const int kKeyLength = 15;
const wchar_t kDisplayName[] = L"DisplayName  : ";
const wchar_t kVersion[] = L"Version      : ";
const wchar_t kArchitecture[] = L"Architecture : ";
const wchar_t kPackageName[] = L"PackageName  : ";
static_assert(sizeof(kDisplayName) / sizeof(wchar_t) == kKeyLength + 1, "key width");
static_assert(sizeof(kArchitecture) / sizeof(wchar_t) == kKeyLength + 1, "key width");

// Finds the next key of the record (never past the next record's "DisplayName" line) into value.
bool FindValue(TLineReader& reader, const wchar_t* key, std::wstring& value)
{
    if (!reader.FindLine(key, kKeyLength, kDisplayName, kKeyLength))
        return false;
    reader.GetValue(value, kKeyLength, 0);
    return true;
}

bool HasProtectedPrefix(const std::wstring& name)
{
    for (const TPrefix& p : ProtectedProvisionedPrefixes)
    {
        if (static_cast<int32_t>(name.size()) >= p.nLength &&
            ::CompareStringOrdinal(name.c_str(), p.nLength, p.pszPrefix, p.nLength, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

} // namespace

CDlgWsPrvApps::CDlgWsPrvApps(CWnd* parent) : CDlgList(parent)
{
    m_strTitle = L"MS Store Provisioned Applications";
    m_strNoun = L"provisioned apps";
    m_bNoDetailPass = true;
    m_pColumns = ProvisionedAppsColumns;
    m_nColumns = static_cast<int>(sizeof(ProvisionedAppsColumns) / sizeof(ProvisionedAppsColumns[0]));
    m_pModes = ProvisionedAppsModes;
    m_nModes = static_cast<int>(sizeof(ProvisionedAppsModes) / sizeof(ProvisionedAppsModes[0]));
}

CDlgWsPrvApps::~CDlgWsPrvApps() = default;

bool CDlgWsPrvApps::Collect()
{
    TLineReader reader;
    if (!RunWithDialog(&reader, theApp.m_strPowerShellPath, kInventoryCommand, EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE))
        return false;
    m_nItemCount += ParseInventory(&m_pItems, reader);
    return true;   // also when nothing was listed
}

int CDlgWsPrvApps::ParseInventory(CDlgListItem** ppHead, TLineReader& reader)
{
    int count = 0;
    while (reader.NextLine())
    {
        if (ParseRecord(ppHead, reader))
            ++count;
    }
    return count;
}

bool CDlgWsPrvApps::ParseRecord(CDlgListItem** ppHead, TLineReader& reader)
{
    std::wstring displayName, version, architecture, packageName;
    if (!reader.FindLine(kDisplayName, kKeyLength, nullptr, 0))
        return false;
    reader.GetValue(displayName, kKeyLength, 0);
    if (HasProtectedPrefix(displayName))
        return false;
    FindValue(reader, kVersion, version);
    FindValue(reader, kArchitecture, architecture);
    if (!FindValue(reader, kPackageName, packageName))
        return false;

    CDlgWsPrvAppsItem* row = new CDlgWsPrvAppsItem(ppHead);
    row->m_strKey = packageName;
    row->m_strDisplayName = displayName;
    row->m_strVersion = version;
    row->m_strArchitecture = architecture;
    return true;
}

bool CDlgWsPrvApps::PrepareCommit(int, int*)
{
    return true;
}

bool CDlgWsPrvApps::IsItemShown(int mode, CDlgListItem* item)
{
    return mode == 0 && (static_cast<CDlgWsPrvAppsItem*>(item)->m_nFlags & PRVAPP_REMOVED) == 0;
}

bool CDlgWsPrvApps::CommitItem(int mode, CDlgListItem* item, int)
{
    CDlgWsPrvAppsItem* row = static_cast<CDlgWsPrvAppsItem*>(item);
    if (mode != 0)
        return false;
    // The name goes onto the command line unquoted: only a plain package name may get there.
    if (!CDlgWsApps::IsPlainPackageName(row->m_strKey))
    {
        m_refusedNames.Add(row->m_strKey);
        return false;
    }
    const bool removed = CDlgWsApps::RunRemoval(this, kRemoveCommand + row->m_strKey);
    if (removed)
        row->m_nFlags |= PRVAPP_REMOVED;
    return removed;
}

bool TaskProvisionedApps()
{
    std::unique_ptr<CDlgWsPrvApps> page(new CDlgWsPrvApps(theApp.m_pMainDlg));
    page->DoModal();
    return true;
}

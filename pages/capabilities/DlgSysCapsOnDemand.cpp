// The capabilities page: the inventory and its parser, the modes, the status line and the commits.
#include "pages/capabilities/DlgSysCapsOnDemand.h"
#include "app/App.h"
#include "app/DlgMain.h"
#include "dialogs/DlgExecute.h"
#include "textutil/ByteSize.h"

#include <cstdint>
#include <memory>

namespace {

const TColumnDef CapabilityColumns[] = {
    {L"Capability", 0},
    {L"Status", 1},
    {L"Download", 1},
    {L"Install", 1},
};

const TModeDef CapabilityModes[] = {
    {L"Add", CAPS_MODE_ADD},
    {L"Remove", CAPS_MODE_REMOVE},
    {L"Get Information", CAPS_MODE_INFO},
};

const wchar_t kInventoryCommand[] = L"dism /online /get-capabilities /english";
const wchar_t kIdentityKey[] = L"Capability Identity : ";
const int kIdentityKeyLength = 22;

struct TCommitCommand
{
    int nMode;
    const wchar_t* pszPrefix;   // the identity follows it directly
    unsigned nFlags;
};

// Add and remove close their window once they succeed; the information window stays open to be read.
const TCommitCommand CommitCommands[] = {
    {CAPS_MODE_ADD, L"dism /english /online /add-capability /capabilityname=",
     EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR},
    {CAPS_MODE_REMOVE, L"dism /english /online /remove-capability /capabilityname=",
     EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE | EXEC_COLLAPSE_CR},
    {CAPS_MODE_INFO, L"dism /english /online /get-capabilityinfo /capabilityname=", EXEC_HIDE_CONSOLE},
};

// Sizes parsed from garbage may sit at the largest value; their sum stays there too.
uint64_t AddSizes(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

} // namespace

CDlgSysCapsOnDemand::CDlgSysCapsOnDemand(CWnd* parent) : CDlgList(parent)
{
    m_strTitle = L"Windows Capabilities on Demand";
    m_strNoun = L"capabilities";
    m_pColumns = CapabilityColumns;
    m_nColumns = static_cast<int>(sizeof(CapabilityColumns) / sizeof(CapabilityColumns[0]));
    m_pModes = CapabilityModes;
    m_nModes = static_cast<int>(sizeof(CapabilityModes) / sizeof(CapabilityModes[0]));
}

CDlgSysCapsOnDemand::~CDlgSysCapsOnDemand() = default;

bool CDlgSysCapsOnDemand::Collect()
{
    TLineReader reader;
    if (!RunWithDialog(&reader, theApp.m_strDismPath, kInventoryCommand, EXEC_CLOSE_ON_SUCCESS | EXEC_HIDE_CONSOLE))
        return false;
    ParseInventory(reader);
    return true;
}

int CDlgSysCapsOnDemand::ParseInventory(TLineReader& reader)
{
    // Only the identities are taken: state and sizes come from each row's own detail query.
    int made = 0;
    std::wstring identity;
    while (reader.NextLine())
    {
        if (reader.Length() < kIdentityKeyLength || !reader.StartsWith(kIdentityKey, kIdentityKeyLength))
            continue;
        // Every identity makes a row as the tool printed it; the command lines refuse the unsafe ones.
        reader.GetValue(identity, kIdentityKeyLength, 0);
        CDlgSysCapsOnDemandItem* item = new CDlgSysCapsOnDemandItem(&m_pItems);
        item->m_strKey = identity;
        ++m_nItemCount;
        ++made;
    }
    return made;
}

void CDlgSysCapsOnDemand::UpdateStatus()
{
    const int rows = m_list.GetItemCount();
    int ticked = 0;
    uint64_t download = 0;
    uint64_t install = 0;
    for (int i = 0; i < rows; ++i)
    {
        if (!m_list.GetCheck(i))
            continue;
        ++ticked;
        const CDlgSysCapsOnDemandItem* item =
            static_cast<const CDlgSysCapsOnDemandItem*>(reinterpret_cast<CDlgListItem*>(m_list.GetItemData(i)));
        if (item != nullptr)
        {
            download = AddSizes(download, item->m_nDownloadSize);
            install = AddSizes(install, item->m_nInstallSize);
        }
    }
    std::wstring downloadText, installText;
    FormatByteSize(downloadText, download);
    FormatByteSize(installText, install);
    m_stStatus.SetWindowText(L"Selected items: " + std::to_wstring(ticked) + L"/" + std::to_wstring(rows) + L"  " +
                             downloadText + L"  " + installText);
}

bool CDlgSysCapsOnDemand::PrepareCommit(int, int*)
{
    return true;
}

bool CDlgSysCapsOnDemand::IsItemShown(int mode, CDlgListItem* item)
{
    const bool installed = static_cast<const CDlgSysCapsOnDemandItem*>(item)->m_bInstalled;
    switch (mode)
    {
    case CAPS_MODE_ADD:
        return !installed;
    case CAPS_MODE_REMOVE:
        return installed;
    case CAPS_MODE_INFO:
        return true;
    default:
        return false;
    }
}

bool CDlgSysCapsOnDemand::BuildCommitCommand(int mode, const std::wstring& identity, std::wstring& commandLine,
                                             unsigned& flags)
{
    std::wstring name;
    if (!CommandIdentity(identity, name))
        return false;
    for (const TCommitCommand& command : CommitCommands)
    {
        if (command.nMode == mode)
        {
            commandLine = command.pszPrefix + name;
            flags = command.nFlags;
            return true;
        }
    }
    return false;
}

bool CDlgSysCapsOnDemand::CommitItem(int mode, CDlgListItem* item, int)
{
    std::wstring commandLine;
    unsigned flags = 0;
    if (item == nullptr)
        return false;
    if (!BuildCommitCommand(mode, item->m_strKey, commandLine, flags))
    {
        // A known mode that built nothing refused the name: nothing ran, and the commit stops as
        // at a failed command.
        std::wstring identity;
        if (mode >= CAPS_MODE_ADD && mode <= CAPS_MODE_INFO && !CommandIdentity(item->m_strKey, identity))
            m_refusedNames.Add(item->m_strKey);
        return false;
    }
    // The runner cannot start an empty path, and nothing ran is no success.
    if (theApp.m_strDismPath.empty())
        return false;
    std::unique_ptr<CDlgExecute> dlg(new CDlgExecute(this, theApp.m_strDismPath, commandLine, flags));
    dlg->DoModal();
    return dlg->Succeeded();
}

bool TaskCapabilitiesOnDemand()
{
    std::unique_ptr<CDlgSysCapsOnDemand> page(new CDlgSysCapsOnDemand(theApp.m_pMainDlg));
    page->DoModal();
    return true;
}

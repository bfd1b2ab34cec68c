// The "Windows Capabilities on Demand" page: optional capabilities to add, remove or inspect.
#pragma once

#include "dialogs/DlgList.h"
#include "pages/capabilities/DlgSysCapsOnDemandItem.h"

#include <string>

// The page's modes; they are the combo entries' item data.
enum
{
    CAPS_MODE_ADD = 0,
    CAPS_MODE_REMOVE = 1,
    CAPS_MODE_INFO = 2,
};

class CDlgSysCapsOnDemand : public CDlgList
{
public:
    explicit CDlgSysCapsOnDemand(CWnd* parent);
    ~CDlgSysCapsOnDemand() override;

    bool Collect() override;
    void UpdateStatus() override;
    // Nothing to ask before adding, removing or showing: always true.
    bool PrepareCommit(int mode, int* pParam) override;
    bool IsItemShown(int mode, CDlgListItem* item) override;
    bool CommitItem(int mode, CDlgListItem* item, int param) override;

    // Makes one row per "Capability Identity : " line of an inventory text, with the identity as
    // printed; returns how many rows it made.
    int ParseInventory(TLineReader& reader);

    // The command line and command-window flags of a mode for one identity; false (and nothing
    // to run) for an unknown mode or an identity that is not safe (CommandIdentity).
    static bool BuildCommitCommand(int mode, const std::wstring& identity, std::wstring& commandLine,
                                   unsigned& flags);
};

// The task "Capabilities on Demand": opens the page over the main dialog. Always true.
bool TaskCapabilitiesOnDemand();

// Critical section wrapper.
#include "runner/SysCriticalSection.h"

TSysCriticalSection::TSysCriticalSection()
{
    ::InitializeCriticalSection(&m_Section);
}

TSysCriticalSection::~TSysCriticalSection()
{
    // Entering once more makes the delete wait for a holder that is about to leave; leaving again
    // before deleting keeps the delete on an unowned section, the only state it is defined for.
    ::EnterCriticalSection(&m_Section);
    ::LeaveCriticalSection(&m_Section);
    ::DeleteCriticalSection(&m_Section);
}

void TSysCriticalSection::Lock()
{
    ::EnterCriticalSection(&m_Section);
}

void TSysCriticalSection::Unlock()
{
    ::LeaveCriticalSection(&m_Section);
}

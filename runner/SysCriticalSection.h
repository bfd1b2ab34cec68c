// TSysCriticalSection: the lock of one runner.
#pragma once

#include <windows.h>

class TSysCriticalSection
{
public:
    TSysCriticalSection();
    // Waits until nobody holds the section before deleting it.
    ~TSysCriticalSection();
    TSysCriticalSection(const TSysCriticalSection&) = delete;
    TSysCriticalSection& operator=(const TSysCriticalSection&) = delete;

    virtual void Lock();
    virtual void Unlock();

    CRITICAL_SECTION m_Section;
};

// Holds a lock for one scope.
class TSysLockGuard
{
public:
    explicit TSysLockGuard(TSysCriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
    ~TSysLockGuard() { m_cs.Unlock(); }
    TSysLockGuard(const TSysLockGuard&) = delete;
    TSysLockGuard& operator=(const TSysLockGuard&) = delete;

private:
    TSysCriticalSection& m_cs;
};

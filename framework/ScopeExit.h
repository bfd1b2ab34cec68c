// Runs a piece of code when a scope ends, however it ends: for state that a loop must give back
// even when an exception breaks it off.
#pragma once

#include "framework/WinApp.h"

#include <exception>
#include <utility>

template <class F>
class TScopeExit
{
public:
    explicit TScopeExit(F action) : m_action(std::move(action)) {}
    // An exception may not leave a destructor (the program would end), nor pass unseen: one thrown
    // by the action is told to the user like any other.
    ~TScopeExit()
    {
        try
        {
            m_action();
        }
        catch (const std::exception& e)
        {
            AfxReportException(&e);
        }
        catch (...)
        {
            AfxReportException(nullptr);
        }
    }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F m_action;
};

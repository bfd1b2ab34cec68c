// Detached program start and the user-interface thread's message pump.
#pragma once

#include <string>

// Starts "program" (quoted) followed by a blank and the arguments, without waiting and without
// keeping any handle. True when the program was started.
bool LaunchDetached(const std::wstring& program, const std::wstring& arguments);

// Dispatches the calling thread's queued messages, at most once per change of the system tick count.
void PumpMessages();

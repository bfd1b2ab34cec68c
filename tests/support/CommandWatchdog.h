// A watchdog for window tests: a command window that has finished and is left open with no test
// action on it is one the test did not expect (a wrong command line, a failure nobody waits
// for). Without it the page under test waits on that window until the test run's time-out, and
// the reason is never printed.
#pragma once

#include <windows.h>

namespace testsupport {

// From now on, an "Executing Command..." window of this thread that shows its result line for
// longer than `graceMs` fails the running test, naming its command line, and is closed.
void StartCommandWatchdog(DWORD graceMs = 10000);
// Stops watching and forgets every window seen.
void StopCommandWatchdog();

} // namespace testsupport

// A watchdog for window tests. A test that expects a command to fail closes its window soon
// after the result line shows; a finished command window left open for long is one the test
// did not expect (a wrong command line, a failure nobody waits for). Without the watchdog the
// page under test would wait on that window until the test run's time-out, and the reason would
// never be printed.
#pragma once

#include <windows.h>

namespace testsupport {

// From now on, an "Executing Command..." window of this thread that shows its result line for
// longer than `graceMs` fails the running test, naming its command line, and is closed.
void StartCommandWatchdog(DWORD graceMs = 10000);
// Stops watching and forgets every window seen.
void StopCommandWatchdog();

} // namespace testsupport

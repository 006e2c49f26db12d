// Console control events set a flag that the main loop polls. Windows ends
// the process when the handler of a close event returns, so that handler
// waits (a little less than the system's five seconds) until the program has
// shut down; Ctrl-C and Ctrl-Break return at once.
#include "StopRequest.h"

#include <windows.h>

namespace {

volatile LONG requested = 0;
volatile LONG handled = 0;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        InterlockedExchange(&requested, 1);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        InterlockedExchange(&requested, 1);
        for (int waited = 0; waited < 4500 && InterlockedCompareExchange(&handled, 0, 0) == 0; waited += 10)
            Sleep(10);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void installStopRequestHandlers()
{
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool stopRequested()
{
    return InterlockedCompareExchange(&requested, 0, 0) != 0;
}

void stopRequestHandled()
{
    InterlockedExchange(&handled, 1);
}

// Console control events and the end of the session set a flag that the main
// loop polls. Windows ends the process when the handler of a close event
// returns, so that handler waits (a little less than the system's five
// seconds) until the program has shut down; Ctrl-C and Ctrl-Break return at
// once. The end of a session reaches the program's windows as messages on
// its main thread, where nothing can wait for the loop: the program's finish
// action runs there instead, and the process ends right after it, as the
// system would end it once the message is answered. Not a frame more is
// begun: under Wine a process ended while its GL renderer's threads still
// drew crashed (status 139) in the renderer's teardown.
#include "StopRequest.h"

#include <windows.h>

namespace {

volatile LONG requested = 0;
volatile LONG handled = 0;
std::function<void()> sessionEndAction;

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

// A hidden top-level window hears of the session's end, as programs without
// a console do.
LRESULT CALLBACK onSessionMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        InterlockedExchange(&requested, 1);
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) {
            InterlockedExchange(&requested, 1);
            if (InterlockedCompareExchange(&handled, 0, 0) == 0 && sessionEndAction) {
                sessionEndAction();
                TerminateProcess(GetCurrentProcess(), 0);
            }
        }
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void listenForSessionEnd()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = onSessionMessage;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"telemetry-overlay-session";
    if (RegisterClassW(&windowClass))
        CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                        windowClass.hInstance, nullptr);
}

} // namespace

void installStopRequestHandlers()
{
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    listenForSessionEnd();
}

bool stopRequested()
{
    return InterlockedCompareExchange(&requested, 0, 0) != 0;
}

void stopRequestHandled()
{
    InterlockedExchange(&handled, 1);
}

void setSessionEndAction(std::function<void()> finish)
{
    sessionEndAction = std::move(finish);
}

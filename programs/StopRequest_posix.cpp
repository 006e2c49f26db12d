// SIGINT, SIGTERM and SIGHUP (the terminal closed, the login session ended)
// set a flag that the main loop polls.
#include "StopRequest.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t requested = 0;

void onStopSignal(int)
{
    requested = 1;
}

} // namespace

void installStopRequestHandlers()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool stopRequested()
{
    return requested != 0;
}

void stopRequestHandled()
{
}

void setSessionEndAction(std::function<void()> /*finish*/)
{
}

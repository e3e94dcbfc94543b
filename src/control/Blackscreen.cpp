#include "control/Blackscreen.h"

#include "shell/Kalvo.h"

// The black window and monitor power come with the remote-control work.
void Blackscreen::EnableBlackscreen() {}
void Blackscreen::OpenBlackscreen() {}
void Blackscreen::LeaveBlackscreen() {}
void Blackscreen::CheckMonitorPower(int) {}

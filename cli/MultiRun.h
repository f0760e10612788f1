// "version" and "update" on several ports at once: one thread, port object,
// loader and view each, so that nothing of one operation is shared with
// another, and one port's failure never stops or slows the others.
#pragma once

#include <ostream>

#include "CliArgs.h"
#include "PortMap.h"
#include "TerminalView.h"

// One operation on each of Options.Ports; the results, then a summary table.
// Returns 0 when every port succeeded, else the status of the first failure
// in the order the ports were given. Redraw: one line a port redrawn in
// place (Mode Terminal on a terminal that takes it).
int RunOnPorts(const TCliOptions& Options, TOutputMode Mode, bool Redraw,
               const TPortMapSource& PortMaps, std::ostream& Out, std::ostream& Err);

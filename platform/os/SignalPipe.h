#pragma once

#include <initializer_list>
#include <string>

namespace tavrelo::os {

// Signals as bytes on a descriptor, for a program whose event loop watches
// descriptors: a signal routed here no longer ends the process; each time it
// arrives its number waits on the descriptor until takeSignal() reads it.
// Every call routes more signals to the same descriptor, which it returns;
// -1, with `error`, when no pipe could be made.
int routeSignals(std::initializer_list<int> numbers, std::string& error);

// The next signal waiting on `fd` (from routeSignals); 0 when none waits.
int takeSignal(int fd);

}  // namespace tavrelo::os

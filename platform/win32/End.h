#pragma once

#include <functional>

// VB's End statement: the program ends at once. No further handler runs (the
// window's unload handler included), nothing is sent to any drive, no
// destructor runs. Returns only while a test has put its own ending in place.
void End();

namespace tavrelo::win32 {

// Replaces what End does; an empty function puts the real ending back.
void setEndForTesting(std::function<void()> ending);

}  // namespace tavrelo::win32

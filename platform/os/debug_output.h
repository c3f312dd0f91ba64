// The process-wide debug sink standing in for the debugger output.
//
// Where it goes: the file named by $KELO_DEBUG_OUTPUT (appended), standard error when that
// variable is "-", nowhere otherwise. Tests may install a hook that receives every line.
#pragma once
#include <functional>
#include <string_view>

namespace kelo::platform {

void DebugOutput(std::string_view text);

// Installs (or, with an empty function, removes) a hook called with every text, in addition
// to the sink above. Used by tests.
void SetDebugOutputHook(std::function<void(std::string_view)> hook);

}  // namespace kelo::platform

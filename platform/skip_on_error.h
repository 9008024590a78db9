// Skip-on-error: a step that fails at run time is abandoned without a message and the next
// step runs.
//
// The rule, for every place that runs steps this way (the main window's start-up, opening a web
// page, the steps of module Function, the Win32 host's event handlers): an ordinary error, any
// std::exception, is swallowed here; anything else passes on. Ending the program (which the
// simulation throws as an object of its own) is not a failure and is never held back, and
// neither is a test's complaint about a message box it did not script.
#pragma once

#include <exception>
#include <utility>

namespace tidewick {

template <class Step>
void SkipOnError(Step&& step) {
  try {
    std::forward<Step>(step)();
  } catch (const std::exception&) {
    // Abandoned, as the step's caller wants; the next step runs.
  }
}

}  // namespace tidewick

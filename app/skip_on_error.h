// Skip-on-error: a step that fails at run time is abandoned without a message and the next
// step runs. Ending the program is not a failure and is never held back.
#pragma once

#include <exception>

namespace tidewick {

template <class Step>
void SkipOnError(Step&& step) {
  try {
    step();
  } catch (const std::exception&) {
    // Abandoned, as the step's caller wants; the next step runs.
  }
}

}  // namespace tidewick

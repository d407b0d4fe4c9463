// The server's names for the one result type of the program: a value, or a failure with a
// reason a person can read.
#pragma once

#include "outcome.h"

namespace tonalyx {

template <class T> using TResult = TOutcome<T>;
using TStatus = TOutcome<void>;

} // namespace tonalyx

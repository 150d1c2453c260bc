// COM for the test's thread, for as long as the object lives: the shell's own
// scope guard (framework/Handles.h), under the name the tests have used.
#pragma once

#include "framework/Handles.h"

namespace kivra::testing {

using kivra::ComScope;

}  // namespace kivra::testing

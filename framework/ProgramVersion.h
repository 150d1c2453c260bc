// The program's version as the shell writes it: in the start banner, the
// About box, the crash report and the check command's help. The numbers
// themselves are resources/Version.h's, which the version resource reads too.
#pragma once

#include "resources/Version.h"

namespace kivra {

constexpr wchar_t kProgramVersion[] = L"" KIVRA_VERSION_TEXT;

}  // namespace kivra

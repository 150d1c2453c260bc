// The program's version, written once for the resource script's VERSIONINFO
// and for the C++ code (the start banner). Plain #defines, so that the
// resource compiler reads them too.
#pragma once

#define KIVRA_VERSION_MAJOR 5
#define KIVRA_VERSION_MINOR 0
#define KIVRA_VERSION_BUILD 1
#define KIVRA_VERSION_PATCH 2
#define KIVRA_VERSION_TEXT "V5.0.1.2"

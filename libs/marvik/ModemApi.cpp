// marvik.dll's C interface (sdk/marvik.h).
#include "marvik.h"

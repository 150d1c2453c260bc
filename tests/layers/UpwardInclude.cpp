// Compiled by the layer checks (CMakeLists.txt beside it) inside one layer,
// with a header of a layer above it: the build must not find that header.
#include KIVRA_UPWARD_HEADER

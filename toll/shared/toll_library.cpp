// libToll.so is made of the static library `toll`, taken whole; this file
// only gives the shared library target a source of its own.
#include "toll/toll.h"

#include "version.h"

// Linked straight into the executable (not through the library), so the
// linker keeps it although no code reads it.
const char kVersionText[] = "rdserver_ext " RDEXT_VERSION;

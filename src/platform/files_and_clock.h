#pragma once

// Only for the two -check files that still name it; they include
// platform/files.h (and clock.h) directly once their rework lands, and this
// file goes.
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process_paths.h"

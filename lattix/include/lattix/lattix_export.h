// Export macro of the Lattix shared library.
#pragma once

#include "zam_export.h"

#define LATTIX_API ZAM_EXPORT

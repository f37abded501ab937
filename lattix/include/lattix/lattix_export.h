// Export macro of the Lattix shared library.
#pragma once

#define LATTIX_API __attribute__((visibility("default")))

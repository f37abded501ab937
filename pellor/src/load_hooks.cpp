// Load and unload hooks of the shared library: find the drivers on load, close on unload.
#include "lifecycle.h"

namespace {

__attribute__((constructor)) void pellor_on_load() { pellor::initialise(); }

__attribute__((destructor)) void pellor_on_unload() { pellor::close(); }

}  // namespace

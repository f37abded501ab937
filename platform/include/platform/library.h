// Shared libraries loaded by name at run time (LoadLibrary / GetProcAddress / FreeLibrary).
#pragma once

#include <string>
#include <vector>

namespace platform {

using library_handle = void*;

// Loads a library. A name with a folder is used as given. A bare name is looked for next to
// the calling module, next to the program, then on the system's search path. A Windows name
// "Name.dll" also tries "libName.so" and "Name.so", so settings files written for a station
// keep working. nullptr on failure; library_error() tells why.
library_handle load_library(const std::string& name);

// Finds an exported symbol; nullptr when absent.
void* find_symbol(library_handle library, const char* symbol);

// Unloads a library loaded by load_library; a null handle is ignored.
void unload_library(library_handle library);

// A symbol exported by the program or any library already loaded globally; nullptr when none.
void* find_process_symbol(const char* symbol);

// The folder of the module (program or shared library) that holds the platform layer's code
// in this process; empty when the system cannot tell.
std::string module_folder();

// The reason of the last failed load on this thread.
std::string library_error();

// The file-name pattern of shared libraries: "*.dll" on Windows, "lib*.so" elsewhere.
const char* shared_library_pattern();

// File names tried for a bare library name, in order: the name itself, then for
// "Name.dll" also "libName.so" and "Name.so".
std::vector<std::string> library_file_names(const std::string& name);

}  // namespace platform

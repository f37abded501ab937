// The operator-input kinds vexo builds: the silent kind only.
#include <new>

#include "ui/dummy_user_input.h"

namespace vexo {

CVEXOUserInput* make_user_input(VEXO_UI_TYPE_t type, bool* out_of_memory) {
  if (type != VEXO_UI_TYPE_SILENT) return nullptr;
  CVEXOUserInput* made = new (std::nothrow) CDummyUserInput();
  *out_of_memory = made == nullptr;
  return made;
}

}  // namespace vexo

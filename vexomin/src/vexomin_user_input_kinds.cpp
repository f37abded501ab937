// The operator-input kinds vexomin builds: the dialog kind only.
#include <new>

#include "dialog_user_input.h"

namespace vexo {

CVEXOUserInput* make_user_input(VEXO_UI_TYPE_t type, bool* out_of_memory) {
  if (type != VEXO_UI_TYPE_DIALOG) return nullptr;
  CVEXOUserInput* made = new (std::nothrow) CDialogUserInput();
  *out_of_memory = made == nullptr;
  return made;
}

}  // namespace vexo

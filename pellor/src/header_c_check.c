/* The public header compiled as plain C: the framework may bind the tables from C. */
#include "pellor/pellor.h"

/* Slot counts as seen from C; the C++ side compares them with its own view. */
int pellor_c_table_slots(int which) {
  switch (which) {
    case 0: return (int)(sizeof(CONFIG_DRIVER_INTERFACE_t) / sizeof(void*));
    case 1: return (int)(sizeof(ZAM_LIB_INTERFACE_t) / sizeof(void*));
    case 2: return (int)(sizeof(KEP_LIB_INTERFACE_t) / sizeof(void*));
    default: return (int)sizeof(PELLOR_CARD_COMMAND_PACKET_t);
  }
}

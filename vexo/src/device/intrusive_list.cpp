// The framework's intrusive doubly linked list.
#include "device/intrusive_list.h"

namespace vexo {

void init_list(item_list& list) {
  list.sentinel.next = &list.sentinel;
  list.sentinel.previous = &list.sentinel;
  list.sentinel.owner = &list;
  list.count = 0;
  list.state = list_set_up;
}

void append_to_list(item_list& list, list_item& item) {
  item.owner = &list;
  item.next = &list.sentinel;
  item.previous = list.sentinel.previous;
  list.sentinel.previous->next = &item;
  list.sentinel.previous = &item;
  ++list.count;
}

}  // namespace vexo

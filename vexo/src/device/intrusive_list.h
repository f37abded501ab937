// The framework's intrusive doubly linked list: a sentinel item, a count and a set-up mark.
#pragma once

#include <cstdint>

namespace vexo {

struct list_item {
  list_item* next;
  list_item* previous;
  void* owner;  // the list the item belongs to
};

struct item_list {
  list_item sentinel;
  uint32_t count;
  uint32_t state;  // list_set_up once initialised
};

inline constexpr uint32_t list_set_up = 1;

// Makes the list empty: the sentinel points at itself.
void init_list(item_list& list);

// Links an item at the end of the list.
void append_to_list(item_list& list, list_item& item);

}  // namespace vexo

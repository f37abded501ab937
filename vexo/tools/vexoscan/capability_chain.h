// The capability chain of one function: both lists read entry by entry, each entry with the
// length the framework's first/next walk gives it, or marked where the framework refuses it.
#pragma once

#include <string>
#include <vector>

#include "vexo.h"

namespace vexoscan {

struct chain_entry {
  unsigned offset = 0;
  unsigned id = 0;
  bool described = false;  // the framework's walk handed out this entry
  unsigned length = 0;     // its length there
};

struct capability_chain {
  std::vector<chain_entry> entries;
  std::string stop;  // why the chain was cut short ("list loops at 0x40"); empty at its end
};

// Reads the PCI list (from the pointer at 0x34) and, for a PCI Express function, the
// extended list (from 0x100), following each next pointer. A loop, a pointer out of its
// list's range or a read that fails ends the chain with a reason.
capability_chain read_capability_chain(VEXO_DEVICE_HANDLE_t dev);

// The chain as "offset:id(length)" items separated by blanks; an entry the framework's walk
// does not describe (an ID it refuses, or one it never reached past such an ID) shows "(?)"
// as its length. "(none)" for an empty chain; a reason it was cut short comes last in
// brackets.
std::string capability_list(VEXO_DEVICE_HANDLE_t dev);

}  // namespace vexoscan

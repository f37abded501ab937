// The DAT reader's notes, kept per record by the record's address.
#include "dat/dat_notes.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <mutex>

namespace vexo::dat {
namespace {

std::mutex& notes_lock() {
  static std::mutex lock;
  return lock;
}

std::map<const VEXO_DAT_INFO_t*, std::vector<VEXO_DAT_NUMBER_NOTE_t>>& all_notes() {
  static auto* notes = new std::map<const VEXO_DAT_INFO_t*, std::vector<VEXO_DAT_NUMBER_NOTE_t>>;
  return *notes;  // never destroyed: a program may read its notes while static objects go
}

}  // namespace

void keep_notes(const VEXO_DAT_INFO_t* info, std::vector<VEXO_DAT_NUMBER_NOTE_t> notes) {
  std::lock_guard guard(notes_lock());
  if (notes.empty()) {
    all_notes().erase(info);
  } else {
    all_notes()[info] = std::move(notes);
  }
}

std::vector<VEXO_DAT_NUMBER_NOTE_t> notes_of(const VEXO_DAT_INFO_t* info) {
  std::lock_guard guard(notes_lock());
  const auto found = all_notes().find(info);
  return found == all_notes().end() ? std::vector<VEXO_DAT_NUMBER_NOTE_t>{} : found->second;
}

}  // namespace vexo::dat

VEXO_API uint32_t VEXO_GetDatNumberNotes(const VEXO_DAT_INFO_t* info,
                                         VEXO_DAT_NUMBER_NOTE_t* notes, uint32_t capacity) {
  if (info == nullptr) return 0;
  const std::vector<VEXO_DAT_NUMBER_NOTE_t> kept = vexo::dat::notes_of(info);
  if (notes != nullptr) {
    std::copy_n(kept.begin(), std::min<size_t>(kept.size(), capacity), notes);
  }
  return static_cast<uint32_t>(kept.size());
}

namespace {

// Numbers written in hexadecimal in a DAT file are shown so.
bool hexadecimal(VEXO_DAT_NUMBER_t number) {
  switch (number) {
    case VEXO_DAT_PCIE_BASE_ADDRESS:
    case VEXO_DAT_DUTCONFIG_OFFSET:
    case VEXO_DAT_DUTCONFIG_LENGTH:
    case VEXO_DAT_DUT_VENDOR_ID:
    case VEXO_DAT_DUT_DEVICE_ID:
      return true;
    default:
      return false;
  }
}

}  // namespace

VEXO_API uint32_t VEXO_DescribeDatNumberNote(const VEXO_DAT_NUMBER_NOTE_t* note, char* text,
                                             uint32_t size) {
  if (note == nullptr) return 0;
  char value[32];
  if (hexadecimal(note->number)) {
    std::snprintf(value, sizeof value, "0x%" PRIX64, static_cast<uint64_t>(note->value));
  } else {
    std::snprintf(value, sizeof value, "%" PRId64, note->value);
  }
  const char* what = note->flaw == VEXO_DAT_FLAW_NO_DIGIT ? "holds no digit"
                                                          : "does not fit its field and was cut";
  const int length = std::snprintf(text, text != nullptr ? size : 0, "<%s %s=\"%s\"> %s, taken as %s",
                                   note->element, note->attribute, note->text, what, value);
  return length < 0 ? 0 : static_cast<uint32_t>(length);
}

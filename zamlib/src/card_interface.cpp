// Configuration requests from the card and completions to it, with word swapping and logging.
#include "card_interface.h"

#include <cstring>

#include "word_swap.h"
#include "zamlib/zamlib.h"

namespace zamlib {
namespace {

uint32_t map_failure(uint32_t error, uint32_t otherwise) {
  return error == platform::error::operation_aborted ? ZAMLIB_STATUS_ABORTED : otherwise;
}

}  // namespace

uint32_t card_interface::init(uint32_t timeout_ms) {
  return link_.open(timeout_ms) ? ZAMLIB_STATUS_SUCCESS : ZAMLIB_STATUS_OPEN_FAILED;
}

uint32_t card_interface::close() {
  log_.flush_pending();
  link_.close();
  return ZAMLIB_STATUS_SUCCESS;
}

uint32_t card_interface::read_request(uint32_t buffer_size, uint32_t timeout_ms, uint32_t* bytes_read,
                                      uint32_t* buffer) {
  if (bytes_read != nullptr) *bytes_read = 0;
  if (buffer == nullptr && buffer_size != 0) return ZAMLIB_STATUS_READ_FAILED;
  uint32_t returned = 0;
  const uint32_t error = link_.transfer(ioctl_bulk_read, request_pipe, buffer, buffer_size, timeout_ms, returned);
  if (error != 0) return map_failure(error, ZAMLIB_STATUS_READ_FAILED);
  if (returned > buffer_size) returned = buffer_size;
  swap_words(buffer, returned, buffer_size);
  if (bytes_read != nullptr) *bytes_read = returned;
  log_.record("<<", buffer, returned);
  return ZAMLIB_STATUS_SUCCESS;
}

uint32_t card_interface::write_completion(const uint32_t* completion, uint32_t length, uint32_t timeout_ms) {
  // The card takes at most 512 bytes per completion; a longer one would overrun the buffer.
  if (length > ZAMLIB_MAX_COMPLETION || (completion == nullptr && length != 0)) return ZAMLIB_STATUS_WRITE_FAILED;
  log_.record(">>", completion, length);
  uint32_t wire[ZAMLIB_MAX_COMPLETION / 4] = {};
  const uint32_t words = (length + 3) / 4;
  for (uint32_t i = 0; i < words; ++i) wire[i] = swap_word(completion[i]);
  uint32_t returned = 0;
  const uint32_t error = link_.transfer(ioctl_bulk_write, completion_pipe, wire, length, timeout_ms, returned);
  return error == 0 ? ZAMLIB_STATUS_SUCCESS : map_failure(error, ZAMLIB_STATUS_WRITE_FAILED);
}

}  // namespace zamlib

// The nine exports of zamlib, and the packet log opened at load and summarised at unload.
#include <cstdio>
#include <mutex>

#include "card_interface.h"
#include "zamlib/zamlib.h"

namespace {

// The library's one set of state, made when the library is loaded and torn down when it
// is unloaded: the packet log file, the device and the log's pairing state.
class library_state {
 public:
  library_state()
      : file_(std::fopen("pktlog.txt", "w")),
        log_([this](const std::string& text) { write(text); }),
        card_(link_, log_) {}

  ~library_state() {
    card_.close();
    write(log_.summary());
    if (file_ != nullptr) std::fclose(file_);
  }

  zamlib::card_interface& card() { return card_; }

 private:
  void write(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::FILE* out = file_ != nullptr ? file_ : stdout;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
  }

  std::mutex mutex_;
  std::FILE* file_;
  zamlib::usb_link link_;
  zamlib::packet_log log_;
  zamlib::card_interface card_;
};

library_state state;

}  // namespace

extern "C" {

ZAMLIB_API uint32_t ORVENInitHardwareDriver(uint32_t timeout_ms) { return state.card().init(timeout_ms); }

ZAMLIB_API uint32_t ORVENCloseHardwareDriver(void) { return state.card().close(); }

ZAMLIB_API uint32_t ORVENReadConfigRequest(uint32_t buffer_size, uint32_t timeout_ms, uint32_t* bytes_read,
                                           uint32_t* buffer) {
  return state.card().read_request(buffer_size, timeout_ms, bytes_read, buffer);
}

ZAMLIB_API uint32_t ORVENWriteConfigCompletion(const uint32_t* completion, uint32_t length, uint32_t timeout_ms) {
  return state.card().write_completion(completion, length, timeout_ms);
}

ZAMLIB_API uint32_t ORVENGenerateTLP(void) { return ZAMLIB_STATUS_NOT_SUPPORTED; }
ZAMLIB_API uint32_t ORVENEnableOptionRom(void) { return ZAMLIB_STATUS_NOT_SUPPORTED; }
ZAMLIB_API uint32_t ORVNEDisableOptionRom(void) { return ZAMLIB_STATUS_NOT_SUPPORTED; }
ZAMLIB_API uint32_t ORVENProgramOptionRomContents(void) { return ZAMLIB_STATUS_NOT_SUPPORTED; }
ZAMLIB_API uint32_t ORVENSetOptionRomLocation(void) { return ZAMLIB_STATUS_NOT_SUPPORTED; }

}  // extern "C"

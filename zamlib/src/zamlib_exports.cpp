// The nine exports of zamlib, and the packet log opened at load and summarised at unload.
#include <cstdio>
#include <mutex>

#include "card_interface.h"
#include "platform/output_file.h"
#include "zamlib/zamlib.h"

namespace {

// The library's one set of state, made when the library is loaded and torn down when it
// is unloaded: the packet log file, the device and the log's pairing state.
class library_state {
 public:
  library_state() : log_([this](const std::string& text) { write(text); }), card_(link_, log_) {
    std::string reason;
    if (!file_.open(file_name, platform::output_mode::create, platform::output_kind::text, &reason)) {
      to_standard_output("cannot be opened", reason);
    }
  }

  ~library_state() {
    card_.close();
    write(log_.summary());
    std::string reason;
    if (file_.is_open() && !file_.close(&reason)) {
      std::fprintf(stderr, "zamlib: %s cannot be closed: %s; its last packets may be lost\n", file_name, reason.c_str());
    }
  }

  zamlib::card_interface& card() { return card_; }

 private:
  static constexpr const char* file_name = "pktlog.txt";

  // Packets are never dropped: when the file fails they go to standard output, as when it
  // does not open, and standard error says why.
  void write(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::string reason;
    if (file_.is_open() && !file_.write(text, &reason)) {
      file_.close();
      to_standard_output("cannot be written", reason);
    }
    if (!file_.is_open()) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::fflush(stdout);
    }
  }

  static void to_standard_output(const char* what, const std::string& reason) {
    std::fprintf(stderr, "zamlib: %s %s: %s; the packet log goes to standard output\n", file_name, what,
                 reason.c_str());
    std::fflush(stderr);
  }

  std::mutex mutex_;
  platform::output_file file_;
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

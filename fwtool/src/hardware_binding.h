// The hardware interface library named in the ini file: loading, binding by export name,
// and calls through the bound entry points.
#pragma once

#include <cstdint>
#include <string>

#include "platform/library.h"
#include "vexo.h"
#include "vexo_ui.h"

namespace fwtool {

inline constexpr uint32_t binding_no_name = 0x80000002u;
inline constexpr uint32_t binding_load_failed = 0x80000004u;
inline constexpr uint32_t binding_missing_export = 0x80000006u;
inline constexpr uint32_t not_bound = 0x80000006u;

class hardware_interface {
 public:
  using init_fn = uint32_t (*)(uint32_t timeout_ms);
  using close_fn = uint32_t (*)();
  using read_fn = uint32_t (*)(uint32_t buffer_size, uint32_t timeout_ms, uint32_t* bytes_read, uint32_t* buffer);
  using write_fn = uint32_t (*)(const uint32_t* completion, uint32_t length, uint32_t timeout_ms);
  using other_fn = uint32_t (*)();

  hardware_interface() = default;
  ~hardware_interface();
  hardware_interface(const hardware_interface&) = delete;
  hardware_interface& operator=(const hardware_interface&) = delete;

  // Binds the library named in the ini file, relative to `folder`. Shows the binding's
  // dialogs on `ui` and prints its messages. Returns 0 or a binding status.
  uint32_t bind(const std::string& dll_name, const std::string& folder, VEXO_UI_HANDLE_t ui);

  // Uses these entry points directly (tests, benchmarks); nulls are allowed.
  void use(init_fn init, close_fn close, read_fn read, write_fn write);

  // Each returns not_bound when its entry point is missing, else the library's result.
  uint32_t init(uint32_t timeout_ms) const;
  uint32_t close() const;
  uint32_t read(uint32_t buffer_size, uint32_t timeout_ms, uint32_t* bytes_read, uint32_t* buffer) const;
  uint32_t write(const uint32_t* completion, uint32_t length, uint32_t timeout_ms) const;
  bool has_generate_tlp() const { return generate_tlp_ != nullptr; }

 private:
  void forget();

  platform::library_handle library_ = nullptr;
  init_fn init_ = nullptr;
  close_fn close_ = nullptr;
  read_fn read_ = nullptr;
  write_fn write_ = nullptr;
  // Bound but not called: the card supports none of them.
  other_fn generate_tlp_ = nullptr;
  other_fn enable_option_rom_ = nullptr;
  other_fn disable_option_rom_ = nullptr;
  other_fn set_option_rom_location_ = nullptr;
  other_fn program_option_rom_ = nullptr;
};

}  // namespace fwtool

// The tool's run: options, device, dispatch in a fixed order.
#include "zamdiag.h"

#include <optional>

#include "card_info.h"
#include "card_modes.h"
#include "code_download.h"
#include "command_line.h"
#include "delay_scan.h"
#include "file_transfers.h"
#include "flash_image.h"
#include "memory_commands.h"
#include "platform/standard_options.h"
#include "print_format.h"
#include "status_dump.h"
#include "tool_context.h"
#include "usage_text.h"

namespace zamdiag {
namespace {

// The first action that applies, in the tool's fixed order; nullopt when none does.
std::optional<int> dispatch(tool_context& tool, const options& o,
                            const std::function<platform::local_time()>& now) {
  if (!o.hex_path.empty()) return download_intel_hex(tool, o.hex_path);
  if (o.link_port != -1) return link_check(tool, static_cast<uint32_t>(o.link_port));
  if (o.mode_query) return mode_query(tool);
  if (o.version) return show_version(tool);
  if (o.image_info) return show_image_info(tool, o.image_address);
  if (o.boot_reset) return reset_with_boot_image(tool, o.boot_path);
  if (o.read_count > 0) return read_memory(tool, o.request, o.address, o.read_count);
  if (!o.values.empty()) return write_memory(tool, o.request, o.address, o.values);
  if (o.flash == flash_action::program) return program_flash(tool, o.flash_path, o.flash_offset, o.flash_header);
  if (o.flash == flash_action::verify) return verify_flash(tool, o.flash_path, o.flash_offset, o.flash_header);
  if (o.eeprom == eeprom_action::download) return download_eeprom(tool, o.eeprom_path, o.eeprom_offset);
  if (o.eeprom == eeprom_action::upload) {
    return upload_eeprom(tool, o.eeprom_path, o.eeprom_offset, o.eeprom_count);
  }
  if (!o.fpga_path.empty()) return download_fpga(tool, o.fpga_path);
  if (o.delay_scan) return delay_scan(tool);
  if (o.status) return status_dump(tool, now());
  if (o.boot_mode == boot_mode_show) return show_fpga_mode(tool);
  if (o.boot_mode != boot_mode_not_given) return write_boot_mode(tool, o.boot_mode);
  return std::nullopt;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::function<platform::local_time()>& now) {
  // A lone --help or --version; beside other arguments either is an unknown option, which
  // calls for the usage text and -1 as every unknown option does.
  const platform::standard_option asked =
      args.size() == 1 ? platform::standard_option_of(args[0]) : platform::standard_option::none;
  if (asked == platform::standard_option::help) {
    out << usage_text();
    return status::ok;
  }
  if (asked == platform::standard_option::version) {
    out << platform::version_line("zamdiag");
    return status::ok;
  }
  const parse_result parsed = parse_command_line(args);
  if (!parsed.refusal.empty()) {
    err << parsed.refusal;
    return status::failed;
  }
  if (parsed.usage) {
    out << usage_text();
    return status::failed;
  }
  const options& o = parsed.opts;
  const platform::device_handle handle = platform::open_device(o.device_name);
  if (handle == platform::invalid_handle) {
    err << format("Can't open USB device driver %s\n", o.device_name.c_str());
    return status::no_device;
  }
  card_port card(handle, err);
  tool_context tool{card, out, err};
  const std::optional<int> result = dispatch(tool, o, now);
  platform::close_device(handle);
  if (!result) {
    out << usage_text();
    return status::failed;
  }
  out.flush();
  return *result;
}

int exit_code(int status) {
#ifdef _WIN32
  return status;  // Windows keeps the whole status: -1 is seen as -1 (0xFFFFFFFF)
#else
  const int low = status & 0xFF;
  return status != 0 && low == 0 ? 0x80 : low;
#endif
}

}  // namespace zamdiag

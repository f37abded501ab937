// The link delay scan.
#include "delay_scan.h"

#include <optional>

#include "ezusb_map.h"
#include "print_format.h"

namespace zamdiag {
namespace {

constexpr uint32_t step_up = 1;
constexpr uint32_t step_down = 2;
constexpr uint8_t step_done = 0x80;
constexpr uint8_t step_range_end = 0x01;
constexpr uint8_t sample_in_eye = 0x02;

class scanner {
 public:
  scanner(tool_context& tool, uint32_t block, uint32_t control)
      : tool_(tool), block_(block), control_(control) {}

  // Steps in one direction until the end of the range; false when the card failed.
  bool sweep(uint32_t direction) {
    for (int steps = 0; steps < max_sweep_steps; ++steps) {
      const auto status = step(direction);
      if (!status) return false;
      if ((*status & step_range_end) != 0) return true;
    }
    tool_.err << format("delay scan: no end of the delay range after %d steps\n", max_sweep_steps);
    return false;
  }

  // Steps down back to the starting position.
  bool return_to_start() {
    while (position_ > 0) {
      if (!step(step_down)) return false;
    }
    return true;
  }

 private:
  std::optional<uint8_t> step(uint32_t direction) {
    const uint8_t go = 1;
    if (!tool_.card.write(request_xdata, control_ + direction, &go, 1)) return std::nullopt;
    std::optional<uint8_t> status;
    for (int poll = 0; poll < max_step_polls; ++poll) {
      status = tool_.card.read_byte(request_xdata, control_);
      if (!status) return std::nullopt;
      if ((*status & step_done) != 0) break;
    }
    if ((*status & step_done) == 0) {
      tool_.err << format("delay scan: step not finished after %d polls\n", max_step_polls);
      return std::nullopt;
    }
    position_ += direction == step_down ? -1 : 1;
    int score = 0;
    for (int i = 0; i < samples_per_step; ++i) {
      const auto sample = tool_.card.read_byte(request_xdata, block_ + scan_sample_offset);
      if (!sample) return std::nullopt;
      if ((*sample & sample_in_eye) != 0) ++score;
    }
    const auto setting = tool_.card.read_byte(request_xdata, control_ + 3);
    if (!setting) return std::nullopt;
    tool_.out << format("%02x %02x %d %d\n", *setting, *status, position_, score);
    return status;
  }

  tool_context& tool_;
  uint32_t block_;
  uint32_t control_;
  int position_ = 0;
};

}  // namespace

int delay_scan(tool_context& tool) {
  uint32_t block = 0, control = 0;
  const auto port_a = tool.card.read_byte(request_xdata, xdata_link_status_a);
  if (!port_a) return status::failed;
  if ((*port_a & link_state_mask) == link_state_scannable) {
    block = xdata_scan_block_a;
    control = xdata_scan_control_a;
  } else {
    const auto port_b = tool.card.read_byte(request_xdata, xdata_link_status_b);
    if (!port_b) return status::failed;
    if ((*port_b & link_state_mask) != link_state_scannable) {
      tool.out << "no link??\n";
      return status::link_down;
    }
    block = xdata_scan_block_b;
    control = xdata_scan_control_b;
  }
  scanner scan(tool, block, control);
  const bool done = scan.sweep(step_down) && scan.sweep(step_up) && scan.return_to_start();
  return done ? status::ok : status::failed;
}

}  // namespace zamdiag

// The four kernel drivers as the lab plays them: configuration-space, Farrow port,
// known-endpoint and ZAM card, each answering its request codes and packets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "station/lab_station.h"
#include "platform/devio.h"

namespace zamsim {

// Request codes.
namespace ioctl {
inline constexpr uint32_t config_read = 0x222000;
inline constexpr uint32_t config_write = 0x222004;
inline constexpr uint32_t config_set_window = 0x22200C;
inline constexpr uint32_t config_get_window = 0x222010;
inline constexpr uint32_t config_query_mcfg = 0x22201C;
inline constexpr uint32_t kep_identity = 0x222004;
inline constexpr uint32_t kep_read = 0x222008;
inline constexpr uint32_t kep_write = 0x22200C;
inline constexpr uint32_t card_query = 0x222400;
inline constexpr uint32_t card_command = 0x222404;
inline constexpr uint32_t farrow_read = 0x222408;
inline constexpr uint32_t farrow_write = 0x22240C;
inline constexpr uint32_t farrow_identity = 0x222410;
}  // namespace ioctl

// Card driver query record flags.
inline constexpr uint32_t card_flag_port_type_shift = 1;  // bits 1-5
inline constexpr uint32_t card_flag_zam = 0x40;           // a ZAM-compliant device
inline constexpr uint32_t card_flag_known_endpoint = 0x80;
inline constexpr uint32_t port_type_farrow = 5;

// One opened driver interface.
class driver_interface {
 public:
  virtual ~driver_interface() = default;
  virtual uint32_t control(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out,
                           uint32_t out_capacity, uint32_t& returned) = 0;
  // The same request with the time-out the client sent. Drivers that may wait for their
  // device (a bulk pipe) end the request there with error::timeout; the others answer at
  // once and ignore it.
  virtual uint32_t timed_control(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out,
                                 uint32_t out_capacity, uint32_t& returned, uint32_t /*timeout_ms*/) {
    return control(code, in, in_length, out, out_capacity, returned);
  }
};

// The interfaces a station offers, by class GUID, and opening them by path.
class driver_set {
 public:
  explicit driver_set(lab_station& station) : station_(station) {}
  std::vector<std::string> interfaces(const platform::guid& interface_class) const;
  // nullptr with `error` set when the path names no interface of this station.
  std::unique_ptr<driver_interface> open(const std::string& path, uint32_t& error) const;

 private:
  lab_station& station_;
};

}  // namespace zamsim

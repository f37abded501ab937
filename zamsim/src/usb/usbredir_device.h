// The card's USB controller as a device on a USB bus: the usbredir protocol (libusbredirparser,
// this side the one with the device) in front of the same usb_controller the lab protocol
// reaches. A high-speed device 04b4:5a4d (the card's firmware running) with one vendor-specific interface whose endpoints,
// in descriptor order, are the driver's pipes: EP2 OUT (pipe 0, completions) and EP6 IN
// (pipe 1, requests).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <usbredirparser.h>

#include "platform/ipc.h"
#include "usb/usb_controller.h"

namespace zamsim {

namespace usb_device {
inline constexpr uint16_t vendor_id = 0x04B4;
inline constexpr uint16_t product_id = 0x5A4D;
inline constexpr uint16_t blank_product_id = 0x8613;  // an EZ-USB FX2 with no firmware yet
inline constexpr uint16_t device_release = 0xA001;
inline constexpr uint8_t endpoint_completions = 0x02;  // pipe 0, bulk OUT
inline constexpr uint8_t endpoint_requests = 0x86;     // pipe 1, bulk IN
inline constexpr uint16_t bulk_packet_size = 512;
inline constexpr uint8_t control_packet_size = 64;
inline constexpr uint8_t interface_class = 0xFF;

// The descriptors a host reads with GET_DESCRIPTOR (type, index); empty when there is none.
// The device descriptor carries `product` (the firmware's or the blank controller's).
std::vector<uint8_t> descriptor(uint8_t type, uint8_t index, uint16_t product = product_id);
}  // namespace usb_device

// What a device tells its owner of the host's use of it; either may be empty. Both are
// called without the connection's locks held.
struct usb_host_hooks {
  std::function<void()> waits_for_requests;  // a bulk IN transfer on pipe 1 is about to wait
  std::function<void()> left_bus;            // the device was taken off the bus (a disconnect)
};

// One usbredir connection. Bytes from the peer go in through receive(); bytes for the peer
// leave through `write` (called with the connection's lock held, from the caller's thread or
// the bulk reader's). A bulk IN transfer waits on its own thread, so control transfers go on
// meanwhile.
class usbredir_device {
 public:
  using write_function = std::function<bool(const uint8_t* data, std::size_t size)>;
  usbredir_device(usb_controller& usb, write_function write, usb_host_hooks hooks = {});
  ~usbredir_device();
  usbredir_device(const usbredir_device&) = delete;
  usbredir_device& operator=(const usbredir_device&) = delete;

  // Feeds bytes from the peer; false once the connection is broken (a write failed or the
  // parser refused the stream).
  bool receive(const uint8_t* data, std::size_t size);
  // Whether the peer's hello came and the device was announced.
  bool connected() const { return announced_.load(); }
  // A power cycle of the card takes it off the bus and brings it back, as a real card's
  // controller does, and so does new code taking over the controller (the CPU released
  // after a download): once either has happened since the device was announced, the peer
  // is told of a disconnect and then of a new device. Called now and then.
  void follow_power_cycles();

 private:
  struct bulk_in {
    uint64_t id;
    uint32_t length;
    uint8_t endpoint;
  };
  static int read_callback(void* priv, uint8_t* data, int count);
  static int write_callback(void* priv, uint8_t* data, int count);
  static void hello_callback(void* priv, struct usb_redir_hello_header* hello);
  static void reset_callback(void* priv);
  static void set_configuration_callback(void* priv, uint64_t id, struct usb_redir_set_configuration_header* h);
  static void get_configuration_callback(void* priv, uint64_t id);
  static void set_alt_setting_callback(void* priv, uint64_t id, struct usb_redir_set_alt_setting_header* h);
  static void get_alt_setting_callback(void* priv, uint64_t id, struct usb_redir_get_alt_setting_header* h);
  static void cancel_callback(void* priv, uint64_t id);
  static void control_callback(void* priv, uint64_t id, struct usb_redir_control_packet_header* h, uint8_t* data,
                               int length);
  static void bulk_callback(void* priv, uint64_t id, struct usb_redir_bulk_packet_header* h, uint8_t* data,
                            int length);

  void announce();
  void control(uint64_t id, struct usb_redir_control_packet_header& header, const uint8_t* data, int length);
  void bulk(uint64_t id, struct usb_redir_bulk_packet_header& header, const uint8_t* data, int length);
  void reader_loop();
  void flush();

  usb_controller& usb_;
  write_function write_;
  usb_host_hooks hooks_;
  std::mutex mutex_;  // the parser, the input and the output
  usbredirparser* parser_ = nullptr;
  const uint8_t* input_ = nullptr;
  std::size_t input_left_ = 0;
  bool broken_ = false;
  std::atomic<bool> announced_{false};
  uint8_t configuration_ = 0;
  uint32_t power_cycles_ = 0;  // the card's count when the device was announced
  uint32_t enumerations_ = 0;  // the controller's count then
  uint16_t product_ = usb_device::product_id;  // the product ID announced

  // Bulk IN transfers wait in order on the reader thread.
  std::mutex reads_mutex_;
  std::condition_variable reads_changed_;
  std::deque<bulk_in> reads_;
  uint64_t current_read_ = 0;
  bool current_cancelled_ = false;
  bool reading_ = false;
  bool stopping_ = false;
  std::thread reader_;
};

// Listens on a Unix socket and serves one usbredir peer (QEMU's usb-redir device) at a time
// on a thread of its own.
class usbredir_server {
 public:
  explicit usbredir_server(usb_controller& usb, usb_host_hooks hooks = {}) : usb_(usb), hooks_(std::move(hooks)) {}
  ~usbredir_server() { stop(); }
  bool listen(const std::string& path, std::string& error);
  void start();
  void stop();

 private:
  void run();
  usb_controller& usb_;
  usb_host_hooks hooks_;
  platform::stream_listener listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zamsim

// The lab wire protocol between the devio lab provider and the zamsim daemon.
//
// One stream connection (a Unix socket, or TCP), and on Linux beside a Unix socket a shared channel for the requests of a
// busy connection (platform/shared_channel.h): the same frames, in shared memory. A request is a little-endian frame: magic, operation, handle,
// control code, input length, output capacity, time-out in ms (seven 32-bit words), then the
// input bytes. An answer is: Windows-style error code, bytes returned (two 32-bit words),
// then exactly that many output bytes. The daemon checks every length before it reads and
// answers a malformed frame by closing that client only.
//
// Over TCP, which any local user (or another machine) can reach, the first frame on a
// connection is the client's hello: hello magic, secret length (two 32-bit words), then the
// lab's secret. The daemon answers it with an answer header (success, or access denied and
// the connection closed) and serves nothing before a right one.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace platform::lab {

inline constexpr uint32_t magic = 0x4D49535Au;  // "ZSIM" in memory order
inline constexpr uint32_t max_input = 16u << 20;
inline constexpr uint32_t max_output = 64u << 20;
inline constexpr std::size_t request_header_size = 28;
inline constexpr std::size_t answer_header_size = 8;

enum class operation : uint32_t {
  list_interfaces = 1,  // input: class GUID text; output: paths, one per line
  open = 2,             // input: path; output: 32-bit handle
  control = 3,          // handle, code, input, output capacity: one driver request
  close = 4,            // handle
  prompt = 5,           // input: buttons, caption length, caption, text; output: answer
  status = 6,           // output: one-line status text
  show = 7,             // output: the lab's state as text
  stop = 8,             // the daemon stops after answering
  dialog = 9,           // input: dialog kind, caption length, caption, text; output: the
                        // answer as a script line, or "@auto" for the first choice/default
  power_cycle_card = 10,  // the card loads its next-boot mode; a waiting bulk read is aborted
  inject_request = 11,    // input: one request's wire bytes for the card's bulk pipe 1
  take_completions = 12,  // output: the completions written to pipe 0 so far, each as a
                          // 32-bit little-endian length and its bytes
  open_shared_channel = 13,  // the answer carries a shared channel (see shared_channel.h);
                             // later requests of this connection go through it
};

inline constexpr uint32_t hello_magic = 0x4C45485Au;  // "ZHEL" in memory order
inline constexpr std::size_t secret_size = 32;
inline constexpr std::size_t hello_head_size = 8;
inline constexpr std::size_t hello_size = hello_head_size + secret_size;

// Control codes whose data buffer goes to the driver (METHOD_IN_DIRECT, the low two bits
// 01): the client sends that buffer's bytes after the input bytes, and the daemon hands
// them to the driver as the data buffer.
inline bool sends_data_buffer(uint32_t code) { return (code & 3u) == 1u; }

struct request_header {
  uint32_t magic = lab::magic;
  uint32_t operation = 0;
  uint32_t handle = 0;
  uint32_t code = 0;
  uint32_t input_length = 0;
  uint32_t output_capacity = 0;
  uint32_t timeout_ms = 0;
};

struct answer_header {
  uint32_t error = 0;
  uint32_t returned = 0;
};

inline void put_le32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

inline uint32_t get_le32(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

// A frame the daemon serves: the magic, a known operation, lengths within the limits.
// Checked before anything of the frame's input is read or allocated.
inline bool well_formed(const request_header& h) {
  return h.magic == magic && h.input_length <= max_input && h.output_capacity <= max_output &&
         h.operation >= static_cast<uint32_t>(operation::list_interfaces) &&
         h.operation <= static_cast<uint32_t>(operation::open_shared_channel);
}

inline std::array<uint8_t, request_header_size> encode(const request_header& h) {
  std::array<uint8_t, request_header_size> bytes{};
  const uint32_t words[] = {h.magic, h.operation, h.handle, h.code, h.input_length,
                            h.output_capacity, h.timeout_ms};
  for (std::size_t i = 0; i < 7; ++i) put_le32(bytes.data() + 4 * i, words[i]);
  return bytes;
}

inline request_header decode_request(const uint8_t* bytes) {
  return request_header{get_le32(bytes),      get_le32(bytes + 4),  get_le32(bytes + 8),
                        get_le32(bytes + 12), get_le32(bytes + 16), get_le32(bytes + 20),
                        get_le32(bytes + 24)};
}

inline std::array<uint8_t, answer_header_size> encode(const answer_header& h) {
  std::array<uint8_t, answer_header_size> bytes{};
  put_le32(bytes.data(), h.error);
  put_le32(bytes.data() + 4, h.returned);
  return bytes;
}

inline answer_header decode_answer(const uint8_t* bytes) {
  return answer_header{get_le32(bytes), get_le32(bytes + 4)};
}

inline std::array<uint8_t, hello_size> encode_hello(const std::array<uint8_t, secret_size>& secret) {
  std::array<uint8_t, hello_size> bytes{};
  put_le32(bytes.data(), hello_magic);
  put_le32(bytes.data() + 4, static_cast<uint32_t>(secret_size));
  std::memcpy(bytes.data() + hello_head_size, secret.data(), secret_size);
  return bytes;
}

// Whether a hello's head announces a secret of the lab's size; checked before the secret
// is read.
inline bool hello_head_well_formed(const uint8_t* head) {
  return get_le32(head) == hello_magic && get_le32(head + 4) == secret_size;
}

// Compares two secrets in time that does not depend on where they differ.
inline bool same_secret(const uint8_t* a, const uint8_t* b) {
  uint8_t difference = 0;
  for (std::size_t i = 0; i < secret_size; ++i) difference = static_cast<uint8_t>(difference | (a[i] ^ b[i]));
  return difference == 0;
}

}  // namespace platform::lab

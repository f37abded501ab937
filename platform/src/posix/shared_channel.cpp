// Shared channels on Linux: a sealed memfd region passed over the socket, futexes to sleep
// on. Other POSIX systems keep to the socket (supported() is false there).
#include "platform/shared_channel.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#ifdef __linux__
#include <fcntl.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#endif

#include "platform/clock.h"

namespace platform {
namespace {

// The control words, each on a cache line of its own so that the two sides' writes do not
// contend: the client writes the request sequence, its kind and its own sleeping flag; the
// daemon writes the answer sequence and its sleeping flag.
constexpr std::size_t request_seq_at = 0;
constexpr std::size_t request_kind_at = 4;
constexpr std::size_t daemon_sleeping_at = 64;
constexpr std::size_t answer_seq_at = 128;
constexpr std::size_t client_sleeping_at = 192;
constexpr std::size_t control_size = 4096;
constexpr std::size_t region_size = control_size + 2 * shared_channel::area_size;

// How long a waiting side spins before it sleeps: a busy peer answers well within this.
constexpr auto spin_budget = std::chrono::microseconds(40);
// A sleeping client looks at the daemon's socket this often.
constexpr uint32_t client_slice_ms = 20;

std::atomic_ref<uint32_t> word(uint8_t* base, std::size_t at) {
  return std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(base + at));
}

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Spins until `seq` differs from `old` or the budget is spent; true when it changed.
bool spin_until_changed(uint8_t* base, std::size_t seq_at, uint32_t old) {
  const auto started = std::chrono::steady_clock::now();
  for (unsigned round = 0;; ++round) {
    for (int i = 0; i < 64; ++i) {
      if (word(base, seq_at).load(std::memory_order_acquire) != old) return true;
      cpu_relax();
    }
    if (std::chrono::steady_clock::now() - started > spin_budget) return false;
  }
}

#ifdef __linux__
// Sleeps while the word still holds `old`, at most timeout_ms. Shared (not process-private)
// futexes: the two sides map the region at different addresses.
void futex_wait(uint8_t* base, std::size_t at, uint32_t old, uint32_t timeout_ms) {
  timespec limit{static_cast<time_t>(timeout_ms / 1000), static_cast<long>(timeout_ms % 1000) * 1000000L};
  ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(base + at), FUTEX_WAIT, old, &limit, nullptr, 0);
}

void futex_wake(uint8_t* base, std::size_t at) {
  ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(base + at), FUTEX_WAKE, 1, nullptr, nullptr, 0);
}
#else
void futex_wait(uint8_t*, std::size_t, uint32_t, uint32_t timeout_ms) { sleep_ms(timeout_ms ? 1 : 0); }
void futex_wake(uint8_t*, std::size_t) {}
#endif

// Waits on `seq` to move past `old`: spins, then sleeps with the `sleeping` flag raised so
// that the other side knows to wake it. Both flag and sequence are sequentially consistent,
// so either the poster sees the flag or the sleeper sees the new sequence.
bool wait_for_change(uint8_t* base, std::size_t seq_at, std::size_t sleeping_at, uint32_t old,
                     uint32_t timeout_ms) {
  if (spin_until_changed(base, seq_at, old)) return true;
  word(base, sleeping_at).store(1);
  if (word(base, seq_at).load() == old) futex_wait(base, seq_at, old, timeout_ms);
  word(base, sleeping_at).store(0);
  return word(base, seq_at).load(std::memory_order_acquire) != old;
}

void post(uint8_t* base, std::size_t seq_at, std::size_t sleeping_at, uint32_t seq) {
  word(base, seq_at).store(seq);
  if (word(base, sleeping_at).load() != 0) futex_wake(base, seq_at);
}

// Waits until the connection can be written (POLLOUT) or read (POLLIN): ok, timed_out or
// failed. A time-out above what poll takes waits without end.
io_status wait_for(const stream_connection& connection, short events, uint32_t timeout_ms) {
  pollfd p{connection.descriptor(), events, 0};
  const int ready = ::poll(&p, 1, timeout_ms > 0x7FFFFFFFu ? -1 : static_cast<int>(timeout_ms));
  if (ready == 0) return io_status::timed_out;
  return ready < 0 ? io_status::failed : io_status::ok;
}

// One message of `size` bytes with room for one descriptor beside it.
struct descriptor_message {
  descriptor_message(void* bytes, std::size_t size) : part{bytes, size} {
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
  }
  descriptor_message(const descriptor_message&) = delete;
  descriptor_message& operator=(const descriptor_message&) = delete;

  iovec part;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr header{};
};

uint8_t* map_region(int fd) {
  void* at = ::mmap(nullptr, region_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return at == MAP_FAILED ? nullptr : static_cast<uint8_t*>(at);
}

}  // namespace

shared_channel::shared_channel(shared_channel&& other) noexcept
    : base_(other.base_), descriptor_(other.descriptor_), posted_(other.posted_), answered_(other.answered_) {
  other.base_ = nullptr;
  other.descriptor_ = -1;
}

shared_channel& shared_channel::operator=(shared_channel&& other) noexcept {
  if (this != &other) {
    unmap();
    base_ = other.base_;
    descriptor_ = other.descriptor_;
    posted_ = other.posted_;
    answered_ = other.answered_;
    other.base_ = nullptr;
    other.descriptor_ = -1;
  }
  return *this;
}

shared_channel::~shared_channel() { unmap(); }

void shared_channel::unmap() {
  if (base_ != nullptr) ::munmap(base_, region_size);
  if (descriptor_ >= 0) ::close(descriptor_);
  base_ = nullptr;
  descriptor_ = -1;
}

bool shared_channel::supported() {
#ifdef __linux__
  return true;
#else
  return false;
#endif
}

shared_channel shared_channel::create(std::string* error) {
  shared_channel channel;
#ifdef __linux__
  const int fd = ::memfd_create("zamsim-channel", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) {
    if (error) *error = std::string("memfd_create: ") + std::strerror(errno);
    return channel;
  }
  // Sealed at its size: a client that could shrink the region would make the daemon's next
  // access to it fault.
  if (::ftruncate(fd, static_cast<off_t>(region_size)) != 0 ||
      ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0 ||
      (channel.base_ = map_region(fd)) == nullptr) {
    if (error) *error = std::string("shared region: ") + std::strerror(errno);
    ::close(fd);
    return channel;
  }
  // The descriptor travels with the answer that hands the region over; kept until then.
  channel.descriptor_ = fd;
#else
  if (error) *error = "shared channels are not available on this system";
#endif
  return channel;
}

io_status shared_channel::send_with(stream_connection& connection, const void* bytes, std::size_t size,
                                    uint32_t timeout_ms) {
  if (descriptor_ < 0 || !connection.valid() || size == 0) return io_status::failed;
  const io_status writable = wait_for(connection, POLLOUT, timeout_ms);
  if (writable != io_status::ok) return writable;
  descriptor_message message(const_cast<void*>(bytes), size);
  cmsghdr* attached = CMSG_FIRSTHDR(&message.header);
  attached->cmsg_level = SOL_SOCKET;
  attached->cmsg_type = SCM_RIGHTS;
  attached->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(attached), &descriptor_, sizeof(int));
  const ssize_t sent = ::sendmsg(connection.descriptor(), &message.header, MSG_NOSIGNAL | MSG_DONTWAIT);
  ::close(descriptor_);
  descriptor_ = -1;
  if (sent < 0) return errno == EPIPE || errno == ECONNRESET ? io_status::closed : io_status::failed;
  const auto done = static_cast<std::size_t>(sent);
  return done == size ? io_status::ok
                      : connection.write_all(static_cast<const uint8_t*>(bytes) + done, size - done, timeout_ms);
}

io_status shared_channel::receive_with(stream_connection& connection, void* bytes, std::size_t size,
                                       uint32_t timeout_ms, shared_channel& channel) {
  channel = shared_channel();
  if (!connection.valid() || size == 0) return io_status::failed;
  const io_status readable = wait_for(connection, POLLIN, timeout_ms);
  if (readable != io_status::ok) return readable;
  descriptor_message message(bytes, size);
  const ssize_t got = ::recvmsg(connection.descriptor(), &message.header, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
  if (got == 0) return io_status::closed;
  if (got < 0) return errno == ECONNRESET ? io_status::closed : io_status::failed;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message.header); c != nullptr; c = CMSG_NXTHDR(&message.header, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS || c->cmsg_len < CMSG_LEN(sizeof(int))) continue;
    int fd = -1;
    std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
    struct stat info {};
    // Only a region of a channel's size is mapped: a smaller one would fault on access.
    if (!channel.valid() && ::fstat(fd, &info) == 0 && static_cast<std::size_t>(info.st_size) == region_size) {
      channel.base_ = map_region(fd);
    }
    ::close(fd);
  }
  const auto done = static_cast<std::size_t>(got);
  return done == size ? io_status::ok
                      : connection.read_exact(static_cast<uint8_t*>(bytes) + done, size - done, timeout_ms);
}

uint8_t* shared_channel::request_area() const { return base_ + control_size; }

uint8_t* shared_channel::answer_area() const { return base_ + control_size + area_size; }

void shared_channel::post_request(request_kind kind) {
  word(base_, request_kind_at).store(static_cast<uint32_t>(kind), std::memory_order_relaxed);
  post(base_, request_seq_at, daemon_sleeping_at, ++posted_);
}

io_status shared_channel::wait_answer(uint32_t timeout_ms, const std::function<bool()>& peer_gone) {
  const uint32_t started = tick_ms();
  for (;;) {
    const uint32_t answered = word(base_, answer_seq_at).load(std::memory_order_acquire);
    if (answered == posted_) return io_status::ok;
    const uint32_t spent = tick_ms() - started;
    if (timeout_ms != 0xFFFFFFFFu && spent >= timeout_ms) return io_status::timed_out;
    const uint32_t slice = timeout_ms == 0xFFFFFFFFu ? client_slice_ms : std::min(client_slice_ms, timeout_ms - spent);
    if (!wait_for_change(base_, answer_seq_at, client_sleeping_at, answered, slice) && peer_gone && peer_gone()) {
      return io_status::closed;
    }
  }
}

std::optional<uint32_t> shared_channel::wait_request(uint32_t timeout_ms) {
  uint32_t seen = word(base_, request_seq_at).load(std::memory_order_acquire);
  if (seen == answered_ && !wait_for_change(base_, request_seq_at, daemon_sleeping_at, answered_, timeout_ms)) {
    return std::nullopt;
  }
  seen = word(base_, request_seq_at).load(std::memory_order_acquire);
  answered_ = seen;
  return word(base_, request_kind_at).load(std::memory_order_relaxed);
}

void shared_channel::post_answer() { post(base_, answer_seq_at, client_sleeping_at, answered_); }

}  // namespace platform

// Shared channels: the region is sealed against a client that would shrink it, frames and
// answers cross it between two threads, waits end at their deadline or when the peer goes.
#include "platform/shared_channel.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>
#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/clock.h"

namespace {

using platform::io_status;
using platform::shared_channel;
using platform::stream_connection;

struct socket_pair {
  stream_connection daemon, client;
  socket_pair() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
      daemon = stream_connection(fds[0]);
      client = stream_connection(fds[1]);
    }
  }
};

// Receives the bytes and the descriptor that came with them, as a client could.
int receive_raw_descriptor(stream_connection& connection, char* bytes, std::size_t size) {
  iovec part{bytes, size};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  if (::recvmsg(connection.descriptor(), &message, 0) <= 0) return -1;
  cmsghdr* attached = CMSG_FIRSTHDR(&message);
  if (attached == nullptr || attached->cmsg_type != SCM_RIGHTS) return -1;
  int fd = -1;
  std::memcpy(&fd, CMSG_DATA(attached), sizeof fd);
  return fd;
}

TEST(SharedChannelTest, TheRegionCannotBeResizedByTheClient) {
  if (!shared_channel::supported()) GTEST_SKIP() << "no shared channels on this system";
  socket_pair pair;
  std::string error;
  shared_channel channel = shared_channel::create(&error);
  ASSERT_TRUE(channel.valid()) << error;
  ASSERT_EQ(channel.send_with(pair.daemon, "go", 2, 1000), io_status::ok);
  char bytes[2] = {};
  const int fd = receive_raw_descriptor(pair.client, bytes, sizeof bytes);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(std::string(bytes, 2), "go");
  const off_t size = ::lseek(fd, 0, SEEK_END);
  EXPECT_EQ(size, static_cast<off_t>(4096 + 2 * shared_channel::area_size));
  EXPECT_EQ(::ftruncate(fd, 4096), -1);
  EXPECT_EQ(errno, EPERM);
  EXPECT_EQ(::ftruncate(fd, size + 4096), -1);
  EXPECT_EQ(::fcntl(fd, F_GET_SEALS) & (F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL),
            F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL);
  ::close(fd);
  // The daemon handed its descriptor over once: a second send has nothing to attach.
  EXPECT_EQ(channel.send_with(pair.daemon, "go", 2, 1000), io_status::failed);
}

TEST(SharedChannelTest, ARegionOfAnotherSizeIsNotMapped) {
  if (!shared_channel::supported()) GTEST_SKIP() << "no shared channels on this system";
  socket_pair pair;
  const int small = ::memfd_create("small", MFD_CLOEXEC);
  ASSERT_GE(small, 0);
  ASSERT_EQ(::ftruncate(small, 4096), 0);
  char bytes[4] = {'a', 'b', 'c', 'd'};
  iovec part{bytes, sizeof bytes};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* attached = CMSG_FIRSTHDR(&message);
  attached->cmsg_level = SOL_SOCKET;
  attached->cmsg_type = SCM_RIGHTS;
  attached->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(attached), &small, sizeof small);
  ASSERT_EQ(::sendmsg(pair.daemon.descriptor(), &message, 0), 4);
  ::close(small);
  char got[4] = {};
  shared_channel channel;
  EXPECT_EQ(shared_channel::receive_with(pair.client, got, sizeof got, 1000, channel), io_status::ok);
  EXPECT_EQ(std::string(got, 4), "abcd");
  EXPECT_FALSE(channel.valid());
  // Bytes without a region: read whole, no channel.
  ASSERT_EQ(pair.daemon.write_all("wxyz", 4, 1000), io_status::ok);
  EXPECT_EQ(shared_channel::receive_with(pair.client, got, sizeof got, 1000, channel), io_status::ok);
  EXPECT_EQ(std::string(got, 4), "wxyz");
  EXPECT_FALSE(channel.valid());
  pair.daemon.close();
  EXPECT_EQ(shared_channel::receive_with(pair.client, got, sizeof got, 1000, channel), io_status::closed);
}

TEST(SharedChannelTest, RequestsAndAnswersCrossBetweenTwoSides) {
  if (!shared_channel::supported()) GTEST_SKIP() << "no shared channels on this system";
  socket_pair pair;
  shared_channel daemon_side = shared_channel::create();
  ASSERT_TRUE(daemon_side.valid());
  ASSERT_EQ(daemon_side.send_with(pair.daemon, "ok", 2, 1000), io_status::ok);
  char bytes[2];
  shared_channel client_side;
  ASSERT_EQ(shared_channel::receive_with(pair.client, bytes, 2, 1000, client_side), io_status::ok);
  ASSERT_TRUE(client_side.valid());

  // The daemon echoes each request reversed, with a slow answer now and then so that the
  // client sleeps and must be woken.
  std::thread daemon([&] {
    for (int n = 0; n < 2000; ++n) {
      std::optional<uint32_t> kind;
      while (!(kind = daemon_side.wait_request(1000))) {
      }
      if (*kind == static_cast<uint32_t>(shared_channel::request_kind::closing)) return;
      ASSERT_EQ(*kind, static_cast<uint32_t>(shared_channel::request_kind::in_area));
      uint32_t value = 0;
      std::memcpy(&value, daemon_side.request_area(), 4);
      if (n % 500 == 0) platform::sleep_ms(30);
      const uint32_t answer = ~value;
      std::memcpy(daemon_side.answer_area(), &answer, 4);
      daemon_side.post_answer();
    }
  });
  for (uint32_t n = 0; n < 1000; ++n) {
    const uint32_t value = n * 2654435761u;
    std::memcpy(client_side.request_area(), &value, 4);
    client_side.post_request(shared_channel::request_kind::in_area);
    ASSERT_EQ(client_side.wait_answer(2000, {}), io_status::ok) << "request " << n;
    uint32_t answer = 0;
    std::memcpy(&answer, client_side.answer_area(), 4);
    ASSERT_EQ(answer, ~value) << "request " << n;
  }
  client_side.post_request(shared_channel::request_kind::closing);
  daemon.join();

  // Nobody answers now: the wait ends at its deadline, or at once when the peer is gone.
  client_side.post_request(shared_channel::request_kind::in_area);
  uint32_t started = platform::tick_ms();
  EXPECT_EQ(client_side.wait_answer(150, [] { return false; }), io_status::timed_out);
  uint32_t spent = platform::tick_ms() - started;
  EXPECT_GE(spent, 150u);
  EXPECT_LT(spent, 1000u);
  started = platform::tick_ms();
  EXPECT_EQ(client_side.wait_answer(5000, [] { return true; }), io_status::closed);
  EXPECT_LT(platform::tick_ms() - started, 1000u);
  // And a daemon waiting for a request that never comes gets nothing at its deadline.
  (void)daemon_side.wait_request(0);  // takes the unanswered request above
  started = platform::tick_ms();
  EXPECT_FALSE(daemon_side.wait_request(100).has_value());
  spent = platform::tick_ms() - started;
  EXPECT_GE(spent, 100u);
  EXPECT_LT(spent, 1000u);
}

}  // namespace

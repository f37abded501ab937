// A provider that wraps another and injects driver faults: missing families, failing opens,
// refused requests, lengths and byte counts rewritten in the answers.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/devio.h"

namespace pellor::fake {

class fault_provider : public platform::device_provider {
 public:
  // Every rule names an interface path; an empty path matches every interface.
  explicit fault_provider(std::shared_ptr<platform::device_provider> inner);

  // The family lists no interfaces, as when its driver is not installed.
  void hide_family(const platform::guid& family);
  void fail_open(const std::string& path, uint32_t error_code);
  // Requests with this code fail with the error code (the driver refuses them).
  void fail_requests(const std::string& path, uint32_t code, uint32_t error_code);
  // After a successful request with this code, the 32-bit word at byte_offset of the answer
  // is replaced (for example a shorter length written back).
  void rewrite_answer(const std::string& path, uint32_t code, uint32_t byte_offset,
                      uint32_t value);
  // After a successful request with this code, the driver reports only this many bytes.
  void limit_returned(const std::string& path, uint32_t code, uint32_t bytes);

  // Interfaces opened through this provider and not yet closed.
  int open_channels() const;

  // Serves the four driver families whether or not the inner provider does, so that no
  // provider of the machine answers in a test.
  std::string name() const override;
  bool serves(const platform::guid& interface_class) const override;
  std::vector<std::string> interfaces(const platform::guid& interface_class) override;
  bool owns_path(const std::string& path) const override;
  std::unique_ptr<platform::device_channel> open(const std::string& path,
                                                 uint32_t& error_code) override;

  struct rule {
    enum class kind { fail, rewrite, limit } what;
    std::string path;
    uint32_t code = 0;
    uint32_t value = 0;  // error code, new word, or byte count
    uint32_t byte_offset = 0;
  };
  struct rules {
    std::mutex mutex;
    std::vector<rule> list;
    std::vector<platform::guid> hidden;
    std::vector<std::pair<std::string, uint32_t>> failing_opens;
    int open_channels = 0;
  };

 private:
  std::shared_ptr<platform::device_provider> inner_;
  std::shared_ptr<rules> rules_;
};

}  // namespace pellor::fake

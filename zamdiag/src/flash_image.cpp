// FLASH programming and verification.
#include "flash_image.h"

#include <cstring>
#include <fstream>

#include "ezusb_map.h"
#include "file_pieces.h"
#include "platform/fs.h"
#include "print_format.h"

namespace zamdiag {
namespace {

void put_be32(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value >> 24);
  bytes[1] = static_cast<uint8_t>(value >> 16);
  bytes[2] = static_cast<uint8_t>(value >> 8);
  bytes[3] = static_cast<uint8_t>(value);
}

struct image_file {
  std::ifstream stream;
  uint64_t size = 0;
  int64_t modified = 0;
};

// Size and modification time; false with the message printed.
bool stat_image(tool_context& tool, const std::string& path, image_file& file) {
  if (!platform::file_size_and_time(path, file.size, file.modified)) {
    tool.err << format("can't get info about %s\n", path.c_str());
    return false;
  }
  // Checked before anything is erased: an empty image would leave a header over nothing.
  if (file.size == 0) {
    tool.err << format("%s is empty: nothing to send\n", path.c_str());
    return false;
  }
  return true;
}

// "." each time the bytes done reach a multiple of 64 KiB.
void progress(tool_context& tool, uint64_t done, uint32_t piece) {
  if (done / 65536 != (done - piece) / 65536) tool.out << "." << std::flush;
}

}  // namespace

std::array<uint8_t, image_header_size> image_header(uint32_t size, uint32_t modified) {
  std::array<uint8_t, image_header_size> header{};
  std::memcpy(header.data(), "ZAM1", 4);
  put_be32(&header[4], size);
  put_be32(&header[8], modified);
  return header;
}

std::optional<uint32_t> flash_region_end(uint32_t offset) {
  for (uint32_t end : {flash_image_known_endpoint, flash_image_topology, flash_image_add_in_card,
                       flash_size}) {
    if (offset < end) return end;
  }
  return std::nullopt;
}

int program_flash(tool_context& tool, const std::string& path, uint32_t offset, bool header) {
  image_file file;
  if (!stat_image(tool, path, file)) return status::failed;
  const uint64_t length = file.size + (header ? image_header_size : 0);
  const auto region_end = flash_region_end(offset);
  if (!region_end || length > *region_end - offset) {
    // Programming on would overwrite the next mode image (or run off the FLASH).
    tool.err << format("image of %llu bytes does not fit at 0x%08x: its FLASH region ends at 0x%08x\n",
                       static_cast<unsigned long long>(length), offset, region_end.value_or(flash_size));
    return status::failed;
  }
  tool.out << "erasing...\n" << std::flush;
  uint8_t erase_length[4];
  put_be32(erase_length, static_cast<uint32_t>(length));
  if (!tool.card.write(request_flash_erase, offset, erase_length, 4, erase_timeout_ms)) {
    return status::failed;
  }
  tool.out << "programming..." << std::flush;
  if (!open_input(tool.err, path, file.stream)) return status::failed;
  // The card places program writes one after another from the start it erased.
  if (header) {
    const auto bytes = image_header(static_cast<uint32_t>(file.size), static_cast<uint32_t>(file.modified));
    if (!tool.card.write(request_flash, 0, bytes.data(), image_header_size)) {
      tool.out << "\nprogramming failed\n";
      return status::failed;
    }
  }
  uint8_t buffer[max_transfer];
  uint64_t done = 0;
  while (const uint32_t piece = read_piece(file.stream, buffer)) {
    if (!tool.card.write(request_flash, 0, buffer, piece)) {
      tool.out << format("\nprogramming failed at offset 0x%08llx\n", static_cast<unsigned long long>(done));
      return status::failed;
    }
    done += piece;
    progress(tool, done, piece);
  }
  tool.out << "done\n";
  return status::ok;
}

int verify_flash(tool_context& tool, const std::string& path, uint32_t offset, bool header) {
  image_file file;
  if (!stat_image(tool, path, file)) return status::failed;
  tool.out << "verifying..." << std::flush;
  if (!open_input(tool.err, path, file.stream)) return status::failed;
  int errors = 0;
  uint8_t flash[max_transfer];
  if (header) {
    const auto expected = image_header(static_cast<uint32_t>(file.size), static_cast<uint32_t>(file.modified));
    uint32_t returned = 0;
    if (!tool.card.read(request_flash, offset, flash, image_header_size, returned) ||
        returned != image_header_size) {
      tool.out << "\n*** error reading FLASH ";
      ++errors;
    } else if (std::memcmp(flash, expected.data(), image_header_size) != 0) {
      tool.out << "\n*** compare error in image header! ";
      ++errors;
    }
    offset += image_header_size;
  }
  uint8_t buffer[max_transfer];
  uint64_t done = 0;
  bool stopped = false;
  while (!stopped) {
    const uint32_t piece = read_piece(file.stream, buffer);
    if (piece == 0) break;
    uint32_t returned = 0;
    if (!tool.card.read(request_flash, offset + static_cast<uint32_t>(done), flash, piece, returned) ||
        returned != piece) {
      tool.out << "\n*** error reading FLASH ";
      ++errors;
      break;
    }
    for (uint32_t i = 0; i < piece; ++i) {
      if (buffer[i] == flash[i]) continue;
      tool.out << format("\n*** image compare error at offset 0x%08llx [file: %02x - flash: %02x] ",
                         static_cast<unsigned long long>(done + i), buffer[i], flash[i]);
      if (++errors > max_compare_errors) {
        tool.out << "\n...compare aborted...\n";
        stopped = true;
        break;
      }
    }
    if (stopped) break;
    done += piece;
    progress(tool, done, piece);
  }
  if (errors > 0) {
    tool.out << format("\nverify failed: %d error%s\n", errors, errors == 1 ? "" : "s");
    return status::failed;
  }
  tool.out << "done\n";
  return status::ok;
}

}  // namespace zamdiag

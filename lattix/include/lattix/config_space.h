// One simulated function's 4 KB configuration space with per-byte register semantics.
//
// Conventions: offsets are 0..0xFFF; accessors that would run past the end of the
// space read 0 or write nothing for the missing bytes. Not thread-safe; one thread
// owns a hierarchy at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "lattix/lattix_export.h"

// One register byte and everything that governs it.
struct registerCell {
  uint8_t value = 0;
  uint8_t readMask = 0xFF;
  uint8_t writeMask = 0xFF;
  uint8_t writeOnceMask = 0;
  uint8_t rw1cMask = 0;
  uint8_t stickyMask = 0;
  uint8_t hotResetValue = 0;
  uint8_t coldResetValue = 0;
};

class LATTIX_API configSpace {
 public:
  static constexpr int kSize = 0x1000;
  static constexpr int kBits = kSize * 8;
  // Widest value group: a group is checked against one 32-bit written value.
  static constexpr int kMaxGroupWidth = 32;

  // A blank space: all values 0, every bit writable, no groups.
  configSpace();
  // A space filled from a template kind (1 endpoint, 2 bridge, 3 upstream port,
  // 4 downstream port; anything else leaves it blank).
  explicit configSpace(int templateKind);
  configSpace(const configSpace& other);
  configSpace& operator=(const configSpace& other);
  ~configSpace();

  // Header flags.
  bool noResponse = false;
  bool expectedMemEnable = true;
  bool expectedIOEnable = true;
  bool ignoreMemEnable = false;
  bool ignoreIOEnable = false;

  registerCell cells[kSize];

  // 0, -5 (out of memory) or -10 (capability offset out of range) from the last builder.
  int status = 0;
  // One per BAR offset 0x10, 0x14, ..., 0x24.
  bool ignoreOverlap[6] = {false, false, false, false, false, false};

  // Reads width bytes (1, 2 or 4) little-endian, each value AND readMask.
  uint32_t read(uint32_t offset, int width) const;
  // Ordinary write of width bytes: masks, RW1C, write-once and value groups apply.
  void write(uint32_t offset, int width, uint32_t value);
  // Sets the values directly, ignoring every mask.
  void statusWrite(uint32_t offset, int width, uint32_t value);
  // Raw values of width bytes, ignoring the read mask.
  uint32_t rawValue(uint32_t offset, int width) const;
  // Writable mask of width bytes.
  uint32_t writeMask(uint32_t offset, int width) const;
  // Sets one of the masks for width bytes.
  void setWriteMask(uint32_t offset, int width, uint32_t mask);
  void setWriteOnceMask(uint32_t offset, int width, uint32_t mask);
  void setRw1cMask(uint32_t offset, int width, uint32_t mask);
  void setStickyMask(uint32_t offset, int width, uint32_t mask);

  // Copies every current value into hotResetValue and coldResetValue.
  void takeResetSnapshot();
  void hotReset();
  void coldReset();

  // Adds a value group over absolute bits startBit..endBit. Returns false (and
  // changes nothing) when the range is invalid, wider than kMaxGroupWidth or
  // overlaps an existing group.
  bool addGroup(uint32_t startBit, uint32_t endBit, const uint32_t* values, uint32_t count);
  bool hasGroups() const { return groups_ != nullptr; }

  // Bytes of memory this space holds, group tables included.
  size_t memoryUsage() const;

 private:
  struct groupTable;
  // Mask of bits (relative to offset) that the group check lets through.
  uint32_t groupPassMask(uint32_t offset, int width, uint32_t value) const;
  void setMask(uint8_t registerCell::*field, uint32_t offset, int width, uint32_t mask);

  std::unique_ptr<groupTable> groups_;
};

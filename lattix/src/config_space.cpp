// Per-byte register semantics of one configuration space: writes, masks, groups, resets.
#include "lattix/config_space.h"

#include <algorithm>
#include <map>

#include "templates.h"

namespace {

// How many of the `width` bytes from `offset` lie inside the space; computed without
// adding to the offset, which a caller may give as large as 0xFFFFFFFF.
int bytesInside(uint32_t offset, int width) {
  if (width <= 0 || offset >= static_cast<uint32_t>(configSpace::kSize)) return 0;
  return std::min(width, static_cast<int>(configSpace::kSize - offset));
}

}  // namespace

// Value groups: one signed width byte per bit (0 none, w > 0 start of a w-bit group,
// -1, -2, ... continuation) and the allowed values of each group, sorted.
struct configSpace::groupTable {
  int8_t widths[kBits] = {};
  std::map<uint32_t, std::vector<uint32_t>> allowed;
};

configSpace::configSpace() = default;

configSpace::configSpace(int templateKind) {
  size_t tableCount = 0;
  const lattix_templates::templateTable* tables =
      lattix_templates::templateFor(templateKind, &tableCount);
  for (size_t t = 0; t < tableCount; ++t) {
    for (size_t r = 0; r < tables[t].count; ++r) {
      const lattix_templates::templateRow& row = tables[t].rows[r];
      for (uint32_t off = row.first; off <= row.last; ++off) {
        registerCell& cell = cells[off];
        cell.value = row.value;
        cell.writeMask = row.writeMask;
        cell.writeOnceMask = row.writeOnceMask;
        cell.rw1cMask = row.rw1cMask;
        cell.stickyMask = row.stickyMask;
      }
    }
  }
  takeResetSnapshot();
}

configSpace::configSpace(const configSpace& other)
    : noResponse(other.noResponse),
      expectedMemEnable(other.expectedMemEnable),
      expectedIOEnable(other.expectedIOEnable),
      ignoreMemEnable(other.ignoreMemEnable),
      ignoreIOEnable(other.ignoreIOEnable),
      status(other.status) {
  std::copy(std::begin(other.cells), std::end(other.cells), cells);
  std::copy(std::begin(other.ignoreOverlap), std::end(other.ignoreOverlap), ignoreOverlap);
  if (other.groups_) groups_ = std::make_unique<groupTable>(*other.groups_);
}

configSpace& configSpace::operator=(const configSpace& other) {
  if (this == &other) return *this;
  configSpace copy(other);
  noResponse = copy.noResponse;
  expectedMemEnable = copy.expectedMemEnable;
  expectedIOEnable = copy.expectedIOEnable;
  ignoreMemEnable = copy.ignoreMemEnable;
  ignoreIOEnable = copy.ignoreIOEnable;
  status = copy.status;
  std::copy(std::begin(copy.cells), std::end(copy.cells), cells);
  std::copy(std::begin(copy.ignoreOverlap), std::end(copy.ignoreOverlap), ignoreOverlap);
  groups_ = std::move(copy.groups_);
  return *this;
}

configSpace::~configSpace() = default;

uint32_t configSpace::read(uint32_t offset, int width) const {
  uint32_t result = 0;
  for (int i = 0; i < bytesInside(offset, width); ++i) {
    const registerCell& cell = cells[offset + i];
    result |= static_cast<uint32_t>(cell.value & cell.readMask) << (8 * i);
  }
  return result;
}

uint32_t configSpace::rawValue(uint32_t offset, int width) const {
  uint32_t result = 0;
  for (int i = 0; i < bytesInside(offset, width); ++i)
    result |= static_cast<uint32_t>(cells[offset + i].value) << (8 * i);
  return result;
}

uint32_t configSpace::writeMask(uint32_t offset, int width) const {
  uint32_t result = 0;
  for (int i = 0; i < bytesInside(offset, width); ++i)
    result |= static_cast<uint32_t>(cells[offset + i].writeMask) << (8 * i);
  return result;
}

void configSpace::write(uint32_t offset, int width, uint32_t value) {
  if (bytesInside(offset, width) == 0) return;
  const uint32_t pass = groups_ ? groupPassMask(offset, width, value) : 0xFFFFFFFFu;
  for (int i = 0; i < bytesInside(offset, width); ++i) {
    registerCell& cell = cells[offset + i];
    const uint8_t v = static_cast<uint8_t>(value >> (8 * i));
    const uint8_t open = cell.writeMask & static_cast<uint8_t>(pass >> (8 * i));
    const uint8_t cleared = open & cell.rw1cMask & static_cast<uint8_t>(cell.value & ~v);
    const uint8_t written = open & static_cast<uint8_t>(~cell.rw1cMask) & v;
    cell.value = static_cast<uint8_t>((cell.value & ~open) | cleared | written);
    cell.writeMask = static_cast<uint8_t>(cell.writeMask & ~cell.writeOnceMask);
  }
}

void configSpace::statusWrite(uint32_t offset, int width, uint32_t value) {
  for (int i = 0; i < bytesInside(offset, width); ++i)
    cells[offset + i].value = static_cast<uint8_t>(value >> (8 * i));
}

void configSpace::setMask(uint8_t registerCell::*field, uint32_t offset, int width,
                          uint32_t mask) {
  for (int i = 0; i < bytesInside(offset, width); ++i)
    cells[offset + i].*field = static_cast<uint8_t>(mask >> (8 * i));
}

void configSpace::setWriteMask(uint32_t offset, int width, uint32_t mask) {
  setMask(&registerCell::writeMask, offset, width, mask);
}
void configSpace::setWriteOnceMask(uint32_t offset, int width, uint32_t mask) {
  setMask(&registerCell::writeOnceMask, offset, width, mask);
}
void configSpace::setRw1cMask(uint32_t offset, int width, uint32_t mask) {
  setMask(&registerCell::rw1cMask, offset, width, mask);
}
void configSpace::setStickyMask(uint32_t offset, int width, uint32_t mask) {
  setMask(&registerCell::stickyMask, offset, width, mask);
}

void configSpace::takeResetSnapshot() {
  for (registerCell& cell : cells) {
    cell.hotResetValue = cell.value;
    cell.coldResetValue = cell.value;
  }
}

void configSpace::hotReset() {
  for (registerCell& cell : cells) {
    cell.value = static_cast<uint8_t>((cell.hotResetValue & ~cell.stickyMask) |
                                      (cell.value & cell.stickyMask));
    cell.writeMask |= cell.writeOnceMask;
  }
}

void configSpace::coldReset() {
  for (registerCell& cell : cells) {
    cell.value = cell.coldResetValue;
    cell.writeMask |= cell.writeOnceMask;
  }
}

bool configSpace::addGroup(uint32_t startBit, uint32_t endBit, const uint32_t* values,
                           uint32_t count) {
  if (endBit < startBit || endBit >= static_cast<uint32_t>(kBits)) return false;
  const uint32_t width = endBit - startBit + 1;
  if (width > kMaxGroupWidth || (count > 0 && values == nullptr)) return false;
  if (groups_) {
    for (uint32_t bit = startBit; bit <= endBit; ++bit)
      if (groups_->widths[bit] != 0) return false;
  } else {
    groups_ = std::make_unique<groupTable>();
  }
  groups_->widths[startBit] = static_cast<int8_t>(width);
  for (uint32_t k = 1; k < width; ++k) groups_->widths[startBit + k] = static_cast<int8_t>(-k);
  const uint32_t limit = width == 32 ? 0xFFFFFFFFu : ((1u << width) - 1);
  std::vector<uint32_t> allowed;
  for (uint32_t i = 0; i < count; ++i)
    if (values[i] <= limit) allowed.push_back(values[i]);
  std::sort(allowed.begin(), allowed.end());
  allowed.erase(std::unique(allowed.begin(), allowed.end()), allowed.end());
  groups_->allowed[startBit] = std::move(allowed);
  return true;
}

uint32_t configSpace::groupPassMask(uint32_t offset, int width, uint32_t value) const {
  uint32_t pass = 0xFFFFFFFFu;
  const int bits = width * 8;
  const uint32_t firstBit = offset * 8;
  int pos = 0;
  while (pos < bits) {
    const uint32_t absolute = firstBit + pos;
    if (absolute >= static_cast<uint32_t>(kBits)) break;
    const int w = groups_->widths[absolute];
    if (w == 0) {
      ++pos;
      continue;
    }
    if (w < 0) {  // continuation of a group that started before the write
      pass &= ~(1u << pos);
      ++pos;
      continue;
    }
    const uint32_t fieldMask = w == 32 ? 0xFFFFFFFFu : ((1u << w) - 1);
    bool allowed = false;
    if (pos + w <= bits) {
      const uint32_t field = (value >> pos) & fieldMask;
      const std::vector<uint32_t>& list = groups_->allowed.at(absolute);
      allowed = std::binary_search(list.begin(), list.end(), field);
    }
    if (!allowed) {
      // The whole group keeps its old value, including bits beyond the write.
      const int inside = std::min(w, bits - pos);
      const uint32_t insideMask = inside == 32 ? 0xFFFFFFFFu : ((1u << inside) - 1);
      pass &= ~(insideMask << pos);
    }
    pos += w;
  }
  return pass;
}

size_t configSpace::memoryUsage() const {
  size_t bytes = sizeof(configSpace);
  if (groups_) {
    bytes += sizeof(groupTable);
    for (const auto& entry : groups_->allowed)
      bytes += entry.second.capacity() * sizeof(uint32_t) + 64;  // map node estimate
  }
  return bytes;
}

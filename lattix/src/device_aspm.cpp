// ASPM fields of the PCI Express capability: control bits and L0s/L1 latencies.
#include "lattix/device.h"
#include "lattix/pci_regs.h"

namespace {
constexpr uint32_t kNoCapabilityLatency = 0xFFFFFFFFu;
}

uint8_t device::expressCapability(uint8_t fn) const { return findCapability(fn, LX_CAP_ID_EXP); }

bool device::GetASPMControl(uint8_t fn, uint32_t* out) const {
  const uint8_t cap = expressCapability(fn);
  if (!cap) return true;
  if (out) *out = read1(fn, cap + LX_EXP_LNKCTL) & 3u;
  return false;
}

uint32_t device::getL0sExitLatency(uint8_t fn) const {
  const uint8_t cap = expressCapability(fn);
  if (!cap || !(read1(fn, cap + LX_EXP_LNKCTL) & LX_EXP_LNKCTL_ASPM_L0S)) return 0;
  return 64u << ((read1(fn, cap + LX_EXP_LNKCAP + 1) >> 4) & 7);
}

uint32_t device::getL1ExitLatency(uint8_t fn) const {
  const uint8_t cap = expressCapability(fn);
  if (!cap || !(read1(fn, cap + LX_EXP_LNKCTL) & LX_EXP_LNKCTL_ASPM_L1)) return 0;
  return 1024u << ((read2(fn, cap + LX_EXP_LNKCAP + 1) >> 7) & 7);
}

uint32_t device::getL0sAcceptableLatency(uint8_t fn) const {
  const uint8_t cap = expressCapability(fn);
  if (!cap) return kNoCapabilityLatency;
  return 32u << ((read2(fn, cap + LX_EXP_DEVCAP) >> 6) & 7);
}

uint32_t device::getL1AcceptableLatency(uint8_t fn) const {
  const uint8_t cap = expressCapability(fn);
  if (!cap) return kNoCapabilityLatency;
  return 512u << ((read1(fn, cap + LX_EXP_DEVCAP + 1) >> 1) & 7);
}

void device::setASPMControl(uint8_t fn, uint8_t value) {
  const uint8_t cap = expressCapability(fn);
  if (!cap) return;
  const uint16_t off = cap + LX_EXP_LNKCTL;
  statusWrite1(fn, off, static_cast<uint8_t>((read1(fn, off) & 0xFC) | (value & 7)));
}

void device::setL0sExitLatency(uint8_t fn, uint8_t value) {
  const uint8_t cap = expressCapability(fn);
  if (!cap) return;
  const uint16_t off = cap + LX_EXP_LNKCAP + 1;
  statusWrite1(fn, off, static_cast<uint8_t>((read1(fn, off) & 0x8F) | (value & 7) << 4));
}

void device::setL1ExitLatency(uint8_t fn, uint16_t value) {
  const uint8_t cap = expressCapability(fn);
  if (!cap) return;
  const uint16_t off = cap + LX_EXP_LNKCAP + 1;
  statusWrite2(fn, off, static_cast<uint16_t>((read2(fn, off) & 0xFC7F) | (value & 7) << 7));
}

void device::setL0sAcceptableLatency(uint8_t fn, uint16_t value) {
  const uint8_t cap = expressCapability(fn);
  if (!cap) return;
  const uint16_t off = cap + LX_EXP_DEVCAP;
  statusWrite2(fn, off, static_cast<uint16_t>((read2(fn, off) & 0xFE3F) | (value & 7) << 6));
}

void device::setL1AcceptableLatency(uint8_t fn, uint8_t value) {
  const uint8_t cap = expressCapability(fn);
  if (!cap) return;
  const uint16_t off = cap + LX_EXP_DEVCAP + 1;
  statusWrite1(fn, off, static_cast<uint8_t>((read1(fn, off) & 0xF1) | (value & 7) << 1));
}

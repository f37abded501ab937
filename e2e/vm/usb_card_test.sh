#!/usr/bin/env bash
# The lab's card as a USB device in a guest: zamsim serves the card's USB controller over
# usbredir, QEMU's usb-redir device on a qemu-xhci controller connects to it, and the guest's
# own USB stack (usbcore, xhci-hcd) must enumerate a high-speed 04b4:8613 with one
# vendor-specific interface and its two bulk endpoints, as sysfs shows them.
#
# Usage: usb_card_test.sh VM_BED ZAMSIM STATION
# Exits 77 (skipped) when the bed has no QEMU or kernel.
set -uo pipefail
bed=$1 zamsim=$2 station=$3
work=$(mktemp -d)
lab=$work/lab.sock card=$work/card.sock
cleanup() {
  "$zamsim" stop --socket "$lab" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# The guest waits for the device (enumeration goes on after the modules load), then lists
# what sysfs says of it, one line each.
cat >"$work/guest.sh" <<'GUEST'
dev=
for i in $(seq 1 300); do
  for d in /sys/bus/usb/devices/*; do
    [ -f "$d/idVendor" ] && [ "$(cat "$d/idVendor")" = 04b4 ] && dev=$d
  done
  [ -n "$dev" ] && [ -f "$dev/bNumConfigurations" ] && [ -d "$dev/$(basename "$dev"):1.0" ] && break
  sleep 0.1
done
[ -n "$dev" ] || { echo "no 04b4 device"; ls /sys/bus/usb/devices; exit 3; }
for f in idVendor idProduct bcdDevice version speed bDeviceClass bMaxPacketSize0 bNumConfigurations \
  bConfigurationValue bNumInterfaces manufacturer product; do
  echo "$f=$(cat "$dev/$f")"
done
intf=$dev/$(basename "$dev"):1.0
for f in bInterfaceNumber bAlternateSetting bNumEndpoints bInterfaceClass bInterfaceSubClass bInterfaceProtocol; do
  echo "$f=$(cat "$intf/$f")"
done
for ep in "$intf"/ep_*; do
  echo "$(basename "$ep") $(cat "$ep/type") $(cat "$ep/direction") $(cat "$ep/wMaxPacketSize")"
done
GUEST

expected="idVendor=04b4
idProduct=8613
bcdDevice=a001
version= 2.00
speed=480
bDeviceClass=00
bMaxPacketSize0=64
bNumConfigurations=1
bConfigurationValue=1
bNumInterfaces= 1
manufacturer=ZAM
product=ZAM PCI Express card (lab)
bInterfaceNumber=00
bAlternateSetting= 0
bNumEndpoints=02
bInterfaceClass=ff
bInterfaceSubClass=00
bInterfaceProtocol=00
ep_02 Bulk out 0200
ep_86 Bulk in 0200"

# zamsim listens on the card's socket before QEMU starts: QEMU connects once, at its start.
if ! "$zamsim" start "$station" --socket "$lab" --usbredir "$card" >"$work/zamsim.log" 2>&1; then
  echo "FAIL: zamsim did not start:"; cat "$work/zamsim.log"; exit 1
fi
bash "$bed" --script "$work/guest.sh" --out "$work/out" --timeout 180 \
  --module usb-common --module usbcore --module xhci-hcd --module xhci-pci \
  --device qemu-xhci,id=xhci --chardev "socket,id=card,path=$card" --device usb-redir,chardev=card,bus=xhci.0 \
  >"$work/guest.out" 2>"$work/guest.err"
code=$?
[ "$code" -eq 77 ] && { echo "skipped: $(cat "$work/guest.err")"; exit 77; }
got=$(cat "$work/guest.out")
if [ "$code" -ne 0 ] || [ "$got" != "$expected" ]; then
  echo "FAIL: the guest's view of the card (exit $code):"
  diff <(echo "$expected") <(echo "$got")
  cat "$work/guest.err"
  tail -20 "$work/out/console.log" 2>/dev/null
  exit 1
fi
echo "ok: the guest enumerated the card's USB controller over usbredir"

#!/usr/bin/env bash
# The lab's card as a USB device in a guest: zamsim serves the card's USB controller over
# usbredir, QEMU's usb-redir device on a qemu-xhci controller connects to it, and the guest's
# own USB stack (usbcore, xhci-hcd) must enumerate a high-speed 04b4:5a4d with one
# vendor-specific interface and its two bulk endpoints, as sysfs shows them. In the same
# boot zamdiag runs in the guest through libusb (the usb provider: the guest has no
# ZAMSIM_SOCKET): its status dump must be the one zamdiag prints through the lab protocol on
# the host, byte for byte but the date, and what it writes (xdata, the next-boot mode) must be
# what the lab protocol reads back afterwards: one controller, one state. Then the host
# power-cycles the card: the guest must see it leave and come back under a new address, in
# the topology mode it chose, where its bulk pipes are tried through libusb.
# Batched into the same boot (one guest costs most of the time): a 300 KB FLASH image with
# its header programmed and verified through libusb with no error, then one byte of it
# flipped in the lab's FLASH (zamsim flip-flash-byte) and named at its offset by the next
# verify; the pipes' error codes (usb-pipe-probe): a stall ends with 31, and again after the
# pipe was cleared, a read with nothing pending with 1460 after its time-out, a write of a
# whole packet is taken; a second program on the claimed card is told it is busy, and the
# read it waits on ends with 1167 when the card is power-cycled; a code download (zamdiag
# -H) makes the card leave the bus and come back (new firmware taking over), and the next
# open finds it. A second lab card, booted without firmware (BootFirmware = 0), on a second
# usb-redir device of the same guest: a blank 04b4:8613 that the kernel's usbtest binds; the
# provider detaches usbtest and gives the card back to it, refuses a code download into the
# blank controller unless ZAM_USB_ALLOW_BLANK=1, and with it the download makes the card
# re-enumerate with its own IDs.
#
# Usage: usb_card_test.sh VM_BED ZAMSIM STATION ZAMDIAG USB_PIPE_PROBE
# Exits 77 (skipped) when the bed has no QEMU or kernel, or zamsim was built without
# libusbredirparser.
set -uo pipefail
bed=$1 zamsim=$2 station=$3 zamdiag=$(realpath "$4") probe=$(realpath "$5")  # the same paths in the guest
work=$(mktemp -d); chmod 700 "$work"
lab=$work/lab.sock card=$work/card.sock blank_lab=$work/blank.sock blank_card=$work/blank-card.sock
cleanup() {
  "$zamsim" stop --socket "$lab" >/dev/null 2>&1
  "$zamsim" stop --socket "$blank_lab" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# The FLASH image (300 KB, with a header at 0x100000) and the byte the lab flips: file offset
# 0x12345, FLASH 0x100000 + 256 + 0x12345. A small Intel Hex file for the code download.
yes "ZAM FLASH test image 0123456789abcdef" | head -c 307200 >"$work/image.bin"
flipped_file=$(od -An -tx1 -j $((0x12345)) -N1 "$work/image.bin" | tr -d ' ')
flipped_flash=$(printf '%02x' $((0x$flipped_file ^ 0xff)))
printf ':03010000020100F9\n:00000001FF\n' >"$work/code.hex"

# The guest waits for the device (enumeration goes on after the modules load), then lists
# what sysfs says of it, one line each.
cat >"$work/guest.sh" <<'GUEST'
dev=
for i in $(seq 1 300); do
  for d in /sys/bus/usb/devices/*; do
    [ -f "$d/idVendor" ] && [ "$(cat "$d/idVendor"):$(cat "$d/idProduct")" = 04b4:5a4d ] && dev=$d
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
# The suite's own tools through libusb, as on a bench with a real card.
"$ZAMDIAG" -s >status.txt 2>status.err; echo "status exit $?" >>status.txt
"$ZAMDIAG" -w 0x1000 0x5a 0xa5 >write.txt 2>&1; echo "write exit $?" >>write.txt
"$ZAMDIAG" -r 0x1000 2 >read.txt 2>&1; echo "read exit $?" >>read.txt
# The host acts on a marker in xdata 0x1100 and answers in 0x1101 (see below).
host_step() {
  "$ZAMDIAG" -w 0x1101 0x00 >/dev/null 2>&1; "$ZAMDIAG" -w 0x1100 "$1" >/dev/null 2>&1
  for i in $(seq 1 300); do [ "$("$ZAMDIAG" -r 0x1101 1 2>/dev/null)" = "1101 $2 " ] && return 0; sleep 0.2; done
  return 1
}
# FLASH through libusb: program and verify a 300 KB image; the host flips one byte of it.
"$ZAMDIAG" -P /image.bin 0x100000 1 >flash-program.txt 2>&1; echo "program exit $?" >>flash-program.txt
"$ZAMDIAG" -p /image.bin 0x100000 1 >flash-verify.txt 2>&1; echo "verify exit $?" >>flash-verify.txt
host_step 0x02 02 || echo "no flip" >flash-flipped.txt
"$ZAMDIAG" -p /image.bin 0x100000 1 >>flash-flipped.txt 2>&1; echo "verify exit $?" >>flash-flipped.txt
# Pipe 0 outside topology mode stalls, twice: between the two the pipe is cleared. Pipe 1
# has nothing to read.
"$PROBE" ezusb-0 w0:4 w0:4 r1:16:1000 >probe-addin.txt 2>&1; echo "probe exit $?" >>probe-addin.txt
"$ZAMDIAG" -M TOP >mode.txt 2>&1; echo "mode exit $?" >>mode.txt
# The host power-cycles the card once it reads this marker: the device must leave the bus
# and come back under a new address, in the mode chosen for the next boot.
number=$(cat "$dev/devnum")
"$ZAMDIAG" -w 0x1100 0x01 >/dev/null 2>&1
for i in $(seq 1 600); do
  [ -f "$dev/devnum" ] && [ "$(cat "$dev/devnum")" != "$number" ] && [ -d "$intf" ] && break
  sleep 0.1
done
echo "$(cat "$dev/idVendor" 2>&1):$(cat "$dev/idProduct" 2>&1) address $number -> $(cat "$dev/devnum" 2>&1)" >cycle.txt
"$ZAMDIAG" -s >status-after.txt 2>&1; echo "status exit $?" >>status-after.txt
# The bulk pipes through libusb in topology mode: a read on pipe 1 that nothing answers ends
# at zamdiag's time-out (the guest cancels the transfer) and the card still answers after
# it; a write on pipe 0 is taken; pipe 0 read (an OUT endpoint) and pipe 2 (none) fail.
{ "$ZAMDIAG" -b 1 12; echo "read pipe 1 exit $?"; "$ZAMDIAG" -v; echo "version exit $?"
  "$ZAMDIAG" -B 0 1 2 3 4; echo "write pipe 0 exit $?"; "$ZAMDIAG" -b 0 4; echo "read pipe 0 exit $?"
  "$ZAMDIAG" -b 2 4; echo "read pipe 2 exit $?"; } >pipes.txt 2>&1
"$PROBE" ezusb-0 r1:16:1500 w0:512 >probe-topology.txt 2>&1; echo "probe exit $?" >>probe-topology.txt
# A read waits on pipe 1 while a second program tries the card: busy. The host power-cycles
# the card under the waiting read 8 s after the marker (nothing else can reach the card
# while the read holds it).
number=$(cat "$dev/devnum")
"$ZAMDIAG" -w 0x1100 0x03 >/dev/null 2>&1
"$PROBE" ezusb-0 r1:16:60000 >probe-inflight.txt 2>probe-inflight.err &
waiting=$!
sleep 2
"$ZAMDIAG" -v >busy.txt 2>&1; echo "version exit $?" >>busy.txt
wait "$waiting"; echo "probe exit $?" >>probe-inflight.txt
for i in $(seq 1 600); do
  [ -f "$dev/devnum" ] && [ "$(cat "$dev/devnum")" != "$number" ] && [ -d "$intf" ] && break
  sleep 0.1
done
# New code taking over: the card leaves the bus and comes back; the next open finds it.
number=$(cat "$dev/devnum")
"$ZAMDIAG" -H /code.hex >hex.txt 2>&1; echo "hex exit $?" >>hex.txt
for i in $(seq 1 600); do
  [ -f "$dev/devnum" ] && [ "$(cat "$dev/devnum")" != "$number" ] && [ -d "$intf" ] && break
  sleep 0.1
done
echo "$(cat "$dev/idVendor" 2>&1):$(cat "$dev/idProduct" 2>&1) address $number -> $(cat "$dev/devnum" 2>&1)" >reenumerated.txt
"$ZAMDIAG" -v >>reenumerated.txt 2>&1; echo "version exit $?" >>reenumerated.txt
# The blank controller: usbtest holds it; a refused download, then an allowed one.
blank=
for i in $(seq 1 300); do
  for d in /sys/bus/usb/devices/*; do
    [ -f "$d/idProduct" ] && [ "$(cat "$d/idVendor"):$(cat "$d/idProduct")" = 04b4:8613 ] && blank=$d
  done
  [ -n "$blank" ] && [ -e "$blank/$(basename "$blank"):1.0/driver" ] && break
  sleep 0.1
done
bintf=$blank/$(basename "$blank"):1.0
driver() { if [ -e "$bintf/driver" ]; then basename "$(readlink "$bintf/driver")"; else echo none; fi; }
{ echo "driver $(driver)"
  ZAM_USB_ID=04b4:8613 "$ZAMDIAG" -H /code.hex 2>&1; echo "refused exit $?"
  echo "driver $(driver)"
  number=$(cat "$blank/devnum")
  ZAM_USB_ID=04b4:8613 ZAM_USB_ALLOW_BLANK=1 "$ZAMDIAG" -H /code.hex 2>&1; echo "allowed exit $?"
  for i in $(seq 1 600); do
    [ "$(cat "$blank/idProduct" 2>/dev/null)" = 5a4d ] && [ "$(cat "$blank/devnum")" != "$number" ] && [ -d "$bintf" ] && break
    sleep 0.1
  done
  echo "$(cat "$blank/idVendor" 2>&1):$(cat "$blank/idProduct" 2>&1) driver $(driver)"
} >blank.txt
GUEST

expected="idVendor=04b4
idProduct=5a4d
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
  if grep -q "built without libusbredirparser" "$work/zamsim.log"; then
    echo "skipped: $(head -1 "$work/zamsim.log")"; exit 77
  fi
  echo "FAIL: zamsim did not start:"; cat "$work/zamsim.log"; exit 1
fi
# The second card, booted blank.
sed -e '/^\[Card\]/a BootFirmware = 0' -e "s|^Topology = |Topology = $(cd "$(dirname "$station")" && pwd)/|" "$station" \
  >"$work/blank.station"
if ! "$zamsim" start "$work/blank.station" --socket "$blank_lab" --usbredir "$blank_card" >"$work/zamsim-blank.log" 2>&1; then
  echo "FAIL: the blank card's zamsim did not start:"; cat "$work/zamsim-blank.log"; exit 1
fi
# The lab protocol's status dump of the fresh card, before the guest changes it.
ZAMSIM_SOCKET=$lab "$zamdiag" -s >"$work/host-status.txt" 2>&1
echo "status exit $?" >>"$work/host-status.txt"
# What the guest asks of the host by a marker in xdata 0x1100 (one xdata read a poll, so the
# host's requests never interleave with the guest's I2C sequences), in this order: 02 flip
# the FLASH byte (answered with 02 in 0x1101), 01 power-cycle the card, 03 power-cycle it
# again 8 s later.
(
  for marker in 02 01 03; do
    for i in $(seq 1 1500); do
      [ "$(ZAMSIM_SOCKET=$lab "$zamdiag" -r 0x1100 1 2>/dev/null)" = "1100 $marker " ] && break
      sleep 0.2
    done
    case $marker in
      02) "$zamsim" flip-flash-byte $((0x100000 + 256 + 0x12345)) --socket "$lab" >"$work/flip.log" 2>&1
          ZAMSIM_SOCKET=$lab "$zamdiag" -w 0x1101 0x02 >/dev/null 2>&1 ;;
      01) "$zamsim" power-cycle-card --socket "$lab" >>"$work/cycle.log" 2>&1 ;;
      03) sleep 8; "$zamsim" power-cycle-card --socket "$lab" >>"$work/cycle.log" 2>&1 ;;
    esac
  done
) &
cycler=$!
bash "$bed" --script "$work/guest.sh" --out "$work/out" --timeout 300 \
  --program "$zamdiag" --env "ZAMDIAG=$zamdiag" --program "$probe" --env "PROBE=$probe" \
  --file "$work/image.bin:/image.bin" --file "$work/code.hex:/code.hex" \
  --module usb-common --module usbcore --module xhci-hcd --module xhci-pci --module usbtest \
  --device qemu-xhci,id=xhci --chardev "socket,id=card,path=$card" --device usb-redir,chardev=card,bus=xhci.0 \
  --chardev "socket,id=blank,path=$blank_card" --device usb-redir,chardev=blank,bus=xhci.0 \
  >"$work/guest.out" 2>"$work/guest.err"
code=$?
kill "$cycler" 2>/dev/null; wait "$cycler" 2>/dev/null
[ "$code" -eq 77 ] && { echo "skipped: $(cat "$work/guest.err")"; exit 77; }
got=$(cat "$work/guest.out")
if [ "$code" -ne 0 ] || [ "$got" != "$expected" ]; then
  echo "FAIL: the guest's view of the card (exit $code):"
  diff <(echo "$expected") <(echo "$got")
  cat "$work/guest.err"
  tail -20 "$work/out/console.log" 2>/dev/null
  exit 1
fi
# The dumps' second heading line carries the date (24 characters) of the side that printed it.
undated() { sed -E 's/^(ZAM status dump +).{24}$/\1<date>/' "$1"; }
failed=0
if [ "$(undated "$work/out/files/status.txt")" != "$(undated "$work/host-status.txt")" ]; then
  echo "FAIL: zamdiag -s through libusb in the guest differs from the lab protocol's:"
  diff <(undated "$work/host-status.txt") <(undated "$work/out/files/status.txt")
  cat "$work/out/files/status.err"
  failed=1
fi
grep -q "^Mode after power cycle         add-in card mode$" "$work/host-status.txt" ||
  { echo "FAIL: the host's status dump is not the fresh card's:"; cat "$work/host-status.txt"; failed=1; }
for step in "write|write exit 0" "read|1000 5A A5 
read exit 0" "mode|mode exit 0"; do
  name=${step%%|*} want=${step#*|}
  [ "$(cat "$work/out/files/$name.txt")" = "$want" ] ||
    { echo "FAIL: zamdiag $name in the guest:"; cat "$work/out/files/$name.txt"; failed=1; }
done
back=$(ZAMSIM_SOCKET=$lab "$zamdiag" -r 0x1000 2 2>&1)
[ "$back" = "1000 5A A5 " ] || { echo "FAIL: the lab protocol reads back '$back' where the guest wrote 5A A5"; failed=1; }
mode=$(ZAMSIM_SOCKET=$lab "$zamdiag" -s 2>&1 | grep "^Mode after power cycle")
[ "$mode" = "Mode after power cycle         topology mode" ] ||
  { echo "FAIL: the next-boot mode the guest chose is not the lab's: '$mode'"; failed=1; }
# After the power cycle: the same card under a new address, in topology mode.
cycle=$(cat "$work/out/files/cycle.txt")
[[ "$cycle" =~ ^04b4:5a4d\ address\ ([0-9]+)\ -\>\ ([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" != "${BASH_REMATCH[2]}" ] ||
  { echo "FAIL: the card did not come back under a new address after its power cycle: '$cycle'"; cat "$work/cycle.log"; failed=1; }
for line in "Current mode                   topology mode" "Mode after power cycle         topology mode" "status exit 0"; do
  grep -qxF "$line" "$work/out/files/status-after.txt" ||
    { echo "FAIL: zamdiag -s after the power cycle lacks '$line':"; cat "$work/out/files/status-after.txt"; failed=1; }
done
pipes_expected="ioctl failed
nothing arrived on pipe 1 within 5000 ms
read pipe 1 exit 255
1.2
version exit 0
write pipe 0 exit 0
ioctl failed
read pipe 0 exit 255
ioctl failed
read pipe 2 exit 255"
[ "$(cat "$work/out/files/pipes.txt")" = "$pipes_expected" ] ||
  { echo "FAIL: the bulk pipes through libusb:"; diff <(echo "$pipes_expected") "$work/out/files/pipes.txt"; failed=1; }
# FLASH: 0 errors, then the flipped byte at its offset.
check_file() {  # name, expected text
  [ "$(cat "$work/out/files/$1")" = "$2" ] ||
    { echo "FAIL: $1 in the guest:"; diff <(echo "$2") "$work/out/files/$1"; failed=1; }
}
check_file flash-program.txt "erasing...
programming.......done
program exit 0"
check_file flash-verify.txt "verifying.......done
verify exit 0"
[ "$(cat "$work/flip.log")" = "FLASH byte 0x$(printf '%06X' $((0x100000 + 256 + 0x12345))) flipped: 0x${flipped_file^^} -> 0x${flipped_flash^^}" ] ||
  { echo "FAIL: zamsim flip-flash-byte: $(cat "$work/flip.log")"; failed=1; }
check_file flash-flipped.txt "verifying....
*** image compare error at offset 0x00012345 [file: $flipped_file - flash: $flipped_flash] ...
verify failed: 1 error
verify exit 255"
check_file probe-addin.txt "w0 4: error 31
w0 4: error 31
r1 16: error 1460 after its time-out
probe exit 0"
check_file probe-topology.txt "r1 16: error 1460 after its time-out
w0 512: ok 512
probe exit 0"
check_file probe-inflight.txt "r1 16: error 1167
probe exit 0"
check_file probe-inflight.err "usb: the card of ezusb-0 left the USB bus during a request (a power cycle or a new enumeration); open ezusb-0 again to reach it"
check_file busy.txt "usb: the card is busy for ezusb-0: USB device 04b4:5a4d number 0 (another program has claimed its interface: Resource busy); another program holds it: end that program and try again
Can't open USB device driver ezusb-0
version exit 1"
check_file hex.txt "hex exit 0"
reenumerated=$(head -1 "$work/out/files/reenumerated.txt")
[[ "$reenumerated" =~ ^04b4:5a4d\ address\ ([0-9]+)\ -\>\ ([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" != "${BASH_REMATCH[2]}" ] &&
  [ "$(tail -n +2 "$work/out/files/reenumerated.txt")" = "1.2
version exit 0" ] ||
  { echo "FAIL: the code download did not re-enumerate the card, or the next open did not find it:"
    cat "$work/out/files/reenumerated.txt"; failed=1; }
check_file blank.txt "driver usbtest
usb: ezusb-0 is a blank EZ-USB controller (04b4:8613), which may be any FX2 device on this machine, not the card: no code is downloaded into it; set ZAM_USB_ALLOW_BLANK=1 to do so
Reset Failed
refused exit 255
driver usbtest
allowed exit 0
04b4:5a4d driver none"
[ "$failed" -eq 0 ] || exit 1
echo "ok: the guest enumerated the card over usbredir, zamdiag through libusb shares the lab's state," \
  "a power cycle re-enumerates the card ($cycle), so does a code download ($reenumerated);" \
  "FLASH, pipe error codes, busy and a card leaving under a read as expected"

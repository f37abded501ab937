#!/usr/bin/env bash
# Configuration requests per second of the catalogue's largest case through a real USB stack
# beside the lab protocol, measured in the same run: fwtool on the host through the lab
# protocol, then fwtool in a guest of the VM test bed whose card is the lab's, served over
# usbredir and reached through the guest's xHCI driver, usbcore and libusb. Each side counts
# the requests its packet trace received (the traces must be equal) and the wall time of
# fwtool's run of the case (the guest's from /proc/uptime, 10 ms steps); the guest runs under
# TCG on the shared cores, so its figure is that of a slow machine, not of a real bench.
#
# Usage: usb_fwtool_bench.sh [BUILD_BIN [SOURCE_DIR]]   (defaults: build/default/bin, .)
# Prints one line a path and exits 0; 77 when the bed has no QEMU or kernel, or zamsim was
# built without libusbredirparser; 1 when a run did not pass.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
src=$(realpath "${2:-$here/../..}")
bin=$(realpath "${1:-$src/build/default/bin}")
zamsim=$bin/zamsim fwtool=$bin/fwtool bed=$src/e2e/vm/vm-bed
case_script=FunctionTopologyCases/Case_1_2_Max_Topology_Various_Requests.test
name=${case_script##*/}
work=$(mktemp -d); chmod 700 "$work"
cleanup() {
  for lab in host usb; do "$zamsim" stop --socket "$work/$lab.sock" >/dev/null 2>&1; done
  rm -rf "$work"
}
trap cleanup EXIT

sed -e "s|^Topology = .*|Topology = $src/zamsim/stations/sut.test|" \
    -e "s|^RootComplex = .*|RootComplex = $src/zamsim/stations/sut.test|" \
    -e "s|^Fault =.*|Fault = |" "$src/zamsim/stations/sut.station" >"$work/sut.station"
printf '[DLL]\nDLLName = zamlib.dll\n[TimingParameters]\nDriverInitTimeout = 10000\nFirstRequestTimeout = 10000\nTrafficStopTimeout = 3000\n[CustomOptions]\nAutomateRunAll = 1\nPromptUserToPowerSystem = 0\n' \
  >"$work/ORVENapp.ini"

# The lab protocol on the host.
mkdir -p "$work/host/ini" "$work/host/Tests/${case_script%/*}"
cp "$work/ORVENapp.ini" "$work/host/ini/"
cp "$src/fwtool/Tests/$case_script" "$work/host/Tests/$case_script"
cp "$bin/libzamlib.so" "$work/host/"
"$zamsim" start "$work/sut.station" --socket "$work/host.sock" >"$work/host.log" 2>&1 ||
  { echo "the host's lab did not start:"; cat "$work/host.log"; exit 1; }
start=$(date +%s%N)
(cd "$work/host" && ZAMSIM_SOCKET="$work/host.sock" ZAM_OPERATOR=auto timeout 300 "$fwtool" "Tests/$case_script" >fwtool.out 2>&1)
host_status=$?
host_ns=$(( $(date +%s%N) - start ))
"$zamsim" stop --socket "$work/host.sock" >/dev/null 2>&1
[ "$host_status" -eq 0 ] || { echo "the case failed through the lab protocol (exit $host_status)"; exit 1; }
host_requests=$(grep -c '^Received: ' "$work/host/logs/$name.packets")

# The real USB stack in a guest.
if ! "$zamsim" start "$work/sut.station" --socket "$work/usb.sock" --usbredir "$work/card.sock" >"$work/usb.log" 2>&1; then
  grep -q "built without libusbredirparser" "$work/usb.log" && { echo "skipped: $(head -1 "$work/usb.log")"; exit 77; }
  echo "the lab did not start:"; cat "$work/usb.log"; exit 1
fi
cat >"$work/guest.sh" <<'GUEST'
for i in $(seq 1 300); do
  for d in /sys/bus/usb/devices/*; do
    [ -f "$d/idVendor" ] && [ "$(cat "$d/idVendor"):$(cat "$d/idProduct")" = 04b4:5a4d ] && [ -d "$d/$(basename "$d"):1.0" ] && found=1
  done
  [ -n "${found:-}" ] && break
  sleep 0.1
done
mkdir -p /bench/ini "/bench/Tests/$(dirname "$CASE")"
cp /ORVENapp.ini /bench/ini/
cp /case.test "/bench/Tests/$CASE"
cp "$(dirname "$FWTOOL")/libzamlib.so" /bench/
read start _ </proc/uptime
(cd /bench && ZAM_OPERATOR=auto "$FWTOOL" "Tests/$CASE" >fwtool.out 2>&1)
status=$?
read end _ </proc/uptime
echo "$status $start $end"
cp "/bench/logs/$NAME.packets" packets.txt
GUEST
bash "$bed" --script "$work/guest.sh" --out "$work/out" --timeout 600 \
  --program "$fwtool" --env "FWTOOL=$fwtool" --env "CASE=$case_script" --env "NAME=$name" \
  --file "$work/ORVENapp.ini:/ORVENapp.ini" --file "$src/fwtool/Tests/$case_script:/case.test" \
  --module usb-common --module usbcore --module xhci-hcd --module xhci-pci \
  --device qemu-xhci,id=xhci --chardev "socket,id=card,path=$work/card.sock" --device usb-redir,chardev=card,bus=xhci.0 \
  >"$work/guest.out" 2>"$work/guest.err"
code=$?
[ "$code" -eq 77 ] && { echo "skipped: $(cat "$work/guest.err")"; exit 77; }
read -r usb_status usb_start usb_end <"$work/guest.out"
if [ "$code" -ne 0 ] || [ "${usb_status:-x}" != 0 ]; then
  echo "the case failed through the guest's USB stack (bed exit $code, fwtool exit ${usb_status:-none})"
  cat "$work/guest.err"; exit 1
fi
usb_requests=$(grep -c '^Received: ' "$work/out/files/packets.txt")
cmp -s "$work/host/logs/$name.packets" "$work/out/files/packets.txt" ||
  { echo "the two paths' packet traces differ"; diff "$work/host/logs/$name.packets" "$work/out/files/packets.txt" | head; exit 1; }

# Rates over fwtool's whole run of the case (start-up and the case's end included: an
# automated case ends at the firmware's stop marker, without the traffic-stop wait).
awk -v hn="$host_ns" -v hr="$host_requests" -v us="$usb_start" -v ue="$usb_end" -v ur="$usb_requests" -v c="$name" 'BEGIN {
  h = hn / 1e9; u = ue - us
  if (h <= 0) h = 0.001
  if (u <= 0) u = 0.01
  lab = hr / h; usb = ur / u
  printf "%s: %d requests\n", c, hr
  printf "lab protocol (host):          %8.3f s %9.0f requests/s\n", h, lab
  printf "real USB stack (guest, TCG):  %8.3f s %9.0f requests/s (%.1f times fewer)\n", u, usb, lab / usb
}'

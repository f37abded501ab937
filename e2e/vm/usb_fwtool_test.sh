#!/usr/bin/env bash
# fwtool in a guest on the lab's system under test, its card reached through the guest's own
# USB stack: two labs on the sut station serve their cards over usbredir to two usb-redir
# devices of one guest, the first with a correct firmware, the second with one firmware fault
# (memory-enable-off). In the guest fwtool loads zamlib, whose card goes through libusb (no
# ZAMSIM_SOCKET there), and runs a catalogue case on the first card; the guest then takes
# that card off its bus (sysfs remove), so that the next run's ezusb-0 is the second card,
# and runs the case again. Each lab powers its system on when the guest first waits on the
# card's pipe 1, so every configuration request of its firmware crosses the guest's USB
# stack. The correct firmware's case passes and the faulted one fails with the enables
# check's report alone; each main log and packet trace equals, byte for byte, what fwtool
# writes for the same case and firmware through the lab protocol on the host, and each lab
# counts as many requests sent through its card as the guest's trace received.
#
# Usage: usb_fwtool_test.sh VM_BED ZAMSIM FWTOOL SOURCE_DIR
# Exits 77 (skipped) when the bed has no QEMU or kernel, or zamsim was built without
# libusbredirparser.
set -uo pipefail
bed=$1 zamsim=$2 fwtool=$(realpath "$3") src=$(realpath "$4")
case_script=LegacyTestCases/Case_2_2_Simple.test name=Case_2_2_Simple.test
fault=memory-enable-off report="Does Not Have Correct Value"
work=$(mktemp -d); chmod 700 "$work"
cleanup() {
  for lab in good bad host; do "$zamsim" stop --socket "$work/$lab.sock" >/dev/null 2>&1; done
  rm -rf "$work"
}
trap cleanup EXIT

station() {  # fault list, output file
  sed -e "s|^Topology = .*|Topology = $src/zamsim/stations/sut.test|" \
      -e "s|^RootComplex = .*|RootComplex = $src/zamsim/stations/sut.test|" \
      -e "s|^Fault =.*|Fault = $1|" "$src/zamsim/stations/sut.station" >"$2"
}
station "" "$work/good.station"
station "$fault" "$work/bad.station"
ini="[DLL]
DLLName = zamlib.dll
[TimingParameters]
DriverInitTimeout = 10000
FirstRequestTimeout = 10000
TrafficStopTimeout = 3000
[CustomOptions]
AutomateRunAll = 1
PromptUserToPowerSystem = 0"
printf '%s\n' "$ini" >"$work/ORVENapp.ini"

# The reference: the same case on the host through the lab protocol, one bench a firmware.
for lab in good bad; do
  mkdir -p "$work/ref-$lab/ini" "$work/ref-$lab/Tests/${case_script%/*}"
  cp "$work/ORVENapp.ini" "$work/ref-$lab/ini/"
  cp "$src/fwtool/Tests/$case_script" "$work/ref-$lab/Tests/$case_script"
  cp "$(dirname "$fwtool")/libzamlib.so" "$work/ref-$lab/"
  if ! "$zamsim" start "$work/$lab.station" --socket "$work/host.sock" >"$work/host-$lab.log" 2>&1; then
    echo "FAIL: the host's lab did not start:"; cat "$work/host-$lab.log"; exit 1
  fi
  (cd "$work/ref-$lab" && ZAMSIM_SOCKET="$work/host.sock" ZAM_OPERATOR=auto timeout 120 "$fwtool" "Tests/$case_script" \
    >fwtool.out 2>&1; echo "fwtool exit $?" >>fwtool.out)
  "$zamsim" stop --socket "$work/host.sock" >/dev/null 2>&1
done

# The labs listen on the cards' sockets before QEMU starts: QEMU connects once, at its start.
for lab in good bad; do
  if ! "$zamsim" start "$work/$lab.station" --socket "$work/$lab.sock" --usbredir "$work/$lab-card.sock" \
      >"$work/zamsim-$lab.log" 2>&1; then
    if grep -q "built without libusbredirparser" "$work/zamsim-$lab.log"; then
      echo "skipped: $(head -1 "$work/zamsim-$lab.log")"; exit 77
    fi
    echo "FAIL: zamsim did not start:"; cat "$work/zamsim-$lab.log"; exit 1
  fi
done

cat >"$work/guest.sh" <<'GUEST'
cards() {  # the card's devices in sysfs, configured with their interface
  for d in /sys/bus/usb/devices/*; do
    [ -f "$d/idVendor" ] && [ "$(cat "$d/idVendor"):$(cat "$d/idProduct")" = 04b4:5a4d ] &&
      [ -d "$d/$(basename "$d"):1.0" ] && echo "$d"
  done
}
for i in $(seq 1 300); do [ "$(cards | wc -l)" = 2 ] && break; sleep 0.1; done
echo "cards $(cards | wc -l)"
mkdir -p /bench/ini "/bench/Tests/$(dirname "$CASE")"
cp /ORVENapp.ini /bench/ini/
cp /case.test "/bench/Tests/$CASE"
cp "$(dirname "$FWTOOL")/libzamlib.so" /bench/
run() {  # result name
  rm -rf /bench/Logs /bench/logs
  (cd /bench && ZAM_OPERATOR=auto "$FWTOOL" "Tests/$CASE" >fwtool.out 2>&1; echo "fwtool exit $?" >>fwtool.out)
  mkdir -p "$1"
  cp /bench/fwtool.out /bench/Logs/ORVENLog.txt "$1/"
  cp "/bench/logs/$NAME.packets" "$1/packets.txt"
}
run good
# The first card (port 1, ezusb-0) off the bus: the second becomes ezusb-0.
first=$(cards | head -1)
echo 1 >"$first/remove"
for i in $(seq 1 100); do [ "$(cards | wc -l)" = 1 ] && break; sleep 0.1; done
echo "cards $(cards | wc -l)"
run bad
GUEST

bash "$bed" --script "$work/guest.sh" --out "$work/out" --timeout 400 \
  --program "$fwtool" --env "FWTOOL=$fwtool" --env "CASE=$case_script" --env "NAME=$name" \
  --file "$work/ORVENapp.ini:/ORVENapp.ini" --file "$src/fwtool/Tests/$case_script:/case.test" \
  --module usb-common --module usbcore --module xhci-hcd --module xhci-pci \
  --device qemu-xhci,id=xhci \
  --chardev "socket,id=good,path=$work/good-card.sock" --device usb-redir,chardev=good,bus=xhci.0,port=1 \
  --chardev "socket,id=bad,path=$work/bad-card.sock" --device usb-redir,chardev=bad,bus=xhci.0,port=2 \
  >"$work/guest.out" 2>"$work/guest.err"
code=$?
[ "$code" -eq 77 ] && { echo "skipped: $(cat "$work/guest.err")"; exit 77; }
got=$(cat "$work/guest.out")
if [ "$code" -ne 0 ] || [ "$got" != "cards 2
cards 1" ]; then
  echo "FAIL: the guest (exit $code) did not see both cards, then one:"
  echo "$got"; cat "$work/guest.err"; tail -20 "$work/out/console.log" 2>/dev/null
  exit 1
fi

failed=0
fail() { echo "FAIL: $*"; failed=1; }
same() {  # what, reference file, guest file
  cmp -s "$2" "$3" || { fail "$1 through the guest's USB stack differs from the lab protocol's:"; diff "$2" "$3" | head -20; }
}
for lab in good bad; do
  out=$work/out/files/$lab
  [ -f "$out/fwtool.out" ] || { fail "$lab: fwtool left no output in the guest"; continue; }
  want=0; [ "$lab" = bad ] && want=128
  tail -1 "$out/fwtool.out" | grep -qx "fwtool exit $want" ||
    { fail "$lab: fwtool in the guest: $(tail -1 "$out/fwtool.out"), expected exit $want"; cat "$out/fwtool.out"; }
  tail -1 "$work/ref-$lab/fwtool.out" | grep -qx "fwtool exit $want" ||
    fail "$lab: fwtool on the host: $(tail -1 "$work/ref-$lab/fwtool.out"), expected exit $want"
  same "$lab: fwtool's output" "$work/ref-$lab/fwtool.out" "$out/fwtool.out"
  same "$lab: the main log" "$work/ref-$lab/Logs/ORVENLog.txt" "$out/ORVENLog.txt"
  same "$lab: the packet trace" "$work/ref-$lab/logs/$name.packets" "$out/packets.txt"
  # Every request the lab's firmware sent went through the card to the guest: those traced,
  # and the stop marker, which ends an automated case untraced.
  received=$(grep -c '^Received: ' "$out/packets.txt")
  show=$("$zamsim" show --socket "$work/$lab.sock" 2>&1 | grep '^sut: firmware')
  [[ $show == "sut: firmware done, $((received + 1)) request(s) through the card, "* ]] && [ "$received" -gt 10 ] ||
    fail "$lab: the lab's firmware ('$show') and the guest's trace ($received requests received) disagree"
done
# The faulted firmware's case fails with the enables check's report and no other.
out=$work/out/files
grep -q "$report" "$out/bad/ORVENLog.txt" || fail "$fault: no \"$report\" report in the guest's main log"
for other in "At least one error occurred assigning bus numbers" "BAR OVERLAP WAS DETECTED" "WINDOW FAILURE" \
    "ASPM Left Enabled"; do
  grep -q "$other" "$out/bad/ORVENLog.txt" && fail "$fault: unexpected \"$other\" report"
done
grep -q "$report" "$out/good/ORVENLog.txt" && fail "the correct firmware's case reports \"$report\""
stars='***************************'
[ "$(cat "$out/good/ORVENLog.txt")" = "
     Starting Test: $name$stars

     Stopping Test: $name     Number of: Fails (0); Aborts (0); Warnings (0)" ] ||
  { fail "the correct firmware's main log is not a clean pass:"; cat "$out/good/ORVENLog.txt"; }
[ "$failed" -eq 0 ] || exit 1
echo "ok: $case_script through the guest's USB stack passes with the correct firmware and fails with" \
  "$fault's report, main logs and packet traces equal to the lab protocol's"

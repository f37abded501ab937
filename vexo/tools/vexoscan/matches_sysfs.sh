#!/usr/bin/env bash
# Compares vexoscan's listing (bus:device.function and IDs) with /sys/bus/pci/devices.
set -euo pipefail
vexoscan=$1
sysfs=/sys/bus/pci/devices
if [ ! -d "$sysfs" ]; then echo "no $sysfs: nothing to compare"; exit 0; fi

expected=$(for path in "$sysfs"/*; do
  name=$(basename "$path")               # 0000:00:1f.3
  [ "${name%%:*}" = "0000" ] || continue  # the scan covers PCI segment 0 only
  bdf=${name#0000:}
  [ "${bdf%%:*}" = "ff" ] && continue     # bus 255 is never scanned
  vendor=$(sed 's/^0x//' "$path/vendor")
  device=$(sed 's/^0x//' "$path/device")
  [ "$vendor" = "0000" ] && continue      # vendor 0 counts as absent
  echo "$bdf $vendor:$device"
done | sort)

output=$(env -u ZAMSIM_SOCKET "$vexoscan")
actual=$(echo "$output" | awk '/^[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]\.[0-7] / {print $1, $2}' | sort)

if [ "$expected" != "$actual" ]; then
  echo "vexoscan output differs from $sysfs"
  diff <(echo "$expected") <(echo "$actual") || true
  echo "--- full output"; echo "$output"
  exit 1
fi
count=$(grep -c . <<<"$expected" || true)
grep -qx "$count function(s)" <<<"$output" || { echo "count line missing"; echo "$output"; exit 1; }
echo "vexoscan lists the $count functions of $sysfs"

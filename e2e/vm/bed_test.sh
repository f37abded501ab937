#!/usr/bin/env bash
# The VM test bed itself: what it chooses and builds without booting (accelerator, QEMU
# devices, refused arguments), then two boots: a guest whose output, files, modules and exit
# status 3 must come back exactly, and a guest that hangs and must be stopped at the limit.
# The first boot's result stream is then cut and changed on the host: each must be refused.
# Exits 77 (skipped) when the bed has no QEMU or kernel.
set -uo pipefail
bed=$(cd "$(dirname "$0")" && pwd)/vm-bed
fail() { echo "FAIL: $*"; failed=1; }
failed=0
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

# --- the accelerator auto chooses, on made-up machines --------------------------------------
fake=$work/fake; mkdir -p "$fake/module/kvm_pvm" "$fake/module-none"
printf 'processor\t: 0\nflags\t\t: fpu vme de pse vmx sse2\n' >"$fake/cpuinfo-vmx"
printf 'processor\t: 0\nflags\t\t: fpu vme de pse svm sse2\n' >"$fake/cpuinfo-svm"
printf 'processor\t: 0\nflags\t\t: fpu vme de pse sse2 hypervisor\n' >"$fake/cpuinfo-none"
# (a device node stands for /dev/kvm: /dev/null is one anyone can open)
while IFS='|' read -r kvm cpu modules expected; do
  got=$(VM_BED_KVM_DEVICE=$kvm VM_BED_CPUINFO=$fake/$cpu VM_BED_SYS_MODULE=$fake/$modules \
    bash "$bed" --print-accel 2>&1)
  [ "$got" = "$expected" ] || fail "accel with $kvm $cpu $modules: '$got', expected '$expected'"
done <<EOF
/dev/null|cpuinfo-vmx|module-none|kvm
/dev/null|cpuinfo-svm|module-none|kvm
/dev/null|cpuinfo-vmx|module|tcg (KVM is the paravirtual-only kvm_pvm)
/dev/null|cpuinfo-none|module-none|tcg (the CPU flags lack vmx and svm)
$fake/no-kvm|cpuinfo-vmx|module-none|tcg ($fake/no-kvm is missing or not usable)
$fake/cpuinfo-vmx|cpuinfo-vmx|module-none|tcg ($fake/cpuinfo-vmx is missing or not usable)
EOF

# --- the QEMU command line: the machine and the topology options' devices --------------------
kernel=$work/vmlinuz-9.9.9-test; : >"$kernel"
qemu_line() { VM_BED_QEMU=true bash "$bed" --print-qemu --kernel "$kernel" --accel tcg "$@" 2>&1; }
out=$(qemu_line --noaer --append "loglevel=7" --memory 256 --cpus 1 --timeout 30)
expected="true
-M
q35
-accel
tcg
-m
256
-smp
1
-nodefaults
-display
none
-monitor
none
-no-reboot
-kernel
$kernel
-initrd
INITRD
-append
console=ttyS0 panic=-1 quiet pci=noaer loglevel=7
-serial
file:CONSOLE
-serial
file:SERIAL"
got=$(sed -E 's#^/.*/initrd\.gz$#INITRD#; s#^file:/.*/console\.log$#file:CONSOLE#; s#^file:/.*/serial\.log$#file:SERIAL#' <<<"$out")
[ "$got" = "$expected" ] || fail "machine arguments:
$got"
while IFS='|' read -r options devices; do
  read -r -a args <<<"$options"
  got=$(qemu_line "${args[@]}" | awk 'prev == "-device" { printf "%s ", $0 } { prev = $0 }')
  [ "$got" = "$devices" ] || fail "devices of '$options': '$got', expected '$devices'"
done <<'EOF'
--root-port rp1 --root-port rp2|pcie-root-port,id=rp1,bus=pcie.0,chassis=1,slot=1 pcie-root-port,id=rp2,bus=pcie.0,chassis=2,slot=1 
--root-port rp --switch sw:rp:2|pcie-root-port,id=rp,bus=pcie.0,chassis=1,slot=1 x3130-upstream,id=sw,bus=rp xio3130-downstream,id=sw-d0,bus=sw,chassis=2,slot=1 xio3130-downstream,id=sw-d1,bus=sw,chassis=3,slot=1 
--root-port a --endpoint e1000e:a --root-port b --endpoint nvme:b|pcie-root-port,id=a,bus=pcie.0,chassis=1,slot=1 e1000e,bus=a,romfile= pcie-root-port,id=b,bus=pcie.0,chassis=2,slot=1 nvme,bus=b,serial=zam3 
--endpoint virtio-rng-pci:rp --device pci-testdev,bus=pcie.0|virtio-rng-pci,bus=rp pci-testdev,bus=pcie.0 
EOF
# A character device (a usb-redir device's socket) comes before the devices, as given.
got=$(qemu_line --device qemu-xhci,id=xhci --chardev socket,id=card,path=/tmp/c.sock \
  --device usb-redir,chardev=card,bus=xhci.0 | awk 'prev ~ /^-(chardev|device)$/ { printf "%s %s|", prev, $0 } { prev = $0 }')
[ "$got" = "-chardev socket,id=card,path=/tmp/c.sock|-device qemu-xhci,id=xhci|-device usb-redir,chardev=card,bus=xhci.0|" ] ||
  fail "chardev and devices: '$got'"

# --- refused arguments: exit 2 and the message; a module that does not exist ---------------
while IFS='|' read -r options message; do
  read -r -a args <<<"$options"
  got=$(VM_BED_QEMU=true bash "$bed" "${args[@]}" 2>&1); code=$?
  [ $code -eq 2 ] && [ "$(head -n 1 <<<"$got")" = "$message" ] \
    || fail "'$options': exit $code, '$got', expected exit 2 and '$message'"
done <<EOF
--switch sw:rp|vm-bed: --switch sw:rp: expected ID:PARENT:N (N from 1 to 32)
--switch sw:rp:0|vm-bed: --switch sw:rp:0: expected ID:PARENT:N (N from 1 to 32)
--switch sw:rp:33|vm-bed: --switch sw:rp:33: expected ID:PARENT:N (N from 1 to 32)
--root-port 1rp|vm-bed: --root-port 1rp: an ID is a letter, then letters, digits, - or _
--endpoint e1000e|vm-bed: --endpoint e1000e: expected MODEL:PARENT
--timeout 0|vm-bed: --timeout 0: a number of seconds
--accel hvf|vm-bed: --accel hvf: auto, kvm or tcg
--env 1X=2|vm-bed: --env 1X=2: expected NAME=VALUE
--kernel $work/none --script /dev/null|vm-bed: --kernel $work/none: not a readable file
--kernel $kernel|vm-bed: --script FILE is required
--decode $work/none|vm-bed: --decode needs --out DIR
--frobnicate|vm-bed: unknown argument: --frobnicate
EOF

# Without QEMU the bed skips, saying why.
got=$(VM_BED_QEMU=no-such-qemu bash "$bed" --script /dev/null 2>&1); code=$?
[ $code -eq 77 ] && [ "$got" = "vm-bed: skipped: no-such-qemu is not installed (scripts/bootstrap installs qemu-system-x86)" ] \
  || fail "no QEMU: exit $code, '$got'"

# From here on the bed boots: skipped when it cannot.
probe=$(bash "$bed" --script /dev/null --module no_such_module_anywhere 2>&1); code=$?
if [ $code -eq 77 ]; then
  echo "$probe"
  [ $failed -eq 0 ] && exit 77
  exit 1
fi
[ $code -eq 125 ] && [[ "$probe" == "vm-bed: module no_such_module_anywhere: not in /lib/modules/"*"/modules.dep" ]] \
  || fail "unknown module: exit $code, '$probe'"

# --- a boot: exit status, output, files, environment and modules come back exactly ----------
head -c 256 /dev/zero | tr '\0' '\377' >"$work/ff"
for ((i = 0; i < 256; i++)); do printf "\\$(printf %03o $i)"; done >"$work/bytes"
cat "$work/bytes" "$work/bytes" "$work/ff" >"$work/binary"
cat >"$work/guest.sh" <<'EOF'
echo "out line 1"
printf 'out line 2 without end'
echo "err line" >&2
printf '%s\n' "$ZAM_QUOTED" >env.txt
cp /data/binary copied.bin
mkdir -p sub/deeper && echo nested >sub/deeper/file.txt
cut -d' ' -f1 /proc/modules >modules.txt
cat /proc/cmdline >cmdline.txt
exit 3
EOF
quoted="it's a \"test\" \$HOME \\n; exit 9"
started=$SECONDS
out=$(bash "$bed" --script "$work/guest.sh" --out "$work/boot1" --file "$work/binary:/data/binary" \
  --env "ZAM_QUOTED=$quoted" --module xhci-pci --module shpchp --noaer 2>"$work/boot1.err"); code=$?
echo "boot 1 (status, output, files, modules): $((SECONDS - started)) s"
[ $code -eq 3 ] || fail "guest status 3 came back as $code: $(cat "$work/boot1.err")"
[ "$out" = $'out line 1\nout line 2 without end' ] || fail "guest stdout: '$out'"
[ "$(cat "$work/boot1.err")" = $'vm-bed: module shpchp is built into the kernel\nerr line' ] \
  || fail "guest stderr: '$(cat "$work/boot1.err")'"
files=$work/boot1/files
cmp -s "$work/binary" "$files/copied.bin" || fail "the binary file came back changed"
[ "$(cat "$files/env.txt" 2>&1)" = "$quoted" ] || fail "environment: '$(cat "$files/env.txt" 2>&1)'"
[ "$(cat "$files/sub/deeper/file.txt" 2>&1)" = nested ] || fail "nested file: $(ls -R "$files")"
# /proc/modules lists the newest first: xhci_pci after what it needs, nothing else loaded.
[ "$(tr '\n' ' ' <"$files/modules.txt" 2>&1)" = "xhci_pci xhci_hcd usbcore usb_common " ] \
  || fail "modules: '$(tr '\n' ' ' <"$files/modules.txt" 2>&1)'"
grep -q ' pci=noaer' "$files/cmdline.txt" || fail "kernel command line: $(cat "$files/cmdline.txt")"

# --- the result stream: intact it decodes again; cut or changed it is refused -----------------
serial=$work/boot1/serial.log
got=$(bash "$bed" --decode "$serial" --out "$work/again" 2>&1); code=$?
[ $code -eq 3 ] && [ -z "$got" ] && cmp -s "$work/binary" "$work/again/files/copied.bin" \
  || fail "decoding the intact stream: exit $code, '$got'"
body_lines=$(($(wc -l <"$serial") - 2))
[ "$body_lines" -ge 2 ] || fail "the stream has $body_lines lines of data"
header=$(head -n 1 "$serial")
size=$(sed -E 's/.* size=([0-9]+) .*/\1/' <<<"$header")
# A changed data character: the first line's first character, swapped for another.
first=$(sed -n 2p "$serial")
swapped=$( [ "${first:0:1}" = A ] && echo B || echo A )
sed "2s/^./$swapped/" "$serial" >"$work/changed"
# One data line left out.
sed '3d' "$serial" >"$work/line-lost"
# Cut in the middle of the data, so the end marker is lost too.
head -c $(($(stat -c %s "$serial") / 2)) "$serial" >"$work/cut"
# The header claims one byte more than was sent.
sed "1s/ size=$size / size=$((size + 1)) /" "$serial" >"$work/size"
# Twice the stream.
cat "$serial" "$serial" >"$work/twice"
# A line that is not base64.
sed '2a this is no base64!' "$serial" >"$work/garbage"
: >"$work/empty"
sed '1s/status=3/status=300/' "$serial" >"$work/status"
while IFS='|' read -r name message; do
  got=$(bash "$bed" --decode "$work/$name" --out "$work/decoded-$name" 2>&1); code=$?
  [ $code -eq 125 ] && [ "$got" = "vm-bed: $message" ] \
    || fail "stream '$name': exit $code, '$got', expected 125 and 'vm-bed: $message'"
  [ ! -e "$work/decoded-$name/files" ] || fail "stream '$name' was unpacked although refused"
done <<EOF
changed|the results' checksum does not match what the guest sent
line-lost|the results hold $((size - ${#first} / 4 * 3)) bytes where the guest sent $size
cut|the results are cut short: no end marker after the header
size|the results hold $size bytes where the guest sent $((size + 1))
twice|the guest sent 2 result headers; one expected
garbage|the results are not valid base64
empty|the guest sent no results (it stopped before its script ended)
status|malformed result header: ${header/status=3/status=300}
EOF

# --- a guest that hangs: stopped at the limit, with the message and exit 124 ------------------
printf 'echo going to hang\nwhile :; do sleep 1; done\n' >"$work/hang.sh"
started=$SECONDS
got=$(bash "$bed" --script "$work/hang.sh" --timeout 8 2>&1); code=$?
echo "boot 2 (a guest that hangs, limit 8 s): $((SECONDS - started)) s"
[ $code -eq 124 ] || fail "hanging guest: exit $code: $got"
[ "$(head -n 2 <<<"$got")" = "vm-bed: the guest did not power off within 8 s; QEMU was stopped
vm-bed: the last lines of the guest's console:" ] || fail "hanging guest message: '$got'"

[ $failed -eq 0 ] && echo ok
exit $failed

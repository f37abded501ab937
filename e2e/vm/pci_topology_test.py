#!/usr/bin/env python3
"""vexoscan in a guest on QEMU's q35 PCI Express topology agrees with lspci in the same guest.

Usage: pci_topology_test.py VM_BED VEXOSCAN [--save FILE]

Boots the VM test bed with two root ports, a switch with three downstream ports below the
first, an e1000e (with AER) below the switch's first downstream port and an nvme on the
second root port. In the guest vexoscan lists the functions through sysfs and lspci lists
them too; on the host every function, its IDs, header and port type, parent and capability
chain must agree, the topology must be the one asked for, the configuration bytes vexoscan
read must be those lspci read, and vexoscan --dump on the guest's lspci -xxxx must agree
with lspci -F on it. --save FILE keeps that dump (the committed one is refreshed that way).
Exits 77 (skipped) when the bed has no QEMU or kernel.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "vexo", "tools", "vexoscan"))
import dump_matches_lspci as listings  # noqa: E402

SKIP = 77
TOPOLOGY = ["--root-port", "rp1", "--root-port", "rp2", "--switch", "sw:rp1:3",
            "--endpoint", "e1000e:sw-d0", "--endpoint", "nvme:rp2"]
ROOT_PORT, UPSTREAM, DOWNSTREAM = "1b36:000c", "104c:8232", "104c:8233"
E1000E, NVME = "8086:10d3", "1b36:0010"
AER = 0x0001
# What the guest must hold: (IDs, port type, IDs of the parent, AER expected), and how many.
EXPECTED = [
    (ROOT_PORT, "root-port", None, True, 2),
    (UPSTREAM, "switch-upstream", ROOT_PORT, True, 1),
    (DOWNSTREAM, "switch-downstream", UPSTREAM, True, 3),
    (E1000E, "endpoint", DOWNSTREAM, True, 1),
    (NVME, "endpoint", ROOT_PORT, False, 1),
]


def load_dump(path):
    """BDF -> configuration bytes of an lspci -x style dump."""
    functions, current = {}, None
    with open(path) as text:
        for line in text:
            head = re.match(r"^([0-9a-f]{2}:[0-9a-f]{2}\.[0-7]) ", line)
            if head:
                current = head.group(1)
                functions[current] = bytearray()
                continue
            row = re.match(r"^([0-9a-f]{2,3}): ((?:[0-9a-f]{2} ?){16})$", line.rstrip("\n"))
            if row and current is not None:
                functions[current] += bytes(int(b, 16) for b in row.group(2).split())
    return functions


def topology_problems(view):
    problems = []
    for ids, port, parent_ids, aer, count in EXPECTED:
        found = [bdf for bdf, f in view.items() if f["ids"] == ids]
        if len(found) != count:
            problems.append("%d function(s) %s, %d expected: %s" % (len(found), ids, count, found))
        for bdf in found:
            f = view[bdf]
            parent = view.get(f["parent"]) if f["parent"] else None
            if f["port"] != port or (parent["ids"] if parent else None) != parent_ids:
                problems.append("%s %s: port %s below %s, expected %s below %s" %
                                (bdf, ids, f["port"], parent and parent["ids"], port, parent_ids))
            if aer != any(cap == AER for offset, cap in f["chain"] if offset >= 0x100):
                problems.append("%s %s: AER %s, expected %s" % (bdf, ids, not aer, aer))
    return problems


def main():
    args = sys.argv[1:]
    save = None
    if "--save" in args:
        i = args.index("--save")
        save = args[i + 1]
        del args[i:i + 2]
    if len(args) != 2:
        print(__doc__)
        return 2
    bed, vexoscan = args
    tools = [shutil.which(t) for t in ("lspci", "setpci")]
    if None in tools:
        print("lspci or setpci (pciutils) not installed: skipped")
        return SKIP
    work = tempfile.mkdtemp(prefix="pci_topology_test_")
    try:
        guest = os.path.join(os.path.dirname(os.path.abspath(__file__)), "guests", "pci-listings.sh")
        command = ["bash", bed, "--script", guest, "--out", work, "--program", vexoscan,
                   "--env", "VEXOSCAN=" + os.path.realpath(vexoscan)]
        for tool in tools:
            command += ["--program", tool]
        if os.path.exists("/usr/share/misc/pci.ids"):
            command += ["--file", "/usr/share/misc/pci.ids"]
        result = subprocess.run(command + TOPOLOGY, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if result.returncode == SKIP and result.stderr.startswith("vm-bed: skipped:"):
            print(result.stderr.strip())
            return SKIP
        if result.returncode != 0:
            print("FAIL: the bed ended with %d\n%s%s" % (result.returncode, result.stdout, result.stderr))
            return 1
        files = os.path.join(work, "files")

        def read(name):
            with open(os.path.join(files, name)) as f:
                return f.read()

        problems = []
        if read("vexoscan.status").strip() != "0":
            problems.append("vexoscan in the guest: exit %s" % read("vexoscan.status").strip())
        ours = listings.parse_vexoscan(read("vexoscan.txt"), "vexoscan in the guest")
        headers = dict(line.split() for line in read("header-types.txt").splitlines())
        theirs, others = listings.parse_lspci(read("lspci.txt"), lambda bdf: int(headers[bdf], 16))
        problems += listings.compare_views(ours, read("vexoscan.err"), theirs, others)
        problems += topology_problems(ours)

        # The bytes vexoscan read through sysfs are the bytes lspci read.
        bytes_ours = load_dump(os.path.join(files, "vexoscan.dump"))
        bytes_theirs = load_dump(os.path.join(files, "lspci.dump"))
        if sorted(bytes_ours) != sorted(bytes_theirs):
            problems.append("dumped functions: vexoscan %s, lspci %s" % (sorted(bytes_ours), sorted(bytes_theirs)))
        for bdf in sorted(set(bytes_ours) & set(bytes_theirs)):
            a, b = bytes_ours[bdf], bytes_theirs[bdf]
            if a != b:
                first = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
                problems.append("%s: vexoscan read %d bytes, lspci %d; first difference at 0x%x" %
                                (bdf, len(a), len(b), first))
            elif len(a) != 4096 and bdf in theirs and theirs[bdf]["port"] is not None:
                problems.append("%s: a PCI Express function with %d bytes dumped" % (bdf, len(a)))

        # The guest's dump on the host: vexoscan --dump agrees with lspci -F.
        dump = os.path.join(files, "lspci.dump")
        count, dump_problems = listings.compare(vexoscan, dump)
        problems += ["dump: " + p for p in dump_problems]
        if count != len(theirs):
            problems.append("dump: vexoscan --dump lists %d functions, the guest %d" % (count, len(theirs)))
        if save:
            shutil.copyfile(dump, save)

        if problems:
            print("FAIL:\n  " + "\n  ".join(problems))
            print(read("lspci-tree.txt"))
            return 1
        print("ok: %d functions agree in the guest\n%s" % (len(ours), read("lspci-tree.txt")))
        return 0
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    sys.exit(main())

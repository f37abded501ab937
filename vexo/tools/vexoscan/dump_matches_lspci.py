#!/usr/bin/env python3
"""vexoscan --dump against lspci -F on the same dump files: every function, IDs, header
type, port type, parent and capability chain agree.

Usage: dump_matches_lspci.py VEXOSCAN DUMP... ; besides the files given, it writes dumps of
a hierarchy built here (several bridges and switches, multi-function devices, long
capability chains, a PCI Express to PCI bridge, a second domain) in the three layouts
`lspci -x`, `-xxx` and `-xxxx` print, and, where lspci reads this machine, this machine's
own `lspci -xxxx`. Exits 77 (skipped) when lspci is not installed.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77

# lspci's names of capabilities, as the start of its text, and their IDs.
PCI_CAPS = [
    ("Power Management", 0x01), ("AGP", 0x02), ("Vital Product Data", 0x03), ("Slot ID", 0x04),
    ("MSI-X", 0x11), ("MSI", 0x05), ("CompactPCI hot-swap", 0x06), ("PCI-X", 0x07),
    ("HyperTransport", 0x08), ("Vendor Specific", 0x09), ("Debug port", 0x0A),
    ("CompactPCI central resource", 0x0B), ("Hot-plug", 0x0C), ("Subsystem", 0x0D),
    ("Express", 0x10), ("SATA", 0x12), ("PCI Advanced Features", 0x13),
    ("Enhanced Allocation", 0x14), ("Flattening Portal Bridge", 0x15),
]
EXT_CAPS = [
    ("Advanced Error Reporting", {0x0001}), ("Virtual Channel", {0x0002, 0x0009}),
    ("Device Serial Number", {0x0003}), ("Power Budgeting", {0x0004}),
    ("Root Complex Link", {0x0005}), ("Root Complex Internal Link", {0x0006}),
    ("Root Complex Event Collector", {0x0007}), ("Multi-Function Virtual Channel", {0x0008}),
    ("Vendor Specific", {0x000B}), ("Access Control Services", {0x000D}),
    ("Alternative Routing-ID", {0x000E}), ("Address Translation Service", {0x000F}),
    ("Single Root I/O Virtualization", {0x0010}), ("Multicast", {0x0012}),
    ("Page Request Interface", {0x0013}), ("Resizable BAR", {0x0015}),
    ("Transaction Processing Hints", {0x0017}), ("Latency Tolerance Reporting", {0x0018}),
    ("Secondary PCI Express", {0x0019}), ("Process Address Space ID", {0x001B}),
    ("Downstream Port Containment", {0x001D}), ("L1 PM Substates", {0x001E}),
    ("Precision Time Measurement", {0x001F}), ("Designated Vendor-Specific", {0x0023}),
    ("Data Link Feature", {0x0025}), ("Physical Layer 16.0 GT/s", {0x0026}),
    ("Lane Margining at the Receiver", {0x0027}),
]
PORT_TYPES = [
    ("Root Complex Integrated Endpoint", None), ("Root Complex Event Collector", None),
    ("Legacy Endpoint", "legacy-endpoint"), ("Endpoint", "endpoint"), ("Root Port", "root-port"),
    ("Upstream Port", "switch-upstream"), ("Downstream Port", "switch-downstream"),
    ("PCI-Express to PCI/PCI-X Bridge", "pcie-to-pci-bridge"),
]


# ---------------------------------------------------------------------------------------
# A hierarchy built here, written as dumps.

class Function:
    def __init__(self, bdf, vendor, device, class_code, header=0x00, domain=0):
        self.domain = domain
        self.bdf = bdf
        self.space = bytearray(4096)
        self.put(0x00, vendor, 2)
        self.put(0x02, device, 2)
        self.put(0x08, 0x01, 1)  # revision
        self.put(0x09, class_code, 3)
        self.put(0x0E, header, 1)
        self.pci_caps = []  # (offset, id, extra bytes)
        self.ext_caps = []

    def put(self, offset, value, size):
        for i in range(size):
            self.space[offset + i] = (value >> (8 * i)) & 0xFF

    def buses(self, primary, secondary, subordinate):
        self.put(0x18, primary | (secondary << 8) | (subordinate << 16), 3)
        return self

    def cap(self, offset, cap_id, body=b""):
        self.pci_caps.append((offset, cap_id, body))
        return self

    def express(self, offset, port_type):
        # PCI Express capability: version 2, the device/port type in bits 7:4.
        return self.cap(offset, 0x10, bytes([0x02 | (port_type << 4), 0x00]))

    def ext(self, offset, cap_id, body=b""):
        self.ext_caps.append((offset, cap_id, body))
        return self

    def finish(self):
        if self.pci_caps:
            self.put(0x06, 0x0010, 2)  # status: capabilities list
            self.put(0x34, self.pci_caps[0][0], 1)
        for i, (offset, cap_id, body) in enumerate(self.pci_caps):
            nxt = self.pci_caps[i + 1][0] if i + 1 < len(self.pci_caps) else 0
            self.put(offset, cap_id | (nxt << 8), 2)
            self.space[offset + 2:offset + 2 + len(body)] = body
        for i, (offset, cap_id, body) in enumerate(self.ext_caps):
            nxt = self.ext_caps[i + 1][0] if i + 1 < len(self.ext_caps) else 0
            self.put(offset, cap_id | (1 << 16) | (nxt << 20), 4)
            self.space[offset + 4:offset + 4 + len(body)] = body
        return self

    def dump(self, size):
        address = self.bdf if self.domain == 0 else "%04x:%s" % (self.domain, self.bdf)
        lines = ["%s Handmade function" % address]
        for offset in range(0, size, 16):
            lines.append("%02x: %s" % (offset, " ".join("%02x" % b for b in self.space[offset:offset + 16])))
        return "\n".join(lines) + "\n\n"


def handmade_hierarchy():
    """Two root ports, one with a switch of three downstream ports below it; a
    multi-function endpoint; a PCI Express to PCI bridge with a conventional device; a
    legacy endpoint; a function on another domain."""
    pm = bytes([0x03, 0x00])
    f = [
        Function("00:00.0", 0x8086, 0x1234, 0x060000),
        Function("00:01.0", 0x8086, 0x7A38, 0x060400, header=0x81).buses(0, 1, 6)
        .express(0x40, 4).cap(0x80, 0x05).cap(0x90, 0x0D).cap(0xA0, 0x01, pm)
        .ext(0x100, 0x0001).ext(0x140, 0x000D).ext(0x150, 0x0019),
        Function("00:01.1", 0x8086, 0x7A39, 0x060400, header=0x81).buses(0, 7, 8)
        .express(0x40, 4).cap(0xA0, 0x01, pm).ext(0x100, 0x0001),
        Function("01:00.0", 0x10B5, 0x8732, 0x060400, header=0x01).buses(1, 2, 6)
        .express(0x68, 5).cap(0x48, 0x01, pm).ext(0x100, 0x0001).ext(0x200, 0x0003),
        Function("02:00.0", 0x10B5, 0x8732, 0x060400, header=0x01).buses(2, 3, 3)
        .express(0x68, 6).cap(0x48, 0x01, pm).ext(0x100, 0x0001).ext(0x148, 0x000D),
        Function("02:01.0", 0x10B5, 0x8732, 0x060400, header=0x01).buses(2, 4, 4)
        .express(0x68, 6).cap(0x48, 0x01, pm),
        Function("02:02.0", 0x10B5, 0x8732, 0x060400, header=0x01).buses(2, 5, 6)
        .express(0x68, 6).cap(0x48, 0x01, pm),
        Function("03:00.0", 0x15B3, 0x1017, 0x020000, header=0x80)
        .cap(0x60, 0x01, pm).express(0x70, 0).cap(0x9C, 0x11).cap(0xC0, 0x09, bytes([0x18]))
        .ext(0x100, 0x0001).ext(0x150, 0x000E).ext(0x1C0, 0x0018).ext(0x230, 0x001E),
        Function("03:00.1", 0x15B3, 0x1017, 0x020000, header=0x80)
        .cap(0x60, 0x01, pm).express(0x70, 0).cap(0x9C, 0x11).ext(0x100, 0x0001).ext(0x150, 0x000E),
        Function("04:00.0", 0x1B36, 0x0010, 0x010802).express(0x40, 1).cap(0x80, 0x11),
        Function("05:00.0", 0x104C, 0x8240, 0x060400, header=0x01).buses(5, 6, 6)
        .express(0x80, 7).cap(0x50, 0x01, pm),
        Function("06:04.0", 0x1000, 0x0030, 0x010000).cap(0x50, 0x01, pm),
        Function("07:00.0", 0x8086, 0x1533, 0x020000).cap(0x40, 0x01, pm).cap(0x50, 0x05)
        .express(0xA0, 0).ext(0x100, 0x0001).ext(0x140, 0x0003),
        Function("08:00.0", 0x1A2B, 0x5A30, 0x058000, domain=1).express(0x40, 0),
    ]
    return [x.finish() for x in f]


# ---------------------------------------------------------------------------------------
# What each program says.

def run(command):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            env={k: v for k, v in os.environ.items() if k not in ("ZAMSIM_SOCKET", "ZAM_CONFIG_DUMP")})
    return result.returncode, result.stdout, result.stderr


def parse_vexoscan(out, what):
    """The functions of a vexoscan listing (its standard output), by BDF."""
    lines = out.splitlines()
    start = next((i for i, line in enumerate(lines) if line.startswith("BDF ")), None)
    if start is None:
        raise AssertionError("%s: no listing header\n%s" % (what, out))
    view = {}
    for line in lines[start + 1:]:
        m = re.match(r"^([0-9a-f]{2}:[0-9a-f]{2}\.[0-7])  (\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s+(.*)$", line)
        if not m:
            continue
        bdf, ids, header, port, parent, caps = m.groups()
        chain = [(int(o, 16), int(i, 16)) for o, i in re.findall(r"0x([0-9a-f]+):([0-9a-f]+)\(", caps)]
        stop = re.search(r"\[(.*)\]$", caps)
        view[bdf] = {"ids": ids, "header": int(header, 16), "port": None if port == "-" else port,
                     "parent": None if parent == "-" else parent, "chain": chain,
                     "cut": stop.group(1) if stop else None}
    if ("%d function(s)" % len(view)) not in lines:
        raise AssertionError("%s: count line missing\n%s" % (what, out))
    return view


def vexoscan_view(vexoscan, dump):
    code, out, err = run([vexoscan, "--dump", dump])
    if code != 0:
        raise AssertionError("vexoscan --dump %s: exit %d\n%s%s" % (dump, code, out, err))
    return parse_vexoscan(out, "vexoscan --dump " + dump), err


def header_type(dump, bdf):
    code, out, err = run(["setpci", "-A", "dump", "-O", "dump.name=" + dump, "-s", bdf, "HEADER_TYPE"])
    if code != 0:
        raise AssertionError("setpci on %s %s: %s" % (dump, bdf, err))
    return int(out.strip(), 16)


def cap_id(name, table):
    for prefix, value in table:
        if name.startswith(prefix):
            return value
    m = re.match(r"#([0-9a-f]+)", name) or re.match(r"Extended Capability ID 0x([0-9a-f]+)", name)
    return int(m.group(1), 16) if m else "unknown"


def parse_lspci(out, header_of):
    """The functions of `lspci -nn -vv -PP` output in domain 0 that the framework scans,
    and the names of the functions outside domain 0. header_of(bdf) gives a function's
    header type (lspci does not print it)."""
    view = {}
    others = []  # functions outside domain 0
    current = None
    for line in out.splitlines():
        head = re.match(r"^(\S+) .*\[([0-9a-f]{4}):([0-9a-f]{4})\]", line)
        if head:
            # With several domains lspci names every function with its domain.
            path = [re.sub(r"^0000:", "", step) for step in head.group(1).split("/")]
            bdf = path[-1]
            if not re.match(r"^[0-9a-f]{2}:", bdf):
                others.append(bdf)
            current = {"ids": head.group(2) + ":" + head.group(3), "port": None,
                       "parent": path[-2] if len(path) > 1 else None, "chain": [], "cut": None}
            # Domain 0 only, and buses 0-254 with a vendor present, as the framework scans.
            if re.match(r"^[0-9a-f]{2}:", bdf) and not bdf.startswith("ff:") and \
                    head.group(2) not in ("0000", "ffff"):
                view[bdf] = current
            continue
        cap = re.match(r"^\tCapabilities: \[([0-9a-f]+)( v\d+)?\] (.*)$", line)
        if cap and current is not None:
            offset = int(cap.group(1), 16)
            name = cap.group(3)
            ids = cap_id(name, EXT_CAPS if offset >= 0x100 else [(p, {v}) for p, v in PCI_CAPS])
            current["chain"].append((offset, ids))
            if name.startswith("Express"):
                current["port"] = next((p for t, p in PORT_TYPES if t in name), "other")
        elif line.startswith("\tCapabilities: <") and current is not None:
            current["cut"] = line.split(":", 1)[1].strip()
    for bdf, entry in view.items():
        entry["header"] = header_of(bdf)
    return view, others


def lspci_view(dump):
    code, out, err = run(["lspci", "-F", dump, "-nn", "-vv", "-PP"])
    if code != 0:
        raise AssertionError("lspci -F %s: exit %d: %s" % (dump, code, err))
    return parse_lspci(out, lambda bdf: header_type(dump, bdf))


def compare(vexoscan, dump):
    (ours, said), (theirs, others) = vexoscan_view(vexoscan, dump), lspci_view(dump)
    return len(ours), compare_views(ours, said, theirs, others)


def compare_views(ours, said, theirs, others):
    """What differs between vexoscan's view (and what it said on standard error) and
    lspci's: one line per difference, none when they agree."""
    problems = []
    # The framework reaches domain 0 only: each function of another domain is named.
    for bdf in others:
        if bdf + " (line " not in said:
            problems.append("%s (another domain) is not named on standard error: %r" % (bdf, said))
    if sorted(ours) != sorted(theirs):
        problems.append("functions: vexoscan %s, lspci %s" % (sorted(ours), sorted(theirs)))
    for bdf in sorted(set(ours) & set(theirs)):
        a, b = ours[bdf], theirs[bdf]
        for key in ("ids", "header", "port", "parent"):
            if a[key] != b[key]:
                problems.append("%s %s: vexoscan %r, lspci %r" % (bdf, key, a[key], b[key]))
        offsets_a = [o for o, _ in a["chain"]]
        offsets_b = [o for o, _ in b["chain"]]
        # lspci says "<access denied>" where the dump ends before a list; vexoscan names the
        # offset it cannot read. lspci keeps its own view of a list past what it can read.
        if offsets_a != offsets_b[:len(offsets_a)] or (a["cut"] is None and offsets_a != offsets_b):
            problems.append("%s capabilities: vexoscan %s [%s], lspci %s [%s]" %
                            (bdf, a["chain"], a["cut"], b["chain"], b["cut"]))
            continue
        for (offset, ours_id), (_, their_ids) in zip(a["chain"], b["chain"]):
            if their_ids != "unknown" and ours_id not in (their_ids if isinstance(their_ids, set) else {their_ids}):
                problems.append("%s capability at 0x%x: vexoscan %x, lspci %s" % (bdf, offset, ours_id, their_ids))
        loop = re.match(r"list loops at 0x([0-9a-f]+)$", a["cut"] or "")
        if loop and offsets_b[len(offsets_a):len(offsets_a) + 1] != [int(loop.group(1), 16)]:
            problems.append("%s: vexoscan says %r, lspci goes on with %s" % (bdf, a["cut"], b["chain"]))
        if b["cut"] == "<access denied>" and not (a["cut"] or "").startswith("cannot read"):
            problems.append("%s: lspci cannot read the list, vexoscan says %r" % (bdf, a["cut"]))
    return problems


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    if shutil.which("lspci") is None or shutil.which("setpci") is None:
        print("lspci or setpci (pciutils) not installed: skipped")
        return SKIP
    vexoscan = sys.argv[1]
    dumps = list(sys.argv[2:])
    work = tempfile.mkdtemp(prefix="dump_matches_lspci_")
    try:
        functions = handmade_hierarchy()
        for name, size in (("handmade-x.txt", 64), ("handmade-xxx.txt", 256), ("handmade-xxxx.txt", 4096)):
            path = os.path.join(work, name)
            with open(path, "w") as out:
                out.write("".join(f.dump(size) for f in functions))
            dumps.append(path)
        code, live, _ = run(["lspci", "-xxxx"])
        if code == 0 and live.strip():
            path = os.path.join(work, "this-machine.txt")
            with open(path, "w") as out:
                out.write(live)
            dumps.append(path)
        failed = False
        for dump in dumps:
            count, problems = compare(vexoscan, dump)
            name = os.path.basename(dump)
            if problems or count == 0:
                failed = True
                print("FAIL %s (%d functions):\n  %s" % (name, count, "\n  ".join(problems or ["no function listed"])))
            else:
                print("ok   %s: %d functions agree" % (name, count))
        return 1 if failed else 0
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    sys.exit(main())

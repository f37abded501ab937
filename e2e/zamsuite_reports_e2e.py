#!/usr/bin/env python3
"""zamsuite on the lab: the default station with the compliant DUT (every program passes,
exit 0) and with DUT faults (exactly the programs that catch them fail, exit 1). Both reports
are parsed: the JUnit file against the structure of its schema, the HTML page with an HTML
parser (every program present with its verdict, ReXmitOnNak_EP_USW's timeline with the Nak
and the replayed completion). Then stand-in programs that crash, hang, write no log, cut
their log off and write markup into it, run by --programs.

The link width program judges a DUT plugged straight into a root port: on the default
station it runs on the station's placement stations (one root port slot each, the DUT's
faults carried), so the compliant DUT passes all fifteen and a DUT that trains narrow fails it.

usage: zamsuite_reports_e2e.py ZAMSUITE STATIONS_DIR SETTINGS_DIR"""
import html.parser
import os
import re
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

LINK_WIDTH = "TXN_BFT_NegotiatedLinkWidth"
PROGRAMS = [
    "TXN_BFT_CompletionTimeout_EP", LINK_WIDTH, "TXN_BFT_RequestCompletion_EP", "LinkRetrainOnRetryFail_EP_USW", "LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", "UndefinedDLLPEncoding_EP_USW",
    "ReXmitOnNak_EP_USW", "ReplayNumTest_EP_USW", "ReplayTimerTest_EP_USW", "ReplayTLPOrder_EP_USW",
    "ReservedFieldsDLLPReceive_EP_USW", "WrongSeqNumInAckDLLP_EP_USW", "CorruptedDLLPs_EP_USW",
    "DuplicateTLPSeqNum_EP_USW", "BadLCRC_EP_USW",
]
FAULT = "no-replay-on-nak, wrong-completer-id"
FAULT_FAILS = {"ReXmitOnNak_EP_USW", "ReplayNumTest_EP_USW", "TXN_BFT_RequestCompletion_EP"}

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def check_junit(path, expected, programs=PROGRAMS):
    """The JUnit schema's structure: testsuites > testsuite > (properties?, testcase*,
    system-out?, system-err?); testcase > (skipped | error | failure)*, system-out?, system-err?;
    the counts agree with the cases."""
    root = ET.parse(path).getroot()
    check(root.tag == "testsuites", "root element is testsuites")
    suites = list(root)
    check(len(suites) == 1 and suites[0].tag == "testsuite", "one testsuite")
    suite = suites[0]
    for attr in ("name", "tests", "failures", "errors", "skipped", "time", "timestamp"):
        check(attr in suite.attrib, "testsuite has " + attr)
    check(re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d", suite.get("timestamp", "")), "ISO timestamp")
    order = {"properties": 0, "testcase": 1, "system-out": 2, "system-err": 3}
    ranks = [order.get(child.tag, -1) for child in suite]
    check(-1 not in ranks and ranks == sorted(ranks), "testsuite children in schema order")
    cases = suite.findall("testcase")
    check([c.get("name") for c in cases] == programs, "one testcase per program in run order")
    counted = {"failure": 0, "error": 0, "skipped": 0}
    for case in cases:
        name = case.get("name")
        check(re.fullmatch(r"\d+\.\d{3}", case.get("time", "")) is not None, name + " has a time")
        check(case.get("classname") == "zamsuite", name + " classname")
        tags = [child.tag for child in case]
        inner = {"skipped": 0, "error": 0, "failure": 0, "system-out": 1, "system-err": 2}
        check(all(t in inner for t in tags), name + " has only schema children")
        check([inner[t] for t in tags] == sorted(inner[t] for t in tags), name + " children in schema order")
        # A case counts once: as an error when it has one, else as a failure, else as skipped.
        for kind in ("error", "failure", "skipped"):
            if case.find(kind) is not None:
                counted[kind] += 1
                break
        fails = case.findall("failure")
        if expected[name] == "error":
            check(case.find("error") is not None and bool(case.find("error").get("message")), name + " carries an error")
        elif expected[name] == "failed":
            check(len(fails) >= 1, name + " carries its failed assertions")
            for f in fails:
                check(f.get("type") == "FAILED" and re.match(r"(DLL|TXN)\.", f.get("message", "")) is not None,
                      name + " failure names its assertion")
                check(bool((f.text or "").strip()), name + " failure has its log text")
        else:
            check(not fails and case.find("error") is None, name + " passed without failure or error")
    check(int(suite.get("tests")) == len(cases), "tests count")
    check(int(suite.get("failures")) == counted["failure"], "failures count")
    check(int(suite.get("errors")) == counted["error"], "errors count")
    check(int(suite.get("skipped")) == counted["skipped"], "skipped count")


class SummaryReader(html.parser.HTMLParser):
    """Collects the summary table's rows (cell texts) and the ids of the case sections."""

    def __init__(self):
        super().__init__()
        self.rows, self.sections, self.in_summary, self.cell = [], [], False, None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "table" and attrs.get("id") == "summary":
            self.in_summary = True
        elif self.in_summary and tag == "tr":
            self.rows.append([])
        elif self.in_summary and tag in ("td", "th"):
            self.cell = ""
        elif tag == "section":
            self.sections.append(attrs.get("id"))

    def handle_endtag(self, tag):
        if tag == "table":
            self.in_summary = False
        elif self.in_summary and tag in ("td", "th") and self.cell is not None:
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def check_html(path, expected, programs=PROGRAMS, exits=None):
    reader = SummaryReader()
    with open(path, encoding="utf-8") as f:
        reader.feed(f.read())
    header, rows = reader.rows[0], reader.rows[1:]
    check(header[:4] == ["Program", "Verdict", "Time", "Exit status"], "summary header")
    check([r[0] for r in rows] == programs, "every program in the summary")
    for row in rows:
        want = expected[row[0]]
        check(row[1] == want, row[0] + " verdict " + row[1] + " (want " + want + ")")
        want_exit = exits[row[0]] if exits else ("6" if want == "failed" else "0")
        check(row[3] == want_exit, row[0] + " exit status " + row[3] + " (want " + want_exit + ")")
        check(re.fullmatch(r"\d+\.\d s", row[2]) is not None, row[0] + " time")
    check(reader.sections == ["case-%d" % (i + 1) for i in range(len(programs))], "a section per program")
    return reader


def timeline_labels(path, program):
    """The arrow labels (class, text) of the timeline in a program's section of the page."""
    with open(path, encoding="utf-8") as f:
        page = f.read()
    start = page.find("<h2>%s <" % program)
    end = page.find("</section>", start)
    if start < 0:
        return []
    return [(c, html.unescape(t)) for c, t in
            re.findall(r'<text class="(label[^"]*)"[^>]*>([^<]*)</text>', page[start:end])]


def check_nak_timeline(path, with_fault):
    """ReXmitOnNak_EP_USW's timeline: the card's Nak in the warning colour and the DUT's
    replayed completion tied to the one it repeats; only the faulty DUT's (no replay on the
    Nak, so its replay timer runs out) shows an ERR_COR message, in the warning colour."""
    labels = timeline_labels(path, "ReXmitOnNak_EP_USW")
    check(any(c == "label warn" and t.startswith("Nak seq ") for c, t in labels), "the Nak drawn: %s" % labels)
    check(any(t.startswith("CplD ") and "(replay of #" in t for c, t in labels),
          "the replayed completion tied to its original: %s" % labels)
    err_cor = [c for c, t in labels if "ERR_COR" in t]
    check(err_cor == (["label warn"] if with_fault else []), "ERR_COR drawn only for the faulty DUT: %s" % labels)


def run_suite(zamsuite, dat, out, *extra, file_faults=None):
    env = dict(os.environ, ZAM_TIME_SCALE="0.01")
    env.pop("ZAMSIM_SOCKET", None)
    if file_faults is not None:
        env["ZAM_FILE_FAULTS"] = file_faults
    result = subprocess.run([zamsuite, "-d", dat, "--out", out, *extra],
                            env=env, capture_output=True, text=True, timeout=1800)
    print(result.stdout, result.stderr, sep="")
    return result


# Stand-ins for five programs: shell scripts that behave as a broken program would. "$4" is
# the log file zamsuite passes with -l.
HEADER = '<VEXOXMLLog user="test_user" timestamp="1:2/3/4/2026">\n<VEXOTest user="test_user">\n'
STAND_INS = {
    "LinkRetrainOnRetryFail_EP_USW": ("error", "signal 11", "kill -SEGV $$"),
    "UndefinedDLLPEncoding_EP_USW": ("error", "timed out", "sleep 30"),
    "ReXmitOnNak_EP_USW": ("error", "0", "exit 0"),
    "ReplayNumTest_EP_USW": ("error", "6", "printf '%s<ASSERTTAG assertion = \"DLL.5.2#1.2\" status = \"FAIL' '" + HEADER
                             + "' > \"$4\"; exit 6"),
    "ReplayTimerTest_EP_USW": ("failed", "6", "printf '%s\\n<ASSERTTAG assertion = \"DLL.5.2#1.1\" status = \"FAILED\">\\n"
                               "got <1> & \"2\"\\t\\033[0m\\n</ASSERTTAG>\\n</VEXOTest>\\n</VEXOXMLLog>\\n' '"
                               + HEADER + "' > \"$4\"; exit 6"),
}


def station_copy(stations, name, tmp, fault=None):
    """A copy of a lab station that names its topology and placement stations by full path,
    with a DUT fault."""
    with open(os.path.join(stations, name + ".station")) as f:
        text = f.read().replace("Topology = %s.test" % name, "Topology = " + os.path.join(stations, name + ".test"))
    text = re.sub(r"(?m)^LinkWidthStations = (.*)$", lambda m: "LinkWidthStations = " + ", ".join(
        os.path.join(stations, n.strip()) for n in m.group(1).split(",")), text)
    if fault:
        text = text.replace("[DUT]\n", "[DUT]\nFault = %s\n" % fault, 1)
    path = os.path.join(tmp, "%s-%s.station" % (name, (fault or "compliant").replace(", ", "+")))
    with open(path, "w") as f:
        f.write(text)
    return path


def link_width(zamsuite, dat, tmp, stations, good):
    """The link width program's campaign on the default station's three placement stations:
    every slot tested in one working folder for the compliant DUT; a DUT that trains narrow
    fails in the first slot."""
    folder = os.path.join(good, LINK_WIDTH)
    with open(os.path.join(folder, LINK_WIDTH + ".ini")) as f:
        campaign = f.read()
    for section in ("RootPort0", "RootPort1", "RootPort2"):
        check(re.search(r"\[%s\][^[]*Slot_Status=Success" % section, campaign) is not None, section + " tested")
    check("[RESULT]\nStatus=COMPLETE" in campaign, "the campaign is complete")
    check(sorted(n for n in os.listdir(folder) if n.startswith("lab-")) ==
          ["lab-dut-slot1.txt", "lab-dut-slot2.txt", "lab-dut-slot3.txt"], "a lab per placement station")

    out = os.path.join(tmp, "narrow")
    result = run_suite(zamsuite, dat, out, "--station", station_copy(stations, "default", tmp, "trains-narrow"),
                       "--only", LINK_WIDTH, "--timeout", "120")
    check(result.returncode == 1, "a DUT that trains narrow: exit 1 (got %d)" % result.returncode)
    check("[ 1/1] %s ... failed (" % LINK_WIDTH in result.stdout and "): on dut-slot1.station: " in result.stdout,
          "the failure names the placement station")
    expected = {LINK_WIDTH: "failed"}
    check_junit(os.path.join(out, "junit.xml"), expected, [LINK_WIDTH])
    check_html(os.path.join(out, "report.html"), expected, [LINK_WIDTH])
    check(not os.path.exists(os.path.join(out, LINK_WIDTH, "lab-dut-slot2.txt")), "the campaign stops at the failure")


def no_lab_left_after_time_limit(zamsuite, dat, tmp, station):
    """A program killed at its time limit on a lab of its own leaves no lab daemon behind."""
    folder = os.path.join(tmp, "hang")
    os.makedirs(folder)
    path = os.path.join(folder, "BadLCRC_EP_USW")
    with open(path, "w") as f:
        f.write("#!/bin/sh\nsleep 30\n")
    os.chmod(path, 0o755)
    result = run_suite(zamsuite, dat, os.path.join(tmp, "hang_out"), "--station", station, "--programs", folder,
                       "--only", "BadLCRC_EP_USW", "--timeout", "2")
    check(result.returncode == 1 and "stopped after the time limit of 2 s" in result.stdout, "hung program stopped")
    left = subprocess.run(["pgrep", "-f", "zamsim start " + station], capture_output=True, text=True).stdout
    check(left.strip() == "", "no lab daemon left after the time limit: " + left)


def stand_ins(zamsuite, dat, tmp):
    folder = os.path.join(tmp, "stand_ins")
    os.makedirs(folder)
    for name, (_, _, body) in STAND_INS.items():
        path = os.path.join(folder, name)
        with open(path, "w") as f:
            f.write("#!/bin/sh\n" + body + "\n")
        os.chmod(path, 0o755)
    names = list(STAND_INS)
    started = time.monotonic()
    result = run_suite(zamsuite, dat, os.path.join(tmp, "broken"), "--programs", folder, "--only", ",".join(names),
                       "--timeout", "2")
    check(time.monotonic() - started < 20, "the hanging program was stopped at its time limit")
    check(result.returncode == 1, "broken programs: exit 1 (got %d)" % result.returncode)
    expected = {n: v[0] for n, v in STAND_INS.items()}
    exits = {n: v[1] for n, v in STAND_INS.items()}
    check_junit(os.path.join(tmp, "broken", "junit.xml"), expected, names)
    check_html(os.path.join(tmp, "broken", "report.html"), expected, names, exits)
    root = ET.parse(os.path.join(tmp, "broken", "junit.xml")).getroot()
    case = {c.get("name"): c for c in root.iter("testcase")}
    check(case["LinkRetrainOnRetryFail_EP_USW"].find("error").get("message") == "crashed (signal 11)", "crash reason")
    check(case["ReXmitOnNak_EP_USW"].find("error").get("message") == "exited with 0 and wrote no log", "no log reason")
    check(case["ReplayNumTest_EP_USW"].find("error").get("message") == "exited with 6; its log is cut off", "cut log reason")
    failure = case["ReplayTimerTest_EP_USW"].find("failure")
    check(failure is not None and failure.text == 'got <1> & "2"\t\\x1B[0m\n', "failure text escaped and read back")
    with open(os.path.join(tmp, "broken", "report.html"), encoding="utf-8") as f:
        page = f.read()
    check('got &lt;1&gt; &amp; &quot;2&quot;' in page, "HTML escapes the log text")


def reports_not_kept(zamsuite, dat, tmp):
    """A report that cannot be written (a full disk, a failed close) ends the run with exit 3
    and names the file and the reason; the stand-ins of stand_ins() are the programs."""
    folder = os.path.join(tmp, "stand_ins")
    for faults, report, reason in (("write:*junit.xml:nospace", "junit.xml", "No space left on device"),
                                   ("close:*report.html:io", "report.html", "Input/output error")):
        out = os.path.join(tmp, "lost_" + report)
        result = run_suite(zamsuite, dat, out, "--programs", folder, "--only", "ReplayTimerTest_EP_USW",
                           file_faults=faults)
        check(result.returncode == 3, "%s not kept: exit 3 (got %d)" % (report, result.returncode))
        said = "zamsuite: cannot write %s: %s\n" % (os.path.join(out, report), reason)
        check(said in result.stderr, "%s not kept: %r in %r" % (report, said, result.stderr))


def main():
    zamsuite, stations, settings = (os.path.abspath(a) for a in sys.argv[1:4])
    with tempfile.TemporaryDirectory(prefix="zamsuite_e2e_") as tmp:
        dat = os.path.join(tmp, "dut.dat")
        with open(dat, "w") as f:
            f.write('<?xml version="1.0"?>\n<VexoDat>\n  <Test mode="AddIn"/>\n'
                    '  <VEXOINIFilePath path="%s"/>\n  <VEXOINIFileName name="KALIXapp.ini"/>\n'
                    '  <PCIEBaseAddress addr="E0000000"/>\n  <DUTSerrEnable v="1"/>\n  <ReplayCount n="3"/>\n'
                    '  <DUTConfig incr="0" offset="0" length="4"/>\n  <DUT vendorid="ABCD" deviceid="0020"/>\n'
                    '</VexoDat>\n' % settings)
        faulty = station_copy(stations, "default", tmp, FAULT)

        limit = ["--timeout", "120"]
        good = run_suite(zamsuite, dat, os.path.join(tmp, "good"), "--station",
                         os.path.join(stations, "default.station"), *limit)
        check("zamsuite: 15 passed, 0 failed, 0 errors, 0 not run\n" in good.stdout, "the summary line")
        check(good.returncode == 0, "compliant DUT: exit 0 (got %d)" % good.returncode)
        check(good.stdout.count(" passed (") == len(PROGRAMS), "a progress line per program")
        all_pass = {p: "passed" for p in PROGRAMS}
        check_junit(os.path.join(tmp, "good", "junit.xml"), all_pass)
        check_html(os.path.join(tmp, "good", "report.html"), all_pass)
        check_nak_timeline(os.path.join(tmp, "good", "report.html"), False)

        link_width(zamsuite, dat, tmp, stations, os.path.join(tmp, "good"))

        bad = run_suite(zamsuite, dat, os.path.join(tmp, "bad"), "--station", faulty, *limit)
        check(bad.returncode == 1, "faulty DUT: exit 1 (got %d)" % bad.returncode)
        with_fault = {p: ("failed" if p in FAULT_FAILS else "passed") for p in PROGRAMS}
        check_junit(os.path.join(tmp, "bad", "junit.xml"), with_fault)
        check_html(os.path.join(tmp, "bad", "report.html"), with_fault)
        check_nak_timeline(os.path.join(tmp, "bad", "report.html"), True)
        for program in PROGRAMS:
            check(os.path.exists(os.path.join(tmp, "bad", program, program + ".xml")), program + " log in its folder")
        stand_ins(zamsuite, dat, tmp)
        reports_not_kept(zamsuite, dat, tmp)
        no_lab_left_after_time_limit(zamsuite, dat, tmp, faulty)
    print("%d check(s) failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The runners stopped by SIGTERM, SIGINT or SIGHUP while their program runs on a lab of its
own. zamsuite: the program and the process it started are gone, so is the lab, the reports
are written with the stopped program as an error and the programs after it as not run, and
zamsuite exits with 128 + the signal. `zamsim run`: its command is gone, so is its lab, and
it exits with 128 + the signal.

The program is a stand-in under the first program's name (a shell script that starts a
process of its own and waits); the later programs are never reached.

usage: stop_signal_e2e.py ZAMSUITE ZAMSIM STATIONS_DIR"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

PROGRAMS = ["TXN_BFT_CompletionTimeout_EP", "TXN_BFT_RequestCompletion_EP", "ReXmitOnNak_EP_USW"]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def alive(pid):
    """Running, not a zombie that its new parent has yet to reap."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (FileNotFoundError, ProcessLookupError):
        return False


def wait_for(condition, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if condition():
            return True
        time.sleep(0.05)
    return condition()


def station_copy(stations, tmp):
    """The default station under a path of this run only, so its lab can be found by it."""
    with open(os.path.join(stations, "default.station")) as f:
        text = f.read().replace("Topology = default.test", "Topology = " + os.path.join(stations, "default.test"))
    # The placement stations are named relative to the station: beside the copy they are not.
    text = re.sub(r"(?m)^LinkWidthStations = (.*)$", lambda m: "LinkWidthStations = " + ", ".join(
        os.path.join(stations, n.strip()) for n in m.group(1).split(",")), text)
    path = os.path.join(tmp, "stop-%d.station" % os.getpid())
    with open(path, "w") as f:
        f.write(text)
    return path


def stopped_by(zamsuite, station, tmp, signal_number):
    name = signal.Signals(signal_number).name
    folder = os.path.join(tmp, name)
    programs = os.path.join(folder, "programs")
    os.makedirs(programs)
    pids = os.path.join(folder, "pids")
    with open(os.path.join(programs, PROGRAMS[0]), "w") as f:
        f.write("#!/bin/sh\nsleep 600 &\necho $$ $! > %s\nwait\n" % pids)
    os.chmod(os.path.join(programs, PROGRAMS[0]), 0o755)
    dat = os.path.join(folder, "dut.dat")
    with open(dat, "w") as f:
        f.write("<VexoDat/>\n")
    out = os.path.join(folder, "out")
    env = dict(os.environ, TMPDIR=folder)
    env.pop("ZAMSIM_SOCKET", None)
    suite = subprocess.Popen([zamsuite, "-d", dat, "--station", station, "--programs", programs, "--only",
                              ",".join(PROGRAMS), "--out", out, "--timeout", "120"],
                             env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    started = wait_for(lambda: os.path.exists(pids) and len(open(pids).read().split()) == 2, 30)
    check(started, name + ": the stand-in started")
    if not started:
        suite.kill()
        suite.communicate()
        return
    program, child = (int(p) for p in open(pids).read().split())
    labs = [entry for entry in os.listdir(folder) if entry.startswith("zamsuite-lab-")]
    check(len(labs) == 1, name + ": the program's lab folder exists while it runs")
    suite.send_signal(signal_number)
    output, _ = suite.communicate(timeout=60)
    print(output)
    check(suite.returncode == 128 + signal_number,
          "%s: exit %d (want %d)" % (name, suite.returncode, 128 + signal_number))
    check(not alive(program) and wait_for(lambda: not alive(child), 5), name + ": the program and its child are gone")
    left = subprocess.run(["pgrep", "-f", station], capture_output=True, text=True).stdout
    check(left.strip() == "", name + ": no lab daemon left: " + left)
    check(not any(entry.startswith("zamsuite-lab-") for entry in os.listdir(folder)), name + ": the lab folder is gone")
    check("asked to stop (signal %d); 2 program(s) not run" % signal_number in output, name + ": says what it left out")

    root = ET.parse(os.path.join(out, "junit.xml")).getroot()
    suite_element = root.find("testsuite")
    cases = suite_element.findall("testcase")
    check([c.get("name") for c in cases] == PROGRAMS, name + ": every program in the JUnit report")
    error = cases[0].find("error")
    check(error is not None and
          error.get("message") == "stopped when zamsuite was asked to stop (signal %d)" % signal_number,
          name + ": the stopped program is an error")
    for case in cases[1:]:
        skipped = case.find("skipped")
        check(skipped is not None and
              skipped.get("message") == "not run: zamsuite was asked to stop (signal %d)" % signal_number,
              name + ": " + case.get("name") + " is not run")
    check(suite_element.get("errors") == "1" and suite_element.get("skipped") == "2", name + ": JUnit counts")
    with open(os.path.join(out, "report.html"), encoding="utf-8") as f:
        page = f.read()
    check(page.count("<td class=\"verdict\">not run</td>") == 2, name + ": the HTML summary marks the rest not run")


def lab_run_stopped_by(zamsim, station, tmp, signal_number):
    name = "zamsim run, " + signal.Signals(signal_number).name
    pids = os.path.join(tmp, "run-%d.pid" % signal_number)
    lab = subprocess.Popen([zamsim, "run", station, "--", "sh", "-c", "echo $$ > %s; exec sleep 600" % pids],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    started = wait_for(lambda: os.path.exists(pids) and open(pids).read().strip() != "", 30)
    check(started, name + ": the command started")
    if not started:
        lab.kill()
        lab.communicate()
        return
    command = int(open(pids).read())
    lab.send_signal(signal_number)
    output, _ = lab.communicate(timeout=60)
    check(lab.returncode == 128 + signal_number,
          "%s: exit %d (want %d): %s" % (name, lab.returncode, 128 + signal_number, output))
    check(wait_for(lambda: not alive(command), 5), name + ": the command is gone")
    left = subprocess.run(["pgrep", "-f", station], capture_output=True, text=True).stdout
    check(left.strip() == "", name + ": no lab daemon left: " + left)


def main():
    zamsuite, zamsim, stations = (os.path.abspath(a) for a in sys.argv[1:4])
    with tempfile.TemporaryDirectory(prefix="stop_signal_e2e_") as tmp:
        station = station_copy(stations, tmp)
        for signal_number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            stopped_by(zamsuite, station, tmp, signal_number)
            lab_run_stopped_by(zamsim, station, tmp, signal_number)
    print("%d check(s) failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

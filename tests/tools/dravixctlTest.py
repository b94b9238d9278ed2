#!/usr/bin/env python3
"""Runs dravixctl as a user does, against the emulated cameras, one group of cases per call:

    dravixctlTest.py PROGRAM GROUP

Each group runs in a fresh temporary directory that is also HOME, so the library's log and
configuration never touch the user's own. Exits non-zero with the failed checks listed."""
import json
import os
import pty
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

PROGRAM = sys.argv[1]
FAILURES = []
# A program that never writes the awaited line is killed after this long, so the test fails
# with the case named instead of hanging until CTest's timeout.
WATCHDOG_SECONDS = 30


def check(condition, what):
    if not condition:
        FAILURES.append(what)
    return condition


def environment(cameras, fmt=None):
    """The program's environment: the test directory as HOME, `cameras` emulated cameras."""
    env = dict(os.environ, HOME=os.getcwd(), XDG_CONFIG_HOME=os.path.join(os.getcwd(), ".config"),
               DRAVIX_CAMEMU=str(cameras))
    if fmt:
        env["DRAVIX_CAMEMU_FORMAT"] = fmt
    return env


def watchdog(process):
    """A started timer that kills `process` after WATCHDOG_SECONDS; cancel it when done."""
    timer = threading.Timer(WATCHDOG_SECONDS, process.kill)
    timer.start()
    return timer


def run(args, cameras=1, timeout=60, fmt=None, stdout=None):
    """Status, standard output and standard error; `stdout` an open file takes the output."""
    done = subprocess.run([PROGRAM] + args, env=environment(cameras, fmt), text=True,
                          stdout=stdout if stdout else subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout)
    return done.returncode, done.stdout or "", done.stderr


def run_json(args, cameras=1, **kwargs):
    status, out, err = run(["--json"] + args, cameras, **kwargs)
    try:
        return status, json.loads(out), err
    except ValueError:
        FAILURES.append("not one JSON document from %s: %r" % (args, out))
        return status, None, err


def signal_blocked(pid, sig):
    """Whether the main thread of `pid` blocks `sig` (it then collects it instead of dying)."""
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("SigBlk:"):
                    return int(line.split()[1], 16) & (1 << (sig - 1)) != 0
    except OSError:
        pass
    return False


def interrupted(args, wait_for=None, sig=signal.SIGINT, cameras=1, watch="stdout"):
    """Starts the program, sends `sig` once `wait_for(what it wrote to `watch` so far)` holds,
    or without `wait_for` as soon as the program blocks `sig`, before it opened a camera; its
    status, standard output and standard error."""
    process = subprocess.Popen([PROGRAM] + args, env=environment(cameras), stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True, bufsize=1)
    timer = watchdog(process)
    watched = process.stdout if watch == "stdout" else process.stderr
    seen = ""
    if wait_for is None:
        while not signal_blocked(process.pid, sig) and process.poll() is None:
            time.sleep(0.001)
    while wait_for is not None and not wait_for(seen):
        line = watched.readline()
        if not line:
            break
        seen += line
    process.send_signal(sig)
    out, err = process.communicate(timeout=30)
    timer.cancel()
    return (process.returncode, seen + out, err) if watch == "stdout" else \
        (process.returncode, out, seen + err)


def run_on_terminal(args, cameras=1):
    """Runs the program with its standard output on a pseudo-terminal; status and output."""
    controller, terminal = pty.openpty()
    process = subprocess.Popen([PROGRAM] + args, env=environment(cameras), stdout=terminal,
                               stderr=subprocess.DEVNULL)
    os.close(terminal)
    timer = watchdog(process)
    output = b""
    while True:
        try:
            chunk = os.read(controller, 4096)
        except OSError:  # EIO: the program closed the terminal
            break
        if not chunk:
            break
        output += chunk
    os.close(controller)
    status = process.wait(timeout=60)
    timer.cancel()
    return status, output.decode(errors="replace")


def group_commands():
    status, doc, _ = run_json(["list"], cameras=2)
    check(status == 0 and len(doc["cameras"]) == 2, "list shows two cameras: %s" % doc)
    check([c["index"] for c in doc["cameras"]] == [0, 1], "list numbers the cameras")
    for camera in doc["cameras"]:
        check(set(camera) >= {"serial", "controller version", "head version", "usb speed"},
              "list fields: %s" % camera)
    status, out, _ = run(["list"], cameras=1)
    check(status == 0 and out.startswith("1 camera\n") and "\nindex: 0\n" in out,
          "list for people: %r" % out)
    status, doc, _ = run_json(["--camera", "1", "info"], cameras=2)
    check(status == 0 and doc["index"] == 1 and doc["cameras present"] == 2, "info: %s" % doc)
    check(doc["frame bytes"] == 1920 * 1080 * 2 and doc["stream format"] == "YUY2, 2073600 pixels"
          and "serial" in doc, "info fields: %s" % doc)
    status, out, err = run(["--camera", "3", "info"], cameras=1)
    check(status == 1 and out == "" and
          "no camera 3: `dravixctl list` shows 1 camera" in err, "missing camera: %r" % err)
    # Output that cannot be written is a failure, not a success.
    with open("/dev/full", "w") as full:
        status, _, err = run(["--json", "info"], stdout=full)
    check(status == 1 and "cannot write the output" in err, "stdout full: %d %r" % (status, err))
    status, out, _ = run(["--help"])
    check(status == 0 and "usage: dravixctl" in out and "firmware COMPONENT FILE" in out,
          "--help: %r" % out)
    status, out, _ = run(["stream", "--help"])
    check(status == 0 and out.startswith("usage: dravixctl [--camera N] [--json] stream"),
          "stream --help: %r" % out)
    # Bad arguments: usage on stderr, status 2, nothing on stdout, no camera needed.
    for args, message in [([], "no command given"),
                          (["fly"], "unknown command 'fly'"),
                          (["fly", "--help"], "unknown command 'fly'"),
                          (["--camera", "x", "list"], "--camera needs a whole number"),
                          (["get", "no-such"], "no parameter 'no-such'"),
                          (["set", "hue", "360"], "value 1 of hue is '360'"),
                          (["set", "gain", "1"], "gain takes 4 value(s)"),
                          (["qpr", "save", "a.qpr"], "qpr needs --head N"),
                          (["snapshot", "a.png"], "FILE must end in"),
                          (["firmware", "toaster", "a.bin"], "unknown component 'toaster'"),
                          (["stream", "--seconds", "-1"], "--seconds needs a whole number")]:
        status, out, err = run(args, cameras=0)
        check(status == 2 and out == "" and message in err and "usage: dravixctl" in err,
              "usage error for %s: %d %r" % (args, status, err))


# Values each parameter is set to; the camera's read-back in the same run must equal them.
ROUND_TRIPS = [
    ("hue", ["359"]), ("saturation", ["4095"]), ("offset", ["-300"]),
    ("gain", ["1", "2", "3", "4"]), ("color-matrix", [str(i * 100) for i in range(9)]),
    ("crcb-gain", ["5", "4", "3", "2", "1"]), ("mask-enable", ["1", "0", "1"]),
    ("hv-flip", ["1", "0"]), ("binning", ["1", "127"]), ("ov-exp", ["3", "4000", "7"]),
    ("dpc-config", ["1", "512"]), ("wb-window", ["64", "128", "640", "480", "1"]),
    ("edge-enhancement", ["1", "10", "15", "300", "2047"]), ("sobel", ["1", "2", "3", "4"]),
    ("gamma", ["1"] + [str(i * 7) for i in range(36)]), ("scale", ["1", "10", "20", "30", "40", "2"]),
    ("ov-exp-weight", ["100", "200", "300", "400"] + [str(i) for i in range(16)]),
    ("ov-exp-target-steps", [str(i + 1) for i in range(11)]), ("target", ["777"]),
]


def group_parameters():
    status, doc, _ = run_json(["get", "--list"], cameras=0)
    names = {p["name"]: p for p in doc["parameters"]}
    check(status == 0 and len(names) >= 30, "get --list: %d parameters" % len(names))
    status, out, _ = run(["get"], cameras=0)
    check(status == 0 and len(out.splitlines()) == len(names), "get lists the parameters")
    for name, values in ROUND_TRIPS:
        check(names[name]["set values"] == len(values), "%s takes %d values" % (name, len(values)))
        status, doc, err = run_json(["set", name] + values)
        numbers = [int(v) for v in values]
        check(status == 0 and doc["values"] == numbers and doc["read back"] == numbers,
              "set %s round trip: %s %s" % (name, doc, err))
    status, doc, _ = run_json(["get", "hue"])
    check(status == 0 and doc == {"name": "hue", "values": [0]}, "get hue: %s" % doc)
    status, out, _ = run(["get", "gain", "--camera", "1"], cameras=2)
    check(status == 0 and out == "name: gain\nvalues: 0 0 0 0\n", "get gain: %r" % out)
    status, _, err = run(["get", "raw-mode"])
    check(status == 1 and "raw-mode is write-only" in err, "write-only: %r" % err)


def jpeg_size(data):
    """Width and height from a baseline JPEG's SOF0 segment, or None."""
    if data[:2] != b"\xff\xd8" or data[-2:] != b"\xff\xd9":
        return None
    at = 2
    while at + 4 <= len(data):
        marker, length = data[at + 1], struct.unpack(">H", data[at + 2:at + 4])[0]
        if marker == 0xC0:
            height, width = struct.unpack(">HH", data[at + 5:at + 9])
            return width, height
        at += 2 + length
    return None


def group_files():
    fmt = "208x200@30"
    for name, kind in [("a.jpg", "jpeg"), ("b.JPEG", "jpeg"), ("c.bmp", "bmp"),
                       ("d.raw", "raw"), ("e.yuv", "raw"), ("sub/f.jpg", "jpeg")]:
        os.makedirs("sub", exist_ok=True)
        status, doc, err = run_json(["snapshot", name], fmt=fmt)
        if not check(status == 0 and doc["file"] == name and doc["format"] == kind,
                     "snapshot %s: %s %s" % (name, doc, err)):
            continue
        data = open(name, "rb").read()
        check(doc["bytes"] == len(data) > 0, "%s size" % name)
        if kind == "jpeg":
            check(jpeg_size(data) == (208, 200), "%s decodes as 208x200 JPEG" % name)
        elif kind == "bmp":
            magic, size, _, offset, _, width, height, _, bits = struct.unpack(
                "<2sIIIIiiHH", data[:30])
            check(magic == b"BM" and size == len(data) and width == 208 and abs(height) == 200
                  and bits == 24 and offset + 208 * 3 * 200 <= len(data), "%s BMP header" % name)
        else:
            check(len(data) == 208 * 200 * 2, "%s holds one YUY2 frame" % name)
    leftovers = sorted(f for f in os.listdir(".") if f.endswith((".ycrcb",)) or "_" in f)
    check(leftovers == [], "only the named files are left: %s" % leftovers)
    # A name already taken is replaced, as the user asked for it.
    status, _, _ = run(["snapshot", "a.jpg"], fmt=fmt)
    check(status == 0 and jpeg_size(open("a.jpg", "rb").read()) == (208, 200), "overwrite")
    status, _, err = run(["snapshot", "no/such/dir/x.jpg"], fmt=fmt)
    check(status == 1 and "cannot create no/such/dir/x.jpg" in err, "unwritable: %r" % err)

    # With the library's log switched off the picture is still found, written and named.
    os.makedirs(".config/dravix", exist_ok=True)
    with open(".config/dravix/dravix.conf", "w") as config:
        config.write("LOG_DISABLE=1\n")
    for name, kind in [("quiet.jpg", "jpeg"), ("quiet.raw", "raw")]:
        status, doc, err = run_json(["snapshot", name], fmt=fmt)
        check(status == 0 and doc["file"] == name and doc["bytes"] == os.path.getsize(name) and
              (kind == "raw" or jpeg_size(open(name, "rb").read()) == (208, 200)),
              "snapshot %s without the log: %s %r" % (name, doc, err))
    status, _, err = interrupted(["log"], lambda seen: "switched off" in seen, watch="stderr")
    check(status == 0 and "LOG_DISABLE=1" in err, "log warns that the log is off: %r" % err)
    os.remove(".config/dravix/dravix.conf")
    leftovers = sorted(f for f in os.listdir(".") if f.startswith("."))
    check(leftovers == [".config"], "no request files are left: %s" % leftovers)

    status, doc, err = run_json(["qpr", "save", "s.qpr", "--head", "1"])
    check(status == 0 and doc == {"action": "saved", "file": "s.qpr", "head": 1} and
          os.path.getsize("s.qpr") > 0, "qpr save: %s %s" % (doc, err))
    status, out, err = run(["qpr", "load", "s.qpr", "--head", "1"])
    check(status == 0 and out.startswith("action: loaded\n"), "qpr load: %r %r" % (out, err))
    status, out, err = run(["qpr", "load", "missing.qpr", "--head", "1"])
    check(status == 1 and out == "" and "loading the settings from the QPR file failed" in err,
          "qpr load of a missing file: %r" % err)


def group_firmware():
    image = bytes((i * 7 + i // 768 + 1) & 0xFF for i in range(400 * 768))
    open("ccu.img", "wb").write(image)
    status, out, err = run(["firmware", "ccu-fpga", "ccu.img"])
    percents = [int(line.split()[1].rstrip("%")) for line in out.splitlines()
                if line.startswith("progress ")]
    check(status == 0 and "outcome: done" in out, "update: %d %r %r" % (status, out[-200:], err))
    check(len(percents) >= 3 and percents == sorted(percents) and percents[-1] == 100 and
          len(set(percents)) == len(percents), "progress rises to 100: %s" % percents)
    check("\r" not in out, "no bar when stdout is not a terminal")
    # On a terminal: one bar redrawn in place, ending at 100 % with the result.
    status, out = run_on_terminal(["firmware", "ccu-fpga", "ccu.img"])
    check(status == 0 and "\r[" in out and "100%" in out and "left" in out and
          "progress " not in out and "outcome: done" in out, "bar on a terminal: %r" % out[-300:])
    status, doc, _ = run_json(["firmware", "fx3", "ccu.img"])
    check(status == 0 and doc["result"] == 0 and doc["outcome"] == "done", "json: %s" % doc)
    open("empty.img", "wb").close()
    status, out, err = run(["firmware", "osd", "empty.img"])
    check(status == 1 and "refused the update of osd" in err, "refused: %r" % err)
    status, out, err = run(["firmware", "osd", "missing.img"])
    check(status == 1 and "cannot read the firmware file missing.img" in err, "missing: %r" % err)
    # Ctrl-C once the update runs: the camera is closed, the update ends as aborted.
    big = image * 40
    open("big.img", "wb").write(big)
    status, out, err = interrupted(["firmware", "ccu-fpga", "big.img"],
                                   lambda seen: "progress " in seen)
    check(status == 1 and "outcome: aborted" in out and "was aborted" in err,
          "aborted update: %d %r %r" % (status, out[-200:], err))


def group_stream():
    status, doc, _ = run_json(["stream", "--seconds", "1"], fmt="208x200@60")
    # Sanitizer builds deliver fewer frames; the benchmark measures the rate and missed frames.
    check(status == 0 and doc["frames"] >= 10 and doc["missed frames"] >= 0 and
          doc["frame bytes"] == 208 * 200 * 2 and not doc["interrupted"], "stream: %s" % doc)
    check(0 < doc["frame rate"] < 80 and 0 <= doc["cpu percent"] < 400, "rates: %s" % doc)
    status, out, err = interrupted(["stream", "--seconds", "600"],
                                   lambda seen: "Ctrl-C ends it" in seen, watch="stderr")
    check(status == 0 and "interrupted: yes" in out and "frames:" in out,
          "Ctrl-C ends the stream with a summary: %d %r %r" % (status, out, err))
    # Ctrl-C before the first frame: the command stops, says so and writes nothing.
    for args in (["info"], ["snapshot", "early.jpg"]):
        status, out, err = interrupted(args)
        check(status == 1 and "interrupted" in err and not os.path.exists("early.jpg"),
              "Ctrl-C during %s: %d %r %r" % (args[0], status, out, err))
    status, out, err = interrupted(["log", "--level", "info"], lambda seen: "API Version" in seen,
                                   sig=signal.SIGTERM)
    check(status == 0 and " INFO    Session started" in out and "API Version: " in out,
          "log follows until SIGTERM: %d %r %r" % (status, out, err))
    status, out, err = interrupted(["--json", "log"], lambda seen: seen.count("\n") >= 2)
    lines = [json.loads(line) for line in out.splitlines()]
    check(status == 0 and lines[0]["level"] == "INFO" and "text" in lines[0],
          "log as JSON lines: %r" % out)


GROUPS = {name[len("group_"):]: f for name, f in globals().items() if name.startswith("group_")}

if __name__ == "__main__":
    with tempfile.TemporaryDirectory() as home:
        os.chdir(home)
        GROUPS[sys.argv[2]]()
    for failure in FAILURES:
        print("FAILED:", failure)
    sys.exit(1 if FAILURES else 0)

#!/usr/bin/env python3
"""The logger's /metrics and page, end to end: the logger runs a bus file in
virtual time with --metrics/--http on loopback; this script reads what it
serves with a real Prometheus parser, promtool and headless Chromium.

Usage: web_e2e.py LOGGER EXAMPLES_DIR CASE    (exit 77: skipped)
"""
import html.parser
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

SKIP = 77
LOGGER, EXAMPLES, CASE = sys.argv[1], sys.argv[2], sys.argv[3]

# Russian state words as the board shows them.
STATE = {
    "fresh": "свежее показание",
    "not_read": "ещё не прочитан",
    "read_error": "ошибка CRC или чтения",
    "power_on": "значение при включении питания",
    "busy": "занят, измерение не закончено",
    "fault_code": "код неисправности датчика",
    "no_sensor": "нет датчика за мостом",
    "gone": "пропал с шины",
}


def crc8(data):
    crc = 0
    for byte in data:
        for _ in range(8):
            mix = (crc ^ byte) & 1
            crc >>= 1
            if mix:
                crc ^= 0x8C
            byte >>= 1
    return crc


def rom_bytes(family, serial_hex):
    serial = int(serial_hex, 16)
    rom = [int(family, 16)] + [(serial >> (8 * i)) & 0xFF for i in range(6)]
    return rom + [crc8(rom)]


def rom_text(family, serial_hex):
    """The program's own spelling: CRC first, family last."""
    return "".join("%02X" % b for b in reversed(rom_bytes(family, serial_hex)))


def family_first(family, serial_hex):
    return "".join("%02X" % b for b in rom_bytes(family, serial_hex))


class Logger:
    """orvel-logger in virtual time, serving until stopped."""

    def __init__(self, bus, web_args, env=None, journal=None):
        self.tmp = tempfile.mkdtemp(prefix="orvel-web-")
        if isinstance(bus, dict):
            path = os.path.join(self.tmp, "bus.json")
            with open(path, "w") as f:
                json.dump(bus, f)
            bus = path
        args = [LOGGER, "--bus", bus, "--virtual-time"] + web_args
        if journal:
            args += ["--journal", self.tmp, "--interval", "30"]
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=env, text=True)
        self.polls = 0
        self.urls = []
        self.stderr = []
        self.lock = threading.Condition()
        threading.Thread(target=self._out, daemon=True).start()
        threading.Thread(target=self._err, daemon=True).start()

    def _out(self):
        for _ in self.proc.stdout:
            with self.lock:
                self.polls += 1
                self.lock.notify_all()

    def _err(self):
        for line in self.proc.stderr:
            with self.lock:
                self.stderr.append(line.rstrip("\n"))
                m = re.match(r"serving (\S+)", line)
                if m:
                    self.urls.append(m.group(1))
                self.lock.notify_all()

    def wait(self, polls, urls):
        deadline = time.monotonic() + 20
        with self.lock:
            while self.polls < polls or len(self.urls) < urls:
                if self.proc.poll() is not None or time.monotonic() > deadline:
                    raise AssertionError("logger: %d polls, urls %s, stderr %s" %
                                         (self.polls, self.urls, self.stderr))
                self.lock.wait(0.1)

    def url(self, suffix):
        return next(u for u in self.urls if u.endswith(suffix))

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)


def served(bus, web_args, polls, fetch, env=None, journal=True):
    """What `fetch(logger)` reads once the logger has run `polls` polls."""
    log = Logger(bus, web_args, env=env, journal=journal)
    try:
        log.wait(polls, 1)
        return fetch(log), log.stderr
    finally:
        log.stop()


def get(url):
    with urllib.request.urlopen(url, timeout=10) as r:
        return r.read().decode("utf-8"), r.headers.get("Content-Type")


def demo():
    with open(os.path.join(EXAMPLES, "demo.json")) as f:
        return json.load(f)


def check(cond, what):
    if not cond:
        raise AssertionError(what)


# Quantities each demo device must show.
def expected_quantities(dev):
    fam = dev["family"]
    if fam in ("28", "10"):
        return {"temperature"}
    if fam == "26":
        return {"humidity"}
    if fam == "19":
        q = set()
        for chip in dev.get("i2c", {}):
            if chip in ("hdc", "sht"):
                q |= {"temperature", "humidity"}
            if chip == "sts":
                q |= {"temperature"}
            if chip == "bmp280":
                q |= {"pressure", "pressure_sensor_temperature"}
        return q
    return set()


def case_metrics():
    try:
        from prometheus_client.parser import text_string_to_metric_families
    except ImportError:
        print("SKIPPED: python3-prometheus-client is not installed")
        return SKIP
    bus = demo()
    (text, ctype), _ = served(os.path.join(EXAMPLES, "demo.json"), ["--metrics", "127.0.0.1:0"],
                              4, lambda log: get(log.url("/metrics")))
    check(ctype.startswith("text/plain; version=0.0.4"), ctype)
    families = {f.name: f for f in text_string_to_metric_families(text)}
    values = {}
    for s in families["orvel_sensor_value"].samples:
        values[(s.labels["rom"], s.labels["quantity"])] = s.value
        check(s.labels["station"], "station label")
        check(s.labels["family"] == s.labels["rom"][:2], s.labels)
    stamps = {(s.labels["rom"], s.labels["quantity"])
              for s in families["orvel_sensor_last_fresh_timestamp_seconds"].samples
              if abs(s.value - time.time()) < 10 * 86400}
    for dev in bus["devices"]:
        rom = family_first(dev["family"], dev["serial"])
        for q in expected_quantities(dev):
            check((rom, q) in values, "no value for %s %s in\n%s" % (rom, q, text))
            check((rom, q) in stamps, "no time for %s %s" % (rom, q))
    t = values[(family_first("28", "0000012A3B4C"), "temperature")]
    check(19.9 <= t <= 23.1, "demo thermometer reads %s" % t)
    polls = families["orvel_polls"].samples[0].value
    check(polls >= 4, "polls %s" % polls)
    check(families["orvel_scans"].samples[0].value >= polls, "scans")
    causes = {s.labels["cause"] for s in families["orvel_failed_readings"].samples}
    check(causes == {"read_error", "power_on", "busy", "fault_code", "no_sensor"}, causes)
    for name in ("queued", "sent", "dropped"):
        check(families["orvel_mqtt_messages_" + name].samples[0].value == 0, name)
    if os.path.exists("/usr/bin/promtool"):
        r = subprocess.run(["/usr/bin/promtool", "check", "metrics"], input=text,
                           capture_output=True, text=True)
        check(r.returncode == 0, "promtool: " + r.stdout + r.stderr)
    else:
        print("promtool not found: only the Python parser checked the text")
    return 0


class PageReader(html.parser.HTMLParser):
    """The rendered board: rows by ROM with their cells, and the plots."""

    def __init__(self):
        super().__init__()
        self.rows = {}
        self.plots = []  # (rom, quantity, number of points)
        self.value_classes = {}  # rom -> the class of each value shown
        self._row = None
        self._cell = None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "tr" and "sensor" in a.get("class", ""):
            self._row = a["data-rom"]
            self.rows[self._row] = []
        elif tag == "td" and self._row:
            self._cell = ""
        elif tag == "div" and self._row and "value" in a.get("class", ""):
            self.value_classes.setdefault(self._row, []).append(a["class"])
        elif tag == "svg" and "plot" in a.get("class", ""):
            self.plots.append([a["data-rom"], a["data-quantity"], 0])
        elif tag == "polyline" and self.plots:
            self.plots[-1][2] = len(a.get("points", "").split())

    def handle_endtag(self, tag):
        if tag == "td" and self._row is not None and self._cell is not None:
            self.rows[self._row].append(self._cell.strip())
            self._cell = None
        elif tag == "tr":
            self._row = None

    def handle_data(self, data):
        if self._cell is not None:
            self._cell += data


CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync"]


def chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


def rendered(url):
    profile = tempfile.mkdtemp(prefix="orvel-chromium-")
    try:
        r = subprocess.run([chromium()] + CHROMIUM_FLAGS +
                           ["--user-data-dir=" + profile, "--dump-dom", url],
                           capture_output=True, text=True, timeout=60)
        check(r.returncode == 0 and "</html>" in r.stdout, "chromium: " + r.stderr[-2000:])
        page = PageReader()
        page.feed(r.stdout)
        return page, r.stdout
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def case_page():
    if not chromium():
        print("SKIPPED: chromium is not installed")
        return SKIP
    bus = demo()
    (page, dom), _ = served(os.path.join(EXAMPLES, "demo.json"), ["--http", "127.0.0.1:0"], 5,
                            lambda log: rendered(log.url("/")))
    check("<script" not in dom, "the page carries a script")
    check(len(page.rows) == len(bus["devices"]), "rows %s" % list(page.rows))
    for dev in bus["devices"]:
        rom = rom_text(dev["family"], dev["serial"])
        cells = page.rows.get(rom)
        check(cells is not None, "no row for " + rom)
        check(family_first(dev["family"], dev["serial"]) in cells[2], cells)
        quantities = expected_quantities(dev)
        if quantities:
            check(cells[5].startswith(STATE["fresh"]), "%s: %s" % (rom, cells))
            for q in quantities:
                pts = [n for r, qq, n in page.plots if r == rom and qq == q]
                check(pts and pts[0] >= 5, "plot of %s %s: %s" % (rom, q, pts))
    return 0


def free_port():
    import socket
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def case_ports():
    port = free_port()
    log = Logger(os.path.join(EXAMPLES, "demo.json"),
                 ["--http", str(port), "--metrics", "127.0.0.1:%d" % port])
    try:
        log.wait(1, 2)
        check(log.urls == ["http://127.0.0.1:%d/metrics" % port, "http://127.0.0.1:%d/" % port],
              log.urls)
        check("orvel_polls_total" in get(log.url("/metrics"))[0], "metrics on the shared port")
        check("<table" in get(log.url("/"))[0], "page on the shared port")
    finally:
        log.stop()
    log = Logger(os.path.join(EXAMPLES, "demo.json"), ["--http", "0", "--metrics", "0"])
    try:
        log.wait(1, 2)
        ports = {re.search(r":(\d+)/", u).group(1) for u in log.urls}
        check(len(ports) == 2, log.urls)
        check("orvel_polls_total" in get(log.url("/metrics"))[0], "metrics listener")
        check("<table" in get(log.url("/"))[0], "page listener")
        # Each listener serves only its own path.
        try:
            get(log.url("/")[:-1] + "/metrics")
            check(False, "the page's listener serves /metrics")
        except urllib.error.HTTPError as e:
            check(e.code == 404, e)
    finally:
        log.stop()
    return 0


def device_row(bus, polls, rom):
    (text, _), _ = served(bus, ["--http", "0"], polls, lambda log: get(log.url("/")))
    page = PageReader()
    page.feed(text)
    check(rom in page.rows, "no row for %s" % rom)
    return page.rows[rom], page.value_classes.get(rom, [])


def case_faults():
    t = {"family": "28", "serial": "0000012A3B4C", "temperature": 21.5}
    rom = rom_text("28", "0000012A3B4C")
    bridge_rom = rom_text("19", "0000001D2E3F")
    module_rom = rom_text("26", "000000A1B2C3")
    cases = [
        ("power_on", [dict(t, faults={"power_on": True})], rom, "power_on"),
        ("crc_error_rate", [dict(t, faults={"crc_error_rate": 1.0, "seed": 3})], rom, "read_error"),
        # The thermometer is read after a fixed wait, and a conversion that
        # never ends leaves the power-on value in its scratchpad.
        ("busy_forever", [dict(t, faults={"busy_forever": True})], rom, "power_on"),
        # Neither a stuck bridge nor a stuck module is told apart from its
        # other failures by the station yet: no reading ever claims "busy".
        ("busy_forever bridge", [{"family": "19", "serial": "0000001D2E3F", "faults": {"busy_forever": True},
                           "i2c": {"hdc": {"temperature": 21.0, "humidity": 40.0,
                                           "serial": "0102030405A6"}}}], bridge_rom, "no_sensor"),
        ("busy_forever module", [{"family": "26", "serial": "000000A1B2C3", "temperature": 24.0,
                                  "vdd": 5.0, "rh": 40.0, "faults": {"busy_forever": True}}],
         module_rom, "fault_code"),
        ("absent_after", [dict(t, faults={"absent_after": 8}),
                          {"family": "28", "serial": "0000012A3B4D", "temperature": 4.0}],
         rom, "gone"),
        ("returns_after", [dict(t, faults={"absent_after": 8, "returns_after": 16}),
                           {"family": "28", "serial": "0000012A3B4D", "temperature": 4.0}],
         rom, "fresh"),
        ("nack", [{"family": "19", "serial": "0000001D2E3F",
                   "i2c": {"hdc": {"temperature": 21.0, "humidity": 40.0,
                                   "serial": "0102030405A6", "faults": {"nack": True}}}}],
         bridge_rom, "no_sensor"),
        ("humidity fault code", [{"family": "26", "serial": "000000A1B2C3", "temperature": 24.0,
                                  "vdd": 5.0, "vad": 0.0}], module_rom, "fault_code"),
    ]
    failures = []
    for name, devices, which, state in cases:
        cells, classes = device_row({"adapter": {"present": True}, "devices": devices}, 12, which)
        values, words = cells[3], cells[5]
        if not words.startswith(STATE[state]):
            failures.append("%s: state %r, expected %r" % (name, words, STATE[state]))
        # Only a fresh device shows a value as current; the others show
        # none or a struck-out old one.
        current = [c for c in classes if c == "value"]
        if (state == "fresh") != bool(current):
            failures.append("%s: values %r with classes %r" % (name, values, classes))
        print("%-20s -> %s | %s" % (name, words, values))
    check(not failures, "\n".join(failures))
    return 0


def case_names():
    if not chromium():
        print("SKIPPED: chromium is not installed")
        return SKIP
    config = tempfile.mkdtemp(prefix="orvel-xdg-")
    try:
        os.makedirs(os.path.join(config, "orvel"))
        a = ("28", "0000012A3B4C")
        b = ("19", "0000001D2E3F")
        with open(os.path.join(config, "orvel", "names.conf"), "w", encoding="utf-8") as f:
            f.write("# sensors of the demo bus\n%s = Подвал <север>\n%s = Улица\nnonsense\n" %
                    (rom_text(*a), family_first(*b)))
        env = dict(os.environ, XDG_CONFIG_HOME=config)
        (page, _), stderr = served(os.path.join(EXAMPLES, "demo.json"), ["--http", "0"], 2,
                                   lambda log: rendered(log.url("/")), env=env, journal=False)
        check(page.rows[rom_text(*a)][0] == "Подвал <север>", page.rows[rom_text(*a)])
        check(page.rows[rom_text(*b)][0] == "Улица", page.rows[rom_text(*b)])
        check(any("names.conf:4:" in line for line in stderr), stderr)
    finally:
        shutil.rmtree(config, ignore_errors=True)
    return 0


CASES = {"names": case_names, "metrics": case_metrics, "page": case_page, "ports": case_ports, "faults": case_faults}

if __name__ == "__main__":
    try:
        sys.exit(CASES[CASE]())
    except AssertionError as e:
        print("FAILED:", e)
        sys.exit(1)

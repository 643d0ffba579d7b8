#!/usr/bin/env python3
"""Runs the real Setup.exe under Wine on Xvfb, from a copy of our sample driver
package in a fresh Wine prefix, drives it with automate.exe, and checks what a
user and the system would see.

    run_e2e.py --bin BUILD_WIN64 --work FOLDER [--docs DOCS]   the tests of the x64 build
    run_e2e.py --bin BUILD_WIN32 --arch x86 --work FOLDER      the tests of the x86 build
    run_e2e.py --bin BUILD --work FOLDER --demo [--arch x86]   the main job

The x64 build runs in a 64-bit prefix. The x86 build is refused in a 64-bit
prefix (under WOW64) and runs in a 32-bit one (WINEARCH=win32), with every
program there from the win32 build: a 32-bit prefix cannot start 64-bit ones.

Every wait is bounded; nothing sleeps for a fixed time. Screenshots of every
dialog are saved under FOLDER/screenshots (and, with --docs, the ones the
README shows are copied there).
"""
import argparse
import errno
import glob
import ntpath
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

TITLE = "Corvex Printer Driver - Setup"
MODEL = "KVX QL70 TILLMATE (ESC P)"
SUCCESS = MODEL + " Printer Driver & Status Monitor installed successfully."
PRINTER_PATH = r"\\?\USB#VID_F1C4&PID_1101#QL70_TILLMATE#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"
OTHER_PRINTER_PATH = r"\\?\USB#VID_F1C4&PID_1101#QL70_OTHER#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"
USB_INTERFACE_KEY = (r"HKLM\SYSTEM\CurrentControlSet\Control\DeviceClasses\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"
                     r"\##?#USB#Vid_f1c4&Pid_1101#QL70_TILLMATE#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\#")
# The spooler's driver folder and environment for each kind of prefix.
DRIVER_FOLDER = {"win64": "x64", "win32": "w32x86"}
ENVIRONMENT = {"win64": "Windows x64", "win32": "Windows NT x86"}
# Debian's wine script picks the 32-bit loader whenever wine32 is installed,
# also where the kernel cannot start it; a 64-bit prefix is started by the
# 64-bit loader, which starts the 32-bit one itself for a 32-bit program.
WINE_LOADER = {"win64": "/usr/lib/wine/wine64", "win32": "/usr/lib/wine/wine"}
SKIPPED = 77
IDC_MANUAL, IDC_PORT_OK = 1021, 1008
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))
from check_package import DRIVER_RECORD, STATUS_MONITOR  # noqa: E402

# Our sample package: its files as they are, the programs from the build.
PACKAGE_FILES = sorted(os.listdir(os.path.join(HERE, "package")))
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7


class Failure(Exception):
    pass


class Wine:
    """A Wine prefix of our own, on a display, with automate.exe beside it."""

    def __init__(self, work, binaries, display, arch="win64"):
        self.work = work
        self.arch = arch
        self.loader = WINE_LOADER[arch] if os.access(WINE_LOADER[arch], os.X_OK) else "wine"
        self.driver_folder = DRIVER_FOLDER[arch]
        self.driver_directory = "C:\\windows\\system32\\spool\\drivers\\" + self.driver_folder
        self.prefix = os.path.join(work, "prefix")
        self.package = os.path.join(work, "package")
        self.tools = os.path.join(work, "tools")
        self.shots = os.path.join(work, "screenshots")
        self.binaries = binaries
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEARCH=arch, WINEDEBUG="-all",
                        DISPLAY=display, WINEDLLOVERRIDES="mscoree,mshtml=")

    def command(self, *args, timeout=120, check=True, cwd=None):
        result = self.spawn(*args, cwd=cwd).finish(timeout)
        if check and result.returncode != 0:
            raise Failure("%s: exit %d: %s" % (" ".join(args), result.returncode, result.stderr.strip()[-400:]))
        return result

    def spawn(self, *args, cwd=None, env=None):
        args = list(args)
        if args[0] == "wine":
            args[0] = self.loader
        elif args[0] == "wineboot":
            args[0:1] = [self.loader, "wineboot"]
        return Spawned(args, env or self.env, cwd)

    def create_prefix(self):
        # A server still running for an earlier prefix at this path would be
        # found again by the new one (Wine names servers by the folder's inode).
        if os.path.isdir(self.prefix):
            self.stop()
        shutil.rmtree(self.prefix, ignore_errors=True)
        self.command("wineboot", "-i", timeout=300)
        # Unmanaged windows: Wine otherwise waits 2 s for the window manager
        # each time a top-level window is hidden.
        self.reg_add(r"HKCU\Software\Wine\X11 Driver", "Managed", "N")
        self.command("wineserver", "-w", timeout=120)
        # Windows 7 reaches this folder through its compatibility junctions.
        os.makedirs(os.path.join(self.prefix, "drive_c", "Documents and Settings", "All Users", "Start Menu",
                                 "Programs"), exist_ok=True)
        # A fresh prefix finds none of Wine's own TrueType fonts: without
        # Marlett the title-bar buttons show as letters, and "MS Shell Dlg"
        # falls back to a bitmap font. Windows has them.
        fonts = os.path.join(self.prefix, "drive_c", "windows", "Fonts")
        os.makedirs(fonts, exist_ok=True)
        for font in glob.glob("/usr/share/wine/fonts/*.ttf"):
            shutil.copy(font, fonts)
        self.start_server()

    def start_server(self):
        # A persistent server keeps every wine start after this one quick. It
        # outlives this call, so it must not hold our pipes.
        # It ends by itself a minute after its last client, should we not stop it.
        subprocess.run(["wineserver", "-p60"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=30, check=True)

    def reg_add(self, key, name, data):
        self.command("wine", "reg", "add", key, "/v", name, "/d", data, "/f")

    def reg_add_dword(self, key, name, number):
        self.command("wine", "reg", "add", key, "/v", name, "/t", "REG_DWORD", "/d", str(number), "/f")

    def reg_delete(self, key, name):
        self.command("wine", "reg", "delete", key, "/v", name, "/f", check=False)

    def lay_out_package(self):
        shutil.rmtree(self.package, ignore_errors=True)
        os.makedirs(os.path.join(self.package, "STM"))
        os.makedirs(self.tools, exist_ok=True)
        os.makedirs(self.shots, exist_ok=True)
        for name in PACKAGE_FILES:
            shutil.copy(os.path.join(HERE, "package", name), self.package)
        shutil.copy(os.path.join(self.binaries, "Setup.exe"), self.package)
        shutil.copy(os.path.join(self.binaries, "StatusMonitor.exe"), os.path.join(self.package, "Uninstall.exe"))
        shutil.copy(os.path.join(self.binaries, "StatusMonitor.exe"), os.path.join(self.package, "STM", STATUS_MONITOR))
        shutil.copy(os.path.join(self.binaries, "automate.exe"), self.tools)

    def start_setup(self):
        return self.spawn("wine", "Setup.exe", cwd=self.package)

    def automate(self, *args, timeout=60):
        result = self.command("wine", os.path.join(self.tools, "automate.exe"), *args, timeout=timeout, check=False)
        if result.returncode != 0:
            raise Failure("automate %s: %s" % (" ".join(args), result.stderr.strip()))
        return result.stdout.splitlines()

    def wait_window(self, text, timeout_ms=30000, shot=None):
        return self.finish_wait(self.watch_window(text, timeout_ms, shot), shot)

    def watch_window(self, text, timeout_ms=30000, shot=None):
        """Starts waiting for a window, for one that Setup is about to show."""
        args = ["wine", os.path.join(self.tools, "automate.exe"), "wait", TITLE, text, str(timeout_ms)]
        if shot:
            args.append(self.windows_path(self.shot_path(shot, ".bmp")))
        watcher = self.spawn(*args)
        watcher.bound = timeout_ms / 1000 + 30
        watcher.what = text
        return watcher

    def finish_wait(self, watcher, shot=None):
        result = watcher.finish(watcher.bound)
        if result.returncode != 0:
            raise Failure("automate wait %r: %s" % (watcher.what, result.stderr.strip()))
        if shot:
            self.to_png(shot)
        return result.stdout.split()[0]

    def colours(self, name, width, height, x, y):
        """How many colours a part of a screenshot has: 1 for an unpainted area."""
        result = subprocess.run(["convert", self.shot_path(name, ".png"), "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                                 "+repage", "-format", "%k", "info:"], capture_output=True, text=True, timeout=60)
        return int(result.stdout.strip() or 0)

    def wait_box(self, text, timeout_ms=30000, shot=None):
        handle, caption, body = (self.automate("box", text, str(timeout_ms), timeout=timeout_ms / 1000 + 30) + ["", ""])[:3]
        if shot:
            self.automate("shot", handle, self.windows_path(self.shot_path(shot, ".bmp")))
            self.to_png(shot)
        return handle, caption, body.replace("\\n", "\n")

    def no_box(self, text, timeout_ms):
        """True when no message box with `text` appears within the bound."""
        result = self.command("wine", os.path.join(self.tools, "automate.exe"), "box", text, str(timeout_ms),
                              timeout=timeout_ms / 1000 + 30, check=False)
        return result.returncode == 1 and "no message box" in result.stderr

    def no_window(self, hwnd, timeout_ms=5000):
        """True when the window is hidden or gone within the bound."""
        result = self.command("wine", os.path.join(self.tools, "automate.exe"), "gone", hwnd, str(timeout_ms),
                              timeout=timeout_ms / 1000 + 30, check=False)
        return result.returncode == 0

    def no_window_with(self, text, timeout_ms):
        """True when no setup window with `text` appears within the bound."""
        result = self.command("wine", os.path.join(self.tools, "automate.exe"), "wait", TITLE, text, str(timeout_ms),
                              timeout=timeout_ms / 1000 + 30, check=False)
        return result.returncode == 1 and "no window" in result.stderr

    def shot_path(self, name, extension):
        return os.path.join(self.shots, name + extension)

    def to_png(self, name):
        bmp, png = self.shot_path(name, ".bmp"), self.shot_path(name, ".png")
        subprocess.run(["convert", bmp, "-strip", png], check=True, timeout=60)
        os.remove(bmp)

    def windows_path(self, unix_path):
        return "Z:" + unix_path.replace("/", "\\")

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def flush_registry(self):
        """The server writes the registry to disk when it ends: end it, then start a new one."""
        self.stop()
        self.start_server()

    def system_reg(self, key):
        return registry_section(os.path.join(self.prefix, "system.reg"), key)

    def user_reg(self, key):
        return registry_section(os.path.join(self.prefix, "user.reg"), key)


class Spawned:
    """A program under Wine whose output goes to files, not pipes: the first
    Wine program in a prefix starts the prefix's services, which inherit its
    handles and would hold a pipe open long after the program has ended."""

    def __init__(self, args, env, cwd):
        self.args = args
        self.stdout = tempfile.TemporaryFile(mode="w+")
        self.stderr = tempfile.TemporaryFile(mode="w+")
        self.process = subprocess.Popen(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=self.stdout,
                                        stderr=self.stderr)

    def finish(self, timeout):
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise Failure("%s did not end within %d s" % (os.path.basename(self.args[1] if len(self.args) > 1 else self.args[0]), timeout))
        self.stdout.seek(0)
        self.stderr.seek(0)
        return subprocess.CompletedProcess(self.args, self.process.returncode, self.stdout.read(), self.stderr.read())


class Display:
    """An Xvfb display for the run, unless one is given."""

    def __init__(self):
        number = next(n for n in range(97, 200)
                      if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n))
        self.name = ":%d" % number
        socket = "/tmp/.X11-unix/X%d" % number
        self.process = subprocess.Popen(["Xvfb", self.name, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while not os.path.exists(socket):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise Failure("Xvfb did not start on " + self.name)
            time.sleep(0.05)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)


class Report:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, condition, detail=""):
        if condition:
            self.passed += 1
            print("ok - " + name, flush=True)
        else:
            self.failed += 1
            # The detail may be any value: a list of names, a path or None.
            print("not ok - %s%s" % (name, ": " + str(detail) if detail else ""), flush=True)

    def equal(self, name, actual, expected):
        self.check(name, actual == expected, "got %r, expected %r" % (actual, expected))


class Values(dict):
    """A key's values: their names compare without regard to case."""

    def __setitem__(self, name, value):
        super().__setitem__(name.lower(), value)

    def __getitem__(self, name):
        return super().__getitem__(name.lower())

    def get(self, name, default=None):
        return super().get(name.lower(), default)


def registry_section(path, key):
    """The values of one key of a Wine registry file, as written there."""
    text = open(path, encoding="utf-8", errors="replace").read()
    wanted = "[" + key.replace("\\", "\\\\") + "]"
    at = text.lower().find(wanted.lower())
    if at < 0:
        return None
    values = Values()
    lines = iter(text[at:].splitlines()[1:])
    for line in lines:
        if line.startswith("["):
            break
        match = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)', line)
        if match:
            value = match.group(2)
            # Long binary values go on over lines that end in a backslash.
            while value.startswith("hex") and value.endswith("\\"):
                value = value[:-1] + next(lines, "").strip()
            values[match.group(1).replace("\\\\", "\\")] = value
    return values


def multi_string(value):
    """A REG_MULTI_SZ as Wine writes it, its strings up to the empty one:
    str(7):"a\\0b\\0" (escaped as in a REG_SZ), or hex(7): its UTF-16 bytes."""
    if value and value.startswith('str(7):"') and value.endswith('"'):
        text, escaped = [], iter(value[len('str(7):"'):-1])
        for character in escaped:
            if character == "\\":
                character = next(escaped, "")
                character = "\0" if character == "0" else character
            text.append(character)
        text = "".join(text)
    elif value and value.startswith("hex(7):"):
        text = bytes(int(byte, 16) for byte in value[len("hex(7):"):].split(",") if byte).decode("utf-16-le")
    else:
        return []
    return text.split("\0\0")[0].rstrip("\0").split("\0") if text.strip("\0") else []


def string(value):
    """A REG_SZ as Wine writes it: quoted, backslashes doubled."""
    return value[1:-1].replace("\\\\", "\\") if value and value.startswith('"') else value


def what_setup_left(wine):
    """What setup left in the prefix, read from its registry files and folders."""
    wine.flush_registry()
    drivers = wine.drive_c("windows", "system32", "spool", "drivers", wine.driver_folder)
    queue = wine.system_reg(r"System\CurrentControlSet\Control\Print\Printers" + "\\" + MODEL)
    run = wine.system_reg(r"Software\Microsoft\Windows\CurrentVersion\Run") or {}
    entry = wine.system_reg(r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvantis") or {}
    inf = wine.drive_c("windows", "inf")
    ours = open(os.path.join(wine.package, "CORVEX_ESCP.INF"), "rb").read()
    stored = [name for name in (os.listdir(inf) if os.path.isdir(inf) else [])
              if name.lower().endswith(".inf") and open(os.path.join(inf, name), "rb").read() == ours]
    shortcut = wine.drive_c("Documents and Settings", "All Users", "Start Menu", "Programs", "Corvantis",
                            "StatusMonitor" + STATUS_MONITOR.replace(".exe", ".LNK"))
    versioned = os.path.join(drivers, "3")
    driver = wine.system_reg(r"System\CurrentControlSet\Control\Print\Environments" + "\\" + ENVIRONMENT[wine.arch]
                             + r"\Drivers\Version-3" + "\\" + MODEL) or {}
    # The record as the spooler keeps it: file names (Wine) or full paths.
    named = [string(driver.get(value, "")) for value in ("Driver", "Data File", "Configuration File", "Help File")]
    return {
        "driver data file": string(driver.get("Data File", "")),
        "driver record": [ntpath.basename(name) for name in named + multi_string(driver.get("Dependent Files"))],
        "staged": staged_files(wine),
        "driver files": sorted(os.listdir(versioned)) if os.path.isdir(versioned) else [],
        "queue": queue,
        # "<queue>,winspool,<port>"
        "default printer": string((wine.user_reg(r"Software\Microsoft\Windows NT\CurrentVersion\Windows") or {})
                                  .get("Device", "")).split(",")[0],
        "inf stored": stored,
        "status monitor": os.path.isfile(os.path.join(drivers, "STM", STATUS_MONITOR)),
        "status monitor ran": os.path.isfile(os.path.join(drivers, "STM", STATUS_MONITOR + ".ran")),
        "run value": string(run.get("Corvex" + STATUS_MONITOR[:-4], "")),
        "shortcut": shortcut if os.path.isfile(shortcut) else None,
        "shortcut data": open(shortcut, "rb").read() if os.path.isfile(shortcut) else b"",
        "uninstall": {name: string(entry.get(name, "")) for name in ("DisplayName", "UninstallString", "DisplayIcon")},
    }


def check_installation(wine, report, port, label):
    left = what_setup_left(wine)
    expected = {name.lower() for name in PACKAGE_FILES + ["Setup.exe", "Uninstall.exe"]}
    report.check(label + ": the package lies in the driver directory", expected <= left["staged"],
                 "missing %s" % sorted(expected - left["staged"]))
    # The catalog travels with the INF: the driver store takes it from beside it.
    report.check(label + ": the package's catalog lies beside its INF in the driver directory",
                 {"corvex_escp.inf", "corvex_escp.cat"} <= left["staged"], sorted(left["staged"]))
    # The record that Setup.exe registered is the one the release check holds
    # a package to (scripts/check_package.py); each of its files must have
    # reached the version folder, which Wine's spooler, unlike Windows',
    # does not insist on.
    record = [name.lower() for name in left["driver record"]]
    report.equal(label + ": the registered driver record names the files the release check requires",
                 (record[:4], sorted(set(record))), ([name.lower() for name in DRIVER_RECORD[:4]],
                                                     sorted({name.lower() for name in DRIVER_RECORD})))
    versioned = {name.lower() for name in left["driver files"]}
    report.check(label + ": every file of the driver record lies in drivers\\%s\\3" % wine.driver_folder,
                 bool(record) and set(record) <= versioned, "missing %s" % sorted(set(record) - versioned))
    report.equal(label + ": the driver is registered under %s with its data file" % ENVIRONMENT[wine.arch],
                 left["driver data file"].lower(), "esc_qrt_bill.gpd")
    queue = left["queue"] or {}
    report.check(label + ": the queue is registered", left["queue"] is not None)
    report.equal(label + ": the queue's port", string(queue.get("Port")), port)
    report.equal(label + ": the queue's driver", string(queue.get("Printer Driver")), MODEL)
    report.equal(label + ": the queue is the default printer", left["default printer"], MODEL)
    report.check(label + ": the INF file is in the store (on Wine under its own name)", bool(left["inf stored"]))
    report.check(label + ": the status monitor lies in the STM folder", left["status monitor"])
    report.equal(label + ": the Run value", left["run value"].lower(),
                 (wine.driver_directory + "\\STM\\" + STATUS_MONITOR[:-4]).lower())
    report.check(label + ": the shortcut is saved and names the status monitor",
                 STATUS_MONITOR.encode() in left["shortcut data"], str(left["shortcut"]))
    report.equal(label + ": the uninstall entry",
                 {name: value.lower() for name, value in left["uninstall"].items()},
                 {"DisplayName": "corvantis printer software",
                  "UninstallString": (wine.driver_directory + "\\Uninstall.exe").lower(),
                  "DisplayIcon": (wine.driver_directory + "\\Uninstall.exe").lower()})
    report.check(label + ": the launched status monitor left its mark", left["status monitor ran"])


def finish(setup, timeout=60):
    result = setup.finish(timeout)
    return result.returncode, result.stdout


def staged_files(wine):
    folder = wine.drive_c("windows", "system32", "spool", "drivers", wine.driver_folder)
    return {name.lower() for name in os.listdir(folder)} if os.path.isdir(folder) else set()


def scenario_model_dialog_and_staging(wine, report, figures):
    # The wait window shows for one second only: watch for it before setup starts.
    watcher = wine.watch_window("Now the printer will be installed", 60000, shot="wait-window")
    started = time.monotonic()
    setup = wine.start_setup()
    wine.finish_wait(watcher, shot="wait-window")
    # Its picture and its text are painted although setup then blocks.
    report.check("the wait window shows its picture", wine.colours("wait-window", 80, 60, 15, 45) > 3)
    report.check("the wait window shows its text", wine.colours("wait-window", 150, 40, 150, 60) > 1)
    model = wine.wait_window("Version 2.01 (9W)", shot="model-dialog")
    figures["start-up to model dialog (s)"] = round(time.monotonic() - started, 2)

    controls = {line.split("\t")[0]: line.split("\t") for line in wine.automate("texts", model)}
    report.equal("the version label", controls.get("1009", [""] * 5)[4], "Version 2.01 (9W)")
    report.check("the template's placeholder label is gone", all("2.XX" not in c[4] for c in controls.values()))
    report.equal("the model list", wine.automate("items", model, "1001"), ["KVX QL70 TILLMATE (ESC P)\tselected"])

    second = wine.start_setup()
    box, caption, text = wine.wait_box("Another application is already running", shot="second-copy")
    report.equal("a second copy's refusal", text,
                 "Another application is already running. Please terminate the previous application.")
    report.equal("the refusal's caption", caption, TITLE)
    wine.automate("click", box, str(IDOK))
    code, _ = finish(second)
    report.equal("the second copy ends", code, 0)

    wine.automate("key", model, "0x1B")
    report.check("Escape does not ask to leave", wine.no_box("Setup is not complete", 1500))

    wine.automate("click", model, str(IDCANCEL))
    box, caption, text = wine.wait_box("Setup is not complete", shot="exit-question")
    report.equal("Cancel asks first", text,
                 "Setup is not complete. If you quit now, the program will not be installed.\nExit Setup?")
    wine.automate("click", box, str(IDNO))
    wine.automate("gone", box, "10000")
    report.equal("No keeps the model dialog", wine.wait_window("Version 2.01 (9W)", 5000), model)

    started = time.monotonic()
    wine.automate("click", model, str(IDOK))
    connection = wine.wait_window("Please connect the printer", shot="connection-dialog")
    report.check("the model dialog is hidden behind the connection dialog", wine.no_window(model))
    staged = staged_files(wine)
    expected = {name.lower() for name in PACKAGE_FILES + ["Setup.exe", "Uninstall.exe"]}
    report.check("OK stages the package into the driver directory", expected <= staged,
                 "missing %s" % sorted(expected - staged))
    report.check("the status monitor is not staged with the package", STATUS_MONITOR.lower() not in staged)
    install_manual_path(wine, report, setup, connection, figures, started)


def install_manual_path(wine, report, setup, connection, figures, started):
    """From the connection dialog: Manual, LPT1: as proposed, OK, the outcome."""
    wine.automate("click", connection, str(IDC_MANUAL))
    ports = wine.wait_window("Select the printer port", shot="port-dialog")
    lines = [line.split("\t") for line in wine.automate("lines", ports, "1016")]
    report.equal("the port list as Wine's spooler gives it", [line[0] for line in lines],
                 ["COM1: (Local Port)", "COM2: (Local Port)", "COM3: (Local Port)", "COM4: (Local Port)",
                  "FILE: (Local Port)", "LPT1: (Local Port)", "LPT2: (Local Port)", "LPT3: (Local Port)"])
    report.equal("LPT1: is proposed", [line[0] for line in lines if line[1] == "selected"], ["LPT1: (Local Port)"])
    report.equal("the current port box", (wine.automate("text", ports, "1017") + [""])[0], "LPT1: (Local Port)")
    clicked = time.monotonic()
    wine.automate("click", ports, str(IDC_PORT_OK))
    box, caption, text = wine.wait_box("installed successfully", 60000, shot="outcome")
    figures["manual path: port dialog OK to outcome box (s)"] = round(time.monotonic() - clicked, 2)
    report.equal("the outcome names the printer and the status monitor", text, SUCCESS)
    report.equal("the outcome's caption", caption, TITLE)
    wine.automate("click", box, str(IDOK))
    code, out = finish(setup)
    report.equal("setup ends after the outcome", code, 0)
    report.check("the driver directory was asked for in two calls", "Allocating a buffer of size" in out, repr(out))
    figures["manual path: OK in the model dialog to the end (s)"] = round(time.monotonic() - started, 2)
    check_installation(wine, report, "LPT1:", "manual path")


def scenario_usb(wine, report, figures):
    # The system's record of the printer's USB printing interface, as Windows
    # writes it when the printer is plugged in.
    wine.reg_add_dword(USB_INTERFACE_KEY + r"\Control", "Linked", 1)
    wine.reg_add_dword(USB_INTERFACE_KEY + r"\Device Parameters", "Port Number", 3)
    setup = wine.start_setup()
    model = wine.wait_window("Version 2.01 (9W)")
    started = time.monotonic()
    wine.automate("click", model, str(IDOK))
    connection = wine.wait_window("Please connect the printer")

    # Another serial number: nothing happens, the dialog keeps waiting.
    wine.automate("device", connection, OTHER_PRINTER_PATH)
    report.check("another serial number's arrival shows no wait window", wine.no_window_with(
        "Now the printer will be installed", 1500))
    report.equal("the dialog keeps waiting", wine.wait_window("Please connect the printer", 2000), connection)

    watcher = wine.watch_window("Now the printer will be installed", 30000, shot="usb-wait-window")
    arrived = time.monotonic()
    wine.automate("device", connection, PRINTER_PATH)
    wine.finish_wait(watcher, shot="usb-wait-window")
    box, caption, text = wine.wait_box("installed successfully", 60000, shot="usb-outcome")
    figures["USB path: arrival to outcome box (s)"] = round(time.monotonic() - arrived, 2)
    report.equal("the USB outcome names the printer and the status monitor", text, SUCCESS)
    wine.automate("click", box, str(IDOK))
    code, _ = finish(setup)
    report.equal("setup ends after the USB outcome", code, 0)
    figures["USB path: OK in the model dialog to the end (s)"] = round(time.monotonic() - started, 2)
    check_installation(wine, report, "USB003", "USB path")


# Every DLL of the table of functions that Setup.exe loads at run time.
PLANTED = ["winspool.drv", "shell32.dll", "comctl32.dll"]


def scenario_planted_dlls(wine, report):
    """DLLs of ours beside Setup.exe, named like the system DLLs it loads at
    run time. Wine told to prefer native DLLs for those names takes one found
    in the program's folder, as Windows does for a DLL outside its known set."""
    folder = os.path.join(wine.work, "planted")
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(wine.package, folder)
    for name in PLANTED + ["ImportsSpooler.exe", "ImportsCommonControls.exe", "ImportsCommonControlsWithManifest.exe",
                           "FallbackSearch.exe"]:
        shutil.copy(os.path.join(wine.binaries, name), folder)
    env = dict(wine.env, WINEDLLOVERRIDES="mscoree,mshtml=;winspool.drv,comctl32,shell32=n,b")

    def marks(planted):
        """The marks that a loaded planted DLL left: named as the loader
        spelled the module ("WINSPOOL.DRV.loaded"), so any case."""
        return [name for name in os.listdir(folder) if name.lower() == planted.lower() + ".loaded"]

    def clear_marks():
        for planted in PLANTED:
            for mark in marks(planted):
                os.remove(os.path.join(folder, mark))
        report.check("the marks are cleared", not any(marks(planted) for planted in PLANTED))

    # The test can fail: programs that import those DLLs statically load ours.
    # ImportsSpooler and ImportsCommonControlsWithManifest carry Setup.exe's
    # manifest: its side-by-side redirection sends comctl32 to version 6 in
    # the system's store, which keeps ours out, and does nothing for the
    # spooler. Without the manifest, a static import of comctl32 loads ours.
    for program, planted, loaded in (("ImportsSpooler.exe", "winspool.drv", True),
                                     ("ImportsCommonControls.exe", "comctl32.dll", True),
                                     ("ImportsCommonControlsWithManifest.exe", "comctl32.dll", False)):
        wine.spawn("wine", program, cwd=folder, env=env).finish(60)
        report.equal("%s: a static import of %s %s the planted one" % (program, planted, "loads" if loaded else
                                                                        "does not load"), bool(marks(planted)), loaded)
        clear_marks()

    # The search of the systems without SetDefaultDllDirectories: the same
    # code as Setup.exe's, told to take that way, resolves every function of
    # the table with ours beside it.
    run = wine.spawn("wine", "FallbackSearch.exe", cwd=folder, env=env).finish(60)
    report.equal("the fallback search finds every function of the table", run.returncode, 0)
    found = dict(line.split("\t") for line in run.stdout.splitlines() if "\t" in line)
    system = "c:\\windows\\system32\\"
    for planted in PLANTED:
        report.check("the fallback search does not load a planted %s" % planted, not marks(planted),
                     str(marks(planted)))
    for planted in ("winspool.drv", "shell32.dll"):
        report.equal("the fallback search maps %s from the system directory" % planted,
                     found.get(planted, "").lower(), system + planted)
    report.check("the fallback search maps comctl32 version 6 from the side-by-side store",
                 re.match(r"c:\\windows\\winsxs\\[^\\]*common-controls[^\\]*_6\.0\.[^\\]*\\comctl32\.dll$",
                          found.get("comctl32.dll", "").lower()) is not None, found.get("comctl32.dll"))
    clear_marks()

    # Setup.exe loads the spooler (staging, port list) and the common controls
    # at run time. It imports shell32 statically, which Windows maps from its
    # KnownDLLs whatever lies beside the program; Wine keeps no KnownDLLs and
    # would take ours, so that one is not planted for Setup.exe.
    os.remove(os.path.join(folder, "shell32.dll"))
    setup = wine.spawn("wine", "Setup.exe", cwd=folder, env=env)
    model = wine.wait_window("Version 2.01 (9W)")
    wine.automate("click", model, str(IDOK))
    connection = wine.wait_window("Please connect the printer")
    wine.automate("click", connection, str(IDC_MANUAL))
    ports = wine.wait_window("Select the printer port")
    report.check("Setup.exe's port list comes from the system's spooler", len(wine.automate("lines", ports, "1016")) > 0)
    wine.automate("click", ports, "1006")
    box, _, _ = wine.wait_box("Setup is not complete")
    wine.automate("click", box, str(IDYES))
    code, _ = finish(setup)
    report.equal("setup ends", code, 0)
    for planted in ("winspool.drv", "comctl32.dll"):
        report.check("Setup.exe does not load a planted %s" % planted, not marks(planted), str(marks(planted)))


REFUSED_VERSION = "The application will run only in Windows7 & Vista Operating System."
# Wine's names for the versions it reports (HKCU\Software\Wine, Version), the
# version that ntdll then reports, and whether setup runs there. Windows 8 and
# later report 6.2 to a program whose manifest does not claim them, so setup
# sees 6.2 on 8, 8.1 and 10 and runs; XP and Server 2003 are refused.
VERSIONS = [("vista", "6.0", True), ("win7", "6.1", True), ("win8", "6.2", True), ("win81", "6.3", True),
            ("win10", "10.0", True), ("win2003", "5.2", False), ("winxp", "5.1", False)]
SHOTS = {"win10": "windows-10", "win2003": "windows-2003", "winxp": "windows-xp"}


def scenario_windows_versions(wine, report):
    """One prefix, the reported version changed between the runs."""
    try:
        for name, reported, runs in VERSIONS:
            wine.reg_add(r"HKCU\Software\Wine", "Version", name)
            # A name Wine did not know would leave the default, 6.1, and a
            # refused version would pass unnoticed as Windows 7.
            report.equal("Wine reports %s as %s" % (name, reported), (wine.automate("version") + [""])[0], reported)
            setup = wine.start_setup()
            if runs:
                model = wine.wait_window("Version 2.01 (9W)", shot=SHOTS.get(name))
                report.check("%s shows the model dialog" % name, bool(model))
                wine.automate("click", model, str(IDCANCEL))
                box, _, _ = wine.wait_box("Setup is not complete")
                wine.automate("click", box, str(IDYES))
                code, _ = finish(setup)
                report.equal("%s: Cancel, Yes ends setup" % name, code, 0)
            else:
                box, caption, text = wine.wait_box("The application will run only", shot=SHOTS.get(name))
                report.equal("%s is refused" % name, text, REFUSED_VERSION)
                report.equal("%s: the refusal's caption" % name, caption, TITLE)
                wine.automate("click", box, str(IDOK))
                code, _ = finish(setup)
                report.equal("%s: setup ends after the refusal" % name, code, 0)
    finally:
        wine.reg_delete(r"HKCU\Software\Wine", "Version")


WRONG_FOLDER = ('The folder "C:\\tools" does not hold the printer driver package (CORVEX_ESCP.INF, ESC_QRT_BILL.GPD).\n'
                "Please start Setup.exe from the folder of the unpacked driver package.")


def scenario_wrong_folder(wine, report):
    """Setup.exe started by its full path from a folder of DLLs and programs, as from System32."""
    tools = wine.drive_c("tools")
    os.makedirs(tools, exist_ok=True)
    for name in ["kernel32.dll", "mdmcpq.dll", "cmd.exe", "spoolsv.exe"]:
        shutil.copy(os.path.join(wine.binaries, "StatusMonitor.exe"), os.path.join(tools, name))
    before = staged_files(wine)
    setup = wine.spawn("wine", wine.windows_path(os.path.join(wine.package, "Setup.exe")), cwd=tools)
    model = wine.wait_window("Version 2.01 (9W)")
    wine.automate("click", model, str(IDOK))
    box, caption, text = wine.wait_box("does not hold the printer driver package", shot="wrong-folder")
    report.equal("from another folder the staging names it and refuses", text, WRONG_FOLDER)
    report.equal("the wrong folder's caption", caption, TITLE)
    wine.automate("click", box, str(IDOK))
    code, _ = finish(setup)
    report.equal("setup ends with exit code 1 after the wrong folder", code, 1)
    new = staged_files(wine) - before
    report.check("from another folder nothing new is in the driver directory", not new, sorted(new))


WOW64_REFUSAL = ("This Setup.exe is for 32-bit Windows, and this Windows is 64-bit.\n"
                 "Please run the x64 Setup.exe of the printer driver package instead.")


def scenario_wow64_refusal(wine, report):
    """The x86 Setup.exe in a 64-bit prefix, under WOW64."""
    setup = wine.start_setup()
    box, caption, text = wine.wait_box("This Setup.exe is for 32-bit Windows", shot="wow64-refusal")
    report.equal("under WOW64 the x86 Setup.exe refuses and names the x64 one", text, WOW64_REFUSAL)
    report.equal("the WOW64 refusal's caption", caption, TITLE)
    wine.automate("click", box, str(IDOK))
    code, _ = finish(setup)
    report.equal("setup ends after the WOW64 refusal", code, 0)
    for folder in DRIVER_FOLDER.values():
        staged = wine.drive_c("windows", "system32", "spool", "drivers", folder)
        names = {name.lower() for name in os.listdir(staged)} if os.path.isdir(staged) else set()
        ours = {name.lower() for name in PACKAGE_FILES + ["Setup.exe", "Uninstall.exe"]}
        report.check("under WOW64 nothing is staged in drivers\\" + folder, not names & ours, sorted(names & ours))
    wine.flush_registry()
    report.check("under WOW64 no queue is created", wine.system_reg(
        r"System\CurrentControlSet\Control\Print\Printers" + "\\" + MODEL) is None)
    for environment in ENVIRONMENT.values():
        report.check("under WOW64 no driver is registered under " + environment, wine.system_reg(
            r"System\CurrentControlSet\Control\Print\Environments" + "\\" + environment + r"\Drivers\Version-3"
            + "\\" + MODEL) is None)


DOC_SHOTS = ["wait-window", "model-dialog", "exit-question", "second-copy", "windows-xp", "connection-dialog",
             "port-dialog", "outcome", "usb-outcome"]


def run_tests(wine, report, docs, usb_wine, wow64_wine=None):
    figures = {}
    scenarios = []
    if wow64_wine:
        # The x86 build: refused in a 64-bit prefix of its own, first.
        scenarios.append((wow64_wine, lambda: (wow64_wine.create_prefix(), scenario_wow64_refusal(wow64_wine, report))))
    scenarios.append((wine, lambda: scenario_model_dialog_and_staging(wine, report, figures)))
    if not wow64_wine:
        # Setup.exe's own code is the same for both builds: these run once.
        scenarios += [(wine, lambda: scenario_planted_dlls(wine, report)),
                      (wine, lambda: scenario_wrong_folder(wine, report)),
                      (wine, lambda: scenario_windows_versions(wine, report))]
    # A prefix of its own: Wine returns a handle for a queue name that exists,
    # so the USB queue needs a spooler without one.
    scenarios.append((usb_wine, lambda: (usb_wine.create_prefix(), scenario_usb(usb_wine, report, figures))))
    for prefix, scenario in scenarios:
        started = time.monotonic()
        try:
            scenario()
        except (Failure, subprocess.TimeoutExpired, OSError) as error:
            report.check("scenario ran to its end", False, str(error))
            # Whatever it left running would hold the single-instance mutex.
            prefix.stop()
            prefix.start_server()
        print("  (%.1f s)" % (time.monotonic() - started), flush=True)
    if docs:
        os.makedirs(docs, exist_ok=True)
        for name in DOC_SHOTS:
            for shots in (wine.shots, usb_wine.shots):
                path = os.path.join(shots, name + ".png")
                if os.path.exists(path):
                    shutil.copy(path, os.path.join(docs, name + ".png"))
    for name, value in figures.items():
        print("figure: %s = %s" % (name, value))


def print_what_setup_left(wine):
    left = what_setup_left(wine)
    queue = left["queue"]
    print("What setup left in the prefix (%s):" % wine.prefix)
    if queue is None:
        print("  no printer queue")
    else:
        print("  queue %r on port %s, driver %r, share name %r, default printer: %s" % (
            MODEL, string(queue.get("Port")), string(queue.get("Printer Driver")), string(queue.get("Share Name")),
            "yes" if left["default printer"] == MODEL else "no"))
    print("  driver directory %s:" % wine.driver_directory)
    drivers = wine.drive_c("windows", "system32", "spool", "drivers", wine.driver_folder)
    for name in sorted(os.listdir(drivers), key=str.lower):
        print("    " + name + ("\\" if os.path.isdir(os.path.join(drivers, name)) else ""))
    print("  driver files in %s\\3: %s" % (wine.driver_directory, ", ".join(left["driver files"]) or "none"))
    print("  status monitor in STM: %s; it ran: %s" % ("yes" if left["status monitor"] else "no",
                                                      "yes" if left["status monitor ran"] else "no"))
    print("  INF store: %s" % (", ".join(left["inf stored"]) or "not stored"))
    print("  Run value Corvex%s = %s" % (STATUS_MONITOR[:-4], left["run value"] or "(none)"))
    shortcut = left["shortcut"]
    print("  shortcut: %s" % ("C:\\" + os.path.relpath(shortcut, wine.drive_c()).replace("/", "\\") if shortcut
                              else "(none)"))
    for name, value in left["uninstall"].items():
        print("  uninstall entry %s = %s" % (name, value or "(none)"))


def run_demo(wine, interactive):
    setup = wine.start_setup()
    if interactive:
        print("Setup.exe is running on %s; finish it there." % wine.env["DISPLAY"], flush=True)
        code, out = finish(setup, timeout=3600)
    else:
        model = wine.wait_window("Version 2.01 (9W)", shot="model-dialog")
        print("The model selection dialog shows:", flush=True)
        for line in wine.automate("items", model, "1001"):
            print("  " + line.split("\t")[0])
        print("OK; then Manual in the printer connection dialog ...", flush=True)
        wine.automate("click", model, str(IDOK))
        connection = wine.wait_window("Please connect the printer", shot="connection-dialog")
        wine.automate("click", connection, str(IDC_MANUAL))
        ports = wine.wait_window("Select the printer port", shot="port-dialog")
        print("The port dialog lists:", flush=True)
        for line in wine.automate("lines", ports, "1016"):
            text, state = line.split("\t")
            print("  %s%s" % (text, "   <- proposed" if state == "selected" else ""))
        print("OK ...", flush=True)
        wine.automate("click", ports, str(IDC_PORT_OK))
        # Any text with an "e" in it: the success text and every error.
        box, _, text = wine.wait_box("e", 60000, shot="outcome")
        print("Setup says: " + text, flush=True)
        wine.automate("click", box, str(IDOK))
        code, out = finish(setup)
    print("Setup.exe ended with exit code %d." % code)
    if out.strip():
        print("Its diagnostics: " + " | ".join(out.split("\n")).strip(" |"))
    print_what_setup_left(wine)
    print("Screenshots: " + wine.shots)
    return code


def why_no_32_bit_programs():
    """Why 32-bit Windows programs cannot run on this machine, or None. Wine
    runs them with its 32-bit loader, a Linux i386 program (also for WOW64 in
    a 64-bit prefix), so the kernel must start i386 programs. That is the one
    reason to skip: where the kernel refuses the loader (ENOEXEC, a kernel
    without 32-bit emulation or with ia32_emulation=off on Linux 6.7 and
    later), no setup of this machine can run them. A loader that is missing
    (wine32:i386 not installed), cannot be started for any other reason, or
    fails, is a fault of the machine's setup: Failure, with its message."""
    loader = WINE_LOADER["win32"]
    try:
        result = subprocess.run([loader, "--version"], capture_output=True, text=True, timeout=60)
    except OSError as error:
        if error.errno == errno.ENOEXEC:
            return "the kernel does not start i386 programs: %s: %s" % (loader, error.strerror)
        raise Failure("Wine's 32-bit loader %s cannot be started: %s (scripts/install-deps.sh installs wine32:i386)"
                      % (loader, error.strerror)) from error
    except subprocess.TimeoutExpired as error:
        raise Failure("Wine's 32-bit loader %s --version did not end within 60 s" % loader) from error
    if result.returncode != 0:
        raise Failure("Wine's 32-bit loader %s --version: exit %d: %s" % (loader, result.returncode,
                                                                       (result.stderr or result.stdout).strip()))
    return None


def skip_reason(arch):
    """For the x86 runs: why they are skipped here (printed first, for the
    test command's list of skips), or None; Failure when they should run and
    cannot."""
    if arch != "x86":
        return None
    reason = why_no_32_bit_programs()
    if reason:
        print("skipped: %s" % reason, flush=True)
    return reason


def prefix_arguments():
    """The arguments of a run in a prefix of its own: --bin, --arch, --work."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--arch", choices=["x64", "x86"], default="x64")
    parser.add_argument("--work", required=True)
    return parser.parse_args()


def prefix_of_its_own(args):
    """A display and a Wine prefix for a run of the --bin, --arch and --work given."""
    display = Display()
    return display, Wine(os.path.abspath(args.work), os.path.abspath(args.bin), display.name,
                         "win32" if args.arch == "x86" else "win64")


def cannot_run(arch):
    """None when the run can go on; else its exit code, said why: SKIPPED
    where the kernel does not start i386 programs, 1 where it should run and
    cannot."""
    try:
        if skip_reason(arch):
            return SKIPPED
    except Failure as error:
        print("not ok - the x86 build can be started: %s" % error, flush=True)
        return 1
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the win64 build folder (--arch x86: the win32 one)")
    parser.add_argument("--arch", choices=["x64", "x86"], default="x64", help="which Setup.exe the folder holds")
    parser.add_argument("--work", required=True, help="a folder for the prefix, package and screenshots")
    parser.add_argument("--docs", help="copy the README's screenshots here")
    parser.add_argument("--demo", action="store_true", help="run the main job instead of the tests")
    args = parser.parse_args()

    try:
        if skip_reason(args.arch):
            # The demo cannot do its job; the tests are skipped, not passed.
            return 1 if args.demo else SKIPPED
    except Failure as error:
        print("not ok - the x86 Setup.exe can be started: %s" % error, flush=True)
        return 1
    started = time.monotonic()
    interactive = args.demo and bool(os.environ.get("DISPLAY"))
    display = None if interactive else Display()
    display_name = os.environ["DISPLAY"] if interactive else display.name
    arch = "win32" if args.arch == "x86" else "win64"
    work, binaries = os.path.abspath(args.work), os.path.abspath(args.bin)
    wine = Wine(work, binaries, display_name, arch)
    usb_wine = Wine(os.path.join(work, "usb"), binaries, display_name, arch)
    # The x86 build under WOW64: a 64-bit prefix, with the x86 automate.exe.
    wow64_wine = Wine(os.path.join(work, "wow64"), binaries, display_name, "win64") if args.arch == "x86" else None
    report = Report()
    try:
        wine.lay_out_package()
        if args.demo:
            wine.create_prefix()
            return run_demo(wine, interactive)
        usb_wine.lay_out_package()
        if wow64_wine:
            wow64_wine.lay_out_package()
        wine.create_prefix()
        run_tests(wine, report, args.docs, usb_wine, wow64_wine)
    except (Failure, subprocess.TimeoutExpired) as error:
        report.check("the run could be set up", False, str(error))
    finally:
        for prefix in (wine, usb_wine, wow64_wine):
            if prefix:
                prefix.stop()
        if display:
            display.stop()
    print("figure: Wine end-to-end wall time (s) = %.1f" % (time.monotonic() - started))
    print("%d passed, %d failed" % (report.passed, report.failed))
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())

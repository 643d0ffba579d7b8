#!/usr/bin/env python3
"""Runs the real x86-64 Setup.exe under Wine on Xvfb, from a copy of our sample
driver package in a fresh Wine prefix, drives it with automate.exe, and checks
what a user and the system would see.

    run_e2e.py --bin BUILD_WIN64 --work FOLDER [--docs DOCS]   the tests
    run_e2e.py --bin BUILD_WIN64 --work FOLDER --demo          the main job

Every wait is bounded; nothing sleeps for a fixed time. Screenshots of every
dialog are saved under FOLDER/screenshots (and, with --docs, the ones the
README shows are copied there).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

TITLE = "Corvex Printer Driver - Setup"
HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE_FILES = ["CORVEX_ESCP.INF", "ESC_QRT_BILL.GPD", "ESC_QRT_BILL.dll", "CORVEX.HLP"]
STATUS_MONITOR = "QL70TILLMATE(ESCP).exe"
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7


class Failure(Exception):
    pass


class Wine:
    """A Wine prefix of our own, on a display, with automate.exe beside it."""

    def __init__(self, work, binaries, display):
        self.work = work
        self.prefix = os.path.join(work, "prefix")
        self.package = os.path.join(work, "package")
        self.tools = os.path.join(work, "tools")
        self.shots = os.path.join(work, "screenshots")
        self.binaries = binaries
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEARCH="win64", WINEDEBUG="-all",
                        DISPLAY=display, WINEDLLOVERRIDES="mscoree,mshtml=")

    def command(self, *args, timeout=120, check=True, cwd=None):
        result = self.spawn(*args, cwd=cwd).finish(timeout)
        if check and result.returncode != 0:
            raise Failure("%s: exit %d: %s" % (" ".join(args), result.returncode, result.stderr.strip()[-400:]))
        return result

    def spawn(self, *args, cwd=None):
        return Spawned(list(args), self.env, cwd)

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
        self.start_server()

    def start_server(self):
        # A persistent server keeps every wine start after this one quick. It
        # outlives this call, so it must not hold our pipes.
        # It ends by itself a minute after its last client, should we not stop it.
        subprocess.run(["wineserver", "-p60"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=30, check=True)

    def reg_add(self, key, name, data):
        self.command("wine", "reg", "add", key, "/v", name, "/d", data, "/f")

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
            print("not ok - %s%s" % (name, ": " + detail if detail else ""), flush=True)

    def equal(self, name, actual, expected):
        self.check(name, actual == expected, "got %r, expected %r" % (actual, expected))


def finish(setup, timeout=60):
    result = setup.finish(timeout)
    return result.returncode, result.stdout


def staged_files(wine):
    folder = wine.drive_c("windows", "system32", "spool", "drivers", "x64")
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

    wine.automate("click", model, str(IDOK))
    code, out = finish(setup)
    report.equal("setup ends after OK", code, 0)
    report.check("the driver directory was asked for in two calls", "Allocating a buffer of size" in out, repr(out))
    staged = staged_files(wine)
    expected = {name.lower() for name in PACKAGE_FILES + ["Setup.exe", "Uninstall.exe"]}
    report.check("the package lies in the driver directory", expected <= staged, "missing %s" % sorted(expected - staged))
    report.check("the status monitor is not staged with the package", STATUS_MONITOR.lower() not in staged)


def scenario_windows_xp(wine, report):
    wine.reg_add(r"HKCU\Software\Wine", "Version", "winxp")
    try:
        setup = wine.start_setup()
        box, caption, text = wine.wait_box("The application will run only", shot="windows-xp")
        report.equal("Windows XP is refused", text, "The application will run only in Windows7 & Vista Operating System.")
        report.equal("the refusal's caption", caption, TITLE)
        wine.automate("click", box, str(IDOK))
        code, _ = finish(setup)
        report.equal("setup ends after the refusal", code, 0)
    finally:
        wine.reg_delete(r"HKCU\Software\Wine", "Version")


def scenario_windows_10_compatibility(wine, report):
    # Windows 10 reports 6.2 to a program that does not declare it in its manifest.
    wine.reg_add(r"HKCU\Software\Wine", "Version", "win10")
    try:
        setup = wine.start_setup()
        model = wine.wait_window("Version 2.01 (9W)")
        report.check("a system that reports 6.2 runs setup", bool(model))
        wine.automate("click", model, str(IDCANCEL))
        box, _, _ = wine.wait_box("Setup is not complete")
        wine.automate("click", box, str(IDYES))
        code, _ = finish(setup)
        report.equal("Yes ends setup", code, 0)
    finally:
        wine.reg_delete(r"HKCU\Software\Wine", "Version")


DOC_SHOTS = ["wait-window", "model-dialog", "exit-question", "second-copy", "windows-xp"]


def run_tests(wine, report, docs):
    figures = {}
    for scenario in (lambda: scenario_model_dialog_and_staging(wine, report, figures),
                     lambda: scenario_windows_xp(wine, report),
                     lambda: scenario_windows_10_compatibility(wine, report)):
        try:
            scenario()
        except (Failure, subprocess.TimeoutExpired) as error:
            report.check("scenario ran to its end", False, str(error))
            # Whatever it left running would hold the single-instance mutex.
            wine.stop()
            wine.start_server()
    if docs:
        os.makedirs(docs, exist_ok=True)
        for name in DOC_SHOTS:
            if os.path.exists(wine.shot_path(name, ".png")):
                shutil.copy(wine.shot_path(name, ".png"), os.path.join(docs, name + ".png"))
    for name, value in figures.items():
        print("figure: %s = %s" % (name, value))


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
        print("Pressing OK ...", flush=True)
        wine.automate("click", model, str(IDOK))
        code, out = finish(setup)
    print("Setup.exe ended with exit code %d." % code)
    if out.strip():
        print("Its diagnostics: " + " | ".join(out.split("\n")).strip(" |"))
    folder = wine.drive_c("windows", "system32", "spool", "drivers", "x64")
    print("Driver directory (C:\\windows\\system32\\spool\\drivers\\x64) now holds:")
    for name in sorted(os.listdir(folder), key=str.lower):
        if os.path.isfile(os.path.join(folder, name)):
            print("  " + name)
    print("Screenshots: " + wine.shots)
    return code


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="the win64 build folder")
    parser.add_argument("--work", required=True, help="a folder for the prefix, package and screenshots")
    parser.add_argument("--docs", help="copy the README's screenshots here")
    parser.add_argument("--demo", action="store_true", help="run the main job instead of the tests")
    args = parser.parse_args()

    started = time.monotonic()
    interactive = args.demo and bool(os.environ.get("DISPLAY"))
    display = None if interactive else Display()
    wine = Wine(os.path.abspath(args.work), os.path.abspath(args.bin), os.environ["DISPLAY"] if interactive else display.name)
    report = Report()
    try:
        wine.lay_out_package()
        wine.create_prefix()
        if args.demo:
            return run_demo(wine, interactive)
        run_tests(wine, report, args.docs)
    except (Failure, subprocess.TimeoutExpired) as error:
        report.check("the run could be set up", False, str(error))
    finally:
        wine.stop()
        if display:
            display.stop()
    print("figure: Wine end-to-end wall time (s) = %.1f" % (time.monotonic() - started))
    print("%d passed, %d failed" % (report.passed, report.failed))
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())

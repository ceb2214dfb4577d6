"""The setup program under Wine, in a throwaway prefix of this test's own (never the prefix the
other tests share): a silent install, the program started from its Run value, an update over the
running copy while it shows a box, a silent uninstall, a silent install without autostart into a
folder of its own, and an older setup refusing, silently, to replace a newer copy.
The steps build on each other and run in order.

Usage: InstallerTest.py SETUP.exe VERSION SCRIPTS_DIR WORK_DIR
"""

import os
import pathlib
import re
import http.server
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SETUP = pathlib.Path(sys.argv[1])
VERSION = sys.argv[2]
SCRIPTS = pathlib.Path(sys.argv[3])
WORK = pathlib.Path(sys.argv[4])
PREFIX = WORK / "wineprefix"

RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
APPROVED_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
# Task Manager's "Disabled": an odd first byte, then when it was switched off.
SWITCHED_OFF = "03000000" + "00" * 8
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovra"
SETTINGS_KEY = r"HKCU\Software\Brannik\Tovra"
COMPANY_KEY = r"HKCU\Software\Brannik"

# Shortcuts must not reach the menus of the user running the tests.
os.environ["WINEDLLOVERRIDES"] = "winemenubuilder.exe=d"


def wine(*args, check=True):
    """Runs a Windows program in the test's prefix, on its Xvfb, and returns its output. The output
    goes through a file, not a pipe: a Tovra that the program starts inherits its handles and would
    hold a pipe open for as long as it runs."""
    with tempfile.TemporaryFile("w+") as output:
        code = subprocess.run([str(SCRIPTS / "wine-run.sh"), str(WORK), *args], stdout=output,
                              stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=120).returncode
        output.seek(0)
        text = output.read()
    if check and code != 0:
        raise AssertionError(f"{args} exited with {code}: {text}")
    return subprocess.CompletedProcess(args, code, text)


def start_detached(*args):
    return subprocess.Popen([str(SCRIPTS / "wine-run.sh"), str(WORK), *args],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)


def registry_values(key):
    """The values of a key as {name: text}, or None when the key does not exist."""
    result = wine("reg", "query", key, check=False)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.splitlines():
        match = re.match(r"^    (.+?)    (REG_\w+)    ?(.*?)\r?$", line)
        if match:
            name, kind, data = match.groups()
            values[name] = int(data, 16) if kind == "REG_DWORD" else data
    return values


def unix_path(windows_path):
    drive, rest = windows_path.split(":", 1)
    assert drive.lower() == "c", windows_path
    return PREFIX / "drive_c" / rest.replace("\\", "/").lstrip("/")


def tovra_processes():
    """Ids of the tovra.exe processes running in this test's prefix."""
    found = set()
    for proc in pathlib.Path("/proc").glob("[0-9]*"):
        try:
            command = (proc / "cmdline").read_bytes()
            environment = (proc / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if b"tovra.exe" in command.lower() and f"WINEPREFIX={PREFIX}".encode() in environment:
            state = (proc / "stat").read_text().rsplit(")", 1)[-1].split()[0]
            if state not in ("Z", "X"):
                found.add(int(proc.name))
    return found


def wait_until(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"gave up after {seconds} s waiting for {what}")
        time.sleep(0.1)


def serve_forever(server):
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class EchoHandler(http.server.BaseHTTPRequestHandler):
    """An IP echo site for every host, reached as the HTTP proxy."""

    def do_GET(self):
        body = b"198.51.100.23"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def hang_up_server():
    """An FTP server that hangs up on every connection: the upload then fails without a text, and
    the program shows its "Could not retrieve Error Message!" box, owned by its main window."""
    listener = socket.create_server(("127.0.0.1", 0))

    def accept():
        while True:
            connection, _ = listener.accept()
            connection.close()

    threading.Thread(target=accept, daemon=True).start()
    return listener.getsockname()[1]


def visible_windows_titled(title):
    display = (WORK / "xvfb.display").read_text().strip()
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                            env=dict(os.environ, DISPLAY=display), capture_output=True, text=True)
    return result.stdout.split()


def log_text():
    logs = list(PREFIX.glob("drive_c/users/*/AppData/Local/Tovra/Tovra.log"))
    return logs[0].read_text(errors="replace") if logs else ""


class InstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run([str(SCRIPTS / "wine-stop.sh"), str(WORK)], check=False)
        shutil.rmtree(WORK, ignore_errors=True)
        WORK.mkdir(parents=True)
        cls.install_dir = None
        cls.started = None

    @classmethod
    def tearDownClass(cls):
        # Ends the prefix's wineserver, and with it whatever Tovra is still running.
        subprocess.run([str(SCRIPTS / "wine-stop.sh"), str(WORK)], check=False)
        if cls.started:
            cls.started.wait(30)

    def test_1_silent_install_puts_everything_in_place_and_starts_nothing(self):
        wine(str(SETUP), "/S")
        entry = registry_values(UNINSTALL_KEY)
        self.assertIsNotNone(entry, "no Uninstall entry")
        folder = entry["InstallLocation"]
        self.assertRegex(folder, r"(?i)^C:\\users\\[^\\]+\\AppData\\Local\\Programs\\Tovra$")
        type(self).install_dir = folder
        for name in ("tovra.exe", "Tovra.chm", "Tovra.html", "uninstall.exe"):
            self.assertTrue((unix_path(folder) / name).is_file(), name)

        self.assertEqual(entry["DisplayName"], "Tovra")
        self.assertEqual(entry["DisplayVersion"], VERSION)
        self.assertEqual(entry["Publisher"], "Brannik")
        self.assertEqual(entry["DisplayIcon"], folder + r"\tovra.exe,0")
        self.assertEqual(entry["UninstallString"], f'"{folder}\\uninstall.exe"')
        self.assertEqual(entry["QuietUninstallString"], f'"{folder}\\uninstall.exe" /S')
        self.assertGreater(entry["EstimatedSize"], 100)  # KiB
        self.assertEqual((entry["NoModify"], entry["NoRepair"]), (1, 1))

        self.assertEqual(registry_values(RUN_KEY).get("Tovra"), f'"{folder}\\tovra.exe"')
        menu = next(PREFIX.glob("drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"))
        self.assertEqual({path.name for path in (menu / "Tovra").iterdir()},
                         {"Tovra.lnk", "Tovra Help.lnk", "Uninstall Tovra.lnk"})
        self.assertEqual(tovra_processes(), set())

    def test_2_the_run_value_starts_the_installed_copy(self):
        # Its start-up posting fails and leaves a box open, for the update to find.
        echo = serve_forever(http.server.ThreadingHTTPServer(("127.0.0.1", 0), EchoHandler))
        settings = {"SiteAddress": "127.0.0.1", "SitePort": str(hang_up_server()), "SiteUsername": "tester",
                    "SitePassword": "not-used", "SiteRemotePath": "/ip.html", "SitePasvMode": "1",
                    "GetWebAddress": "1", "ForcePost": "1"}
        for name, value in settings.items():
            wine("reg", "add", SETTINGS_KEY, "/v", name, "/d", value, "/f")
        os.environ["http_proxy"] = f"127.0.0.1:{echo.server_address[1]}"
        command = registry_values(RUN_KEY)["Tovra"]
        match = re.fullmatch(r'"([^"]+)"', command)
        self.assertIsNotNone(match, command)
        type(self).started = start_detached(match.group(1))
        wait_until(tovra_processes, 30, "Tovra to start from its Run value")
        wait_until(lambda: visible_windows_titled("Tovra"), 60, "the box of the failed upload")

    def test_3_an_update_ends_the_running_copy_with_a_box_open_and_keeps_settings_and_switches(self):
        before = wait_until(tovra_processes, 30, "the running copy")
        wine("reg", "add", SETTINGS_KEY, "/v", "SiteAddress", "/d", "ftp.example.net", "/f")
        wine("reg", "add", APPROVED_KEY, "/v", "Tovra", "/t", "REG_BINARY", "/d", SWITCHED_OFF, "/f")
        wine(str(SETUP), "/S")
        after = wait_until(tovra_processes, 30, "Tovra to be started again")
        self.assertTrue(before.isdisjoint(after), "the old copy still runs")
        # Ended by its Exit, not by force: its last line is written.
        self.assertIn("Tovra ended", log_text())
        self.assertEqual(registry_values(SETTINGS_KEY).get("SiteAddress"), "ftp.example.net")
        # Switched off in Task Manager: still listed there, still off.
        self.assertEqual(registry_values(RUN_KEY).get("Tovra"), f'"{self.install_dir}\\tovra.exe"')
        self.assertEqual(registry_values(APPROVED_KEY).get("Tovra"), SWITCHED_OFF)

    def test_4_silent_uninstall_leaves_nothing_but_the_company_key(self):
        folder = unix_path(self.install_dir)
        wine(self.install_dir + r"\uninstall.exe", "/S")
        # The uninstaller runs on from a copy of itself in the temporary folder.
        wait_until(lambda: registry_values(UNINSTALL_KEY) is None and not folder.exists(), 60,
                   "the uninstaller to finish")
        self.assertEqual(tovra_processes(), set())
        self.assertNotIn("Tovra", registry_values(RUN_KEY) or {})
        self.assertNotIn("Tovra", registry_values(APPROVED_KEY) or {})
        self.assertIsNone(registry_values(SETTINGS_KEY))
        self.assertIsNotNone(registry_values(COMPANY_KEY))
        self.assertEqual(list(PREFIX.glob("drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tovra")), [])

    def test_5_no_autostart_switch_and_folder_of_ones_own(self):
        # Without a space: Wine would quote the argument, and NSIS takes /D= only unquoted.
        wine(str(SETUP), "/S", "/NOAUTOSTART", r"/D=C:\Tools\Tovra")
        self.assertTrue((PREFIX / "drive_c/Tools/Tovra/tovra.exe").is_file())
        self.assertEqual(registry_values(UNINSTALL_KEY)["InstallLocation"], r"C:\Tools\Tovra")
        self.assertNotIn("Tovra", registry_values(RUN_KEY) or {})
        self.assertEqual(tovra_processes(), set())

    def test_6_a_silent_older_setup_leaves_a_newer_copy_alone(self):
        wine("reg", "add", UNINSTALL_KEY, "/v", "DisplayVersion", "/d", "99.0.0.0", "/f")
        program = PREFIX / "drive_c/Tools/Tovra/tovra.exe"
        program.unlink()
        self.assertNotEqual(wine(str(SETUP), "/S", check=False).returncode, 0)
        self.assertFalse(program.exists())
        self.assertEqual(registry_values(UNINSTALL_KEY)["DisplayVersion"], "99.0.0.0")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2, failfast=True)

"""Runs the rows of scenarios.py under Wine, as scripts/test-windows sets it up: Setup.exe's boxes answered by
box_driver.exe, ServerSetup.exe through a pipe and in a Wine console inside tmux, the real 7za.exe archiving."""
import os
import shutil
import subprocess
import sys
import time
import types
import unittest

sys.path[:0] = [os.path.join(os.path.dirname(__file__), *p) for p in (["..", "e2e"], ["..", "..", "scripts"])]
import scenarios as s  # noqa: E402

PREFIX, HELPERS = os.environ["WINEPREFIX"], os.environ["BRAX_WIN_HELPERS"]
DRIVE_C = os.path.join(PREFIX, "drive_c")


def windows(path):
    """The Windows name of a Unix path: C:\\... below drive_c, else Z:\\..."""
    path = os.path.abspath(path)
    if path == DRIVE_C or path.startswith(DRIVE_C + "/"):
        return "C:" + (path[len(DRIVE_C):] or "/").replace("/", "\\")
    return "Z:" + path.replace("/", "\\")


def wine(args, keys=b"", cwd=None, env=None, timeout=90):
    return subprocess.run(["wine"] + args, input=keys, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, cwd=cwd,
                          env=dict(os.environ, **(env or {})), timeout=timeout).stdout


class Wine:
    za, setup, sep = "7za.exe", "Setup.exe", "\\"
    example = b"minecraft_path=<eg. C:\\Users\\Orlander\\AppData\\Roaming\\.minecraft\\>"
    talk = rb".*?"  # the archiver's own lines end in CR LF too
    name = staticmethod(windows)

    @staticmethod
    def stand_in(w, delete_code, add_code):
        shutil.copy(os.path.join(HELPERS, "stand_in_archiver.exe"), w.path("ship/7za.exe"))
        w.write("ship/codes.txt", b"d %d\na %d\n" % (delete_code, add_code))

    @staticmethod
    def runs(w, program, *steps):
        jar = '"%s"' % windows(w.path(s.CLIENT + "/1.6.4-BRAX.jar")) if program == s.S else None
        server = s.HDS_JAR.replace("/", "\\")
        return ["7za.exe d %s META-INF" % (jar or "..\\" + server) if step == "d" else
                "..\\..\\7za.exe a -r %s *" % (jar or "..\\..\\..\\" + server) for step in steps]

    @staticmethod
    def attrib(w, flags, path):
        wine(["attrib", flags, windows(w.path(path))], timeout=30)

    @staticmethod
    def user(w, name):
        s.moved("home", "Users/%s/AppData/Roaming" % name)(w)
        w.game = os.path.join(w.home, ".minecraft")

    @staticmethod
    def drive_root(w):
        link = os.path.join(PREFIX, "dosdevices", "p:")
        os.path.lexists(link) and os.remove(link)
        os.symlink(w.ship, link)
        w.program = "P:\\"


def boxes(log):
    """box_driver's records (kind by the icon and the buttons, text, answer), and how the program ended."""
    found, kinds = [], {"information yesno": s.Q, "information ok": s.I, "warning ok": s.W}
    while log.startswith(b"box "):
        header, log = log.split(b"\n", 1)
        icon, buttons, answer, length = header.decode().split()[1:]
        found.append((kinds.get(icon + " " + buttons, icon + " " + buttons), log[:int(length)], answer))
        log = log[int(length) + 1:]
    return found, log.decode().strip()


def console(w, steps):
    """ServerSetup.exe in a Wine console in a tmux pane of our own; the screen at the end."""
    tmux = ["tmux", "-L", "brax-wine-%d" % os.getpid()]
    run = lambda *a: subprocess.run(tmux + list(a), stdout=subprocess.PIPE, timeout=30).stdout.decode(errors="replace")
    run("new-session", "-d", "-s", "brax", "-x", "200", "-y", "80", "-c", w.root,
        "wine '%s\\ServerSetup.exe'; echo \"[exit $?]\"; sleep 600" % windows(w.ship))
    try:
        for text, keys in steps + [("[exit ", [])]:
            deadline = time.time() + 60
            while text not in run("capture-pane", "-p", "-t", "brax") and time.time() < deadline:
                time.sleep(0.2)
            for key in keys:
                run("send-keys", "-t", "brax", key)
                time.sleep(0.3)
        return run("capture-pane", "-p", "-t", "brax")
    finally:
        run("kill-server")


def launch(w, row):
    program, where, keys = row[2], row[1], row[4]
    if program == s.S:
        log = w.path("driver.log")
        wine([os.path.join(HELPERS, "box_driver.exe"), windows(w.home), keys, windows(log),
              getattr(w, "program", windows(w.ship) + "\\") + "Setup.exe"], cwd=w.root, env=getattr(w, "env", {}))
        with open(log, "rb") as f:
            found, end = boxes(f.read())
        os.remove(log)
        return types.SimpleNamespace(boxes=found, code=0 if end == "exit 0" else end)
    if where == "con":
        screen = "\n".join(line.rstrip() for line in console(w, keys).split("\n")).rstrip("\n")
        return types.SimpleNamespace(screen=screen, code=0)
    return types.SimpleNamespace(stdout=wine([windows(w.ship) + "\\ServerSetup.exe"], keys or b"", cwd=w.root), code=0)


class WineRows(unittest.TestCase):
    maxDiff = None
    count = 0

    def world(self, where=None):
        WineRows.count += 1
        root = os.path.join(DRIVE_C, "brax", str(WineRows.count))
        return s.World(root, Wine, "Users/John Smith/AppData/Roaming", [os.path.join(
            os.environ["BRAX_WIN_BUILD"], p + ".exe") for p in (s.S, s.SS)], os.environ["BRAX_WIN_ARCHIVER"])

    def test_rows(self):
        # What ships is 32-bit x86: an x86-64 build left beside it must not pass for it.
        w = self.world()
        for program in ("Setup.exe", "ServerSetup.exe", "7za.exe"):
            pe = w.read("ship/" + program)
            self.assertEqual(pe[int.from_bytes(pe[60:64], "little") + 4:][:2], b"\x4c\x01", program + " is not x86")
        shutil.rmtree(w.root)
        s.run_rows(self, ("LW", "W", "con"), self.world, launch)


if __name__ == "__main__":
    unittest.main(verbosity=2)

"""The Windows programs end to end under Wine: Setup.exe with its real
message boxes answered by box_driver.exe, ServerSetup.exe through a pipe and
in a Wine console inside tmux, and the operations that only Windows has,
through operations_probe.exe. The real 7za.exe does the archiving; a
stand-in gives the failure codes.

Each table row is one run. scripts/test-windows prepares the Wine prefix and
the X display and passes them in the environment (WINEPREFIX, DISPLAY) with
the folders of the programs (BRAX_WIN_BUILD), the helpers (BRAX_WIN_HELPERS)
and the archiver (BRAX_WIN_ARCHIVER)."""
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "scripts")]
import brax  # noqa: E402
import messages  # noqa: E402
import sample_package  # noqa: E402
import setup_scenarios as s  # noqa: E402
from setup_scenarios import CLIENT, PACK, INI, Q, W, DONE, welcome, missing, all_of  # noqa: E402

PREFIX = os.environ["WINEPREFIX"]
BUILD = os.environ["BRAX_WIN_BUILD"]
HELPERS = os.environ["BRAX_WIN_HELPERS"]
ARCHIVER = os.environ["BRAX_WIN_ARCHIVER"]
DRIVE_C = os.path.join(PREFIX, "drive_c")
WINE = os.environ.get("BRAX_WINE", "wine")
USER = "John Smith"
# A part of a row's name, to run only the rows that hold it.
ONLY = os.environ.get("BRAX_WINE_ONLY", "")


def windows(path):
    """The Windows name of a Unix path: C:\\... below drive_c, else Z:\\..."""
    path = os.path.abspath(path)
    if path == DRIVE_C or path.startswith(DRIVE_C + os.sep):
        return "C:" + (path[len(DRIVE_C):] or "/").replace("/", "\\")
    return "Z:" + path.replace("/", "\\")


def wine(args, keys=b"", cwd=None, env=None, timeout=90):
    completed = subprocess.run([WINE] + args, input=keys, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               cwd=cwd, env=dict(os.environ, **(env or {})), timeout=timeout)
    return completed.stdout


class World:
    """A folder on drive C: holding `ship` (programs, archiver, mod files)
    and a user folder whose AppData\\Roaming holds a vanilla .minecraft."""
    count = 0

    def __init__(self, user=USER, ship="ship"):
        World.count += 1
        self.root = os.path.join(DRIVE_C, "brax", str(World.count))
        shutil.rmtree(self.root, ignore_errors=True)
        self.ship = os.path.join(self.root, ship)
        self.move_appdata(user)
        sample_package.make_ship_folder(self.ship, [os.path.join(BUILD, "Setup.exe"),
                                                    os.path.join(BUILD, "ServerSetup.exe")],
                                        ARCHIVER, client=True, server=False)
        sample_package.make_game_folder(self.game)

    def move_appdata(self, user):
        old = getattr(self, "appdata", None)
        self.appdata = os.path.join(self.root, "Users", user, "AppData", "Roaming")
        self.game = os.path.join(self.appdata, ".minecraft")
        if old:
            os.makedirs(os.path.dirname(self.appdata), exist_ok=True)
            os.rename(old, self.appdata)

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def rel(self, path):
        return os.path.relpath(path, self.root)

    def write(self, relative, content=b"canary"):
        target = self.path(relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(content)
        return target

    def read(self, relative):
        with open(self.path(relative), "rb") as f:
            return f.read()

    def attrib(self, flags, relative):
        wine(["attrib"] + flags.split() + [windows(self.path(relative))], timeout=30)


# --- Setup: the shared rows and those only Windows has --------------------------------
class Wine:
    linux = False
    archiver = "7za.exe"
    texts = messages.setup_texts(archiver)
    sep = "\\"
    example = b"minecraft_path=<eg. C:\\Users\\Orlander\\AppData\\Roaming\\.minecraft\\>"
    name = staticmethod(windows)

    @staticmethod
    def stand_in(w, delete_code, add_code):
        shutil.copy(os.path.join(HELPERS, "stand_in_archiver.exe"), w.path("ship", "7za.exe"))
        w.write("ship/codes.txt", b"d %d\na %d\n" % (delete_code, add_code))

    @staticmethod
    def runs(w, *steps):
        jar = windows(os.path.join(w.game, CLIENT, "1.6.4-BRAX.jar"))
        return ['7za.exe d "%s" META-INF' % jar if step == "d" else '..\\..\\7za.exe a -r "%s" *' % jar
                for step in steps]


def stand_in_archiver(delete_code=0, add_code=0):
    return lambda w: Wine.stand_in(w, delete_code, add_code)


def user(name):
    return lambda w: w.move_appdata(name)


def attrib(flags, relative):
    return lambda w: w.attrib(flags, s.below(w, relative))


def read_only(relative):
    return lambda w: os.chmod(w.path(relative), 0o444)


def unremovable(w):
    """An earlier install that "rd" cannot remove: an immutable file in it."""
    s.earlier_install(CLIENT)(w)
    w.locked = os.path.join(w.game, CLIENT, "old-extra.txt")
    subprocess.run(["chattr", "+i", w.locked], check=True)


def unlock(t, w):
    subprocess.run(["chattr", "-i", w.locked], check=True)


def drive_root(w):
    """The ship folder is the root of drive P:."""
    link = os.path.join(PREFIX, "dosdevices", "p:")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(w.ship, link)
    w.program_folder = "P:\\"


def named_in_ini(to, encoding):
    return s.game_named_in_ini(Wine, to, encoding=encoding)


def cyrillic_copy_failed(w):
    return s.copy_failed("1.6.4-BRAX\\1.6.4-BRAX.json", windows(os.path.join(w.game, CLIENT, "1.6.4-BRAX.json")))


INSTALLED = (welcome(DONE), [CLIENT, PACK], s.client_installed)
NO_ARCHIVER = welcome((W, "no archiver", "ok"))
WINDOWS_ROWS = [
    ("game folder missing, edit answered Yes", missing(""), "yy", welcome((Q, "edit", "yes")), [INI],
     s.ini_is(lambda w: b"minecraft_path=" + windows(w.game).encode() + b"\\")),
    ("hidden setup.ini does not count",
     all_of(s.setup_ini(b"minecraft_path=C:\\nowhere\r\n"), attrib("+h", INI)), "y", *INSTALLED),
    ("hidden archiver does not count", attrib("+h", "ship/7za.exe"), "y", NO_ARCHIVER, [], None),
    ("system archiver does not count", attrib("+s", "ship/7za.exe"), "y", NO_ARCHIVER, [], None),
    ("read-only archiver counts", read_only("ship/7za.exe"), "y", *INSTALLED),
    ("system vanilla jar does not count", attrib("+s", "versions/1.6.4/1.6.4.jar"), "y",
     welcome((W, "no vanilla jar", "ok")), [], None),
    ("vanilla jar no archive: the real archiver's code",
     lambda w: w.write(s.below(w, "versions/1.6.4/1.6.4.jar"), b"not a zip"), "y",
     welcome((W, lambda w: s.archiver_failed("d", 2), "ok")), [CLIENT, PACK], None),
    ("earlier install that cannot be removed", unremovable, "yy",
     welcome((Q, "previous BRAX", "yes"), (W, "not removed", "ok")), [CLIENT], unlock),
    ("program in a drive root", drive_root, "y", *INSTALLED),
    ("Cyrillic user folder", user("Иван Петров"), "y", *INSTALLED),
    ("Cyrillic game folder in a UTF-8 setup.ini", named_in_ini("Игры/mc", "utf-8"), "y", *INSTALLED),
    ("Cyrillic game folder in a legacy (1251) setup.ini", named_in_ini("Игры/mc", "cp1251"), "y", *INSTALLED,
     {"LC_ALL": "ru_RU.UTF-8"}),
    ("accented game folder in a legacy (1252) setup.ini", named_in_ini("Jürgen/mc", "cp1252"), "y", *INSTALLED),
    ("Cyrillic game folder missing: setup.ini in UTF-8", all_of(user("Иван"), missing("")), "yn",
     welcome((Q, "edit", "no")), [INI], s.ini_is(lambda w: ("minecraft_path=" + windows(w.game) + "\\").encode())),
    ("copy failure names the Cyrillic folder", all_of(user("Иван"), missing("ship/1.6.4-BRAX/1.6.4-BRAX.json")), "y",
     welcome((W, cyrillic_copy_failed, "ok")), [CLIENT], None),
]
SETUP_ROWS = s.rows(Wine) + WINDOWS_ROWS


# --- ServerSetup ---------------------------------------------------------------------
S_NO_CHANGES = b"Installer will now exit. No changes have been made to your system."
S_TEXT = {
    "welcome": b"\r\nThis program will build the 1.6.4-BRAX-HDS.jar file, which can be used to start a\r\n"
               b"server instance of BRAX-1.6.4.\r\n\r\nThe author and/or distributor of this software is not "
               b"responsible for any damages\r\nresulting from the use of this installer or the BRAX mod, "
               b"including injuries or\r\ndeath caused by skeleton archers.\r\n\r\nDo you agree to these terms?"
               b" [y/n] ",
    "update": b"1.6.4-BRAX-HDS.jar already exists. Do you wish to update it? [y/n] ",
    "y": b"y\r\n\r\n",
    "n": b"n\r\n\r\n",
    "no changes": S_NO_CHANGES + b"\r\n\r\n",
    "no archiver": b"Cannot find the 7za.exe! It must be in the same location as this program.\r\n\r\n" +
                   S_NO_CHANGES + b"\r\n\r\n",
    "no jar": b"Cannot find vanilla 1.6.4.jar! It must be in the same location as this program.\r\n\r\nIf you "
              b"are in a GUI environment you may want to run Setup.exe instead.\r\n\r\n" + S_NO_CHANGES +
              b"\r\n\r\n",
    "no source": b"Cannot find the location of the 1.6.4-BRAX folder!\r\n\r\nThis installer has made no "
                 b"changes to your system. Proceed with manual installation.\r\n\r\n",
    "copy failed": b"A error occurred while copying 1.6.4-BRAX-HDS\\run.bat to ..\\1.6.4-BRAX-HDS\\run.bat"
                   b"\r\n\r\nInstaller will now exit.\r\n\r\n",
    "d failed 2": b"A error occured while trying to delete META-INF.\r\n\r\nError code: 2\r\n\r\n",
    "a failed 7": b"An error occured while trying to copy class files to jar archive.\r\n\r\nError code: 7\r\n\r\n",
    "a failed -1": b"An error occured while trying to copy class files to jar archive.\r\n\r\nError code: -1"
                   b"\r\n\r\n",
    "done": b"\r\n1.6.4-BRAX-HDS.jar has been successfully created!\r\n\r\nYour server folder is located at "
            b"..\\1.6.4-BRAX-HDS\\\r\n\r\nYou can start a headless server instance now by running the included "
            b"batch file.\r\n\r\nHave fun :)\r\n\r\n",
    "press": b"Press any key to continue...\r\n",
}
ARCHIVER_TALK = "..."  # the archiver's own output, whatever it says
TARGET = "1.6.4-BRAX-HDS"


def server_world(w):
    shutil.rmtree(w.path("ship", "1.6.4-BRAX"))
    sample_package.make_ship_folder(w.ship, [], None, client=False, server=True)


def earlier_server_build(w):
    w.write(TARGET + "/1.6.4-BRAX-HDS.jar", b"old jar")
    w.write(TARGET + "/run.bat", b"old run.bat")
    w.write(TARGET + "/world/level.dat", b"keep")


def server_built(t, w):
    s.server_installed(t, w, w.path(TARGET))


def world_kept(t, w):
    server_built(t, w)
    t.assertEqual(w.read(TARGET + "/world/level.dat"), b"keep")


def server_log(*lines):
    return lambda t, w: t.assertEqual(w.read("ship/archiver.log").decode().splitlines(), list(lines))


# name, prepare, keys (the whole standard input), output (texts and ARCHIVER_TALK),
# paths below the world that may change, check
SERVER_ROWS = [
    ("first build", None, b"y", ["welcome", "y", ARCHIVER_TALK, "done", "press"], [TARGET], server_built),
    ("update answered y", earlier_server_build, b"yy",
     ["welcome", "y", "update", "y", ARCHIVER_TALK, "done", "press"], [TARGET], world_kept),
    ("update refused", earlier_server_build, b"yn", ["welcome", "y", "update", "n", "no changes", "press"], [], None),
    ("terms refused, other keys dropped", None, b"Yx\rn", ["welcome", "n", "no changes", "press"], [], None),
    ("closed input refuses", None, b"", ["welcome", "n", "no changes", "press"], [], None),
    ("no archiver", missing("ship/7za.exe"), b"y", ["welcome", "y", "no archiver", "press"], [], None),
    ("hidden archiver does not count", attrib("+h", "ship/7za.exe"), b"y", ["welcome", "y", "no archiver", "press"],
     [], None),
    ("no vanilla jar", missing("ship/1.6.4.jar"), b"y", ["welcome", "y", "no jar", "press"], [], None),
    ("no source folder", missing("ship/1.6.4-BRAX-HDS"), b"y", ["welcome", "y", "no source", "press"], [], None),
    ("missing run.bat: the jar is copied first", missing("ship/1.6.4-BRAX-HDS/run.bat"), b"y",
     ["welcome", "y", "copy failed", "press"], [TARGET],
     lambda t, w: t.assertEqual(sorted(os.listdir(w.path(TARGET))), ["1.6.4-BRAX-HDS.jar"])),
    ("first archiver run fails", stand_in_archiver(delete_code=2), b"y", ["welcome", "y", "d failed 2", "press"],
     [TARGET, "ship/archiver.log"], server_log("7za.exe d ..\\1.6.4-BRAX-HDS\\1.6.4-BRAX-HDS.jar META-INF")),
    ("second archiver run fails", stand_in_archiver(add_code=7), b"y", ["welcome", "y", "a failed 7", "press"],
     [TARGET, "ship/archiver.log"],
     server_log("7za.exe d ..\\1.6.4-BRAX-HDS\\1.6.4-BRAX-HDS.jar META-INF",
                "..\\..\\7za.exe a -r ..\\..\\..\\1.6.4-BRAX-HDS\\1.6.4-BRAX-HDS.jar *")),
    ("no class folder: -1", missing("ship/1.6.4-BRAX-HDS/class"), b"y",
     ["welcome", "y", ARCHIVER_TALK, "a failed -1", "press"], [TARGET], None),
]


def output_pattern(parts):
    return re.compile(b"".join(b".*?" if p == ARCHIVER_TALK else re.escape(S_TEXT[p]) for p in parts) + b"\\Z",
                      re.DOTALL)


# --- ServerSetup in a Wine console inside tmux ----------------------------------------
# name, prepare, steps (text to wait for on the screen, keys to send), the screen at
# the end (lines, ARCHIVER_TALK for any lines), check
WELCOME_SCREEN = [
    "",
    "This program will build the 1.6.4-BRAX-HDS.jar file, which can be used to start a",
    "server instance of BRAX-1.6.4.",
    "",
    "The author and/or distributor of this software is not responsible for any damages",
    "resulting from the use of this installer or the BRAX mod, including injuries or",
    "death caused by skeleton archers.",
    "",
]
CONSOLE_ROWS = [
    ("terms: Y, Enter, F1 and Up dropped, then n; F1 ends the wait", None,
     [("[y/n]", ["Y", "Enter", "F1", "Up", "n"]), ("Press any key", ["F1"])],
     WELCOME_SCREEN + ["Do you agree to these terms? [y/n] n", "", S_NO_CHANGES.decode(), "",
                       "Press any key to continue...", "[exit 0]"], None),
    ("first build; an arrow ends the wait", None, [("[y/n]", ["y"]), ("Press any key", ["Down"])],
     WELCOME_SCREEN + ["Do you agree to these terms? [y/n] y", "", ARCHIVER_TALK,
                       "1.6.4-BRAX-HDS.jar has been successfully created!", "",
                       "Your server folder is located at ..\\1.6.4-BRAX-HDS\\", "",
                       "You can start a headless server instance now by running the included batch file.", "",
                       "Have fun :)", "", "Press any key to continue...", "[exit 0]"], server_built),
    ("update: N is no answer, y is", earlier_server_build,
     [("[y/n]", ["y"]), ("update it?", ["N", "y"]), ("Press any key", ["Enter"])],
     WELCOME_SCREEN + ["Do you agree to these terms? [y/n] y", "",
                       "1.6.4-BRAX-HDS.jar already exists. Do you wish to update it? [y/n] y", "", ARCHIVER_TALK,
                       "Have fun :)", "", "Press any key to continue...", "[exit 0]"], world_kept),
]


def screen_matches(lines, expected):
    """Lines equal, where ARCHIVER_TALK stands for any run of lines."""
    pattern = "".join("(?:[^\n]*\n)*?" if e == ARCHIVER_TALK else re.escape(e) + "\n" for e in expected)
    return re.fullmatch(pattern, "\n".join(lines) + "\n") is not None


class Tmux:
    """One tmux server of our own per row, so that nothing else is touched."""

    def __init__(self, command, cwd):
        self.socket = "brax-wine-%d" % os.getpid()
        self.tmux(["new-session", "-d", "-s", "brax", "-x", "200", "-y", "80", "-c", cwd, command])

    def tmux(self, args):
        return subprocess.run(["tmux", "-L", self.socket] + args, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=30).stdout.decode(errors="replace")

    def screen(self):
        return self.tmux(["capture-pane", "-p", "-t", "brax"])

    def wait_for(self, text, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if text in self.screen():
                return True
            time.sleep(0.2)
        return False

    def keys(self, names):
        for name in names:
            self.tmux(["send-keys", "-t", "brax", name])
            time.sleep(0.3)

    def close(self):
        self.tmux(["kill-server"])


def parse_driver_log(data):
    """The boxes (kind, text, answer) and the end ("exit 0", "timeout")."""
    found, position = [], 0
    while position < len(data):
        end = data.index(b"\n", position)
        header = data[position:end].decode().split()
        if header[0] != "box":
            return found, " ".join(header)
        length = int(header[3])
        found.append((header[1], data[end + 1:end + 1 + length], header[2]))
        position = end + 1 + length + 1
    return found, "no end"


class WineEndToEnd(unittest.TestCase):
    maxDiff = None

    def world(self):
        w = World()
        self.addCleanup(shutil.rmtree, w.root, True)
        return w

    def run_setup(self, name, prepare, answers, expected, allowed, check, env=None):
        w = self.world()
        if prepare:
            prepare(w)
        before = brax.snapshot(w.root)
        program = getattr(w, "program_folder", windows(w.ship) + "\\") + "Setup.exe"
        log = w.path("driver.log")
        out = wine([os.path.join(HELPERS, "box_driver.exe"), "--env", "APPDATA=" + windows(w.appdata),
                    "--answers", answers, "--log", windows(log), "--timeout", "60", program],
                   cwd=w.root, env=env)
        with open(log, "rb") as f:
            got, end = parse_driver_log(f.read())
        os.remove(log)
        want = s.expected_boxes(Wine, w, expected)
        self.assertEqual(got, want, out.decode(errors="replace")[-2000:])
        self.assertEqual(end, "exit 0")
        allowed = [s.below(w, a) for a in allowed]
        changed = brax.changed_paths(before, brax.snapshot(w.root))
        if check:
            check(self, w)
        self.assertEqual(brax.outside(changed, allowed), [])

    def server_world(self, prepare):
        w = self.world()
        server_world(w)
        if prepare:
            prepare(w)
        return w, brax.snapshot(w.root)

    def check_changes(self, w, before, allowed, check):
        if check:
            check(self, w)
        self.assertEqual(brax.outside(brax.changed_paths(before, brax.snapshot(w.root)), allowed), [])

    def run_server(self, name, prepare, keys, expected, allowed, check):
        w, before = self.server_world(prepare)
        out = wine([windows(w.ship) + "\\ServerSetup.exe"], keys, cwd=w.root)
        self.assertRegex(out, output_pattern(expected))
        self.check_changes(w, before, allowed, check)

    def run_console(self, name, prepare, steps, expected, check):
        w, before = self.server_world(prepare)
        command = "%s '%s\\ServerSetup.exe'; echo \"[exit $?]\"; sleep 600" % (WINE, windows(w.ship))
        console = Tmux(command, w.root)
        self.addCleanup(console.close)
        for text, keys in steps:
            self.assertTrue(console.wait_for(text), console.screen())
            console.keys(keys)
        self.assertTrue(console.wait_for("[exit "), console.screen())
        lines = console.screen().rstrip("\n").split("\n")
        while lines and not lines[-1].strip():
            lines.pop()
        self.assertTrue(screen_matches([line.rstrip() for line in lines], expected), "\n".join(lines))
        console.close()
        self.check_changes(w, before, [TARGET], check)

    def run_rows(self, rows, run):
        """Each row of a table as a subtest; BRAX_WINE_ONLY picks rows by name."""
        for row in rows:
            if ONLY in row[0]:
                with self.subTest(row[0]):
                    run(*row)

    def test_server_setup_through_a_pipe(self):
        self.run_rows(SERVER_ROWS, self.run_server)

    def test_server_setup_in_a_console(self):
        self.run_rows(CONSOLE_ROWS, self.run_console)

    def test_operations(self):
        """ProgramFolder in a drive root, RunCommand of a path with a space,
        FileExists and the file attributes."""
        w = self.world()
        probe = os.path.join(HELPERS, "operations_probe.exe")
        spaced = w.path("sp ace", "probe copy.exe")
        os.makedirs(os.path.dirname(spaced))
        shutil.copy(probe, spaced)
        shutil.copy(probe, w.path("probe.exe"))
        for name in ("plain", "hidden", "system", "read-only", "dir/x"):
            w.write("files/" + name, b"x")
        w.attrib("+h", "files/hidden")
        w.attrib("+s", "files/system")
        os.chmod(w.path("files/read-only"), 0o444)
        link = os.path.join(PREFIX, "dosdevices", "o:")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(w.root, link)
        files = windows(w.path("files"))
        rows = [  # arguments, output
            (["folder"], "O:\\\n"),
            (["exists"] + [files + "\\" + n for n in ("plain", "hidden", "system", "read-only", "dir", "none", "*")],
             "1\n0\n0\n1\n0\n0\n1\n"),
            (["exists", files + "\\h*", files + "\\s?stem", files + "\\read-*"], "0\n0\n1\n"),
            (["run", windows(spaced), "exit 7"], "7\n"),
            (["run", windows(spaced), "exit -5"], "-5\n"),
            (["run", windows(w.path("sp ace", "none.exe")), "exit 7"], "-1\n"),
            (["run", "none.exe", "exit 7"], "-1\n"),
        ]
        for args, output in rows:
            with self.subTest(" ".join(args)):
                out = wine(["O:\\probe.exe"] + args, cwd=w.root).decode().replace("\r\n", "\n")
                self.assertEqual(out, output)
        # The short name starts the program; the arguments arrive untouched.
        out = wine(["O:\\probe.exe", "run", windows(spaced), 'line  a "b c" *.*'], cwd=w.root).decode()
        line, code = out.replace("\r\n", "\n").splitlines()
        program, _, arguments = line.partition(" ")
        self.assertNotIn(" ", program)
        self.assertEqual(program.upper().split("\\")[:2], ["C:", "BRAX"])
        self.assertEqual((arguments, code), ('line  a "b c" *.*', "0"))

    def test_setup(self):
        self.run_rows(SETUP_ROWS, self.run_setup)


class CountingResult(unittest.TextTestResult):
    """Counts each row (subtest) and each test without rows."""
    passed = failed = 0

    def addSubTest(self, test, subtest, outcome):
        super().addSubTest(test, subtest, outcome)
        if outcome is None:
            CountingResult.passed += 1
        else:
            CountingResult.failed += 1

    def addSuccess(self, test):
        super().addSuccess(test)
        CountingResult.passed += 1

    def addFailure(self, test, err):
        super().addFailure(test, err)
        CountingResult.failed += 1

    def addError(self, test, err):
        super().addError(test, err)
        CountingResult.failed += 1


if __name__ == "__main__":
    program = unittest.main(verbosity=2, exit=False,
                            testRunner=unittest.TextTestRunner(resultclass=CountingResult, verbosity=2))
    print("%d passed, %d failed" % (CountingResult.passed, CountingResult.failed))
    sys.exit(0 if program.result.wasSuccessful() else 1)

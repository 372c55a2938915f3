"""Setup end to end: the real program and the real archiver in a temporary
world. Each row is one run: how the world is prepared, the keys on standard
input, the boxes expected (kind, text, answer), the paths that may change,
and any further check of the files."""
import os
import time
import unittest

import brax
import messages
import sample_package

TEXT = messages.setup_texts("7za")
archiver_failed, copy_failed = messages.archiver_failed, messages.copy_failed


Q, I, W = "Question", "Information", "Warning"
CLIENT = "home/.minecraft/versions/1.6.4-BRAX"
SERVER = "home/.minecraft/versions/1.6.4-BRAX-HDS"
PACK = "home/.minecraft/resourcepacks/BRAX Resource Pack 1.6.4.zip"
INI = "ship/setup.ini"


# --- How rows prepare their world ---------------------------------------------
def earlier_install(folder, extra="old-extra.txt"):
    def prepare(w):
        w.write(folder.replace("home/.minecraft", w.game[len(w.root) + 1:]) + "/" + extra, b"old")
        w.write(folder.replace("home/.minecraft", w.game[len(w.root) + 1:]) + "/" +
                os.path.basename(folder) + ".jar", b"old jar")
    return prepare


def setup_ini(content):
    return lambda w: w.write(INI, content(w) if callable(content) else content)


def odd_game_folder(w):
    """A game folder whose path holds spaces and quote characters, with an
    earlier install and a sibling of the version folder that must survive."""
    odd = os.path.join(w.root, "My \"Games\" it's", ".mine craft")
    os.makedirs(os.path.dirname(odd))
    os.rename(w.game, odd)
    w.game = odd
    w.write(os.path.relpath(odd, w.root) + "/versions/1.6.4-BRAX/1.6.4-BRAX.jar", b"old jar")
    w.write(os.path.relpath(odd, w.root) + "/versions/1.6.4-BRAX old/keep.txt", b"sibling")
    w.write(INI, b"minecraft_path = " + odd.encode() + b"\r\n")


def relative_game_folder(w):
    os.rename(w.game, os.path.join(w.ship, "portable-mc"))
    w.game = os.path.join(w.ship, "portable-mc")
    w.write(INI, b"minecraft_path=portable-mc\n")


def add_server_source(w):
    sample_package.make_ship_folder(w.ship, [], None, client=False)


def failing_rm(w):
    """An earlier install that cannot be removed: the removal command finds an
    rm that logs its call and fails (we run as root, whom permissions do not
    stop)."""
    earlier_install(CLIENT)(w)
    os.makedirs(w.path("bin"))
    w.write("bin/rm", '#!/bin/sh\ndate +%s.%N >> "{}"\nexit 1\n'.format(w.path("rm.log")))
    os.chmod(w.path("bin/rm"), 0o755)


def removal_attempts(t, w):
    times = [float(line) for line in w.read("rm.log").split()]
    t.assertEqual(len(times), 3)
    # 100 ms after each attempt, 4000 ms before each repeat.
    for earlier, later in zip(times, times[1:]):
        t.assertGreaterEqual(later - earlier, 4.05)
        t.assertLess(later - earlier, 6.0)


def moved_game_folder(w):
    os.rename(w.game, w.path("elsewhere"))
    w.game = w.path("elsewhere")
    w.write(INI, b"MINECRAFT_PATH = " + w.game.encode())


def missing(*paths):
    return lambda w: [w.remove(p) for p in paths]


def all_of(*steps):
    return lambda w: [step(w) for step in steps]


def archiver(delete_code=0, add_code=0):
    return lambda w: brax.test_archiver(w.ship, delete_code, add_code)


# --- Further checks --------------------------------------------------------------
def client_installed(t, w, folder=None):
    folder = folder or os.path.join(w.game, "versions", "1.6.4-BRAX")
    t.assertEqual(sample_package.jar_entries(os.path.join(folder, "1.6.4-BRAX.jar")),
                  sample_package.expected_jar(sample_package.CLIENT_CLASSES))
    with open(os.path.join(folder, "1.6.4-BRAX.json"), "rb") as f:
        t.assertEqual(f.read(), b'{"id": "1.6.4-BRAX"}')
    t.assertTrue(os.path.isfile(os.path.join(w.game, "resourcepacks", "BRAX Resource Pack 1.6.4.zip")))
    t.assertEqual(sorted(os.listdir(folder)), ["1.6.4-BRAX.jar", "1.6.4-BRAX.json"])


def server_installed(t, w):
    folder = os.path.join(w.game, "versions", "1.6.4-BRAX-HDS")
    t.assertEqual(sample_package.jar_entries(os.path.join(folder, "1.6.4-BRAX-HDS.jar")),
                  sample_package.expected_jar(sample_package.SERVER_CLASSES))
    for name, content in sample_package.SERVER_SCRIPTS.items():
        with open(os.path.join(folder, name), "rb") as f:
            t.assertEqual(f.read(), content)


def ini_is(expected):
    def check(t, w):
        t.assertEqual(w.read(INI), expected(w) if callable(expected) else expected)
    return check


def archiver_log(expected):
    def check(t, w):
        t.assertEqual(w.read("ship/archiver.log").decode().splitlines(), expected(w))
    return check


# name, prepare, keys, boxes, paths that may change, check
ROWS = [
    ("client first install", None, b"y", [(Q, "welcome", "Yes"), (I, "client done", "OK")],
     [CLIENT, PACK], client_installed),
    ("both source folders: server edition", add_server_source,
     b"y", [(Q, "welcome", "Yes"), (I, "server done", "OK")], [SERVER], server_installed),
    ("welcome refused", None, b"n", [(Q, "welcome", "No"), (I, "no changes", "OK")], [], None),
    ("closed input refuses", None, b"", [(Q, "welcome", "No"), (I, "no changes", "OK")], [], None),
    ("Enter takes the default, Yes", None, b"\r", [(Q, "welcome", "Yes"), (I, "client done", "OK")],
     [CLIENT, PACK], client_installed),
    ("other keys are not answers", None, b"xq\nY", [(Q, "welcome", "Yes"), (I, "client done", "OK")],
     [CLIENT, PACK], client_installed),
    ("earlier install overwritten", earlier_install(CLIENT), b"yy",
     [(Q, "welcome", "Yes"), (Q, "previous BRAX", "Yes"), (I, "client done", "OK")], [CLIENT, PACK],
     client_installed),
    ("earlier install kept", earlier_install(CLIENT), b"yn",
     [(Q, "welcome", "Yes"), (Q, "previous BRAX", "No"), (I, "no changes", "OK")], [], None),
    ("earlier install, input ends", earlier_install(CLIENT), b"y",
     [(Q, "welcome", "Yes"), (Q, "previous BRAX", "No"), (I, "no changes", "OK")], [], None),
    ("earlier server install: only the jar goes", all_of(add_server_source, missing("ship/1.6.4-BRAX"), earlier_install(SERVER)),
     b"yy", [(Q, "welcome", "Yes"), (Q, "previous BRAX-HDS", "Yes"), (I, "server done", "OK")], [SERVER],
     lambda t, w: (server_installed(t, w),
                   t.assertEqual(w.read(SERVER + "/old-extra.txt"), b"old"))),
    ("server edition needs no resource pack", all_of(add_server_source, missing("ship/1.6.4-BRAX", "home/.minecraft/resourcepacks")),
     b"y", [(Q, "welcome", "Yes"), (I, "server done", "OK")], [SERVER], None),
    ("game folder missing: setup.ini written", missing("home/.minecraft"), b"yn",
     [(Q, "welcome", "Yes"), (Q, "edit", "No")], [INI],
     ini_is(lambda w: b"minecraft_path=" + w.game.encode() + b"/")),
    ("empty game folder: the example is written", setup_ini(b"minecraft_path=\r\n"), b"yy",
     [(Q, "welcome", "Yes"), (Q, "edit", "Yes")], [INI], ini_is(b"minecraft_path=<eg. /home/orlander/.minecraft/>")),
    ("setup.ini names the game folder", moved_game_folder, b"y", [(Q, "welcome", "Yes"), (I, "client done", "OK")], ["elsewhere/versions/1.6.4-BRAX", "elsewhere/resourcepacks"],
     lambda t, w: client_installed(t, w, w.path("elsewhere", "versions", "1.6.4-BRAX"))),
    ("odd characters in the game folder", odd_game_folder, b"yy",
     [(Q, "welcome", "Yes"), (Q, "previous BRAX", "Yes"), (I, "client done", "OK")],
     ["My \"Games\" it's/.mine craft/versions/1.6.4-BRAX", "My \"Games\" it's/.mine craft/resourcepacks"],
     lambda t, w: (client_installed(t, w, os.path.join(w.game, "versions", "1.6.4-BRAX")),
                   t.assertEqual(w.read("My \"Games\" it's/.mine craft/versions/1.6.4-BRAX old/keep.txt"), b"sibling"))),
    ("relative game folder in setup.ini", relative_game_folder, b"y", [(Q, "welcome", "Yes"), (I, "client done", "OK")],
     ["ship/portable-mc/versions/1.6.4-BRAX", "ship/portable-mc/resourcepacks"],
     lambda t, w: client_installed(t, w, os.path.join(w.game, "versions", "1.6.4-BRAX"))),
    ("no archiver", missing("ship/7za"), b"y", [(Q, "welcome", "Yes"), (W, "no archiver", "OK")], [], None),
    ("no source folder", missing("ship/1.6.4-BRAX"), b"y", [(Q, "welcome", "Yes"), (W, "no source", "OK")], [], None),
    ("mod and game folder missing: mod first", missing("ship/1.6.4-BRAX", "home/.minecraft"), b"y",
     [(Q, "welcome", "Yes"), (W, "no source", "OK")], [], None),
    ("no resource pack", missing("ship/1.6.4-BRAX/BRAX Resource Pack 1.6.4.zip"), b"y",
     [(Q, "welcome", "Yes"), (W, "no pack", "OK")], [], None),
    ("no versions folder", missing("home/.minecraft/versions"), b"y",
     [(Q, "welcome", "Yes"), (W, "no versions", "OK")], [], None),
    ("no resourcepacks folder", missing("home/.minecraft/resourcepacks"), b"y",
     [(Q, "welcome", "Yes"), (W, "no resourcepacks", "OK")], [], None),
    ("no vanilla folder", missing("home/.minecraft/versions/1.6.4"), b"y",
     [(Q, "welcome", "Yes"), (W, "no vanilla folder", "OK")], [], None),
    ("no vanilla jar", missing("home/.minecraft/versions/1.6.4/1.6.4.jar"), b"y",
     [(Q, "welcome", "Yes"), (W, "no vanilla jar", "OK")], [], None),
    ("missing version file: copy fails after the jar", missing("ship/1.6.4-BRAX/1.6.4-BRAX.json"), b"y",
     [(Q, "welcome", "Yes"),
      (W, lambda w: copy_failed("1.6.4-BRAX/1.6.4-BRAX.json", w.game + "/versions/1.6.4-BRAX/1.6.4-BRAX.json"), "OK")],
     [CLIENT], lambda t, w: t.assertTrue(os.path.isfile(w.path(CLIENT, "1.6.4-BRAX.jar")))),
    ("first archiver run fails", archiver(delete_code=2), b"y",
     [(Q, "welcome", "Yes"), (W, lambda w: archiver_failed("d", 2), "OK")], [CLIENT, PACK, "ship/archiver.log"],
     archiver_log(lambda w: ["d", w.game + "/versions/1.6.4-BRAX/1.6.4-BRAX.jar", "META-INF"])),
    ("second archiver run fails", archiver(add_code=7), b"y",
     [(Q, "welcome", "Yes"), (W, lambda w: archiver_failed("a", 7), "OK")], [CLIENT, PACK, "ship/archiver.log"],
     archiver_log(lambda w: ["d", w.game + "/versions/1.6.4-BRAX/1.6.4-BRAX.jar", "META-INF",
                             "a", "-r", w.game + "/versions/1.6.4-BRAX/1.6.4-BRAX.jar", "*"])),
    ("archiver killed by a signal", archiver(delete_code="kill:9"), b"y",
     [(Q, "welcome", "Yes"), (W, lambda w: archiver_failed("d", 137), "OK")], [CLIENT, PACK, "ship/archiver.log"], None),
    ("archiver not startable", lambda w: os.chmod(w.path("ship/7za"), 0o644), b"y",
     [(Q, "welcome", "Yes"), (W, lambda w: archiver_failed("d", -1), "OK")], [CLIENT, PACK], None),
    ("no class folder: -1", missing("ship/1.6.4-BRAX/class"), b"y",
     [(Q, "welcome", "Yes"), (W, lambda w: archiver_failed("a", -1), "OK")], [CLIENT, PACK], None),
    ("earlier install that cannot be removed", failing_rm, b"yy",
     [(Q, "welcome", "Yes"), (Q, "previous BRAX", "Yes"), (W, "not removed", "OK")], ["rm.log"], removal_attempts),
]


class SetupEndToEnd(unittest.TestCase):
    def run_row(self, name, prepare, keys, expected, allowed, check, cwd=None, env=None):
        w = brax.World()
        self.addCleanup(w.cleanup)
        if prepare:
            prepare(w)
        before = brax.snapshot(w.root)
        environment = dict(os.environ, HOME=w.home)
        environment.pop("DISPLAY", None)
        environment.pop("WAYLAND_DISPLAY", None)
        if os.path.isdir(w.path("bin")):
            environment["PATH"] = w.path("bin") + os.pathsep + environment["PATH"]
        environment.update(env or {})
        result = brax.run([os.path.join(w.ship, "Setup")], keys, cwd=cwd or w.root, env=environment)
        self.assertEqual(result.returncode, 0)
        got = brax.boxes(result.stdout)
        want = [(kind, TEXT[text] if isinstance(text, str) else text(w), answer) for kind, text, answer in expected]
        self.assertEqual(got, want, result.stdout.decode(errors="replace"))
        self.assertEqual(brax.outside(brax.changed_paths(before, brax.snapshot(w.root)), allowed), [])
        if check:
            check(self, w)
        return w

    def test_rows(self):
        for row in ROWS:
            with self.subTest(row[0]):
                self.run_row(*row)

    def test_started_from_another_folder(self):
        w = self.run_row("from elsewhere", None, b"y", [(Q, "welcome", "Yes"), (I, "client done", "OK")],
                         [CLIENT, PACK, "elsewhere"], client_installed, cwd="/")
        self.assertFalse(os.path.exists(os.path.join("/", "versions")))

    def test_the_editor_is_started_and_not_waited_for(self):
        w = brax.World()
        self.addCleanup(w.cleanup)
        w.remove("home/.minecraft")
        os.makedirs(w.path("bin"))
        w.write("bin/xdg-open", '#!/bin/sh\necho "$PWD $@" > "{}"\nexec sleep 5\n'.format(w.path("editor.log")))
        os.chmod(w.path("bin/xdg-open"), 0o755)
        environment = dict(os.environ, HOME=w.home, DISPLAY=":99", PATH=w.path("bin") + os.pathsep + os.environ["PATH"])
        started = time.monotonic()
        result = brax.run([os.path.join(w.ship, "Setup")], b"yy", env=environment, timeout=20)
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual([b[1] for b in brax.boxes(result.stdout)], [TEXT["welcome"], TEXT["edit"]])
        for _ in range(100):
            if os.path.exists(w.path("editor.log")) and w.read("editor.log"):
                break
            time.sleep(0.05)
        self.assertEqual(w.read("editor.log"), (w.ship + " setup.ini\n").encode())

    def test_unset_home_means_the_root_game_folder(self):
        w = brax.World()
        self.addCleanup(w.cleanup)
        environment = {k: v for k, v in os.environ.items() if k not in ("HOME", "DISPLAY", "WAYLAND_DISPLAY")}
        result = brax.run([os.path.join(w.ship, "Setup")], b"yn", env=environment)
        self.assertEqual([b[1] for b in brax.boxes(result.stdout)], [TEXT["welcome"], TEXT["edit"]])
        self.assertEqual(w.read(INI), b"minecraft_path=/.minecraft/")


if __name__ == "__main__":
    unittest.main()

"""Setup end to end on Linux: the real program and the real archiver in a
temporary world, its text boxes read from standard output. The rows are the
shared ones of setup_scenarios.py and those below that only Linux has."""
import os
import time
import unittest

import brax
import messages
import setup_scenarios as s
from setup_scenarios import CLIENT, PACK, INI, Q, I, W, welcome, DONE, missing, all_of


class Linux:
    linux = True
    archiver = "7za"
    texts = messages.setup_texts(archiver)
    sep = "/"
    example = b"minecraft_path=<eg. /home/orlander/.minecraft/>"

    @staticmethod
    def name(path):
        return path

    @staticmethod
    def stand_in(w, delete_code, add_code):
        brax.test_archiver(w.ship, delete_code, add_code)

    @staticmethod
    def runs(w, *steps):
        jar = w.game + "/versions/1.6.4-BRAX/1.6.4-BRAX.jar"
        return [arg for step in steps for arg in (["d", jar, "META-INF"] if step == "d" else ["a", "-r", jar, "*"])]


# --- How Linux rows prepare their world ------------------------------------------------
def odd_game_folder(w):
    """A game folder whose path holds spaces and quote characters, named in setup.ini."""
    s.game_named_in_ini(Linux, "My \"Games\" it's/.mine craft")(w)
    s.earlier_install(CLIENT, sibling=True)(w)


def script(w, name, body):
    """A program of the row's own, first on PATH."""
    path = w.write("bin/" + name, "#!/bin/sh\n" + body)
    os.chmod(path, 0o755)


def locked_earlier_install(w):
    """An earlier install owned by root in a world its user (nobody) owns, so
    that the real rm fails; a logging rm in front of it notes each attempt."""
    if os.geteuid() != 0:
        raise unittest.SkipTest("needs root to hand the world to another user")
    script(w, "rm", 'date +%s.%N >> "{}"\nexec /bin/rm "$@"\n'.format(w.path("ship/rm.log")))
    w.prefix = brax.as_user(w)
    s.earlier_install(CLIENT)(w)


def removal_attempts(t, w):
    times = [float(line) for line in w.read("ship/rm.log").split()]
    t.assertEqual(len(times), 3)
    # 100 ms after each attempt, 4000 ms before each repeat.
    for earlier, later in zip(times, times[1:]):
        t.assertGreaterEqual(later - earlier, 4.05)
        t.assertLess(later - earlier, 6.0)
    t.assertGreaterEqual(w.elapsed, 8.3)
    t.assertLess(w.elapsed, 12)


def editor_started(t, w):
    t.assertLess(w.elapsed, 10)  # not waited for: the editor sleeps 5 s
    for _ in range(100):
        if os.path.exists(w.path("ship/editor.log")) and w.read("ship/editor.log"):
            break
        time.sleep(0.05)
    t.assertEqual(w.read("ship/editor.log"), (w.ship + " setup.ini\n").encode())


def start_in(folder):
    return lambda w: setattr(w, "cwd", folder)


EDIT_REFUSED = welcome((Q, "edit", "no"))
NO_CHANGES = (I, "no changes", "ok")
LINUX_ROWS = [
    ("closed input refuses", None, b"", [(Q, "welcome", "no"), NO_CHANGES], [], None),
    ("Enter takes the default, Yes", None, b"\r", welcome(DONE), [CLIENT, PACK], s.client_installed),
    ("other keys are not answers", None, b"xq\nY", welcome(DONE), [CLIENT, PACK], s.client_installed),
    ("earlier install, input ends", s.earlier_install(CLIENT), "y", welcome((Q, "previous BRAX", "no"), NO_CHANGES),
     [], None),
    ("odd characters in the game folder", odd_game_folder, "yy", welcome((Q, "previous BRAX", "yes"), DONE),
     [CLIENT, PACK], s.both(s.client_installed, s.in_game_is(CLIENT + " old/keep.txt", b"sibling"))),
    ("relative game folder in setup.ini", all_of(s.moved_game("ship/portable-mc"),
                                                 s.setup_ini(b"minecraft_path=portable-mc\n")),
     "y", welcome(DONE), [CLIENT, PACK], s.client_installed),
    ("mod and game folder missing: mod first", missing("ship/1.6.4-BRAX", ""), "y", welcome((W, "no source", "ok")),
     [], None),
    ("archiver killed by a signal", lambda w: Linux.stand_in(w, "kill:9", 0), "y",
     welcome((W, lambda w: s.archiver_failed("d", 137), "ok")), [CLIENT, PACK, "ship/archiver.log"], None),
    ("archiver not startable", lambda w: os.chmod(w.path("ship/7za"), 0o644), "y",
     welcome((W, lambda w: s.archiver_failed("d", -1), "ok")), [CLIENT, PACK], None),
    ("earlier install that cannot be removed", locked_earlier_install, "yy",
     welcome((Q, "previous BRAX", "yes"), (W, "not removed", "ok")), ["ship/rm.log"], removal_attempts),
    ("started from another folder", start_in("/"), "y", welcome(DONE), [CLIENT, PACK],
     s.both(s.client_installed, lambda t, w: t.assertFalse(os.path.exists("/versions")))),
    ("the editor is started and not waited for",
     all_of(missing(""), lambda w: script(w, "xdg-open", 'echo "$PWD $@" > "{}"\nexec sleep 5\n'.format(
         w.path("ship/editor.log")))), "yy", welcome((Q, "edit", "yes")), [INI, "ship/editor.log"], editor_started,
     {"DISPLAY": ":99"}),
    ("unset HOME means the root game folder", None, "yn", EDIT_REFUSED, [INI],
     s.ini_is(b"minecraft_path=/.minecraft/"), {"HOME": None}),
]


class SetupEndToEnd(unittest.TestCase):
    maxDiff = None

    def run_row(self, name, prepare, keys, expected, allowed, check, env=None):
        w = brax.World()
        self.addCleanup(w.cleanup)
        if prepare:
            prepare(w)
        before = brax.snapshot(w.root)
        environment = dict(os.environ, HOME=w.home)
        for variable, value in dict({"DISPLAY": None, "WAYLAND_DISPLAY": None}, **(env or {})).items():
            environment.pop(variable, None) if value is None else environment.update({variable: value})
        if os.path.isdir(w.path("bin")):
            environment["PATH"] = w.path("bin") + os.pathsep + environment["PATH"]
        started = time.monotonic()
        result = brax.run(getattr(w, "prefix", []) + [os.path.join(w.ship, "Setup")],
                          keys.encode() if isinstance(keys, str) else keys, cwd=getattr(w, "cwd", w.root),
                          env=environment)
        w.elapsed = time.monotonic() - started
        self.assertEqual(result.returncode, 0)
        want = [(kind.capitalize(), text, "OK" if answer == "ok" else answer.capitalize())
                for kind, text, answer in s.expected_boxes(Linux, w, expected)]
        self.assertEqual(brax.boxes(result.stdout), want, result.stdout.decode(errors="replace"))
        allowed = [s.below(w, a) for a in allowed]
        self.assertEqual(brax.outside(brax.changed_paths(before, brax.snapshot(w.root)), allowed), [])
        if check:
            check(self, w)

    def test_rows(self):
        for row in s.rows(Linux) + LINUX_ROWS:
            with self.subTest(row[0]):
                self.run_row(*row)


if __name__ == "__main__":
    unittest.main()

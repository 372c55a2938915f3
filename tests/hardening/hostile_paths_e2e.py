"""Game folders and program folders whose paths hold shell characters, quotes,
wildcards, a leading "-", bytes that are not UTF-8, or come near the 260-byte
buffers. Every run must either install into exactly that folder or stop with
its message; canaries beside and above the folder survive, and nothing
changes outside the version folder, the resource pack and setup.ini (for
ServerSetup: outside ../1.6.4-BRAX-HDS/).

A row: name, the program, where the odd name goes, the name, and the outcome
("done" or the message the run must end with)."""
import os
import unittest

import harden
from harden import brax, sample_package

NAMES = [
    "with space", "it's", 'say "hi"', "$(touch PWNED)", "`touch PWNED`", "a;touch PWNED",
    "a&touch PWNED", "a|touch PWNED", "%APPDATA%", "-rf", "-rf x", 'back\\slash\\"q\\', "tab\there",
    "a*b?[c]", "caf\u00e9", os.fsdecode(b"\xff\xfe\x80 latin-1 \xe9"), "new\nline",
]
# Where a broken split or quote would land: each prefix of a name up to one
# of these characters gets a canary folder.
SPLITTERS = " '\"$`;&|\\\t*?\n"

# How the odd name enters a run:
#   home    Setup, HOME=<root>/<name>: the game folder is <name>/.minecraft
#   ini     Setup, setup.ini names <root>/<name> as the game folder
#   relini  Setup, setup.ini names the relative game folder <name> (beside the program)
#   ship    the program folder itself is <root>/<name>
ROWS = []
for name in NAMES:
    ROWS.append(("Setup", "home", name, "done"))
    if "\n" not in name:  # a setup.ini value is one line
        ROWS.append(("Setup", "ini", name, "done"))
    ROWS.append(("Setup", "ship", name, "done"))
    ROWS.append(("ServerSetup", "ship", name, "done"))
ROWS += [
    ("Setup", "relini", "-mc", "done"),
    ("Setup", "relini", "-rf x", "done"),
    ("Setup", "relini", "--", "done"),
]


def long_name(w, total, tail):
    """A folder below the world root whose path, with `tail` appended, is
    exactly `total` bytes long (components stay under the 255-byte limit)."""
    base = w.root + "/"
    need = total - len(base) - len(tail)
    parts = []
    while need > 200:
        parts.append("L" * 199)
        need -= 200  # the part and its separator
    parts.append("L" * need)
    return base + "/".join(parts)


# Paths near the 260-byte buffers: the program's own path (a buffer on
# Windows and here) and the game folder (no buffer here: it must just work).
# (program, what is long, length, outcome)
LONG_ROWS = [
    ("Setup", "program path", 258, "done"),
    ("Setup", "program path", 259, "done"),
    ("Setup", "program path", 260, harden.NO_ARCHIVER),  # unreadable: the root is no ship folder
    ("Setup", "program path", 300, harden.NO_ARCHIVER),
    ("ServerSetup", "program path", 259, "done"),
    ("ServerSetup", "program path", 260, harden.SERVER_NO_ARCHIVER),
    ("Setup", "jar path", 259, "done"),
    ("Setup", "jar path", 260, "done"),
    ("Setup", "jar path", 261, "done"),
    ("Setup", "jar path", 1500, "done"),
]


class HostilePaths(unittest.TestCase):
    def world(self):
        w = brax.World(server=False)
        self.addCleanup(w.cleanup)
        return w

    def plant_canaries(self, w, folder):
        """Canaries in the parent of `folder`, in siblings named like the
        pieces a broken split would give, and beside the version folder."""
        parent, leaf = os.path.split(folder)
        os.makedirs(parent, exist_ok=True)
        with open(os.path.join(parent, "canary-parent"), "wb") as f:
            f.write(b"parent")
        for i, c in enumerate(leaf):
            if c in SPLITTERS and i > 0:
                piece = os.path.join(parent, leaf[:i])
                if not os.path.exists(piece):
                    os.makedirs(piece)
                    with open(os.path.join(piece, "canary-sibling"), "wb") as f:
                        f.write(b"sibling")
        sibling = folder + " sibling"
        os.makedirs(sibling, exist_ok=True)
        with open(os.path.join(sibling, "canary-sibling"), "wb") as f:
            f.write(b"sibling")

    def move_game(self, w, folder):
        os.makedirs(os.path.dirname(folder), exist_ok=True)
        os.rename(w.game, folder)
        w.game = folder

    def earlier_install(self, game, edition="1.6.4-BRAX"):
        """An earlier install to be removed (through the shell, for Setup) and a
        sibling of the version folder that must stay."""
        for folder, name in ((edition, edition + ".jar"), (edition + " old", "keep.txt")):
            os.makedirs(os.path.join(game, "versions", folder), exist_ok=True)
            with open(os.path.join(game, "versions", folder, name), "wb") as f:
                f.write(b"old")

    def check_run(self, program, w, keys, outcome, allowed, env=None, label=""):
        start = w.path("start")
        os.makedirs(start, exist_ok=True)
        before = brax.snapshot(w.root)
        result = brax.run([os.path.join(w.ship, program)], keys, cwd=start, env=env or harden.environment(w))
        out = result.stdout.decode(errors="replace")
        self.assertEqual(result.returncode, 0, out)
        if program == "Setup":
            done = harden.SERVER_DONE if os.path.isdir(os.path.join(w.ship, "1.6.4-BRAX-HDS")) else harden.CLIENT_DONE
            kind, text, _ = harden.last_box(result.stdout)
            if outcome == "done":
                self.assertTrue(text.startswith(done), out)
            else:
                self.assertEqual((kind, text), ("Warning", outcome), out)
        else:
            if outcome == "done":
                self.assertIn(harden.BUILT, result.stdout, out)
                self.assertTrue(harden.server_ended_with(result.stdout, harden.HAVE_FUN), out)
            else:
                self.assertTrue(harden.server_ended_with(result.stdout, outcome), out)
        changed = brax.changed_paths(before, brax.snapshot(w.root))
        self.assertEqual(brax.outside(changed, allowed), [], label)
        return result

    def test_odd_names(self):
        for program, where, name, outcome in ROWS:
            with self.subTest(program=program, where=where, name=name):
                self.run_odd(program, where, name, outcome)

    def run_odd(self, program, where, name, outcome):
        w = self.world()
        if program == "ServerSetup":
            sample_package.make_ship_folder(w.ship, [], None, client=False)
        env = None
        keys = b"yy"
        if where == "home":
            home = w.path(name)
            self.plant_canaries(w, home)
            self.move_game(w, os.path.join(home, ".minecraft"))
            w.home = home
        elif where in ("ini", "relini"):
            game = w.path(name) if where == "ini" else os.path.join(w.ship, name)
            self.plant_canaries(w, game)
            self.move_game(w, game)
            with open(os.path.join(w.ship, "setup.ini"), "wb") as f:
                f.write(b"minecraft_path=" + os.fsencode(name if where == "relini" else game) + b"\r\n")
        elif where == "ship":
            ship = w.path(name)
            self.plant_canaries(w, ship)
            os.rename(w.ship, ship)
            w.ship = ship
        if program == "Setup":
            self.earlier_install(w.game)
            target = os.path.join(w.game, *harden.CLIENT_TARGET)
            allowed = [os.path.relpath(p, w.root) for p in
                       (target, os.path.join(w.game, *harden.PACK), os.path.join(w.ship, "setup.ini"))]
        else:
            target = w.path("1.6.4-BRAX-HDS")
            os.makedirs(target)
            with open(os.path.join(target, "1.6.4-BRAX-HDS.jar"), "wb") as f:
                f.write(b"old jar")
            with open(w.path("1.6.4-BRAX-HDS old"), "wb") as f:
                f.write(b"sibling")
            allowed = ["1.6.4-BRAX-HDS"]
        self.check_run(program, w, keys, outcome, allowed, env=env or harden.environment(w))
        if outcome == "done":
            if program == "Setup":
                self.assertTrue(harden.jar_is(os.path.join(target, "1.6.4-BRAX.jar"), sample_package.CLIENT_CLASSES))
                self.assertEqual(sorted(os.listdir(target)), ["1.6.4-BRAX.jar", "1.6.4-BRAX.json"])
            else:
                self.assertTrue(harden.jar_is(os.path.join(target, "1.6.4-BRAX-HDS.jar"), sample_package.SERVER_CLASSES))

    def test_long_paths(self):
        for program, what, length, outcome in LONG_ROWS:
            with self.subTest(program=program, what=what, length=length):
                w = self.world()
                if program == "ServerSetup":
                    sample_package.make_ship_folder(w.ship, [], None, client=False)
                if what == "program path":
                    ship = long_name(w, length, "/" + program)
                    os.makedirs(os.path.dirname(ship), exist_ok=True)
                    os.rename(w.ship, ship)
                    w.ship = ship
                    self.assertEqual(len(os.fsencode(os.path.join(ship, program))), length)
                    allowed = [os.path.relpath(p, w.root) for p in
                               (os.path.join(w.game, *harden.CLIENT_TARGET), os.path.join(w.game, *harden.PACK),
                                os.path.join(ship, "setup.ini"), os.path.join(os.path.dirname(ship), "1.6.4-BRAX-HDS"))]
                else:
                    tail = "/versions/1.6.4-BRAX/1.6.4-BRAX.jar"
                    game = long_name(w, length, tail)
                    self.move_game(w, game)
                    self.assertEqual(len(os.fsencode(game + tail)), length)
                    with open(os.path.join(w.ship, "setup.ini"), "wb") as f:
                        f.write(b"minecraft_path=" + os.fsencode(game))
                    allowed = [os.path.relpath(p, w.root) for p in
                               (os.path.join(game, *harden.CLIENT_TARGET), os.path.join(game, *harden.PACK))]
                self.check_run(program, w, b"yy", outcome, allowed)


if __name__ == "__main__":
    unittest.main()

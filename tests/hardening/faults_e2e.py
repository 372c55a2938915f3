"""Faults around the programs, each one row run by one driver: a setup.ini
that is huge, binary, a folder, unreadable, a device or a fifo; an archiver
that is killed or meets a jar that is no zip; a target that is read-only,
full or over the file-size limit; an earlier install that cannot be removed.

A row: name, program, prepare(test, world) -> options, outcome ("done", or
the text the run must end with, or a function of the world giving it, or
"delete failed": the first archiver run's message with any code but 0).
Options: "keys" (default y twice), "prefix" (a command put in front of the
program: another user, a file-size limit), "check" (test, world, seconds)."""
import os
import random
import subprocess
import time
import unittest
import zipfile

import harden
from harden import brax, sample_package

CLIENT, SERVER = "client", "server"
MOUNT_OK = os.geteuid() == 0 and harden.can_mount()
MOUNT_REASON = "this sandbox does not allow mount -t tmpfs"


# --- Preparing a world -------------------------------------------------------------
def ini(content):
    def prepare(t, w):
        with open(os.path.join(w.ship, "setup.ini"), "wb") as f:
            f.write(content(w) if callable(content) else content)
    return prepare


def moved_game(w):
    """Moves the game folder away from HOME and gives the line naming it."""
    elsewhere = w.path("elsewhere", ".minecraft")
    os.makedirs(os.path.dirname(elsewhere))
    os.rename(w.game, elsewhere)
    w.game = elsewhere
    return b"minecraft_path=" + elsewhere.encode()


def huge_ini_key_last(t, w):
    line = b"#" * 1023 + b"\n"
    with open(os.path.join(w.ship, "setup.ini"), "wb") as f:
        for _ in range(100):
            f.write(line * 1024)  # 100 MB of lines that carry no key
        f.write(moved_game(w) + b"\n")


def huge_ini_one_line(t, w):
    with open(os.path.join(w.ship, "setup.ini"), "wb") as f:
        f.truncate(100 * 1024 * 1024)  # 100 MB of zero bytes, no line end


def binary_ini(t, w):
    noise = random.Random(7).randbytes(1 << 20)
    with open(os.path.join(w.ship, "setup.ini"), "wb") as f:
        f.write(noise.replace(b"=", b"-"))


def link_ini(target):
    def prepare(t, w):
        if target == "fifo":
            os.mkfifo(w.path("fifo"))
            os.symlink(w.path("fifo"), os.path.join(w.ship, "setup.ini"))
        else:
            os.symlink(target, os.path.join(w.ship, "setup.ini"))
    return prepare


def fifo_ini(t, w):
    os.mkfifo(os.path.join(w.ship, "setup.ini"))


def folder_ini(t, w):
    os.makedirs(os.path.join(w.ship, "setup.ini", "minecraft_path=nowhere"))


def unreadable_ini_for_nobody(t, w):
    path = os.path.join(w.ship, "setup.ini")
    with open(path, "wb") as f:
        f.write(b"minecraft_path=/nowhere\n")
    prefix = harden.as_user(w)
    os.chmod(path, 0)
    return {"prefix": prefix}


def archiver(delete_code=0, add_code=0):
    def prepare(t, w):
        brax.test_archiver(w.ship, delete_code, add_code)
    return prepare


def vanilla_jar(content):
    """The vanilla jar replaced (both the game's and the one beside ServerSetup)."""
    def prepare(t, w):
        for jar in (os.path.join(w.game, "versions", "1.6.4", "1.6.4.jar"), os.path.join(w.ship, "1.6.4.jar")):
            with open(jar, "wb") as f:
                f.write(content)
    return prepare


def archiver_code_for(content):
    """What the real archiver itself says to `d JAR META-INF` on such a jar."""
    def outcome(w):
        probe = w.path("probe.jar")
        with open(probe, "wb") as f:
            f.write(content)
        code = subprocess.run([brax.ARCHIVER, "d", probe, "META-INF"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=30).returncode
        os.remove(probe)
        assert code != 0
        return harden.delete_failed(code)
    return outcome


def big_vanilla_jar(size=300 * 1024):
    """A valid vanilla jar of about `size` bytes (one stored random entry)."""
    def write(path):
        entries = dict(sample_package.VANILLA_ENTRIES)
        with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as jar:
            for name, content in entries.items():
                jar.writestr(name, content)
            jar.writestr("assets/noise.bin", random.Random(3).randbytes(size))
    return write


def big_jars(w):
    write = big_vanilla_jar()
    write(os.path.join(w.game, "versions", "1.6.4", "1.6.4.jar"))
    write(os.path.join(w.ship, "1.6.4.jar"))


def big_class(w, edition):
    folder = os.path.join(w.ship, "1.6.4-BRAX" if edition == CLIENT else "1.6.4-BRAX-HDS", "class", "brax")
    with open(os.path.join(folder, "Big.class"), "wb") as f:
        f.write(random.Random(5).randbytes(200 * 1024))


def small_target(program, size, read_only=False, archiver_room=False):
    """The folder the copy goes into is a tmpfs of `size`: for Setup the game's
    versions folder (vanilla install copied onto it), for ServerSetup the
    server folder."""
    def prepare(t, w):
        if not MOUNT_OK:
            t.skipTest(MOUNT_REASON)
        big_jars(w)
        folder = os.path.join(w.game, "versions") if program == "Setup" else w.path("1.6.4-BRAX-HDS")
        harden.mount_tmpfs(t, folder, size)
        if read_only:
            harden.make_read_only(folder)
    return prepare


def size_limit(limit, with_big_class=False, edition=CLIENT):
    def prepare(t, w):
        big_jars(w)
        if with_big_class:
            big_class(w, edition)
        return {"prefix": harden.file_size_limit(limit)}
    return prepare


def locked_earlier_install(edition):
    """An earlier install owned by root, in a world its user (nobody) owns:
    neither the folder nor the jar in it can go."""
    def prepare(t, w):
        if os.geteuid() != 0:
            t.skipTest("needs root to hand the world to another user")
        if edition == "ServerSetup":
            target = w.path("1.6.4-BRAX-HDS")
            jar = "1.6.4-BRAX-HDS.jar"
        else:
            name = "1.6.4-BRAX-HDS" if edition == SERVER else "1.6.4-BRAX"
            target = os.path.join(w.game, "versions", name)
            jar = name + ".jar"
        prefix = harden.as_user(w)
        os.makedirs(target)
        for name in (jar, "old-extra.txt"):
            with open(os.path.join(target, name), "wb") as f:
                f.write(b"old")
        return {"prefix": prefix}
    return prepare


def held_open(edition):
    """An earlier jar that another process holds open: on Linux that stops no
    removal."""
    def prepare(t, w):
        if edition == "ServerSetup":
            target, jar = w.path("1.6.4-BRAX-HDS"), "1.6.4-BRAX-HDS.jar"
        else:
            target, jar = os.path.join(w.game, "versions", "1.6.4-BRAX"), "1.6.4-BRAX.jar"
        os.makedirs(target)
        with open(os.path.join(target, jar), "wb") as f:
            f.write(b"old")
        holder = subprocess.Popen(["sleep", "60"], stdin=open(os.path.join(target, jar), "rb"))
        t.addCleanup(lambda: (holder.kill(), holder.wait()))
    return prepare


def server_edition(prepare=None):
    def both(t, w):
        sample_package.make_ship_folder(w.ship, [], None, client=False)
        brax.shutil.rmtree(os.path.join(w.ship, "1.6.4-BRAX"))
        return prepare(t, w) if prepare else None
    return both


# --- Further checks ----------------------------------------------------------------
def no_half_copy(program):
    """A copy that failed leaves no half-written jar."""
    def check(t, w, seconds):
        jar = (os.path.join(w.game, "versions", "1.6.4-BRAX", "1.6.4-BRAX.jar") if program == "Setup"
               else w.path("1.6.4-BRAX-HDS", "1.6.4-BRAX-HDS.jar"))
        t.assertFalse(os.path.exists(jar), jar)
    return check


def attempts(low, high):
    """The removal, all its attempts, took `low` to `high` seconds."""
    def check(t, w, seconds):
        t.assertGreaterEqual(seconds, low)
        t.assertLess(seconds, high)
    return check


NOT_A_ZIP = b"this is no zip archive\n" * 50
S, SS = "Setup", "ServerSetup"

# name, program, prepare, outcome, check
ROWS = [
    # setup.ini: whatever it is, no hang, no crash, and the game folder the rules give
    ("setup.ini of 100 MB, the key on its last line", S, huge_ini_key_last, "done", None),
    ("setup.ini of 100 MB in one line: the default", S, huge_ini_one_line, "done", None),
    ("binary setup.ini: the default", S, binary_ini, "done", None),
    ("binary bytes around the key", S,
     ini(lambda w: b"\x00\xff\x1b[A\r\n" + moved_game(w) + b"\r\n\x00\xfe=\xff\n"), "done", None),
    ("setup.ini is a folder: the default", S, folder_ini, "done", None),
    ("setup.ini unreadable (a link to /proc/self/mem): the default", S, link_ini("/proc/self/mem"), "done", None),
    ("setup.ini unreadable for its user: the default", S, unreadable_ini_for_nobody, "done", None),
    ("setup.ini links to /dev/zero: the default", S, link_ini("/dev/zero"), "done", None),
    ("setup.ini links to /dev/urandom: the default", S, link_ini("/dev/urandom"), "done", None),
    ("setup.ini links to /dev/null: the default", S, link_ini("/dev/null"), "done", None),
    ("setup.ini is a fifo: the default", S, fifo_ini, "done", None),
    ("setup.ini links to a fifo: the default", S, link_ini("fifo"), "done", None),
    ("setup.ini is a dangling link: the default", S, link_ini("/nowhere/setup.ini"), "done", None),
    # archiver killed: 128 + the signal, never success
    ("Setup: archiver killed by SIGTERM on d", S, archiver(delete_code="kill:15"), harden.delete_failed(143), None),
    ("Setup: archiver killed by SIGSEGV on a", S, archiver(add_code="kill:11"), harden.add_failed(139), None),
    ("ServerSetup: archiver killed by SIGABRT on a", SS, archiver(add_code="kill:6"), harden.add_failed(134), None),
    # a vanilla jar that is no zip: the real archiver's own code
    ("Setup: vanilla jar is no zip", S, vanilla_jar(NOT_A_ZIP), archiver_code_for(NOT_A_ZIP), None),
    ("Setup: vanilla jar is empty", S, vanilla_jar(b""), archiver_code_for(b""), None),
    ("ServerSetup: vanilla jar is no zip", SS, vanilla_jar(NOT_A_ZIP), archiver_code_for(NOT_A_ZIP), None),
    # read-only, full, over the limit: the copy-failure message, never success
    ("Setup: read-only versions folder", S, small_target(S, "4m", read_only=True),
     lambda w: harden.copy_failed(w.game + "/versions/1.6.4/1.6.4.jar", w.game + "/versions/1.6.4-BRAX/1.6.4-BRAX.jar"),
     None),
    ("ServerSetup: read-only server folder", SS, small_target(SS, "4m", read_only=True),
     harden.copy_failed("1.6.4.jar", "../1.6.4-BRAX-HDS/1.6.4-BRAX-HDS.jar"), None),
    ("Setup: full versions folder", S, small_target(S, "400k"),
     lambda w: harden.copy_failed(w.game + "/versions/1.6.4/1.6.4.jar", w.game + "/versions/1.6.4-BRAX/1.6.4-BRAX.jar"),
     no_half_copy(S)),
    ("ServerSetup: full server folder", SS, small_target(SS, "128k"),
     harden.copy_failed("1.6.4.jar", "../1.6.4-BRAX-HDS/1.6.4-BRAX-HDS.jar"), no_half_copy(SS)),
    ("ServerSetup: room for the copy, none for the archiver", SS, small_target(SS, "480k"),
     "delete failed", None),
    ("Setup: copy over the file-size limit", S, size_limit(100 * 1024),
     lambda w: harden.copy_failed(w.game + "/versions/1.6.4/1.6.4.jar", w.game + "/versions/1.6.4-BRAX/1.6.4-BRAX.jar"),
     no_half_copy(S)),
    ("ServerSetup: copy over the file-size limit", SS, size_limit(100 * 1024),
     harden.copy_failed("1.6.4.jar", "../1.6.4-BRAX-HDS/1.6.4-BRAX-HDS.jar"), no_half_copy(SS)),
    ("ServerSetup: archiver over the file-size limit", SS, size_limit(400 * 1024, True, SERVER),
     harden.add_failed(128 + 25), None),
    # an earlier install that cannot be removed: the pauses, the message
    ("Setup: server jar that cannot be removed", S, server_edition(locked_earlier_install(SERVER)),
     harden.NOT_REMOVED, attempts(8.3, 12)),
    ("ServerSetup: server jar that cannot be removed", SS, locked_earlier_install(SS), harden.JAR_NOT_REMOVED,
     attempts(4.2, 7)),
    ("Setup: an earlier jar held open goes all the same", S, held_open(S), "done", None),
    ("ServerSetup: an earlier jar held open goes all the same", SS, held_open(SS), "done", None),
]


class Faults(unittest.TestCase):
    def test_rows(self):
        for name, program, prepare, outcome, check in ROWS:
            with self.subTest(name):
                self.run_row(program, prepare, outcome, check)

    def run_row(self, program, prepare, outcome, check):
        w = brax.World(server=program == SS)
        self.addCleanup(w.cleanup)
        options = prepare(self, w) or {}
        start = w.path("start")
        os.makedirs(start, exist_ok=True)
        os.chmod(start, 0o777)
        if callable(outcome):
            outcome = outcome(w)
        server = program == SS or not os.path.isdir(os.path.join(w.ship, "1.6.4-BRAX"))
        if program == SS:
            allowed = ["1.6.4-BRAX-HDS"]
        else:
            allowed = [os.path.relpath(os.path.join(w.game, *(harden.SERVER_TARGET if server else harden.CLIENT_TARGET)),
                                       w.root), os.path.relpath(os.path.join(w.game, *harden.PACK), w.root)]
        allowed += ["ship/archiver.log"]
        env = harden.environment(w)
        before = brax.snapshot(w.root)
        began = time.monotonic()
        result = brax.run(options.get("prefix", []) + [os.path.join(w.ship, program)], options.get("keys", b"yy"),
                          cwd=start, env=env, timeout=120)
        seconds = time.monotonic() - began
        out = result.stdout.decode(errors="replace")
        self.assertEqual(result.returncode, 0, out)
        if program == S:
            kind, text, _ = harden.last_box(result.stdout)
            if outcome == "done":
                self.assertEqual(kind, "Information", out)
                self.assertTrue(text.startswith(harden.SERVER_DONE if server else harden.CLIENT_DONE), out)
            else:
                self.assertEqual((kind, text), ("Warning", outcome), out)
        elif outcome == "done":
            self.assertIn(harden.BUILT, result.stdout, out)
            self.assertTrue(harden.server_ended_with(result.stdout, harden.HAVE_FUN), out)
        elif outcome == "delete failed":  # whatever code the archiver gives for a full disk, but not 0
            code = result.stdout.rsplit(b"Error code: ", 1)[-1].split(b"\r\n")[0]
            self.assertNotEqual(code, b"0", out)
            self.assertTrue(harden.server_ended_with(result.stdout, harden.delete_failed(int(code))), out)
        else:
            self.assertTrue(harden.server_ended_with(result.stdout, outcome), out)
        self.assertEqual(brax.outside(brax.changed_paths(before, brax.snapshot(w.root)), allowed), [])
        if outcome == "done" and program == S:
            target = os.path.join(w.game, *(harden.SERVER_TARGET if server else harden.CLIENT_TARGET))
            jar = os.path.join(target, os.path.basename(target) + ".jar")
            self.assertTrue(harden.jar_is(jar, sample_package.SERVER_CLASSES if server else sample_package.CLIENT_CLASSES))
        if check:
            check(self, w, seconds)


if __name__ == "__main__":
    unittest.main()

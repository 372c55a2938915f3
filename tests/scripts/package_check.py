"""scripts/package's check of a distributor's mod folder, one row a broken folder: the exit code, the line that
names the file, nothing written to --out, all in seconds. Error rows run the whole package too, which must stop
before it builds anything. Every path is given relative to the folder package starts in."""
import os
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))
import sample_package as sp  # noqa: E402

PACKAGE = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "package")
C, H = "mod/1.6.4-BRAX/", "mod/1.6.4-BRAX-HDS/"


def gone(*paths):
    return lambda: [shutil.rmtree(p) if os.path.isdir(p) else os.remove(p) for p in paths]


def put(path, content=b"x"):
    def make():
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
    return make


def emptied(path):
    return lambda: (shutil.rmtree(path), os.mkdir(path))


def renamed(path, to):
    return lambda: os.rename(path, to)


def node(path, kind):
    def make():
        if kind == "socket":
            with socket.socket(socket.AF_UNIX) as s:
                s.bind(path)
        elif kind == "link":
            os.symlink("/etc/hostname", path)
        else:
            os.mknod(path, 0o644 | kind, os.makedev(1, 3))
    return make


# name, what breaks the folder, "error" or "warning", the start of the line's path below the folder package starts in
ROWS = [
    ("neither edition", gone("mod/1.6.4-BRAX", "mod/1.6.4-BRAX-HDS"), "error", "mod/ holds neither"),
    *[("missing " + p, gone(p), "error", p) for p in [C + "class", C + "1.6.4-BRAX.json", C + "BRAX Resource Pack "
      "1.6.4.zip", H + "class", H + "run.bat", H + "bash_scripts.zip", H + "bash_scripts.tar"]],
    ("edition folder in other letter case", renamed("mod/1.6.4-BRAX", "mod/1.6.4-brax"), "error", "mod/1.6.4-brax"),
    ("class folder in other letter case", renamed(H + "class", H + "Class"), "error", H + "Class"),
    ("script in other letter case", renamed(H + "run.bat", H + "Run.bat"), "error", H + "Run.bat"),
    *[("a %s" % what, node(C + "class/brax/odd", kind), "error", C + "class/brax/odd is a")
      for what, kind in [("link", "link"), ("fifo", stat.S_IFIFO), ("device", stat.S_IFCHR), ("socket", "socket")]],
    ("another folder at the top", put("mod/.git/HEAD"), "error", "mod/.git is a folder"),
    ("a top file with a name the downloads have", put("mod/README.txt"), "error", "mod/README.txt"),
    ("empty class folder", emptied(C + "class"), "warning", C + "class/ is empty"),
    *[("%s in class" % n, put(C + "class/brax/" + n + ("/x" if n in (".git", ".svn") else "")), "warning",
       C + "class/brax/" + n) for n in [".git", ".svn", ".DS_Store", "Thumbs.db", "desktop.ini", "Overhaul.class~"]],
    ("version file not JSON", put(C + "1.6.4-BRAX.json", b"{id: 1}"), "warning", C + "1.6.4-BRAX.json is not JSON"),
    ("version file with another id", put(C + "1.6.4-BRAX.json", b'{"id": "1.6.4"}'), "warning",
     C + '1.6.4-BRAX.json has no "id"'),
    ("resource pack not a zip", put(C + "BRAX Resource Pack 1.6.4.zip"), "warning", C + "BRAX Resource Pack 1.6.4.zip"),
    ("resource pack without pack.mcmeta", put(C + "BRAX Resource Pack 1.6.4.zip", sp.archive_bytes("zip", {
        "assets/x": b"x"})), "warning", C + "BRAX Resource Pack 1.6.4.zip has no pack.mcmeta"),
    ("bash_scripts.zip not a zip", put(H + "bash_scripts.zip", sp.SERVER_SCRIPTS["bash_scripts.tar"]), "warning",
     H + "bash_scripts.zip is not a zip"),
    ("bash_scripts.tar not a tar", put(H + "bash_scripts.tar", b"x" * 600), "warning", H + "bash_scripts.tar is not a tar"),
]


class PackageCheck(unittest.TestCase):
    def run_package(self, *args):
        started = time.monotonic()
        r = subprocess.run([PACKAGE, *args], cwd=self.folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True, timeout=60)
        self.assertLess(time.monotonic() - started, 10, r.stdout)
        self.assertFalse(os.path.exists(os.path.join(self.folder, "out")), "written: " + r.stdout)
        return r

    def test_rows(self):
        for name, breaks, level, names in [("a sound mod", lambda: None, None, None)] + ROWS:
            with self.subTest(name):
                self.folder = tempfile.mkdtemp(prefix="brax-check-")
                self.addCleanup(shutil.rmtree, self.folder, True)
                os.chdir(self.folder)
                sp.make_ship_folder("mod", [], None)
                os.remove("mod/1.6.4.jar")
                breaks()
                r = self.run_package("--check", "--mod", "mod", "--out", "out")
                lines = [line for line in r.stdout.splitlines() if line.startswith(("error: ", "warning: "))]
                self.assertEqual(r.returncode, 1 if level == "error" else 0, r.stdout)
                self.assertEqual(len(lines), 1 if level else 0, r.stdout)
                if level:
                    self.assertTrue(lines[0].startswith("%s: %s/%s" % (level, self.folder, names)), r.stdout)
                if level == "error":
                    r = self.run_package("--mod", "mod", "--version", "1.0", "--out", "out")
                    self.assertIn(lines[0] + "\npackage: nothing written", r.stdout)
                    self.assertEqual(r.returncode, 1, r.stdout)

    def test_options(self):
        self.folder = tempfile.mkdtemp(prefix="brax-check-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        for args, text in [([], "--mod FOLDER"), (["--mod", "m"], "--version V"), (["--mod", "m", "--version", "1 0"],
                           "letters, digits"), (["--check", "--mod", "m"], self.folder + "/m is not a folder")]:
            with self.subTest(" ".join(args)):
                r = self.run_package(*args, "--out", "out")
                self.assertIn(text, r.stdout)
                self.assertEqual(r.returncode, 1, r.stdout)


if __name__ == "__main__":
    unittest.main()

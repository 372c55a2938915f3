"""scripts/package's check of a mod folder, one row a broken folder: the exit code, the line naming the file, nothing
written to --out, in seconds. Error rows run the whole package too, which must stop before it builds anything."""
import hashlib
import os
import pathlib
import re
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
C, H, E, W = "mod/1.6.4-BRAX/", "mod/1.6.4-BRAX-HDS/", "error", "warning"
PACK = C + "BRAX Resource Pack 1.6.4.zip"


def alter(changes):  # each ("gone", PATH), ("put", PATH[, BYTES]), ("move", PATH, NEW) or ("node", PATH, KIND)
    for verb, path, *more in changes:
        if verb == "gone" and os.path.isdir(path):
            shutil.rmtree(path)
        elif verb == "gone":
            os.remove(path)
        elif verb == "put":
            os.makedirs(os.path.dirname(path), exist_ok=True)
            pathlib.Path(path).write_bytes(more[0] if more else b"x")
        elif verb == "move":
            os.rename(path, more[0])
        elif more[0] == "link":
            os.symlink("/etc/hostname", path)
        elif more[0] == "socket":
            socket.socket(socket.AF_UNIX).bind(path)
        else:  # what mknod makes of a kind
            os.mknod(path, 0o644 | more[0], os.makedev(1, 3))


# name, the changes that break the folder, "error" or "warning", the start of the path in the line
ROWS = [
    ("neither edition", [("gone", "mod/1.6.4-BRAX"), ("gone", "mod/1.6.4-BRAX-HDS")], E, "mod/ holds neither"),
    *[("missing " + p, [("gone", p)], E, p) for p in [C + "class", C + "1.6.4-BRAX.json", PACK, H + "class",
                                                      H + "run.bat", H + "bash_scripts.zip", H + "bash_scripts.tar"]],
    *[("%s in other letter case" % p, [("move", p, q)], E, q) for p, q in [
        ("mod/1.6.4-BRAX", "mod/1.6.4-brax"), (H + "class", H + "Class"), (H + "run.bat", H + "Run.bat")]],
    *[("a %s" % what, [("node", C + "class/brax/odd", kind)], E, C + "class/brax/odd is a")
      for what, kind in [("link", "link"), ("fifo", stat.S_IFIFO), ("device", stat.S_IFCHR), ("socket", "socket")]],
    ("another folder at the top", [("put", "mod/.git/HEAD")], E, "mod/.git is a folder"),
    ("a top file with a name the downloads have", [("put", "mod/README.txt")], E, "mod/README.txt"),
    ("empty class", [("gone", C + "class"), ("put", C + "class/brax/x"), ("gone", C + "class/brax/x")], W,
     C + "class/ is empty"),
    *[("%s in class" % n, [("put", C + "class/brax/" + n + "/x" * (n in (".git", ".svn")))], W, C + "class/brax/" + n)
      for n in [".git", ".svn", ".DS_Store", "Thumbs.db", "desktop.ini", "Overhaul.class~"]],
    *[("version file " + what, [("put", C + "1.6.4-BRAX.json", text)], level, "%s1.6.4-BRAX.json %s" % (C, said))
      for what, text, level, said in [
          ("not JSON", b"{id: 1}", E, "is not JSON"), ("a list", b'["1.6.4-BRAX"]', E, "is not a JSON object"),
          ("with another id", b'{"id": "1.6.4"}', E, 'has no "id"'),
          *[("with " + key, b'{"id": "1.6.4-BRAX", "%s": "1.6.4"}' % key.encode(), E, 'has a top-level "%s"' % key)
            for key in ["downloads", "jar", "inheritsFrom"]],
          ("released after 1.6.4", b'{"id": "1.6.4-BRAX", "releaseTime": "2013-09-19T15:52:38Z"}', W,
           'has a "releaseTime" later'),
          ("released at 1.6.4's instant", b'{"id": "1.6.4-BRAX", "releaseTime": "2013-09-19T17:52:37+02:00"}',
           None, None)]],
    *[("a jar signature " + n, [("put", n)], E, n) for n in [C + "class/META-INF/CERT.SF", H + "class/META-INF/k.rsa"]],
    *[("a top file named " + n, [("put", "mod/" + n)], E, "mod/%s would make" % n) for n in [
        "pack.mcmeta", "pack.txt", "mcmod.info", "fabric.mod.json", "quilt.mod.json", "level.dat", "instance.cfg",
        "mmc-pack.json", "manifest.json", "modrinth.index.json"]],
    ("resource pack not a zip", [("put", PACK)], W, PACK + " is not a zip"),
    ("no pack.mcmeta", [("put", PACK, sp.archive_bytes("zip", {"x": b"x"}))], W, PACK + " has no pack.mcmeta"),
    ("bash_scripts.zip not a zip", [("put", H + "bash_scripts.zip", sp.SERVER_SCRIPTS["bash_scripts.tar"])], W,
     H + "bash_scripts.zip is not a zip"),
    ("bash_scripts.tar not a tar", [("put", H + "bash_scripts.tar", b"x" * 600)], W,
     H + "bash_scripts.tar is not a tar"),
]


class PackageCheck(unittest.TestCase):
    def run_package(self, *args):
        started, before = time.monotonic(), self.out()
        r = subprocess.run([PACKAGE, *args], cwd=self.folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True, timeout=60)
        self.assertLess(time.monotonic() - started, 10, r.stdout)
        self.assertEqual(self.out(), before, "written: " + r.stdout)
        return r

    def out(self):
        out = pathlib.Path(self.folder, "out")
        return out.is_dir() and {f.name: f.read_bytes() for f in out.iterdir()}

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="brax-check-")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def test_rows(self):
        for name, changes, level, names in [("a sound mod", [], None, None)] + ROWS:
            with self.subTest(name):
                self.setUp()
                os.chdir(self.folder)
                sp.make_ship_folder("mod", [], None)
                os.remove("mod/1.6.4.jar")
                alter(changes)
                r = self.run_package("--check", "--mod", "mod", "--out", "out")
                lines = [line for line in r.stdout.splitlines() if line.startswith(("error: ", "warning: "))]
                self.assertEqual((r.returncode, len(lines)), (int(level == E), int(level is not None)), r.stdout)
                if level:
                    self.assertTrue(lines[0].startswith("%s: %s/%s" % (level, self.folder, names)), r.stdout)
                if level == "error":
                    r = self.run_package("--mod", "mod", "--version", "1.0", "--out", "out")
                    self.assertIn(lines[0] + "\npackage: nothing written", r.stdout)
                    self.assertEqual(r.returncode, 1, r.stdout)

    def test_out(self):  # anything but a release of this version made here: each file named, nothing built
        for title, named in [("1.0", ["notes.txt"]), ("0.9", ["BRAX-1.0-client-prism.zip", "RELEASE.md", "SHA256SUMS",
                                                              "notes.txt"])]:
            with self.subTest(title):
                self.setUp()
                files = {"BRAX-1.0-client-prism.zip": b"zip", "RELEASE.md": b"# BRAX %s\n" % title.encode()}
                sums = "".join("%s  %s\n" % (hashlib.sha256(b).hexdigest(), n) for n, b in files.items())
                for name, data in dict(files, SHA256SUMS=sums.encode(), **{"notes.txt": b"mine"}).items():
                    pathlib.Path(self.folder, "out").mkdir(exist_ok=True)
                    pathlib.Path(self.folder, "out", name).write_bytes(data)
                sp.make_ship_folder(os.path.join(self.folder, "mod"), [], None)
                r = self.run_package("--mod", "mod", "--version", "1.0", "--out", "out")
                self.assertEqual(re.findall(r"package: (.*) is in the way", r.stdout),
                                 ["%s/out/%s" % (self.folder, n) for n in named], r.stdout)
                self.assertEqual(r.returncode, 1, r.stdout)

    def test_options(self):
        for args, text in [([], "--mod FOLDER"), (["--mod", "m"], "--version V"), (["--mod", "m", "--version", "1 0"],
                           "letters, digits"), (["--check", "--mod", "m"], self.folder + "/m is not a folder"),
                          *[(["--mod", "m", "--version", "1", option, value], text) for option, value, text in [
                              ("--notes", "none.md", "none.md: not a UTF-8 text file"), ("--homepage",
                               "http://example.org", "plain https://"), ("--server-start", "it's", "without '")]]]:
            with self.subTest(" ".join(args)):
                r = self.run_package(*args, "--out", "out")
                self.assertIn(text, r.stdout)
                self.assertEqual(r.returncode, 1, r.stdout)


if __name__ == "__main__":
    unittest.main()

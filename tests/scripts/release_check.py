"""release_check.py RELEASE MOD VERSION NOTES HOMEPAGE: what scripts/package wrote for MOD: each download's entries and
bytes, its README's edition, platform and last line, SHA256SUMS and RELEASE.md over every file, the licences, the 7-Zip
source; every download the texts name, the notes and the homepage; and every command line of the Linux READMEs run
as printed, from the download to an installed client and a server with its service unit."""
import hashlib
import os
import shutil
import pathlib
import re
import subprocess
import sys
import tarfile
import tempfile
import unittest
import zipfile

import sample_package as sp

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
MACHINES = subprocess.run([os.path.join(ROOT, "scripts", "machines"), "name"], stdout=subprocess.PIPE, text=True,
                          check=True).stdout.split()
RELEASE, MOD, VERSION, NOTES, HOMEPAGE = sys.argv[1:6]
INSTALLERS = re.search(r"project\(\w+ VERSION ([0-9.]+)", pathlib.Path(ROOT, "CMakeLists.txt").read_text()).group(1)


def read_archive(path):
    """Entry name -> bytes (None for a folder), as for the mod's files below."""
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            return {i.filename.rstrip("/"): None if i.is_dir() else z.read(i) for i in z.infolist()}
    with tarfile.open(path) as t:
        return {m.name: None if m.isdir() else t.extractfile(m).read() for m in t.getmembers()}


class Release(unittest.TestCase):
    maxDiff = None

    def test_downloads(self):
        release, mod, version = RELEASE, MOD, VERSION
        downloads = ["BRAX-%s-%s" % (version, d) for d in ["client-windows.zip", "client-linux-x86_64.tar.gz",
                     "server-windows.zip"] + ["server-linux-%s.tar.gz" % m for m in MACHINES]]
        mine = {f.name: f.read_bytes() for f in pathlib.Path(mod).iterdir() if f.is_file()}  # the mod's own files
        for download in downloads:
            with self.subTest(download):
                folder = re.sub(r"\.(zip|tar\.gz)$", "", download)
                audience, windows = folder.split("-")[2], folder.split("-")[3] == "windows"
                edition = "1.6.4-BRAX" if audience == "client" else "1.6.4-BRAX-HDS"
                programs = ["Setup", "7za"] + (["ServerSetup"] if audience == "server" else [])
                entries = read_archive(os.path.join(release, download))
                names = [p + ".exe" * windows for p in programs] + ["README.txt", "LICENSE", "7za-LICENSE.txt"] + \
                    ["brax-server.service"] * (audience == "server" and not windows)
                ours = {n: entries.get(folder + "/" + n) for n in names}
                tree = {os.path.relpath(os.path.join(h, n), mod): None if n in d else pathlib.Path(h, n).read_bytes()
                        for h, d, f in os.walk(os.path.join(mod, edition)) for n in d + f}
                expected = {folder + "/" + n: b for n, b in {**tree, edition: None, **mine, **ours}.items()}
                self.assertEqual(entries, dict(expected, **{folder: None}))
                self.assertEqual(entries[folder + "/LICENSE"], pathlib.Path(ROOT, "LICENSE").read_bytes())
                readme = entries[folder + "/README.txt"].decode()
                self.assertEqual(("\r\n" in readme, readme.isascii() or not windows), (windows, True))
                self.assertIn(("server edition for " if audience == "server" else "for players on ") +
                              ("Windows" if windows else "Linux"), readme)
                self.assertIn(HOMEPAGE, readme)
                self.assertEqual("tar -xzf " + download in readme, not windows)
                self.assertEqual(readme.splitlines()[-1], "BRAX installers " + INSTALLERS)
                self.assertIn("License.txt", entries[folder + "/7za-LICENSE.txt"].decode())
        sums = dict(reversed(line.split("  ")) for line in pathlib.Path(release, "SHA256SUMS").read_text().splitlines())
        self.assertEqual(sorted(sums), sorted(set(os.listdir(release)) - {"SHA256SUMS"}))
        source = [f for f in sums if f.startswith("7zip_")]
        self.assertTrue(any(f.endswith(".dsc") for f in source) and any(".orig.tar." in f for f in source), source)
        notes = pathlib.Path(release, "RELEASE.md").read_text()
        self.assertTrue(notes.startswith(pathlib.Path(NOTES).read_text().strip() + "\n"), notes)
        self.assertIn("<%s>" % HOMEPAGE, notes)
        texts = [notes] + [read_archive(os.path.join(release, d))[re.sub(r"\.(zip|tar\.gz)$", "/README.txt", d)].decode()
                           for d in downloads]
        named = re.findall(r"BRAX-%s-[\w.+-]+?(?:\.zip|\.tar\.gz)\b" % re.escape(version), "".join(texts))
        self.assertEqual(set(named) - set(sums), set())
        for name, digest in sums.items():
            data = pathlib.Path(release, name).read_bytes()
            self.assertEqual(hashlib.sha256(data).hexdigest(), digest, name)
            if name in downloads:
                self.assertIn("| `%s` | " % name, notes)
                self.assertIn(" | %d bytes | `%s` |" % (len(data), digest), notes)
        self.assertEqual(len(re.findall(r"^\| `BRAX-", notes, re.M)), len(downloads))
        self.assertTrue(all("`%s`" % f in notes for f in source), notes)
        self.assertIn("Windows 11\non ARM takes the Windows zip", notes)

    def test_readme_commands(self):
        """The "$ " lines of the Linux READMEs, in order, as printed (but for FILL), each keyed y, a stand-in java on
        PATH; cd carries over. HOME holds the launcher's folder and ~/Games/minecraft, both with vanilla 1.6.4."""
        root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, root)
        home, downloads, bin_ = (os.path.join(root, n) for n in ("home", "downloads", "bin"))
        for game in (".minecraft", "Games/minecraft"):
            sp.make_game_folder(os.path.join(home, game))
        sp.write_files(bin_, {"java": b"#!/bin/sh\necho java $@ > java.log\n"})
        os.chmod(os.path.join(bin_, "java"), 0o755)
        env = dict(os.environ, HOME=home, PATH=bin_ + ":" + os.environ["PATH"])
        for audience in ("client", "server"):
            download = "BRAX-%s-%s-linux-x86_64.tar.gz" % (VERSION, audience)
            for name in (download, "SHA256SUMS"):
                sp.write_files(downloads, {name: pathlib.Path(RELEASE, name).read_bytes()})
            readme = read_archive(os.path.join(RELEASE, download))[download[:-7] + "/README.txt"].decode()
            cwd = downloads
            for line in re.findall(r"^    \$ (.*)$", readme, re.M):
                if not any(skip in line for skip in SKIP):
                    for placeholder, value in FILL.items():
                        line = line.replace(placeholder, value)
                    done = subprocess.run(["bash", "-ec", line + "\npwd"], cwd=cwd, env=env, input=b"y",
                                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
                    self.assertEqual(done.returncode, 0, (line, done.stdout.decode(errors="replace")))
                    cwd = done.stdout.decode().splitlines()[-1]
        game = lambda name, path: os.path.exists(os.path.join(home, name, "versions", *path))
        self.assertEqual([game(".minecraft", ["1.6.4-BRAX"]), game("Games/minecraft", ["1.6.4-BRAX", "1.6.4-BRAX.jar"]),
                          game(".minecraft", ["1.6.4", "1.6.4.jar"])], [False, True, True])
        server = os.path.join(downloads, "1.6.4-BRAX-HDS")
        self.assertEqual(pathlib.Path(server, "java.log").read_text(), "java -jar 1.6.4-BRAX-HDS.jar nogui\n")
        verify = subprocess.run(["systemd-analyze", "verify", "brax-server.service"], cwd=server, timeout=60,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        unit = pathlib.Path(server, "brax-server.service").read_text()
        self.assertEqual((verify.returncode, verify.stdout, "'exec %s <>" % FILL["COMMAND"] in unit), (0, "", True))


# What the README lines need that no test has (another host, root and the service manager, a running service), and
# what their placeholders stand for here.
SKIP = ("scp ", "sudo ", "/run/brax-server/")
FILL = {"COMMAND": "sh start.sh"}


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

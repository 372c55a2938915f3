"""What scripts/package wrote for a mod folder, as a distributor publishes it (scripts/test-release):

  release_check.py RELEASE MOD VERSION

each download's exact entries (its own folder; the programs of its audience; the mod's edition with every file's
bytes and every folder, empty ones too; the mod's own top files; README, LICENSE, 7-Zip's licence), each README's
edition, platform and last line, SHA256SUMS over every file beside it, RELEASE.md's sizes and sums, the archiver's
source."""
import hashlib
import io
import os
import re
import subprocess
import sys
import tarfile
import unittest
import zipfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
MACHINES = subprocess.run([os.path.join(ROOT, "scripts", "machines"), "name"], stdout=subprocess.PIPE, text=True,
                          check=True).stdout.split()
INSTALLERS = re.search(r"VERSION ([0-9.]+)", open(os.path.join(ROOT, "CMakeLists.txt")).read()).group(1)


def read_archive(path):
    """Entry name -> bytes (None for a folder)."""
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            return {i.filename.rstrip("/"): None if i.is_dir() else z.read(i) for i in z.infolist()}
    with tarfile.open(path) as t:
        return {m.name: None if m.isdir() else t.extractfile(m).read() for m in t.getmembers()}


def tree(folder, top):
    """What a download must hold of the mod's folder `top`, as read_archive gives it."""
    found = {}
    for here, dirs, files in os.walk(os.path.join(folder, top)):
        found[os.path.relpath(here, folder)] = None
        for f in files:
            found[os.path.relpath(os.path.join(here, f), folder)] = open(os.path.join(here, f), "rb").read()
    return found


class Release(unittest.TestCase):
    maxDiff = None

    def test_downloads(self):
        release, mod, version = sys.argv[1:4]
        downloads = ["BRAX-%s-client-windows.zip" % version, "BRAX-%s-client-linux-x86_64.tar.gz" % version,
                     "BRAX-%s-server-windows.zip" % version] + [
            "BRAX-%s-server-linux-%s.tar.gz" % (version, m) for m in MACHINES]
        mine = {f: open(os.path.join(mod, f), "rb").read() for f in os.listdir(mod) if os.path.isfile(
            os.path.join(mod, f))}
        self.assertTrue(mine, "the test's mod folder holds a file of its own")
        for download in downloads:
            with self.subTest(download):
                folder = re.sub(r"\.(zip|tar\.gz)$", "", download)
                audience, platform = folder.split("-")[2:4]
                windows = platform == "windows"
                edition = "1.6.4-BRAX" if audience == "client" else "1.6.4-BRAX-HDS"
                programs = ["Setup", "7za"] + (["ServerSetup"] if audience == "server" else [])
                expected = {folder + "/" + n: b for n, b in tree(mod, edition).items()}
                expected.update({folder + "/" + n: b for n, b in mine.items()})
                expected[folder] = None
                entries = read_archive(os.path.join(release, download))
                names = [p + ".exe" * windows for p in programs] + ["README.txt", "LICENSE", "7za-LICENSE.txt"]
                expected.update({folder + "/" + n: entries.get(folder + "/" + n) for n in names})
                self.assertEqual(sorted(entries), sorted(expected))
                self.assertEqual(entries, expected)
                self.assertEqual(entries[folder + "/LICENSE"], open(os.path.join(ROOT, "LICENSE"), "rb").read())
                readme = entries[folder + "/README.txt"].decode()
                self.assertEqual("\r\n" in readme, windows)
                self.assertIn("%s edition for %s" % (audience, "Windows" if windows else "Linux ("), readme)
                self.assertEqual("Build a headless server" in readme, audience == "server")
                self.assertEqual("tar -xzf " + download in readme, not windows)
                self.assertEqual(readme.splitlines()[-1], "BRAX installers " + INSTALLERS)
                self.assertIn("License.txt", entries[folder + "/7za-LICENSE.txt"].decode())
        sums = dict(reversed(line.split("  ")) for line in open(os.path.join(release, "SHA256SUMS")).read().splitlines())
        self.assertEqual(sorted(sums), sorted(set(os.listdir(release)) - {"SHA256SUMS"}))
        source = [f for f in sums if f.startswith("7zip_")]
        self.assertTrue(any(f.endswith(".dsc") for f in source) and any(".orig.tar." in f for f in source), source)
        notes = open(os.path.join(release, "RELEASE.md")).read()
        for name, digest in sums.items():
            data = open(os.path.join(release, name), "rb").read()
            self.assertEqual(hashlib.sha256(data).hexdigest(), digest, name)
            if name in downloads:
                self.assertIn("| `%s` | " % name, notes)
                self.assertIn(" | %d bytes | `%s` |" % (len(data), digest), notes)
        self.assertEqual(len(re.findall(r"^\| `BRAX-", notes, re.M)), len(downloads))
        self.assertTrue(all("`%s`" % f in notes for f in source), notes)
        self.assertIn("Windows 11\non ARM takes the Windows zip", notes)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

"""release_check.py RELEASE MOD VERSION: what scripts/package wrote for MOD: each download's entries and bytes, its
README's edition, platform and last line, SHA256SUMS and RELEASE.md over every file, the licences, the 7-Zip source."""
import hashlib
import os
import pathlib
import re
import subprocess
import sys
import tarfile
import unittest
import zipfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
MACHINES = subprocess.run([os.path.join(ROOT, "scripts", "machines"), "name"], stdout=subprocess.PIPE, text=True,
                          check=True).stdout.split()
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
        release, mod, version = sys.argv[1:4]
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
                names = [p + ".exe" * windows for p in programs] + ["README.txt", "LICENSE", "7za-LICENSE.txt"]
                ours = {n: entries.get(folder + "/" + n) for n in names}
                tree = {os.path.relpath(os.path.join(h, n), mod): None if n in d else pathlib.Path(h, n).read_bytes()
                        for h, d, f in os.walk(os.path.join(mod, edition)) for n in d + f}
                expected = {folder + "/" + n: b for n, b in {**tree, edition: None, **mine, **ours}.items()}
                self.assertEqual(entries, dict(expected, **{folder: None}))
                self.assertEqual(entries[folder + "/LICENSE"], pathlib.Path(ROOT, "LICENSE").read_bytes())
                readme = entries[folder + "/README.txt"].decode()
                self.assertEqual("\r\n" in readme, windows)
                self.assertIn("%s edition for %s" % (audience, "Windows" if windows else "Linux ("), readme)
                self.assertEqual("Build a headless server" in readme, audience == "server")
                self.assertEqual("tar -xzf " + download in readme, not windows)
                self.assertEqual(readme.splitlines()[-1], "BRAX installers " + INSTALLERS)
                self.assertIn("License.txt", entries[folder + "/7za-LICENSE.txt"].decode())
        sums = dict(reversed(line.split("  ")) for line in pathlib.Path(release, "SHA256SUMS").read_text().splitlines())
        self.assertEqual(sorted(sums), sorted(set(os.listdir(release)) - {"SHA256SUMS"}))
        source = [f for f in sums if f.startswith("7zip_")]
        self.assertTrue(any(f.endswith(".dsc") for f in source) and any(".orig.tar." in f for f in source), source)
        notes = pathlib.Path(release, "RELEASE.md").read_text()
        for name, digest in sums.items():
            data = pathlib.Path(release, name).read_bytes()
            self.assertEqual(hashlib.sha256(data).hexdigest(), digest, name)
            if name in downloads:
                self.assertIn("| `%s` | " % name, notes)
                self.assertIn(" | %d bytes | `%s` |" % (len(data), digest), notes)
        self.assertEqual(len(re.findall(r"^\| `BRAX-", notes, re.M)), len(downloads))
        self.assertTrue(all("`%s`" % f in notes for f in source), notes)
        self.assertIn("Windows 11\non ARM takes the Windows zip", notes)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

"""release_check.py RELEASE MOD VERSION NOTES HOMEPAGE: what scripts/package wrote for MOD: each download's entries and
bytes, its README's edition, platform and last line, SHA256SUMS and RELEASE.md over every file, the licences, the 7-Zip
source; the instance for Prism Launcher and MultiMC against each rule of their import, the jar mod and the pack; every
download the texts name, the notes and the homepage; and every command line of the Linux READMEs run as printed, from
the download to an installed client and a server with its service unit."""
import hashlib
import io
import json
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
LAUNCHERS = ["client-prism.zip", "client-jarmod.zip", "resourcepack.zip"]
INSTALLERS = re.search(r"project\(\w+ VERSION ([0-9.]+)", pathlib.Path(ROOT, "CMakeLists.txt").read_text()).group(1)


def read_archive(path):
    """Entry name -> bytes (None for a folder), as for the mod's files below."""
    if not isinstance(path, str) or path.endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            return {i.filename.rstrip("/"): None if i.is_dir() else z.read(i) for i in z.infolist()}
    with tarfile.open(path) as t:
        return {m.name: None if m.isdir() else t.extractfile(m).read() for m in t.getmembers()}


class Release(unittest.TestCase):
    maxDiff = None

    def test_downloads(self):
        release, mod, version = RELEASE, MOD, VERSION
        downloads = ["BRAX-%s-%s" % (version, d) for d in ["client-windows.zip", "client-linux-x86_64.tar.gz",
                     "server-windows.zip"] + ["server-linux-%s.tar.gz" % m for m in MACHINES] + LAUNCHERS]
        mine = {f.name: f.read_bytes() for f in pathlib.Path(mod).iterdir() if f.is_file()}  # the mod's own files
        for download in downloads[:-len(LAUNCHERS)]:
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
        self.assertTrue(notes.startswith("# BRAX %s\n\n%s\n" % (version, pathlib.Path(NOTES).read_text().strip())))
        self.assertIn("<%s>" % HOMEPAGE, notes)
        texts = [notes, read_archive(os.path.join(release, downloads[-3]))["README.txt"].decode()] + [
            read_archive(os.path.join(release, d))[re.sub(r"\.(zip|tar\.gz)$", "/README.txt", d)].decode()
            for d in downloads[:-len(LAUNCHERS)]]
        self.assertTrue(HOMEPAGE in texts[1] and texts[1].isascii() and "\r\n" in texts[1])
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

    def test_launchers(self):  # each rule Prism Launcher and MultiMC apply to an instance zip and a jar mod
        release, mod, version = RELEASE, MOD, VERSION
        client, pack = os.path.join(mod, "1.6.4-BRAX"), "BRAX Resource Pack 1.6.4.zip"
        classes = read_tree(os.path.join(client, "class"))
        jar, instance = ("%s/BRAX-%s-%s" % (release, version, d) for d in ["client-jarmod.zip", "client-prism.zip"])
        self.assertEqual(read_archive(jar), classes)
        self.assertEqual(pathlib.Path(release, "BRAX-%s-resourcepack.zip" % version).read_bytes(),
                         pathlib.Path(client, pack).read_bytes())
        with zipfile.ZipFile(instance) as z:
            infos, entries = z.infolist(), {i.filename: z.read(i) for i in z.infolist()}
        self.assertEqual(infos[0].filename, "instance.cfg")  # the entry that makes it an instance comes first
        for i in infos:  # relative, "/" only, no "..", ASCII, once; stored or deflated, not encrypted
            self.assertRegex(i.filename, r"^(?!/)(?!(.*/)?\.\.(/|$))[ -9;-\[\]-~]+$")
            self.assertEqual((i.flag_bits & 1, i.compress_type in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED)), (0, 1))
        mine = {f.name: f.read_bytes() for f in pathlib.Path(mod).iterdir() if f.is_file()}
        # One game folder, .minecraft/; no patch for net.minecraft; nothing a launcher takes for another kind of zip
        self.assertEqual(sorted(entries), sorted(["instance.cfg", "mmc-pack.json", "patches/custom.jarmod.brax.json",
                         "jarmods/brax.jar", ".minecraft/resourcepacks/" + pack, ".minecraft/options.txt", "README.txt",
                         *mine]))
        self.assertEqual(len(infos), len(entries))
        self.assertEqual({n: entries[n] for n in mine}, mine)
        settings = dict(line.split("=", 1) for line in entries["instance.cfg"].decode().splitlines())  # no [General]
        self.assertEqual((settings["InstanceType"], settings["name"]), ("OneSix", "BRAX " + version))
        self.assertFalse(set(settings) & {"ConfigVersion", "OverrideCommands", "PreLaunchCommand", "WrapperCommand",
                                          "PostExitCommand"})
        components = json.loads(entries["mmc-pack.json"])
        self.assertIs(components["formatVersion"], 1)
        components = components["components"]
        self.assertEqual(components[0], {"uid": "net.minecraft", "version": "1.6.4", "important": True})
        self.assertEqual([c["uid"] for c in components], ["net.minecraft", "custom.jarmod.brax"])  # no org.lwjgl
        self.assertFalse(any(c.get("disabled") for c in components))
        patch = json.loads(entries["patches/custom.jarmod.brax.json"])
        self.assertEqual(set(patch), {"formatVersion", "name", "uid", "requires", "jarMods"})
        self.assertIs(patch["formatVersion"], 1)
        self.assertEqual((patch["uid"], patch["requires"]), (components[1]["uid"], [{"uid": "net.minecraft",
                                                                                     "equals": "1.6.4"}]))
        (mod_jar,) = patch["jarMods"]
        self.assertEqual((mod_jar["MMC-hint"], len(mod_jar["name"].split(":"))), ("local", 3))
        self.assertRegex(mod_jar["MMC-filename"], r"^[A-Za-z0-9._-]+\.(jar|zip)$")
        self.assertEqual(read_archive(io.BytesIO(entries["jarmods/" + mod_jar["MMC-filename"]])), classes)
        self.assertEqual(entries[".minecraft/resourcepacks/" + pack], pathlib.Path(client, pack).read_bytes())
        self.assertIn("skin:" + pack, entries[".minecraft/options.txt"].decode().splitlines())
        for name, data in entries.items():  # no path of the machine that made it
            self.assertNotIn(os.path.dirname(os.path.abspath(mod)).encode(), data, name)
        self.assertIn("Add to Minecraft.jar", entries["README.txt"].decode())

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



def read_tree(folder):
    return {os.path.relpath(os.path.join(h, n), folder): pathlib.Path(h, n).read_bytes()
            for h, _, names in os.walk(folder) for n in names}


# What the README lines need that no test has (another host, root and the service manager, a running service), and
# what their placeholders stand for here.
SKIP = ("scp ", "sudo ", "/run/brax-server/")
FILL = {"COMMAND": "sh start.sh"}


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

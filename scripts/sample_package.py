#!/usr/bin/env python3
"""Makes a small sample of everything the installers work on: a ship folder
(the programs, the archiver, the mod's two source folders, a vanilla jar)
and a game folder with a vanilla 1.6.4 install.

The vanilla jar holds a META-INF folder and entries that the mod replaces;
the mod's class folder holds nested folders and a file without an extension.
Used by scripts/demo, scripts/bench and the end-to-end tests.
"""
import argparse
import io
import os
import shutil
import stat
import tarfile
import zipfile

# Entry name -> content. "net/minecraft/a.class" and "b.class" are replaced
# by the mod; the rest stay vanilla.
VANILLA_ENTRIES = {
    "META-INF/MANIFEST.MF": b"Manifest-Version: 1.0\r\n",
    "META-INF/CERT.SF": b"signature\r\n",
    "META-INF/CERT.DSA": b"\x00\x01dsa",
    "a.class": b"vanilla a",
    "b.class": b"vanilla b",
    "net/minecraft/client/Minecraft.class": b"vanilla Minecraft",
    "net/minecraft/server/MinecraftServer.class": b"vanilla server",
    "pack.png": b"\x89PNG vanilla",
    "lang/en_US.lang": b"key=value\n",
}

CLIENT_CLASSES = {
    "a.class": b"BRAX client a",
    "b.class": b"BRAX client b",
    "brax/Overhaul.class": b"BRAX client overhaul",
    "brax/mobs/deep/SkeletonArcher.class": b"BRAX client archer",
    "brax/VERSION": b"BRAX client version, a file without an extension",
}

SERVER_CLASSES = {
    "a.class": b"BRAX server a",
    "brax/ServerOverhaul.class": b"BRAX server overhaul",
    "brax/mobs/deep/SkeletonArcher.class": b"BRAX server archer",
    "brax/VERSION": b"BRAX server version",
}


def archive_bytes(kind, files):
    """A small zip or tar of `files`, the same bytes every time."""
    buffer = io.BytesIO()
    if kind == "zip":
        with zipfile.ZipFile(buffer, "w") as z:
            for name, content in files.items():
                z.writestr(zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0)), content)
    else:
        with tarfile.open(fileobj=buffer, mode="w", format=tarfile.USTAR_FORMAT) as t:
            for name, content in files.items():
                info = tarfile.TarInfo(name)
                info.size, info.mode = len(content), 0o755
                t.addfile(info, io.BytesIO(content))
    return buffer.getvalue()


START = {"start.sh": b"#!/bin/sh\nexec java -jar 1.6.4-BRAX-HDS.jar nogui\n"}
SERVER_SCRIPTS = {
    "run.bat": b"@echo off\r\njava -jar 1.6.4-BRAX-HDS.jar nogui\r\n",
    "bash_scripts.zip": archive_bytes("zip", START),
    "bash_scripts.tar": archive_bytes("tar", START),
}
RESOURCE_PACK = archive_bytes("zip", {"pack.mcmeta": b'{"pack": {"pack_format": 1, "description": "BRAX"}}'})


def write_files(root, files):
    for name, content in files.items():
        path = os.path.join(root, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)


def write_jar(path, entries):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as jar:
        for name, content in entries.items():
            jar.writestr(name, content)


def jar_entries(path):
    """Entry name -> content of the files in a jar (folders left out)."""
    with zipfile.ZipFile(path) as jar:
        return {i.filename: jar.read(i) for i in jar.infolist() if not i.is_dir()}


def expected_jar(classes):
    entries = {n: c for n, c in VANILLA_ENTRIES.items() if not n.startswith("META-INF/")}
    entries.update(classes)
    return entries


def make_ship_folder(ship, programs, archiver, client=True, server=True):
    """The folder a player unpacks: programs, archiver, mod files, vanilla jar."""
    os.makedirs(ship, exist_ok=True)
    for program in programs:
        target = os.path.join(ship, os.path.basename(program))
        shutil.copy2(program, target)
    if archiver:
        target = os.path.join(ship, "7za.exe" if archiver.endswith(".exe") else "7za")
        shutil.copy2(archiver, target)
        os.chmod(target, os.stat(target).st_mode | stat.S_IXUSR)
    if client:
        source = os.path.join(ship, "1.6.4-BRAX")
        write_files(os.path.join(source, "class"), CLIENT_CLASSES)
        write_files(source, {"1.6.4-BRAX.json": b'{"id": "1.6.4-BRAX"}',
                             "BRAX Resource Pack 1.6.4.zip": RESOURCE_PACK})
    if server:
        source = os.path.join(ship, "1.6.4-BRAX-HDS")
        write_files(os.path.join(source, "class"), SERVER_CLASSES)
        write_files(source, SERVER_SCRIPTS)
    write_jar(os.path.join(ship, "1.6.4.jar"), VANILLA_ENTRIES)


def make_game_folder(game):
    """A .minecraft folder with vanilla 1.6.4 installed."""
    write_jar(os.path.join(game, "versions", "1.6.4", "1.6.4.jar"), VANILLA_ENTRIES)
    write_files(os.path.join(game, "versions", "1.6.4"), {"1.6.4.json": b'{"id": "1.6.4"}'})
    os.makedirs(os.path.join(game, "resourcepacks"), exist_ok=True)
    os.makedirs(os.path.join(game, "saves", "World1"), exist_ok=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("ship", help="the ship folder to make")
    parser.add_argument("game", help="the .minecraft folder to make")
    parser.add_argument("--program", action="append", default=[], help="a program to put in the ship folder")
    parser.add_argument("--archiver", default=shutil.which("7za"), help="the archiver to put beside the programs")
    args = parser.parse_args()
    make_ship_folder(args.ship, args.program, args.archiver)
    make_game_folder(args.game)


if __name__ == "__main__":
    main()

"""The mod's files for scripts/package: checked before anything is built, and
the staged downloads written as archives with sorted names and fixed times."""
import datetime
import gzip
import io
import json
import os
import stat
import tarfile
import zipfile

# The client edition's resource pack: Setup copies it, the instance chooses it.
PACK = "BRAX Resource Pack 1.6.4.zip"
# What Setup and ServerSetup copy from each edition's folder, by exact name.
EDITIONS = {
    "1.6.4-BRAX": ["class/", "1.6.4-BRAX.json", PACK],
    "1.6.4-BRAX-HDS": ["class/", "run.bat", "bash_scripts.zip", "bash_scripts.tar"],
}
# Files that version control, Finder and Explorer leave behind; no mod ships them.
LITTER = {".git", ".svn", ".ds_store", "thumbs.db", "desktop.ini"}
# What package puts at the top of every download beside the mod's own files.
OURS = {"README.txt", "LICENSE", "7za-LICENSE.txt", "Setup", "ServerSetup", "7za", "Setup.exe", "ServerSetup.exe",
        "7za.exe"}
# Top-level names a launcher takes for another kind of zip (a mod, a resource pack, a world, another pack's
# instance): the mod's top-level files lie at the instance zip's root.
NOT_AN_INSTANCE = {"pack.mcmeta", "pack.txt", "mcmod.info", "fabric.mod.json", "quilt.mod.json", "level.dat",
                   "instance.cfg", "mmc-pack.json", "manifest.json", "modrinth.index.json"}
# Signature files of a jar: kept in the jar a launcher builds, they would no longer match it.
SIGNATURES = (".sf", ".dsa", ".rsa", ".ec")
# 1.6.4's own release time: a later one makes the launcher's "Latest release" start BRAX.
RELEASED = datetime.datetime(2013, 9, 19, 15, 52, 37, tzinfo=datetime.timezone.utc)
# What the launcher does with a version file holding these keys, and what to change.
UNDONE = {
    "downloads": "the launcher checks 1.6.4-BRAX.jar against the vanilla jar's SHA-1 and downloads the vanilla jar "
                 "over the mod: delete the entry",
    "jar": "the launcher starts the jar of the version it names instead of 1.6.4-BRAX.jar: delete the entry",
    "inheritsFrom": "the launcher puts 1.6.4's own jar on the class path instead of 1.6.4-BRAX.jar: delete the "
                    "entry and keep the whole of 1.6.4's version file",
}
KINDS = [(stat.S_ISLNK, "a link"), (stat.S_ISCHR, "a device"), (stat.S_ISBLK, "a device"),
         (stat.S_ISFIFO, "a fifo"), (stat.S_ISSOCK, "a socket")]


def special(path):
    """What a link, device, fifo or socket is, else None."""
    mode = os.lstat(path).st_mode
    return next((what for test, what in KINDS if test(mode)), None)


def check(mod):
    """(level, path, what to do) for every problem of the mod folder."""
    found = []
    error = lambda path, text: found.append(("error", os.path.join(mod, path), text))
    warn = lambda path, text: found.append(("warning", os.path.join(mod, path), text))
    for folder, dirs, files in os.walk(mod):
        for name in sorted(dirs + files):
            what = special(os.path.join(folder, name))
            if what:
                error(os.path.relpath(os.path.join(folder, name), mod), "is %s; the downloads carry only plain files "
                      "and folders: put the file itself there" % what)
        dirs[:] = [d for d in dirs if not special(os.path.join(folder, d))]
    top = sorted(os.listdir(mod))
    editions = [e for e in EDITIONS if e in top and os.path.isdir(os.path.join(mod, e))]
    for name in top:
        path = os.path.join(mod, name)
        twin = next((e for e in EDITIONS if e.lower() == name.lower() and e != name), None)
        if special(path):
            continue
        if twin:
            error(name, "differs from %s only in letter case: rename it %s (Linux finds only that name)" % (twin, twin))
        elif os.path.isdir(path) and name not in EDITIONS:
            error(name, "is a folder the installers do not use: only 1.6.4-BRAX and 1.6.4-BRAX-HDS go into the "
                  "downloads; move it out of the mod folder")
        elif name in OURS:
            error(name, "has the name of a file the downloads carry already: rename it")
        elif name in NOT_AN_INSTANCE and "1.6.4-BRAX" in editions:
            error(name, "would make Prism Launcher and MultiMC take the instance zip, where the mod's top-level "
                  "files lie, for another kind of zip: rename it")
    if not editions:
        error("", "holds neither 1.6.4-BRAX (the client edition) nor 1.6.4-BRAX-HDS (the server edition): name the "
              "folder that holds them")
    for edition in editions:
        check_edition(mod, edition, error, warn)
    return found


def check_edition(mod, edition, error, warn):
    here = os.listdir(os.path.join(mod, edition))
    for wanted in EDITIONS[edition]:
        name, folder = wanted.rstrip("/"), wanted.endswith("/")
        path = os.path.join(mod, edition, name)
        twin = next((n for n in here if n.lower() == name.lower() and n != name), None)
        if twin:
            error(os.path.join(edition, twin), "differs from %s only in letter case: rename it %s" % (name, name))
        elif not os.path.lexists(path):
            error(os.path.join(edition, wanted), "is missing: the installers stop without it")
        elif special(path):
            continue  # said above
        elif os.path.isdir(path) != folder:
            error(os.path.join(edition, wanted), "must be a %s" % ("folder" if folder else "file"))
        elif folder:
            check_classes(mod, os.path.join(edition, name), error, warn)
        elif name.endswith(".json"):
            check_version(mod, os.path.join(edition, name), error, warn)
        else:
            check_content(mod, os.path.join(edition, name), warn)


def litter(name):
    return name.lower() in LITTER or name.endswith("~")


def check_classes(mod, classes, error, warn):
    files = 0
    for folder, dirs, names in os.walk(os.path.join(mod, classes)):
        if os.path.relpath(folder, mod) == os.path.join(classes, "META-INF"):
            for name in sorted(n for n in names if n.lower().endswith(SIGNATURES)):
                error(os.path.join(classes, "META-INF", name), "is a jar's signature: in the jar an installer or a "
                      "launcher builds it no longer matches, and the game will not start; delete it")
        for name in sorted(dirs + names):
            if litter(name):
                warn(os.path.relpath(os.path.join(folder, name), mod), "is no part of a mod but would go into every "
                     "player's jar: delete it")
        dirs[:] = [d for d in dirs if not litter(d)]
        files += len(names)
    if not files:
        warn(classes + "/", "is empty: the jar gets none of the mod's classes")


def check_version(mod, name, error, warn):
    """The version file as the official launcher reads it."""
    try:
        with open(os.path.join(mod, name), "rb") as f:
            document = json.loads(f.read().decode("utf-8-sig"))
    except ValueError as e:
        return error(name, "is not JSON (%s): the launcher cannot read it and does not list the version" % e)
    if not isinstance(document, dict):
        return error(name, "is not a JSON object: the launcher does not list the version; write it as the "
                     "launcher's own version files are, { ... }")
    if document.get("id") != "1.6.4-BRAX":
        error(name, 'has no "id": "1.6.4-BRAX": the launcher would not list the version as 1.6.4-BRAX; set it so')
    for key, what in UNDONE.items():
        if key in document:
            error(name, 'has a top-level "%s": %s' % (key, what))
    released = released_at(document.get("releaseTime"))
    if released and released > RELEASED:
        warn(name, 'has a "releaseTime" later than 1.6.4\'s own (2013-09-19T15:52:37+00:00): the launcher\'s '
             '"Latest release" would start BRAX; set it to 1.6.4\'s')


def released_at(text):
    """The instant a releaseTime names (UTC when it names no offset), else None."""
    try:
        when = datetime.datetime.fromisoformat(text)
    except (TypeError, ValueError):
        return None
    return when if when.tzinfo else when.replace(tzinfo=datetime.timezone.utc)


def check_content(mod, name, warn):
    path = os.path.join(mod, name)
    base = os.path.basename(name)
    if base.endswith(".zip") and not zipfile.is_zipfile(path):
        warn(name, "is not a zip archive")
    elif base.startswith("BRAX Resource Pack"):
        with zipfile.ZipFile(path) as pack:
            if "pack.mcmeta" not in pack.namelist():
                warn(name, "has no pack.mcmeta at its top: the game does not list it as a resource pack")
    elif base.endswith(".tar") and not is_tar(path):
        warn(name, "is not a tar archive")


def is_tar(path):
    try:
        with tarfile.open(path, "r:") as t:
            t.getmembers()
        return True
    except (tarfile.TarError, OSError):
        return False


def entries(stage, top):
    """(full path, archive name, is a folder) of everything below stage/top, sorted, folders first."""
    for folder, dirs, files in os.walk(os.path.join(stage, top)):
        dirs.sort()
        yield folder, os.path.relpath(folder, stage).replace(os.sep, "/") + "/", True
        for f in sorted(files):
            full = os.path.join(folder, f)
            yield full, os.path.relpath(full, stage).replace(os.sep, "/"), False


def mode(full, folder):
    return 0o755 if folder or os.access(full, os.X_OK) else 0o644


def write_zip(stage, top, out):
    with zipfile.ZipFile(os.path.join(out, top + ".zip"), "w", zipfile.ZIP_DEFLATED) as z:
        for full, name, folder in entries(stage, top):
            info = zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_STORED if folder else zipfile.ZIP_DEFLATED
            info.external_attr = ((stat.S_IFDIR if folder else stat.S_IFREG) | mode(full, folder)) << 16
            info.external_attr |= 0x10 if folder else 0  # the folder bit Windows reads
            if folder:
                z.writestr(info, b"")
            else:
                with open(full, "rb") as f:
                    z.writestr(info, f.read())


def write_entries(path, entries):
    """A zip of (name, bytes) in the order given: files only, plain modes, fixed times."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = (stat.S_IFREG | 0o644) << 16
            z.writestr(info, data)


def files_below(folder):
    """(name below folder with "/", bytes) of every file below folder, sorted by name."""
    found = []
    for here, dirs, names in os.walk(folder):
        for name in names:
            with open(os.path.join(here, name), "rb") as f:
                found.append((os.path.relpath(os.path.join(here, name), folder).replace(os.sep, "/"), f.read()))
    return sorted(found)


def write_tar(stage, top, out):
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.PAX_FORMAT) as t:
        for full, name, folder in entries(stage, top):
            info = t.gettarinfo(full, name.rstrip("/"))
            info.mtime, info.uid, info.gid, info.uname, info.gname = 0, 0, 0, "", ""
            info.mode = mode(full, folder)
            if folder:
                t.addfile(info)
            else:
                with open(full, "rb") as f:
                    t.addfile(info, f)
    with open(os.path.join(out, top + ".tar.gz"), "wb") as f:
        with gzip.GzipFile(filename="", mode="wb", fileobj=f, mtime=0) as g:
            g.write(buffer.getvalue())

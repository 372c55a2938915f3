"""The mod's files for scripts/package: checked before anything is built, and
the staged downloads written as archives with sorted names and fixed times."""
import gzip
import io
import json
import os
import stat
import tarfile
import zipfile

# What Setup and ServerSetup copy from each edition's folder, by exact name.
EDITIONS = {
    "1.6.4-BRAX": ["class/", "1.6.4-BRAX.json", "BRAX Resource Pack 1.6.4.zip"],
    "1.6.4-BRAX-HDS": ["class/", "run.bat", "bash_scripts.zip", "bash_scripts.tar"],
}
# Files that version control, Finder and Explorer leave behind; no mod ships them.
LITTER = {".git", ".svn", ".ds_store", "thumbs.db", "desktop.ini"}
# What package puts at the top of every download beside the mod's own files.
OURS = {"README.txt", "LICENSE", "7za-LICENSE.txt", "Setup", "ServerSetup", "7za", "Setup.exe", "ServerSetup.exe",
        "7za.exe"}
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
            check_classes(mod, os.path.join(edition, name), warn)
        else:
            check_content(mod, os.path.join(edition, name), warn)


def litter(name):
    return name.lower() in LITTER or name.endswith("~")


def check_classes(mod, classes, warn):
    files = 0
    for folder, dirs, names in os.walk(os.path.join(mod, classes)):
        for name in sorted(dirs + names):
            if litter(name):
                warn(os.path.relpath(os.path.join(folder, name), mod), "is no part of a mod but would go into every "
                     "player's jar: delete it")
        dirs[:] = [d for d in dirs if not litter(d)]
        files += len(names)
    if not files:
        warn(classes + "/", "is empty: the jar gets none of the mod's classes")


def check_content(mod, name, warn):
    path = os.path.join(mod, name)
    base = os.path.basename(name)
    if base.endswith(".json"):
        try:
            with open(path, "rb") as f:
                document = json.loads(f.read().decode("utf-8-sig"))
            if not isinstance(document, dict) or document.get("id") != "1.6.4-BRAX":
                warn(name, 'has no "id": "1.6.4-BRAX": the launcher would not show the version as 1.6.4-BRAX')
        except ValueError as e:
            warn(name, "is not JSON (%s): the launcher cannot read it" % e)
    elif base.endswith(".zip") and not zipfile.is_zipfile(path):
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

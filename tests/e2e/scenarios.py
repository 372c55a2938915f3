"""Both programs end to end, one table for Linux and Wine. A row is one run:
name, where, program, world, keys, shown, changes, check.

where    "LW" through a pipe on Linux and under Wine, "L" or "W" on one of them,
         "tty" in a Linux terminal, "desk" on a Linux desktop, "con" in a Wine console; "x86_64", "aarch64",
         "armhf" the release's Linux programs for that machine in an older Linux userland (" tty": in a terminal)
world    what prepares the world (one function of it, or a tuple of them)
keys     standard input, or Setup's answers under Wine: bytes, or a list of
         chunks typed one after another, where a number is a pause in seconds;
         None is /dev/null
shown    Setup's boxes (kind, text, answer) or ServerSetup's texts, in order;
         a text is a name in texts(), bytes, or a function of the world; None
         leaves the output to the check
changes  the paths that may change; "~" begins a path below the game folder
check    check(test, world, result), or None
A world knows its platform as w.p (run_linux.Linux, run_wine.Wine)."""
import hashlib
import io
import os
import pathlib
import random
import re
import select
import shutil
import signal
import stat
import subprocess
import tempfile
import termios
import time
import zipfile

import sample_package as sp

S, SS = "Setup", "ServerSetup"
Q, I, W = "Question", "Information", "Warning"
CLIENT, SERVER, PACK = "~versions/1.6.4-BRAX", "~versions/1.6.4-BRAX-HDS", "~resourcepacks/BRAX Resource Pack 1.6.4.zip"
HDS, INI, LOG = "1.6.4-BRAX-HDS", "ship/setup.ini", "ship/archiver.log"
SHIP_PACK, JSON = "ship/1.6.4-BRAX/" + PACK[1:].split("/")[1], "1.6.4-BRAX/1.6.4-BRAX.json"
HDS_JAR = HDS + "/1.6.4-BRAX-HDS.jar"
LONG_NAMES = "Д" * 120 + "/" + "中" * 60  # over 259 bytes in UTF-8, under 260 characters
PRESS = b"\r\n\r\nPress any key to continue...\r\n"  # how every run of ServerSetup ends


def texts(p):
    nc = "Installer will now exit. No changes have been made to your system."
    manual = "This installer has made no changes to your system. Proceed with manual installation."
    vanilla = ("Please ensure that vanilla Minecraft version 1.6.4 has been installed before attempting to install "
               "BRAX.\r\n\r\nNo changes have been made to your system.")
    terms = ("The author and/or distributor of this software is not responsible for any damages resulting from the use "
             "of this installer or the BRAX mod, including injuries or death caused by skeleton archers.\r\n\r\n"
             "Do you agree to these terms?")
    launcher, scripts = ("Minecraft.exe launcher", "batch file") if p.sep == "\\" else (
        "Minecraft launcher", "start-up scripts of bash_scripts.tar")  # each platform's own words
    mc = ".minecraft" + p.sep
    t = {  # Setup's boxes
        "welcome": "This program will install the Brax Overhaul (BRAX) mod for Minecraft 1.6.4.\r\n\r\n" + terms,
        "no changes": nc.replace(". ", ".\r\n\r\n"),
        "client done": "BRAX 1.6.4 has been successfully installed!\r\n\r\nYou can start the %s "
                       "now. Remember to edit your profile to use the 1.6.4-BRAX version, if you have not done so "
                       "already.\r\n\r\nHave fun :)\r\n\r\nTip: The /version command allows you to check which "
                       "release of BRAX you are playing." % launcher,
        "server done": "BRAX 1.6.4 HDS has been successfully installed!\r\n\r\nYou can start a headless server "
                       "instance now by running the %s located in the versions%s1.6.4-BRAX-HDS folder.\r\n\r\n"
                       "Have fun :)" % (scripts, p.sep),
        "previous": "A previous installation of BRAX was found.\r\n\r\nDo you wish to overwrite it?\r\n\r\n(This will "
                    "not remove your saved worlds.)",
        "edit": "Your minecraft folder was not found in the expected location.\r\n\r\nPlease edit setup.ini so that "
                "it contains the correct path, then run the installer again.\r\n\r\nWould you like to edit this file "
                "now?",
        "no archiver": "Cannot find the %s archiving program! It must be in the same location as this program.\r\n"
                       "\r\n%s" % (p.za, nc.replace(". ", ".\r\n\r\n")),
        "no source": "Cannot find the location of the 1.6.4-BRAX folder!\r\n\r\n" + manual,
        "no pack": "Cannot find the location of the BRAX Resource Pack!\r\n\r\n" + manual,
        "no versions": "Cannot find the location of your %sversions folder!\r\n\r\n" % mc + manual,
        "no resourcepacks": "Cannot find the location of your %sresourcepacks folder!\r\n\r\n" % mc + manual,
        "no vanilla folder": "Cannot find the location of your %s1.6.4 folder!\r\n\r\n" % (mc + "versions" + p.sep) + vanilla,
        "no vanilla jar": "Cannot find the jar file for vanilla Minecraft 1.6.4!\r\n\r\n" + vanilla,
        "not removed": "Was not able to fully remove your previous installation of BRAX!\r\n\r\nProceed with manual "
                       "installation.",
    }
    t["previous HDS"] = t["previous"].replace("BRAX", "BRAX-HDS")
    t["in use"] = ("Was not able to remove your previous installation of BRAX: a file in it is in use.\r\n\r\nClose "
                   "Minecraft and its launcher, then run the installer again.\r\n\r\nNo changes have been made to your "
                   "system.")
    no_start = ("Cannot start the 7za archiving program beside this program: it may not be executed.\r\n\r\nRun "
                "chmod +x 7za in this folder, then run the installer again.\r\n\r\n")
    t["not executable"] = no_start + t["no changes"]
    started = ("%s has been started from inside the zip file, so the files it needs are not beside it.\r\n\r\nPlease "
               "extract the whole zip file first (right-click it and choose Extract All), then run %s from the "
               "extracted folder.\r\n\r\n" if p.sep == "\\" else "%s has been started from a temporary folder "
               "without the files it needs beside it.\r\n\r\nPlease extract the whole archive first, then run %s "
               "from the extracted folder.\r\n\r\n")
    t["from archive"] = started % (p.setup, p.setup) + t["no changes"]
    end = PRESS.decode()
    t.update({  # ServerSetup's console
        "terms": "\r\nThis program will build the 1.6.4-BRAX-HDS.jar file, which can be used to start a\r\nserver "
                 "instance of BRAX-1.6.4.\r\n\r\n" + terms.replace("damages ", "damages\r\n").replace(
                     "or death", "or\r\ndeath") + " [y/n] ",
        "update": "1.6.4-BRAX-HDS.jar already exists. Do you wish to update it? [y/n] ",
        "y": "y\r\n\r\n", "n": "n\r\n\r\n", "refused": nc + end,
        "built": "\r\n1.6.4-BRAX-HDS.jar has been successfully created!\r\n\r\nYour server folder is located at "
                 "..%s1.6.4-BRAX-HDS%s\r\n" % (p.sep, p.sep),
        "have fun": "\r\nYou can start a headless server instance now by running the included %s.\r\n\r\n"
                    "Have fun :)" % scripts + end,
        "no 7za": "Cannot find the %s! It must be in the same location as this program.\r\n\r\n%s%s" % (p.za, nc, end),
        "no jar": "Cannot find vanilla 1.6.4.jar! It must be in the same location as this program.\r\n\r\nIf you are "
                  "in a GUI environment you may want to run %s instead.\r\n\r\n%s%s" % (p.setup, nc, end),
        "no folder": "Was not able to create folder ..%s1.6.4-BRAX-HDS%s!\r\n\r\n%s%s" % (p.sep, p.sep, nc, end),
        "jar stays": "Was not able to fully remove the previously created 1.6.4-BRAX-HDS.jar!\r\n\r\nProceed with "
                     "manual installation." + end,
    })
    t["no HDS"] = t["no source"] + end
    t["not executable SS"], server = no_start + nc + end, "..%s1.6.4-BRAX-HDS%s" % (p.sep, p.sep)
    t["busy SS"] = ("Another installer is already building the server folder %s\r\n\r\nWait until it has finished."
                    "\r\n\r\n%s%s" % (server, nc, end))
    t["shared SS"] = "The folder %s may be changed by other users of this computer.\r\n\r\n%s%s" % (server, nc, end)
    t["from archive SS"] = started % (("Server" + p.setup,) * 2) + nc + end
    return {k: v.encode() for k, v in t.items()}


def busy(w):
    return (b"Another installer is already installing BRAX into " + os.fsencode(w.p.name(w.game) + w.p.sep) +
            b"\r\n\r\nWait until it has finished.\r\n\r\n" + texts(w.p)["no changes"])


def failed(step, code, program=S):
    """The message of a failed archiver run, "d" (META-INF) or "a"."""
    text = (b"A error occured while trying to delete META-INF." if step == "d" else
            b"An error occured while trying to copy class files to jar archive.") + b"\r\n\r\nError code: %d" % code
    return text + (PRESS if program == SS else b"")


def copy_failed(source, destination, program=S):
    """The copy-failure message; paths are world paths, named as the program names them."""
    def text(w):
        src = w.p.name(w.path(source)) if source.startswith("~") else source.replace("/", w.p.sep)
        dst = (".." + w.p.sep + destination.replace("/", w.p.sep)) if program == SS else w.p.name(w.path(destination))
        return (b"A error occurred while copying " + os.fsencode(src) + b" to " + os.fsencode(dst) +
                b"\r\n\r\nInstaller will now exit." + (PRESS if program == SS else b""))
    return text


WY, WN, NO = (Q, "welcome", "Yes"), (Q, "welcome", "No"), (I, "no changes", "OK")
DONE, HDS_DONE = (I, "client done", "OK"), (I, "server done", "OK")
PY, PN = (Q, "previous", "Yes"), (Q, "previous", "No")
EDIT_NO = [WY, (Q, "edit", "No")]
INSTALLED = [WY, DONE]
TERMS_Y, BUILT = ["terms", "y"], ["built", "have fun"]


# --- Worlds ----------------------------------------------------------------------------
class World:
    """root/ship: the programs, the archiver, the client source folder, the
    vanilla jar; root/HOME/.minecraft: a vanilla 1.6.4 install."""

    def __init__(self, root, p, home, programs, archiver):
        self.root, self.p, self.ship = root, p, os.path.join(root, "ship")
        self.home, self.game = os.path.join(root, home), os.path.join(root, home, ".minecraft")
        sp.make_ship_folder(self.ship, programs, archiver, client=True, server=False)
        sp.make_game_folder(self.game)
        self.cwd, self.prefix, self.code, self.cleanups = root, [], 0, []

    def path(self, p):
        if p.startswith("~"):
            return os.path.join(self.game, p[1:])
        return os.path.join(self.ship, p[5:]) if p.split("/")[0] == "ship" else os.path.join(self.root, p)

    def write(self, p, content=b"canary"):
        os.makedirs(os.path.dirname(self.path(p)), exist_ok=True)
        with open(self.path(p), "wb") as f:
            f.write(content)

    def read(self, p):
        return pathlib.Path(self.path(p)).read_bytes()


def run_rows(test, wheres, make_world, launch, how="", names=re.compile("")):
    """Runs the rows for `wheres` whose names `names` finds (BRAX_ONLY=TEXT: that hold TEXT). A row's world is made and
    prepared, launch(w, row) runs it and gives the result: .code, and .boxes for Setup, .stdout for ServerSetup
    (or .screen, the lines of a console); then what it showed, the changes and the check are compared."""
    for row in ROWS:
        if row[1] in wheres and names.search(row[0]) and os.environ.get("BRAX_ONLY", "") in row[0]:
            with test.subTest("%s: %s%s" % (row[2], row[0], how)):
                run_row(test, row, make_world(row[1]), launch)


def run_row(test, row, w, launch):
    where, program, world, keys, shown, changes, check = row[1:]
    test.addCleanup(shutil.rmtree, w.root, True)
    w.program_name = program
    if program == SS:
        server_source(w)
    try:
        for step in world if isinstance(world, tuple) else [world] if world else []:
            step(w)
    finally:
        for cleanup in w.cleanups:
            test.addCleanup(cleanup)
    before = snapshot(w.root)
    r = launch(w, row)
    output = getattr(r, "stdout", b"").decode(errors="replace")[-3000:]
    test.assertEqual(r.code, w.code, output)
    t = texts(w.p)
    value = lambda x: t[x] if isinstance(x, str) else x(w) if callable(x) else x
    if shown is not None and program == S:
        test.assertEqual(r.boxes, [(kind, value(x), answer) for kind, x, answer in shown], output)
    elif shown is not None and where == "con":  # whole lines of the archiver's may stand between the texts
        norm = lambda text: re.escape(re.sub(r" +\n", "\n", value(text).decode().replace("\r\n", "\n")))
        test.assertRegex(r.screen, "^" + r"(?:[^\n]*\n)*?".join(map(norm, shown)) + re.escape("[exit 0]") + "$")
    elif shown is not None:
        # In a terminal the archiver tells all it does; through a pipe it says little.
        talk = rb"(?:\r\n7-Zip .*?Everything is Ok\r\n)*" if where.endswith("tty") else w.p.talk
        pattern = talk.join(re.escape(value(x)) for x in shown)
        test.assertRegex(r.stdout, re.compile(b"\\A" + pattern + b"\\Z", re.S))
    if check:
        check(test, w, r)
    if changes is not None:
        allowed = [w.path(p) for p in changes]
        after = snapshot(w.root)
        test.assertEqual([p for p in sorted(set(before) | set(after)) if before.get(p) != after.get(p) and
                          not any(p == a or p.startswith(a + "/") for a in allowed)], [])


def snapshot(root):
    """Every path below `root` and what it holds; a fifo is never opened, that would wait for a writer."""
    state = {}
    for folder, dirs, files in os.walk(root):
        for full in (os.path.join(folder, name) for name in dirs + files):
            mode = os.lstat(full).st_mode
            state[full] = hashlib.sha256(pathlib.Path(full).read_bytes()).digest() if stat.S_ISREG(mode) else \
                os.readlink(full) if stat.S_ISLNK(mode) else mode
    return state


# --- How rows prepare their world ---------------------------------------------------------
def server_source(w): sp.make_ship_folder(w.ship, [], None, client=False, server=True)
def ini(content): return lambda w: w.write(INI, content(w) if callable(content) else content)
def stand_in(delete_code=0, add_code=0): return lambda w: w.p.stand_in(w, delete_code, add_code)
def tmpdir(name): return attr(env=lambda w: {"TMPDIR": w.path(name)})
def attr(**values): return lambda w: [setattr(w, k, v(w) if callable(v) else v) for k, v in values.items()]
def warn(text): return [WY, (W, text, "OK")]
def not_a_zip(jar): return lambda w: w.write(jar, b"this is no zip archive\n" * 50)
def registered(*a): return lambda w: w.p.registered(w, *a)  # Wine: a stand-in program in the prefix's registry
def editor(verb): return registered("editor.exe", "HKCR\\inifile\\shell", ("delete", "\\edit"),  # only "open": no edit
                                    ("add", "\\%s\\command" % verb, "/ve", "/d", '"{}" "%1"'))
def planted(w): w.p.plant(w)  # a library that leaves a mark, under system libraries' names
def link(path, to): return lambda w: (missing(path)(w) if os.path.lexists(w.path(path)) else None,
                                      os.symlink(to if to.startswith("/") else w.path(to), w.path(path)))


def missing(*paths):
    return lambda w: [shutil.rmtree(w.path(p)) if os.path.isdir(w.path(p)) else os.remove(w.path(p)) for p in paths]


def earlier(folder, sibling=False):
    """An earlier install with a file of its own; a sibling whose name begins the same must stay."""
    def prepare(w):
        w.write(folder + "/old-extra.txt", b"old")
        w.write(folder + "/" + os.path.basename(folder) + ".jar", b"old jar")
        if sibling:
            w.write(folder + " old/keep.txt", b"sibling")
    return prepare


LOOK_ALIKES = ("1.6.4-BRAX-HDS.jar.tmp.keep", "1.6.4-BRAX-HDS.jar.tmpx", "world")


def leftovers(folder):  # what killed archiver runs leave beside the jar (.tmp, .tmpN), look-alikes and a world
    return lambda w: [w.write(folder + "/" + name) for name in ("1.6.4-BRAX-HDS.jar.tmp", "1.6.4-BRAX-HDS.jar.tmp07",
                                                                *LOOK_ALIKES[:2], "world/level.dat")]


def pack_held_open(w):  # the game, running with the old resource pack open
    w.write(PACK, b"old pack" * 999)
    w.reader = open(w.path(PACK), "rb")
    w.cleanups.append(w.reader.close)


def earlier_build(w):
    sp.write_jar(w.path(HDS_JAR), {"stale.class": b"old", "META-INF/OLD.SF": b"old"})
    w.write(HDS + "/server.properties", b"motd=mine")
    w.write(HDS + "/run.bat", b"old run.bat")


def moved(what, to):  # the game folder ("game") or the program's ("ship") moved, parents made
    return lambda w: (os.makedirs(os.path.dirname(w.path(to)), exist_ok=True), os.rename(getattr(w, what), w.path(to)),
                      setattr(w, what, w.path(to)))


def moved_game(to): return moved("game", to)


def game_in_ini(to, encoding="utf-8", mark=""):
    return lambda w: (moved_game(to)(w), w.write(INI, (mark + "MINECRAFT_PATH = %s\r\n" % w.p.name(w.game)).encode(
        encoding)))


def alone_in_temporary(w):
    """The programs alone in a folder like an archive viewer's below the temporary folder, as from a double-click."""
    folder = os.path.join(getattr(w, "temporary", None) or w.p.temporary(w), w.p.viewer, "BRAX-Installer-1.0")
    shutil.rmtree(os.path.dirname(folder), True)  # an earlier row's
    w.cleanups.append(lambda: shutil.rmtree(os.path.dirname(folder), True))
    moved("ship", folder)(w)
    missing(*["ship/" + n for n in os.listdir(w.ship) if n not in (w.p.setup, "Server" + w.p.setup)])(w)


def places(default, other, into):
    """The default game folder and the launcher's other place (w.p.second), each a vanilla install ("vanilla"), one
    without the vanilla jar ("bare") or missing (None); "~" then names the place `into`."""
    def prepare(w):
        second = w.p.second(w)
        other and shutil.copytree(w.game, second, symlinks=True)
        [os.remove(f + "/versions/1.6.4/1.6.4.jar") for f, how in ((w.game, default), (second, other)) if how == "bare"]
        default or shutil.rmtree(w.game)
        w.game = second if into == "other" else w.game
    return prepare


def ini_value(value, at="mc"):
    """setup.ini naming `value`, and a vanilla install at HOME/at (Wine: APPDATA\\at) beside the default one."""
    return lambda w: (shutil.copytree(w.game, os.path.join(w.home, at), symlinks=True),
                      setattr(w, "game", os.path.join(w.home, at)), w.write(INI, b"minecraft_path=" + value.encode()))


def as_nobody(w):
    """The program runs as nobody, who owns the world: root, whom permissions never stop, shows no failed removal."""
    subprocess.run(["chown", "-R", "nobody:nogroup", w.root], check=True)
    w.prefix = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"]


def root_owned(folder):
    return lambda w: (as_nobody(w), earlier(folder)(w))  # made by root after the world went to nobody


def immutable(folder):
    def prepare(w):
        subprocess.run(["chattr", "+i", w.path(folder)], check=True)
        w.cleanups.append(lambda: subprocess.run(["chattr", "-i", w.path(folder)]))
    return prepare


def logged(program, body=""):
    """A program of the row's own, first on PATH, that notes when and how it ran."""
    def prepare(w):
        w.write("bin/" + program, ('#!/bin/sh\necho "$(date +%%s.%%N) $PWD $*" >> "%s"\n%s' %
                                   (w.path("ship/%s.log" % program), body)).encode())
        os.chmod(w.path("bin/" + program), 0o755)
    return prepare


def parent_ignores(*signals):
    """A parent that set these to "ignore", as shells for background jobs and some launchers do; exec keeps it."""
    start = ("import os, signal, sys\nfor s in (signal.SIGPIPE, signal.SIGXFSZ): signal.signal(s, signal.SIG_DFL)\n"
             "for name in sys.argv[1:-1]: signal.signal(getattr(signal, 'SIG' + name), signal.SIG_IGN)\n"
             "os.execv(sys.argv[-1], sys.argv[-1:])")
    return attr(prefix=[shutil.which("python3"), "-c", start, *signals])


def archiver(content):  # the row's own archiver, with the real one's execute bit; that one stays as 7za.real
    def prepare(w):
        shutil.copy(w.path("ship/7za"), w.path("ship/7za.real"))
        w.write("ship/7za", content)
    return prepare


def killing_archiver(name):  # a slow archiver that sends the program alone SIGname, its own pid beside it
    return archiver(('#!/bin/sh\necho $$ > "$0.pid"\nkill -%s $PPID\nexec sleep 20\n' % name).encode())


def archiver_after(body): return archiver(('#!/bin/sh\n%s\nexec "$(dirname "$0")/7za.real" "$@"\n' % body).encode())


def killed_copying(program, source, destination):
    """A first run of `program`, killed while it writes `destination` from `source`, made 64 MB."""
    def prepare(w):
        w.write(source, random.Random(5).randbytes(64 << 20))
        folder, name = os.path.split(w.path(destination))
        run = subprocess.Popen(w.prefix + [os.path.join(w.ship, program)], stdin=subprocess.PIPE,
                               stdout=subprocess.DEVNULL, cwd=w.cwd, env=dict(os.environ, HOME=w.home))
        run.stdin.write(b"y")
        run.stdin.flush()
        deadline = time.monotonic() + 30
        while not any(n.startswith(name + ".copying") for n in os.listdir(folder)):
            assert run.poll() is None and time.monotonic() < deadline, "no copy in progress was seen"
        run.kill()
        run.wait()
    return prepare


def held_first(home=None):
    """A first run (its game folder below `home`) held at its last question while the row runs; its world kept."""
    def prepare(w):
        if home:
            shutil.copytree(w.game, os.path.join(w.root, home, ".minecraft"), symlinks=True)
        w.first = w.p.start(w, os.path.join(w.root, home) if home else w.home)
        w.cleanups.append(w.first.kill)
        w.held = snapshot(w.root)
    return prepare


def first_then(check, alone=True):
    """The row's run changed nothing at all (alone); the held first run then gets its Yes and ends as alone would."""
    def then(t, w, r):
        if alone:
            t.assertEqual(snapshot(w.root), w.held)
        t.assertIn(b"successfully", w.p.finish(w, w.first))
        check(t, w, r)
    return then


def game_closed_then(t, w, r):
    t.assertEqual(snapshot(w.root), w.held)
    w.holder.kill()
    w.holder.wait()
    t.assertEqual(w.p.rerun(w, "yy"), [(k, texts(w.p)[x], a) for k, x, a in [WY, PY, DONE]])
    client_installed(t, w, r)


def stopped_in_line_mode(pid, terminal):
    """kill -STOP; the shell puts the terminal back in line mode; kill -CONT."""
    os.kill(pid, signal.SIGSTOP)
    os.waitpid(pid, os.WUNTRACED)
    mode = termios.tcgetattr(terminal)
    mode[3] |= termios.ICANON | termios.ECHO
    termios.tcsetattr(terminal, termios.TCSANOW, mode)
    os.kill(pid, signal.SIGCONT)


def big_jars(w):
    """Vanilla jars of about 300 kB, so that limits and small disks bite."""
    for jar in ("~versions/1.6.4/1.6.4.jar", "ship/1.6.4.jar"):
        with zipfile.ZipFile(w.path(jar), "w", zipfile.ZIP_STORED) as z:
            for name, content in dict(sp.VANILLA_ENTRIES, noise=random.Random(3).randbytes(300 << 10)).items():
                z.writestr(name, content)


def small_disk(folder, size, read_only=False):
    """`folder` on a tmpfs of `size`, holding what it held."""
    def prepare(w):
        big_jars(w)
        target = w.path(folder)
        w.cleanups.append(lambda: subprocess.run(["umount", "-l", target], stderr=subprocess.DEVNULL))
        subprocess.run("mkdir -p '{0}' && mv '{0}' '{0}.held' && mkdir '{0}' && mount -t tmpfs -o size={1} tmpfs "
                       "'{0}' && cp -a '{0}.held'/. '{0}' && rm -rf '{0}.held'".format(target, size), shell=True,
                       check=True)
        read_only and subprocess.run(["mount", "-o", "remount,ro", target], check=True)
    return prepare


def big_inodes(w):
    """The world in an overlay's lower layer, whose inode numbers need 64 bits there (xino), as on XFS over 1 TB."""
    layers = tempfile.mkdtemp(prefix="brax-layers-")
    w.cleanups.append(lambda: subprocess.run("umount -l '%s' %s/*; rm -rf %s" % (w.root, layers, layers), shell=True))
    subprocess.run("""set -e; cd '{1}'; mkdir lower upper; mount -t tmpfs tmpfs lower; mount -t tmpfs tmpfs upper
                   mkdir upper/u upper/w; mv '{0}'/* lower
                   mount -t overlay overlay -o lowerdir=lower,upperdir=upper/u,workdir=upper/w,xino=on '{0}'""".format(
        w.root, layers), shell=True, check=True)
    inodes = [os.stat(w.path(p)).st_ino for p in ("ship", "ship/7za", "~versions/1.6.4/1.6.4.jar")]
    assert min(inodes) > 1 << 32, "inode numbers here fit in 32 bits: %s" % inodes


def file_size_limit(w):
    big_jars(w)
    w.prefix = ["prlimit", "--fsize=%d" % (100 << 10), "--"]


def huge_ini(key_last):  # 100 MB of lines without the key and the key last, or 100 MB of zero bytes in one line
    return lambda w: w.write(INI, (b"#" * 1023 + b"\n") * (100 << 10) + b"minecraft_path=" + os.fsencode(w.game) + b"\n"
                             if key_last else bytes(100 << 20))


ODD_NAMES = ["with space", "it's", 'say "hi"', "$(touch PWNED)", "`touch PWNED`", "a;b&c|touch PWNED", "%APPDATA%",
             "-rf x", 'back\\slash\\"q\\', "tab\there", "a*b?[c]", os.fsdecode(b"\xff\xfe latin-1 \xe9"), "new\nline"]


def odd(where, name):
    """An odd name as HOME ("home"), as the game folder named in setup.ini ("ini") or as the program's folder
    ("ship"), with canaries beside it where a broken split or quote would land, and an earlier install."""
    def prepare(w):
        folder = w.path(name)
        for i, c in enumerate(name):
            if c in " '\"$`;&|\\\t*?\n" and i:
                w.write(name[:i] + "/canary")
        w.write(name + " sibling/canary")
        if where == "ship":
            moved("ship", name)(w)
        else:
            moved_game(name + ("/.minecraft" if where == "home" else ""))(w)
            w.home = folder
            where == "ini" and w.write(INI, b"minecraft_path=" + os.fsencode(folder))
        earlier(CLIENT, sibling=True)(w)
        earlier_build(w)
    return prepare


def long_path(what, length):
    """Setup's own path, or the jar's path, exactly `length` bytes long."""
    def prepare(w):
        tail = "/Setup" if what == "program" else "/versions/1.6.4-BRAX/1.6.4-BRAX.jar"
        need = length - len(w.root) - 1 - len(tail)
        folder = "/".join(["L" * 199] * (need // 200) + ["L" * (need % 200)])
        moved("ship" if what == "program" else "game", folder)(w)
        what == "jar" and w.write(INI, b"minecraft_path=" + w.game.encode())
        assert len(w.ship + tail if what == "program" else w.game + tail) == length
    return prepare


def random_keys(seed, length=300):
    rng, sequences = random.Random(seed), [b"\x1b[A", b"\x1bOP", b"\x1b[[A", b"\x1b[1;5C", b"\x1b[15~", b"\x1b[",
                                           b"\x1b", b"\x1b[99999999999~", b"\x7f", b"\r", b"\n", b"\xff", b"Y", b"N"]
    bytes_ = [bytes([b]) for b in range(256) if b not in (3, 26, 28)]  # Ctrl+C, Ctrl+\ and Ctrl+Z are no keys
    out = b"".join(rng.choice(sequences if rng.random() < 0.4 else bytes_) for _ in range(length // 2))
    return [out[:len(out) // 3], out[len(out) // 3:], b"nnnnnn"]


# --- Checks ------------------------------------------------------------------------------
def client_installed(t, w, r):
    t.assertEqual(sp.jar_entries(w.path(CLIENT + "/1.6.4-BRAX.jar")), sp.expected_jar(sp.CLIENT_CLASSES))
    t.assertEqual(w.read(CLIENT + "/1.6.4-BRAX.json"), b'{"id": "1.6.4-BRAX"}')
    t.assertEqual(sorted(os.listdir(w.path(CLIENT))), ["1.6.4-BRAX.jar", "1.6.4-BRAX.json"])
    t.assertTrue(os.path.isfile(w.path(PACK)))


def launcher_jar(t, w, r):  # the jar Prism Launcher and MultiMC build from the release's instance: Setup's files
    release = os.path.join(os.environ["BRAX_RELEASE"], "release")
    instance = next(os.path.join(release, f) for f in os.listdir(release) if f.endswith("-client-prism.zip"))
    with zipfile.ZipFile(instance) as z:
        jars = [zipfile.ZipFile(io.BytesIO(z.read("jarmods/brax.jar"))),
                zipfile.ZipFile(w.path("~versions/1.6.4/1.6.4.jar"))]
    built = {}
    for jar, keep in zip(jars, [lambda n: True, lambda n: "META-INF" not in n]):  # the jar mod's entries first, all
        for i in jar.infolist():
            if keep(i.filename):
                built.setdefault(i.filename, jar.read(i))  # the first written wins
    t.assertEqual({n: b for n, b in built.items() if not n.endswith("/")},
                  sp.jar_entries(w.path(CLIENT + "/1.6.4-BRAX.jar")))


def server_installed(folder=SERVER, *extra):
    def check(t, w, r):
        t.assertEqual(sp.jar_entries(w.path(folder + "/1.6.4-BRAX-HDS.jar")), sp.expected_jar(sp.SERVER_CLASSES))
        for name, content in sp.SERVER_SCRIPTS.items():
            t.assertEqual(w.read(folder + "/" + name), content)
        t.assertEqual(sorted(os.listdir(w.path(folder))), sorted(["1.6.4-BRAX-HDS.jar", *sp.SERVER_SCRIPTS, *extra]))
    return check


def holds(path, content): return lambda t, w, r: t.assertEqual(w.read(path), content(w) if callable(content) else
                                                               content)
def all_of(*checks): return lambda t, w, r: [check(t, w, r) for check in checks]
def no_file(path): return lambda t, w, r: t.assertFalse(os.path.lexists(w.path(path)), path)
def cpu_below(seconds): return lambda t, w, r: t.assertLess(r.cpu, seconds, "busy while waiting")
def took(low, high): return lambda t, w, r: t.assertTrue(low <= r.elapsed < high, r.elapsed)
def archiver_ran(program, *steps): return lambda t, w, r: t.assertEqual(w.read(LOG).decode().splitlines(),
                                                                         w.p.runs(w, program, *steps))
def terminal_restored(t, w, r): t.assertTrue(r.mode and r.mode & 0o12 == 0o12, "ICANON and ECHO not back: %r" % r.mode)


def copied_first(*names):
    """The failed step came after the jar (still vanilla) and these scripts."""
    return all_of(lambda t, w, r: t.assertEqual(sp.jar_entries(w.path(HDS_JAR)), sp.VANILLA_ENTRIES),
                  lambda t, w, r: t.assertEqual(sorted(os.listdir(w.path(HDS))), sorted([HDS_JAR[15:], *names])))


def removal_attempts(t, w, r):
    """Three removals, each 4 s and a little after the one before."""
    times = [float(line.split()[0]) for line in w.read("ship/rm.log").splitlines()]
    t.assertEqual([4.05 <= later - before < 6 for before, later in zip(times, times[1:])], [True, True], times)


def only_real_answers(t, w, r):
    """Every question answered y or n (Yes or No); the last may be cut short by a hang-up."""
    answers = [a + b for a, b in re.findall(rb" \[y/n\] (.?)|\[Yes/No\] (\w*)", r.stdout, re.S)]
    t.assertTrue(answers and set(answers[:-1]) | {answers[-1] or b"y"} <= {b"y", b"n", b"Yes", b"No"}, r.stdout[-3000:])


def edited(t, w, r):  # the stand-in editor (Wine), started on setup.ini beside Setup by its full path
    deadline = time.monotonic() + 10
    while not (os.path.exists(w.path(LOG)) and w.read(LOG).endswith(b"\n")) and time.monotonic() < deadline:
        time.sleep(0.2)
    t.assertEqual(w.read(LOG).decode(), '"%s\\editor.exe" "%s"\n' % (w.p.name(w.ship), w.p.name(w.path(INI))))


def editor_started(t, w, r):
    t.assertLess(r.elapsed, 5)  # not waited for: it sleeps 5 s
    time.sleep(0.5)  # but started: in the program's folder, with the file's name
    t.assertEqual(w.read("ship/xdg-open.log").split(b" ", 1)[1], os.fsencode(w.ship) + b" setup.ini\n")


# How a Setup run ends: the boxes, the paths that may change and the check.
ENDS = {"installed": (INSTALLED, [CLIENT, PACK], client_installed), "no jar": (warn("no vanilla jar"), [], None),
        "not found": (EDIT_NO, [INI], holds(INI, lambda w: ("minecraft_path=" + w.p.name(w.game) + w.p.sep).encode()))}
# The release's Linux machines, by name (scripts/machines): the ELF class, machine and float ABI of their programs
RELEASE_MACHINES = dict(line.split()[0:6:5] for line in subprocess.run([os.path.join(os.path.dirname(
    __file__), "..", "..", "scripts", "machines")], stdout=subprocess.PIPE, text=True, check=True).stdout.splitlines())

# --- The table ---------------------------------------------------------------------------
ROWS = [
    # Setup: both editions, refusals, earlier installs, the game folder, every missing piece
    ("client first install", "LW", S, None, "y", *ENDS["installed"]),
    ("both source folders: server edition", "LW", S, server_source, "y", [WY, HDS_DONE], [SERVER], server_installed()),
    ("welcome refused", "LW", S, None, "n", [WN, NO], [], None),
    ("earlier install overwritten, its sibling spared", "LW", S, earlier(CLIENT, True), "yy", [WY, PY, DONE],
     [CLIENT, PACK], all_of(client_installed, holds(CLIENT + " old/keep.txt", b"sibling"))),
    ("earlier install refused", "LW", S, earlier(CLIENT), "yn", [WY, PN, NO], [], None),
    ("earlier server install: only the jar goes", "LW", S, (server_source, missing("ship/1.6.4-BRAX"), earlier(SERVER)),
     "yy", [WY, (Q, "previous HDS", "Yes"), HDS_DONE], [SERVER],
     all_of(server_installed(SERVER, "old-extra.txt"), holds(SERVER + "/old-extra.txt", b"old"))),
    ("server edition needs no resource pack", "LW", S, (server_source, missing("ship/1.6.4-BRAX", "~resourcepacks")),
     "y", [WY, HDS_DONE], [SERVER], server_installed()),
    ("empty game folder: the example is written", "LW", S, ini(b"minecraft_path=\r\n"), "yn", EDIT_NO, [INI],
     holds(INI, lambda w: w.p.example)),
    *[("game folder: the default %s, the other place %s" % (d or "missing", o or "missing"), "LW", S, places(d, o, to),
       "yn", *ENDS[end]) for d, o, to, end in [
        (None, "vanilla", "other", "installed"), ("vanilla", "vanilla", "default", "installed"),
        ("bare", "vanilla", "other", "installed"), ("bare", None, "default", "no jar"),
        (None, "bare", "other", "no jar"), (None, None, "default", "not found")]],
    ("setup.ini names a folder without vanilla: no other place tried", "LW", S, (places("vanilla", "vanilla",
     "default"), game_in_ini("elsewhere/mc"), missing("~versions/1.6.4/1.6.4.jar")), "y", *ENDS["no jar"]),
    *[("setup.ini value " + value, where, S, ini_value(value, at), "y", *ENDS["installed"])
      for where, value, at in [("L", "~/mc", "mc"), ("L", "$HOME/mc/", "mc"), ("L", '"${HOME}/my mc"', "my mc"),
                               ("W", "%appdata%\\mc", "mc"), ("W", '"%APPDATA%\\my mc\\"', "my mc")]],
    *[("setup.ini value %s: not found, written back" % value, where, S, ini_value(value), "yn", EDIT_NO, [INI],
       holds(INI, b"minecraft_path=%s%s" % (value.encode(), sep))) for where, value, sep in [
        ("L", "$BRAX_UNSET/mc", b"/"), ("W", "%BRAX_UNSET%\\mc", b"\\")]],
    ("no archiver", "LW", S, lambda w: missing("ship/" + w.p.za)(w), "y", warn("no archiver"), [], None),
    ("no source folder", "LW", S, missing("ship/1.6.4-BRAX"), "y", warn("no source"), [], None),
    ("no resource pack", "LW", S, missing("ship/1.6.4-BRAX/BRAX Resource Pack 1.6.4.zip"), "y", warn("no pack"), [],
     None),
    ("no versions folder", "LW", S, missing("~versions"), "y", warn("no versions"), [], None),
    ("no resourcepacks folder", "LW", S, missing("~resourcepacks"), "y", warn("no resourcepacks"), [], None),
    ("no vanilla folder", "LW", S, missing("~versions/1.6.4"), "y", warn("no vanilla folder"), [], None),
    ("no vanilla jar", "LW", S, missing("~versions/1.6.4/1.6.4.jar"), "y", warn("no vanilla jar"), [], None),
    ("mod and game folder missing: the mod first", "L", S, missing("ship/1.6.4-BRAX", "~"), "y", warn("no source"), [],
     None),
    ("missing version file: the copy fails after the jar", "LW", S, missing("ship/" + JSON), "y",
     warn(copy_failed(JSON, CLIENT + "/1.6.4-BRAX.json")), [CLIENT],
     lambda t, w, r: t.assertEqual(os.listdir(w.path(CLIENT)), ["1.6.4-BRAX.jar"])),
    ("first archiver run fails", "LW", S, stand_in(2, 0), "y", warn(failed("d", 2)), [CLIENT, PACK, LOG],
     archiver_ran(S, "d")),
    ("second archiver run fails", "LW", S, stand_in(0, 7), "y", warn(failed("a", 7)), [CLIENT, PACK, LOG],
     archiver_ran(S, "d", "a")),
    ("no class folder: -1", "LW", S, missing("ship/1.6.4-BRAX/class"), "y", warn(failed("a", -1)), [CLIENT, PACK],
     None),
    ("archiver killed: 128 + the signal", "L", S, stand_in("kill:9", 0), "y", warn(failed("d", 137)),
     [CLIENT, PACK, LOG], None),
    ("archiver a link to the system's", "L", S, link("ship/7za", shutil.which("7za")), "y", *ENDS["installed"]),
    ("archiver without its execute bit: stopped at the check", "L", S, lambda w: os.chmod(w.path("ship/7za"), 0o644),
     "y", warn("not executable"), [], None),
    # Two at once: the second stops while the first waits, and changes nothing; the first then ends as alone
    ("two at once: the second run changes nothing", "LW", S, (earlier(CLIENT), held_first()), "yy",
     [WY, (W, busy, "OK")], [CLIENT, PACK], first_then(client_installed)),
    ("two at once: a first run killed leaves no lock", "LW", S, (earlier(CLIENT), held_first(), lambda w:
     w.p.killed(w)), "yy", [WY, PY, DONE], [CLIENT, PACK], client_installed),
    ("two at once into different game folders: no wait", "LW", S, (earlier(CLIENT), held_first("other"),
     missing(CLIENT)), "y", INSTALLED, [CLIENT, PACK, "other"], first_then(client_installed, False)),
    ("Ctrl+C during the removal ends the run: nothing installed", "tty", S, (earlier(CLIENT), attr(code=-2),
     logged("rm", 'sleep 2; exec /bin/rm "$@"')), ["y", "y", "\x03"], None, ["ship/rm.log"], terminal_restored),
    ("an xdg-open planted beside Setup, PATH=:/usr/bin: not started", "L", S, (missing("~"), lambda w: (w.write(
        "ship/xdg-open", b"#!/bin/sh\ntouch PLANTED\n"), os.chmod(w.path("ship/xdg-open"), 0o755)), attr(env={
            "DISPLAY": ":99", "PATH": ":/usr/bin"})), "yy", [WY, (Q, "edit", "Yes")], [INI],
     lambda t, w, r: time.sleep(1)),
    ("a reader of the old resource pack keeps reading it", "L", S, (earlier(CLIENT), pack_held_open), "yy",
     [WY, PY, DONE], [CLIENT, PACK], all_of(client_installed, lambda t, w, r: t.assertEqual(
         (w.reader.read(), w.read(PACK)), (b"old pack" * 999, w.read(SHIP_PACK))))),
    ("a copy killed half-way: whole after a rerun, nothing left", "L", S, killed_copying(S, SHIP_PACK, PACK),
     "yy", [WY, PY, DONE], [CLIENT, "~resourcepacks"], all_of(client_installed, lambda t, w, r: t.assertEqual(
         (os.listdir(w.path("~resourcepacks")), w.read(PACK)), ([PACK[15:]], w.read(SHIP_PACK))))),
    *[("archiver of garbage bytes (a truncated download): -1, never success", "L", program, archiver(
        bytes(range(256)) * 16), keys, shown, changes, None) for program, keys, shown, changes in [
        (S, "y", warn(failed("d", -1)), [CLIENT, PACK]), (SS, b"y", TERMS_Y + [failed("d", -1, SS)], [HDS])]],
    *[("a parent that ignores SIGCHLD: " + how, where, program, parent_ignores("CHLD"), keys, *end)
      for how, where, program, keys, end in [
          ("a client install", "L", S, "y", ENDS["installed"]),
          ("a server build", "L", SS, b"y", (TERMS_Y + BUILT, [HDS], server_installed(HDS))),
          ("dialogs on a desktop", "desk", S, "yo", ENDS["installed"])]],
    ("a parent that ignores SIGPIPE: so does the archiver", "L", SS, (parent_ignores("PIPE"), archiver_after(
        '[ $((0x$(sed -n "s/^SigIgn:\\t//p" /proc/$$/status) & 0x1000)) -ne 0 ] || exit 9')), b"y", TERMS_Y + BUILT,
     [HDS], server_installed(HDS)),
    # Setup: keys on Linux, where it starts, the editor, the default game folder
    ("closed input refuses", "L", S, None, b"", [WN, NO], [], None),
    ("Enter takes the default, Yes", "L", S, None, b"\r", *ENDS["installed"]),
    ("other keys are no answers", "L", S, None, b"xq\nY", *ENDS["installed"]),
    ("started from another folder", "L", S, attr(cwd="/"), "y", INSTALLED, [CLIENT, PACK],
     all_of(client_installed, no_file("/versions"))),
    ("the editor is started and not waited for", "L", S, (missing("~"), logged("xdg-open", "exec sleep 5\n"),
     attr(env={"DISPLAY": ":99"})), "yy", [WY, (Q, "edit", "Yes")], [INI, "ship/xdg-open.log"], editor_started),
    ("no desktop: no editor", "L", S, (missing("~"), logged("xdg-open")), "yy", [WY, (Q, "edit", "Yes")], [INI],
     lambda t, w, r: (time.sleep(1), no_file("ship/xdg-open.log")(t, w, r))),
    ("unset HOME: the root's game folder", "L", S, attr(env={"HOME": None}), "yn", EDIT_NO, [INI],
     holds(INI, b"minecraft_path=/.minecraft/")),
    ("resourcepacks links to the mod: no copy onto itself", "L", S, link("~resourcepacks", "ship/1.6.4-BRAX"), "y",
     warn(copy_failed("1.6.4-BRAX/BRAX Resource Pack 1.6.4.zip", PACK)), [CLIENT],
     holds("ship/1.6.4-BRAX/BRAX Resource Pack 1.6.4.zip", sp.RESOURCE_PACK)),
    ("an earlier install's link goes, not what it points to", "L", S, (earlier("elsewhere"), link(CLIENT, "elsewhere")),
     "yy", [WY, PY, DONE], [CLIENT, PACK], all_of(client_installed, holds("elsewhere/old-extra.txt", b"old"))),
    # Setup: removals that fail
    ("earlier install that cannot be removed: three tries", "L", S, (root_owned(CLIENT),
     logged("rm", 'exec /bin/rm "$@"')), "yy", [WY, PY, (W, "not removed", "OK")], ["ship/rm.log"],
     all_of(removal_attempts, took(8.3, 12))),
    ("earlier server jar that cannot be removed", "L", S, (server_source, missing("ship/1.6.4-BRAX"),
     root_owned(SERVER)), "yy", [WY, (Q, "previous HDS", "Yes"), (W, "not removed", "OK")], [], took(8.3, 12)),
    # Setup: setup.ini of every kind, long paths, the disk
    *[("setup.ini " + name, "L", S, world, "y", *ENDS["installed"]) for name, world in [
        ("of 100 MB, the key last", (moved_game("elsewhere/mc"), huge_ini(True))),
        ("of 100 MB in one line: the default", huge_ini(False)),
        ("of binary noise: the default", ini(random.Random(7).randbytes(1 << 20).replace(b"=", b"-"))),
        ("with binary bytes around the key", (moved_game("elsewhere/mc"), ini(
            lambda w: b"\x00\xff\x1b[A\r\nminecraft_path=" + os.fsencode(w.game) + b"\r\n\x00\xfe=\xff\n"))),
        ("a folder: the default", lambda w: os.makedirs(w.path(INI + "/minecraft_path=nowhere"))),
        ("unreadable: the default", (ini(b"minecraft_path=/nowhere"), as_nobody, lambda w: os.chmod(w.path(INI), 0))),
        ("a link to /dev/zero: the default", link(INI, "/dev/zero")),
        ("a fifo: the default", lambda w: os.mkfifo(w.path(INI))),
        ("a dangling link: the default", link(INI, "/nowhere/setup.ini"))]],
    ("program path of 259 bytes", "L", S, long_path("program", 259), "y", *ENDS["installed"]),
    ("program path of 260 bytes: unreadable", "L", S, long_path("program", 260), "y", warn("no archiver"), [], None),
    *[("ship folder of long Cyrillic and Chinese names", "LW", program, moved("ship", LONG_NAMES), keys, *end)
      for program, keys, end in [(S, "y", ENDS["installed"]), (SS, b"y", (TERMS_Y + BUILT, [LONG_NAMES[:121] + HDS],
                                                                           server_installed(LONG_NAMES[:121] + HDS)))]],
    # Started from inside an archive: the archiver was left in it
    *[("alone in a temporary folder, as from inside an archive", "LW", program, alone_in_temporary, keys, shown, [],
       None) for program, keys, shown in [(S, "y", warn("from archive")), (SS, b"y", TERMS_Y + ["from archive SS"])]],
    ("alone in a temporary folder that TMP names in short names", "W", S, (lambda w: w.p.short_temporary(w),
     alone_in_temporary), "y", warn("from archive"), [], None),
    *[("no archiver, TMPDIR " + name, "L", S, (missing("ship/7za"), *world), "y", warn(text), [], None)
      for name, world, text in [("unset: /tmp", [attr(env={"TMPDIR": None})], "from archive"),
                                ("a link to the folder above", [link("up", "."), tmpdir("up")], "from archive"),
                                ("a name the folder begins with", [tmpdir("sh")], "no archiver")]],
    ("jar path of 1500 bytes", "L", S, long_path("jar", 1500), "y", *ENDS["installed"]),
    ("full disk: no half-written jar", "L", S, small_disk("~versions", "400k"), "y",
     warn(copy_failed("~versions/1.6.4/1.6.4.jar", CLIENT + "/1.6.4-BRAX.jar")), [CLIENT],
     no_file(CLIENT + "/1.6.4-BRAX.jar")),
    # Setup: odd names, in every place a name can come from
    *[("odd %s %r" % (where, name), "L", S, odd(where, name), "yy", [WY, PY, DONE], [CLIENT, PACK, INI],
       all_of(client_installed, holds(CLIENT + " old/keep.txt", b"sibling")))
      for name in ODD_NAMES for where in ("home", "ini", "ship") if not (where == "ini" and "\n" in name)],
    *[("relative game folder %r, removed by its full path" % name, "L", S, (moved_game("ship/" + name), ini(
        b"minecraft_path=" + name.encode()), earlier(CLIENT), logged("rm", 'exec /bin/rm "$@"')), "yy", [WY, PY, DONE],
       [CLIENT, PACK, "ship/rm.log"], all_of(client_installed, lambda t, w, r: t.assertIn(
           " -- %s\n" % w.path(CLIENT), w.read("ship/rm.log").decode()))) for name in ("-mc", "-rf x", "--")],
    # Setup under Wine: attributes, a drive root, names outside the code page, a real 7za.exe
    ("hidden archiver does not count", "W", S, lambda w: w.p.attrib(w, "+h", "ship/7za.exe"), "y", warn("no archiver"),
     [], None),
    ("read-only archiver counts", "W", S, lambda w: os.chmod(w.path("ship/7za.exe"), 0o444), "y", *ENDS["installed"]),
    ("system vanilla jar does not count", "W", S, lambda w: w.p.attrib(w, "+s", "~versions/1.6.4/1.6.4.jar"), "y",
     warn("no vanilla jar"), [], None),
    ("vanilla jar that is no zip: the archiver's code", "LW", S, not_a_zip("~versions/1.6.4/1.6.4.jar"), "y",
     warn(failed("d", 2)), [CLIENT, PACK], None),
    ("the game running: nothing of the install removed; once it ends a rerun replaces it", "W", S, (earlier(CLIENT),
     lambda w: w.p.hold(w, CLIENT + "/1.6.4-BRAX.jar")), "yy", [WY, PY, (W, "in use", "OK")], [CLIENT, PACK],
     game_closed_then),
    ("earlier install that cannot be removed", "W", S, (earlier(CLIENT), immutable(CLIENT + "/old-extra.txt")), "yy",
     [WY, PY, (W, "not removed", "OK")], [CLIENT], None),
    ("program in a drive root", "W", S, lambda w: w.p.drive_root(w), "y", *ENDS["installed"]),
    ("the editor answered No: none started", "W", S, (missing("~"), editor("edit")), "yn", EDIT_NO, [INI],
     lambda t, w, r: time.sleep(2)),
    ("the editor with only an open verb: that one started", "W", S, (missing("~"), editor("open")), "yy",
     [WY, (Q, "edit", "Yes")], [INI, LOG], edited),
    ("earlier install removed by the system's cmd, not by COMSPEC's cmd.exe beside Setup", "W", S, (earlier(CLIENT),
     registered("cmd.exe", "HKCU\\Environment", ("add", "", "/v", "COMSPEC", "/d", "cmd.exe"))), "yy",
     [WY, PY, DONE], [CLIENT, PACK], client_installed),
    ("copy failure with a Cyrillic path", "W", S, (lambda w: w.p.user(w, "Иван Петров"), missing("ship/" + JSON)), "y",
     warn(copy_failed(JSON, CLIENT + "/1.6.4-BRAX.json")), [CLIENT], None),
    ("setup.ini with a UTF-8 mark", "LW", S, game_in_ini("elsewhere/mc", "utf-8-sig"), "y", *ENDS["installed"]),
    ("setup.ini in UTF-16 LE with CR LF", "LW", S, game_in_ini("elsewhere/mc", "utf-16"), "y", *ENDS["installed"]),
    ("setup.ini in UTF-16 BE", "LW", S, game_in_ini("elsewhere/mc", "utf-16-be", "\ufeff"), "y", *ENDS["installed"]),
    ("Cyrillic game folder in a UTF-16 setup.ini", "W", S, game_in_ini("Игры/mc", "utf-16"), "y", *ENDS["installed"]),
    ("Cyrillic game folder in a UTF-8 setup.ini", "W", S, game_in_ini("Игры/mc"), "y", *ENDS["installed"]),
    ("Cyrillic game folder in a legacy (1251) setup.ini", "W", S, (game_in_ini("Игры/mc", encoding="cp1251"),
     attr(env={"LC_ALL": "ru_RU.UTF-8"})), "y", *ENDS["installed"]),
    *[("%s user folder, game folder missing: setup.ini written, read back" % script, "W", S, (lambda w, n=name:
       w.p.user(w, n), moved_game("elsewhere")), "yn", EDIT_NO, None, lambda t, w, r: w.p.read_back(t, w))
      for script, name in [("Cyrillic", "Иван Петров"), ("Latin", "José Müller"), ("Chinese", "张伟")]],
    # Libraries planted beside the programs and where they start: no row allows the mark one leaves when loaded
    ("planted libraries: a client install", "W", S, planted, "y", *ENDS["installed"]),
    ("planted libraries: an overwrite", "W", S, (planted, earlier(CLIENT)), "yy", [WY, PY, DONE], [CLIENT, PACK],
     client_installed),
    ("planted libraries: edit answered Yes, the editor started", "W", S, (planted, missing("~"), editor("edit")), "yy",
     [WY, (Q, "edit", "Yes")], [INI, LOG], edited),
    ("planted libraries: a server build", "W", SS, planted, b"y", TERMS_Y + BUILT, [HDS], server_installed(HDS)),

    # ServerSetup: the build, updates, refusals, keys
    ("first build", "LW", SS, None, b"y", TERMS_Y + BUILT, [HDS], server_installed(HDS)),
    ("update answered y", "LW", SS, earlier_build, b"yy", TERMS_Y + ["update", "y"] + BUILT, [HDS],
     all_of(server_installed(HDS, "server.properties"), holds(HDS + "/server.properties", b"motd=mine"))),
    ("update answered n", "LW", SS, earlier_build, b"yn", TERMS_Y + ["update", "n", "refused"], [], None),
    ("terms refused", "LW", SS, None, b"n", ["terms", "n", "refused"], [], None),
    ("closed input refuses", "LW", SS, None, None, ["terms", "n", "refused"], [], None),
    ("capitals and other keys are no answers", "LW", SS, None, b"YN\r\x1b[Aqn", ["terms", "n", "refused"], [], None),
    ("no archiver", "LW", SS, lambda w: missing("ship/" + w.p.za)(w), b"y", TERMS_Y + ["no 7za"], [], None),
    ("archiver only a folder", "L", SS, (missing("ship/7za"), lambda w: os.mkdir(w.path("ship/7za"))), b"y",
     TERMS_Y + ["no 7za"], [], None),
    ("no vanilla jar", "LW", SS, missing("ship/1.6.4.jar"), b"y", TERMS_Y + ["no jar"], [], None),
    ("no source folder", "LW", SS, missing("ship/" + HDS), b"y", TERMS_Y + ["no HDS"], [], None),
    ("no run.bat: the jar is copied first", "LW", SS, missing("ship/%s/run.bat" % HDS), b"y",
     TERMS_Y + [copy_failed(HDS + "/run.bat", HDS + "/run.bat", SS)], [HDS], copied_first()),
    ("no bash_scripts.tar: the scripts in order", "L", SS, missing("ship/%s/bash_scripts.tar" % HDS), b"y",
     TERMS_Y + [copy_failed(HDS + "/bash_scripts.tar", HDS + "/bash_scripts.tar", SS)], [HDS],
     copied_first("run.bat", "bash_scripts.zip")),
    ("no class folder: -1", "LW", SS, missing("ship/%s/class" % HDS), b"y", TERMS_Y + [failed("a", -1, SS)], [HDS],
     lambda t, w, r: t.assertNotIn("META-INF/MANIFEST.MF", sp.jar_entries(w.path(HDS_JAR)))),
    ("deleting META-INF fails", "LW", SS, stand_in(2, 0), b"y", TERMS_Y + [failed("d", 2, SS)], [HDS, LOG],
     all_of(archiver_ran(SS, "d"), copied_first(*sp.SERVER_SCRIPTS))),
    ("archiver warning code 1 fails too", "L", SS, stand_in(1, 0), b"y", TERMS_Y + [failed("d", 1, SS)], [HDS, LOG],
     None),
    ("adding classes fails", "LW", SS, stand_in(0, 7), b"y", TERMS_Y + [failed("a", 7, SS)], [HDS, LOG],
     archiver_ran(SS, "d", "a")),
    ("server folder without the jar: reused", "L", SS, (lambda w: w.write(HDS + "/world/level.dat", b"level"),
     lambda w: w.write(HDS + "/bash_scripts.tar", b"old")), b"y", TERMS_Y + BUILT, [HDS],
     all_of(server_installed(HDS, "world"), holds(HDS + "/world/level.dat", b"level"))),
    *[("archiver leftovers go, look-alikes stay: " + name, where, program, world + (leftovers(folder),), keys, shown,
       [folder], server_installed(folder, *extra, *LOOK_ALIKES))
      for name, where, program, folder, world, keys, shown, extra in [
          ("a first build", "LW", SS, HDS, (), b"y", TERMS_Y + BUILT, ()),
          ("an update", "LW", SS, HDS, (earlier_build,), b"yy", TERMS_Y + ["update", "y"] + BUILT,
           ["server.properties"]),
          ("Setup's server edition", "LW", S, SERVER, (server_source, earlier(SERVER)), "yy",
           [WY, (Q, "previous HDS", "Yes"), HDS_DONE], ["old-extra.txt"]),
          ("one that cannot be removed stays", "L", SS, HDS, (lambda w: w.write(HDS_JAR + ".tmp3"),
           immutable(HDS_JAR + ".tmp3")), b"y", TERMS_Y + BUILT, ["1.6.4-BRAX-HDS.jar.tmp3"])]],
    ("server folder cannot be made", "L", SS, lambda w: w.write(HDS, b"a file"), b"y", TERMS_Y + ["no folder"], [],
     None),
    ("server folder reused, run.bat a link out of it: the link replaced", "L", SS, (
        lambda w: os.makedirs(w.path(HDS)), link(HDS + "/run.bat", "victim.txt"), lambda w: w.write("victim.txt")),
     b"y", TERMS_Y + BUILT, [HDS], server_installed(HDS)),
    ("under nohup, a hang-up to the group while the archiver runs: built", "L", SS, (
        attr(prefix=["setsid", "-w", "nohup"]), archiver_after("kill -HUP 0; sleep 0.3")), b"y", TERMS_Y + BUILT,
     [HDS], server_installed(HDS)),
    ("server folder links to the mod: no copy onto itself", "L", SS, link(HDS, "ship/" + HDS), b"y",
     TERMS_Y + [copy_failed(HDS + "/run.bat", HDS + "/run.bat", SS)], ["ship/" + HDS],
     holds("ship/%s/run.bat" % HDS, sp.SERVER_SCRIPTS["run.bat"])),
    ("jar that cannot be removed: two tries; no new key", "L", SS, (earlier_build, immutable(HDS)), b"yyx",
     TERMS_Y + ["update", "y", "jar stays"], [], took(4.2, 7)),
    ("started from another folder", "L", SS, (lambda w: os.makedirs(w.path("deep/er")),
     attr(cwd=lambda w: w.path("deep/er"))), b"y", TERMS_Y + BUILT, [HDS], server_installed(HDS)),
    ("output whose reader is gone (| head -1): the same jar", "LW", SS, attr(reader_gone=True), b"y", None, [HDS],
     server_installed(HDS)),
    *[("a SIG%s to the program alone while the archiver runs ends that too" % name, "L", SS, (killing_archiver(name),
       attr(code=-number)), b"y", TERMS_Y, [HDS, "ship/7za.pid"], lambda t, w, r: t.assertRaises(  # the archiver gone
        ProcessLookupError, os.kill, int(w.read("ship/7za.pid")), 0)) for name, number in (("TERM", 15), ("HUP", 1))],
    ("ended by Task Manager while the archiver runs: that ends too", "W", SS, (stand_in(), lambda w:
     w.p.killed_at_archiver(w)), b"n",
     ["terms", "n", "refused"], [HDS, LOG], lambda t, w, r: t.assertNotIn(b"done", w.read(LOG))),
    ("archiver without its execute bit: stopped at the check", "L", SS, lambda w: os.chmod(w.path("ship/7za"), 0o644),
     b"y", TERMS_Y + ["not executable SS"], [], None),
    ("two at once: the second run changes nothing", "L", SS, (earlier_build, held_first()), b"yy",
     TERMS_Y + ["busy SS"], [HDS], first_then(server_installed(HDS, "server.properties"))),
    ("two at once: a first run killed leaves no lock", "L", SS, (earlier_build, held_first(), lambda w:
     w.p.killed(w)), b"yy", TERMS_Y + ["update", "y"] + BUILT, [HDS], server_installed(HDS, "server.properties")),
    *[("server folder made beforehand %s: refused, nothing written" % how, "L", SS, (lambda w: os.makedirs(w.path(HDS)),
       change), b"y", TERMS_Y + ["shared SS"], [], None) for how, change in (("with mode 0777", lambda w: os.chmod(
        w.path(HDS), 0o777)), ("by another user", lambda w: os.chown(w.path(HDS), 65534, -1)))],
    ("read-only server folder", "L", SS, small_disk(HDS, "4m", read_only=True), b"y",
     TERMS_Y + [copy_failed("1.6.4.jar", HDS_JAR, SS)], [], None),
    ("copy over the file-size limit: no half-written jar", "L", SS, file_size_limit, b"y",
     TERMS_Y + [copy_failed("1.6.4.jar", HDS_JAR, SS)], [HDS], no_file(HDS_JAR)),
    ("no CPU at a prompt on an open pipe", "L", SS, None, [2.0], ["terms", "n", "refused"], [], cpu_below(0.1)),
    *[("odd program folder %r" % name, "L", SS, odd("ship", name), b"yy", TERMS_Y + ["update", "y"] + BUILT, [HDS],
       server_installed(HDS, "server.properties")) for name in ODD_NAMES],
    # Both in a terminal: keys as typed, the terminal given back, interrupts, a hang-up
    ("only y and n answer; no CPU at the prompt", "tty", SS, None, ["Y", "\r", "\x1bOP", "\x1b[A", "N", 2.0, "n",
     "\x1b[15~"], ["terms", "n", "refused"], [], all_of(terminal_restored, cpu_below(0.1))),
    ("a key in the long pause ends it and the last wait", "tty", SS, (earlier_build, immutable(HDS)),
     ["y", "y", 1.0, "x"], TERMS_Y + ["update", "y", "jar stays"], [], took(1.0, 3.0)),
    ("Ctrl+C ends it, the terminal restored", "tty", SS, attr(code=-2), ["\x03"], ["terms"], [], terminal_restored),
    ("Ctrl+\\ ends Setup, the terminal restored", "tty", S, attr(code=-3), ["\x1c"], None, [], terminal_restored),
    ("a parent that ignores SIGINT: Ctrl+C ends nothing", "tty", SS, parent_ignores("INT"), ["\x03", "n", "q"],
     ["terms", "n", "refused"], [], terminal_restored),
    ("stopped, the terminal reset to line mode, continued: keys stay raw", "tty", SS, None,
     [stopped_in_line_mode, "n", "q"], ["terms", "n", "refused"], [], terminal_restored),
    ("a background job killed after bg ends without fg", "tty", SS, attr(prefix=["/bin/bash", "-c", 'set -m; "$0"; bg; '
     'sleep 0.5; kill %1; sleep 1; jobs']), ["\x1a"], None, [], lambda t, w, r: t.assertIn(b"Terminated", r.stdout)),
    ("Ctrl+Z without job control changes nothing", "tty", SS, None, ["\x1a", "n", "q"], ["terms", "n", "refused"], [],
     terminal_restored),
    ("a hang-up at the terms builds nothing", "tty", SS, None, [], None, [], None),
    ("Setup in a terminal: Enter is Yes", "tty", S, None, ["\r", "o"], INSTALLED, [CLIENT, PACK],
     all_of(client_installed, terminal_restored)),
    # Random keys: no crash, no hang, and only real answers
    *[("random keys %d" % seed, how, program, (server_source, stand_in(), earlier(SERVER), earlier_build),
       random_keys(seed) if how == "tty" else b"".join(random_keys(seed))[:-6], None, None, only_real_answers)
      for seed in range(3) for how in ("L", "tty") for program in (S, SS)],
    # The release's static programs and archiver for each machine in an older userland (Debian 11, scripts/test-release)
    *[("the release for %s: %s" % (machine, row[0]), machine + row[1], *row[2:]) for machine in RELEASE_MACHINES
      for row in [("a client install", "", S, None, "y", *ENDS["installed"][:2],
                   all_of(client_installed, launcher_jar)),
                  ("a server build", "", SS, None, b"y", TERMS_Y + BUILT, [HDS], server_installed(HDS)),
                  ("an update answered y", "", SS, earlier_build, b"yy", TERMS_Y + ["update", "y"] + BUILT, [HDS],
                   server_installed(HDS, "server.properties")),
                  ("a client install where inode numbers need 64 bits", "", S, big_inodes, "y", *ENDS["installed"]),
                  ("a server build where inode numbers need 64 bits", "", SS, big_inodes, b"y", TERMS_Y + BUILT, [HDS],
                   server_installed(HDS)),
                  ("a closed input changes nothing", "", SS, None, None, ["terms", "n", "refused"], [], None),
                  ("keys typed in a terminal", " tty", SS, None, ["Y", "\x1b[A", "y", "\x1bOP"], TERMS_Y + BUILT,
                   [HDS], all_of(server_installed(HDS), terminal_restored))]],
    # Setup on a Linux desktop with no terminal: zenity's dialogs, and kdialog's
    ("desktop: install answered Yes", "desk", S, None, "yo", *ENDS["installed"]),
    ("desktop: welcome refused", "desk", S, None, "no", [WN, NO], [], None),
    ("desktop: the welcome closed is No", "desk", S, None, "co", [WN, NO], [], None),
    ("desktop: game folder missing, edit No", "desk", S, missing("~"), "yn", EDIT_NO, [INI], None),
    ("desktop: a failure ends with a warning", "desk", S, missing("ship/7za"), "yo", warn("no archiver"), [], None),
    ("desktop: <, & and line breaks shown as they stand", "desk", S, (game_in_ini("g<b>m&amp;e  */mc"),
     missing("ship/1.6.4-BRAX/1.6.4-BRAX.json")), "yo",
     warn(copy_failed("1.6.4-BRAX/1.6.4-BRAX.json", CLIENT + "/1.6.4-BRAX.json")), [CLIENT], None),
    ("desktop: a dialog that dies is No", "desk", S, attr(dialog="sh -c 'kill -9 $$'"), "",
     [(Q, "welcome", None), (I, "no changes", None)], [], None),
    ("desktop: ZENITY_CANCEL=0 does not make No a Yes", "desk", S, attr(env={"ZENITY_CANCEL": "0", "ZENITY_ESC": "0"}),
     "no", [WN, NO], [], None),
    *[("desktop session, keys %s: text boxes, no dialog" % how, "L", S, (logged("zenity"), attr(env={"DISPLAY": ":99"},
       stdio=stdio)), "y", *ENDS["installed"]) for how, stdio in [
        ("on a pipe", None), ("in a file, the output a file", "files"), ("on a socket", "socket")]],
    ("no desktop session, no keys: text boxes", "L", S, logged("zenity"), None, [WN, NO], [], None),
    ("WAYLAND_DISPLAY alone, no keys: dialogs, each a Yes", "L", S, (logged("zenity"),
     attr(env={"WAYLAND_DISPLAY": "wayland-0"})), None, [], [CLIENT, PACK, "ship/zenity.log"], client_installed),
    # ServerSetup in a Wine console: keys as typed
    ("terms: Y, Enter, F1 and Up dropped, then n; F1 ends the wait", "con", SS, None,
     [("[y/n]", ["Y", "Enter", "F1", "Up", "n"]), ("Press any key", ["F1"])], ["terms", "n", "refused"], [], None),
    ("first build; an arrow ends the wait", "con", SS, None, [("[y/n]", ["y"]), ("Press any key", ["Down"])],
     TERMS_Y + BUILT, [HDS], server_installed(HDS)),
    *[("QuickEdit off for the archiver, back after; keys " + how, "con", SS, (stand_in(0, 0), lambda w, k=keys:
       w.p.quick_edit(w, k)), typed, TERMS_Y + BUILT, [HDS, LOG, "ship/console.log"], lambda t, w, r:
       w.p.quick_edit_kept(t, w)) for how, keys, typed in [
        ("typed", "", [("[y/n]", ["y"]), ("Press any key", ["Enter"])]), ("from a pipe: untouched", "y", [])]],
    ("update: N is no answer, y is", "con", SS, earlier_build, [("[y/n]", ["y"]), ("update it?", ["N", "y"]),
     ("Press any key", ["Enter"])], TERMS_Y + ["update", "y"] + BUILT, [HDS],
     server_installed(HDS, "server.properties")),
]

"""Both programs end to end, one table for Linux and Wine: ROWS, each a Row, one run.
A world knows its platform as w.p (run_linux.Linux, run_wine.Wine)."""
import dataclasses
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

import release_texts
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
EDIT_NO, EDIT_YES = [WY, (Q, "edit", "No")], [WY, (Q, "edit", "Yes")]
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


@dataclasses.dataclass(frozen=True)
class Row:
    name: str
    # "LW" through a pipe on Linux and under Wine, "L" or "W" on one of them, "tty" in a Linux terminal, "desk" on a
    # Linux desktop, "con" in a Wine console; "x86_64", "aarch64", "armhf" the release's Linux programs for that
    # machine in an older Linux userland (" tty": in a terminal)
    where: str
    program: str
    _: dataclasses.KW_ONLY
    world: object = None  # what prepares the world: one function of it, or a tuple of them
    # Standard input, or Setup's answers under Wine: bytes, or a list of chunks typed one after another, where a
    # number is a pause in seconds; None is /dev/null
    keys: object = None
    # Setup's boxes (kind, text, answer) or ServerSetup's texts, in order; a text is a name in texts(), bytes, or a
    # function of the world; None leaves the output to the check
    shown: object = None
    changes: object = ()  # the paths that may change ("~" begins one below the game folder); None: not compared
    check: object = None  # check(test, world, result)


def run_rows(test, wheres, make_world, launch, how="", names=re.compile("")):
    """Runs the rows for `wheres` whose names `names` finds (BRAX_ONLY=TEXT: that hold TEXT). A row's world is made and
    prepared, launch(w, row) runs it and gives the result: .code, and .boxes for Setup, .stdout for ServerSetup
    (or .screen, the lines of a console); then what it showed, the changes and the check are compared."""
    for row in ROWS:
        if row.where in wheres and names.search(row.name) and os.environ.get("BRAX_ONLY", "") in row.name:
            with test.subTest("%s: %s%s" % (row.program, row.name, how)):
                run_row(test, row, make_world(row.where), launch)


def run_row(test, row, w, launch):
    where, program, world, shown, changes, check = row.where, row.program, row.world, row.shown, row.changes, row.check
    test.addCleanup(shutil.rmtree, w.root, True)
    w.program_name = program
    if program == SS:
        server_source(w)
    try:
        prepare_world(w, world)
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


def prepare_world(w, world):
    """Runs a world's steps: one function, or a tuple of them and of such tuples."""
    if isinstance(world, tuple):
        for step in world:
            prepare_world(w, step)
    elif world:
        world(w)


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
def attr(**values): return lambda w: vars(w).update({k: v(w) if callable(v) else v for k, v in values.items()})
def warn(text): return [WY, (W, text, "OK")]
def not_a_zip(jar): return lambda w: w.write(jar, b"this is no zip archive\n" * 50)
def registered(*a): return lambda w: w.p.registered(w, *a)  # Wine: a stand-in program in the prefix's registry
def editor(verb): return registered("editor.exe", "HKCR\\inifile\\shell", ("delete", "\\edit"),  # only "open": no edit
                                    ("add", "\\%s\\command" % verb, "/ve", "/d", '"{}" "%1"'))
def planted(w): w.p.plant(w)  # a library that leaves a mark, under system libraries' names


def link(path, to):
    def prepare(w):
        if os.path.lexists(w.path(path)):
            missing(path)(w)
        os.symlink(to if to.startswith("/") else w.path(to), w.path(path))
    return prepare


def missing(*paths):
    def prepare(w):
        for path in paths:
            (shutil.rmtree if os.path.isdir(w.path(path)) else os.remove)(w.path(path))
    return prepare


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
    def prepare(w):
        for name in ("1.6.4-BRAX-HDS.jar.tmp", "1.6.4-BRAX-HDS.jar.tmp07", *LOOK_ALIKES[:2], "world/level.dat"):
            w.write(folder + "/" + name)
    return prepare


def pack_held_open(w):  # the game, running with the old resource pack open
    w.write(PACK, b"old pack" * 999)
    w.reader = open(w.path(PACK), "rb")
    w.cleanups.append(w.reader.close)


def earlier_build(w):
    sp.write_jar(w.path(HDS_JAR), {"stale.class": b"old", "META-INF/OLD.SF": b"old"})
    w.write(HDS + "/server.properties", b"motd=mine")
    w.write(HDS + "/run.bat", b"old run.bat")


def moved(what, to):  # the game folder ("game") or the program's ("ship") moved, parents made
    def prepare(w):
        os.makedirs(os.path.dirname(w.path(to)), exist_ok=True)
        os.rename(getattr(w, what), w.path(to))
        setattr(w, what, w.path(to))
    return prepare


def moved_game(to): return moved("game", to)


def game_in_ini(to, encoding="utf-8", mark=""):
    return moved_game(to), lambda w: w.write(INI, (mark + "MINECRAFT_PATH = %s\r\n" % w.p.name(w.game)).encode(
        encoding))


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
        if other:
            shutil.copytree(w.game, second, symlinks=True)
        for folder, how in ((w.game, default), (second, other)):
            if how == "bare":
                os.remove(folder + "/versions/1.6.4/1.6.4.jar")
        if not default:
            shutil.rmtree(w.game)
        w.game = second if into == "other" else w.game
    return prepare


def readme_ini(w):
    """The launcher's folder without 1.6.4, and the game where the players' README's setup.ini line names it."""
    value = release_texts.INI_EXAMPLE["windows" if w.p.sep == "\\" else "linux"].split("=", 1)[1]
    for step in ini_value(value, re.sub(r"^(~/|%APPDATA%\\)", "", value)):
        step(w)
    os.remove(os.path.join(w.home, ".minecraft", "versions", "1.6.4", "1.6.4.jar"))


def ini_value(value, at="mc"):
    """setup.ini naming `value`, and a vanilla install at HOME/at (Wine: APPDATA\\at) beside the default one."""
    return (lambda w: shutil.copytree(w.game, os.path.join(w.home, at), symlinks=True),
            lambda w: setattr(w, "game", os.path.join(w.home, at)),
            lambda w: w.write(INI, b"minecraft_path=" + value.encode()))


def as_nobody(w):
    """The program runs as nobody, who owns the world: root, whom permissions never stop, shows no failed removal."""
    subprocess.run(["chown", "-R", "nobody:nogroup", w.root], check=True)
    w.prefix = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"]


def root_owned(folder):  # made by root after the world went to nobody
    return as_nobody, earlier(folder)


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
        if read_only:
            subprocess.run(["mount", "-o", "remount,ro", target], check=True)
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
            if where == "ini":
                w.write(INI, b"minecraft_path=" + os.fsencode(folder))
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
        if what == "jar":
            w.write(INI, b"minecraft_path=" + w.game.encode())
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
def all_of(*checks):
    def check_all(t, w, r):
        for check in checks:
            check(t, w, r)
    return check_all
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
ENDS = {"installed": dict(shown=INSTALLED, changes=[CLIENT, PACK], check=client_installed),
        "overwritten": dict(shown=[WY, PY, DONE], changes=[CLIENT, PACK], check=client_installed),
        "no jar": dict(shown=warn("no vanilla jar")), "not found": dict(shown=EDIT_NO, changes=[INI], check=holds(
            INI, lambda w: ("minecraft_path=" + w.p.name(w.game) + w.p.sep).encode())),
        "built": dict(shown=TERMS_Y + BUILT, changes=[HDS], check=server_installed(HDS)),  # ServerSetup's
        "updated": dict(shown=TERMS_Y + ["update", "y"] + BUILT, changes=[HDS], check=server_installed(
            HDS, "server.properties")), "refused": dict(shown=["terms", "n", "refused"])}
# The release's Linux machines, by name (scripts/machines): the ELF class, machine and float ABI of their programs
RELEASE_MACHINES = dict(line.split()[0:6:5] for line in subprocess.run([os.path.join(os.path.dirname(
    __file__), "..", "..", "scripts", "machines")], stdout=subprocess.PIPE, text=True, check=True).stdout.splitlines())

# --- The table ---------------------------------------------------------------------------
ROWS = [
    # Setup: both editions, refusals, earlier installs, the game folder, every missing piece
    Row("client first install", "LW", S, keys="y", **ENDS["installed"]),
    Row("both source folders: server edition", "LW", S, world=server_source, keys="y", shown=[WY, HDS_DONE],
        changes=[SERVER], check=server_installed()),
    Row("welcome refused", "LW", S, keys="n", shown=[WN, NO]),
    Row("earlier install overwritten, its sibling spared", "LW", S, world=earlier(CLIENT, True), keys="yy",
        shown=[WY, PY, DONE], changes=[CLIENT, PACK], check=all_of(client_installed, holds(CLIENT + " old/keep.txt",
        b"sibling"))),
    Row("earlier install refused", "LW", S, world=earlier(CLIENT), keys="yn", shown=[WY, PN, NO]),
    Row("earlier server install: only the jar goes", "LW", S, world=(server_source, missing("ship/1.6.4-BRAX"),
        earlier(SERVER)), keys="yy", shown=[WY, (Q, "previous HDS", "Yes"), HDS_DONE], changes=[SERVER],
        check=all_of(server_installed(SERVER, "old-extra.txt"), holds(SERVER + "/old-extra.txt", b"old"))),
    Row("server edition needs no resource pack", "LW", S, world=(server_source, missing("ship/1.6.4-BRAX",
        "~resourcepacks")), keys="y", shown=[WY, HDS_DONE], changes=[SERVER], check=server_installed()),
    Row("empty game folder: the example is written", "LW", S, world=ini(b"minecraft_path=\r\n"), keys="yn",
        shown=EDIT_NO, changes=[INI], check=holds(INI, lambda w: w.p.example)),
    *[Row("game folder: the default %s, the other place %s" % (d or "missing", o or "missing"), "LW", S,
          world=places(d, o, to), keys="yn", **ENDS[end]) for d, o, to, end in [
        (None, "vanilla", "other", "installed"), ("vanilla", "vanilla", "default", "installed"),
        ("bare", "vanilla", "other", "installed"), ("bare", None, "default", "no jar"),
        (None, "bare", "other", "no jar"), (None, None, "default", "not found")]],
    Row("setup.ini names a folder without vanilla: no other place tried", "LW", S, world=(places(
        "vanilla", "vanilla", "default"), game_in_ini("elsewhere/mc"), missing("~versions/1.6.4/1.6.4.jar")), keys="y",
        **ENDS["no jar"]),
    Row("the launcher's folder without 1.6.4: setup.ini as the README says", "LW", S, world=readme_ini, keys="y",
        **ENDS["installed"]),
    *[Row("setup.ini value " + value, where, S, world=ini_value(value, at), keys="y", **ENDS["installed"])
      for where, value, at in [("L", "~/mc", "mc"), ("L", "$HOME/mc/", "mc"), ("L", '"${HOME}/my mc"', "my mc"),
                               ("W", "%appdata%\\mc", "mc"), ("W", '"%APPDATA%\\my mc\\"', "my mc")]],
    *[Row("setup.ini value %s: not found, written back" % value, where, S, world=ini_value(value), keys="yn",
          shown=EDIT_NO, changes=[INI], check=holds(INI, b"minecraft_path=%s%s" % (value.encode(), sep)))
      for where, value, sep in [
        ("L", "$BRAX_UNSET/mc", b"/"), ("W", "%BRAX_UNSET%\\mc", b"\\")]],
    Row("no archiver", "LW", S, world=lambda w: missing("ship/" + w.p.za)(w), keys="y", shown=warn("no archiver")),
    Row("no source folder", "LW", S, world=missing("ship/1.6.4-BRAX"), keys="y", shown=warn("no source")),
    Row("no resource pack", "LW", S, world=missing("ship/1.6.4-BRAX/BRAX Resource Pack 1.6.4.zip"), keys="y",
        shown=warn("no pack")),
    Row("no versions folder", "LW", S, world=missing("~versions"), keys="y", shown=warn("no versions")),
    Row("no resourcepacks folder", "LW", S, world=missing("~resourcepacks"), keys="y", shown=warn("no resourcepacks")),
    Row("no vanilla folder", "LW", S, world=missing("~versions/1.6.4"), keys="y", shown=warn("no vanilla folder")),
    Row("no vanilla jar", "LW", S, world=missing("~versions/1.6.4/1.6.4.jar"), keys="y", shown=warn("no vanilla jar")),
    Row("mod and game folder missing: the mod first", "L", S, world=missing("ship/1.6.4-BRAX", "~"), keys="y",
        shown=warn("no source")),
    Row("missing version file: the copy fails after the jar", "LW", S, world=missing("ship/" + JSON), keys="y",
        shown=warn(copy_failed(JSON, CLIENT + "/1.6.4-BRAX.json")), changes=[CLIENT],
        check=lambda t, w, r: t.assertEqual(os.listdir(w.path(CLIENT)), ["1.6.4-BRAX.jar"])),
    Row("first archiver run fails", "LW", S, world=stand_in(2, 0), keys="y", shown=warn(failed("d", 2)),
        changes=[CLIENT, PACK, LOG], check=archiver_ran(S, "d")),
    Row("second archiver run fails", "LW", S, world=stand_in(0, 7), keys="y", shown=warn(failed("a", 7)),
        changes=[CLIENT, PACK, LOG], check=archiver_ran(S, "d", "a")),
    Row("no class folder: -1", "LW", S, world=missing("ship/1.6.4-BRAX/class"), keys="y", shown=warn(failed("a", -1)),
        changes=[CLIENT, PACK]),
    Row("archiver killed: 128 + the signal", "L", S, world=stand_in("kill:9", 0), keys="y",
        shown=warn(failed("d", 137)), changes=[CLIENT, PACK, LOG]),
    Row("archiver a link to the system's", "L", S, world=link("ship/7za", shutil.which("7za")), keys="y",
        **ENDS["installed"]),
    Row("archiver without its execute bit: stopped at the check", "L", S, world=lambda w: os.chmod(
        w.path("ship/7za"), 0o644), keys="y", shown=warn("not executable")),
    # Two at once: the second stops while the first waits, and changes nothing; the first then ends as alone
    Row("two at once: the second run changes nothing", "LW", S, world=(earlier(CLIENT), held_first()), keys="yy",
        shown=[WY, (W, busy, "OK")], changes=[CLIENT, PACK], check=first_then(client_installed)),
    Row("two at once: a first run killed leaves no lock", "LW", S, world=(earlier(CLIENT), held_first(),
        lambda w: w.p.killed(w)), keys="yy", **ENDS["overwritten"]),
    Row("two at once into different game folders: no wait", "LW", S, world=(earlier(CLIENT), held_first("other"),
        missing(CLIENT)), keys="y", shown=INSTALLED, changes=[CLIENT, PACK, "other"], check=first_then(
        client_installed, False)),
    Row("Ctrl+C during the removal ends the run: nothing installed", "tty", S, world=(earlier(CLIENT), attr(code=-2),
        logged("rm", 'sleep 2; exec /bin/rm "$@"')), keys=["y", "y", "\x03"], changes=["ship/rm.log"],
        check=terminal_restored),
    Row("an xdg-open planted beside Setup, PATH=:/usr/bin: not started", "L", S, world=(missing("~"),
        lambda w: w.write("ship/xdg-open", b"#!/bin/sh\ntouch PLANTED\n"), lambda w: os.chmod(
        w.path("ship/xdg-open"), 0o755), attr(env={"DISPLAY": ":99", "PATH": ":/usr/bin"})), keys="yy", shown=EDIT_YES,
        changes=[INI], check=lambda t, w, r: time.sleep(1)),
    Row("a reader of the old resource pack keeps reading it", "L", S, world=(earlier(CLIENT), pack_held_open),
        keys="yy", shown=[WY, PY, DONE], changes=[CLIENT, PACK], check=all_of(client_installed,
        lambda t, w, r: t.assertEqual((w.reader.read(), w.read(PACK)), (b"old pack" * 999, w.read(SHIP_PACK))))),
    Row("a copy killed half-way: whole after a rerun, nothing left", "L", S, world=killed_copying(S, SHIP_PACK, PACK),
        keys="yy", shown=[WY, PY, DONE], changes=[CLIENT, "~resourcepacks"], check=all_of(client_installed,
        lambda t, w, r: t.assertEqual((os.listdir(w.path("~resourcepacks")), w.read(PACK)), ([PACK[15:]], w.read(
        SHIP_PACK))))),
    *[Row("archiver of garbage bytes (a truncated download): -1, never success", "L", program,
          world=archiver(bytes(range(256)) * 16), keys=keys, shown=shown, changes=changes)
      for program, keys, shown, changes in [
        (S, "y", warn(failed("d", -1)), [CLIENT, PACK]), (SS, b"y", TERMS_Y + [failed("d", -1, SS)], [HDS])]],
    *[Row("a parent that ignores SIGCHLD: " + how, where, program, world=parent_ignores("CHLD"), keys=keys, **end)
      for how, where, program, keys, end in [
          ("a client install", "L", S, "y", ENDS["installed"]), ("a server build", "L", SS, b"y", ENDS["built"]),
          ("dialogs on a desktop", "desk", S, "yo", ENDS["installed"])]],
    Row("a parent that ignores SIGPIPE: so does the archiver", "L", SS, world=(parent_ignores("PIPE"),
        archiver_after('[ $((0x$(sed -n "s/^SigIgn:\\t//p" /proc/$$/status) & 0x1000)) -ne 0 ] || exit 9')), keys=b"y",
        **ENDS["built"]),
    # Setup: keys on Linux, where it starts, the editor, the default game folder
    Row("Enter takes the default, Yes", "L", S, keys=b"\r", **ENDS["installed"]),
    Row("other keys are no answers", "L", S, keys=b"xq\nY", **ENDS["installed"]),
    Row("started from another folder", "L", S, world=attr(cwd="/"), keys="y", shown=INSTALLED, changes=[CLIENT, PACK],
        check=all_of(client_installed, no_file("/versions"))),
    Row("the editor is started and not waited for", "L", S, world=(missing("~"), logged("xdg-open", "exec sleep 5\n"),
        attr(env={"DISPLAY": ":99"})), keys="yy", shown=EDIT_YES, changes=[INI, "ship/xdg-open.log"],
        check=editor_started),
    Row("no desktop: no editor", "L", S, world=(missing("~"), logged("xdg-open")), keys="yy", shown=EDIT_YES,
        changes=[INI], check=all_of(lambda t, w, r: time.sleep(1), no_file("ship/xdg-open.log"))),
    Row("unset HOME: the root's game folder", "L", S, world=attr(env={"HOME": None}), keys="yn", shown=EDIT_NO,
        changes=[INI], check=holds(INI, b"minecraft_path=/.minecraft/")),
    Row("resourcepacks links to the mod: no copy onto itself", "L", S, world=link("~resourcepacks", "ship/1.6.4-BRAX"),
        keys="y", shown=warn(copy_failed("1.6.4-BRAX/BRAX Resource Pack 1.6.4.zip", PACK)), changes=[CLIENT],
        check=holds("ship/1.6.4-BRAX/BRAX Resource Pack 1.6.4.zip", sp.RESOURCE_PACK)),
    Row("an earlier install's link goes, not what it points to", "L", S, world=(earlier("elsewhere"),
        link(CLIENT, "elsewhere")), keys="yy", shown=[WY, PY, DONE], changes=[CLIENT, PACK],
        check=all_of(client_installed, holds("elsewhere/old-extra.txt", b"old"))),
    # Setup: removals that fail
    Row("earlier install that cannot be removed: three tries", "L", S, world=(root_owned(CLIENT),
        logged("rm", 'exec /bin/rm "$@"')), keys="yy", shown=[WY, PY, (W, "not removed", "OK")],
        changes=["ship/rm.log"], check=all_of(removal_attempts, took(8.3, 12))),
    Row("earlier server jar that cannot be removed", "L", S, world=(server_source, missing("ship/1.6.4-BRAX"),
        root_owned(SERVER)), keys="yy", shown=[WY, (Q, "previous HDS", "Yes"), (W, "not removed", "OK")],
        check=took(8.3, 12)),
    # Setup: setup.ini of every kind, long paths, the disk
    *[Row("setup.ini " + name, "L", S, world=world, keys="y", **ENDS["installed"]) for name, world in [
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
    Row("program path of 259 bytes", "L", S, world=long_path("program", 259), keys="y", **ENDS["installed"]),
    Row("program path of 260 bytes: unreadable", "L", S, world=long_path("program", 260), keys="y",
        shown=warn("no archiver")),
    *[Row("ship folder of long Cyrillic and Chinese names", "LW", program, world=moved("ship", LONG_NAMES), keys=keys,
          **end) for program, keys, end in [(S, "y", ENDS["installed"]), (SS, b"y", dict(
              shown=TERMS_Y + BUILT, changes=[LONG_NAMES[:121] + HDS], check=server_installed(
                  LONG_NAMES[:121] + HDS)))]],
    # Started from inside an archive: the archiver was left in it
    *[Row("alone in a temporary folder, as from inside an archive", "LW", program, world=alone_in_temporary, keys=keys,
          shown=shown) for program, keys, shown in [(S, "y", warn("from archive")),
                                                    (SS, b"y", TERMS_Y + ["from archive SS"])]],
    Row("alone in a temporary folder that TMP names in short names", "W", S, world=(lambda w: w.p.short_temporary(w),
        alone_in_temporary), keys="y", shown=warn("from archive")),
    *[Row("no archiver, TMPDIR " + name, "L", S, world=(missing("ship/7za"), *world), keys="y", shown=warn(text))
      for name, world, text in [("unset: /tmp", [attr(env={"TMPDIR": None})], "from archive"),
                                ("a link to the folder above", [link("up", "."), tmpdir("up")], "from archive"),
                                ("a name the folder begins with", [tmpdir("sh")], "no archiver")]],
    Row("jar path of 1500 bytes", "L", S, world=long_path("jar", 1500), keys="y", **ENDS["installed"]),
    Row("full disk: no half-written jar", "L", S, world=small_disk("~versions", "400k"), keys="y",
        shown=warn(copy_failed("~versions/1.6.4/1.6.4.jar", CLIENT + "/1.6.4-BRAX.jar")), changes=[CLIENT],
        check=no_file(CLIENT + "/1.6.4-BRAX.jar")),
    # Setup: odd names, in every place a name can come from
    *[Row("odd %s %r" % (where, name), "L", S, world=odd(where, name), keys="yy", shown=[WY, PY, DONE],
          changes=[CLIENT, PACK, INI], check=all_of(client_installed, holds(CLIENT + " old/keep.txt", b"sibling")))
      for name in ODD_NAMES for where in ("home", "ini", "ship") if not (where == "ini" and "\n" in name)],
    *[Row("relative game folder %r, removed by its full path" % name, "L", S, world=(moved_game("ship/" + name),
          ini(b"minecraft_path=" + name.encode()), earlier(CLIENT), logged("rm", 'exec /bin/rm "$@"')), keys="yy",
          shown=[WY, PY, DONE], changes=[CLIENT, PACK, "ship/rm.log"], check=all_of(client_installed,
          lambda t, w, r: t.assertIn(" -- %s\n" % w.path(CLIENT), w.read("ship/rm.log").decode())))
      for name in ("-mc", "-rf x", "--")],
    # Setup under Wine: attributes, a drive root, names outside the code page, a real 7za.exe
    Row("hidden archiver does not count", "W", S, world=lambda w: w.p.attrib(w, "+h", "ship/7za.exe"), keys="y",
        shown=warn("no archiver")),
    Row("read-only archiver counts", "W", S, world=lambda w: os.chmod(w.path("ship/7za.exe"), 0o444), keys="y",
        **ENDS["installed"]),
    Row("system vanilla jar does not count", "W", S, world=lambda w: w.p.attrib(w, "+s", "~versions/1.6.4/1.6.4.jar"),
        keys="y", shown=warn("no vanilla jar")),
    Row("vanilla jar that is no zip: the archiver's code", "LW", S, world=not_a_zip("~versions/1.6.4/1.6.4.jar"),
        keys="y", shown=warn(failed("d", 2)), changes=[CLIENT, PACK]),
    Row("the game running: nothing of the install removed; once it ends a rerun replaces it", "W", S,
        world=(earlier(CLIENT), lambda w: w.p.hold(w, CLIENT + "/1.6.4-BRAX.jar")), keys="yy",
        shown=[WY, PY, (W, "in use", "OK")], changes=[CLIENT, PACK], check=game_closed_then),
    Row("earlier install that cannot be removed", "W", S, world=(earlier(CLIENT), immutable(CLIENT + "/old-extra.txt")),
        keys="yy", shown=[WY, PY, (W, "not removed", "OK")], changes=[CLIENT]),
    Row("program in a drive root", "W", S, world=lambda w: w.p.drive_root(w), keys="y", **ENDS["installed"]),
    Row("the editor answered No: none started", "W", S, world=(missing("~"), editor("edit")), keys="yn", shown=EDIT_NO,
        changes=[INI], check=lambda t, w, r: time.sleep(2)),
    Row("the editor with only an open verb: that one started", "W", S, world=(missing("~"), editor("open")), keys="yy",
        shown=EDIT_YES, changes=[INI, LOG], check=edited),
    Row("a folder named %USERNAME% in the game folder's path: an earlier install replaced", "W", S,
        world=(lambda w: w.p.user(w, "%USERNAME%"), earlier(CLIENT)), keys="yy", **ENDS["overwritten"]),
    # Wine cannot delete a link to a folder (Windows deletes it as the entry): the removal stops, nothing outside goes
    Row("a link in the earlier install to a folder outside: not followed", "W", S, world=(earlier(CLIENT),
        lambda w: w.write("elsewhere/keep.txt"), link(CLIENT + "/link", "elsewhere")), keys="yy",
        shown=[WY, PY, (W, "not removed", "OK")], changes=[CLIENT]),
    Row("copy failure with a Cyrillic path", "W", S, world=(lambda w: w.p.user(w, "Иван Петров"),
        missing("ship/" + JSON)), keys="y", shown=warn(copy_failed(JSON, CLIENT + "/1.6.4-BRAX.json")),
        changes=[CLIENT]),
    Row("setup.ini with a UTF-8 mark", "LW", S, world=game_in_ini("elsewhere/mc", "utf-8-sig"), keys="y",
        **ENDS["installed"]),
    Row("setup.ini in UTF-16 LE with CR LF", "LW", S, world=game_in_ini("elsewhere/mc", "utf-16"), keys="y",
        **ENDS["installed"]),
    Row("setup.ini in UTF-16 BE", "LW", S, world=game_in_ini("elsewhere/mc", "utf-16-be", "\ufeff"), keys="y",
        **ENDS["installed"]),
    Row("Cyrillic game folder in a UTF-16 setup.ini", "W", S, world=game_in_ini("Игры/mc", "utf-16"), keys="y",
        **ENDS["installed"]),
    Row("Cyrillic game folder in a UTF-8 setup.ini", "W", S, world=game_in_ini("Игры/mc"), keys="y",
        **ENDS["installed"]),
    Row("Cyrillic game folder in a legacy (1251) setup.ini", "W", S, world=(game_in_ini("Игры/mc", encoding="cp1251"),
        attr(env={"LC_ALL": "ru_RU.UTF-8"})), keys="y", **ENDS["installed"]),
    *[Row("%s user folder, game folder missing: setup.ini written, read back" % script, "W", S,
          world=(lambda w, n=name: w.p.user(w, n), moved_game("elsewhere")), keys="yn", shown=EDIT_NO, changes=None,
          check=lambda t, w, r: w.p.read_back(t, w))
      for script, name in [("Cyrillic", "Иван Петров"), ("Latin", "José Müller"), ("Chinese", "张伟")]],
    # Libraries planted beside the programs and where they start: no row allows the mark one leaves when loaded
    Row("planted libraries: a client install", "W", S, world=planted, keys="y", **ENDS["installed"]),
    Row("planted libraries: edit answered Yes, the editor started", "W", S, world=(planted, missing("~"),
        editor("edit")), keys="yy", shown=EDIT_YES, changes=[INI, LOG], check=edited),
    Row("planted libraries: a server build", "W", SS, world=planted, keys=b"y", **ENDS["built"]),

    # ServerSetup: the build, updates, refusals, keys
    Row("first build", "LW", SS, keys=b"y", **ENDS["built"]),
    Row("update answered y", "LW", SS, world=earlier_build, keys=b"yy", shown=TERMS_Y + ["update", "y"] + BUILT,
        changes=[HDS], check=all_of(server_installed(HDS, "server.properties"), holds(HDS + "/server.properties",
        b"motd=mine"))),
    Row("update answered n", "LW", SS, world=earlier_build, keys=b"yn", shown=TERMS_Y + ["update", "n", "refused"]),
    Row("terms refused", "LW", SS, keys=b"n", **ENDS["refused"]),
    Row("closed input refuses", "LW", SS, **ENDS["refused"]),
    Row("capitals and other keys are no answers", "LW", SS, keys=b"YN\r\x1b[Aqn", **ENDS["refused"]),
    Row("no archiver", "LW", SS, world=lambda w: missing("ship/" + w.p.za)(w), keys=b"y", shown=TERMS_Y + ["no 7za"]),
    Row("archiver only a folder", "L", SS, world=(missing("ship/7za"), lambda w: os.mkdir(w.path("ship/7za"))),
        keys=b"y", shown=TERMS_Y + ["no 7za"]),
    Row("no vanilla jar", "LW", SS, world=missing("ship/1.6.4.jar"), keys=b"y", shown=TERMS_Y + ["no jar"]),
    Row("no source folder", "LW", SS, world=missing("ship/" + HDS), keys=b"y", shown=TERMS_Y + ["no HDS"]),
    Row("no run.bat: the jar is copied first", "LW", SS, world=missing("ship/%s/run.bat" % HDS), keys=b"y",
        shown=TERMS_Y + [copy_failed(HDS + "/run.bat", HDS + "/run.bat", SS)], changes=[HDS], check=copied_first()),
    Row("no bash_scripts.tar: the scripts in order", "L", SS, world=missing("ship/%s/bash_scripts.tar" % HDS),
        keys=b"y", shown=TERMS_Y + [copy_failed(HDS + "/bash_scripts.tar", HDS + "/bash_scripts.tar", SS)],
        changes=[HDS], check=copied_first("run.bat", "bash_scripts.zip")),
    Row("no class folder: -1", "LW", SS, world=missing("ship/%s/class" % HDS), keys=b"y", shown=TERMS_Y + [
        failed("a", -1, SS)], changes=[HDS], check=lambda t, w, r: t.assertNotIn("META-INF/MANIFEST.MF",
        sp.jar_entries(w.path(HDS_JAR)))),
    Row("deleting META-INF fails", "LW", SS, world=stand_in(2, 0), keys=b"y", shown=TERMS_Y + [failed("d", 2, SS)],
        changes=[HDS, LOG], check=all_of(archiver_ran(SS, "d"), copied_first(*sp.SERVER_SCRIPTS))),
    Row("archiver warning code 1 fails too", "L", SS, world=stand_in(1, 0), keys=b"y", shown=TERMS_Y + [
        failed("d", 1, SS)], changes=[HDS, LOG]),
    Row("adding classes fails", "LW", SS, world=stand_in(0, 7), keys=b"y", shown=TERMS_Y + [failed("a", 7, SS)],
        changes=[HDS, LOG], check=archiver_ran(SS, "d", "a")),
    Row("server folder without the jar: reused", "L", SS, world=(lambda w: w.write(HDS + "/world/level.dat", b"level"),
        lambda w: w.write(HDS + "/bash_scripts.tar", b"old")), keys=b"y", shown=TERMS_Y + BUILT, changes=[HDS],
        check=all_of(server_installed(HDS, "world"), holds(HDS + "/world/level.dat", b"level"))),
    *[Row("archiver leftovers go, look-alikes stay: " + name, where, program, world=world + (leftovers(folder),),
          keys=keys, shown=shown, changes=[folder], check=server_installed(folder, *extra, *LOOK_ALIKES))
      for name, where, program, folder, world, keys, shown, extra in [
          ("a first build", "LW", SS, HDS, (), b"y", TERMS_Y + BUILT, ()),
          ("an update", "LW", SS, HDS, (earlier_build,), b"yy", TERMS_Y + ["update", "y"] + BUILT,
           ["server.properties"]),
          ("Setup's server edition", "LW", S, SERVER, (server_source, earlier(SERVER)), "yy",
           [WY, (Q, "previous HDS", "Yes"), HDS_DONE], ["old-extra.txt"]),
          ("one that cannot be removed stays", "L", SS, HDS, (lambda w: w.write(HDS_JAR + ".tmp3"),
           immutable(HDS_JAR + ".tmp3")), b"y", TERMS_Y + BUILT, ["1.6.4-BRAX-HDS.jar.tmp3"])]],
    Row("server folder cannot be made", "L", SS, world=lambda w: w.write(HDS, b"a file"), keys=b"y",
        shown=TERMS_Y + ["no folder"]),
    Row("server folder reused, run.bat a link out of it: the link replaced", "L", SS, world=(
        lambda w: os.makedirs(w.path(HDS)), link(HDS + "/run.bat", "victim.txt"), lambda w: w.write("victim.txt")),
        keys=b"y", **ENDS["built"]),
    Row("under nohup, a hang-up to the group while the archiver runs: built", "L", SS, world=(
        attr(prefix=["setsid", "-w", "nohup"]), archiver_after("kill -HUP 0; sleep 0.3")), keys=b"y", **ENDS["built"]),
    Row("server folder links to the mod: no copy onto itself", "L", SS, world=link(HDS, "ship/" + HDS), keys=b"y",
        shown=TERMS_Y + [copy_failed(HDS + "/run.bat", HDS + "/run.bat", SS)], changes=["ship/" + HDS],
        check=holds("ship/%s/run.bat" % HDS, sp.SERVER_SCRIPTS["run.bat"])),
    Row("jar that cannot be removed: two tries; no new key", "L", SS, world=(earlier_build, immutable(HDS)),
        keys=b"yyx", shown=TERMS_Y + ["update", "y", "jar stays"], check=took(4.2, 7)),
    Row("started from another folder", "L", SS, world=(lambda w: os.makedirs(w.path("deep/er")),
        attr(cwd=lambda w: w.path("deep/er"))), keys=b"y", **ENDS["built"]),
    Row("output whose reader is gone (| head -1): the same jar", "LW", SS, world=attr(reader_gone=True), keys=b"y",
        changes=[HDS], check=server_installed(HDS)),
    *[Row("a SIG%s to the program alone while the archiver runs ends that too" % name, "L", SS,
          world=(killing_archiver(name), attr(code=-number)), keys=b"y", shown=TERMS_Y, changes=[HDS, "ship/7za.pid"],
          check=lambda t, w, r: t.assertRaises(ProcessLookupError, os.kill, int(w.read("ship/7za.pid")), 0))  # gone
      for name, number in (("TERM", 15), ("HUP", 1))],
    Row("ended by Task Manager while the archiver runs: that ends too", "W", SS, world=(stand_in(),
        lambda w: w.p.killed_at_archiver(w)), keys=b"n", shown=["terms", "n", "refused"], changes=[HDS, LOG],
        check=lambda t, w, r: t.assertNotIn(b"done", w.read(LOG))),
    Row("archiver without its execute bit: stopped at the check", "L", SS, world=lambda w: os.chmod(
        w.path("ship/7za"), 0o644), keys=b"y", shown=TERMS_Y + ["not executable SS"]),
    Row("two at once: the second run changes nothing", "L", SS, world=(earlier_build, held_first()), keys=b"yy",
        shown=TERMS_Y + ["busy SS"], changes=[HDS], check=first_then(server_installed(HDS, "server.properties"))),
    Row("two at once: a first run killed leaves no lock", "L", SS, world=(earlier_build, held_first(),
        lambda w: w.p.killed(w)), keys=b"yy", **ENDS["updated"]),
    *[Row("server folder made beforehand %s: refused, nothing written" % how, "L", SS, world=(
          lambda w: os.makedirs(w.path(HDS)), change), keys=b"y", shown=TERMS_Y + ["shared SS"])
      for how, change in (("with mode 0777", lambda w: os.chmod(w.path(HDS), 0o777)),
                          ("by another user", lambda w: os.chown(w.path(HDS), 65534, -1)))],
    Row("read-only server folder", "L", SS, world=small_disk(HDS, "4m", read_only=True), keys=b"y",
        shown=TERMS_Y + [copy_failed("1.6.4.jar", HDS_JAR, SS)]),
    Row("copy over the file-size limit: no half-written jar", "L", SS, world=file_size_limit, keys=b"y",
        shown=TERMS_Y + [copy_failed("1.6.4.jar", HDS_JAR, SS)], changes=[HDS], check=no_file(HDS_JAR)),
    Row("no CPU at a prompt on an open pipe", "L", SS, keys=[2.0], **ENDS["refused"], check=cpu_below(0.1)),
    *[Row("odd program folder %r" % name, "L", SS, world=odd("ship", name), keys=b"yy", **ENDS["updated"])
      for name in ODD_NAMES],
    # Both in a terminal: keys as typed, the terminal given back, interrupts, a hang-up
    Row("only y and n answer; no CPU at the prompt", "tty", SS, keys=["Y", "\r", "\x1bOP", "\x1b[A", "N", 2.0, "n",
        "\x1b[15~"], **ENDS["refused"], check=all_of(terminal_restored, cpu_below(0.1))),
    Row("a key in the long pause ends it and the last wait", "tty", SS, world=(earlier_build, immutable(HDS)),
        keys=["y", "y", 1.0, "x"], shown=TERMS_Y + ["update", "y", "jar stays"], check=took(1.0, 3.0)),
    Row("Ctrl+C ends it, the terminal restored", "tty", SS, world=attr(code=-2), keys=["\x03"], shown=["terms"],
        check=terminal_restored),
    Row("Ctrl+\\ ends Setup, the terminal restored", "tty", S, world=attr(code=-3), keys=["\x1c"],
        check=terminal_restored),
    Row("a parent that ignores SIGINT: Ctrl+C ends nothing", "tty", SS, world=parent_ignores("INT"),
        keys=["\x03", "n", "q"], **ENDS["refused"], check=terminal_restored),
    Row("stopped, the terminal reset to line mode, continued: keys stay raw", "tty", SS, keys=[
        stopped_in_line_mode, "n", "q"], **ENDS["refused"], check=terminal_restored),
    Row("a background job killed after bg ends without fg", "tty", SS, world=attr(prefix=["/bin/bash", "-c",
        'set -m; "$0"; bg; ' 'sleep 0.5; kill %1; sleep 1; jobs']), keys=["\x1a"], check=lambda t, w, r: t.assertIn(
        b"Terminated", r.stdout)),
    Row("Ctrl+Z without job control changes nothing", "tty", SS, keys=["\x1a", "n", "q"], **ENDS["refused"],
        check=terminal_restored),
    Row("a hang-up at the terms builds nothing", "tty", SS, keys=[]),
    Row("Setup in a terminal: Enter is Yes", "tty", S, keys=["\r", "o"], shown=INSTALLED, changes=[CLIENT, PACK],
        check=all_of(client_installed, terminal_restored)),
    # Random keys: no crash, no hang, and only real answers
    *[Row("random keys %d" % seed, how, program, world=(server_source, stand_in(), earlier(SERVER), earlier_build),
          keys=random_keys(seed) if how == "tty" else b"".join(random_keys(seed))[:-6], changes=None,
          check=only_real_answers)
      for seed in range(3) for how in ("L", "tty") for program in (S, SS)],
    # The release's static programs and archiver for each machine in an older userland (Debian 11, scripts/test-release)
    *[dataclasses.replace(row, name="the release for %s: %s" % (machine, row.name), where=machine + row.where)
      for machine in RELEASE_MACHINES for row in [
          Row("an update answered y", "", SS, world=earlier_build, keys=b"yy", **ENDS["updated"]),
          Row("a client install where inode numbers need 64 bits", "", S, world=big_inodes, keys="y",
              **dict(ENDS["installed"], check=all_of(client_installed, launcher_jar))),
          Row("a server build where inode numbers need 64 bits", "", SS, world=big_inodes, keys=b"y", **ENDS["built"]),
          Row("a closed input changes nothing", "", SS, **ENDS["refused"]),
          Row("keys typed in a terminal", " tty", SS, keys=["Y", "\x1b[A", "y", "\x1bOP"], shown=TERMS_Y + BUILT,
              changes=[HDS], check=all_of(server_installed(HDS), terminal_restored))]],
    # Setup on a Linux desktop with no terminal: zenity's dialogs, and kdialog's
    Row("desktop: install answered Yes", "desk", S, keys="yo", **ENDS["installed"]),
    Row("desktop: welcome refused", "desk", S, keys="no", shown=[WN, NO]),
    Row("desktop: the welcome closed is No", "desk", S, keys="co", shown=[WN, NO]),
    Row("desktop: game folder missing, edit No", "desk", S, world=missing("~"), keys="yn", shown=EDIT_NO,
        changes=[INI]),
    Row("desktop: a failure ends with a warning", "desk", S, world=missing("ship/7za"), keys="yo",
        shown=warn("no archiver")),
    Row("desktop: <, & and line breaks shown as they stand", "desk", S, world=(game_in_ini("g<b>m&amp;e  */mc"),
        missing("ship/1.6.4-BRAX/1.6.4-BRAX.json")), keys="yo", shown=warn(copy_failed("1.6.4-BRAX/1.6.4-BRAX.json",
        CLIENT + "/1.6.4-BRAX.json")), changes=[CLIENT]),
    Row("desktop: a dialog that dies is No", "desk", S, world=attr(dialog="sh -c 'kill -9 $$'"), keys="",
        shown=[(Q, "welcome", None), (I, "no changes", None)]),
    Row("desktop: ZENITY_CANCEL=0 does not make No a Yes", "desk", S, world=attr(env={"ZENITY_CANCEL": "0",
        "ZENITY_ESC": "0"}), keys="no", shown=[WN, NO]),
    *[Row("desktop session, keys %s: text boxes, no dialog" % how, "L", S, world=(logged("zenity"),
          attr(env={"DISPLAY": ":99"}, stdio=stdio)), keys="y", **ENDS["installed"]) for how, stdio in [
        ("on a pipe", None), ("in a file, the output a file", "files"), ("on a socket", "socket")]],
    Row("no desktop session, no keys: text boxes", "L", S, world=logged("zenity"), shown=[WN, NO]),
    Row("WAYLAND_DISPLAY alone, no keys: dialogs, each a Yes", "L", S, world=(logged("zenity"),
        attr(env={"WAYLAND_DISPLAY": "wayland-0"})), shown=[], changes=[CLIENT, PACK, "ship/zenity.log"],
        check=client_installed),
    # ServerSetup in a Wine console: keys as typed
    Row("terms: Y, Enter, F1 and Up dropped, then n; F1 ends the wait", "con", SS, keys=[("[y/n]",
        ["Y", "Enter", "F1", "Up", "n"]), ("Press any key", ["F1"])], **ENDS["refused"]),
    Row("first build; an arrow ends the wait", "con", SS, keys=[("[y/n]", ["y"]), ("Press any key", ["Down"])],
        **ENDS["built"]),
    *[Row("QuickEdit off for the archiver, back after; keys " + how, "con", SS, world=(stand_in(0, 0),
          lambda w, k=keys: w.p.quick_edit(w, k)), keys=typed, shown=TERMS_Y + BUILT, changes=[
          HDS, LOG, "ship/console.log"], check=lambda t, w, r: w.p.quick_edit_kept(t, w)) for how, keys, typed in [
        ("typed", "", [("[y/n]", ["y"]), ("Press any key", ["Enter"])]), ("from a pipe: untouched", "y", [])]],
    Row("update: N is no answer, y is", "con", SS, world=earlier_build, keys=[("[y/n]", ["y"]),
        ("update it?", ["N", "y"]), ("Press any key", ["Enter"])], **ENDS["updated"]),
]

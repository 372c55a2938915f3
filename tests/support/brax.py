"""Shared pieces of the end-to-end tests: temporary worlds (a ship folder and a
home with a game folder), running a program with keys on standard input under
a time-out, reading Setup's text boxes, and snapshots of a whole tree to prove
that nothing outside the expected paths changed."""
import hashlib
import os
import re
import shutil
import stat
import subprocess
import tempfile

import sample_package

BUILD_DIR = os.environ.get("BRAX_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", "linux"))
ARCHIVER = shutil.which("7za")
TITLE = b"Brax Overhaul 1.6.4 Installer"


def program(name):
    return os.path.join(BUILD_DIR, name)


class World:
    """A temporary folder holding `ship/` (programs, archiver, mod files) and
    `home/.minecraft/` (a vanilla 1.6.4 install)."""

    def __init__(self, client=True, server=False, archiver=ARCHIVER, game=True, root=None):
        self.root = root or tempfile.mkdtemp(prefix="brax-")
        self.ship = os.path.join(self.root, "ship")
        self.home = os.path.join(self.root, "home")
        self.game = os.path.join(self.home, ".minecraft")
        sample_package.make_ship_folder(self.ship, [program("Setup"), program("ServerSetup")],
                                        archiver, client=client, server=server)
        os.makedirs(self.home, exist_ok=True)
        if game:
            sample_package.make_game_folder(self.game)

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def write(self, relative, content=b"canary"):
        target = self.path(relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(content if isinstance(content, bytes) else content.encode())
        return target

    def read(self, relative):
        with open(self.path(relative), "rb") as f:
            return f.read()

    def remove(self, relative):
        target = self.path(relative)
        if os.path.isdir(target) and not os.path.islink(target):
            shutil.rmtree(target)
        else:
            os.remove(target)

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


class Result:
    def __init__(self, stdout, returncode):
        self.stdout = stdout
        self.returncode = returncode


def run(command, keys=b"", cwd=None, env=None, timeout=60):
    """Runs `command` with `keys` as its whole standard input (a pipe that
    then closes) and returns its output; a run that outlives `timeout` fails."""
    completed = subprocess.run(command, input=keys, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               cwd=cwd, env=env, timeout=timeout)
    return Result(completed.stdout, completed.returncode)


BOX = re.compile(rb"\r\n" + re.escape(TITLE) + rb" - (Warning|Information|Question)\r\n\r\n(.*?)\r\n\r\n"
                 rb"(?:\[Yes/No\] (Yes|No)|\[OK\] )\r\n", re.DOTALL)


def boxes(stdout):
    """Setup's text boxes in order: (kind, text, answer) with answer "Yes",
    "No" or "OK"."""
    return [(m.group(1).decode(), m.group(2), (m.group(3) or b"OK").decode()) for m in BOX.finditer(stdout)]


def snapshot(root):
    """Every path below `root` with a digest of what it holds; fifos and
    devices by their kind (opening a fifo would wait for a writer)."""
    state = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            full = os.path.join(folder, name)
            relative = os.path.relpath(full, root)
            mode = os.lstat(full).st_mode
            if stat.S_ISLNK(mode):
                state[relative] = "link:" + os.readlink(full)
            elif stat.S_ISDIR(mode):
                state[relative] = "folder"
            elif stat.S_ISREG(mode):
                with open(full, "rb") as f:
                    state[relative] = hashlib.sha256(f.read()).hexdigest()
            else:
                state[relative] = "special:%o" % mode
    return state


def changed_paths(before, after):
    return sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))


def outside(paths, allowed):
    """The changed paths that lie in none of the `allowed` prefixes."""
    return [p for p in paths if not any(p == a or p.startswith(a.rstrip("/") + "/") for a in allowed)]


def as_user(w, user="nobody", group="nogroup"):
    """The command prefix that runs a program as `user`, who is given the whole
    world: root, whom permissions never stop, cannot show a failed removal."""
    subprocess.run(["chown", "-R", "%s:%s" % (user, group), w.root], check=True)
    return ["setpriv", "--reuid=" + user, "--regid=" + group, "--clear-groups", "--"]


def test_archiver(folder, delete_code=0, add_code=0, name="7za"):
    """A stand-in archiver that logs its arguments and exits with the given
    codes for "d" and "a"; a code of "kill:N" ends it with signal N."""
    def action(code):
        if isinstance(code, str) and code.startswith("kill:"):
            return "kill -%s $$" % code[5:]
        return "exit %d" % code
    script = os.path.join(folder, name)
    with open(script, "w") as f:
        f.write('#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s/archiver.log"\n'
                'case "$1" in d) %s;; a) %s;; esac\nexit 0\n'
                % (folder, action(delete_code), action(add_code)))
    os.chmod(script, 0o755)
    return script

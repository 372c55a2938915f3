"""Runs the rows of scenarios.py on Linux: the real programs and the real
archiver in a temporary world, through a pipe, a terminal or a desktop.
BRAX_ONLY=TEXT runs only the rows whose name holds TEXT."""
import atexit
import glob
import html
import os
import pty
import re
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import termios
import threading
import time
import types
import unittest

import scenarios as s

BUILD = os.environ.get("BRAX_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", "linux"))
TIMEOUT = 60
OLD, RELEASE = os.environ.get("BRAX_OLD_USERLAND"), os.environ.get("BRAX_RELEASE")


class Linux:
    za, setup, sep, viewer = "7za", "Setup", "/", ".fr-q3ZtbK"  # an archive manager's folder for what it opens
    example = b"minecraft_path=<eg. /home/orlander/.minecraft/>"
    talk = rb"(?:\n7-Zip[^\r]*)?"  # the archiver's own lines end in LF alone
    name = staticmethod(lambda path: path)
    second = staticmethod(lambda w: os.path.join(w.home, ".var/app/com.mojang.Minecraft/.minecraft"))  # Flathub's
    temporary = staticmethod(lambda w: w.root + ".tmp")  # TMPDIR: the world's own, beside it (dialogs write there)

    @staticmethod
    def stand_in(w, delete_code, add_code):
        """An archiver that logs its arguments and exits with a code, or kills itself ("kill:N")."""
        act = lambda code: "kill -%s $$" % code[5:] if str(code).startswith("kill:") else "exit %d" % code
        w.write("ship/7za", ('#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s"\ncase "$1" in d) %s;; a) %s;; esac\n'
                             % (w.path(s.LOG), act(delete_code), act(add_code))).encode())

    @staticmethod
    def start(w, home):
        """The row's program in the background, keys on a pipe, held at its last question (earlier install, update)."""
        env = {k: v for k, v in dict(os.environ, HOME=home, TMPDIR=Linux.temporary(w)).items() if "DISPLAY" not in k}
        first = subprocess.Popen(w.prefix + [os.path.join(w.ship, w.program_name)], stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, cwd=w.cwd, env=env)
        first.stdin.write(b"y")
        first.stdin.flush()
        until = b"worlds.)\r\n\r\n[Yes/No] " if w.program_name == s.S else b"it? [y/n] "
        seen, deadline = b"", time.monotonic() + 30
        while not seen.endswith(until) and time.monotonic() < deadline:
            seen += os.read(first.stdout.fileno(), 4096) if select.select([first.stdout], [], [], 1)[0] else b""
        assert seen.endswith(until), seen
        return first

    @staticmethod
    def killed(w):  # SIGKILL: the system drops its lock
        w.first.kill()
        w.first.wait()

    finish = staticmethod(lambda w, first: first.communicate(b"y", timeout=TIMEOUT)[0])

    @staticmethod
    def runs(w, program, *steps):
        jar = w.path(s.CLIENT + "/1.6.4-BRAX.jar") if program == s.S else None
        return [a for step in steps for a in (["d", jar or "../1.6.4-BRAX-HDS/1.6.4-BRAX-HDS.jar", "META-INF"]
                                              if step == "d" else ["a", "-r", jar or "../../../" + s.HDS_JAR, "*"])]


def through_pipe(w, command, keys, env):
    stdin, stdout = subprocess.DEVNULL if keys is None else subprocess.PIPE, subprocess.PIPE
    if getattr(w, "reader_gone", False):  # ServerSetup | head -1, once head has gone
        reader, stdout = os.pipe()
        os.close(reader)
    stdio = getattr(w, "stdio", None)  # the keys in a regular file (Setup < keys > log) or on a socket
    if stdio == "files":
        stdin, stdout = tempfile.TemporaryFile(), tempfile.TemporaryFile()
        stdin.write(keys.encode()), stdin.seek(0)
    elif stdio == "socket":
        stdin, ours = socket.socketpair()
        ours.sendall(keys.encode()), ours.close()
    keys = None if stdio else keys
    program = subprocess.Popen(command, stdin=stdin, stdout=stdout, stderr=subprocess.DEVNULL, cwd=w.cwd, env=env)
    timer = threading.Timer(TIMEOUT, program.kill)
    timer.start()
    for chunk in [] if keys is None else [keys] if isinstance(keys, (bytes, str)) else keys:
        if isinstance(chunk, float):
            time.sleep(chunk)
        else:
            program.stdin.write(chunk.encode() if isinstance(chunk, str) else chunk)
            program.stdin.flush()
    program.stdin and program.stdin.close()
    out = program.stdout.read() if program.stdout else b"" if stdio else os.close(stdout) or b""
    program.stdout and program.stdout.close()
    _, status, usage = os.wait4(program.pid, 0)
    timer.cancel()
    program.returncode = 0  # reaped here
    out = stdout.seek(0) or stdout.read() if stdio == "files" else out
    return out, status, usage, None


def through_terminal(w, command, keys, env):
    """The program on a new pseudo-terminal; each chunk is typed (a function: called with the pid and the terminal)
    once the output has been quiet for a moment. After the last, it may go on for 2.5 s before the terminal hangs up."""
    pid, master = pty.fork()
    if pid == 0:
        os.chdir(w.cwd)
        os.execve(command[0], command, env)
    out, mode, deadline = [b""], None, time.monotonic() + TIMEOUT

    def drain(quiet):
        while select.select([master], [], [], quiet)[0]:
            try:
                out[0] += os.read(master, 65536)
            except OSError:
                return

    def wait_for_end(seconds, reading=True):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            drain(0.05) if reading else time.sleep(0.05)
            done, status, usage = os.wait4(pid, os.WNOHANG)
            if done:
                return status, usage
        return None

    for chunk in keys:
        if isinstance(chunk, (int, float)):
            drain(chunk)
            continue
        while not out[0] and time.monotonic() < deadline:
            drain(0.05)
        drain(0.25)
        if callable(chunk):  # something done to the program or its terminal
            chunk(pid, master)
        else:
            os.write(master, chunk.encode() if isinstance(chunk, str) else chunk)
    ended = wait_for_end(2.5)
    if ended:
        mode = termios.tcgetattr(master)[3]
    os.close(master)  # a hang-up, for a program that still waits
    ended = ended or wait_for_end(TIMEOUT, False) or (os.kill(pid, 9), os.wait4(pid, 0)[1:])[1]
    return out[0].replace(b"\r\r\n", b"\r\n"), ended[0], ended[1], mode


DESKTOP = []  # the one Xvfb the desktop rows share, and its display


def through_desktop(w, command, keys, env, program):
    """Setup with no terminal and no keys, on a desktop, with zenity's dialogs or kdialog's (alone on PATH): a stand-in
    notes each one's arguments, and xdotool answers its window in turn: y Yes, n No, o OK, c closes it (Escape); zenity
    by keys, kdialog (no keyboard focus there) by clicks, its text read back (a triple click selects it, xclip)."""
    if not DESKTOP:  # -noreset: a server that resets as its last client leaves drops one that arrives meanwhile
        DESKTOP.append(subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                                         "-noreset"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL))
        atexit.register(DESKTOP[0].kill)
        DESKTOP.append(":" + DESKTOP[0].stdout.readline().decode().strip())
    log = tempfile.mkdtemp(prefix="brax-dialogs-")
    with open(os.open(log + "/" + program, os.O_CREAT | os.O_WRONLY, 0o755), "w") as f:
        f.write('#!/bin/sh\nexport PATH="%s"\nprintf "%%s\\0" "$@" > "%s/$(date +%%s%%N).$$"\nexec %s "$@"\n'
                % (env["PATH"], log, getattr(w, "dialog", "/usr/bin/" + program)))
    env = dict(env, DISPLAY=DESKTOP[-1])
    run = lambda *a: subprocess.run(a, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=TIMEOUT)
    xdotool = lambda *a: run("xdotool", *map(str, a)).stdout.decode().split()
    dialogs = lambda: sorted(n for n in os.listdir(log) if n != program)
    setup = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             cwd=w.cwd, env=dict(env, PATH=log + (":" + env["PATH"] if program == "zenity" else "")))
    answered, read, deadline = {}, {}, time.monotonic() + TIMEOUT
    for key in keys:
        while key and setup.poll() is None and time.monotonic() < deadline:
            waiting = {n.split(".")[1] for n in dialogs()} - set(answered)
            for window in xdotool("search", "--onlyvisible", "--name", "^Brax Overhaul 1.6.4 Installer$"):
                pid = "".join(xdotool("getwindowpid", window))  # X reuses window ids: the dialog by its process
                if not key or pid not in waiting:
                    continue
                answered[pid], key = key, None
                if program == "zenity":
                    xdotool("windowfocus", "--sync", window, "key", {"y": "Return", "o": "Return", "n": "alt+n",
                                                                      "c": "Escape"}[answered[pid]])
                    continue
                time.sleep(0.3)  # laid out
                x, y, wide, high = (int(v.split("=")[1]) for v in xdotool("getwindowgeometry", "--shell", window)[1:5])
                xdotool("mousemove", x + 70, y + 20, "click", "--repeat", 3, "--delay", 80, 1)
                read[pid] = run("xclip", "-o", "-selection", "primary").stdout.replace(b"\n", b"\r\n")
                click = ["mousemove", x + wide - (137 if answered[pid] == "y" else 51), y + high - 20, "click", 1]
                xdotool(*(["key", "--window", window, "Escape"] if answered[pid] == "c" else click))
                xdotool("keyup", "Escape")  # that xdotool fails as the window goes at once, and the key stays held
            time.sleep(0.05)
    try:
        code = setup.wait(max(deadline - time.monotonic(), 1))
    finally:
        setup.kill()
        [subprocess.run(["kill", n.split(".")[1]], stderr=subprocess.DEVNULL) for n in dialogs()]
    found = []
    for name in dialogs():
        with open(os.path.join(log, name), "rb") as f:
            argv = f.read().split(b"\0")
        kind = next((k for a, k in ((b"--warning", s.W), (b"--sorry", s.W), (b"--info", s.I), (b"--msgbox", s.I),
                                    (b"--question", s.Q), (b"--yesno", s.Q)) if a in argv), None)
        text = next((a[7:] for a in argv if a.startswith(b"--text=") and b"--no-markup" in argv), None)
        if program == "kdialog":  # a dialog that died unseen: its text as Qt would read the argument
            html_text = re.sub(r"^<qt[^>]*>|</qt>$", "", argv[-2].decode()).replace("<br>", "\r\n")
            text = read.get(name.split(".")[1], html.unescape(html_text).encode())
        found.append((kind, text, {"y": "Yes", "n": "No", "o": "OK", "c": "No" if kind == s.Q else "OK"}.get(
            answered.get(name.split(".")[1]))))
    shutil.rmtree(log)
    return found, code


def boxes(stdout):
    return [(m[1].decode(), m[2], (m[3] or b"OK").decode()) for m in re.finditer(
        rb"\r\nBrax Overhaul 1\.6\.4 Installer - (\w+)\r\n\r\n(.*?)\r\n\r\n(?:\[Yes/No\] (Yes|No)|\[OK\] )\r\n",
        stdout, re.S)]


def launch(w, row, dialog="zenity"):
    program, keys = row.program, row.keys
    env = dict(os.environ, HOME=w.home, PATH=w.path("bin") + ":" + os.environ["PATH"], TMPDIR=Linux.temporary(w))
    for variable, value in dict({"DISPLAY": None, "WAYLAND_DISPLAY": None}, **getattr(w, "env", {})).items():
        env.pop(variable, None) if value is None else env.update({variable: value})
    started = time.monotonic()
    if row.where == "desk":
        found, code = through_desktop(w, w.prefix + [os.path.join(w.ship, program)], keys, env, dialog)
        return types.SimpleNamespace(boxes=found, code=code, elapsed=time.monotonic() - started)
    command = w.prefix + [os.path.join(w.ship, program)]
    if row.where.split()[0] in s.RELEASE_MACHINES:  # in the older userland, seen from inside it
        inside = lambda path: path[len(OLD):]
        command = [shutil.which("chroot"), OLD, "/usr/bin/env", "-i", "PATH=/usr/bin:/bin", "HOME=" + inside(w.home),
                   "TMPDIR=" + inside(env["TMPDIR"]), inside(command[0])]
    run = through_terminal if row.where.endswith("tty") else through_pipe
    out, status, usage, mode = run(w, command, keys, env)
    return types.SimpleNamespace(stdout=out, boxes=boxes(out), elapsed=time.monotonic() - started, mode=mode,
                                 cpu=usage.ru_utime + usage.ru_stime, code=os.waitstatus_to_exitcode(status))


class LinuxRows(unittest.TestCase):
    maxDiff = None

    def world(self, where):
        w = self.made_world(where)
        os.mkdir(Linux.temporary(w))
        w.cleanups.append(lambda: shutil.rmtree(Linux.temporary(w), True))
        return w

    def made_world(self, where):
        if not OLD:
            return s.World(tempfile.mkdtemp(prefix="brax-"), Linux, "home", [os.path.join(BUILD, p) for p in (s.S, s.SS)],
                           shutil.which("7za"))
        # In the older userland (scripts/test-release) a release's own programs and archiver run: those of the row's
        # machine, and no other (ELF class, machine, and ARM's hard-float ABI), be they started by qemu.
        # Setup from the client tarball where the machine has one, else from the server tarball, which has both.
        machine = where.split()[0]
        folders = sorted(glob.glob(os.path.join(RELEASE, machine, "BRAX-*")))
        client, server = folders[0], folders[-1]
        w = s.World(tempfile.mkdtemp(prefix="brax-", dir=OLD + "/tmp"), Linux, "home",
                    [os.path.join(client, s.S), os.path.join(server, s.SS)], os.path.join(server, "7za"))
        bits, number, *abi = s.RELEASE_MACHINES[machine].split(",")
        for program in (s.S, s.SS, "7za"):
            elf = w.read("ship/" + program)[:52]
            found = (elf[:4], elf[4] * 32, int.from_bytes(elf[18:20], "little"), elf[37] & 4 if elf[4] == 1 else 0)
            self.assertEqual(found, (b"\x7fELF", int(bits), int(number), 4 * (abi == ["hard"])),
                             program + " is not for " + machine)
        return w

    def test_rows(self):
        wheres = [m + how for m in s.RELEASE_MACHINES for how in ("", " tty")] if OLD else ("LW", "L", "tty", "desk")
        s.run_rows(self, wheres, self.world, launch)
        if not OLD:  # the desktop rows again, with kdialog's dialogs
            s.run_rows(self, ["desk"], self.world, lambda w, row: launch(w, row, "kdialog"), " with kdialog")


if __name__ == "__main__":
    unittest.main(failfast="--failfast" in sys.argv, argv=sys.argv[:1])

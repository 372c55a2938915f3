"""Setup's desktop dialogs under Xvfb: a zenity in front of the real one notes
each dialog's arguments, and xdotool answers the dialog's window."""
import os
import select
import shutil
import subprocess
import tempfile
import time

TITLE = "Brax Overhaul 1.6.4 Installer"
KINDS = {b"--warning": "Warning", b"--info": "Information", b"--question": "Question"}
# Enter takes the default button (Yes, or OK), Alt+N is No's mnemonic, and
# Escape closes the dialog as its close button would (Xvfb draws none).
KEYS = {"y": "Return", "n": "alt+n", "o": "Return", "c": "Escape"}


def start_xvfb():
    """One Xvfb for the whole suite: (DISPLAY value, process)."""
    read, write = os.pipe()
    # -noreset: a server that resets as its last client leaves drops a client arriving meanwhile.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                             "-noreset"], pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip() if select.select([f], [], [], 10)[0] else ""
    if not number:
        xvfb.kill()
        raise RuntimeError("Xvfb did not start")
    return ":" + number, xvfb


def run_desktop(setup_path, env, answers, cwd, timeout=60, zenity="/usr/bin/zenity"):
    """Setup with standard input and output on /dev/null, its dialogs answered in turn ("y", "n", "o", "c"):
    ([(kind, text, answer)], exit code). The answer of a dialog that died, and a text that zenity would
    not show as it stands (no --no-markup), are None."""
    folder = tempfile.mkdtemp(prefix="brax-dialogs-")
    wrapper = os.path.join(folder, "zenity")
    with open(os.open(wrapper, os.O_CREAT | os.O_WRONLY, 0o755), "w") as f:
        f.write('#!/bin/sh\nprintf "%%s\\0" "$@" > "%s/log.$(date +%%s%%N).$$"\nexec "%s" "$@"\n' % (folder, zenity))
    env = dict(env, PATH=folder + os.pathsep + env.get("PATH", os.defpath))
    deadline, answered = time.monotonic() + timeout, {}

    def logged():  # the dialogs started so far, in order: (log name, pid)
        return [(n, n.rsplit(".", 1)[1]) for n in sorted(os.listdir(folder)) if n.startswith("log.")]

    def xdotool(*args):
        return subprocess.run(["xdotool", *args], env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=max(deadline - time.monotonic(), 1)).stdout.decode().split()

    setup = subprocess.Popen([setup_path], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, cwd=cwd, env=env)
    try:
        for key in answers:
            while key and setup.poll() is None and time.monotonic() < deadline:
                waiting = {pid for _, pid in logged()} - set(answered)
                for window in xdotool("search", "--onlyvisible", "--name", "^%s$" % TITLE):
                    pid = "".join(xdotool("getwindowpid", window))
                    if key and pid in waiting:  # the dialog's window, not one answered before
                        answered[pid], key = key, None
                        xdotool("windowfocus", "--sync", window, "key", KEYS[answered[pid]])
                time.sleep(0.05)
        returncode = setup.wait(max(deadline - time.monotonic(), 1))
    finally:
        if setup.poll() is None:  # a run gone wrong leaves no dialog open
            setup.kill()
            for _, pid in logged():
                subprocess.run(["kill", pid], stderr=subprocess.DEVNULL)
    boxes = []
    for name, pid in logged():
        with open(os.path.join(folder, name), "rb") as f:
            argv = f.read().split(b"\0")
        kind = next((KINDS[a] for a in argv if a in KINDS), None)
        text = next((a[7:] for a in argv if a.startswith(b"--text=") and b"--no-markup" in argv), None)
        closed = "No" if kind == "Question" else "OK"
        boxes.append((kind, text, {"y": "Yes", "n": "No", "o": "OK", "c": closed}.get(answered.get(pid))))
    shutil.rmtree(folder)
    return boxes, returncode

"""What the hardening suites share beyond tests/support/brax.py: the import
paths, the environment a run gets, ServerSetup's dialogue read back from its
output, the checks of a finished install, and the fault rigs (another user,
a file-size limit, a small or read-only file system)."""
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
for extra in (os.path.join(HERE, "..", "support"), os.path.join(HERE, "..", "..", "scripts")):
    if extra not in sys.path:
        sys.path.insert(0, extra)

import brax  # noqa: E402
import messages  # noqa: E402
import sample_package  # noqa: E402

PRESS = b"Press any key to continue..."
CLIENT_TARGET = ("versions", "1.6.4-BRAX")
SERVER_TARGET = ("versions", "1.6.4-BRAX-HDS")
PACK = ("resourcepacks", "BRAX Resource Pack 1.6.4.zip")

# Setup's texts that the hardening rows end on.
SETUP_TEXT = messages.setup_texts("7za")
NO_ARCHIVER = SETUP_TEXT["no archiver"]
NOT_REMOVED = SETUP_TEXT["not removed"]
CLIENT_DONE = b"BRAX 1.6.4 has been successfully installed!"
SERVER_DONE = b"BRAX 1.6.4 HDS has been successfully installed!"
# ServerSetup's.
BUILT = (b"\r\n1.6.4-BRAX-HDS.jar has been successfully created!\r\n\r\nYour server folder is located at "
         b"../1.6.4-BRAX-HDS/\r\n")
HAVE_FUN = b"\r\nYou can start a headless server instance now by running the included batch file.\r\n\r\nHave fun :)"
SERVER_NO_ARCHIVER = (b"Cannot find the 7za! It must be in the same location as this program.\r\n\r\n"
                      b"Installer will now exit. No changes have been made to your system.")
JAR_NOT_REMOVED = b"Was not able to fully remove the previously created 1.6.4-BRAX-HDS.jar!\r\n\r\nProceed with manual installation."


def delete_failed(code):
    return messages.archiver_failed("d", code)


def add_failed(code):
    return messages.archiver_failed("a", code)


def copy_failed(source, destination):
    return messages.copy_failed(os.fsencode(source), os.fsencode(destination))


def environment(w, **extra):
    """The environment of one run: the world's home, no desktop session."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["HOME"] = w.home
    env.update(extra)
    return env


def server_answers(stdout):
    """The letters ServerSetup echoed after each of its questions."""
    return re.findall(rb" \[y/n\] (.)\r\n\r\n", stdout)


def server_ended_with(stdout, message):
    """True when ServerSetup's last words were `message`, the key prompt and
    the line break after the key."""
    return stdout.endswith(message + b"\r\n\r\n" + PRESS + b"\r\n")


def last_box(stdout):
    boxes = brax.boxes(stdout)
    return boxes[-1] if boxes else None


def jar_is(path, classes):
    return sample_package.jar_entries(path) == sample_package.expected_jar(classes)


# --- Fault rigs --------------------------------------------------------------------
as_user = brax.as_user


def file_size_limit(size):
    """The command prefix that runs a program under `ulimit -f`."""
    return ["prlimit", "--fsize=%d" % size, "--"]


def can_mount():
    probe = brax.tempfile.mkdtemp(prefix="brax-mount-")
    try:
        ok = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", probe],
                            stderr=subprocess.DEVNULL).returncode == 0
        if ok:
            subprocess.run(["umount", probe], check=True)
        return ok
    finally:
        os.rmdir(probe)


def mount_tmpfs(test, folder, size):
    """A small file system on `folder` (made if missing), taken away when the
    test ends; what the folder held is copied onto it."""
    held = []
    if os.path.isdir(folder):
        held = os.listdir(folder)
        parked = folder + ".parked"
        os.rename(folder, parked)
    os.makedirs(folder)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%s" % size, "tmpfs", folder], check=True)
    test.addCleanup(lambda: subprocess.run(["umount", "-l", folder]))
    if held:
        subprocess.run(["cp", "-a"] + [os.path.join(parked, n) for n in held] + [folder], check=True)
        brax.shutil.rmtree(parked)


def make_read_only(folder):
    subprocess.run(["mount", "-o", "remount,ro", folder], check=True)

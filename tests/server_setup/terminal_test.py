"""ServerSetup in a real terminal (a tmux pane on a private server): keys as a
user types them, the long pause of an update ended by a key, the terminal
given back in its normal mode (also after Ctrl+C, and across Ctrl+Z and fg), a
hang-up while waiting, and no busy waiting at a prompt, in a terminal or on a
pipe that stays open."""
import os
import shutil
import subprocess
import time
import unittest

import brax

SERVER = "1.6.4-BRAX-HDS"
TERMS = "Do you agree to these terms? [y/n]"
UPDATE = "1.6.4-BRAX-HDS.jar already exists. Do you wish to update it? [y/n]"
PRESS = "Press any key to continue..."
NO_CHANGES = "Installer will now exit. No changes have been made to your system."
NOT_REMOVED = "Was not able to fully remove the previously created 1.6.4-BRAX-HDS.jar!"
# Run in the pane: the program (its pid noted), its exit code, the terminal's mode.
PANE = ("cd ship && sh -c 'echo $$ > ../pid; exec ./ServerSetup'; echo \"[exit $?]\"; stty -a; sleep 600")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def ended(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] in ("Z", "X")
    except FileNotFoundError:
        return True


def wait_until(condition, timeout=10, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


@unittest.skipUnless(shutil.which("tmux"), "tmux is not installed")
class Terminal(unittest.TestCase):
    def setUp(self):
        self.world = brax.World(client=False, server=True)
        self.addCleanup(self.world.cleanup)
        self.socket = "brax-test-%d-%s" % (os.getpid(), self.id().rsplit(".", 1)[1])
        self.addCleanup(subprocess.run, ["tmux", "-L", self.socket, "kill-server"],
                        stderr=subprocess.DEVNULL, timeout=10)

    def tmux(self, *args):
        env = dict(os.environ, TERM=os.environ.get("TERM") or "xterm")
        return subprocess.run(["tmux", "-L", self.socket, *args], stdout=subprocess.PIPE, check=True,
                              cwd=self.world.root, env=env, timeout=10).stdout.decode()

    def start(self, command=PANE):
        self.tmux("new-session", "-d", "-x", "200", "-y", "50", command)

    def shell(self):
        """The program started from an interactive shell with job control, as
        a user would start it."""
        self.start("cd ship && PS1='$ ' exec bash --norc --noprofile -i")
        self.wait_for("$")
        self.tmux("send-keys", "sh -c 'echo $$ > ../pid; exec ./ServerSetup'", "Enter")
        self.wait_for(TERMS)
        return self.pid()

    def shell_state(self, pid):
        """The program's exit code and the terminal's mode, from the shell."""
        wait_until(lambda: ended(pid), what="the program to end")
        self.tmux("send-keys", "echo \"[exit $?]\"; stty -a; echo [done]", "Enter")
        self.wait_for("[done]")

    def keys(self, *keys):
        for key in keys:  # one at a time, as typed
            self.tmux("send-keys", key)
            time.sleep(0.1)

    def screen(self):
        return [line.rstrip() for line in self.tmux("capture-pane", "-p").splitlines()]

    def wait_for(self, text, timeout=10):
        wait_until(lambda: any(line.endswith(text) for line in self.screen()), timeout, repr(text))
        time.sleep(0.3)  # the program is at its key wait, the terminal raw

    def pid(self):
        return int(wait_until(lambda: os.path.exists(self.world.path("pid")) and self.world.read("pid").strip(),
                              what="pid"))

    def after(self, text):
        """The screen's non-empty lines from the one ending with `text` on."""
        lines = [line for line in self.screen() if line]
        starts = [i for i, line in enumerate(lines) if line.endswith(text) or line.startswith(text)]
        self.assertTrue(starts, "\n".join(lines))
        return lines[starts[-1]:]

    def test_only_y_and_n_answer_and_the_terminal_comes_back(self):
        self.start()
        self.wait_for(TERMS)
        time.sleep(2)
        self.assertLess(cpu_seconds(self.pid()), 0.1, "busy while waiting at the prompt")
        self.keys("Y", "Enter", "F1", "Up", "N")
        time.sleep(0.3)
        self.assertEqual(self.after(TERMS), [TERMS])  # nothing shown for them
        self.keys("n")
        self.wait_for(PRESS)
        self.assertEqual(self.after(TERMS), [TERMS + " n", NO_CHANGES, PRESS])
        self.keys("F5")  # an extended key ends the wait
        self.wait_for("[exit 0]")
        mode = " ".join(self.after("[exit 0]"))
        self.assertRegex(mode, r"(?<![-\w])icanon\b")
        self.assertRegex(mode, r"(?<![-\w])echo\b")
        self.assertFalse(os.path.exists(self.world.path(SERVER)))

    def test_a_key_during_the_long_pause_ends_it_and_the_last_wait(self):
        w = self.world
        w.write(SERVER + "/1.6.4-BRAX-HDS.jar", b"old jar")
        # Root deletes whatever permissions say, but not from an immutable folder.
        if subprocess.run(["chattr", "+i", w.path(SERVER)], stderr=subprocess.DEVNULL, timeout=10).returncode:
            self.skipTest("chattr +i does not work here")
        self.addCleanup(subprocess.run, ["chattr", "-i", w.path(SERVER)], timeout=10)
        self.start()
        self.wait_for(TERMS)
        self.keys("y")
        self.wait_for(UPDATE)
        self.keys("y")
        answered = time.monotonic()
        time.sleep(1.0)  # well inside the 4000 ms pause
        self.keys("x")
        self.wait_for("[exit 0]", timeout=15)
        took = time.monotonic() - answered - 0.3
        # Without the key: 100 + 4000 + 100 ms, then a wait for another key.
        self.assertGreater(took, 1.0)
        self.assertLess(took, 3.0)
        self.assertEqual(self.after(UPDATE)[:4], [UPDATE + " y", NOT_REMOVED, "Proceed with manual installation.",
                                                  PRESS])
        self.assertEqual(self.after(PRESS)[1], "[exit 0]")
        self.assertEqual(w.read(SERVER + "/1.6.4-BRAX-HDS.jar"), b"old jar")

    def test_ctrl_z_stops_it_and_fg_brings_back_the_prompt(self):
        pid = self.shell()
        self.keys("C-z")
        wait_until(lambda: any("Stopped" in line for line in self.screen()), what="the shell to see it stop")
        with open("/proc/%d/stat" % pid) as f:
            self.assertEqual(f.read().rsplit(")", 1)[1].split()[0], "T", "not stopped")
        self.assertLess(cpu_seconds(pid), 0.1)
        self.tmux("send-keys", "fg", "Enter")
        time.sleep(0.5)  # raw again: the key is not shown, it answers
        self.keys("n")
        self.wait_for(PRESS)
        self.assertEqual(self.after(NO_CHANGES), [NO_CHANGES, PRESS])
        self.keys("q")
        self.shell_state(pid)
        self.assertRegex(" ".join(self.after("[exit 0]")), r"(?<![-\w])icanon\b.*(?<![-\w])echo\b")
    def test_ctrl_c_ends_it_with_the_terminal_restored(self):
        pid = self.shell()
        self.keys("C-c")
        self.shell_state(pid)
        self.assertRegex(" ".join(self.after("[exit 130]")), r"(?<![-\w])icanon\b.*(?<![-\w])echo\b")
        self.assertFalse(os.path.exists(self.world.path(SERVER)))

    def test_hang_up_while_waiting_ends_without_building(self):
        before = brax.snapshot(self.world.path("ship"))
        self.start("cd ship && echo $$ > ../pid && exec ./ServerSetup")
        self.wait_for(TERMS)
        pid = self.pid()
        self.tmux("kill-session")
        wait_until(lambda: ended(pid), what="the program to end")
        self.assertFalse(os.path.exists(self.world.path(SERVER)))
        self.assertEqual(brax.snapshot(self.world.path("ship")), before)

    def test_no_busy_wait_on_an_open_pipe(self):
        program = subprocess.Popen([os.path.join(self.world.ship, "ServerSetup")], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            time.sleep(2)
            self.assertIsNone(program.poll())
            self.assertLess(cpu_seconds(program.pid), 0.1, "busy while waiting at the prompt")
            out, _ = program.communicate(timeout=10)  # the input ends: answered No
        finally:
            program.kill()
            program.wait(timeout=10)
        self.assertTrue(out.endswith(TERMS.encode() + b" n\r\n\r\n" + NO_CHANGES.encode() + b"\r\n\r\n" +
                                     PRESS.encode() + b"\r\n"), out)
        self.assertFalse(os.path.exists(self.world.path(SERVER)))


if __name__ == "__main__":
    unittest.main()

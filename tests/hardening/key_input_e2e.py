"""Random keys into both programs, through a pipe and through a terminal: no
run may crash or hang, and every question must be answered with a real
answer ("y"/"n" for ServerSetup, Yes/No for Setup) and nothing else.

A row: the program, the channel (pipe or terminal), the seed of the stream,
and how the stream ends (the input closes, the terminal hangs up, or keys
that answer whatever is left)."""
import os
import pty
import random
import re
import select
import signal
import termios
import time
import unittest

import harden
from harden import brax, sample_package

# Sequences the terminals send, whole and cut short, and some that no key sends.
SEQUENCES = [b"\x1b[A", b"\x1b[B", b"\x1bOP", b"\x1b[[A", b"\x1b[1;5C", b"\x1b[15~", b"\x1b[24~", b"\x1b[3~",
             b"\x1b[", b"\x1bO", b"\x1b", b"\x1b[99999999999999~", b"\x1b[" + b"1;" * 40 + b"A", b"\x1b[\x01",
             b"\x1b[[", b"\x1b\x1b[A", b"\x7f", b"\r", b"\n", b"\x00", b"\xff", b"\xff\x3b", b"Y", b"N"]
# Ctrl+C, Ctrl+\ and Ctrl+Z are the terminal's interrupts, not keys: the
# terminal rows leave them to their own row.
INTERRUPTS = {0x03, 0x1c, 0x1a}


def stream(seed, terminal, length=400):
    rng = random.Random(seed)
    out = b""
    while len(out) < length:
        if rng.random() < 0.4:
            out += rng.choice(SEQUENCES)
        else:
            byte = rng.randrange(256)
            if not (terminal and byte in INTERRUPTS):
                out += bytes([byte])
    return out


def answers_ok(program, stdout):
    """Every question's answer is a real one; returns the answers."""
    if program == "ServerSetup":
        prompts = stdout.count(b" [y/n] ")
        answers = harden.server_answers(stdout)
        assert all(a in (b"y", b"n") for a in answers), answers
        assert len(answers) >= prompts - 1, (prompts, answers)  # the last may be cut by a hang-up
        return answers
    prompts = stdout.count(b"[Yes/No] ")
    answers = re.findall(rb"\[Yes/No\] (\w*)\r\n", stdout)
    assert all(a in (b"Yes", b"No") for a in answers), answers
    assert len(answers) >= prompts - 1, (prompts, answers)
    return answers


ROWS = [(program, channel, seed, end)
        for program in ("ServerSetup", "Setup")
        for channel, ends in (("pipe", ("close",)), ("terminal", ("answer", "hang up")))
        for end in ends
        for seed in range(12 if channel == "pipe" else 6)]


class KeyInput(unittest.TestCase):
    def world(self):
        """A world where both programs ask twice: an earlier build is there.
        The archiver is a stand-in that succeeds, so a run that says yes is
        quick."""
        w = brax.World(server=True)
        self.addCleanup(w.cleanup)
        brax.test_archiver(w.ship)
        os.makedirs(w.path("1.6.4-BRAX-HDS"))
        with open(w.path("1.6.4-BRAX-HDS", "1.6.4-BRAX-HDS.jar"), "wb") as f:
            f.write(b"old")
        os.makedirs(os.path.join(w.game, "versions", "1.6.4-BRAX-HDS"))
        return w

    def through_pipe(self, w, program, keys):
        result = brax.run([os.path.join(w.ship, program)], keys, env=harden.environment(w), timeout=60)
        return result.returncode, result.stdout

    def through_terminal(self, w, program, keys, end, timeout=60):
        """Runs the program on a new pseudo-terminal, types `keys` in bursts and
        then either the keys that end any dialogue or a hang-up."""
        child, master = pty.fork()
        if child == 0:
            os.environ.clear()
            os.environ.update(harden.environment(w))
            os.execv(os.path.join(w.ship, program), [program])
        output = b""
        deadline = time.monotonic() + timeout
        rng = random.Random(len(keys))

        def drain(wait):
            nonlocal output
            while select.select([master], [], [], wait)[0]:
                try:
                    chunk = os.read(master, 65536)
                except OSError:
                    return False
                if not chunk:
                    return False
                output += chunk
                wait = 0
            return True

        try:
            # Keys typed before the program has its terminal in raw mode would
            # meet the line discipline (echo, Ctrl+S), not the program. The
            # prompt comes first, then the first look at the keys sets raw mode.
            while time.monotonic() < deadline and not (
                    re.search(rb"\[y/n\] |\[Yes/No\] ", output) and not termios.tcgetattr(master)[3] & termios.ECHO):
                if not drain(0.01):
                    break
            rest = keys
            while rest:
                cut = rng.randrange(1, 40)
                burst, rest = rest[:cut], rest[cut:]
                os.write(master, burst)
                if not drain(0.005):
                    break
            if end == "answer":
                drain(0.2)  # an interrupt key's handler has put the terminal back by then
                for _ in range(6):  # n to any question, then a key for any wait
                    try:
                        os.write(master, b"n")
                    except OSError:
                        break
                    if not drain(0.05):
                        break
                while time.monotonic() < deadline and drain(0.2):
                    pass
            else:
                drain(0.2)
                os.close(master)
                master = None
            while time.monotonic() < deadline:
                pid, status = os.waitpid(child, os.WNOHANG)
                if pid:
                    break
                time.sleep(0.02)
            else:
                os.kill(child, signal.SIGKILL)
                os.waitpid(child, 0)
                self.fail("%s did not end after the keys %r" % (program, keys))
        finally:
            if master is not None:
                os.close(master)
        code = os.waitstatus_to_exitcode(status)
        return code, output.replace(b"\r\r\n", b"\r\n")  # the terminal's own CR before each LF

    def test_random_keys(self):
        for program, channel, seed, end in ROWS:
            with self.subTest(program=program, channel=channel, seed=seed, end=end):
                w = self.world()
                keys = stream(seed * 31 + len(program), channel == "terminal")
                if channel == "pipe":
                    code, stdout = self.through_pipe(w, program, keys)
                else:
                    code, stdout = self.through_terminal(w, program, keys, end)
                self.assertEqual(code, 0, stdout[-2000:])
                answers_ok(program, stdout)

    def test_interrupt_keys_on_a_terminal(self):
        """Ctrl+Z stops the program only where a shell can go on with it; here
        (no job control) it must change nothing. Ctrl+C and Ctrl+\\ end it the
        usual way, by their signal."""
        for program in ("ServerSetup", "Setup"):
            for key, ends_by in ((b"\x1a", None), (b"\x03", signal.SIGINT), (b"\x1c", signal.SIGQUIT)):
                with self.subTest(program=program, key=key):
                    w = self.world()
                    code, stdout = self.through_terminal(w, program, key, "answer", timeout=20)
                    if ends_by is None:
                        self.assertEqual(code, 0, stdout)
                        self.assertTrue(answers_ok(program, stdout)[:1] in ([b"n"], [b"No"]), stdout)
                    else:
                        self.assertEqual(code, -ends_by, stdout)


if __name__ == "__main__":
    unittest.main()

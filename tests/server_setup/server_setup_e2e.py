"""ServerSetup end to end: the real program and the real archiver in a
temporary world. Each row is one run: how the world is prepared, the bytes on
standard input, the program's texts in order, the paths that may change, and
any further check. The archiver shares the console, so its own output may
stand between the program's texts, but nothing else may."""
import os
import re
import subprocess
import time
import unittest
import zipfile

import brax
import sample_package

SERVER = "1.6.4-BRAX-HDS"
JAR = SERVER + "/1.6.4-BRAX-HDS.jar"
NO_CHANGES = b"Installer will now exit. No changes have been made to your system."
PRESS = b"Press any key to continue...\r\n"
WELCOME = (b"\r\nThis program will build the 1.6.4-BRAX-HDS.jar file, which can be used to start a\r\n"
           b"server instance of BRAX-1.6.4.\r\n\r\nThe author and/or distributor of this software is not "
           b"responsible for any damages\r\nresulting from the use of this installer or the BRAX mod, "
           b"including injuries or\r\ndeath caused by skeleton archers.\r\n\r\nDo you agree to these terms? [y/n] ")
UPDATE = b"1.6.4-BRAX-HDS.jar already exists. Do you wish to update it? [y/n] "
DONE = (b"\r\n1.6.4-BRAX-HDS.jar has been successfully created!\r\n\r\nYour server folder is located at "
        b"../1.6.4-BRAX-HDS/\r\n", b"\r\nYou can start a headless server instance now by running the "
        b"included batch file.\r\n\r\nHave fun :)\r\n\r\n" + PRESS)
# The archiver's output: LF line ends only, so it cannot hide a text of ours.
ARCHIVER_OUTPUT = rb"(?:\n7-Zip[^\r]*)?"


def yes(question=WELCOME):
    return question + b"y\r\n\r\n"


def no(question=WELCOME):
    return question + b"n\r\n\r\n"


def ends(message):
    return message + b"\r\n\r\n" + PRESS


def archiver_failed(step, code):
    text = (b"A error occured while trying to delete META-INF." if step == "d" else
            b"An error occured while trying to copy class files to jar archive.")
    return ends(text + b"\r\n\r\nError code: " + str(code).encode())


def copy_failed(name):
    return ends(b"A error occurred while copying 1.6.4-BRAX-HDS/%s to ../1.6.4-BRAX-HDS/%s\r\n\r\n"
                b"Installer will now exit." % (name, name))


NO_ARCHIVER = ends(b"Cannot find the 7za! It must be in the same location as this program.\r\n\r\n" + NO_CHANGES)
NO_VANILLA = ends(b"Cannot find vanilla 1.6.4.jar! It must be in the same location as this program.\r\n\r\n"
                  b"If you are in a GUI environment you may want to run Setup instead.\r\n\r\n" + NO_CHANGES)
NO_SOURCE = ends(b"Cannot find the location of the 1.6.4-BRAX folder!\r\n\r\nThis installer has made no "
                 b"changes to your system. Proceed with manual installation.")
NO_FOLDER = ends(b"Was not able to create folder ../1.6.4-BRAX-HDS/!\r\n\r\n" + NO_CHANGES)
NOT_REMOVED = ends(b"Was not able to fully remove the previously created 1.6.4-BRAX-HDS.jar!\r\n\r\n"
                   b"Proceed with manual installation.")
REFUSED = ends(NO_CHANGES)


# --- How rows prepare their world (w.start_in: where the program is started) ----
def missing(*paths):
    return lambda w: [w.remove(p) for p in paths]


def archiver(delete_code=0, add_code=0):
    return lambda w: brax.test_archiver(w.ship, delete_code, add_code)


def earlier_build(w):
    """A stale jar (an entry no build makes, a signature) and a file of the user's."""
    sample_package.write_jar(w.path(JAR), {"stale.class": b"old", "META-INF/OLD.SF": b"old"})
    w.write(SERVER + "/server.properties", b"motd=mine")
    w.write(SERVER + "/run.bat", b"old run.bat")


def folder_without_jar(w):
    w.write(SERVER + "/world/level.dat", b"level")
    w.write(SERVER + "/bash_scripts.tar", b"old tar")


def undeletable_jar(w):
    """Root ignores permissions, but not an immutable folder."""
    earlier_build(w)
    if subprocess.run(["chattr", "+i", w.path(SERVER)], stderr=subprocess.DEVNULL).returncode != 0:
        raise unittest.SkipTest("chattr +i does not work here")


def started_elsewhere(w):
    os.makedirs(w.path("deep", "er"))
    w.start_in = "deep/er"


# --- Further checks ------------------------------------------------------------
def built(t, w, result, extra=()):
    t.assertEqual(sample_package.jar_entries(w.path(JAR)), sample_package.expected_jar(sample_package.SERVER_CLASSES))
    for name, content in sample_package.SERVER_SCRIPTS.items():
        t.assertEqual(w.read(SERVER + "/" + name), content)
    t.assertEqual(sorted(os.listdir(w.path(SERVER))), sorted(["1.6.4-BRAX-HDS.jar", *sample_package.SERVER_SCRIPTS, *extra]))


def copied_before(*names):
    """The failed copy came after the jar (still vanilla) and these scripts."""
    def check(t, w, result):
        t.assertEqual(sample_package.jar_entries(w.path(JAR)), sample_package.VANILLA_ENTRIES)
        t.assertEqual(sorted(os.listdir(w.path(SERVER))), sorted(["1.6.4-BRAX-HDS.jar", *names]))
    return check


def archiver_log(*runs):
    def check(t, w, result):
        t.assertEqual(w.read("ship/archiver.log").decode().splitlines(), [arg for run in runs for arg in run.split()])
        if len(runs) == 1:  # the jar copied and untouched, scripts beside it
            copied_before(*sample_package.SERVER_SCRIPTS)(t, w, result)
    return check


D_RUN = "d ../1.6.4-BRAX-HDS/1.6.4-BRAX-HDS.jar META-INF"
A_RUN = "a -r ../../../1.6.4-BRAX-HDS/1.6.4-BRAX-HDS.jar *"


def two_removal_attempts(t, w, result):
    # Pauses of 100, 4000 and 100 ms before the message.
    t.assertGreater(result.elapsed, 4.2)
    t.assertLess(result.elapsed, 8)
    t.assertTrue(zipfile.is_zipfile(w.path(JAR)))


# name, prepare, stdin (None: /dev/null), texts, paths that may change, check
ROWS = [
    ("first build", None, b"y", [yes(), *DONE], [SERVER], built),
    ("update answered y", earlier_build, b"yy", [yes(), yes(UPDATE), *DONE], [SERVER],
     lambda t, w, r: (built(t, w, r, ["server.properties"]), t.assertEqual(w.read(SERVER + "/server.properties"), b"motd=mine"))),
    ("update answered n", earlier_build, b"yn", [yes(), no(UPDATE), REFUSED], [], None),
    ("update, input ends: no", earlier_build, b"y", [yes(), no(UPDATE), REFUSED], [], None),
    ("terms refused", None, b"n", [no(), REFUSED], [], None),
    ("closed input refuses", None, None, [no(), REFUSED], [], None),
    ("capitals and other keys are no answers", None, b"YN\r\x1b[Aqn", [no(), REFUSED], [], None),
    ("capitals, then y", None, b"NYy", [yes(), *DONE], [SERVER], built),
    ("no archiver", missing("ship/7za"), b"y", [yes(), NO_ARCHIVER], [], None),
    ("archiver only a folder", lambda w: (missing("ship/7za")(w), os.mkdir(w.path("ship/7za"))), b"y",
     [yes(), NO_ARCHIVER], [], None),
    ("no vanilla jar", missing("ship/1.6.4.jar"), b"y", [yes(), NO_VANILLA], [], None),
    ("no source folder", missing("ship/" + SERVER), b"y", [yes(), NO_SOURCE], [], None),
    ("source folder is a file", lambda w: (missing("ship/" + SERVER)(w), w.write("ship/" + SERVER)), b"y",
     [yes(), NO_SOURCE], [], None),
    ("no run.bat: copy fails after the jar", missing("ship/%s/run.bat" % SERVER), b"y",
     [yes(), copy_failed(b"run.bat")], [SERVER], copied_before()),
    ("no bash_scripts.tar", missing("ship/%s/bash_scripts.tar" % SERVER), b"y",
     [yes(), copy_failed(b"bash_scripts.tar")], [SERVER], copied_before("run.bat", "bash_scripts.zip")),
    ("no class folder: -1", missing("ship/%s/class" % SERVER), b"y", [yes(), archiver_failed("a", -1)], [SERVER],
     lambda t, w, r: t.assertNotIn("META-INF/MANIFEST.MF", sample_package.jar_entries(w.path(JAR)))),
    ("deleting META-INF fails", archiver(delete_code=2), b"y", [yes(), archiver_failed("d", 2)],
     [SERVER, "ship/archiver.log"], archiver_log(D_RUN)),
    ("archiver warning code 1", archiver(delete_code=1), b"y", [yes(), archiver_failed("d", 1)],
     [SERVER, "ship/archiver.log"], archiver_log(D_RUN)),
    ("adding classes fails", archiver(add_code=7), b"y", [yes(), archiver_failed("a", 7)],
     [SERVER, "ship/archiver.log"], archiver_log(D_RUN, A_RUN)),
    ("archiver killed: 128 + signal", archiver(delete_code="kill:9"), b"y", [yes(), archiver_failed("d", 137)],
     [SERVER, "ship/archiver.log"], archiver_log(D_RUN)),
    ("second run killed", archiver(add_code="kill:15"), b"y", [yes(), archiver_failed("a", 143)],
     [SERVER, "ship/archiver.log"], archiver_log(D_RUN, A_RUN)),
    ("archiver not startable", lambda w: os.chmod(w.path("ship/7za"), 0o644), b"y", [yes(), archiver_failed("d", -1)],
     [SERVER], copied_before(*sample_package.SERVER_SCRIPTS)),
    ("server folder without the jar: reused", folder_without_jar, b"y", [yes(), *DONE], [SERVER],
     lambda t, w, r: (built(t, w, r, ["world"]), t.assertEqual(w.read(SERVER + "/world/level.dat"), b"level"))),
    ("server folder cannot be made", lambda w: w.write(SERVER, b"a file"), b"y", [yes(), NO_FOLDER], [], None),
    ("jar cannot be removed", undeletable_jar, b"yyx", [yes(), yes(UPDATE), NOT_REMOVED], [], two_removal_attempts),
    ("started from another folder", started_elsewhere, b"y", [yes(), *DONE], [SERVER], built),
]


class ServerSetupEndToEnd(unittest.TestCase):
    def run_row(self, name, prepare, keys, texts, allowed, check):
        w = brax.World(client=False, server=True)
        self.addCleanup(w.cleanup)
        self.addCleanup(subprocess.run, ["chattr", "-i", w.path(SERVER)], stderr=subprocess.DEVNULL)
        if prepare:
            prepare(w)
        cwd = getattr(w, "start_in", ".")
        before = brax.snapshot(w.root)
        command = [os.path.relpath(os.path.join(w.ship, "ServerSetup"), w.path(cwd))]
        start = time.monotonic()
        if keys is None:
            with open(os.devnull, "rb") as null:
                done = subprocess.run(command, stdin=null, stdout=subprocess.PIPE, cwd=w.path(cwd), timeout=60)
            result = brax.Result(done.stdout, done.returncode)
        else:
            result = brax.run(command, keys, cwd=w.path(cwd))
        result.elapsed = time.monotonic() - start
        self.assertEqual(result.returncode, 0)
        pattern = ARCHIVER_OUTPUT.join(re.escape(t) for t in texts)
        self.assertRegex(result.stdout, b"\\A" + pattern + b"\\Z")
        self.assertEqual(brax.outside(brax.changed_paths(before, brax.snapshot(w.root)), allowed), [])
        if check:
            check(self, w, result)

    def test_rows(self):
        for row in ROWS:
            with self.subTest(row[0]):
                self.run_row(*row)

    def test_output_whose_reader_is_gone(self):
        """A reader that goes away (`ServerSetup | head -1`) does not kill the
        program: it goes on to its end (the archiver, which shares the broken
        output, may still fail, and says so)."""
        w = brax.World(client=False, server=True)
        self.addCleanup(w.cleanup)
        reader, writer = os.pipe()
        os.close(reader)
        try:
            done = subprocess.run([os.path.join(w.ship, "ServerSetup")], input=b"y", stdout=writer,
                                  stderr=subprocess.DEVNULL, timeout=60)
        finally:
            os.close(writer)
        self.assertEqual(done.returncode, 0)  # not -SIGPIPE
        self.assertTrue(os.path.isfile(w.path(JAR)))


if __name__ == "__main__":
    unittest.main()

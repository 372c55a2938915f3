"""Runs the rows of scenarios.py under Wine, as scripts/test-windows sets it up: Setup.exe's boxes answered by
box_driver.exe, ServerSetup.exe through a pipe and in a Wine console inside tmux, the real 7za.exe archiving."""
import getpass
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import types
import unittest
import xml.etree.ElementTree as ElementTree

sys.path[:0] = [os.path.join(os.path.dirname(__file__), *p) for p in (["..", "e2e"], ["..", "..", "scripts"])]
import scenarios as s  # noqa: E402

PREFIX, HELPERS = os.environ["WINEPREFIX"], os.environ["BRAX_WIN_HELPERS"]
DRIVE_C = os.path.join(PREFIX, "drive_c")
# What the programs, the archiver and cmd load by name under Wine (WINEDEBUG=+loaddll), then what Windows has loaded
# from beside other programs.
PLANTED = [n + ".dll" for n in "advapi32 combase comctl32 gdi32 imm32 kernel32 kernelbase msimg32 msvcrt ole32 "
           "oleaut32 rpcrt4 sechost shcore shell32 shlwapi ucrtbase user32 uxtheme version win32u zlib1 apphelp "
           "clbcatq cryptbase dwmapi oleacc propsys setupapi userenv".split()] + ["winex11.drv"]
# The manifest in each program as Windows reads it: element paths, namespaces included, and the text each holds once.
NS = {k: "urn:schemas-microsoft-com:" + v for k, v in dict(v1="asm.v1", v3="asm.v3", c="compatibility.v1").items()}
NS.update({"s%d" % y: "http://schemas.microsoft.com/SMI/%d/WindowsSettings" % y for y in (2005, 2016, 2019)})
MANIFEST = {"v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel[@level='asInvoker']": None,
            "v1:dependency/v1:dependentAssembly/v1:assemblyIdentity[@type='win32'][@version='6.0.0.0']"
            "[@name='Microsoft.Windows.Common-Controls'][@publicKeyToken='6595b64144ccf1df']": None,
            "v3:application/v3:windowsSettings/s2019:activeCodePage": "UTF-8",
            "v3:application/v3:windowsSettings/s2005:dpiAware": "true/pm",
            "v3:application/v3:windowsSettings/s2016:dpiAwareness": "PerMonitorV2, PerMonitor",
            **{"c:compatibility/c:application/c:supportedOS[@Id='{%s}']" % os_id: None for os_id in (  # 7, 8, 8.1, 10
                "35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")}}

SCRIPTS, RUSSIAN = re.compile("Cyrillic|Chinese|UTF-8 mark|UTF-16|written, read back"), {"LC_ALL": "ru_RU.UTF-8"}
# What the programs may import from kernel32.dll, then msvcrt.dll: each one checked as in Windows 7 SP1's (x64).
WINDOWS_7 = set((
    "AssignProcessToJobObject CloseHandle CompareStringOrdinal CopyFileW CreateFileW CreateJobObjectW CreateMutexW "
    "CreateProcessW CreateSemaphoreW DeleteCriticalSection DeleteFileW EnterCriticalSection FindClose FindFirstFileW "
    "FindNextFileW GetConsoleMode GetCurrentDirectoryW GetCurrentProcessId GetCurrentThreadId GetEnvironmentVariableW "
    "GetExitCodeProcess GetFileAttributesW GetFileType GetFullPathNameW GetLastError GetLocaleInfoW GetLongPathNameW "
    "GetModuleFileNameW GetModuleHandleW GetProcAddress GetShortPathNameW GetStartupInfoA GetStdHandle "
    "GetSystemDirectoryW GetTempPathW InitializeCriticalSection IsDBCSLeadByteEx LCMapStringW LeaveCriticalSection "
    "LoadLibraryExW LoadLibraryW MoveFileExW MultiByteToWideChar PeekConsoleInputW PeekNamedPipe RaiseException "
    "ReadConsoleInputW ReadFile ReleaseSemaphore ResumeThread RtlCaptureContext RtlLookupFunctionEntry RtlUnwindEx "
    "RtlVirtualUnwind SetConsoleCtrlHandler SetConsoleMode SetDllDirectoryW SetInformationJobObject SetLastError "
    "SetUnhandledExceptionFilter Sleep TlsAlloc TlsFree TlsGetValue TlsSetValue VirtualProtect VirtualQuery "
    "WaitForSingleObject WideCharToMultiByte __C_specific_handler ___lc_codepage_func ___mb_cur_max_func __getmainargs "
    "__initenv __iob_func __set_app_type __setusermatherr _acmdln _amsg_exit _cexit _close _commode _cwait _errno "
    "_fileno _findclose _fmode _initterm _onexit _read _setmode _wchdir _wfindfirst64 _wfindnext64 _wfopen _wmkdir "
    "_wspawnl abort calloc exit fclose ferror fflush fopen fprintf fputc fputs fread free fwrite localeconv malloc "
    "memchr memcmp memcpy memmove memset realloc signal strcmp strerror strlen strncmp vfprintf wcslen wcstoul").split())


def windows(path):
    """The Windows name of a Unix path: C:\\... below drive_c, else Z:\\..."""
    path = os.path.abspath(path)
    if path == DRIVE_C or path.startswith(DRIVE_C + "/"):
        return "C:" + (path[len(DRIVE_C):] or "/").replace("/", "\\")
    return "Z:" + path.replace("/", "\\")


def wine(args, keys=b"", cwd=None, env=None, timeout=90):
    return subprocess.run(["wine"] + args, input=keys, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, cwd=cwd,
                          env=dict(os.environ, **(env or {})), timeout=timeout).stdout


class Wine:
    za, setup, sep, viewer = "7za.exe", "Setup.exe", "\\", "Temp1_BRAX-Installer-1.0-windows.zip"  # Explorer's
    example = b"minecraft_path=<eg. C:\\Users\\Orlander\\AppData\\Roaming\\.minecraft\\>"
    talk = rb".*?"  # the archiver's own lines end in CR LF too
    name = staticmethod(windows)
    local = staticmethod(lambda w: os.path.join(os.path.dirname(w.home), "Local"))
    second = staticmethod(lambda w: os.path.join(Wine.local(w), "Packages/Microsoft.4297127D64EC6_8wekyb3d8bbwe/"
                                                                 "LocalCache/Roaming/.minecraft"))  # the Store's

    temporary = staticmethod(lambda w: os.path.join(DRIVE_C, "users", getpass.getuser(), "Temp"))  # GetTempPath's

    @staticmethod
    def short_temporary(w):
        """The temporary folder named in short names, as Windows sets TMP for a long user name."""
        w.temporary = os.path.join(w.root, "Local Temp Folder")
        os.makedirs(w.temporary)
        short = re.search(r"(\S+) +Local Temp Folder", wine(["cmd", "/c", "dir", "/x", windows(w.root)]).decode())[1]
        w.env = {"BRAX_TMP": windows(w.root) + "\\" + short}

    @staticmethod
    def stand_in(w, delete_code, add_code):
        shutil.copy(os.path.join(HELPERS, "stand_in_archiver.exe"), w.path("ship/7za.exe"))
        w.write("ship/codes.txt", b"d %d\na %d\n" % (delete_code, add_code))

    @staticmethod
    def runs(w, program, *steps):
        jar = '"%s"' % windows(w.path(s.CLIENT + "/1.6.4-BRAX.jar")) if program == s.S else None
        server = s.HDS_JAR.replace("/", "\\")
        return ["7za.exe d %s META-INF" % (jar or "..\\" + server) if step == "d" else
                "..\\..\\7za.exe a -r %s *" % (jar or "..\\..\\..\\" + server) for step in steps]

    @staticmethod
    def start(w, home):  # the row's Setup.exe in the background, held at its last question until LOG.go exists
        w.first_log = os.path.join(tempfile.mkdtemp(prefix="brax-first-"), "first.log")  # outside the world
        w.cleanups.append(lambda: shutil.rmtree(os.path.dirname(w.first_log)))
        first = subprocess.Popen(["wine", os.path.join(HELPERS, "box_driver.exe"), windows(home), "yw",
                                  windows(w.first_log), windows(w.ship) + "\\Setup.exe", windows(Wine.local(w))],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=w.root)
        deadline = time.monotonic() + 60
        while not (os.path.exists(w.first_log) and b"held" in w.read(w.first_log)) and time.monotonic() < deadline:
            time.sleep(0.1)
        return first

    @staticmethod
    def killed(w):  # Setup.exe ended as Task Manager ends it
        wine(["taskkill", "/f", "/pid", re.search(rb"held (\d+)", w.read(w.first_log))[1].decode()], timeout=30)
        w.first.kill()  # its driver waits still
        w.first.wait()

    @staticmethod
    def finish(w, first):
        w.write(w.first_log + ".go")
        first.wait(90)
        return w.read(w.first_log)

    @staticmethod
    def killed_at_archiver(w):
        """ServerSetup.exe ended as Task Manager does (a SIGKILL under Wine) while a slow archiver runs."""
        w.write("ship/slow.txt")
        first, deadline = subprocess.Popen(["wine", windows(w.ship) + "\\ServerSetup.exe"], stdin=subprocess.PIPE,
                                           stdout=subprocess.DEVNULL, cwd=w.root), time.monotonic() + 60
        first.stdin.write(b"y")
        first.stdin.close()
        while not os.path.exists(w.path(s.LOG)) and time.monotonic() < deadline:
            time.sleep(0.05)
        first.kill()
        first.wait()
        time.sleep(3)

    @staticmethod
    def hold(w, path):  # the game running: the stand-in holds `path` open as the Java runtime does; the world kept
        w.holder = subprocess.Popen(["wine", os.path.join(HELPERS, "stand_in_archiver.exe"), "hold",
                                     windows(w.path(path))], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        w.cleanups.append(w.holder.kill)
        assert w.holder.stdout.readline() == b"held\r\n", "the stand-in holds nothing"
        w.held = s.snapshot(w.root)

    rerun = staticmethod(lambda w, keys: launch(w, s.Row("rerun", "W", s.S, keys=keys)).boxes)

    @staticmethod
    def registered(w, name, key, *changes):
        """The stand-in archiver as ship/NAME, named "{}" in `wine reg` changes below `key`, put back after all rows."""
        program = windows(shutil.copy(os.path.join(HELPERS, "stand_in_archiver.exe"), w.path("ship/" + name)))
        saved = windows(w.path("saved.reg"))
        wine(["reg", "export", key, saved, "/y"], timeout=30)
        w.cleanups.append(lambda: (wine(["reg", "delete", key, "/f"], timeout=30), wine(["reg", "import", saved])))
        for command, subkey, *arguments in changes:
            wine(["reg", command, key + subkey, *[a.format(program) for a in arguments], "/f"], timeout=30)

    @staticmethod
    def attrib(w, flags, path):
        wine(["attrib", flags, windows(w.path(path))], timeout=30)

    @staticmethod
    def user(w, name):
        s.moved("home", "Users/%s/AppData/Roaming" % name)(w)
        w.game = os.path.join(w.home, ".minecraft")

    @staticmethod
    def plant(w):
        [shutil.copy(os.path.join(HELPERS, "planted_library.dll"), os.path.join(folder, name)) for name in PLANTED
         for folder in (w.ship, w.root)]

    @staticmethod
    def quick_edit(w, keys):
        """ServerSetup in cmd's console between two runs of the stand-in archiver, each recording the console's mode."""
        w.write("ship/console.log", b"")
        w.command, w.piped = "cmd /c '{0}\\7za.exe & {1}{0}\\ServerSetup.exe & {0}\\7za.exe'".format(
            windows(w.ship), keys and "echo %s| " % keys), keys

    @staticmethod
    def quick_edit_kept(t, w):
        found = [int(line.split()[1], 16) for line in w.read("ship/console.log").decode().splitlines()]
        inside = found[0] if w.piped else found[0] & ~0x40  # QuickEdit off inside, unless the keys come from a pipe
        t.assertEqual((found[0] & 0xC0, found), (0xC0, [found[0], inside, inside, found[0]]))

    @staticmethod
    def read_back(t, w):
        default, codepage = os.path.join(w.home, ".minecraft"), "cp1251" if w.env == RUSSIAN else "cp1252"
        text = "minecraft_path=%s\\" % windows(default)
        legacy = text.encode(codepage, "replace")  # where every character fits, else UTF-8 after a mark
        t.assertEqual(w.read(s.INI), legacy if legacy.decode(codepage) == text else b"\xef\xbb\xbf" + text.encode())
        s.moved("game", default)(w)
        s.run_row(t, s.Row("read back", "W", s.S, keys="y", **s.ENDS["installed"]), w, launch)  # setup.ini stays as it is

    @staticmethod
    def drive_root(w):
        link = os.path.join(PREFIX, "dosdevices", "p:")
        os.path.lexists(link) and os.remove(link)
        os.symlink(w.ship, link)
        w.program = "P:\\"


def boxes(log):
    """box_driver's records (kind by the icon and the buttons, text, answer), and how the program ended."""
    found, kinds = [], {"information yesno": s.Q, "information ok": s.I, "warning ok": s.W}
    while log.startswith(b"box "):
        header, log = log.split(b"\n", 1)
        icon, buttons, answer, length = header.decode().split()[1:]
        found.append((kinds.get(icon + " " + buttons, icon + " " + buttons), log[:int(length)], answer))
        log = log[int(length) + 1:]
    return found, log.decode().strip()


def console(w, steps):
    """ServerSetup.exe in a Wine console in a tmux pane of our own; the screen at the end."""
    tmux = ["tmux", "-L", "brax-wine-%d" % os.getpid()]
    run = lambda *a: subprocess.run(tmux + list(a), stdout=subprocess.PIPE, timeout=30).stdout.decode(errors="replace")
    run("new-session", "-d", "-s", "brax", "-x", "200", "-y", "80", "-c", w.root,
        "wine %s; echo \"[exit $?]\"; sleep 600" % getattr(w, "command", "'%s\\ServerSetup.exe'" % windows(w.ship)))
    try:
        for text, keys in steps + [("[exit ", [])]:
            deadline = time.time() + 60
            while text not in run("capture-pane", "-p", "-t", "brax") and time.time() < deadline:
                time.sleep(0.2)
            for key in keys:
                run("send-keys", "-t", "brax", key)
                time.sleep(0.3)
        return run("capture-pane", "-p", "-t", "brax")
    finally:
        run("kill-server")


def launch(w, row):
    program, where, keys = row.program, row.where, row.keys
    if program == s.S:
        log = w.path("driver.log")
        setup = getattr(w, "program", windows(w.ship) + "\\") + "Setup.exe"
        wine([os.path.join(HELPERS, "box_driver.exe"), windows(w.home), keys, windows(log), setup,
              windows(Wine.local(w))], cwd=w.root, env=getattr(w, "env", {}))
        found, end = boxes(w.read("driver.log"))
        os.remove(log)
        return types.SimpleNamespace(boxes=found, code=0 if end == "exit 0" else end)
    if where == "con":
        screen = "\n".join(line.rstrip() for line in console(w, keys).split("\n")).rstrip("\n")
        return types.SimpleNamespace(screen=screen, code=0)
    if getattr(w, "reader_gone", False):  # ServerSetup.exe | head -1, once head has gone
        reader, writer = os.pipe()
        os.close(reader)
        subprocess.run(["wine", windows(w.ship) + "\\ServerSetup.exe"], input=keys, stdout=writer, timeout=90,
                       stderr=subprocess.DEVNULL, cwd=w.root)
        os.close(writer)
        return types.SimpleNamespace(stdout=b"", code=0)
    return types.SimpleNamespace(stdout=wine([windows(w.ship) + "\\ServerSetup.exe"], keys or b"", cwd=w.root,
                                             env=getattr(w, "env", {})), code=0)


class WineRows(unittest.TestCase):
    maxDiff = None
    count = 0

    def world(self, where=None, build="BRAX_WIN_BUILD", env=None):
        WineRows.count += 1
        root = os.path.join(DRIVE_C, "brax", str(WineRows.count))
        w = s.World(root, Wine, "Users/John Smith/AppData/Roaming", [os.path.join(
            os.environ[build], p + ".exe") for p in (s.S, s.SS)], os.environ["BRAX_WIN_ARCHIVER"])
        w.env = dict(env or {})
        return w

    def test_rows(self):
        # What ships is x86-64: another build left beside it must not pass for it.
        w = self.world()
        for program in ("Setup.exe", "ServerSetup.exe", "7za.exe"):
            pe = w.read("ship/" + program)
            self.assertEqual(pe[int.from_bytes(pe[60:64], "little") + 4:][:2], b"\x64\x86", program + " is not x86-64")
        shutil.rmtree(w.root)
        s.run_rows(self, ("LW", "W", "con"), self.world, launch)
        # Rows with names in other scripts also on code page 1251 (LC_ALL), and as Windows before 10 1903 runs them
        for build, env in [("BRAX_WIN_BUILD", RUSSIAN), ("BRAX_WIN_LEGACY_BUILD", {}),
                           ("BRAX_WIN_LEGACY_BUILD", RUSSIAN)]:
            s.run_rows(self, ("LW", "W"), lambda _: self.world(build=build, env=env), launch, "; %s %s" % (build, env),
                       SCRIPTS)

    def test_imports(self):  # every one in Windows 7 SP1: anything newer is looked up at run time, with a fallback
        for program in ("Setup.exe", "ServerSetup.exe"):
            table = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", os.path.join(os.environ["BRAX_WIN_BUILD"],
                                    program)], stdout=subprocess.PIPE, text=True, check=True).stdout
            imported = set(re.findall(r"^\t[0-9a-f]+\t +\d+ +(\S+)$", table, re.M))
            self.assertEqual((re.findall(r"DLL Name: (\S+)", table), sorted(imported - WINDOWS_7)),
                             (["KERNEL32.dll", "msvcrt.dll"], []), program)

    def test_plain_name_loads(self):  # as system libraries load theirs, after start-up: none from beside the program
        folder, names = os.path.join(DRIVE_C, "brax", "probe"), ["brax_unused.dll", "msimg32.dll"]
        shutil.copytree(HELPERS, folder)
        [shutil.copy(os.path.join(folder, "planted_library.dll"), os.path.join(folder, n)) for n in names]
        found = wine([windows(folder) + "\\library_probe.exe"] + names, timeout=60).decode().splitlines()
        self.assertEqual((found, [n for n in os.listdir(folder) if n.endswith(".loaded")]),
                         (["none", "C:\\windows\\system32\\msimg32.dll"], []))

    def test_manifests(self):  # as built into each program, parsed strictly
        for program in ("Setup.exe", "ServerSetup.exe"):
            root = ElementTree.fromstring(subprocess.run(["wrestool", "-x", "--raw", "-t", "24", os.path.join(
                os.environ["BRAX_WIN_BUILD"], program)], stdout=subprocess.PIPE, check=True).stdout)
            self.assertEqual((root.tag, root.get("manifestVersion")), ("{%s}assembly" % NS["v1"], "1.0"), program)
            self.assertEqual({p: [e.text for e in root.findall(p, NS)] for p in MANIFEST},
                             {p: [text] for p, text in MANIFEST.items()}, program)


if __name__ == "__main__":
    unittest.main(verbosity=2)

"""Every text scripts/package writes: each download's README, 7-Zip's licence
file, RELEASE.md, BUILDINFO and the instance's files for Prism Launcher and
MultiMC. Each takes what it names as arguments; `r` is what the whole release
shares (made in package() of scripts/package)."""
import json
import unicodedata

from mod_files import PACK

# The jar mod's component in the instance: its uid names its patch file too.
JARMOD = "custom.jarmod.brax"


def lines(*parts):
    """The parts that are not None, one a line."""
    return "\n".join(p for p in parts if p is not None)


def listed(prefix, names):
    return "\n".join(prefix + n for n in names)


def archiver_license(r, licences):
    """licences: (file name, text) of 7-Zip's own licence files."""
    text = f"""7za.exe (Windows) and 7za (Linux) are the console version of the 7-Zip file
archiver, version {r.release}, built from Debian's source package
{r.about_archiver["package"]} with Debian's patches applied, from
{r.about_archiver["tarball"]} (SHA-256 {r.about_archiver["sha256"]}).
That source, as Debian publishes it, is offered beside these downloads:
{listed("  ", r.source_files)}
7-Zip's own licence files follow as the source has them.
"""
    return text + "".join("\n\n==== %s ====\n\n%s" % (name, licence) for name, licence in licences)


def checking(r, windows, download):
    """How to check a download: its SHA-256 against SHA256SUMS, and who signed what."""
    if windows:
        how = f"""  To check the download, compare its SHA-256 with the line for it in
  SHA256SUMS, from where you downloaded it: in a command prompt
    certutil -hashfile {download} SHA256
  or in PowerShell
    Get-FileHash {download}"""
    else:
        how = """  Beside the download and SHA256SUMS, from where you downloaded them:
    sha256sum -c --ignore-missing SHA256SUMS"""
    signer = r.fingerprint and f"""  The programs' signing certificate ("{r.publisher}") has the SHA-256
  fingerprint {r.fingerprint}."""
    gpg = r.gpg_fingerprint and f"""  SHA256SUMS.asc is signed by the OpenPGP key {r.gpg_fingerprint}:
    gpg --verify SHA256SUMS.asc SHA256SUMS"""
    return lines(how, signer or None, gpg or None)


# Where a player whose game folder is elsewhere points Setup (the scenario table writes the same lines).
INI_EXAMPLE = {"windows": r"minecraft_path=%APPDATA%\.minecraft-1.6.4", "linux": "minecraft_path=~/Games/minecraft"}
PLACES = {"windows": [r"%APPDATA%\.minecraft",
                      r"%LOCALAPPDATA%\Packages\Microsoft.4297127D64EC6_8wekyb3d8bbwe\LocalCache\Roaming\.minecraft"],
          "linux": ["~/.minecraft", "~/.var/app/com.mojang.Minecraft/.minecraft   (the launcher from Flathub)"]}
UNIT = "brax-server.service"
# The server's console is a FIFO that only the server reads, so that stopping
# the service can type "stop" into it; the server holds it open for writing
# too, so it never reads an end of input.
UNIT_TEMPLATE = """# BRAX server for Minecraft 1.6.4, as a systemd service. Its README fills
# in @FOLDER@, @USER@ (not root) and @START@ with one sed line.
# A command for the server's console: echo 'say hello' > /run/brax-server/console
[Unit]
Description=BRAX server for Minecraft 1.6.4
After=network-online.target
Wants=network-online.target

[Service]
User=@USER@
WorkingDirectory=@FOLDER@
RuntimeDirectory=brax-server
ExecStartPre=/bin/rm -f /run/brax-server/console
ExecStartPre=/usr/bin/mkfifo -m 600 /run/brax-server/console
ExecStart=/bin/sh -c 'exec @START@ <>/run/brax-server/console'
ExecStop=/bin/sh -c 'echo stop >/run/brax-server/console && exec tail --pid=$MAINPID -f /dev/null'
TimeoutStopSec=90
Restart=on-failure
SuccessExitStatus=143

[Install]
WantedBy=multi-user.target
"""


def unit(r):
    """The service unit template; --server-start fills in the start command (% and $ doubled for systemd)."""
    start = r.server_start.replace("%", "%%").replace("$", "$$")
    return UNIT_TEMPLATE.replace("@START@", start) if start else UNIT_TEMPLATE


def title(text):
    return text + "\n" + "=" * len(text) + "\n"


def asking(r):
    where = r.homepage or "where you downloaded BRAX"
    return f"""
Where to ask
  Questions, and a game or server that does not work: {where}
"""


def licences(r, programs):
    return f"""
Licences
  The installers ({programs}) are free software under the MIT licence:
  see LICENSE. The archiver is 7-Zip {r.release}; see 7za-LICENSE.txt.
  Its source, as Debian publishes it, lies beside the downloads:
{listed("    ", r.source_files)}

BRAX installers {r.installers}
"""


def windows_warning(r, programs):
    """What Windows may say about a downloaded program, signed or not."""
    if r.publisher:
        return f"""  {programs} are signed by "{r.publisher}": Windows names that
  publisher when it asks about them. If it names another, or says "Unknown
  publisher", do not run them. SmartScreen may still warn about a
  certificate it does not know yet; it learns new certificates over time."""
    return """  The programs are not signed. Windows SmartScreen may say "Windows
  protected your PC": check the download (above), then click "More info",
  then "Run anyway". Where Smart App Control is on (Windows 11), it blocks
  unsigned programs outright, with no "Run anyway": the programs cannot run
  there."""


def no_start(windows, java="the launcher brings for it"):
    """When the game does not start, on Windows, Linux or (None) either (docs/sources.md names the sources)."""
    arm = """  - On Windows on ARM the game needs an x64 Java 8: its graphics library
    loads only in an x64 Java, not an ARM64 one.
"""
    xrandr = """  - On Linux the game needs the xrandr program, or it stops at start with an
    ArrayIndexOutOfBoundsException in LinuxDisplay. Debian and Ubuntu:
    sudo apt install x11-xserver-utils
"""
    return f"""
When the game does not start
  - Minecraft 1.6.4 runs on Java 8, which {java}.
    If you chose another Java for it, go back to Java 8: on Java 9 and
    later, old code of the game's kind can fail at start.
""" + (arm if windows is not False else "") + (xrandr if not windows else "")


def readme(r, download, edition, machine):
    """The README of a download of the installers; machine is None for Windows. Lines end in \\n; the Windows
    ones are plain ASCII, for the Notepad of every Windows."""
    text = (players_readme if edition == "1.6.4-BRAX" else admins_readme)(r, download, machine)
    if machine is None:
        text = unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode()
    return text


def unpacking(r, download, machine, program):
    if machine is None:
        return f"""
2. Extract the zip
  Right-click it, Extract All..., then open the extracted folder: started
  from inside the zip, {program} finds nothing beside it.
{windows_warning(r, "The programs")}
"""
    folder = download[:-len(".tar.gz")]
    return f"""
2. Unpack it, where you like, and go into its folder:
    $ tar -xzf {download} && cd {folder}
"""


def players_readme(r, download, machine):
    windows = machine is None
    system = "windows" if windows else "linux"
    setup = "Setup.exe" if windows else "Setup"
    where = "64-bit Windows, from Windows 7 on (Windows 11 on ARM too)" if windows else \
        "Linux on %s PCs" % r.machines[machine]["uname"]
    places = listed("    ", PLACES[system])
    if windows:
        run = f"""  Double-click {setup} and answer its questions with Yes."""
        ini = f"""  Write the file setup.ini beside {setup} (in Notepad) with one line that
  names your game folder, for example
    {INI_EXAMPLE[system]}
  (quotes around the folder are fine; %NAME% is taken from your
  environment), and run {setup} again."""
        remove = f"""  In your game folder, delete the folder versions\\1.6.4-BRAX and the file
  resourcepacks\\{PACK}."""
    else:
        run = f"""  In a terminal, in this folder, run it and answer its questions with y:
    $ ./Setup
  Or double-click Setup in your file manager, if zenity or kdialog is
  installed (Debian and Ubuntu: sudo apt install zenity)."""
        ini = f"""  In this folder, name your game folder in setup.ini (~ is your home), then
  run Setup again:
    $ echo '{INI_EXAMPLE[system]}' > setup.ini
    $ ./Setup"""
        remove = f"""  In your game folder (~/.minecraft, unless setup.ini names another):
    $ rm -r ~/.minecraft/versions/1.6.4-BRAX ~/.minecraft/resourcepacks/'{PACK}'"""
    return title(f"BRAX {r.version} for Minecraft 1.6.4, for players on {'Windows' if windows else 'Linux'}") + f"""
{download} is for players of the official Minecraft launcher
on {where}.
{setup} installs BRAX into your game folder as a new version of the game,
1.6.4-BRAX, beside vanilla 1.6.4. Keep the files of this folder together:
{setup} needs {'7za.exe' if windows else '7za'} and the folder 1.6.4-BRAX beside it. Players of
Prism Launcher or MultiMC take {r.name}-client-prism.zip, server admins the
server downloads.

1. Check the download, if you like
{checking(r, windows, download)}
{unpacking(r, download, machine, setup)}
3. Start Minecraft 1.6.4 once
  In the Minecraft launcher: Installations, New installation, choose the
  version 1.6.4 in the version list, Create. Play it once, then quit the
  game: now your game folder holds 1.6.4, which {setup} builds BRAX from.

4. Run {setup}
{run}
  It takes the first of these game folders that holds 1.6.4:
{places}
  If it says "Please ensure that vanilla Minecraft version 1.6.4 has been
  installed", 1.6.4 has not been played there yet (step 3), or your game
  folder is somewhere else (step 5).

5. A game folder somewhere else
{ini}
  A folder named in setup.ini is the only one {setup} tries.

6. Choose BRAX in the launcher
  Installations, New installation, choose the version 1.6.4-BRAX in the
  version list, Create, then Play it. (The last message of {setup} calls
  this editing your profile.)

7. Turn on the resource pack
  In the game: Options..., Resource Packs..., move "{PACK[:-4]}"
  to the selected packs, Done.

Updating BRAX
  Run the {setup} of the new download, and answer Yes when it asks to
  replace the earlier install. Your saved worlds are kept.

Removing BRAX
{remove}
  Then delete the installation in the launcher. Your worlds stay.
{no_start(windows)}{asking(r)}{licences(r, setup)}"""


def server_start(r, machine):
    """How the admin starts the server by hand, in the server folder."""
    if machine is None:
        return """  With Java 8, start the server with run.bat in the server folder
  (double-click it, or run it in a command prompt there)."""
    text = """  In the server folder, unpack the start-up scripts:
    $ cd ../1.6.4-BRAX-HDS && tar -xf bash_scripts.tar"""
    if r.server_start:
        return text + f"""
  and start the server with Java 8:
    $ {r.server_start}"""
    return text + """
  and start the server with Java 8, as its scripts say."""


def service(r, folder):
    """A Linux server kept running by systemd, from the template beside the README."""
    start = "" if r.server_start else ' -e "s|@START@|COMMAND|"'
    fill = "" if r.server_start else """
  COMMAND is what starts your server in that folder, as its scripts do it
  (a % in it is written %%, a $ is written $$)."""
    return f"""
6. Keep it running: a systemd service
  {UNIT} beside this README runs the server as a service: started
  at boot, stopped cleanly by typing "stop" into its console, restarted
  when it fails. Fill it in, in the server folder, as the user the server
  runs as (not root):
    $ sed -e "s|@FOLDER@|$PWD|" -e "s|@USER@|$(id -un)|"{start} ../{folder}/{UNIT} > {UNIT}{fill}
  Then, as root, install it and start it:
    $ sudo cp {UNIT} /etc/systemd/system/ && sudo systemctl enable --now brax-server
  It is stopped with: sudo systemctl stop brax-server
  A command for the server's console, as the server's user:
    $ echo 'say hello' > /run/brax-server/console
"""


def admins_readme(r, download, machine):
    windows = machine is None
    server, za = ("ServerSetup.exe", "7za.exe") if windows else ("ServerSetup", "7za")
    folder = download[:-len(".zip")] if windows else download[:-len(".tar.gz")]
    up = "..\\1.6.4-BRAX-HDS" if windows else "../1.6.4-BRAX-HDS"
    if windows:
        where = "64-bit Windows, from Windows 7 on (Windows 11 on ARM too)"
        others = ""
        copy_jar = """  Copy it into this folder, beside ServerSetup.exe."""
        build = f"""  Double-click {server}, or run it in a command prompt in this folder, and
  answer the terms with y."""
    else:
        m = r.machines[machine]
        where = f"Linux on {m['uname']} ({m['players']}): uname -m prints {m['uname']}"
        others = "\nOther machines take" + "".join(
            f"\n  {r.name}-server-linux-{other}.tar.gz ({o['uname']})" for other, o in r.machines.items()
            if other != machine)
        copy_jar = """  Copy it into this folder, beside ServerSetup. On this machine:
    $ cp ~/.minecraft/versions/1.6.4/1.6.4.jar .
  From another computer, over SSH (there, with your server's name and
  the path of this folder):
    $ scp ~/.minecraft/versions/1.6.4/1.6.4.jar USER@SERVER:PATH"""
        build = f"""  At a console or over SSH, answer the terms with y:
    $ ./ServerSetup
  Unattended, from a script (yy also answers "update it?" on an update):
    $ printf yy | ./ServerSetup > serversetup.log
    $ grep 'has been successfully created!' serversetup.log
  Every run ends with exit code 0, built or not: the line
  "1.6.4-BRAX-HDS.jar has been successfully created!" is the sign it
  worked, and grep fails without it."""
    updates = f"""
Updating BRAX
  Unpack the new download beside this one (it has a folder of its own), put
  1.6.4.jar in it, and run its {server}, answering y to "update it?". It
  replaces 1.6.4-BRAX-HDS.jar and the start-up scripts (run.bat,
  bash_scripts.zip, bash_scripts.tar); the world, server.properties and
  every other file of the server folder stay."""
    return title(f"BRAX {r.version} for Minecraft 1.6.4, server edition for "
                 f"{'Windows' if windows else 'Linux (%s)' % machine}") + f"""
{download} is for server admins on
{where}.{others}
{server} builds a BRAX server folder; {"Setup.exe" if windows else "Setup"}, also here, installs the same
server edition into a game folder instead. Players take the client
downloads. Keep the files of this folder together: {server} needs
{za} and the folder 1.6.4-BRAX-HDS beside it.

What you need: Java 8 on the server, and the vanilla 1.6.4.jar (step 3).

1. Check the download, if you like
{checking(r, windows, download)}
{unpacking(r, download, machine, server)}  The server folder is built next to this folder, as {up}:
  unpack the download where the server should live.

3. Bring the vanilla 1.6.4.jar
  {server} builds the server's jar from the game's own 1.6.4 jar. On a
  computer where Minecraft 1.6.4 has been played once, it is
    versions/1.6.4/1.6.4.jar in the game folder of the official launcher:
      Windows  %APPDATA%\\.minecraft
      Linux    ~/.minecraft
      macOS    ~/Library/Application Support/minecraft
    libraries/com/mojang/minecraft/1.6.4/minecraft-1.6.4-client.jar in the
      data folder of Prism Launcher or MultiMC (name the copy 1.6.4.jar).
{copy_jar}

4. Build the server folder
{build}

5. Start the server
{server_start(r, machine)}
  Type "stop" at its console to stop it cleanly.
{"" if windows else service(r, folder)}
{6 if windows else 7}. Players who get "Bad login"
  Clients of 1.6.4 meet "Bad login" on a server in online mode whenever the
  old sign-in service fails them. The usual answer is online-mode=false in
  server.properties, with a whitelist. But without online mode nobody's
  name is checked: a whitelist admits names, and anyone may claim a
  whitelisted name. Keep such a server on a private network, or behind a
  password plugin.
{updates}
{asking(r)}{licences(r, server + ", Setup" + (".exe" if windows else ""))}"""


def audience(r, download):
    """Whom a download of RELEASE.md's table is for."""
    if download.endswith("-client-windows.zip"):
        return "players on 64-bit Windows (Windows 11 on ARM too)"
    if download.endswith("-server-windows.zip"):
        return "server admins on 64-bit Windows (Windows 11 on ARM too)"
    if "-client-linux-" in download:
        return "players on Linux PCs (`uname -m`: x86_64)"
    if download.endswith("-client-prism.zip"):
        return "players of Prism Launcher and MultiMC on any system: an instance to import"
    if download.endswith("-client-jarmod.zip"):
        return "players who add BRAX to an instance of their own (\"Add to Minecraft.jar\"), and mod sites"
    if download.endswith("-resourcepack.zip"):
        return "the resource pack alone, for an instance of one's own beside the jar mod, and mod sites"
    machine = r.machines[download.split("-linux-")[-1][:-len(".tar.gz")]]
    return f"server admins on Linux, {machine['players']} (`uname -m`: {machine['uname']})"


def release_notes(r, downloads):
    """RELEASE.md; downloads: (file name, size, SHA-256) in the order of the table."""
    rows = "".join(f"| `{file}` | {audience(r, file)} | {size} bytes | `{digest}` |\n"
                   for file, size, digest in downloads)
    if r.signing:
        signed = f"""The Windows programs are signed by "{r.publisher}", certificate SHA-256
`{r.fingerprint}`."""
    else:
        signed = "The Windows programs are not signed."
    if r.gpg_fingerprint:
        signed += f"\n`SHA256SUMS.asc` is signed by the OpenPGP key `{r.gpg_fingerprint}`."
        verify = "\n    gpg --verify SHA256SUMS.asc SHA256SUMS"
    else:
        signed += "\n`SHA256SUMS` is not signed."
        verify = ""
    # The title stays the first line: it is how scripts/package knows its own release in an out folder.
    top = f"# BRAX {r.version}" + (f"\n\n{r.notes}\n\n## Downloads" if r.notes else "")
    files = [file for file, _, _ in downloads]
    need = [f"- Players of the official launcher on Windows or Linux: Minecraft 1.6.4, played once in the\n"
            f"  launcher (an installation with the version 1.6.4), before they run `Setup`."
            if any("-client-windows" in f or "-client-linux" in f for f in files) else None,
            f"- Players of Prism Launcher or MultiMC: the launcher, an account in it, and the network at the\n"
            f"  first start, when the launcher fetches Minecraft 1.6.4 itself."
            if any("-client-prism" in f for f in files) else None,
            f"- Server admins: Java 8 on the server, and the vanilla `1.6.4.jar` from a computer where\n"
            f"  Minecraft 1.6.4 has been played once."
            if any("-server-" in f for f in files) else None]
    ask = f"\n\n## Help\n\nAsk at <{r.homepage}>." if r.homepage else ""
    return f"""{top}

Before you download, what you need:

{lines(*need)}

| download | for | size | SHA-256 |
|---|---|---|---|
{rows}
Which file is yours: on Linux, `uname -m` prints your machine. Windows 11
on ARM takes the Windows zip. Each download of the installers unpacks into a
folder of its own name and holds a README for its audience, from the download
to playing; so does the instance for Prism Launcher and MultiMC, which needs
no installer.{ask}

## Who signed it

{signed}

## Check a download

On Windows, in a command prompt: `certutil -hashfile FILE SHA256`, or in
PowerShell: `Get-FileHash FILE`; compare with the line for it in `SHA256SUMS`
(and the table above). On Linux, beside the download and `SHA256SUMS`:

    sha256sum -c --ignore-missing SHA256SUMS{verify}

## Licences and sources

The installers are under the MIT licence (`LICENSE` in each download). The
archiver in each download is 7-Zip {r.release} (`7za-LICENSE.txt`); its source,
as Debian publishes it, is published here too:
{listed("- ", ["`%s`" % f for f in r.source_files])}

`BUILDINFO` names what built the release: the source commit, the compilers
and the Debian packages. BRAX installers {r.installers}.
"""


def buildinfo(r, b):
    """BUILDINFO; b holds what the build found out (see build_info in scripts/package)."""
    signer = r.signing and lines(
        f"  signed with {b.osslsigncode} (Authenticode, SHA-256) by {r.subject}",
        f"    certificate SHA-256 {r.fingerprint}",
        "    " + (f"time-stamped by {r.timestamp}" if r.timestamp else "not time-stamped"))
    icon = f"the distributor's, SHA-256 {b.icon_sha256}" if b.icon_sha256 else \
        "src/shared/windows_resources/program.svg, drawn by rsvg-convert and icotool"
    return lines(
        f"BRAX {r.version}, BRAX installers {r.installers}, source {b.source}",
        f"7-Zip {r.release}, built by scripts/build-archiver from Debian's source with its patches:",
        *["  " + line for line in b.archiver_source],
        *[f"  {machine}: {compiler}" for machine, compiler in b.archiver_compilers],
        "Windows programs (x86-64): cmake/mingw-w64-x86_64.cmake, Release",
        f"  icon: {icon}",
        signer or None,
        f"SHA256SUMS.asc: {b.gpg}, key {r.gpg_fingerprint}" if r.gpg_fingerprint else None,
        "Linux programs: Release, -static; for other machines than this one with CMAKE_SYSTEM_NAME=Linux",
        "  and CMAKE_CXX_COMPILER=<the compiler below>-g++ (scripts/machines)",
        *[f"  compiler {cross}: {version}" for cross, version in b.compilers],
        f"Archives: Python {b.python}",
        f"Built on Debian {b.debian} with:",
        *b.packages,
        *[f"  {path} (not from a Debian package)" for path in b.others]) + "\n"


def instance_cfg(r):
    """Plain key=value lines: a section header or ConfigVersion would switch Prism Launcher to other rules."""
    return f"InstanceType=OneSix\nname=BRAX {r.version}\n"


def components():
    """mmc-pack.json: Minecraft 1.6.4 from the launcher's own metadata, then BRAX as a jar mod."""
    return json.dumps({"formatVersion": 1, "components": [
        {"uid": "net.minecraft", "version": "1.6.4", "important": True},
        {"uid": JARMOD, "cachedName": "BRAX (jar mod)"}]}, indent=2) + "\n"


def jarmod_patch():
    """patches/JARMOD.json: the jar mod, jarmods/brax.jar, for 1.6.4 only."""
    return json.dumps({"formatVersion": 1, "name": "BRAX (jar mod)", "uid": JARMOD,
                       "requires": [{"uid": "net.minecraft", "equals": "1.6.4"}],
                       "jarMods": [{"name": "custom.jarmods:brax:1", "MMC-hint": "local", "MMC-filename": "brax.jar",
                                    "MMC-displayname": "BRAX"}]}, indent=2) + "\n"


def options(pack):
    """The game's options.txt: 1.6.4 reads the chosen resource pack from its skin line."""
    return f"skin:{pack}\n"


def instance_readme(r):
    """The players' README in the instance, read on any system: plain ASCII (scripts/package ends its lines CR LF)."""
    jarmod, pack = r.name + "-client-jarmod.zip", r.name + "-resourcepack.zip"
    return title(f"BRAX {r.version} for Minecraft 1.6.4, for players of Prism Launcher and MultiMC") + f"""
{r.name}-client-prism.zip is an instance of Minecraft 1.6.4 with BRAX as a
jar mod and BRAX's resource pack, for Prism Launcher and MultiMC on every
system they run on (Windows, macOS, Linux). {jarmod} and
{pack} are the jar mod and the pack alone, for an instance of
your own.

1. Import the instance
  In the launcher: Add Instance, Import, and choose {r.name}-client-prism.zip
  (or drop the zip on the launcher's window). The instance is named
  "BRAX {r.version}".

2. Start it
  The first start needs the network: the launcher downloads Minecraft
  1.6.4, its libraries and assets, and (Prism Launcher) a Java for it. You
  need an account in the launcher. The resource pack is already chosen.

Add BRAX to an instance of your own instead
  1. In the Edit window of a Minecraft 1.6.4 instance: Version, then "Add to
     Minecraft.jar", and choose {jarmod}.
  2. Under Resource packs, add {pack}, then turn it on in the
     game: Options..., Resource Packs..., move it to the selected packs, Done.

Updating BRAX
  Your worlds are in the instance you play, so update that one (a newly
  imported instance starts without them): in its Edit window, Version,
  select the old BRAX jar mod and Remove it, then "Add to Minecraft.jar"
  with the new release's client-jarmod.zip. Under Resource packs, remove the
  old pack, add the new release's resourcepack.zip and turn it on in the
  game as above.

Removing BRAX
  Delete the instance, or remove the jar mod and the pack from yours.
{no_start(None, "Prism Launcher fetches")}
Check the download: its SHA-256 against the line for it in SHA256SUMS, from
where you downloaded it.
{asking(r)}"""

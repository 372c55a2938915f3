"""Every text scripts/package writes: each download's README, 7-Zip's licence
file, RELEASE.md, BUILDINFO and the instance's files for Prism Launcher and
MultiMC. Each takes what it names as arguments; `r` is what the whole release
shares (made in package() of scripts/package)."""
import json

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


def readme(r, download, edition, machine):
    """The README of a download of the installers; machine is None for Windows. Lines end in \\n."""
    client, windows = edition == "1.6.4-BRAX", machine is None
    audience = "client" if client else "server"
    setup, za = ("Setup.exe", "7za.exe") if windows else ("Setup", "7za")
    server = "" if client else "ServerSetup.exe" if windows else "ServerSetup"
    if windows:
        example, game = r"%APPDATA%\.minecraft-1.6.4", r"%APPDATA%\.minecraft"
        places = r"""       %APPDATA%\.minecraft
       %LOCALAPPDATA%\Packages\Microsoft.4297127D64EC6_8wekyb3d8bbwe\LocalCache\Roaming\.minecraft
       (the second where Windows keeps it for the launcher from the Store)"""
        start = """
  These programs are for 64-bit Windows, from Windows 7 on; Windows 11 on
  ARM runs them too.
  Extract the whole zip first (right-click it, Extract All...): started
  from inside the zip, the programs find nothing beside them."""
        if r.publisher:
            start += f"""
  {setup}, {za}{" and " + server if server else ""} are signed by "{r.publisher}",
  the publisher Windows names when it asks about them. If it names another,
  or says "Unknown publisher", do not run them."""
        else:
            start += """
  The programs are not signed: Windows SmartScreen may say "Windows
  protected your PC". Click "More info", then "Run anyway"."""
    else:
        example, game = "~/Games/minecraft", "~/.minecraft"
        places = """       ~/.minecraft
       ~/.var/app/com.mojang.Minecraft/.minecraft   (the launcher from Flathub)"""
        start = f"""
  This download is for Linux on {r.machines[machine]["uname"]}, which is what uname -m prints
  there ({r.machines[machine]["players"]})."""
        if not client:
            start += " For other machines take" + "".join(
                f"\n    {r.name}-server-linux-{other}.tar.gz ({m['uname']})" for other, m in r.machines.items())
        start += f"""
  Unpack it where you like and go into its folder:
    tar -xzf {download} && cd {download[:-len(".tar.gz")]}"""
    others = "Server admins take the server downloads instead." if client else \
        "Players take the client downloads instead."
    if client:
        others += f"\nPlayers of Prism Launcher or MultiMC take {r.name}-client-prism.zip."
    system = "Windows" if windows else f"Linux ({machine})"
    text = f"""BRAX for Minecraft 1.6.4 - {r.version}, {audience} edition for {system}
=====================================================

{download}. {others}
Keep the files of this folder together: the programs need {za} and the
folder {edition} beside them.

First run
{start}
{checking(r, windows, download)}
"""
    if client:
        text += f"""
Install on your computer
  1. Start Minecraft 1.6.4 once with the vanilla launcher, so that version
     1.6.4 is installed.
  2. Run {setup} and answer its questions. It installs BRAX as a new game
     version, 1.6.4-BRAX, next to the vanilla one, in the first of these
     game folders that holds vanilla 1.6.4 (else the first that exists):
{places}
     If your game folder is somewhere else, {setup} writes setup.ini beside
     itself: put your folder after "minecraft_path=", for example
       minecraft_path={example}
     (quotes around it are fine), and run it again. A folder named there
     is the only one {setup} uses.
  3. In the launcher, edit your profile to use the version 1.6.4-BRAX.
  Your saved worlds are not touched.
"""
        if not windows:
            text += """
  On a Linux desktop you can start Setup by double-clicking it in your file
  manager if zenity or kdialog is installed (Debian and Ubuntu: sudo apt
  install zenity); it then asks through dialog windows. Otherwise start it
  from a terminal: ./Setup in this folder.
"""
    else:
        text += f"""
Build a headless server
  1. {server} builds the server jar from the vanilla 1.6.4.jar, the game's
     client jar: start Minecraft 1.6.4 once with the vanilla launcher on
     any computer, then copy versions/1.6.4/1.6.4.jar from its game folder
     ({game}) into this folder, beside {server}.
"""
        if windows:
            text += f"""  2. Run {server} (double-click it, or start it in a command prompt) and
     answer the terms with y.
"""
        else:
            text += """  2. Run it at a console or over SSH, and answer the terms with y:
       ./ServerSetup
     or unattended, from a script (an update of an existing jar takes yy):
       printf y | ./ServerSetup
"""
        text += f"""  3. It builds the server folder 1.6.4-BRAX-HDS next to this folder
     (../1.6.4-BRAX-HDS), with 1.6.4-BRAX-HDS.jar and the start-up scripts:
     run.bat for Windows, bash_scripts.zip and bash_scripts.tar for Linux.
     Start the server from there.
  {setup} installs the same server edition into a game folder, as the game
  version 1.6.4-BRAX-HDS, on a computer with the game.
"""
    text += f"""
Licences
  The installers ({setup}{", " + server if server else ""}) are free software under the MIT
  licence: see LICENSE. The archiver is 7-Zip {r.release}; see 7za-LICENSE.txt.
  Its source, as Debian publishes it, lies beside the downloads:
{listed("    ", r.source_files)}

BRAX installers {r.installers}
"""
    return text


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
    return f"""# BRAX {r.version}

| download | for | size | SHA-256 |
|---|---|---|---|
{rows}
Which file is yours: on Linux, `uname -m` prints your machine. Windows 11
on ARM takes the Windows zip. Each download of the installers unpacks into a
folder of its own name and holds a README for its audience; so does the
instance for Prism Launcher and MultiMC, which needs no installer.

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
    return f"""BRAX for Minecraft 1.6.4 - {r.version}, an instance for Prism Launcher and MultiMC
=====================================================

{r.name}-client-prism.zip holds Minecraft 1.6.4 with BRAX as a jar mod, and
BRAX's resource pack, chosen at the first start. It works in Prism Launcher
and in MultiMC, on every system they run on (Windows, macOS, Linux).

Import it
  In Prism Launcher: Add Instance, Import, and choose this zip (or drop the
  zip on the launcher's window). In MultiMC: Add Instance, Import from zip.
  The instance is named "BRAX {r.version}". At its first start the launcher
  downloads Minecraft 1.6.4 itself (and, in Prism Launcher, a Java for it):
  you need the network once, and an account in the launcher.

Add BRAX to an instance of your own instead
  1. Make an instance of Minecraft 1.6.4 (or take yours), and in its Edit
     window choose Version, then "Add to Minecraft.jar", and pick
     {r.name}-client-jarmod.zip.
  2. Under Resource packs, add {r.name}-resourcepack.zip, then choose it in
     the game: Options, Resource Packs.

Check the download: its SHA-256 against the line for it in SHA256SUMS, from
where you downloaded it.
"""

"""The programs' texts, byte for byte, as the tests expect them. The only
differences between the platforms are the archiver's and the desktop
installer's names and the path separator."""

NO_CHANGES = b"Installer will now exit.\r\n\r\nNo changes have been made to your system."
MANUAL = b"This installer has made no changes to your system. Proceed with manual installation."
VANILLA = (b"Please ensure that vanilla Minecraft version 1.6.4 has been installed before attempting to "
           b"install BRAX.\r\n\r\nNo changes have been made to your system.")


def setup_texts(archiver):
    """Setup's box texts by name; `archiver` is "7za" or "7za.exe"."""
    return {
        "welcome": b"This program will install the Brax Overhaul (BRAX) mod for Minecraft 1.6.4.\r\n\r\nThe "
                   b"author and/or distributor of this software is not responsible for any damages resulting "
                   b"from the use of this installer or the BRAX mod, including injuries or death caused by "
                   b"skeleton archers.\r\n\r\nDo you agree to these terms?",
        "no changes": NO_CHANGES,
        "client done": b"BRAX 1.6.4 has been successfully installed!\r\n\r\nYou can start the Minecraft.exe "
                       b"launcher now. Remember to edit your profile to use the 1.6.4-BRAX version, if you have "
                       b"not done so already.\r\n\r\nHave fun :)\r\n\r\nTip: The /version command allows you to "
                       b"check which release of BRAX you are playing.",
        "server done": b"BRAX 1.6.4 HDS has been successfully installed!\r\n\r\nYou can start a headless server "
                       b"instance now by running the batch file located in the versions\\1.6.4-BRAX-HDS folder."
                       b"\r\n\r\nHave fun :)",
        "previous BRAX": b"A previous installation of BRAX was found.\r\n\r\nDo you wish to overwrite it?\r\n\r\n"
                         b"(This will not remove your saved worlds.)",
        "previous BRAX-HDS": b"A previous installation of BRAX-HDS was found.\r\n\r\nDo you wish to overwrite it?"
                             b"\r\n\r\n(This will not remove your saved worlds.)",
        "edit": b"Your minecraft folder was not found in the expected location.\r\n\r\nPlease edit setup.ini so "
                b"that it contains the correct path, then run the installer again.\r\n\r\nWould you like to edit "
                b"this file now?",
        "no archiver": b"Cannot find the " + archiver.encode() + b" archiving program! It must be in the same "
                       b"location as this program.\r\n\r\n" + NO_CHANGES,
        "no source": b"Cannot find the location of the 1.6.4-BRAX folder!\r\n\r\n" + MANUAL,
        "no pack": b"Cannot find the location of the BRAX Resource Pack!\r\n\r\n" + MANUAL,
        "no versions": b"Cannot find the location of your .minecraft\\versions folder!\r\n\r\n" + MANUAL,
        "no resourcepacks": b"Cannot find the location of your .minecraft\\resourcepacks folder!\r\n\r\n" + MANUAL,
        "no vanilla folder": b"Cannot find the location of your .minecraft\\versions\\1.6.4 folder!\r\n\r\n" + VANILLA,
        "no vanilla jar": b"Cannot find the jar file for vanilla Minecraft 1.6.4!\r\n\r\n" + VANILLA,
        "not removed": b"Was not able to fully remove your previous installation of BRAX!\r\n\r\n"
                       b"Proceed with manual installation.",
    }


def archiver_failed(step, code):
    """The message of a failed archiver run: step "d" (META-INF) or "a"."""
    first = b"A error occured while trying to delete META-INF."
    second = b"An error occured while trying to copy class files to jar archive."
    return (first if step == "d" else second) + b"\r\n\r\nError code: " + str(code).encode()


def copy_failed(source, destination):
    if isinstance(source, str):
        source, destination = source.encode(), destination.encode()
    return b"A error occurred while copying " + source + b" to " + destination + b"\r\n\r\nInstaller will now exit."

"""Setup's end-to-end scenarios, written once for every platform. A row is one
run: name, prepare(world), the answers in order ("y"/"n", one a question),
the boxes (kind, text, answer), the paths that may change, a further
check(test, world) and the environment of the run.

Rows speak of the world through a platform adapter `p`:
  p.linux       True on Linux, False under Wine
  p.texts       Setup's box texts (messages.setup_texts of the archiver's name)
  p.sep         the path separator of the program's messages
  p.name(path)  the name the program gives an absolute path
  p.example     what an empty setup.ini becomes
  p.stand_in(w, delete_code, add_code)   an archiver that logs and fails
  p.runs(w, *steps)   the lines that archiver logs for the runs "d" and "a"
A path that may change, and a path given to `missing`, lies below the game
folder unless it starts with "ship"; "" is the game folder itself."""
import os
import shutil

import messages
import sample_package

Q, I, W = "question", "information", "warning"
CLIENT = "versions/1.6.4-BRAX"
SERVER = "versions/1.6.4-BRAX-HDS"
PACK = "resourcepacks/BRAX Resource Pack 1.6.4.zip"
INI = "ship/setup.ini"
archiver_failed, copy_failed = messages.archiver_failed, messages.copy_failed


def below(w, path):
    """The path of a row below the world root (see the module's words)."""
    return path if path.startswith("ship") else os.path.relpath(os.path.join(w.game, path), w.root)


# --- How rows prepare their world ---------------------------------------------------
def earlier_install(folder, sibling=False):
    def prepare(w):
        w.write(below(w, folder + "/old-extra.txt"), b"old")
        w.write(below(w, folder + "/" + os.path.basename(folder) + ".jar"), b"old jar")
        if sibling:  # the removal must spare a neighbour whose name starts the same
            w.write(below(w, folder + " old/keep.txt"), b"sibling")
    return prepare


def missing(*paths):
    def prepare(w):
        for path in paths:
            full = w.path(below(w, path))
            shutil.rmtree(full) if os.path.isdir(full) else os.remove(full)
    return prepare


def server_source(w):
    sample_package.make_ship_folder(w.ship, [], None, client=False, server=True)


def all_of(*steps):
    return lambda w: [step(w) for step in steps]


def setup_ini(content):
    return lambda w: w.write(INI, content(w) if callable(content) else content)


def moved_game(to):
    def prepare(w):
        target = w.path(to)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        os.rename(w.game, target)
        w.game = target
    return prepare


def game_named_in_ini(p, to, line="minecraft_path = %s\r\n", encoding="utf-8"):
    """The game folder moved to `to` and named by setup.ini in `encoding`."""
    def prepare(w):
        moved_game(to)(w)
        w.write(INI, (line % p.name(w.game)).encode(encoding))
    return prepare


# --- Further checks ---------------------------------------------------------------
def client_installed(t, w):
    folder = os.path.join(w.game, CLIENT)
    t.assertEqual(sample_package.jar_entries(os.path.join(folder, "1.6.4-BRAX.jar")),
                  sample_package.expected_jar(sample_package.CLIENT_CLASSES))
    with open(os.path.join(folder, "1.6.4-BRAX.json"), "rb") as f:
        t.assertEqual(f.read(), b'{"id": "1.6.4-BRAX"}')
    t.assertTrue(os.path.isfile(os.path.join(w.game, PACK)))
    t.assertEqual(sorted(os.listdir(folder)), ["1.6.4-BRAX.jar", "1.6.4-BRAX.json"])


def server_installed(t, w, folder=None):
    folder = folder or os.path.join(w.game, SERVER)
    t.assertEqual(sample_package.jar_entries(os.path.join(folder, "1.6.4-BRAX-HDS.jar")),
                  sample_package.expected_jar(sample_package.SERVER_CLASSES))
    for name, content in sample_package.SERVER_SCRIPTS.items():
        with open(os.path.join(folder, name), "rb") as f:
            t.assertEqual(f.read(), content)


def in_game_is(relative, content):
    return lambda t, w: t.assertEqual(w.read(below(w, relative)), content)


def both(*checks):
    return lambda t, w: [check(t, w) for check in checks]


def ini_is(expected):
    return lambda t, w: t.assertEqual(w.read(INI), expected(w) if callable(expected) else expected)


def archiver_log(p, *steps):
    return lambda t, w: t.assertEqual(w.read("ship/archiver.log").decode().splitlines(), p.runs(w, *steps))


def welcome(*boxes):
    """The boxes of a run that agrees to the terms, then `boxes`."""
    return [(Q, "welcome", "yes"), *boxes]


DONE, SERVER_DONE = (I, "client done", "ok"), (I, "server done", "ok")


def rows(p):
    def json_copy_failed(w):
        return copy_failed("1.6.4-BRAX" + p.sep + "1.6.4-BRAX.json", p.name(os.path.join(w.game, CLIENT, "1.6.4-BRAX.json")))

    # name, prepare, answers, boxes, paths that may change, check[, environment]
    return [
        ("client first install", None, "y", welcome(DONE), [CLIENT, PACK], client_installed),
        ("both source folders: server edition", server_source, "y", welcome(SERVER_DONE), [SERVER], server_installed),
        ("welcome refused", None, "n", [(Q, "welcome", "no"), (I, "no changes", "ok")], [], None),
        ("earlier install overwritten, its sibling spared", earlier_install(CLIENT, sibling=True), "yy",
         welcome((Q, "previous BRAX", "yes"), DONE), [CLIENT, PACK],
         both(client_installed, in_game_is(CLIENT + " old/keep.txt", b"sibling"))),
        ("earlier install refused", earlier_install(CLIENT), "yn",
         welcome((Q, "previous BRAX", "no"), (I, "no changes", "ok")), [], None),
        ("earlier server install: only the jar goes",
         all_of(server_source, missing("ship/1.6.4-BRAX"), earlier_install(SERVER)), "yy",
         welcome((Q, "previous BRAX-HDS", "yes"), SERVER_DONE), [SERVER],
         both(server_installed, in_game_is(SERVER + "/old-extra.txt", b"old"))),
        ("server edition needs no resource pack", all_of(server_source, missing("ship/1.6.4-BRAX", "resourcepacks")),
         "y", welcome(SERVER_DONE), [SERVER], server_installed),
        ("game folder missing: setup.ini written", missing(""), "yn", welcome((Q, "edit", "no")), [INI],
         ini_is(lambda w: ("minecraft_path=" + p.name(w.game) + p.sep).encode())),
        ("empty game folder: the example is written", setup_ini(b"minecraft_path=\r\n"), "yy" if p.linux else "yn",
         welcome((Q, "edit", "yes" if p.linux else "no")), [INI], ini_is(p.example)),
        ("setup.ini names the game folder",
         game_named_in_ini(p, "elsewhere", "MINECRAFT_PATH = %s") if p.linux else game_named_in_ini(p, "Games/mc"),
         "y", welcome(DONE), [CLIENT, PACK], client_installed),
        ("no archiver", missing("ship/" + p.archiver), "y", welcome((W, "no archiver", "ok")), [], None),
        ("no source folder", missing("ship/1.6.4-BRAX"), "y", welcome((W, "no source", "ok")), [], None),
        ("no resource pack", missing("ship/1.6.4-BRAX/BRAX Resource Pack 1.6.4.zip"), "y",
         welcome((W, "no pack", "ok")), [], None),
        ("no versions folder", missing("versions"), "y", welcome((W, "no versions", "ok")), [], None),
        ("no resourcepacks folder", missing("resourcepacks"), "y", welcome((W, "no resourcepacks", "ok")), [], None),
        ("no vanilla folder", missing("versions/1.6.4"), "y", welcome((W, "no vanilla folder", "ok")), [], None),
        ("no vanilla jar", missing("versions/1.6.4/1.6.4.jar"), "y", welcome((W, "no vanilla jar", "ok")), [], None),
        ("missing version file: the copy fails after the jar", missing("ship/1.6.4-BRAX/1.6.4-BRAX.json"), "y",
         welcome((W, json_copy_failed, "ok")), [CLIENT],
         lambda t, w: t.assertTrue(os.path.isfile(os.path.join(w.game, CLIENT, "1.6.4-BRAX.jar")))),
        ("first archiver run fails", lambda w: p.stand_in(w, 2, 0), "y",
         welcome((W, lambda w: archiver_failed("d", 2), "ok")), [CLIENT, PACK, "ship/archiver.log"],
         archiver_log(p, "d")),
        ("second archiver run fails", lambda w: p.stand_in(w, 0, 7), "y",
         welcome((W, lambda w: archiver_failed("a", 7), "ok")), [CLIENT, PACK, "ship/archiver.log"],
         archiver_log(p, "d", "a")),
        ("no class folder: -1", missing("ship/1.6.4-BRAX/class"), "y",
         welcome((W, lambda w: archiver_failed("a", -1), "ok")), [CLIENT, PACK], None),
    ]


def expected_boxes(p, w, boxes):
    """The boxes of a row with their texts: a name in p.texts or a function of the world."""
    return [(kind, p.texts[text] if isinstance(text, str) else text(w), answer) for kind, text, answer in boxes]

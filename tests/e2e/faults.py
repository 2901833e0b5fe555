#!/usr/bin/env python3
"""The fault table of the Zelnar Installer: hostile input and failing disks, each row one run of
the real setup.exe under Wine through the end-to-end driver.

    faults.py list           row names and resource locks, one row a line
    faults.py run NAME ...   run one row (CTest runs each as fault_NAME)

Every row checks the same four things: the status line's texts, in order and exactly; that the
program ended with exit code 0 and did not crash; that its temporary folder (distribution,
working folder, install directory and whatever lies beside them) holds afterwards exactly what it
held before plus the files and folders the row expects, byte for byte, with every file that was
there before (sources and files installed earlier) unchanged in bytes, time and attributes; and
whatever the row adds (attributes read through Windows, links, the device behind a link).
"""

import argparse
import os
import stat
import sys
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import (  # noqa: E402
    SHELL_FOLDERS_KEY,
    Environment,
    Scenario,
    ScenarioFailure,
    compress,
    expect,
    expect_equal,
    quote,
    read_bytes,
    read_ini,
    snapshot,
    win,
    write_file,
)
from scenarios import (  # noqa: E402
    APP,
    DEFAULT_INST,
    DEMOS,
    HELP,
    LINKS,
    RECIPES,
    SHELL_LINKS,
    SMALL_FILES,
    SMALL_INSTALLED,
    SMALL_LIST,
    SMALL_SOURCES,
    boxes,
    browse,
    choose_dir,
    choose_existing_dir,
    claim_links,
    installed_statuses,
    link_folders,
    read_link,
    small_dist,
    start,
)


FOLDER = ("folder",)
ANY_FILE = ("any file",)  # a file whose contents the row checks itself
OLD = 1_500_000_000  # the time of the files of an earlier installation: older than any source
HARNESS_FILES = ("script-", "status-", "driver-")  # the runner's own files in the folder
CRASH_SIGNS = ("Unhandled exception", "wine: Unhandled", "starting debugger")


def wpath(*parts):
    return "\\".join(parts)


class Fault:
    """One row: how its distribution and install directory look, what the user does, and what
    must come of it. Callables take the row (r), which knows its scenario (r.t), install
    directory (r.inst, r.inst_win, r.inst_rel: relative to the temporary folder) and
    distribution (r.dist_win).

    statuses     r -> the status line's texts, in order
    stops        the run stops on a failure: the row checks the last status, presses Close
    changes      r -> {path relative to the temporary folder: bytes, FOLDER, ANY_FILE, or None
                 for gone}: everything the run may change there
    list_text, files, demos, recipes   the distribution, as small_dist makes it (files may be
                 a callable that gives them)
    existing     {name: bytes, or (bytes, "read-only")}: an earlier installation's files in the
                 install directory, from long ago; the chooser then picks an existing folder
    inst         r -> the install directory (by default the folder Zelnar beside the distribution)
    dist         r -> the distribution folder (by default the folder dist)
    prepare      (t, r) -> further set-up on the Linux side
    windows_set_up   r -> driver steps of a run of their own before the snapshot is taken
                 (attributes set through Windows)
    first        r -> driver steps at the start of the run, before setup.exe is started (a file
                 held open, which the driver lets go when it ends)
    steps        (t, r) -> the driver steps of the run; by default start, choose the install
                 directory, set the boxes (ticks: Program Files, Recipes & Demos, Settings,
                 Desktop Icons), click Install, on a stop check the status line and press Close,
                 and expect exit code 0
    after        r -> driver steps after the program ended
    check        (t, r) -> further checks
    """

    def __init__(self, name, doc, statuses, *, changes=lambda r: {}, stops=False, locks=(),
                 list_text=SMALL_LIST, files=None, demos=DEMOS, recipes=RECIPES, existing=None,
                 inst=None, dist=None, prepare=None, windows_set_up=None, first=None,
                 steps=None, ticks=(1, 1, 1, 0), after=None, check=None):
        self.name, self.doc, self.statuses, self.changes = name, doc, statuses, changes
        self.stops, self.locks = stops, locks
        self.list_text, self.files, self.demos, self.recipes = list_text, files, demos, recipes
        self.existing, self.inst_path, self.dist_path = existing, inst, dist
        self.prepare, self.windows_set_up, self.first = prepare, windows_set_up, first
        self.steps, self.ticks = steps, ticks
        self.after, self.check = after, check

    def bind(self, t):
        self.t = t
        if self.dist_path:
            t.dist = self.dist_path(self)
            os.makedirs(t.dist)
        self.inst = self.inst_path(self) if self.inst_path else t.install_dir("Zelnar")
        self.inst_rel = os.path.relpath(self.inst, t.tmp).replace(os.sep, "/")
        self.inst_win = win(self.inst)
        self.dist_win = win(t.dist)

    def at(self, *names):
        """A path inside the install directory, relative to the temporary folder."""
        return "/".join([self.inst_rel, *names])


def default_steps(t, r, choose=None):
    if choose is None:
        existing = r.existing is not None
        choose = choose_existing_dir(r.inst) if existing else choose_dir(r.inst)
    steps = [start(t), choose, boxes(*r.ticks), "click 1"]
    if r.stops:
        steps += [f"expect-text 1003 {quote(r.statuses(r)[-1])}", 'expect-text 2 "Close"',
                  "expect-visible 1 0", "click 2"]
    return "\n".join(steps + ["wait-exit 0"])


def chosen(typed):
    """Steps that type a path into the chooser and accept it; the install directory shown
    must then be the row's."""
    return lambda t, r: default_steps(t, r, browse(win(typed(r)), r.inst_win))


# --- Pieces of rows ----------------------------------------------------------------------------

LIST_STOP = ["Error in file:\nVelmarin.lst", "Can't read file list:\nVelmarin.lst"]
# The help file first, so that one file is installed before the compressed program fails.
HELP_FIRST = ("dorventa.hlp,dorventa.hlp,P\r\nAPP.EX_,velmarin.exe,P\r\n"
              "User Guide.pd_,User Guide.pdf,P\r\n")


def made_dirs(r):
    return {r.inst_rel: FOLDER, r.at("Data"): FOLDER}


def installed(r, *names):
    """Files of the small distribution as installed, with the folders that the run makes."""
    return {**made_dirs(r), **{r.at(name): SMALL_INSTALLED[name] for name in names}}


def help_then(failure):
    """The statuses of a run of HELP_FIRST whose copy of APP.EX_ fails."""
    return lambda r: ["Making Directories", "Copying:\ndorventa.hlp", "Copying:\nAPP.EX_",
                      failure(r)]


def filler(head, tail, size=1000):
    """head, comment lines, then tail, which ends at byte `size` of the list."""
    text = head
    while len(text) + len(tail) < size:
        room = size - len(text) - len(tail)
        text += "\n" if room == 1 else ";" + "-" * min(58, room - 2) + "\n"
    return text + tail


def corpus(name):
    """A seed of the file list's fuzz corpus, as the text of a list."""
    here = os.path.dirname(os.path.abspath(__file__))
    return read_bytes(os.path.join(here, "..", "fuzz", "corpus", name)).decode("latin-1")


def long_dir(length):
    """A new folder beside the distribution whose path, as Windows sees it, has `length`
    characters."""
    def path(r):
        base = win(r.t.tmp) + "\\"
        return os.path.join(r.t.tmp, "L" * (length - len(base)))
    return path


def truncated_files():
    """The small distribution with APP.EX_ cut in the middle of its compressed data."""
    packed = compress(APP)
    return {**SMALL_FILES, "APP.EX_": packed[: len(packed) // 2]}


# A list of 21 entry lines whose last is bad.
TWENTY = [(f"F{i:02}.DAT", f"f{i:02}.dat", b"program file %d\r\n" % i) for i in range(1, 21)]

# Names in code page 1252 beyond ASCII (on the Linux side in UTF-8, as Wine maps them), and
# one outside it, which Windows' ANSI file functions give with the nearest letter.
ANSI_NAME = "Donn\u00e9es \u00e9.dat"
ANSI_DEMOS = {"D\u00e9mo \u00e9.dem": b"demo e acute\n", "D\u00e9mo \u014d.dem": b"demo o macron\n"}
ANSI_RECIPES = {"Recette \u00e9.rcp": b"recette e acute\n"}

ATTRIBUTE_DEMOS = {"hidden.dem": "h", "system.dem": "s", "readonly.dem": "r", "all.dem": "rhs",
                   "plain.dem": "-"}

DEMO_COUNT = 2000
MANY_DEMOS = {f"demo{i:04}.dem": b"demo number %d\n" % i for i in range(1, DEMO_COUNT + 1)}


def folder_changes(r, demos, recipes=RECIPES):
    """What the demos and recipes copies add, with the folders of a run with Program Files."""
    return {**made_dirs(r), r.at("Data", "Demos"): FOLDER, r.at("Recipes"): FOLDER,
            **{r.at("Data", "Demos", name): data for name, data in demos.items()},
            **{r.at("Recipes", name): data for name, data in recipes.items()}}


def folder_statuses(r):
    return ["Making Directories", f"Copying Demos:\n{r.inst_win}\\Data\\Demos",
            f"Copying Recipes:\n{r.inst_win}\\Recipes"]


def full_disk(t, r):
    os.symlink("/dev/full", os.path.join(r.inst, "velmarin.exe"))


def device_intact(t, r):
    expect(stat.S_ISCHR(os.stat("/dev/full").st_mode), "/dev/full is no longer a device")


def ini_written(t, r):
    ini = read_ini(os.path.join(r.inst, "Velmarin.ini"))
    expect_equal(ini["ATTACHMENTS"]["CellCamera"], "1", "CellCamera in the settings file")


# --- Shell folders -----------------------------------------------------------------------------

SHELL_KEY = "HKEY_LOCAL_MACHINE\\" + SHELL_FOLDERS_KEY
TOO_LONG = "C:\\" + "\\".join(["Folder" + "x" * 44] * 6)  # 308 characters
LINK_FILES = [f"{name}.lnk" for name, *_ in LINKS]


def reg_file(path, values):
    """A registry file that sets (text), sets as a number (int) or deletes (None) values of the
    machine's shell folders key."""
    lines = ["REGEDIT4", "", f"[{SHELL_KEY}]"]
    for name, value in values.items():
        if value is None:
            lines.append(f'"{name}"=-')
        elif isinstance(value, int):
            lines.append(f'"{name}"=dword:{value:08x}')
        else:
            lines.append(f'"{name}"="' + value.replace("\\", "\\\\") + '"')
    with open(path, "w", encoding="ascii", newline="\r\n") as file:
        file.write("\n".join(lines) + "\n")


def roots(t):
    """Where links and "\\Moldar" would land from a folder left empty: the root of the working
    folder's drive (Z:, the Unix root) and the root of drive C:."""
    return ["/", t.env.unix("C:\\")]


def shell_values(values):
    """Changes the machine's shell folders for the row (restored after it, see run_row)."""
    def prepare(t, r):
        claim_links(t)  # also restores what a row killed half-way left changed
        desktop, programs = t.env.shell_folders(False)
        reg_file(t.env.shell_folders_restore_file(),
                 {"Common Desktop": desktop, "Common Programs": programs})
        changed = os.path.join(t.tmp, "shell-folders.reg")
        reg_file(changed, values)
        t.env.wine("reg", "import", win(changed))
        for root in roots(t):
            t.claim(*[os.path.join(root, name) for name in ["Moldar"] + LINK_FILES])
    return prepare


def links_in(desktop, programs):
    """After a run with only Desktop Icons: the links are in the desktop folder and in the
    programs folder's Moldar as asked, with their targets, and nowhere else."""
    def check(t, r):
        desktop_folder, moldar = link_folders(t)
        on_desktop = {f"{name}.lnk" for name, _, _, _, on in LINKS if on}
        seen = {name for name in os.listdir(desktop_folder) if name in LINK_FILES}
        expect_equal(seen, on_desktop if desktop else set(), f"links in {desktop_folder}")
        if programs:
            expect_equal(set(os.listdir(moldar)), set(LINK_FILES), f"links in {moldar}")
        else:
            expect(not os.path.exists(moldar), f"{moldar} was created")
        for name, target, *_ in LINKS:
            for folder in [desktop_folder] * desktop + [moldar] * programs:
                path = os.path.join(folder, f"{name}.lnk")
                if os.path.exists(path):
                    expect_equal(read_link(path)["target"], f"{DEFAULT_INST}\\{target}",
                                 f"target of {path}")
        for root in roots(t):
            strays = [n for n in ["Moldar"] + LINK_FILES if os.path.lexists(os.path.join(root, n))]
            expect(not strays, f"left in the root {root}: {strays}")
    return check


def only_icons(t, r):
    return f"{start(t)}\n{boxes(0, 0, 0, 1)}\nclick 1\nwait-exit 0"


# --- The table ---------------------------------------------------------------------------------

ROWS = [
    # Program files that cannot be copied: the step stops at the failing entry; the file
    # copied before it stays, and nothing after it is done.
    Fault("truncated_source",
          "A compressed program file cut in half: the copy ends short of the size that its "
          "header gives, so the source cannot be read, and no half file is left.",
          list_text=HELP_FIRST, files=truncated_files,
          existing={"User Guide.pdf": b"guide of an earlier installation\n"},
          statuses=help_then(lambda r: f"Can't read source:\n{r.dist_win}\\APP.EX_"), stops=True,
          changes=lambda r: {r.at("Data"): FOLDER, r.at("dorventa.hlp"): HELP}),
    Fault("full_disk",
          "A destination that is a link to /dev/full, a disk that is always full: the copy "
          "cannot write, and the run stops there. (Wine cannot delete a device, so the link "
          "stays; the truncated source shows a part-written file deleted.)",
          list_text=HELP_FIRST, existing={}, prepare=full_disk, check=device_intact,
          statuses=help_then(lambda r: f"Can't write destination:\n{r.inst_win}\\velmarin.exe"),
          stops=True, changes=lambda r: {r.at("Data"): FOLDER, r.at("dorventa.hlp"): HELP}),
    Fault("locked_destination",
          "An installed file that another program holds open without sharing cannot be "
          "replaced; it stays as it was.",
          list_text=HELP_FIRST, existing={"velmarin.exe": b"velmarin 1.0\r\n"},
          first=lambda r: f"hold-file {quote(wpath(r.inst_win, 'velmarin.exe'))}",
          after=lambda r: f"release-file {quote(wpath(r.inst_win, 'velmarin.exe'))}",
          statuses=help_then(lambda r: f"Can't open destination:\n{r.inst_win}\\velmarin.exe"),
          stops=True, changes=lambda r: {r.at("Data"): FOLDER, r.at("dorventa.hlp"): HELP}),
    Fault("read_only_destination",
          "An installed file that is read-only cannot be replaced; it stays as it was, "
          "read-only.",
          list_text=HELP_FIRST, existing={"velmarin.exe": (b"velmarin 1.0\r\n", "read-only")},
          statuses=help_then(lambda r: f"Can't open destination:\n{r.inst_win}\\velmarin.exe"),
          stops=True, changes=lambda r: {r.at("Data"): FOLDER, r.at("dorventa.hlp"): HELP}),
    Fault("source_is_folder",
          "A listed source that is a folder cannot be opened; nothing of the folder is copied.",
          list_text="dorventa.hlp,dorventa.hlp,P\nTools,tools.dat,P\nAPP.EX_,velmarin.exe,P\n",
          prepare=lambda t, r: write_file(os.path.join(t.dist, "Tools", "inside.dat"), b"in\n"),
          statuses=lambda r: ["Making Directories", "Copying:\ndorventa.hlp", "Copying:\nTools",
                              f"Can't open source:\n{r.dist_win}\\Tools"],
          stops=True, changes=lambda r: installed(r, "dorventa.hlp")),

    # Install directories near the length limit, and other names, given through the chooser.
    Fault("install_dir_255",
          "An install directory of 255 characters, the longest the chooser returns: it is "
          "made, but its Data folder and its files would need paths longer than 259 "
          "characters, so the first copy fails, its path cut to fit the status line.",
          inst=long_dir(255), steps=chosen(lambda r: r.inst),
          statuses=lambda r: ["Making Directories", "Copying:\nAPP.EX_",
                              ("Can't open destination:\n"
                               + (r.inst_win + "\\velmarin.exe")[:259])[:255]],
          stops=True, changes=lambda r: {r.inst_rel: FOLDER}),
    Fault("install_dir_246",
          "An install directory of 246 characters: velmarin.exe's path takes the full 259 "
          "characters and is installed, User Guide.pdf's would take 261 and fails.",
          inst=long_dir(246), steps=chosen(lambda r: r.inst),
          statuses=lambda r: ["Making Directories", "Copying:\nAPP.EX_",
                              "Copying:\nUser Guide.pd_",
                              f"Can't open destination:\n{r.inst_win}\\User Guide.pdf"[:255]],
          stops=True, changes=lambda r: installed(r, "velmarin.exe")),
    Fault("chooser_too_long",
          "A path of 256 characters typed into the chooser does not fit its buffer of 256 "
          "bytes: the chooser fails, and the install directory stays as it was.",
          steps=lambda t, r: f"""
              {start(t)}
              click 1001
              wait-window "Installation Directory"
              key HOME SHIFT+END
              type {quote(win(long_dir(256)(r)))}
              key ENTER
              wait-no-window "Installation Directory"
              expect-text 1002 {quote(DEFAULT_INST)}
              key ESC
              wait-exit 0
          """, statuses=lambda r: []),
    Fault("deep_distribution",
          "A distribution folder of 200 characters: the list beside the installer is found, "
          "and its files, demos, recipes and template, whose paths are longer than 128 "
          "characters, are installed.",
          dist=long_dir(200),
          statuses=lambda r: installed_statuses(r.inst_win, SMALL_SOURCES),
          check=ini_written,
          changes=lambda r: {**folder_changes(r, DEMOS), **installed(r, *SMALL_INSTALLED),
                             r.at("Velmarin.ini"): ANY_FILE}),
    Fault("chooser_several_dots",
          "A name with several dots typed into the chooser loses only its last extension.",
          inst=lambda r: r.t.install_dir("Velmarin.v2"), ticks=(1, 0, 0, 0),
          steps=chosen(lambda r: r.inst + ".old"),
          statuses=lambda r: installed_statuses(r.inst_win, SMALL_SOURCES, demos=False,
                                                recipes=False, ini=False),
          changes=lambda r: installed(r, *SMALL_INSTALLED)),
    Fault("chooser_only_extension",
          "A name that is only an extension (\".old\") is kept whole, deliberately: cut, it "
          "would leave the parent folder as the install directory.",
          inst=lambda r: r.t.install_dir(".old"), ticks=(1, 0, 0, 0),
          steps=chosen(lambda r: r.inst),
          statuses=lambda r: installed_statuses(r.inst_win, SMALL_SOURCES, demos=False,
                                                recipes=False, ini=False),
          changes=lambda r: installed(r, *SMALL_INSTALLED)),

    # File lists: an error stops the run before anything is made; a list that loads is
    # installed as far as it goes.
    Fault("list_noise",
          "A list of 1100 bytes of binary noise: a line that starts with a letter lacks its "
          "two commas, so the list is in error and nothing is installed.",
          list_text=corpus("noise-long.bin"), statuses=lambda r: LIST_STOP, stops=True),
    Fault("list_noise_without_entries",
          "Binary noise whose lines all start with bytes other than letters and digits reads "
          "as a list of comments: no program file, and the run goes on.",
          list_text=corpus("noise-short.bin"), ticks=(1, 0, 0, 0),
          statuses=lambda r: ["Making Directories"], changes=made_dirs),
    Fault("list_cut_in_line",
          "A list longer than 1000 bytes whose cut falls inside an entry line is in error; not "
          "even the entry before that line is installed.",
          list_text=filler("dorventa.hlp,dorventa.hlp,P\n", "APP.EX_,velm") + "arin.exe,P\n",
          statuses=lambda r: LIST_STOP, stops=True),
    Fault("list_feed_at_1000",
          "A list of 1001 bytes whose 1000th is a line feed loads; the 1001st, which would "
          "start a bad line, is never looked at.",
          list_text=filler("dorventa.hlp,dorventa.hlp,P\n", "APP.EX_,velmarin.exe,P\n") + "X",
          ticks=(1, 0, 0, 0),
          statuses=lambda r: ["Making Directories", "Copying:\ndorventa.hlp", "Copying:\nAPP.EX_"],
          changes=lambda r: installed(r, "dorventa.hlp", "velmarin.exe")),
    Fault("list_zero_in_line",
          "A zero byte inside an entry line, before its location letter: the list is in error.",
          list_text="dorventa.hlp,dorventa.hlp,P\nAPP.EX_,velmarin.exe\0,P\n",
          statuses=lambda r: LIST_STOP, stops=True),
    Fault("list_zero_at_line_start",
          "A zero byte after a location letter is passed over with the rest of its line; one "
          "at the start of a line ends the list, and the entries before it are installed.",
          list_text=("dorventa.hlp,dorventa.hlp,P\0 after the letter\r\n"
                     "\0APP.EX_,velmarin.exe,P\r\nno commas on this line\r\n"),
          ticks=(1, 0, 0, 0), statuses=lambda r: ["Making Directories", "Copying:\ndorventa.hlp"],
          changes=lambda r: installed(r, "dorventa.hlp")),
    Fault("list_21_bad_last",
          "21 entry lines whose 21st is bad: the table is full at 20 and the 21st line is never "
          "looked at; all 20 files are installed.",
          list_text="".join(f"{s},{d},P\n" for s, d, _ in TWENTY) + "bad line without commas\n",
          files={s: data for s, _, data in TWENTY}, ticks=(1, 0, 0, 0),
          statuses=lambda r: ["Making Directories"] + [f"Copying:\n{s}" for s, _, _ in TWENTY],
          changes=lambda r: {**made_dirs(r), **{r.at(d): data for _, d, data in TWENTY}}),
    Fault("list_only_comments",
          "A list of comments and blank lines only: no program file; the demos, recipes and "
          "settings file are installed.",
          list_text="; Zelnar file list\r\n# nothing to install\r\n\r\n  indented\r\n.dot\r\n",
          statuses=lambda r: installed_statuses(r.inst_win, []), check=ini_written,
          changes=lambda r: {**folder_changes(r, DEMOS), r.at("Velmarin.ini"): ANY_FILE}),

    # Names beyond ASCII.
    Fault("ansi_names",
          "Names of code page 1252 beyond ASCII, in the list (as cp1252 bytes), in the Demos "
          "and Recipes folders and in the install directory, arrive under their own names. A "
          "demo named outside the code page reaches the program with the nearest letter in "
          "its name, cannot be opened by that name and is reported.",
          inst=lambda r: r.t.install_dir("Zelnar \u00e9"),
          list_text=f"{ANSI_NAME},{ANSI_NAME},P\r\n", files={ANSI_NAME: b"donnees\n"},
          demos=ANSI_DEMOS, recipes=ANSI_RECIPES, ticks=(1, 1, 0, 0),
          statuses=lambda r: ["Making Directories", f"Copying:\n{ANSI_NAME}",
                              f"Copying Demos:\n{r.inst_win}\\Data\\Demos",
                              f"Can't open source:\n{r.dist_win}\\Demos\\D\u00e9mo o.dem",
                              f"Copying Recipes:\n{r.inst_win}\\Recipes"],
          changes=lambda r: {**folder_changes(r, {"D\u00e9mo \u00e9.dem": b"demo e acute\n"},
                                              ANSI_RECIPES),
                             r.at(ANSI_NAME): b"donnees\n"}),

    # Shell folders that cannot be read: no link goes into them, nothing lands in a root.
    Fault("shell_value_missing",
          "No \"Common Desktop\" value: the links go to the programs folder only.",
          locks=(SHELL_LINKS,), prepare=shell_values({"Common Desktop": None}),
          steps=only_icons, statuses=lambda r: ["Creating Shortcuts:\n"],
          check=links_in(desktop=False, programs=True)),
    Fault("shell_value_wrong_type",
          "A \"Common Programs\" value that is a number: no Moldar folder and no link for the "
          "programs folder; the desktop gets its three.",
          locks=(SHELL_LINKS,), prepare=shell_values({"Common Programs": 1}),
          steps=only_icons, statuses=lambda r: ["Creating Shortcuts:\n"],
          check=links_in(desktop=True, programs=False)),
    Fault("shell_value_too_long",
          "Both values longer than the folder buffer of 256 bytes: no link at all.",
          locks=(SHELL_LINKS,),
          prepare=shell_values({"Common Desktop": TOO_LONG, "Common Programs": TOO_LONG}),
          steps=only_icons, statuses=lambda r: ["Creating Shortcuts:\n"],
          check=links_in(desktop=False, programs=False)),

    # Demos folders.
    Fault("demos_2000",
          f"A Demos folder of {DEMO_COUNT} files: every one is copied.",
          list_text="; no program files\n", demos=MANY_DEMOS, ticks=(1, 1, 0, 0),
          statuses=folder_statuses, changes=lambda r: folder_changes(r, MANY_DEMOS)),
    Fault("demos_attributes",
          "Hidden, system and read-only demo files are all copied and arrive with none of those "
          "attributes; the sources keep theirs.",
          list_text="; no program files\n", ticks=(1, 1, 0, 0),
          demos={name: name.encode() + b"\n" for name in ATTRIBUTE_DEMOS},
          windows_set_up=lambda r: "\n".join(
              f"set-attributes {quote(wpath(r.dist_win, 'Demos', name))} {letters}"
              for name, letters in ATTRIBUTE_DEMOS.items()),
          after=lambda r: "\n".join(
              f"expect-attributes {quote(wpath(r.inst_win, 'Data', 'Demos', name))} -\n"
              f"expect-attributes {quote(wpath(r.dist_win, 'Demos', name))} {letters}"
              for name, letters in ATTRIBUTE_DEMOS.items()),
          statuses=folder_statuses,
          changes=lambda r: folder_changes(r, {n: n.encode() + b"\n" for n in ATTRIBUTE_DEMOS})),
]
FAULTS = {row.name: row for row in ROWS}


# --- Running -----------------------------------------------------------------------------------


def describe(entry):
    if entry is None:
        return "nothing"
    if entry[0] != "file":
        return " ".join(entry)
    _, data, mtime, writable, dos = entry
    shown = repr(data) if len(data) <= 60 else f"{len(data)} bytes"
    return f"{shown}, time {mtime}, {'writable' if writable else 'read-only'}, DOS attributes {dos}"


def compare(before, after, changes):
    """Every difference between the two snapshots must be one of the changes, and every change
    must have happened."""
    problems = []
    for path in sorted(set(before) | set(after) | set(changes)):
        seen, was = after.get(path), before.get(path)
        if path not in changes:
            if seen != was:
                what = ("left behind" if was is None else "gone" if seen is None
                        else "changed")
                problems.append(f"{path} {what}: was {describe(was)}, now {describe(seen)}")
            continue
        wanted = changes[path]
        if wanted is None:
            ok = seen is None
        elif wanted == FOLDER:
            ok = seen == FOLDER
        elif wanted is ANY_FILE:
            ok = seen is not None and seen[0] == "file"
        else:
            ok = seen is not None and seen[0] == "file" and seen[1] == wanted and seen[3]
            wanted = ("file", wanted, "any time", True, "any")
        if not ok:
            problems.append(f"{path}: expected {describe(wanted) if wanted else 'nothing'}, "
                            f"found {describe(seen)}")
    expect(not problems, "the files around the run:\n  " + "\n  ".join(problems))


def prepare_row(t, r):
    files = r.files() if callable(r.files) else r.files
    small_dist(t, list_text=r.list_text, files=files, demos=r.demos, recipes=r.recipes)
    if r.existing is not None:
        os.makedirs(r.inst, exist_ok=True)
        for name, contents in r.existing.items():
            data, mode = contents if isinstance(contents, tuple) else (contents, "")
            write_file(os.path.join(r.inst, name), data, mtime=OLD,
                       read_only=mode == "read-only")
    if r.prepare:
        r.prepare(t, r)
    if r.windows_set_up:
        t.run(r.windows_set_up(r))


def run_row(env, name):
    r = FAULTS[name]
    print(f"=== fault_{name}: {r.doc}")
    t = Scenario(env, f"fault-{name}")
    try:
        r.bind(t)
        prepare_row(t, r)
        before = snapshot(t.tmp, skip=HARNESS_FILES)
        steps = (r.steps or default_steps)(t, r)
        if r.first:
            steps = r.first(r) + "\n" + steps
        if r.after:
            steps += "\n" + r.after(r)
        t.run(steps)
        output = read_bytes(os.path.join(t.tmp, f"driver-{t.runs}.out")).decode("latin-1")
        crashes = [sign for sign in CRASH_SIGNS if sign in output]
        expect(not crashes, f"a program crashed under Wine ({', '.join(crashes)})")
        expect_equal(t.statuses, r.statuses(r), "status line texts")
        compare(before, snapshot(t.tmp, skip=HARNESS_FILES), r.changes(r))
        if r.check:
            r.check(t, r)
    except ScenarioFailure as failure:
        print(f"FAILED fault_{name}: {failure}")
        return 1
    except Exception:  # a fault of the runner itself still fails the row, with its trace
        traceback.print_exc()
        return 1
    finally:
        if SHELL_LINKS in r.locks:
            env.restore_shell_folders()
        t.cleanup()
    print(f"PASSED fault_{name}")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("command", choices=["list", "run"])
    parser.add_argument("name", nargs="?")
    parser.add_argument("--source-dir")
    parser.add_argument("--driver-dir")
    parser.add_argument("--setup")
    parser.add_argument("--sample-dist")
    args = parser.parse_args()
    if args.command == "list":
        for row in ROWS:
            print(row.name, *row.locks)
        return 0
    if args.name not in FAULTS:
        parser.error(f"no row {args.name!r}")
    env = Environment(args.source_dir, args.driver_dir, args.setup, args.sample_dist)
    return run_row(env, args.name)


if __name__ == "__main__":
    sys.exit(main())

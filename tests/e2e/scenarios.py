#!/usr/bin/env python3
"""End-to-end scenarios of the Zelnar Installer: the real setup.exe, driven through its window
by tests/e2e/driver.cpp under Wine, then the installed tree read back from the Linux side.

    scenarios.py list                       names and resource locks, one scenario a line
    scenarios.py run NAME --source-dir ... run one scenario (CTest runs each as e2e_NAME)
    scenarios.py demo --source-dir ...     the demo of `make demo`, with its screenshots

Each scenario builds its own distribution folder from small fixtures in a temporary folder,
installs into a folder of its own (chosen through "Browse for Dir...") unless it is about the
default one, and removes whatever it placed outside its temporary folder, before and after."""

import argparse
import os
import sys
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import (  # noqa: E402
    Compressed,
    Environment,
    Scenario,
    ScenarioFailure,
    expect,
    expect_equal,
    is_writable,
    quote,
    read_bytes,
    read_ini,
    read_link,
    seconds,
    tree,
    win,
    write_file,
)

SCENARIOS = {}

# Resource locks: scenarios that share a place outside their own folders never run together.
DEFAULT_DIR = "zelnar_default_dir"  # c:\Zelnar and the sample's Windows, system, drivers files
SHELL_LINKS = "zelnar_shell_links"  # the desktop and Start menu folders of the prefix


def scenario(*locks):
    def register(function):
        SCENARIOS[function.__name__] = (function, locks)
        return function

    return register


# --- Fixtures --------------------------------------------------------------------------------

APP = b"MZ velmarin application " * 40 + b"\r\nend of velmarin.exe\r\n"
GUIDE = b"%PDF-1.4 Zelnar user guide " * 30 + b"\n%%EOF\n"
HELP = b"?_\x03\x00 dorventa help " * 25
MACHINE = b"[machine]\r\naxes=3\r\n" * 20

# The list names a compressed file, a name with spaces, a comment, a blank line, a subfolder
# destination and a plain file; its lines end in CR LF.
SMALL_LIST = (
    "; Zelnar file list\r\n"
    "APP.EX_,velmarin.exe,P\r\n"
    "User Guide.pd_,User Guide.pdf,P\r\n"
    "\r\n"
    "# machine data\r\n"
    "MACHINE.CF_,Data\\machine.cfg,P\r\n"
    "dorventa.hlp,dorventa.hlp,P\r\n"
)
SMALL_SOURCES = ["APP.EX_", "User Guide.pd_", "MACHINE.CF_", "dorventa.hlp"]
SMALL_FILES = {
    "APP.EX_": Compressed(APP),
    "User Guide.pd_": Compressed(GUIDE),
    "MACHINE.CF_": Compressed(MACHINE),
    "dorventa.hlp": HELP,
}
# What each listed file becomes in the install directory.
SMALL_INSTALLED = {
    "velmarin.exe": APP,
    "User Guide.pdf": GUIDE,
    "Data/machine.cfg": MACHINE,
    "dorventa.hlp": HELP,
}

TEMPLATE = (
    "[ATTACHMENTS]\r\n"
    "CellCamera=0\r\n"
    "CameraCom=COM2\r\n"
    "Wideband=0\r\n"
    "UVCom=COM3\r\n"
    "LaserPower=35\r\n"
    "\r\n"
    "[FRAME]\r\n"
    "TitleBar=0\r\n"
    "Left=40\r\n"
    "\r\n"
    "[MOTION]\r\n"
    "StepsPerMm=400\r\n"
)
TEMPLATE_VALUES = {
    "ATTACHMENTS": {
        "CellCamera": "0",
        "CameraCom": "COM2",
        "Wideband": "0",
        "UVCom": "COM3",
        "LaserPower": "35",
    },
    "FRAME": {"TitleBar": "0", "Left": "40"},
    "MOTION": {"StepsPerMm": "400"},
}

DEMOS = {"Oxide Growth.dem": b"demo: oxide growth\n", "align.dem": b"demo: align\n",
         "camera.dem": b"demo: camera\n"}
# A name without a dot, a name with a space, and a read-only file.
RECIPES = {"README": b"recipes for the Zelnar\n", "UV Cure.rcp": b"uv cure 30s\n",
           "clean.rcp": b"clean 5 min\n"}
READ_ONLY_RECIPE = "clean.rcp"

DEFAULT_INST = "c:\\Zelnar"
ACCEPTED_INST = "C:\\Program Files\\Velmarin"  # the chooser's folder and name, as Wine gives them
ROOT_SETUP = "R:\\setup.exe"
START_TEXT = "Complete the parameters shown above\nThen press Install"
LINKS = [  # name, target in the install directory, description, with working folder, on desktop
    ("Zelnar", "velmarin.exe", "Shortcut to Zelnar", True, True),
    ("Zelnar Help", "ZelnarUser.pdf", "Zelnar Manual", False, True),
    ("Reprocessing", "Dorventa.exe", "Shortcut to Dorventa", True, True),
    ("Reprocessing Help", "dorventa.hlp", "Shortcut to Dorventa Help", False, False),
]


def small_dist(t, list_text=SMALL_LIST, files=None, template=TEMPLATE, demos=DEMOS,
               recipes=RECIPES, setup_name="setup.exe"):
    """A distribution folder: setup.exe, the list, the files it names, the template and the
    Demos and Recipes folders. Pass None to leave a part out."""
    write_file(os.path.join(t.dist, setup_name), read_bytes(t.env.setup_exe))
    if list_text is not None:
        write_file(os.path.join(t.dist, "Velmarin.lst"), list_text)
    for name, contents in (SMALL_FILES if files is None else files).items():
        write_file(os.path.join(t.dist, name), contents)
    if template is not None:
        write_file(os.path.join(t.dist, "Velmarin.ini"), template)
    for folder, contents in (("Demos", demos), ("Recipes", recipes)):
        if contents is not None:
            os.makedirs(os.path.join(t.dist, folder), exist_ok=True)
            for name, data in contents.items():
                write_file(os.path.join(t.dist, folder, name), data,
                           read_only=folder == "Recipes" and name == READ_ONLY_RECIPE)


def sample_dist(t):
    """The sample distribution as the build stages it (compressed program files included)."""
    for base, _, files in os.walk(t.env.sample_dist):
        for name in files:
            if name.startswith("."):
                continue
            source = os.path.join(base, name)
            relative = os.path.relpath(source, t.env.sample_dist)
            write_file(os.path.join(t.dist, relative), read_bytes(source),
                       mtime=os.stat(source).st_mtime)


def sample_entries(t):
    """(source, installed name, location letter) of each entry of the sample list."""
    entries = []
    for line in read_bytes(os.path.join(t.env.sample_dist, "Velmarin.lst")).decode().splitlines():
        if line[:1].isalnum():
            source, dest, letter = line.split(",")[:3]
            entries.append((source, dest, letter[:1]))
    return entries


# --- Script pieces ---------------------------------------------------------------------------


def start(t, exe=None):
    return f"start {quote(exe or win(os.path.join(t.dist, 'setup.exe')))} {quote(win(t.work))}"


def browse(typed, shown, name="Velmarin"):
    """Opens the chooser (which must start in c:\\Program Files with the suggested name),
    types a path as the file name, accepts it and checks the directory shown."""
    return f"""
        click 1001
        wait-window "Installation Directory"
        expect-window-item 1137 "Program Files"
        expect-window-item 1148 {quote(name)}
        key HOME SHIFT+END
        type {quote(typed)}
        key ENTER
        wait-no-window "Installation Directory"
        expect-text 1002 {quote(shown)}
    """


def choose_dir(path):
    """Browses to a new folder (its parent must exist, itself not: an existing folder would be
    opened by the chooser rather than chosen)."""
    return browse(win(path), win(path))


def choose_existing_dir(path):
    """Browses to a folder that exists already: typed with an extension, which the installer
    cuts, so that the chooser takes it as a file name."""
    return browse(win(path) + ".again", win(path))


def boxes(program=1, recipes=1, settings=1, icons=1):
    return f"tick 201 {program}\ntick 203 {recipes}\ntick 202 {settings}\ntick 204 {icons}"


STOPPED_WITH_NO_LIST = """
    wait-window "Error"
    expect-window-text "Can't open LST file"
    key ENTER
    wait-no-window "Error"
    expect-text 1003 "Can't read file list:\\nVelmarin.lst"
    expect-text 2 "Close"
    expect-visible 1 0
"""


# --- Checks ----------------------------------------------------------------------------------


def installed_statuses(inst_win, sources, demos=True, recipes=True, ini=True, links=False):
    """The status line texts of a run that goes through, in order, when nothing fails."""
    texts = ["Making Directories"] + [f"Copying:\n{s}" for s in sources]
    if demos:
        texts.append(f"Copying Demos:\n{inst_win}\\Data\\Demos")
    if recipes:
        texts.append(f"Copying Recipes:\n{inst_win}\\Recipes")
    if ini:
        texts.append(f"Creating Ini File:\n{inst_win}\\Velmarin.ini")
    if links:
        texts.append("Creating Shortcuts:\n")
    return texts


def check_files(folder, expected):
    for relative, data in expected.items():
        path = os.path.join(folder, relative)
        expect(os.path.isfile(path), f"{path} was not installed")
        expect_equal(read_bytes(path), data, f"contents of {relative}")


def check_small_install(t, inst):
    """The small distribution's files, demos and recipes, in place and as they should be."""
    check_files(inst, SMALL_INSTALLED)
    for source, installed in zip(SMALL_SOURCES, ["velmarin.exe", "User Guide.pdf",
                                                 "Data/machine.cfg", "dorventa.hlp"]):
        # The installed copy keeps the distribution file's time: a later run compares them.
        expect_equal(seconds(os.path.join(inst, installed)),
                     seconds(os.path.join(t.dist, source)), f"last-write time of {installed}")
    check_files(os.path.join(inst, "Data", "Demos"), DEMOS)
    check_files(os.path.join(inst, "Recipes"), RECIPES)
    expect(is_writable(os.path.join(inst, "Recipes", READ_ONLY_RECIPE)),
           "a read-only recipe arrived read-only")


def check_ini(path, changes, removed=()):
    """The settings file holds the template's values with `changes` ({section: {key: value}})
    applied; nothing else."""
    expected = {section: dict(keys) for section, keys in TEMPLATE_VALUES.items()}
    for section in removed:
        expected.pop(section, None)
    for section, keys in changes.items():
        expected.setdefault(section, {}).update(keys)
    expect(os.path.isfile(path), f"no settings file {path}")
    expect_equal(read_ini(path), expected, "settings file")


def link_folders(t, per_user=False):
    desktop, programs = t.env.shell_folders(per_user)
    return t.env.unix(desktop), os.path.join(t.env.unix(programs), "Moldar")


def claim_links(t, per_user=False):
    t.env.restore_shell_folders()  # what a fault row killed half-way may have left changed
    desktop, moldar = link_folders(t, per_user)
    t.claim(moldar, *[os.path.join(desktop, f"{name}.lnk") for name, *_ in LINKS])


def check_links(t, inst_win, per_user=False):
    desktop, moldar = link_folders(t, per_user)
    expect_equal(sorted(os.listdir(moldar)), sorted(f"{name}.lnk" for name, *_ in LINKS),
                 f"links in {moldar}")
    for name, target, description, working, on_desktop in LINKS:
        places = [moldar] + ([desktop] if on_desktop else [])
        if not on_desktop:
            expect(not os.path.exists(os.path.join(desktop, f"{name}.lnk")),
                   f"{name}.lnk is on the desktop")
        for folder in places:
            path = os.path.join(folder, f"{name}.lnk")
            expect(os.path.isfile(path), f"no link {path}")
            expect_equal(read_link(path), {
                "target": f"{inst_win}\\{target}",
                "description": description,
                "working folder": inst_win if working else None,
            }, f"link {path}")


def check_no_links(t, per_user=False):
    desktop, moldar = link_folders(t, per_user)
    expect(not os.path.exists(moldar), f"{moldar} was created")
    for name, *_ in LINKS:
        expect(not os.path.exists(os.path.join(desktop, f"{name}.lnk")),
               f"{name}.lnk was placed in {desktop}")


def check_green_on_white(picture, what):
    """The status line's inside holds white, the green (0, 128, 0) of its text, and the blends
    of the two that smooth the text's edges: nothing of another hue."""
    left, top, width, height = picture.status
    inside = picture.colours(left + 2, top + 2, width - 4, height - 4)
    green, white = (0, 128, 0), (255, 255, 255)

    def blend(colour):
        red, grn, blue = colour
        share = (255 - red) / 255  # how much green is in the blend
        return red == blue and abs(grn - (255 - share * 127)) <= 1.5

    others = {colour: n for colour, n in inside.items() if not blend(colour)}
    expect(not others, f"{what}: the status line holds colours other than green on white: "
           f"{sorted(others.items(), key=lambda item: -item[1])[:5]}")
    expect(inside.get(green, 0) >= 50, f"{what}: no green text on the status line")
    expect(inside.get(white, 0) > sum(inside.values()) / 2, f"{what}: the status line is not white")


# --- Scenarios -------------------------------------------------------------------------------


@scenario(DEFAULT_DIR, SHELL_LINKS)
def typical(t):
    """The sample distribution installed with every default, started from another working
    folder that holds a faulty list of its own; Install clicked with the mouse."""
    sample_dist(t)
    write_file(os.path.join(t.dist, "Velmarin.ini"), TEMPLATE)
    os.chmod(os.path.join(t.dist, "dorventa.hlp"), 0o444)
    write_file(os.path.join(t.work, "Velmarin.lst"), "WRONG.EX_,wrong.exe,x\n")
    entries = sample_entries(t)
    folders = t.env.system_folders()
    t.claim(t.env.unix("C:\\Zelnar"),
            *[os.path.join(folders[letter], dest) for _, dest, letter in entries if letter != "P"])
    claim_links(t)
    shots = [os.path.join(t.env.screenshots, "e2e", f"typical-{when}.png")
             for when in ("start", "end")]

    t.run(f"""
        hold-close
        {start(t)}
        expect-text 1002 {quote(DEFAULT_INST)}
        expect-text 1003 {quote(START_TEXT)}
        expect-text 2 "Cancel"
        expect-visible 1 1
        expect-focus 1
        expect-checked 201 1
        expect-checked 202 1
        expect-checked 203 1
        expect-checked 204 1
        expect-checked 1007 0
        expect-checked 1011 0
        expect-checked 1009 0
        expect-checked 1010 1
        expect-checked 1012 0
        expect-selected 1016 1
        expect-selected 1017 2
        screenshot {quote(win(shots[0]))}
        click 1
        wait-held
        screenshot {quote(win(shots[1]))}
        release
        wait-exit 0
    """, screenshots=shots)

    expect_equal(t.statuses, installed_statuses(DEFAULT_INST, [e[0] for e in entries],
                                                links=True), "status line texts")
    inst = t.env.unix("C:\\Zelnar")
    program = os.path.join(t.env.sample_dir, "program")
    for source, dest, letter in entries:
        folder = inst if letter == "P" else folders[letter]
        installed = os.path.join(folder, *dest.split("\\"))
        expect_equal(read_bytes(installed), read_bytes(os.path.join(program, dest.split("\\")[-1])),
                     f"contents of {dest} (expanded where compressed)")
        expect_equal(seconds(installed), seconds(os.path.join(t.dist, source)),
                     f"last-write time of {dest}")
    expect(is_writable(os.path.join(inst, "dorventa.hlp")), "a read-only source arrived read-only")
    for folder, target in (("Demos", "Data/Demos"), ("Recipes", "Recipes")):
        source = os.path.join(t.env.sample_dir, folder)
        check_files(os.path.join(inst, target),
                    {name: read_bytes(os.path.join(source, name)) for name in os.listdir(source)})
    check_ini(os.path.join(inst, "Velmarin.ini"),
              {"ATTACHMENTS": {"CellCamera": "1", "CameraCom": "COM3"}})
    check_links(t, DEFAULT_INST)
    check_green_on_white(t.pictures[shots[0]], "the dialog as it opened")
    check_green_on_white(t.pictures[shots[1]], "the dialog at the end of the run")


@scenario(DEFAULT_DIR, SHELL_LINKS)
def enter_fresh(t):
    """Enter on the dialog as it opens runs Install: the default button has the focus."""
    sample_dist(t)
    entries = sample_entries(t)
    folders = t.env.system_folders()
    t.claim(t.env.unix("C:\\Zelnar"),
            *[os.path.join(folders[letter], dest) for _, dest, letter in entries if letter != "P"])
    claim_links(t)
    t.run(f"""
        {start(t)}
        key ENTER
        wait-exit 0
    """)
    expect_equal(t.statuses, installed_statuses(DEFAULT_INST, [e[0] for e in entries],
                                                links=True), "status line texts")
    expect(os.path.isfile(os.path.join(t.env.unix("C:\\Zelnar"), "velmarin.exe")),
           "velmarin.exe was not installed")
    check_links(t, DEFAULT_INST)


@scenario()
def second_run(t):
    """A second installation over the first copies only the program files that are newer in
    the distribution (or whose installed time does not count), and all demos and recipes."""
    files = dict(SMALL_FILES)
    extra = {  # name: contents of further plain files, listed after the small list's entries
        "zero.dat": b"installed copy will get a zero time\n",
        "early.dat": b"installed copy will get a time before 1970\n",
        "stale.dat": b"distribution copy will get a zero time\n",
    }
    files.update(extra)
    list_text = SMALL_LIST + "".join(f"{name},{name},P\r\n" for name in extra)
    small_dist(t, list_text=list_text, files=files)
    for name in files:
        os.utime(os.path.join(t.dist, name), (1_600_000_000, 1_600_000_000))
    inst = t.install_dir()
    first = f"""
        {start(t)}
        {{browse}}
        {boxes(icons=0)}
        click 1
        wait-exit 0
    """
    t.run(first.format(browse=choose_dir(inst)))
    check_small_install(t, inst)

    def at(path, when, data=None):
        write_file(path, read_bytes(path) if data is None else data, mtime=when)

    # Newer in the distribution: copied again.
    at(os.path.join(t.dist, "APP.EX_"), 1_600_000_100, Compressed(APP + b"version 2\r\n"))
    # The same time to the second, though the installed copy differs: kept.
    at(os.path.join(inst, "User Guide.pdf"), 1_600_000_000, b"changed by the user\n")
    # Installed copy newer: kept.
    at(os.path.join(inst, "dorventa.hlp"), 1_600_000_200, b"newer help\n")
    # Installed time zero or before 1970: replaced by any distribution file.
    at(os.path.join(inst, "zero.dat"), 0, b"old\n")
    at(os.path.join(inst, "early.dat"), -86_400 * 400, b"old\n")
    # Distribution time zero: never replaces an installed file.
    at(os.path.join(t.dist, "stale.dat"), 0, b"from a distribution without times\n")
    # Demos and recipes are copied whatever their times; the settings file is rebuilt.
    at(os.path.join(inst, "Data", "Demos", "align.dem"), 1_900_000_000, b"edited demo\n")
    with open(os.path.join(inst, "Velmarin.ini"), "ab") as ini:
        ini.write(b"[USER]\r\nChanged=1\r\n")

    t.run(first.format(browse=choose_existing_dir(inst)))
    expect_equal(t.statuses,
                 installed_statuses(win(inst), ["APP.EX_", "zero.dat", "early.dat"]),
                 "status line texts of the second run")
    check_files(inst, {
        "velmarin.exe": APP + b"version 2\r\n",
        "User Guide.pdf": b"changed by the user\n",
        "dorventa.hlp": b"newer help\n",
        "zero.dat": extra["zero.dat"],
        "early.dat": extra["early.dat"],
        "stale.dat": extra["stale.dat"],
        "Data/Demos/align.dem": DEMOS["align.dem"],
    })
    check_ini(os.path.join(inst, "Velmarin.ini"),
              {"ATTACHMENTS": {"CellCamera": "1", "CameraCom": "COM3"}})


@scenario()
def options_ini(t):
    """The dialog's choices, made with the mouse, written into the settings file: A50, caption
    bar, UV unit on COM2, camera on COM4."""
    small_dist(t)
    inst = t.install_dir()
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        click 1009
        expect-checked 1009 1
        expect-checked 1010 0
        tick 1007 1
        tick 1011 1
        click-item 1016 2
        expect-selected 1016 2
        click-item 1017 0
        expect-selected 1017 0
        {boxes(icons=0)}
        click 1
        wait-exit 0
    """)
    expect_equal(t.statuses, installed_statuses(win(inst), SMALL_SOURCES), "status line texts")
    check_small_install(t, inst)
    check_ini(os.path.join(inst, "Velmarin.ini"), {
        "ATTACHMENTS": {"CellCamera": "50", "CameraCom": "COM4", "Wideband": "1",
                        "UVCom": "COM2"},
        "FRAME": {"TitleBar": "1"},
    })


@scenario()
def options_none(t):
    """Camera "None" with a template that has no ATTACHMENTS section: the section is added
    with the camera keys only, and the template's TitleBar=0 stays with the box clear."""
    template = "[FRAME]\r\nTitleBar=0\r\nLeft=40\r\n\r\n[MOTION]\r\nStepsPerMm=400\r\n"
    small_dist(t, template=template)
    inst = t.install_dir()
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        click 1012
        expect-checked 1012 1
        expect-checked 1010 0
        {boxes(recipes=0, icons=0)}
        click 1
        wait-exit 0
    """)
    check_ini(os.path.join(inst, "Velmarin.ini"),
              {"ATTACHMENTS": {"CellCamera": "0", "CameraCom": "COM3"}}, removed=["ATTACHMENTS"])


@scenario()
def keyboard(t):
    """Only the keyboard: Tab visits the controls in template order and wraps, Space ticks and
    clears, the arrow keys pick a camera and the ports, Enter runs Install from a list box.
    (Within the radio group Tab stops at the selected camera: the platform's dialog manager.)"""
    small_dist(t)
    inst = t.install_dir()
    tab_order = [2, 1001, 201, 203, 204, 202, 1007, 1011, 1010, 1016, 1017, 1]
    tabs = "\n".join(f"key TAB\nexpect-focus {control}" for control in tab_order)
    t.run(f"""
        {start(t)}
        expect-focus 1
        {tabs}
        key SHIFT+TAB
        expect-focus 1017
        key TAB TAB TAB
        expect-focus 1001
        key SPACE
        wait-window "Installation Directory"
        type {quote(win(inst))}
        key ENTER
        wait-no-window "Installation Directory"
        expect-text 1002 {quote(win(inst))}
        expect-focus 1001
        key TAB TAB TAB
        expect-focus 204
        key SPACE
        expect-checked 204 0
        key TAB TAB
        expect-focus 1007
        key SPACE
        key TAB
        expect-focus 1011
        key SPACE
        key TAB
        expect-focus 1010
        key UP
        expect-focus 1009
        expect-checked 1009 1
        expect-checked 1010 0
        key TAB
        expect-focus 1016
        key DOWN
        expect-selected 1016 2
        key TAB
        expect-focus 1017
        key UP
        expect-selected 1017 1
        key ENTER
        wait-exit 0
    """)
    expect_equal(t.statuses, installed_statuses(win(inst), SMALL_SOURCES), "status line texts")
    check_ini(os.path.join(inst, "Velmarin.ini"), {
        "ATTACHMENTS": {"CellCamera": "50", "CameraCom": "COM4", "Wideband": "1",
                        "UVCom": "COM3"},
        "FRAME": {"TitleBar": "1"},
    })


@scenario()
def no_list(t):
    """No file list: the message box, answered with Enter, then the stop on the status line;
    Close ends the program with 0 and nothing was installed."""
    small_dist(t, list_text=None)
    inst = t.install_dir()
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        click 1
        {STOPPED_WITH_NO_LIST}
        click 2
        wait-exit 0
    """)
    expect_equal(t.statuses, ["Can't read file list:\nVelmarin.lst"], "status line texts")
    expect(not os.path.exists(inst), "the install directory was created")


@scenario()
def close_during_box(t):
    """While the list's message box is up, the dialog still answers the mouse: Close there
    ends the program once the run has returned."""
    small_dist(t, list_text=None)
    t.run(f"""
        {start(t)}
        click 1
        wait-window "Error"
        expect-window-text "Can't open LST file"
        click 2
        wait-exit 0
    """)
    expect_equal(t.statuses, ["Can't read file list:\nVelmarin.lst"], "status line texts")


@scenario()
def status_colour(t):
    """A screenshot shows the status line's text in green on white."""
    small_dist(t, list_text=None)
    shot = os.path.join(t.env.screenshots, "e2e", "status-colour.png")
    t.run(f"""
        {start(t)}
        click 1
        {STOPPED_WITH_NO_LIST}
        screenshot {quote(win(shot))}
        click 2
        wait-exit 0
    """, screenshots=[shot])
    check_green_on_white(t.pictures[shot], "after a stop")


@scenario()
def bad_letter(t):
    """A lower-case location letter: "Error in file", replaced at once by "Can't read file
    list"; nothing is copied, not even the entries before the bad line."""
    small_dist(t, list_text="APP.EX_,velmarin.exe,P\nUser Guide.pd_,User Guide.pdf,p\n")
    inst = t.install_dir()
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        click 1
        expect-text 1003 "Can't read file list:\\nVelmarin.lst"
        expect-text 2 "Close"
        expect-visible 1 0
        click 2
        wait-exit 0
    """)
    expect_equal(t.statuses, ["Error in file:\nVelmarin.lst", "Can't read file list:\nVelmarin.lst"],
                 "status line texts")
    expect(not os.path.exists(inst), "the install directory was created")


@scenario()
def failing_program_file(t):
    """A listed file missing from the distribution stops the run at that entry: the later
    entries, the demos, recipes, settings and shortcuts are left undone."""
    list_text = ("APP.EX_,velmarin.exe,P\nMISSING.DL_,missing.dll,P\n"
                 "dorventa.hlp,dorventa.hlp,P\n")
    small_dist(t, list_text=list_text)
    inst = t.install_dir()
    failure = f"Can't open source:\n{win(t.dist)}\\MISSING.DL_"
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        click 1
        expect-text 1003 {quote(failure)}
        expect-text 2 "Close"
        expect-visible 1 0
        click 2
        wait-exit 0
    """)
    expect_equal(t.statuses, [
        "Making Directories",
        "Copying:\nAPP.EX_",
        "Copying:\nMISSING.DL_",
        failure,
    ], "status line texts")
    expect_equal(tree(inst), {"velmarin.exe"}, "installed files")
    expect_equal(os.listdir(os.path.join(inst, "Data")), [], "the Data folder")


@scenario()
def no_demos(t):
    """No Demos folder: the demos step shows its folder and moves on to the recipes. A
    subfolder of Recipes fails as a source and is not descended into."""
    small_dist(t, demos=None)
    write_file(os.path.join(t.dist, "Recipes", "Old", "old.rcp"), b"old recipe\n")
    inst = t.install_dir()
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        {boxes(icons=0)}
        click 1
        wait-exit 0
    """)
    expected = installed_statuses(win(inst), SMALL_SOURCES)
    expected.insert(expected.index(f"Copying Recipes:\n{win(inst)}\\Recipes") + 1,
                    f"Can't open source:\n{win(t.dist)}\\Recipes\\Old")
    expect_equal(t.statuses, expected, "status line texts")
    expect_equal(os.listdir(os.path.join(inst, "Data", "Demos")), [], "the Demos folder")
    check_files(os.path.join(inst, "Recipes"), RECIPES)
    expect(not os.path.exists(os.path.join(inst, "Recipes", "Old")), "Recipes\\Old was copied")


@scenario()
def demos_without_data(t):
    """Recipes & Demos and Settings without Program Files, into an existing install directory
    that has no Data folder: each demo fails on the status line and the run goes on."""
    small_dist(t)
    inst = t.install_dir()
    os.makedirs(inst)
    t.run(f"""
        {start(t)}
        {choose_existing_dir(inst)}
        {boxes(program=0, icons=0)}
        click 1
        wait-exit 0
    """)
    inst_win = win(inst)
    failures = {f"Can't open destination:\n{inst_win}\\Data\\Demos\\{name}" for name in DEMOS}
    expect_equal(t.statuses[0], f"Copying Demos:\n{inst_win}\\Data\\Demos", "first status")
    expect_equal(set(t.statuses[1:4]), failures, "the demo copies' failures, in any order")
    expect_equal(t.statuses[4:], [f"Copying Recipes:\n{inst_win}\\Recipes",
                                  f"Creating Ini File:\n{inst_win}\\Velmarin.ini"],
                 "the statuses after the demos")
    expect(not os.path.exists(os.path.join(inst, "Data")), "a Data folder was created")
    check_files(os.path.join(inst, "Recipes"), RECIPES)
    check_ini(os.path.join(inst, "Velmarin.ini"),
              {"ATTACHMENTS": {"CellCamera": "1", "CameraCom": "COM3"}})


@scenario()
def settings_without_dir(t):
    """Only Settings (and Desktop Icons) on a machine without the install directory: the
    settings file cannot be created, the run stops before the shortcuts."""
    small_dist(t)
    inst = t.install_dir()
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        {boxes(program=0, recipes=0)}
        click 1
        expect-text 2 "Close"
        click 2
        wait-exit 0
    """)
    expect_equal(t.statuses, [
        f"Creating Ini File:\n{win(inst)}\\Velmarin.ini",
        f"Can't open destination:\n{win(inst)}\\Velmarin.ini",
    ], "status line texts")
    expect(not os.path.exists(inst), "the install directory was created")


@scenario()
def no_template(t):
    """No settings template: "Can't open source" with its path stops the run."""
    small_dist(t, template=None)
    inst = t.install_dir()
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        {boxes(recipes=0)}
        click 1
        expect-text 2 "Close"
        key ESC
        wait-exit 0
    """)
    expect_equal(t.statuses[-2:], [
        f"Creating Ini File:\n{win(inst)}\\Velmarin.ini",
        f"Can't open source:\n{win(t.dist)}\\Velmarin.ini",
    ], "the last status line texts")
    expect(not os.path.exists(os.path.join(inst, "Velmarin.ini")), "a settings file was made")


@scenario()
def all_cleared(t):
    """All four boxes cleared: the list is loaded, nothing is done, the program ends."""
    small_dist(t)
    inst = t.install_dir()
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        {boxes(0, 0, 0, 0)}
        click 1
        wait-exit 0
    """)
    expect_equal(t.statuses, [], "status line texts")
    expect(not os.path.exists(inst), "the install directory was created")


@scenario()
def all_cleared_no_list(t):
    """All four boxes cleared and no list: the list is still loaded, so the run stops; Esc
    then ends the program."""
    small_dist(t, list_text=None)
    t.run(f"""
        {start(t)}
        {boxes(0, 0, 0, 0)}
        click 1
        {STOPPED_WITH_NO_LIST}
        key ESC
        wait-exit 0
    """)
    expect_equal(t.statuses, ["Can't read file list:\nVelmarin.lst"], "status line texts")


@scenario(SHELL_LINKS)
def only_desktop_icons(t):
    """Only "Desktop Icons": the links are made although their targets were never installed."""
    small_dist(t)
    inst = t.install_dir()
    claim_links(t)
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        {boxes(0, 0, 0, 1)}
        click 1
        wait-exit 0
    """)
    expect_equal(t.statuses, ["Creating Shortcuts:\n"], "status line texts")
    expect(not os.path.exists(inst), "the install directory was created")
    check_links(t, win(inst))


@scenario(SHELL_LINKS)
def windows95_folders(t):
    """On the Windows 95 family (Wine reports it to setup95.exe) the links go to the user's own
    desktop and programs folders, not the machine-wide ones."""
    small_dist(t, setup_name="setup95.exe")
    inst = t.install_dir()
    claim_links(t, per_user=True)
    claim_links(t, per_user=False)
    t.run(f"""
        {start(t, win(os.path.join(t.dist, "setup95.exe")))}
        {choose_dir(inst)}
        click 1
        wait-exit 0
    """)
    expect_equal(t.statuses, installed_statuses(win(inst), SMALL_SOURCES, links=True),
                 "status line texts")
    check_small_install(t, inst)
    check_links(t, win(inst), per_user=True)
    check_no_links(t, per_user=False)


@scenario()
def esc(t):
    """Esc on the fresh dialog ends the program with 0, doing nothing."""
    small_dist(t)
    t.run(f"""
        {start(t)}
        key ESC
        wait-exit 0
    """)
    expect_equal(t.statuses, [], "status line texts")


@scenario()
def system_menu_close(t):
    """Close on the system menu (Alt+Space, then C) ends the program with 0."""
    small_dist(t)
    t.run(f"""
        {start(t)}
        key ALT+SPACE
        key C
        wait-exit 0
    """)
    expect_equal(t.statuses, [], "status line texts")


@scenario()
def browse_accepted(t):
    """The chooser accepted as it opens gives C:\\Program Files\\Velmarin, and the files go
    there."""
    small_dist(t)
    inst = t.env.unix("C:\\Program Files") + "/Velmarin"
    t.claim(inst)
    t.run(f"""
        {start(t)}
        click 1001
        wait-window "Installation Directory"
        expect-window-item 1137 "Program Files"
        expect-window-item 1148 "Velmarin"
        key ENTER
        wait-no-window "Installation Directory"
        expect-text 1002 {quote(ACCEPTED_INST)}
        {boxes(1, 0, 0, 0)}
        click 1
        wait-exit 0
    """)
    expect_equal(t.statuses,
                 installed_statuses(ACCEPTED_INST, SMALL_SOURCES, demos=False,
                                    recipes=False, ini=False), "status line texts")
    check_files(inst, SMALL_INSTALLED)


@scenario()
def browse_extension(t):
    """A name typed with an extension is cut at its dot; the next Browse starts afresh, and
    cancelling it changes nothing."""
    small_dist(t)
    tools = t.install_dir("Tools")
    t.run(f"""
        {start(t)}
        {browse(win(tools) + ".old", win(tools))}
        click 1001
        wait-window "Installation Directory"
        expect-window-item 1137 "Program Files"
        expect-window-item 1148 "Velmarin"
        key ESC
        wait-no-window "Installation Directory"
        expect-text 1002 {quote(win(tools))}
        {boxes(1, 0, 0, 0)}
        click 1
        wait-exit 0
    """)
    check_files(tools, SMALL_INSTALLED)
    expect(not os.path.exists(tools + ".old"), "Tools.old was created")


@scenario()
def browse_cancelled(t):
    """A chooser cancelled after typing a name leaves the directory as it was."""
    small_dist(t)
    t.run(f"""
        {start(t)}
        click 1001
        wait-window "Installation Directory"
        key HOME SHIFT+END
        type {quote(win(t.install_dir("Elsewhere")))}
        key ESC
        wait-no-window "Installation Directory"
        expect-text 1002 {quote(DEFAULT_INST)}
        expect-text 1003 {quote(START_TEXT)}
        click 2
        wait-exit 0
    """)
    expect_equal(t.statuses, [], "status line texts")


@scenario()
def enter_after_stop(t):
    """After a stop (no list), the list is put in place and Enter runs Install again: the
    hidden Install is still the default button."""
    small_dist(t, list_text=None)
    later = os.path.join(t.tmp, "Velmarin.lst.later")
    write_file(later, SMALL_LIST)
    inst = t.install_dir()
    t.run(f"""
        {start(t)}
        {choose_dir(inst)}
        {boxes(icons=0)}
        click 1
        {STOPPED_WITH_NO_LIST}
        copy-file {quote(win(later))} {quote(win(os.path.join(t.dist, "Velmarin.lst")))}
        key ENTER
        wait-exit 0
    """)
    expect_equal(t.statuses, ["Can't read file list:\nVelmarin.lst"]
                 + installed_statuses(win(inst), SMALL_SOURCES), "status line texts")
    check_small_install(t, inst)


@scenario()
def list_in_working_folder(t):
    """With no list beside the installer, the one in the working folder is used: with every
    box cleared the run loads it and ends (a missing list would stop it with the message box).
    The chooser is not used here: it makes the folder last browsed the current one."""
    small_dist(t, list_text=None)
    write_file(os.path.join(t.work, "Velmarin.lst"), SMALL_LIST)
    t.run(f"""
        {start(t)}
        {boxes(0, 0, 0, 0)}
        click 1
        wait-exit 0
    """)
    expect_equal(t.statuses, [], "status line texts")


@scenario()
def drive_root(t):
    """Started from a drive's root (R:\\setup.exe), the listed files are found as R:\\NAME."""
    small_dist(t)
    drive = os.path.join(t.env.prefix, "dosdevices", "r:")
    expect(not os.path.lexists(drive) or os.path.realpath(drive).startswith("/tmp/zelnar-e2e-"),
           f"drive R: of the prefix is in use: {drive}")
    t.claim(drive)
    os.symlink(t.dist, drive)
    inst = t.install_dir()
    t.run(f"""
        {start(t, ROOT_SETUP)}
        {choose_dir(inst)}
        {boxes(1, 0, 0, 0)}
        click 1
        wait-exit 0
    """)
    expect_equal(t.statuses, installed_statuses(win(inst), SMALL_SOURCES, demos=False,
                                                recipes=False, ini=False), "status line texts")
    check_files(inst, SMALL_INSTALLED)


# --- Running ---------------------------------------------------------------------------------


def environment(args):
    return Environment(args.source_dir, args.driver_dir, args.setup, args.sample_dist)


def run_scenario(env, name):
    function, _ = SCENARIOS[name]
    print(f"=== e2e_{name}: {function.__doc__.strip()}")
    t = Scenario(env, name)
    try:
        function(t)
    except ScenarioFailure as failure:
        print(f"FAILED e2e_{name}: {failure}")
        return 1
    except Exception:  # a fault of the harness itself still fails the test, with its trace
        traceback.print_exc()
        return 1
    finally:
        t.cleanup()
    print(f"PASSED e2e_{name}")
    return 0


def run_demo(env):
    """Runs the sample distribution as staged, in place, with every default: screenshots of the
    dialog as it opened and as it looked at the end of the run; the installed tree stays."""
    t = Scenario(env, "demo")
    t.dist = env.sample_dist
    shots = [os.path.join(env.screenshots, f"dialog-{when}.png") for when in ("start", "end")]
    try:
        t.run(f"""
            hold-close
            {start(t)}
            screenshot {quote(win(shots[0]))}
            key ENTER
            wait-held
            screenshot {quote(win(shots[1]))}
            release
            wait-exit 0
        """, screenshots=shots)
    except ScenarioFailure as failure:
        print(f"demo: {failure}")
        return 1
    finally:
        t.cleanup()
    for shot in shots:
        print(f"demo: screenshot {shot}")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("command", choices=["list", "run", "demo"])
    parser.add_argument("name", nargs="?")
    parser.add_argument("--source-dir")
    parser.add_argument("--driver-dir")
    parser.add_argument("--setup")
    parser.add_argument("--sample-dist")
    args = parser.parse_args()
    if args.command == "list":
        for name, (_, locks) in SCENARIOS.items():
            print(name, *locks)
        return 0
    if args.command == "demo":
        return run_demo(environment(args))
    if args.name not in SCENARIOS:
        parser.error(f"no scenario {args.name!r}")
    return run_scenario(environment(args), args.name)


if __name__ == "__main__":
    sys.exit(main())

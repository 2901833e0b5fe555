#!/usr/bin/env python3
"""Benchmark of the Zelnar Installer: start-up, installation, weight and memory, each against a
reference measured on the same machine in the same invocation. Prints a Markdown table.

Run through `make bench`, which builds both targets first. Everything it makes lives under
build/bench: the generated large distribution (kept between runs), the install targets (removed
at the end) and the native expander. Shortcuts that the runs create in the Wine prefix are
removed again at the end.
"""

import argparse
import os
import platform
import random
import re
import shutil
import statistics
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = ROOT / "build"
X64 = BUILD / "x86_64"
I686 = BUILD / "i686"
WORK = BUILD / "bench"
DIST = WORK / "dist"
WINE_RUN = ROOT / "scripts" / "wine-run.sh"
PREFIX = Path(os.environ.get("ZELNAR_WINEPREFIX", BUILD / "wineprefix"))

# Bump when the generated distribution changes, so that a cached one is made again.
GENERATION = "3"
PROGRAM_COUNT = 20
DEMO_COUNT = 2000
RECIPE_COUNT = 200
MIB = 1024 * 1024

# The Windows DLLs a release may import: the system's own, present on every 32-bit Windows.
WINDOWS_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comdlg32.dll", "lz32.dll",
    "ole32.dll", "shell32.dll", "msvcrt.dll", "comctl32.dll", "version.dll", "psapi.dll",
}


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


# ---------------------------------------------------------------------------------------------
# The generated large distribution


def program_entries():
    """The file list: (source name, installed name, compressed, size). All entries go to the
    install directory (P); three of them into its Data folder, which the installer creates."""
    rng = random.Random(6)
    entries = []
    for i in range(1, PROGRAM_COUNT + 1):
        compressed = i % 2 == 1
        # Several MB each: compressed ones 2 to 3 MB expanded (mscompress is slow to make them),
        # plain ones 3 to 6 MB.
        size = rng.randint(2 * MIB, 3 * MIB) if compressed else rng.randint(3 * MIB, 6 * MIB)
        ext = "dll" if compressed else "bin"
        installed = f"mod{i:02d}.{ext}"
        if i in (4, 11, 18):
            installed = f"Data\\tab{i:02d}.dat"
        source = (f"MOD{i:02d}.DL_" if compressed else installed.split("\\")[-1])
        entries.append((source, installed, compressed, size))
    return entries


def file_bytes(rng, words, size):
    """Bytes that compress about as well as program files do (roughly to 60 %)."""
    data = b"".join(rng.choices(words, k=size // 6 + 16))
    return data[:size]


def make_words(rng):
    return [bytes(rng.getrandbits(8) for _ in range(rng.randint(2, 10))) for _ in range(600)]


def generate(log):
    stamp = DIST / ".generated"
    if stamp.exists() and stamp.read_text() == GENERATION:
        return
    log("generating the large distribution in build/bench/dist (once; mscompress is slow)")
    if DIST.exists():
        shutil.rmtree(DIST)
    (DIST / "Demos").mkdir(parents=True)
    (DIST / "Recipes").mkdir()
    rng = random.Random(4)
    words = make_words(rng)
    entries = program_entries()

    lines = ["; Benchmark file list: 20 program files, half compressed, three into Data"]
    jobs = []
    for source, installed, compressed, size in entries:
        lines.append(f"{source},{installed},P")
        data = file_bytes(rng, words, size)
        if compressed:
            plain = DIST / (installed.split("\\")[-1])
            plain.write_bytes(data)
            jobs.append((plain, DIST / source))
        else:
            (DIST / source).write_bytes(data)
    text = "\r\n".join(lines) + "\r\n"
    assert len(text) <= 1000, "the file list must fit the installer's 1000 bytes"
    (DIST / "Velmarin.lst").write_text(text, newline="")
    shutil.copy(ROOT / "sample" / "Velmarin.ini", DIST / "Velmarin.ini")

    for i in range(1, DEMO_COUNT + 1):
        (DIST / "Demos" / f"demo{i:04d}.dem").write_bytes(
            file_bytes(rng, words, rng.randint(512, 8192)))
    for i in range(1, RECIPE_COUNT + 1):
        (DIST / "Recipes" / f"recipe{i:03d}.rcp").write_bytes(
            file_bytes(rng, words, rng.randint(256, 4096)))

    def compress(job):
        plain, packed = job
        subprocess.run(["mscompress", str(plain)], check=True, stdout=subprocess.DEVNULL)
        os.replace(str(plain) + "_", packed)
        return plain, packed

    # mscompress writes one byte per system call: use both cores.
    expander = native_expander()
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for plain, packed in pool.map(compress, jobs):
            # The native reference must put the very bytes in place that LZ32 does.
            check = WORK / "check.tmp"
            subprocess.run([expander, packed, check], check=True)
            if check.read_bytes() != plain.read_bytes():
                sys.exit(f"bench: the native expander disagrees on {packed.name}")
            check.unlink()
            plain.unlink()
    stamp.write_text(GENERATION)


def native_expander():
    source = ROOT / "bench" / "native" / "szdd_expand.c"
    exe = WORK / "szdd_expand"
    if not exe.exists() or exe.stat().st_mtime < source.stat().st_mtime:
        WORK.mkdir(parents=True, exist_ok=True)
        subprocess.run(["cc", "-O2", "-Wall", "-Wextra", "-Werror", "-o", exe, source], check=True)
    return exe


# ---------------------------------------------------------------------------------------------
# Running things


def wine(*args, check=True):
    result = subprocess.run([str(WINE_RUN), *map(str, args)], capture_output=True, text=True)
    if check and result.returncode != 0:
        sys.exit(f"bench: {' '.join(map(str, args))} failed ({result.returncode}):\n"
                 f"{result.stdout}{result.stderr}")
    return result.stdout


def parse_pairs(text):
    line = [l for l in text.splitlines() if "=" in l][-1]
    return {k: float(v) for k, v in (pair.split("=") for pair in line.split())}


def launch(exe, install=False, directory=None, boxes=None):
    args = [X64 / "bench" / "bench_launch.exe"]
    if install:
        args.append("--install")
    if directory:
        args += ["--dir", windows_path(directory)]
    if boxes is not None:
        args += ["--boxes", ",".join(map(str, boxes))]
    args.append(windows_path(exe))
    return parse_pairs(wine(*args))


def copy_floor(mode, manifest):
    return parse_pairs(wine(X64 / "bench" / "copy_floor.exe", mode, windows_path(manifest)))


def remove(path):
    if path.is_dir():
        shutil.rmtree(path)
    elif path.exists():
        path.unlink()


def write_floor_manifest(target):
    """The copies that the installer makes, in its order, for the Wine floor program."""
    lines = [f"M\t{windows_path(target / d)}" for d in ("", "Data", "Data/Demos", "Recipes")]
    for source, installed, _, _ in program_entries():
        lines.append(f"P\t{windows_path(DIST / source)}\t{windows_path(target)}\\{installed}")
    for folder, dest in (("Demos", "Data/Demos"), ("Recipes", "Recipes")):
        for name in sorted(os.listdir(DIST / folder)):
            lines.append(f"F\t{windows_path(DIST / folder / name)}\t"
                         f"{windows_path(target / dest / name)}")
    lines.append(f"F\t{windows_path(DIST / 'Velmarin.ini')}\t"
                 f"{windows_path(target / 'Velmarin.ini')}")
    manifest = WORK / "floor.manifest"
    manifest.write_text("\n".join(lines) + "\n")
    return manifest


def write_native_script(target):
    """The fastest plain means on the Linux side: one expander process for the compressed files,
    one cp per destination folder for the plain ones, cp -r for the two folders."""
    expand, plain = [], {}
    for source, installed, compressed, _ in program_entries():
        dest = target / installed.replace("\\", "/")
        if compressed:
            expand += [str(DIST / source), str(dest)]
        else:
            plain.setdefault(str(dest.parent), []).append(str(DIST / source))
    script = ["set -e", f"mkdir -p '{target}/Data/Demos' '{target}/Recipes'",
              f"'{native_expander()}' " + " ".join(f"'{p}'" for p in expand)]
    for folder, sources in plain.items():
        script.append(f"cp -t '{folder}' " + " ".join(f"'{s}'" for s in sources))
    script.append(f"cp '{DIST}/Velmarin.ini' '{target}/'")
    script.append(f"cp -r '{DIST}/Demos/.' '{target}/Data/Demos/'")
    script.append(f"cp -r '{DIST}/Recipes/.' '{target}/Recipes/'")
    path = WORK / "native.sh"
    path.write_text("\n".join(script) + "\n")
    return path


def timed_native(script, target):
    remove(target)
    subprocess.run(["sync"])
    start = time.perf_counter()
    subprocess.run(["sh", str(script)], check=True)
    return (time.perf_counter() - start) * 1000


def timed_native_folders(target):
    """Only the demos and recipes, into an existing tree: the native share of a second run."""
    for sub in ("Data/Demos", "Recipes"):
        remove(target / sub)
    start = time.perf_counter()
    subprocess.run(["sh", "-c", f"mkdir -p '{target}/Data/Demos' '{target}/Recipes' && "
                    f"cp -r '{DIST}/Demos/.' '{target}/Data/Demos/' && "
                    f"cp -r '{DIST}/Recipes/.' '{target}/Recipes/'"], check=True)
    return (time.perf_counter() - start) * 1000


def msexpand_rate(log):
    """Debian's msexpand, as packaged, on a 256 KiB probe: MB/s."""
    probe = WORK / "probe.bin"
    rng = random.Random(7)
    probe.write_bytes(file_bytes(rng, make_words(rng), 256 * 1024))
    packed = WORK / "probe.bin_"
    remove(packed)
    subprocess.run(["mscompress", str(probe)], check=True, stdout=subprocess.DEVNULL)
    out = WORK / "probe.out"
    with open(packed, "rb") as source, open(out, "wb") as dest:
        start = time.perf_counter()
        subprocess.run(["msexpand"], stdin=source, stdout=dest, check=True)
        seconds = time.perf_counter() - start
    ok = out.read_bytes() == probe.read_bytes()
    for p in (probe, packed, out):
        remove(p)
    if not ok:
        log("msexpand's output differs from the original")
    return 256 * 1024 / MIB / seconds


# ---------------------------------------------------------------------------------------------
# Shortcuts the installer leaves in the prefix


def shortcut_folders():
    users = PREFIX / "drive_c" / "users" / "Public" / "Desktop"
    programs = (PREFIX / "drive_c" / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" /
                "Programs" / "Moldar")
    return users, programs


def snapshot_shortcuts():
    desktop, programs = shortcut_folders()
    return {
        "desktop": set(os.listdir(desktop)) if desktop.is_dir() else set(),
        "programs_existed": programs.exists(),
        "programs": set(os.listdir(programs)) if programs.is_dir() else set(),
    }


def restore_shortcuts(before):
    desktop, programs = shortcut_folders()
    if desktop.is_dir():
        for name in set(os.listdir(desktop)) - before["desktop"]:
            remove(desktop / name)
    if not before["programs_existed"]:
        remove(programs)
    elif programs.is_dir():
        for name in set(os.listdir(programs)) - before["programs"]:
            remove(programs / name)


# ---------------------------------------------------------------------------------------------
# Figures


def med(values):
    return statistics.median(values)


def spread(values, unit="ms", digits=0):
    return f"{min(values):.{digits}f}–{max(values):.{digits}f} {unit}"


def machine():
    cpu = "unknown"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    wine_version = subprocess.run(["wine", "--version"], capture_output=True,
                                  text=True).stdout.strip()
    return f"nproc {os.cpu_count()}, CPU {cpu}, {wine_version}, Linux {platform.release()}"


def imported_dlls(exe):
    out = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(exe)], capture_output=True,
                         text=True, check=True).stdout
    return sorted(set(re.findall(r"DLL Name: (\S+)", out)), key=str.lower)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=5, help="runs per figure (at least 5)")
    args = parser.parse_args()
    runs = max(args.runs, 5)

    def log(text):
        print(f"bench: {text}", file=sys.stderr, flush=True)

    for needed in (X64 / "src" / "setup.exe", X64 / "bench" / "bench_launch.exe",
                   X64 / "bench" / "minimal.exe", X64 / "bench" / "minimal_dial.exe",
                   X64 / "bench" / "copy_floor.exe", I686 / "src" / "setup.exe",
                   I686 / "bench" / "minimal.exe"):
        if not needed.exists():
            sys.exit(f"bench: {needed} is missing; run `make bench`")

    WORK.mkdir(parents=True, exist_ok=True)
    generate(log)
    shutil.copy(X64 / "src" / "setup.exe", DIST / "setup.exe")
    setup = DIST / "setup.exe"
    minimal = X64 / "bench" / "minimal.exe"
    minimal_dial = X64 / "bench" / "minimal_dial.exe"
    install = WORK / "install"
    native = WORK / "native"
    floor = WORK / "floor"
    manifest = write_floor_manifest(floor)
    native_script = write_native_script(native)
    all_boxes = [201, 202, 203, 204]

    wine("--setup")
    before = snapshot_shortcuts()
    try:
        log("warming up")
        launch(minimal)
        launch(setup)

        starts = 2 * runs  # cheap, and the noisiest figure
        log(f"start-up: {starts} runs each of the installer, the minimal dialog and the minimal "
            "program with the installer's template")
        programs = {"setup": setup, "minimal": minimal, "template": minimal_dial}
        start = {name: [] for name in programs}
        for i in range(starts):
            # Rotate which goes first, so that drift of the machine hits all alike.
            names = list(programs)
            for name in names[i % 3:] + names[:i % 3]:
                start[name].append(launch(programs[name]))

        log(f"installation: {runs} rounds of first, second, demos-only and empty runs, "
            "native copies and the Wine floor")
        rounds = []
        for i in range(runs):
            remove(install)
            r = {}
            r["first"] = launch(setup, True, install, all_boxes)
            r["second"] = launch(setup, True, install, all_boxes)
            r["folders"] = launch(setup, True, install, [203])
            r["empty"] = launch(setup, True, install, [])
            r["native"] = timed_native(native_script, native)
            r["native_folders"] = timed_native_folders(native)
            for mode in ("lz", "program"):
                remove(floor)
                r[f"floor_{mode}"] = copy_floor(mode, manifest)
            rounds.append(r)
            log(f"round {i + 1}: first {r['first']['run_ms']:.0f} ms, second "
                f"{r['second']['run_ms']:.0f} ms, native {r['native']:.0f} ms")
        log("once: shortcuts alone, CopyFileA floor")
        once = {"shortcuts": launch(setup, True, install, [204])}
        remove(floor)
        once["floor_copyfile"] = copy_floor("copyfile", manifest)
        # Over the tree just made, as a second installation copies the demos and recipes.
        once["again_lz"] = copy_floor("lz", manifest)
        once["again_program"] = copy_floor("program", manifest)
        rate = msexpand_rate(log)
    finally:
        restore_shortcuts(before)
        for path in (install, native, floor):
            remove(path)
        wine("--stop", check=False)

    report(start, rounds, once, rate)


def report(start, rounds, once, rate):
    def col(name, key):
        return [r[name][key] for r in rounds]

    s_vis = [r["visible_ms"] for r in start["setup"]]
    m_vis = [r["visible_ms"] for r in start["minimal"]]
    s_ready = [r["ready_ms"] for r in start["setup"]]
    m_ready = [r["ready_ms"] for r in start["minimal"]]
    t_vis = [r["visible_ms"] for r in start["template"]]
    t_ready = [r["ready_ms"] for r in start["template"]]
    first = col("first", "run_ms")
    second = col("second", "run_ms")
    folders = col("folders", "run_ms")
    empty = col("empty", "run_ms")
    native = [r["native"] for r in rounds]
    native_folders = [r["native_folders"] for r in rounds]
    lz = [a + b for a, b in zip(col("floor_lz", "programs_ms"), col("floor_lz", "folders_ms"))]
    own = [a + b for a, b in zip(col("floor_program", "programs_ms"),
                                 col("floor_program", "folders_ms"))]
    copyfile = once["floor_copyfile"]["programs_ms"] + once["floor_copyfile"]["folders_ms"]
    shortcuts = once["shortcuts"]["run_ms"]
    setup_peak = [v / MIB for v in col("first", "peak_ws")]
    minimal_peak = [r["peak_ws"] / MIB for r in start["minimal"]]
    idle_peak = [r["peak_ws"] / MIB for r in start["setup"]]

    release = I686 / "src" / "setup.exe"
    minimal_release = I686 / "bench" / "minimal.exe"
    size = release.stat().st_size
    minimal_size = minimal_release.stat().st_size
    dlls = imported_dlls(release)
    foreign = [d for d in dlls if d.lower() not in WINDOWS_DLLS]
    installed_mb = sum(e[3] for e in program_entries()) / MIB
    compressed_mb = sum(e[3] for e in program_entries() if e[2]) / MIB

    def ratio(a, b):
        return med(a) / med(b)

    def verdict(ok):
        return "met" if ok else "**missed**"

    lines = []
    add = lines.append
    add(f"Machine: {machine()}. Median of {len(rounds)} runs ({len(s_vis)} for start-up); "
        "spread is min–max.")
    add("")
    add("| # | figure | installer | reference | ratio | target |")
    add("|---|---|---|---|---|---|")
    r1 = ratio(s_vis, m_vis)
    add(f"| 1 | start-up: process start to dialog visible | {med(s_vis):.0f} ms "
        f"({spread(s_vis)}) | {med(m_vis):.0f} ms ({spread(m_vis)}), minimal dialog | "
        f"{r1:.2f}x | ≤ 1.1x: {verdict(r1 <= 1.1)} |")
    add(f"| 1b | start-up: to dialog drawn and idle | {med(s_ready):.0f} ms "
        f"({spread(s_ready)}) | {med(m_ready):.0f} ms ({spread(m_ready)}), minimal dialog | "
        f"{ratio(s_ready, m_ready):.2f}x | (for information) |")
    add(f"| 1c | start-up against the minimal program showing the installer's template "
        f"(visible; drawn and idle) | {med(s_vis):.0f}; {med(s_ready):.0f} ms | "
        f"{med(t_vis):.0f} ms ({spread(t_vis)}); {med(t_ready):.0f} ms ({spread(t_ready)}) | "
        f"{ratio(s_vis, t_vis):.2f}x; {ratio(s_ready, t_ready):.2f}x | (for information) |")
    r2 = ratio(first, native)
    add(f"| 2 | first installation, Install pressed to exit | {med(first):.0f} ms "
        f"({spread(first)}) | {med(native):.0f} ms ({spread(native)}), expander + cp natively "
        f"| {r2:.2f}x | ≤ 1.5x: {verdict(r2 <= 1.5)} |")
    share = med(folders) / med(second)
    add(f"| 2b | second installation, program files up to date | {med(second):.0f} ms "
        f"({spread(second)}) | {med(folders):.0f} ms ({spread(folders)}), only box 203 "
        f"(demos and recipes) | {ratio(second, folders):.2f}x | demos and recipes dominate: "
        f"{share:.0%} of it |")
    add(f"| 2c | demos and recipes alone (box 203) | {med(folders):.0f} ms | "
        f"{med(native_folders):.0f} ms ({spread(native_folders)}), cp -r natively | "
        f"{ratio(folders, native_folders):.1f}x | (for information) |")
    add(f"| 3 | weight: i686 setup.exe, stripped | {size:,} bytes ({size / 1024:.1f} KiB) | "
        f"{minimal_size:,} bytes, minimal dialog (i686) | {size / minimal_size:.2f}x | "
        f"< 100 KiB, Windows DLLs only: {verdict(size < 100 * 1024 and not foreign)} |")
    diff = med(setup_peak) - med(minimal_peak)
    add(f"| 4 | memory: peak working set during the first installation | "
        f"{med(setup_peak):.1f} MiB ({spread(setup_peak, 'MiB', 1)}) | {med(minimal_peak):.1f} "
        f"MiB ({spread(minimal_peak, 'MiB', 1)}), minimal dialog | +{diff:.1f} MiB "
        f"({med(setup_peak) / med(minimal_peak):.2f}x) | ≤ +2 MiB: {verdict(diff <= 2)} |")
    add("")
    add(f"Imports of the release: {', '.join(dlls)}"
        + (f"; not Windows' own: {', '.join(foreign)}" if foreign else "") + ".")
    add("")
    add("Where the first installation's time goes (medians, ms; \"once\" rows are one run):")
    add("")
    add("| layer | ms | added by this layer |")
    add("|---|---|---|")
    add(f"| native: expander + cp of the same files ({installed_mb:.0f} MB in 20 files + "
        f"{DEMO_COUNT + RECIPE_COUNT} small files) | {med(native):.0f} | |")
    add(f"| Wine: CopyFileA, LZCopy where compressed, one process (once) | {copyfile:.0f} | |")
    add(f"| Wine: the design's copy path (LZOpenFileA, LZCopy, SetFileAttributesA, LZClose), "
        f"one process | {med(lz):.0f} | Wine and LZ32: {med(lz) - med(native):+.0f} |")
    add(f"| the installer's own copy function, one process | {med(own):.0f} | its checks and "
        f"time stamps: {med(own) - med(lz):+.0f} |")
    add(f"| the installer, Install to exit | {med(first):.0f} | dialog, list, settings, "
        f"shortcuts, exit: {med(first) - med(own):+.0f} |")
    add(f"| of which: no box ticked (list, quit, exit) | {med(empty):.0f} | |")
    add(f"| of which: shortcuts alone, box 204 (once) | {shortcuts:.0f} | |")
    add("")
    add("Over an installed tree (the second installation), once, demos and recipes only: the "
        f"design's copy path {once['again_lz']['folders_ms']:.0f} ms, the installer's own copy "
        f"function {once['again_program']['folders_ms']:.0f} ms, the installer with box 203 "
        f"{med(folders):.0f} ms (median), cp -r natively {med(native_folders):.0f} ms.")
    add("")
    add(f"Debian's msexpand, as packaged, expands at {rate:.2f} MB/s (one system call per byte): "
        f"a reference built on it would take about {compressed_mb / rate:.0f} s for the "
        "compressed half alone, so the native reference uses the buffered expander "
        "bench/native/szdd_expand.c (checked byte for byte against the originals).")
    print("\n".join(lines))


if __name__ == "__main__":
    main()

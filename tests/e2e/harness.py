"""The Linux side of the end-to-end scenarios: builds a distribution folder from small fixtures,
runs the driver (a Windows program, under Wine) on a script, takes the screenshots it asks for,
and reads back what the installer left: files, times, attributes, the settings file and the
shell links. Nothing here uses the installer's own code: the settings file is read with Python's
configparser and the links with Debian's lnkinfo."""

import configparser
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
import zlib

DRIVER_LIMIT_S = 120  # a whole driver run; each of its own waits is far shorter
SHELL_FOLDERS_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
# Wine maps Unix file names to the programs' ANSI code page through the locale's character set:
# the driver and setup.exe run in a C locale with UTF-8 names, whose code page is 1252.
WINE_LOCALE = {"LC_ALL": "C.UTF-8"}


class ScenarioFailure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise ScenarioFailure(message)


def expect_equal(seen, wanted, what):
    if seen != wanted:
        raise ScenarioFailure(f"{what}:\n  expected {wanted!r}\n  found    {seen!r}")


def win(path):
    """A Unix path as Windows programs under Wine see it (through drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def quote(text):
    """A word of a driver script: quoted, with the escapes the driver knows."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'


class Compressed:
    """Fixture contents stored in the LZ format (SZDD) that mscompress writes."""

    def __init__(self, data):
        self.data = data


def compress(data):
    with tempfile.TemporaryDirectory() as folder:
        plain = os.path.join(folder, "f")
        with open(plain, "wb") as out:
            out.write(data)
        subprocess.run(["mscompress", plain], check=True, capture_output=True)
        with open(plain + "_", "rb") as packed:
            result = packed.read()
    expect(result.startswith(b"SZDD"), "mscompress wrote no SZDD file")
    return result


def write_file(path, contents, mtime=None, read_only=False):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if isinstance(contents, Compressed):
        contents = compress(contents.data)
    elif isinstance(contents, str):
        contents = contents.encode("latin-1")
    if os.path.exists(path):
        os.chmod(path, 0o644)
    with open(path, "wb") as out:
        out.write(contents)
    if mtime is not None:
        os.utime(path, (mtime, mtime))
    if read_only:
        os.chmod(path, 0o444)


def read_bytes(path):
    with open(path, "rb") as file:
        return file.read()


def seconds(path):
    return int(os.stat(path).st_mtime)


def is_writable(path):
    """Wine shows a file without write permission as read-only."""
    return bool(os.stat(path).st_mode & 0o200)


def read_ini(path):
    """The settings file as an independent reader sees it: {section: {key: value}}."""
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str  # keys keep their case
    with open(path, encoding="latin-1") as file:
        parser.read_file(file)
    return {section: dict(parser[section]) for section in parser.sections()}


def read_link(path):
    """Target, description and working folder of a shell link, as lnkinfo reads them."""
    out = subprocess.run(["lnkinfo", path], capture_output=True, text=True, errors="replace")
    expect(out.returncode == 0, f"lnkinfo cannot read {path}: {out.stderr.strip()}")
    fields = {}
    for line in out.stdout.splitlines():
        match = re.match(r"\s*(Local path|Description|Working directory)\s*:\s?(.*)$", line)
        if match and match.group(1) not in fields:
            fields[match.group(1)] = match.group(2)
    return {
        "target": fields.get("Local path"),
        "description": fields.get("Description"),
        "working folder": fields.get("Working directory"),
    }


def tree(folder):
    """Every file under folder, as relative paths with forward slashes."""
    found = set()
    for base, _, files in os.walk(folder):
        for name in files:
            found.add(os.path.relpath(os.path.join(base, name), folder))
    return found


def snapshot(folder, skip=()):
    """What a folder holds, for comparing before and after a run: for each file, folder and link
    under it (relative path with forward slashes) its kind, and for a file its bytes, whole-second
    last-write time, writability and Wine's stored DOS attributes; for a link its target. Names
    that start with one of the prefixes in skip are left out at the top level."""
    found = {}
    for base, dirs, files in os.walk(folder):
        if base == folder:
            dirs[:] = [d for d in dirs if not d.startswith(tuple(skip))]
            files = [f for f in files if not f.startswith(tuple(skip))]
        for name in dirs + files:
            path = os.path.join(base, name)
            relative = os.path.relpath(path, folder).replace(os.sep, "/")
            if os.path.islink(path):
                found[relative] = ("link", os.readlink(path))
            elif os.path.isdir(path):
                found[relative] = ("folder",)
            else:
                try:
                    dos = os.getxattr(path, "user.DOSATTRIB")
                except OSError:
                    dos = None
                found[relative] = ("file", read_bytes(path), seconds(path), is_writable(path), dos)
    return found


def remove(path):
    """Removes a file, link or folder tree, read-only files included; nothing if absent."""
    if os.path.islink(path):
        os.remove(path)
    elif os.path.isfile(path):
        os.chmod(path, 0o644)
        os.remove(path)
    elif os.path.isdir(path):
        for base, dirs, files in os.walk(path):
            for name in files:
                full = os.path.join(base, name)
                if not os.path.islink(full):
                    os.chmod(full, 0o644)
        shutil.rmtree(path, ignore_errors=True)


# --- Pictures --------------------------------------------------------------------------------


class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i : i + 3])

    def colours(self, left, top, width, height):
        """How many pixels of each colour the rectangle holds."""
        counts = {}
        for y in range(top, top + height):
            for x in range(left, left + width):
                colour = self.pixel(x, y)
                counts[colour] = counts.get(colour, 0) + 1
        return counts

    def save_png(self, path):
        rows = b"".join(
            b"\0" + self.rgb[y * self.width * 3 : (y + 1) * self.width * 3]
            for y in range(self.height)
        )

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n")
            out.write(chunk(b"IHDR", header))
            out.write(chunk(b"IDAT", zlib.compress(rows, 9)))
            out.write(chunk(b"IEND", b""))


def parse_ppm(data):
    match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    expect(match is not None, "import gave no PPM picture")
    width, height, maximum = (int(g) for g in match.groups())
    expect(maximum == 255, "import gave a picture of more than 8 bits a channel")
    rgb = data[match.end() : match.end() + width * height * 3]
    expect(len(rgb) == width * height * 3, "the picture from import is cut short")
    return Picture(width, height, rgb)


# --- The environment of a run ----------------------------------------------------------------


class Environment:
    def __init__(self, source_dir, driver_dir, setup_exe, sample_dist):
        self.source_dir = os.path.abspath(source_dir)
        self.driver = os.path.join(os.path.abspath(driver_dir), "e2e_driver.exe")
        self.setup_exe = os.path.abspath(setup_exe)
        self.sample_dist = os.path.abspath(sample_dist)
        self.sample_dir = os.path.join(self.source_dir, "sample")
        self.wine_run = os.path.join(self.source_dir, "scripts", "wine-run.sh")
        build_root = os.environ.get("ZELNAR_BUILD_ROOT", os.path.join(self.source_dir, "build"))
        self.prefix = os.environ.get("ZELNAR_WINEPREFIX", os.path.join(build_root, "wineprefix"))
        self.screenshots = os.path.join(build_root, "screenshots")
        self.build_root = build_root
        self._folders = {}

    def unix(self, windows_path):
        """Where a Windows path of the prefix lies on the Unix side (names matched without
        regard to case, as Windows does)."""
        drive, _, rest = windows_path.partition(":")
        path = os.path.realpath(os.path.join(self.prefix, "dosdevices", drive.lower() + ":"))
        for part in [p for p in rest.split("\\") if p]:
            candidate = os.path.join(path, part)
            if not os.path.exists(candidate) and os.path.isdir(path):
                for name in os.listdir(path):
                    if name.lower() == part.lower():
                        candidate = os.path.join(path, name)
                        break
            path = candidate
        return path

    def wine(self, *args):
        """Runs a Wine program of the prefix (reg, ...) and returns its output."""
        out = subprocess.run([self.wine_run, *args], capture_output=True, text=True,
                             env=dict(os.environ, **WINE_LOCALE),
                             errors="replace", stdin=subprocess.DEVNULL, timeout=60)
        expect(out.returncode == 0, f"wine {' '.join(args)} failed: {out.stdout}{out.stderr}")
        return out.stdout

    def shell_folders(self, per_user):
        """The desktop and programs folders that the registry of the prefix names, read from the
        running registry (its files on disk may lag behind a change by half a minute)."""
        if per_user:
            key, names = "HKCU", ("Desktop", "Programs")
        else:
            key, names = "HKLM", ("Common Desktop", "Common Programs")
        if (key, names) not in self._folders:
            text = self.wine("reg", "query", key + "\\" + SHELL_FOLDERS_KEY)
            values = dict(re.findall(r"^ {4}(.+?) {4}REG_SZ {4}(.*?)\r?$", text, re.M))
            expect(all(name in values for name in names),
                   f"no {' and '.join(names)} among the {key} shell folders:\n{text}")
            self._folders[(key, names)] = tuple(values[name] for name in names)
        return self._folders[(key, names)]

    # A run that changes the machine's shell folders leaves the values to restore in a file of
    # the build tree until it has restored them, so that a run killed half-way is mended by the
    # next one that takes the shell folders' lock.
    def shell_folders_restore_file(self):
        return os.path.join(self.build_root, "shell-folders-restore.reg")

    def restore_shell_folders(self):
        saved = self.shell_folders_restore_file()
        if os.path.exists(saved):
            self.wine("reg", "import", win(saved))
            os.remove(saved)
            self._folders = {}

    def system_folders(self):
        system = self.unix("C:\\windows\\system32")
        return {
            "W": self.unix("C:\\windows"),
            "S": system,
            "D": os.path.join(system, "drivers"),
        }


# --- One scenario run ------------------------------------------------------------------------


class Scenario:
    """The working state of one scenario: its temporary folder (distribution, working folder,
    scripts, logs), the places outside it to clean, and the driver runs."""

    def __init__(self, env, name):
        self.env = env
        self.name = name
        self.tmp = tempfile.mkdtemp(prefix=f"zelnar-e2e-{name}-")
        self.dist = os.path.join(self.tmp, "dist")
        self.work = os.path.join(self.tmp, "work")
        os.makedirs(self.dist)
        os.makedirs(self.work)
        self.outside = []  # places outside tmp that the scenario may fill
        self.runs = 0
        self.statuses = []
        self.pictures = {}  # screenshot path: Picture, with .status the status line's rectangle
        self.display = None
        self.xvfb = None

    # Places outside the temporary folder are emptied before the run and after it.
    def claim(self, *paths):
        for path in paths:
            remove(path)
            self.outside.append(path)

    def cleanup(self):
        if self.xvfb:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
        for path in self.outside:
            remove(path)
        remove(self.tmp)

    def start_display(self):
        """An X display of the scenario's own: X has one keyboard focus per display, and Wine
        follows it, so scenarios that share a display take the focus from each other."""
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"],
            pass_fds=[write_end], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as reader:
            while not number.endswith(b"\n"):
                chunk = reader.read(1)
                if not chunk:
                    break
                number += chunk
        expect(number.strip().isdigit(), "Xvfb did not start")
        self.display = ":" + number.decode().strip()

    def run(self, script, screenshots=()):
        """Runs the driver on the script and returns the status texts it recorded."""
        self.runs += 1
        status_log = os.path.join(self.tmp, f"status-{self.runs}.log")
        script_path = os.path.join(self.tmp, f"script-{self.runs}.txt")
        with open(script_path, "w", encoding="latin-1") as file:
            file.write(f"status-log {quote(win(status_log))}\n")
            for line in script.strip().splitlines():
                file.write(line.strip() + "\n")
        print(f"--- driver run {self.runs}:\n" + open(script_path, encoding="latin-1").read())
        for png in screenshots:
            os.makedirs(os.path.dirname(png), exist_ok=True)
        pending = list(screenshots)
        for png in pending:  # a request left by an earlier run that was cut short
            if os.path.exists(png + ".request"):
                os.remove(png + ".request")
        # The driver writes to a file: a pipe could be held open by what it started.
        output_path = os.path.join(self.tmp, f"driver-{self.runs}.out")
        if not self.display:
            self.start_display()
        started = time.time()
        with open(output_path, "wb") as output:
            process = subprocess.Popen(
                [self.env.wine_run, self.env.driver, win(script_path)],
                stdout=output,
                stderr=subprocess.STDOUT,
                stdin=subprocess.DEVNULL,
                env=dict(os.environ, DISPLAY=self.display, **WINE_LOCALE),
            )
        try:
            while process.poll() is None:
                for png in [p for p in pending if os.path.exists(p + ".request")]:
                    self.take_screenshot(png)
                    pending.remove(png)
                if time.time() - started > DRIVER_LIMIT_S:
                    raise ScenarioFailure(f"the driver did not end within {DRIVER_LIMIT_S} s")
                time.sleep(0.02)
        finally:
            # Ending the driver ends setup.exe too (it runs in the driver's job).
            if process.poll() is None:
                process.kill()
                process.wait(10)
            print(read_bytes(output_path).decode("latin-1"))
        self.statuses = []
        if os.path.exists(status_log):
            self.statuses = read_bytes(status_log).decode("latin-1").split("\x1e")[:-1]
        print("status line texts, in order:")
        for status in self.statuses:
            print("  " + quote(status))
        expect(process.returncode == 0, f"driver run {self.runs} failed (see its output above)")
        return self.statuses

    def take_screenshot(self, png):
        with open(png + ".request") as file:
            words = file.read().split()
        window = words[0]
        status = tuple(int(n) for n in words[2:6])  # left, top, width, height in the window
        picture = parse_ppm(
            subprocess.run(
                ["import", "-window", window, "-depth", "8", "ppm:-"],
                capture_output=True,
                check=True,
                timeout=30,
                env=dict(os.environ, DISPLAY=self.display),
            ).stdout
        )
        picture.save_png(png)
        picture.status = status
        self.pictures[png] = picture
        os.remove(png + ".request")
        print(f"screenshot of window {window}: {png}")

    # The install directory a scenario chooses lies in its own temporary folder.
    def install_dir(self, name="Zelnar"):
        return os.path.join(self.tmp, name)

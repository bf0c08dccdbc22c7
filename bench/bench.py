#!/usr/bin/env python3
"""Benchmark of pagrimo against the bare walk (find) and tree -H.

Generates the trees deterministically, times every command several times
(median reported), records peak memory with /usr/bin/time -v, and checks
every page pagrimo writes against pages computed here from the tree itself,
and against the pages of every other run of the same command.
Started by bench/run.sh, which installs what this needs.
"""

import argparse
import hashlib
import json
import locale
import os
import shutil
import statistics
import subprocess
import sys
import time

# ---------------------------------------------------------------- trees


class Rng:
    """A small xorshift generator, so the trees never depend on Python's."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFFFFFFFFFF
        x ^= x >> 7
        x ^= (x << 17) & 0xFFFFFFFFFFFFFFFF
        self.state = x
        return x

    def below(self, n):
        return self.next() % n

    def pick(self, items):
        return items[self.below(len(items))]


STEMS = ["IMG_{:05d}", "DSC{:05d}", "Photo {}", "photo {}", "写真_{}", "スナップ {}",
         "Café été {}", "Ärger{}", "zoë {}", "Øresund {}", "niño_{}", "Élan {}",
         "summer-{}", "P{:07d}", "ｶﾒﾗ{}", "海と山 {}"]
IMAGE_EXTS = [".jpg", ".JPG", ".jpeg", ".JPEG", ".Jpg", ".png", ".PNG", ".Png",
              ".gif", ".GIF", ".bmp", ".BMP"]
DECOYS = ["{}.txt", "{}.jpg.bak", "{}.JPE", "{}.tif", "{}.jpeg.xmp", "{} notes.md",
          "{}.png.txt", "Thumbs{}.db", "{}.html", "{}.mov"]
FOLDER_STEMS = ["trip {}", "Album {}", "旅行{}", "été {}", "raw_{}", "Zoo {}",
                "2019-{:02d}", "family {}", "Kyōto {}", "misc{}"]
EPOCH_2001 = 978307200


def make_file(path, rng):
    """A zero-length or sparse file, with a deterministic size and time."""
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    if rng.below(4) != 0:
        os.ftruncate(fd, rng.below(8_000_000))  # sparse: no disk blocks
    os.close(fd)
    stamp = EPOCH_2001 + rng.below(25 * 365 * 86400)
    os.utime(path, (stamp, stamp))


def image_name(rng, serial):
    stem = rng.pick(STEMS).format(serial)
    # Now and then a name that differs from another only in letter case.
    if rng.below(50) == 0:
        stem = stem.upper()
    return stem + rng.pick(IMAGE_EXTS)


def decoy_name(rng, serial):
    return rng.pick(DECOYS).format("file {}".format(serial) if rng.below(2) else serial)


def generate_wide(root, images, others, folders, seed):
    """folders folders up to 5 deep below root; images and others spread over them."""
    rng = Rng(seed)
    os.makedirs(root)
    paths = [root]
    depths = [0]
    used = [set()]
    for i in range(1, folders):
        while True:
            parent = rng.below(len(paths))
            if depths[parent] < 5:
                break
        stem = rng.pick(FOLDER_STEMS)
        name = stem.format(i % 100 if "02d" in stem else i)
        if name in used[parent]:
            name += " ({})".format(i)
        used[parent].add(name)
        paths.append(os.path.join(paths[parent], name))
        depths.append(depths[parent] + 1)
        used.append(set())
        os.mkdir(paths[-1])
    # One folder in five holds no images of its own.
    holders = [k for k in range(len(paths)) if rng.below(5) != 0]
    # A folder whose name looks like an image is still a folder.
    os.mkdir(os.path.join(root, "not a picture.jpg"))
    for serial in range(images):
        k = rng.pick(holders)
        name = image_name(rng, serial)
        if name in used[k]:
            name = "{} {}".format(serial, name)
        used[k].add(name)
        make_file(os.path.join(paths[k], name), rng)
    for serial in range(others):
        k = rng.below(len(paths))
        name = decoy_name(rng, serial)
        if name in used[k]:
            name = "{} {}".format(serial, name)
        used[k].add(name)
        make_file(os.path.join(paths[k], name), rng)


def generate_flat(root, images, others, seed):
    rng = Rng(seed)
    os.makedirs(root)
    used = set()
    for serial in range(images):
        name = image_name(rng, serial)
        if name in used:
            name = "{} {}".format(serial, name)
        used.add(name)
        make_file(os.path.join(root, name), rng)
    for serial in range(others):
        name = decoy_name(rng, serial)
        if name in used:
            name = "{} {}".format(serial, name)
        used.add(name)
        make_file(os.path.join(root, name), rng)


ODD_PIECES = ["a", "B", "z", "é", "É", "e", "è", "ë", "Ä", "ä", "ö", "Ø", "ß", "ss", "ñ", "ç",
              "æ", "Æ", "œ", "写", "真", "ス", "ナ", "ｶ", "ﾒ", "か", "が", "ー", "1", "2", "0",
              "10", " ", "-", "_", ".", "(", "'", "#", "%", "&", "[", "]", "~", "ı", "İ", "ſ",
              "ﬁ", "Ω", "ω", "Я", "ё", "ǅ", "ǆ", "Ĳ", "①", "½", "²", "ａ", "Ａ", "\\"]


def generate_odd(root, count, seed):
    """Names that stress case folding and collation, some not even UTF-8."""
    rng = Rng(seed)
    os.makedirs(os.path.join(root, "Sub é"))
    os.makedirs(os.path.join(root, "sub E", "[filename]"))
    folders = [root, os.path.join(root, "Sub é"), os.path.join(root, "sub E", "[filename]")]
    used = set()
    for serial in range(count):
        name = "".join(rng.pick(ODD_PIECES) for _ in range(1 + rng.below(5)))
        name += rng.pick(IMAGE_EXTS + [".txt"])
        path = os.path.join(rng.pick(folders), name)
        if path not in used:
            used.add(path)
            make_file(path, rng)
    for raw in [b"\xff\xfeab.jpg", b"caf\xe9.jpg", b"\xc3.JPG", b"A\x80b.png", b"\xed\xa0\x80x.gif",
                b"\xf8\x88\x80\x80\x80.gif", b"\xe6\x97.png"]:
        make_file(os.fsencode(root) + b"/" + raw, rng)


def ensure_tree(work, name, kind, sizes):
    """Generates a tree once; a stamp file tells whether an existing one fits."""
    root = os.path.join(work, name)
    stamp = os.path.join(work, name + ".stamp")
    want = "v1 {} {}".format(kind, sizes)
    if os.path.isdir(root) and os.path.exists(stamp) and open(stamp).read() == want:
        return root
    if os.path.exists(root):
        shutil.rmtree(root)
    started = time.perf_counter()
    if kind == "wide":
        generate_wide(root, *sizes, seed=20261207)
    elif kind == "odd":
        generate_odd(root, *sizes, seed=1)
    else:
        generate_flat(root, *sizes, seed=50000)
    with open(stamp, "w") as f:
        f.write(want)
    print("generated {} ({}) in {:.1f} s".format(root, sizes, time.perf_counter() - started),
          flush=True)
    return root


# ------------------------------------------------------------ templates

BOM = "\ufeff"
PAGE_LINES = [
    "<!DOCTYPE html>",
    '<html><head><meta charset="utf-8"><title>[path]</title></head><body>',
    "<p>[numfile] pictures, [numdir] folders</p>",
    "<ul>",
    "[dirlist]</ul>",
    "<table>",
    "[filelist]</table>",
    "</body></html>",
]
FOLDER_ITEM_LINES = ['<li><a href="[relfile]">[reldir]</a></li>']
FULL_ITEM_LINES = ['<tr><td><a href="[filename]">[filename]</a></td>'
                   "<td>[filesize]</td><td>[filedate]</td></tr>"]
NAMES_ITEM_LINES = ['<li><a href="[filename]">[filename]</a></li>']
# A gallery item of about 4 KB (a caption and a long block of markup that
# stands for inline styles and metadata), for one page of 80,000 of them.
BIG_ITEM_LINES = ['<figure><a href="[filename]"><img src="[filename]" alt="[filename]"></a>',
                  "<figcaption>[filename] [filesize] bytes [filedate]</figcaption>",
                  "<!-- " + " ".join("meta-{:04d}".format(i) for i in range(390)) + " -->",
                  "</figure>"]


def template_text(mode, item_lines):
    lines = ["{},0".format(mode)] + PAGE_LINES + ["*"] + FOLDER_ITEM_LINES + ["*"]
    lines += item_lines + ["*"]
    return BOM + "\r\n".join(lines) + "\r\n"


def section(lines):
    """A section as the program loads it: lines joined by CR LF, plus CR LF."""
    return "\r\n".join(lines) + "\r\n"


# ------------------------------------------------- pages computed here


def is_image(name):
    return name.encode().lower().endswith((b".gif", b".jpg", b".jpeg", b".png", b".bmp"))


class Model:
    """Computes the pages the program must write, from the tree as it stands."""

    def __init__(self, loc):
        locale.setlocale(locale.LC_ALL, loc)
        self.plain = loc.startswith("C.") or loc in ("C", "POSIX")
        plain_dates = locale.nl_langinfo(locale.D_FMT) == "%m/%d/%y"
        self.date_format = "%Y-%m-%d %H:%M:%S" if plain_dates else "%x %X"
        self.scans = {}

    def key(self, name):
        low = name.lower()
        return low if self.plain else locale.strxfrm(low)

    def scan(self, path):
        """Subfolders and images of a folder, each sorted; ties keep listing order."""
        if path not in self.scans:
            folders, images = [], []
            with os.scandir(path) as it:
                for entry in it:
                    if entry.name.startswith("."):
                        continue
                    if entry.is_dir():
                        folders.append(entry.name)
                    elif entry.is_file() and is_image(entry.name):
                        images.append(entry.name)
            self.scans[path] = (sorted(folders, key=self.key), sorted(images, key=self.key))
        return self.scans[path]

    def tree_images(self, path):
        folders, images = self.scan(path)
        result = []
        for name in folders:
            result += [name + "/" + sub for sub in self.tree_images(os.path.join(path, name))]
        return result + images

    def file_item(self, text, folder_path, name, fileid, count):
        r = text.replace("[path]", folder_path).replace("[numfile]", str(count))
        r = r.replace("[fileid]", str(fileid)).replace("[numfile-]", str(count - 1))
        r = r.replace("[fileid-]", str(fileid - 1)).replace("[filename]", name)
        if "[filesize]" in r or "[filedate]" in r:
            st = os.stat(folder_path + name)
            r = r.replace("[filesize]", str(st.st_size))
            r = r.replace("[filedate]",
                          time.strftime(self.date_format, time.localtime(st.st_mtime)))
        r = r.replace("[path\\]", folder_path.replace("\\", "\\\\"))
        return r.replace("[filename\\]", name.replace("\\", "\\\\"))

    def folder_item(self, text, folder_path, name, link):
        r = text.replace("[reldir]", name).replace("[relfile]", link)
        r = r.replace("[dir]", folder_path + name).replace("[file]", folder_path + link)
        r = r.replace("[reldir\\]", name.replace("\\", "\\\\"))
        r = r.replace("[relfile\\]", link.replace("\\", "\\\\"))
        r = r.replace("[dir\\]", (folder_path + name).replace("\\", "\\\\"))
        return r.replace("[file\\]", (folder_path + link).replace("\\", "\\\\"))

    def page(self, folder_path, images, folders, item_text):
        n, m = len(images), len(folders)
        file_list = "".join(self.file_item(item_text, folder_path, name, j + 1, n)
                            for j, name in enumerate(images))
        dir_list = "".join(self.folder_item(section(FOLDER_ITEM_LINES), folder_path, s, s + "/" + p)
                           for s, p in folders)
        r = section(PAGE_LINES).replace("[path]", folder_path)
        r = r.replace("[path\\]", folder_path.replace("\\", "\\\\"))
        r = r.replace("[numfile]", str(n)).replace("[numdir]", str(m))
        r = r.replace("[numfile-]", str(n - 1)).replace("[numdir-]", str(m - 1))
        r = r.replace("[dirlist]", dir_list).replace("[filelist]", file_list)
        return (BOM + r).encode()

    def pages(self, root, mode, item_lines):
        """{page path relative to root: bytes} for one run of the program on root."""
        item_text = section(item_lines)
        result = {}

        def build(path, rel):
            folder_path = path + "/"
            folders, images = self.scan(path)
            links = []
            if mode == 2:
                for name in folders:
                    sub_rel = rel + name + "/"
                    if build(folder_path + name, sub_rel):
                        links.append((name, "index.html"))
            elif mode == 1:
                images = self.tree_images(path)
            if not images and not links:
                return False
            result[rel + "index.html"] = self.page(folder_path, images, links, item_text)
            return True

        build(root, "")
        return result


def written_pages(root, mode):
    """The pages a run in this mode leaves, read back: {relative path: bytes}."""
    if mode != 2:
        with open(os.path.join(root, "index.html"), "rb") as f:
            return {"index.html": f.read()}
    result = {}
    for folder, _, files in os.walk(root):
        if "index.html" in files:
            rel = os.path.relpath(os.path.join(folder, "index.html"), root)
            with open(os.path.join(folder, "index.html"), "rb") as f:
                result[rel] = f.read()
    return result


def digest(pages):
    h = hashlib.sha256()
    for rel in sorted(pages):
        h.update(rel.encode() + b"\0" + hashlib.sha256(pages[rel]).digest())
    return h.hexdigest()


def first_difference(expected, actual):
    for rel in sorted(set(expected) | set(actual)):
        if rel not in actual:
            return "{}: not written".format(rel)
        if rel not in expected:
            return "{}: written, but no page was expected".format(rel)
        if expected[rel] != actual[rel]:
            e, a = expected[rel].split(b"\n"), actual[rel].split(b"\n")
            for i, (x, y) in enumerate(zip(e, a)):
                if x != y:
                    return "{} line {}:\n  expected {!r}\n  written  {!r}".format(
                        rel, i + 1, x[:300], y[:300])
            return "{}: {} lines expected, {} written".format(rel, len(e), len(a))
    return None


# -------------------------------------------------------------- running

FIND_IMAGES = ["(", "-iname", "*.gif", "-o", "-iname", "*.jpg", "-o", "-iname", "*.jpeg",
               "-o", "-iname", "*.png", "-o", "-iname", "*.bmp", ")"]


class Command:
    def __init__(self, label, tree, argv, env, output, mode=None, goal=None, app=None,
                 timed=True, fresh=False, stale=None, memory_bound=False):
        self.label = label      # what the table calls it
        self.tree = tree        # the tree's name
        self.argv = argv
        self.env = env
        self.output = output    # where standard output goes
        self.mode = mode        # listing mode, for pagrimo's commands
        self.goal = goal        # highest ratio to the floor, or None
        self.app = app          # the install folder, for pagrimo's commands
        self.timed = timed      # False: its pages are checked, its time is not taken
        self.fresh = fresh      # True: the tree's pages are removed before each run
        self.stale = stale      # 1 or "all": pages made out of date before each run
        self.memory_bound = memory_bound  # True: a peak above the limit fails the run
        self.walls, self.cpus, self.peaks = [], [], []
        self.page_digest = None
        self.largest_page = 0


def install(work, binary, name, text):
    """A copy of the program in its own folder, with settings and one template."""
    folder = os.path.join(work, "apps", name)
    os.makedirs(folder, exist_ok=True)
    shutil.copy2(binary, os.path.join(folder, "pagrimo"))
    with open(os.path.join(folder, "pagrimo.ini"), "w", newline="") as f:
        f.write("[Pagrimo]\r\ndefault=t.dat\r\n")
    with open(os.path.join(folder, "t.dat"), "w", encoding="utf-8", newline="") as f:
        f.write(text)
    return os.path.join(folder, "pagrimo")


def remove_pages(root):
    for folder, _, files in os.walk(root):
        if "index.html" in files:
            os.unlink(os.path.join(folder, "index.html"))


def make_stale(root, count):
    """Makes count pages (or "all") out of date, as a changed folder would:
    each gets a line more, so the run has to replace it."""
    pages = sorted(os.path.join(folder, "index.html") for folder, _, files in os.walk(root)
                   if "index.html" in files)
    for page in pages if count == "all" else pages[-count:]:
        with open(page, "ab") as f:
            f.write(b"<!-- out of date -->\r\n")


def run_once(cmd, work):
    """Runs a command under /usr/bin/time -v: (wall seconds, CPU seconds, peak KiB)."""
    report = os.path.join(work, "time.txt")
    if cmd.fresh:
        remove_pages(cmd.argv[-1])
    if cmd.stale:
        make_stale(cmd.argv[-1], cmd.stale)
    with open(cmd.output, "wb") as out:
        started = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-v", "-o", report] + cmd.argv, env=cmd.env,
                              stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.PIPE)
        wall = time.perf_counter() - started
    if done.returncode != 0:
        raise SystemExit("{} failed with status {}: {}".format(
            " ".join(cmd.argv), done.returncode, done.stderr.decode(errors="replace")))
    fields = {}
    with open(report) as f:
        for line in f:
            key, _, value = line.strip().rpartition(": ")
            fields[key] = value
    cpu = float(fields["User time (seconds)"]) + float(fields["System time (seconds)"])
    return wall, cpu, int(fields["Maximum resident set size (kbytes)"])


def ratio_text(value, floor):
    return "{:.2f}x".format(value / floor) if floor > 0 else "-"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--small", action="store_true", help="trees of a twentieth the size")
    parser.add_argument("--runs", type=int, default=5, help="timed runs of each command")
    parser.add_argument("--binary", default="build/pagrimo", help="the program to measure")
    parser.add_argument("--baseline", help="an earlier build whose pages must be identical")
    parser.add_argument("--work", default="/tmp/pagrimo-bench", help="trees and copies go here")
    parser.add_argument("--locales", default="C.UTF-8,en_US.UTF-8")
    parser.add_argument("--save-digests", metavar="FILE",
                        help="write a checksum of every command's pages to FILE")
    parser.add_argument("--check-digests", metavar="FILE",
                        help="require the checksums that an earlier --save-digests wrote")
    args = parser.parse_args()

    scale = 20 if args.small else 1
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    trees = {
        "wide": ensure_tree(work, "wide" + ("-small" if args.small else ""), "wide",
                            (100_000 // scale, 20_000 // scale, 2_000 // scale)),
        "flat": ensure_tree(work, "flat" + ("-small" if args.small else ""), "flat",
                            (50_000 // scale, 2_000 // scale)),
        "wide/10": ensure_tree(work, "wide-tenth" + ("-small" if args.small else ""), "wide",
                               (10_000 // scale, 2_000 // scale, 200 // scale)),
        "flat/10": ensure_tree(work, "flat-tenth" + ("-small" if args.small else ""), "flat",
                               (5_000 // scale, 200 // scale)),
        "huge": ensure_tree(work, "huge" + ("-small" if args.small else ""), "flat",
                            (80_000 // scale, 0)),
    }
    # Odd names are not timed; their pages must equal the baseline's.
    odd = ensure_tree(work, "odd", "odd", (3000,))
    full = {m: template_text(m, FULL_ITEM_LINES) for m in (0, 1, 2)}
    names = {m: template_text(m, NAMES_ITEM_LINES) for m in (0, 1)}
    # Mode 2 runs over a tree whose pages are up to date (the goal), and below
    # also without pages, with one page and with every page out of date.
    programs = [("mode 0, name+size+date", 0, full[0], ["flat", "flat/10", "odd"], 1.2),
                ("mode 1, name+size+date", 1, full[1], ["wide", "wide/10", "odd"], 1.0),
                ("mode 2, name+size+date", 2, full[2], ["wide", "wide/10", "odd"], 1.0),
                ("mode 0, names only", 0, names[0], ["flat"], 0.6),
                ("mode 1, names only", 1, names[1], ["wide", "odd"], 0.6),
                ("mode 0, 4 KB items", 0, template_text(0, BIG_ITEM_LINES), ["huge"], None)]
    binaries = {"current": os.path.abspath(args.binary)}
    if args.baseline:
        binaries["baseline"] = os.path.abspath(args.baseline)
    apps = {}
    for key, binary in binaries.items():
        for label, mode, text, _, _ in programs:
            apps[key, label] = install(work, binary, "{}-{}".format(
                key, label.replace(" ", "").replace(",", "-").replace("+", "")), text)

    failures = []
    results = {}
    digests = {}
    for loc in args.locales.split(","):
        model = Model(loc)
        base_env = {k: v for k, v in os.environ.items()
                    if not k.startswith("LC_") and k not in ("LANG", "LANGUAGE", "TZ")}
        base_env["LC_ALL"] = loc
        os.environ.pop("TZ", None)
        time.tzset()
        # find and tree get TZ set, their best case; pagrimo runs as a user starts it.
        tz_env = dict(base_env, TZ=":/etc/localtime")
        out = os.path.join(work, "out")
        commands = []
        for label, mode, text, on, goal in programs:
            if "odd" in on:
                commands.append(Command("pagrimo " + label, "odd", [apps["current", label], odd],
                                        base_env, out + ".pagrimo", mode, None,
                                        ("current", label), timed=False))
        for tree_name, root in trees.items():
            if tree_name == "huge":
                # One page of 80,000 pictures (320 MB): written whole, in bounded memory.
                label = "mode 0, 4 KB items"
                commands.append(Command("pagrimo " + label + " (one big page)", tree_name,
                                        [apps["current", label], root], base_env,
                                        out + ".pagrimo", 0, None, ("current", label),
                                        memory_bound=True))
                continue
            commands.append(Command("find floor", tree_name, ["find", root, "-type", "f"] +
                                    FIND_IMAGES + ["-printf", "%P %s %TY-%Tm-%Td %TH:%TM:%TS\\n"],
                                    tz_env, out + ".find"))
            if "/" not in tree_name:
                commands.append(Command("tree -H", tree_name,
                                        ["tree", "-H", ".", "-P", "*.gif|*.jpg|*.jpeg|*.png|*.bmp",
                                         "--ignore-case", "-s", "-D", "-o", out + ".tree.html",
                                         root], tz_env, out + ".tree"))
            for label, mode, text, on, goal in programs:
                if tree_name in on:
                    commands.append(Command(
                        "pagrimo " + label + (", nothing changed" if mode == 2 else ""),
                        tree_name, [apps["current", label], root], base_env, out + ".pagrimo",
                        mode, goal if "/" not in tree_name else None, ("current", label)))
                    if mode == 2:
                        # The same over a tree without pages (the first run),
                        # and with one page or every page to replace.
                        variants = [(", first run (no pages)", dict(fresh=True))]
                        if "/" not in tree_name:
                            variants += [(", one folder changed", dict(stale=1)),
                                         (", every page changed", dict(stale="all"))]
                        for suffix, how in variants:
                            commands.append(Command("pagrimo " + label + suffix, tree_name,
                                                    [apps["current", label], root], base_env,
                                                    out + ".pagrimo", mode, None,
                                                    ("current", label), **how))
        print("\n== {}: checking the pages".format(loc), flush=True)
        expected_cache = {}
        for cmd in commands:
            run_once(cmd, work)  # also warms the cache
            if cmd.mode is None:
                continue
            root = trees.get(cmd.tree, odd)
            label = cmd.app[1]
            pages = written_pages(root, cmd.mode)
            key = (cmd.tree, label)
            if not cmd.timed:
                # No model for names that are not even UTF-8: run it again instead.
                run_once(cmd, work)
                if digest(written_pages(root, cmd.mode)) != digest(pages):
                    failures.append("{} {} on {}: pages differ between runs".format(
                        loc, cmd.label, cmd.tree))
            elif key not in expected_cache:
                item = (BIG_ITEM_LINES if "4 KB" in label else
                        FULL_ITEM_LINES if "size" in label else NAMES_ITEM_LINES)
                expected_cache[key] = model.pages(root, cmd.mode, item)
            problem = first_difference(expected_cache[key], pages) if cmd.timed else None
            if problem:
                failures.append("{} {} on {}: {}".format(loc, cmd.label, cmd.tree, problem))
            cmd.page_digest = digest(pages)
            digests["{} | {} | {}".format(loc, cmd.tree, cmd.label)] = cmd.page_digest
            cmd.largest_page = max(len(p) for p in pages.values())
            if args.baseline:
                base = Command(cmd.label, cmd.tree, [apps["baseline", label], root], base_env,
                               out + ".baseline", cmd.mode)
                run_once(base, work)
                if digest(written_pages(root, cmd.mode)) != cmd.page_digest:
                    failures.append("{} {} on {}: pages differ from the baseline's".format(
                        loc, cmd.label, cmd.tree))
        print("== {}: timing {} runs of {} commands".format(loc, args.runs, len(commands)),
              flush=True)
        commands = [c for c in commands if c.timed]
        for _ in range(args.runs):
            for cmd in commands:
                wall, cpu, peak = run_once(cmd, work)
                cmd.walls.append(wall)
                cmd.cpus.append(cpu)
                cmd.peaks.append(peak)
                if cmd.mode is not None and \
                        digest(written_pages(trees[cmd.tree], cmd.mode)) != cmd.page_digest:
                    failures.append("{} {} on {}: pages differ between runs".format(
                        loc, cmd.label, cmd.tree))
        results[loc] = commands
        report(loc, commands)
        for cmd in commands:
            # Every run of the program keeps to its limit: the page it holds
            # and its start, which maps no picture or clip library.
            bound = cmd.memory_bound or cmd.mode is not None
            if bound and statistics.median(cmd.peaks) / 1024 > memory_limit(cmd):
                failures.append("{} {} on {}: peak memory {:.0f} MB above its limit {:.0f} MB"
                                .format(loc, cmd.label, cmd.tree,
                                        statistics.median(cmd.peaks) / 1024, memory_limit(cmd)))

    if args.save_digests:
        with open(args.save_digests, "w") as f:
            json.dump(digests, f, indent=1, sort_keys=True, ensure_ascii=False)
    if args.check_digests:
        with open(args.check_digests) as f:
            earlier = json.load(f)
        for key, value in sorted(digests.items()):
            if key in earlier and earlier[key] != value:
                failures.append("{}: pages differ from the saved checksum".format(key))
            elif key not in earlier:
                print("no saved checksum for " + key)

    if failures:
        print("\nFAILED:")
        for failure in failures:
            print("  " + failure)
        return 1
    matched = ["the expected pages"]
    matched += ["the baseline's"] if args.baseline else []
    matched += ["the saved checksums"] if args.check_digests else []
    print("\nAll pages matched " + ", ".join(matched[:-1]) +
          (" and " if len(matched) > 1 else "") + matched[-1] + ".")
    return 0


def memory_limit(cmd):
    """Peak memory allowed, in MB: three times the largest page written, plus 10 MB."""
    return 3 * cmd.largest_page / 1048576 + 10


def report(loc, commands):
    def median(values):
        return statistics.median(values) if values else 0.0

    floors = {c.tree: median(c.walls) for c in commands if c.label == "find floor"}
    cpu_floors = {c.tree: median(c.cpus) for c in commands if c.label == "find floor"}
    by_key = {(c.tree, c.label): c for c in commands}
    print("\n### {}\n".format(loc))
    print("| tree | command | wall s (median) | x floor | goal | CPU s | CPU x floor | peak MB "
          "| memory limit |")
    print("|---|---|---:|---:|---|---:|---:|---:|---|")
    for c in commands:
        wall = median(c.walls)
        floor = floors.get(c.tree, 0)
        ratio = wall / floor if floor > 0 else 0
        goal = ""
        if c.goal is not None:
            goal = "<= {:.1f}x {}".format(c.goal, "met" if ratio <= c.goal else "MISSED")
        limit = ""
        peak_mb = median(c.peaks) / 1024
        if c.mode is not None:
            allowed = memory_limit(c)
            limit = "<= {:.0f} {}".format(allowed, "met" if peak_mb <= allowed else "MISSED")
        print("| {} | {} | {:.3f} | {} | {} | {:.2f} | {} | {:.1f} | {} |".format(
            c.tree, c.label, wall, ratio_text(wall, floor), goal, median(c.cpus),
            ratio_text(median(c.cpus), cpu_floors.get(c.tree, 0)), peak_mb, limit))
    print("\nGrowth, tenfold tree (at most 11x):\n")
    print("| command | tenth-size tree s | full tree s | growth |")
    print("|---|---:|---:|---|")
    for (tree, label), c in by_key.items():
        if not tree.endswith("/10"):
            continue
        big = by_key.get((tree[:-3], label))
        if big is None:
            continue
        small_wall, big_wall = median(c.walls), median(big.walls)
        growth = big_wall / small_wall if small_wall > 0 else 0
        verdict = "" if label == "find floor" else (" met" if growth <= 11 else " MISSED")
        print("| {} on {} | {:.3f} | {:.3f} | {:.1f}x{} |".format(
            label, tree[:-3], small_wall, big_wall, growth, verdict))
    sys.stdout.flush()


if __name__ == "__main__":
    sys.exit(main())

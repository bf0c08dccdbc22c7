#!/usr/bin/env python3
"""Benchmark of the sort orders: natural against name, taken against name.

natural vs name: the wide and flat trees of bench.py (same generator, same
sizes), names-only templates in listing modes 0 and 1 and the full template
in mode 2; every page is checked against pages computed here.
taken vs name: real JPEGs (one small picture, each copy given its own EXIF
date and a camera-sized EXIF block, then extended sparsely to the size of a
12-megapixel photo), in one folder and in 200 folders; every page is checked
to list its pictures oldest first.
Run with bench/run.sh's set-up done (en_US.UTF-8 generated, tree, time).
"""

import argparse
import os
import re
import shutil
import statistics
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench  # noqa: E402  (the trees, templates and page model)


def install(work, binary, name, text, sort):
    folder = os.path.join(work, "apps", name)
    os.makedirs(folder, exist_ok=True)
    shutil.copy2(binary, os.path.join(folder, "pagrimo"))
    with open(os.path.join(folder, "pagrimo.ini"), "w", newline="") as f:
        f.write("[Pagrimo]\r\ndefault=t.dat\r\n" + ("sort={}\r\n".format(sort) if sort else ""))
    with open(os.path.join(folder, "t.dat"), "w", encoding="utf-8", newline="") as f:
        f.write(text)
    return os.path.join(folder, "pagrimo")


# ------------------------------------------------------ natural order model

FULL_WIDTH = {chr(0xFF10 + d): str(d) for d in range(10)}


def natural_key(model, name):
    """The program's natural order: numbers by value, then by fewer leading
    zeros; the text between them by the name order's collation."""
    key = []
    for digits, text in re.findall(r"([0-9\uff10-\uff19]+)|([^0-9\uff10-\uff19]+)", name):
        if digits:
            plain = "".join(FULL_WIDTH.get(c, c) for c in digits)
            significant = plain.lstrip("0")
            key.append((1, len(significant), significant, len(plain) - max(len(significant), 1)))
        else:
            key.append((2, model.key(text)))
    return key


class NaturalModel(bench.Model):
    def scan(self, path):
        if path not in self.scans:
            folders, images = bench.Model.scan(self, path)  # listed and sorted by name
            self.scans[path] = (sorted(folders, key=lambda n: natural_key(self, n)),
                                sorted(images, key=lambda n: natural_key(self, n)))
        return self.scans[path]


# --------------------------------------------------------- dated JPEGs

def exif_block(when, padding):
    """APP1 with IFD0 and the Exif IFD holding DateTimeOriginal and a maker
    note of camera size; little-endian, as most cameras write."""
    date = when.encode() + b"\0"
    exif_at = 8 + 2 + 12 + 4
    data_at = exif_at + 2 + 2 * 12 + 4
    tiff = b"II*\0" + struct.pack("<I", 8)
    tiff += struct.pack("<H", 1) + struct.pack("<HHII", 0x8769, 4, 1, exif_at) + struct.pack("<I", 0)
    tiff += struct.pack("<H", 2)
    tiff += struct.pack("<HHII", 0x9003, 2, len(date), data_at)
    tiff += struct.pack("<HHII", 0x927C, 7, len(padding), data_at + len(date))  # MakerNote
    tiff += struct.pack("<I", 0) + date + padding
    payload = b"Exif\0\0" + tiff
    return b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload


def ensure_jpegs(work, name, count, folders, seed):
    """count JPEGs spread over folders folders (1: all in the root)."""
    root = os.path.join(work, name)
    stamp = root + ".stamp"
    want = "v1 {} {}".format(count, folders)
    if os.path.isdir(root) and os.path.exists(stamp) and open(stamp).read() == want:
        return root
    if os.path.exists(root):
        shutil.rmtree(root)
    os.makedirs(root)
    base = os.path.join(work, "base.jpg")
    subprocess.run(["convert", "-size", "320x240", "plasma:", "-quality", "85", "-strip", base],
                   check=True)
    picture = open(base, "rb").read()
    rng = bench.Rng(seed)
    padding = bytes(rng.below(256) for _ in range(20000))
    paths = [root] if folders == 1 else []
    for k in range(folders if folders > 1 else 0):
        paths.append(os.path.join(root, "day {}".format(k + 1)))
        os.mkdir(paths[-1])
    for serial in range(count):
        folder = paths[serial % len(paths)]
        path = os.path.join(folder, "IMG_{:05d}.JPG".format(rng.below(100000)))
        while os.path.exists(path):
            path = path[:-4] + "b.JPG"
        seconds = bench.EPOCH_2001 + rng.below(20 * 365 * 86400)
        with open(path, "wb") as f:
            if rng.below(10) == 0:
                f.write(picture)  # no EXIF: the file's date counts
            else:
                y, mo, d, h, mi, s = time.gmtime(seconds)[:6]
                when = "{:04d}:{:02d}:{:02d} {:02d}:{:02d}:{:02d}".format(y, mo, d, h, mi, s)
                f.write(picture[:2] + exif_block(when, padding) + picture[2:])
            f.truncate(5_000_000)  # a camera photo's size; sparse, no disk blocks
        os.utime(path, (seconds, seconds))
    with open(stamp, "w") as f:
        f.write(want)
    return root


def taken_of(path):
    """The date a picture was taken as the program reads it, for checking."""
    with open(path, "rb") as f:
        head = f.read(65536)
    found = re.search(rb"(\d{4}:\d\d:\d\d \d\d:\d\d:\d\d)\0", head)
    if found:
        return found.group(1).decode()
    return time.strftime("%Y:%m:%d %H:%M:%S", time.localtime(os.stat(path).st_mtime))


def check_taken(root, mode):
    """Every written page lists its pictures oldest first; None or a problem."""
    for rel, page in bench.written_pages(root, mode).items():
        folder = os.path.join(root, os.path.dirname(rel))
        names = re.findall(r'href="([^"]+\.JPG)"', page.decode("utf-8-sig"))
        dates = [taken_of(os.path.join(folder, n)) for n in names]
        if dates != sorted(dates):
            return "{}: not oldest first".format(rel)
    return None


# ------------------------------------------------------------------ main

def median_run(cmd, work, runs):
    """Median wall and CPU (user + system) seconds, the CPU time from the
    kernel's accounting of the finished process (microseconds, where
    /usr/bin/time gives hundredths). On a machine shared with other work the
    wall time mostly measures the wait for a core; the CPU time is what the
    program itself spent."""
    walls, cpus = [], []
    for _ in range(runs):
        started = time.perf_counter()
        proc = subprocess.Popen(cmd.argv, env=cmd.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(proc.pid, 0)
        walls.append(time.perf_counter() - started)
        proc.returncode = os.waitstatus_to_exitcode(status)
        if proc.returncode != 0:
            raise SystemExit("{} failed with status {}".format(" ".join(cmd.argv), proc.returncode))
        cpus.append(usage.ru_utime + usage.ru_stime)
    return statistics.median(walls), statistics.median(cpus)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--small", action="store_true", help="trees of a twentieth the size")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--binary", default="build/pagrimo")
    parser.add_argument("--work", default="/tmp/pagrimo-bench")
    parser.add_argument("--locales", default="C.UTF-8,en_US.UTF-8")
    parser.add_argument("--jpegs", type=int, default=10_000, help="dated JPEGs for taken")
    args = parser.parse_args()
    scale = 20 if args.small else 1
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    suffix = "-small" if args.small else ""
    trees = {
        "wide": bench.ensure_tree(work, "wide" + suffix, "wide",
                                  (100_000 // scale, 20_000 // scale, 2_000 // scale)),
        "flat": bench.ensure_tree(work, "flat" + suffix, "flat", (50_000 // scale, 2_000 // scale)),
    }
    jpegs = {
        "jpegs, 1 folder": (ensure_jpegs(work, "jpegs-flat-{}".format(args.jpegs), args.jpegs, 1, 7),
                            0),
        "jpegs, 200 folders": (ensure_jpegs(work, "jpegs-wide-{}".format(args.jpegs), args.jpegs,
                                            200, 8), 2),
    }
    binary = os.path.abspath(args.binary)
    names_item = bench.NAMES_ITEM_LINES
    full_item = bench.FULL_ITEM_LINES
    programs = [("mode 0, names only", 0, names_item, "flat"),
                ("mode 1, names only", 1, names_item, "wide"),
                ("mode 2, name+size+date", 2, full_item, "wide")]
    failures = []
    print("| locale | tree | template | name: wall s / CPU s | natural: wall s / CPU s "
          "| natural / name, wall | natural / name, CPU | goal (CPU) |")
    print("|---|---|---|---:|---:|---:|---:|---|")
    for loc in args.locales.split(","):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith("LC_") and k not in ("LANG", "LANGUAGE")}
        env["LC_ALL"] = loc
        models = {"name": bench.Model(loc), "natural": NaturalModel(loc)}
        for label, mode, item, tree in programs:
            root = trees[tree]
            text = bench.template_text(mode, item)
            times = {}
            for sort in ("name", "natural"):
                app = install(work, binary, "sort-{}-{}".format(sort, mode), text,
                              sort if sort != "name" else None)
                cmd = bench.Command(label, tree, [app, root], env, os.path.join(work, "out"), mode)
                bench.run_once(cmd, work)
                expected = models[sort].pages(root, mode, item)
                problem = bench.first_difference(expected, bench.written_pages(root, mode))
                if problem:
                    failures.append("{} {} {} on {}: {}".format(loc, sort, label, tree, problem))
                times[sort] = median_run(cmd, work, args.runs)
            (name_wall, name_cpu), (natural_wall, natural_cpu) = times["name"], times["natural"]
            ratio = natural_cpu / name_cpu
            print("| {} | {} | {} | {:.3f} / {:.3f} | {:.3f} / {:.3f} | {:.2f}x | {:.2f}x "
                  "| <= 1.1x {} |".format(loc, tree, label, name_wall, name_cpu, natural_wall,
                                          natural_cpu, natural_wall / name_wall, ratio,
                                          "met" if ratio <= 1.1 else "MISSED"), flush=True)
    loc = args.locales.split(",")[-1]
    env = dict(os.environ, LC_ALL=loc)
    print("\n| {} JPEGs | template | name: wall s / CPU s | taken: wall s / CPU s "
          "| taken / name, wall | taken / name, CPU |".format(args.jpegs))
    print("|---|---|---:|---:|---:|---:|")
    for label, (root, mode) in jpegs.items():
        text = bench.template_text(mode, full_item)
        times = {}
        for sort in ("name", "taken"):
            app = install(work, binary, "sort-{}-j{}".format(sort, mode), text,
                          sort if sort != "name" else None)
            cmd = bench.Command(label, label, [app, root], env, os.path.join(work, "out"), mode)
            bench.run_once(cmd, work)
            if sort == "taken":
                problem = check_taken(root, mode)
                if problem:
                    failures.append("taken on {}: {}".format(label, problem))
            times[sort] = median_run(cmd, work, args.runs)
        (name_wall, name_cpu), (taken_wall, taken_cpu) = times["name"], times["taken"]
        print("| {} | mode {}, name+size+date | {:.3f} / {:.3f} | {:.3f} / {:.3f} | {:.2f}x "
              "| {:.2f}x |".format(label, mode, name_wall, name_cpu, taken_wall, taken_cpu,
                                   taken_wall / name_wall, taken_cpu / name_cpu), flush=True)
    if failures:
        print("\nFAILED:\n  " + "\n  ".join(failures))
        return 1
    print("\nAll pages matched.")
    return 0


if __name__ == "__main__":
    sys.exit(main())

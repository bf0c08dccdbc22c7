#!/usr/bin/env python3
"""Preview benchmark: pagrimo making thumbnails and previews in one run over
camera JPEGs, against vipsthumbnail making the same two sizes and against
pagrimo making thumbnails only; the peak memory of the run; a re-run.

    bench/previews.sh [--count 120] [--runs 3] [--source JPEG] [--work DIR]

Two sets of --count camera JPEGs: 12 megapixels (copies of the thumbnail
benchmark's base picture, or of --source) and 24 megapixels (6000x4000, about
8 MB: the 12-megapixel picture tiled two by two and cropped at four offsets,
so four distinct files, each hard-linked --count/4 times). Both are made once
in --work and reused.

Commands, each on all cores, taking turns for --runs runs (median reported):
  vipsthumbnail -s 400 and vipsthumbnail -s 2048, each through xargs -P<cores>
  -n 4 (libvips adds its own threads inside each process), times added;
  pagrimo with a file item of [thumb] [preview] (every .thumbs removed first);
  pagrimo with a file item of [thumb] only (the same);
  the re-run of the first over unchanged pictures, against a template of
  [filename] [filesize] [filedate].
Goals: thumbnails and previews at most 0.6x the two vipsthumbnail runs and at
most 1.8x the thumbnails-only run; peak memory on the 24-megapixel set at most
150 MB per worker thread (pagrimo starts one per core); re-run at most 1.2x
the plain template. Wall and CPU seconds come from each process's own
accounting (wait4), so a loaded machine shows in the wall times only. Times
never fail the run; a missing preview or a re-run that writes another page
does."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # nothing written beside the scripts
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import thumbnails  # noqa: E402  (the camera set and the run helpers)

ITEMS = {
    "both": "[thumb] [preview]",
    "thumbs": "[thumb]",
    "plain": thumbnails.PLAIN_ITEM,
}


def template(item):
    return f"0,0\r\n[filelist]\r\n*\r\n*\r\n{item}<br>\r\n*\r\n"


def make_camera24(work, count, base):
    """count names over four distinct 6000x4000 crops of the base tiled 2x2."""
    folder = os.path.join(work, "camera24")
    marker = os.path.join(work, f"camera24-{count}.done")
    if os.path.exists(marker):
        return folder
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    tiled = os.path.join(work, "tiled.v")
    thumbnails.sh("vips", "replicate", base, tiled, "2", "2")
    variants = []
    for k in range(4):
        variant = os.path.join(work, f"base24-{k}.jpg")
        thumbnails.sh("vips", "crop", tiled, variant + "[Q=90]", str(500 * k), str(300 * k),
                      "6000", "4000")
        thumbnails.sh("exiftool", "-q", "-overwrite_original",
                      "-DateTimeOriginal=2024:05:01 10:11:12", "-Orientation#=1",
                      "-Make=Bench", variant)
        variants.append(variant)
    os.remove(tiled)
    for i in range(count):
        os.link(variants[i % 4], os.path.join(folder, f"IMG_{i + 1:04d}.JPG"))
    open(marker, "w").close()
    return folder


def run_once(command, env=None):
    """Wall seconds, CPU seconds and peak resident MB of one run (with its children)."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise subprocess.CalledProcessError(process.returncode, command)
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def measure(commands, runs):
    """Runs the commands in turn, runs times; the median wall and CPU seconds and
    the largest peak of each. A command is (name, argv, before, env)."""
    results = {name: [] for name, _, _, _ in commands}
    for _ in range(runs):
        for name, argv, before, env in commands:
            if before:
                before()
            results[name].append(run_once(argv, env))
    return {name: (statistics.median(r[0] for r in rs), statistics.median(r[1] for r in rs),
                   max(r[2] for r in rs)) for name, rs in results.items()}


def bench_set(label, folder, args, apps, env, failures):
    cores = str(os.cpu_count())
    files = sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".JPG"))
    listing = os.path.join(args.work, label + ".list")
    with open(listing, "wb") as f:
        f.write(b"\0".join(name.encode() for name in files))
    out = os.path.join(args.work, "vips-out")
    os.makedirs(out, exist_ok=True)

    def vips(size, suffix):
        return ["xargs", "-0", "-a", listing, "-P" + cores, "-n", "4", "vipsthumbnail",
                "-s", str(size), "-o", os.path.join(out, f"%s{suffix}.jpg[Q=85]")]

    def fresh():
        thumbnails.remove_thumbs(folder)

    subprocess.run(["sh", "-c", f"cat {folder}/* > /dev/null"], check=True)
    first = [("vips 400", vips(400, ""), None, None), ("vips 2048", vips(2048, "-p"), None, None),
             ("both", [apps["both"], folder], fresh, env),
             ("thumbs", [apps["thumbs"], folder], fresh, env)]
    for _, argv, before, e in first:  # warm
        if before:
            before()
        subprocess.run(argv, check=True, env=e, stdout=subprocess.DEVNULL)
    timed = measure(first, args.runs)

    # The last timed run was thumbnails only: make the previews again, then re-run.
    fresh()
    subprocess.run([apps["both"], folder], check=True, env=env, stdout=subprocess.DEVNULL)
    thumbs_folder = os.path.join(folder, ".thumbs")
    previews = [n for n in os.listdir(thumbs_folder) if ".preview." in n]
    if len(previews) != len(files):
        failures.append(f"{label}: {len(previews)} previews for {len(files)} pictures")
    digest = thumbnails.pages_digest(folder)
    plain_folder = os.path.join(args.work, label + "-plain")
    if not os.path.isdir(plain_folder):
        # The same pictures in a folder of their own, so that the plain page
        # does not replace the gallery's.
        os.makedirs(plain_folder)
        for path in files:
            os.link(path, os.path.join(plain_folder, os.path.basename(path)))
    again = [("re-run", [apps["both"], folder], None, env),
             ("plain", [apps["plain"], plain_folder], None, env)]
    for _, argv, _, e in again:  # warm
        subprocess.run(argv, check=True, env=e, stdout=subprocess.DEVNULL)
    timed.update(measure(again, max(args.runs, 5)))
    if thumbnails.pages_digest(folder) != digest:
        failures.append(f"{label}: the re-run wrote another page")

    vips_wall = timed["vips 400"][0] + timed["vips 2048"][0]
    vips_cpu = timed["vips 400"][1] + timed["vips 2048"][1]
    both, thumbs = timed["both"], timed["thumbs"]
    rows = [
        ("vipsthumbnail -s 400, xargs -P" + cores, timed["vips 400"], ""),
        ("vipsthumbnail -s 2048, xargs -P" + cores, timed["vips 2048"], ""),
        ("the two vipsthumbnail runs added", (vips_wall, vips_cpu, 0), ""),
        ("pagrimo [thumb] only", thumbs, ""),
        ("pagrimo [thumb] [preview]", both,
         f"{both[0] / vips_wall:.2f}x vips (goal <= 0.6), {both[0] / thumbs[0]:.2f}x thumbs only "
         f"(goal <= 1.8); CPU {both[1] / vips_cpu:.2f}x, {both[1] / thumbs[1]:.2f}x"),
        ("pagrimo re-run [thumb] [preview]", timed["re-run"],
         f"{timed['re-run'][0] / timed['plain'][0]:.2f}x plain (goal <= 1.2)"),
        ("pagrimo plain name/size/date", timed["plain"], ""),
    ]
    workers = os.cpu_count()
    peak = both[2]
    note = f"peak {peak:.0f} MB, {peak / workers:.0f} MB per worker of {workers} (goal <= 150)"
    return [(f"{label} {len(files)}", command, t, n) for command, t, n in rows], note


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default="build/pagrimo")
    parser.add_argument("--work", default="/tmp/pagrimo-bench-previews")
    parser.add_argument("--count", type=int, default=120)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--source", help="a 12-megapixel camera JPEG to build both sets from")
    parser.add_argument("--skip-12", action="store_true", help="only the 24-megapixel set")
    args = parser.parse_args()
    args.count = max(4, args.count)
    os.makedirs(args.work, exist_ok=True)
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    base = os.path.join(args.work, "base.jpg")
    if not os.path.exists(base):
        if args.source:
            shutil.copyfile(args.source, base)
        else:
            thumbnails.make_camera_base(base)
    apps = {name: thumbnails.install(args.work, args.program, name, template(item))
            for name, item in ITEMS.items()}
    failures, rows, notes = [], [], []
    sets = [("24 MP", make_camera24(args.work, args.count, base))]
    if not args.skip_12:
        sets.append(("12 MP", thumbnails.make_camera(args.work, args.count)))
    for label, folder in sets:
        set_rows, note = bench_set(label.replace(" ", ""), folder, args, apps, env, failures)
        rows += set_rows
        notes.append(f"{label}: {note}")
        load = os.getloadavg()
        notes.append(f"{label}: load average {load[0]:.1f} {load[1]:.1f} {load[2]:.1f} "
                     f"on {os.cpu_count()} cores when done")
        print(f"{label} done: {note}", flush=True)

    print(f"\n{'set':<10} {'command':<40} {'wall s':>8} {'CPU s':>8}  note")
    for setname, command, (wall, cpu, _), note in rows:
        print(f"{setname:<10} {command:<40} {wall:8.3f} {cpu:8.3f}  {note}")
    for note in notes:
        print(note)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

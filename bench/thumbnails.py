#!/usr/bin/env python3
"""Thumbnail benchmark: pagrimo's first run and re-run over camera JPEGs
against vipsthumbnail and the JPEG decode floor on all cores, and a first run
and re-run over a wide tree of JPEGs in many folders with the bundled tree.dat.

    bench/thumbnails.sh [--count 120] [--wide 10000] [--folders 200] [--runs 3]

Camera pictures: 12-megapixel JPEGs with EXIF (the engine benchmark's
/tmp/pagrimo-bench-engine/base.jpg when it is there, else one made with vips),
copied --count times. Wide tree: --wide hard links to 20 distinct 2-megapixel
JPEGs spread over --folders folders, so it takes little disk. Times are the
median of --runs runs (the first runs remove every .thumbs folder first);
every command runs once before to warm the cache. Goals: first run at most
0.8x vipsthumbnail; re-run at most 1.2x a run of a template that shows only
[filename], [filesize] and [filedate]. Times never fail the run; a page that
differs between runs does."""
import argparse
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import time

ENGINE_BASE = "/tmp/pagrimo-bench-engine/base.jpg"
PLAIN_ITEM = "[filename] [filesize] [filedate]"


def sh(*args, **kw):
    return subprocess.run(args, check=True, **kw)


def make_camera_base(path):
    if os.path.isfile(ENGINE_BASE):
        shutil.copyfile(ENGINE_BASE, path)
    else:
        noise = path + ".v"
        sh("vips", "gaussnoise", noise, "4000", "3000", "--mean", "128", "--sigma", "30")
        sh("vips", "bandjoin", f"{noise} {noise} {noise}", path + ".3.v")
        sh("vips", "jpegsave", path + ".3.v", path, "--Q", "90")
        os.remove(noise)
        os.remove(path + ".3.v")
    sh("exiftool", "-q", "-overwrite_original", "-DateTimeOriginal=2024:05:01 10:11:12",
       "-Orientation#=1", "-Make=Bench", path)


def make_camera(work, count):
    folder = os.path.join(work, "camera")
    marker = os.path.join(work, f"camera-{count}.done")
    if os.path.exists(marker):
        return folder
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    base = os.path.join(work, "base.jpg")
    if not os.path.exists(base):
        make_camera_base(base)
    for i in range(count):
        shutil.copyfile(base, os.path.join(folder, f"IMG_{i + 1:04d}.JPG"))
    open(marker, "w").close()
    return folder


def make_wide(work, count, folders):
    root = os.path.join(work, "wide")
    marker = os.path.join(work, f"wide-{count}-{folders}.done")
    if os.path.exists(marker):
        return root
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    base = os.path.join(work, "base.jpg")
    if not os.path.exists(base):
        make_camera_base(base)
    sources = []
    for k in range(20):  # 1600x1200 crops of the camera picture, each its own file
        source = os.path.join(work, f"src-{k:02d}.jpg")
        if not os.path.exists(source):
            crop = os.path.join(work, "crop.v")
            sh("vips", "crop", base, crop, str(40 * k), str(25 * k), "3200", "2400")
            sh("vips", "resize", crop, source + "[Q=90]", "0.5")
            os.remove(crop)
        sources.append(source)
    per = count // folders
    for f in range(folders):
        # Folders up to three deep: a/b/c, so the tree is wide and shallow.
        folder = os.path.join(root, f"set{f // 40:02d}", f"day{f % 40:02d}")
        os.makedirs(folder, exist_ok=True)
        for i in range(per):
            os.link(sources[(f + i) % len(sources)], os.path.join(folder, f"DSC{i:05d}.jpg"))
    open(marker, "w").close()
    return root


def install(work, program, name, template_text=None, bundled=None):
    app = os.path.join(work, "app-" + name)
    shutil.rmtree(app, ignore_errors=True)
    os.makedirs(app)
    shutil.copy(program, app)
    if bundled:
        shutil.copy(bundled, os.path.join(app, "t.dat"))
    else:
        with open(os.path.join(app, "t.dat"), "w", encoding="utf-8") as f:
            f.write(template_text)
    with open(os.path.join(app, "pagrimo.ini"), "w") as f:
        f.write("[Pagrimo]\ndefault=t.dat\n")
    return os.path.join(app, os.path.basename(program))


def remove_thumbs(root):
    for d, dirs, _ in os.walk(root):
        if ".thumbs" in dirs:
            shutil.rmtree(os.path.join(d, ".thumbs"))
            dirs.remove(".thumbs")


def pages_digest(root):
    h = hashlib.sha256()
    for d, dirs, files in sorted(os.walk(root)):
        dirs[:] = sorted(x for x in dirs if x != ".thumbs")
        for n in sorted(files):
            if n.endswith(".html"):
                with open(os.path.join(d, n), "rb") as f:
                    h.update(n.encode() + f.read())
    return h.hexdigest()


def timed(command, before=None, runs=3, env=None):
    times = []
    for _ in range(runs):
        if before:
            before()
        start = time.perf_counter()
        subprocess.run(command, check=True, env=env, stdout=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default="build/pagrimo")
    parser.add_argument("--bundle", default="templates")
    parser.add_argument("--work", default="/tmp/pagrimo-bench-thumbs")
    parser.add_argument("--count", type=int, default=120)
    parser.add_argument("--wide", type=int, default=10000)
    parser.add_argument("--folders", type=int, default=200)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--skip-camera", action="store_true")
    parser.add_argument("--skip-wide", action="store_true")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    cores = str(os.cpu_count())
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    plain_template = f"0,0\r\n[filelist]\r\n*\r\n*\r\n{PLAIN_ITEM}<br>\r\n*\r\n"
    failures = []
    rows = []

    if not args.skip_camera:
        camera = make_camera(args.work, args.count)
        gallery = install(args.work, args.program, "gallery",
                          bundled=os.path.join(args.bundle, "template.dat"))
        plain = install(args.work, args.program, "plain", plain_template)
        out = os.path.join(args.work, "vips-out")
        os.makedirs(out, exist_ok=True)
        files = sorted(os.path.join(camera, n) for n in os.listdir(camera) if n.endswith(".JPG"))
        listing = os.path.join(args.work, "camera.list")
        with open(listing, "wb") as f:
            f.write(b"\0".join(name.encode() for name in files))
        vips = ["xargs", "-0", "-a", listing, "-P" + cores, "-n", "4", "vipsthumbnail", "-s", "400",
                "-o", os.path.join(out, "%s.jpg[Q=85]")]
        floor = ["xargs", "-0", "-a", listing, "-P" + cores, "-n", "1", "djpeg", "-scale", "1/8",
                 "-outfile", "/dev/null"]
        subprocess.run(["sh", "-c", f"cat {camera}/* > /dev/null"], check=True)
        for command in (vips, floor):
            subprocess.run(command, check=True)  # warm
        t_vips = timed(vips, runs=args.runs)
        t_floor = timed(floor, runs=args.runs)
        t_first = timed([gallery, camera], lambda: remove_thumbs(camera), args.runs, env)
        digest = pages_digest(camera)
        t_again = timed([gallery, camera], runs=max(args.runs, 5), env=env)
        if pages_digest(camera) != digest:
            failures.append("camera: the re-run wrote another page")
        subprocess.run([plain, camera], check=True, env=env)
        t_plain = timed([plain, camera], runs=max(args.runs, 5), env=env)
        rows += [
            (f"camera {len(files)}", "vipsthumbnail -s 400, xargs -P" + cores, t_vips, ""),
            (f"camera {len(files)}", "djpeg -scale 1/8 (decode floor)", t_floor, ""),
            (f"camera {len(files)}", "pagrimo first run (template.dat)", t_first,
             f"{t_first / t_vips:.2f}x vipsthumbnail (goal <= 0.8), {t_first / t_floor:.2f}x floor"),
            (f"camera {len(files)}", "pagrimo re-run", t_again,
             f"{t_again / t_plain:.2f}x plain (goal <= 1.2)"),
            (f"camera {len(files)}", "pagrimo plain name/size/date", t_plain, ""),
        ]

    if not args.skip_wide:
        wide = make_wide(args.work, args.wide, args.folders)
        tree = install(args.work, args.program, "tree",
                       bundled=os.path.join(args.bundle, "tree.dat"))
        plain2 = install(args.work, args.program, "plain2", plain_template.replace("0,0", "2,0", 1))
        remove_thumbs(wide)
        t_first = timed([tree, wide], runs=1, env=env)
        digest = pages_digest(wide)
        t_again = timed([tree, wide], runs=max(args.runs, 5), env=env)
        if pages_digest(wide) != digest:
            failures.append("wide: the re-run wrote other pages")
        subprocess.run([plain2, wide], check=True, env=env)
        t_plain = timed([plain2, wide], runs=max(args.runs, 5), env=env)
        label = f"wide {args.wide} in {args.folders}"
        rows += [
            (label, "pagrimo first run (tree.dat)", t_first, f"{args.wide / t_first:.0f} pictures/s"),
            (label, "pagrimo re-run (tree.dat)", t_again, f"{t_again / t_plain:.2f}x plain"),
            (label, "pagrimo plain name/size/date, mode 2", t_plain, ""),
        ]

    print(f"\n{'set':<22} {'command':<42} {'seconds':>8}  note")
    for setname, command, seconds, note in rows:
        print(f"{setname:<22} {command:<42} {seconds:8.3f}  {note}")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

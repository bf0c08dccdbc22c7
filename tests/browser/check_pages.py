#!/usr/bin/env python3
"""Runs pagrimo with each bundled template on a tree of awkwardly named
pictures, then opens every written page in headless Chromium (driven over the
DevTools protocol through a pipe) and checks that every picture loads, every
link leads to an existing file, and no file name turned into markup. With
the thumbnail templates, every picture is shown by its thumbnail, and a
page's thumbnails weigh a small fraction of its pictures.

Exit status: 0 passed, 1 failed, 77 skipped (no Chromium)."""
import argparse
import base64
import fcntl
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse

IMAGE_ENDINGS = (".gif", ".jpg", ".jpeg", ".png", ".bmp")
# Elements the bundled templates write; anything else came from a name.
TEMPLATE_TAGS = {"html", "head", "meta", "title", "style", "body", "header", "h1", "p",
                 "main", "ul", "li", "a", "div", "figure", "img", "figcaption", "span"}
# Templates that show thumbnails; at most this share of the pictures' weight.
THUMBNAIL_TEMPLATES = {"template.dat", "tree.dat"}
THUMBNAIL_SHARE = 0.2
AWKWARD = ["a b", "#1", "%41", "&amp", "q?", "it's", "<b>bold", "写真", "x\"y"]
# Folder names that look like placeholders: shown as they are, they must never
# pull a list, a count or a path into the page.
PLACEHOLDER_FOLDERS = ["[filelist]", "[numfile]", "[dirlist]", "[path]", "[filename]",
                       "[numfile] [filelist]"]
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update",
                  "--disable-sync", "--hide-scrollbars", "--remote-debugging-pipe"]


def find_chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def write_photo(path, width=1200, height=900):
    """A 24-bit BMP the weight of a camera picture, with some detail in it."""
    row = bytearray()
    for x in range(width):
        row += bytes(((x * 7) % 256, (x * 3) % 256, (x * x) % 251))
    padding = (4 - len(row) % 4) % 4
    rows = []
    for y in range(height):
        shift = (y * 5) % len(row)
        rows.append(bytes(row[shift:] + row[:shift]) + b"\0" * padding)
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def make_tree(root, samples):
    """Pictures with awkward names at the top, in an awkward folder, and deeper;
    one large picture in every folder."""
    pictures = sorted(p for p in os.listdir(samples) if p.lower().endswith(IMAGE_ENDINGS))
    sources = [os.path.join(samples, p) for p in pictures]

    def put(folder, index, stem):
        source = sources[index % len(sources)]
        os.makedirs(folder, exist_ok=True)
        shutil.copyfile(source, os.path.join(folder, stem + os.path.splitext(source)[1]))

    for i, stem in enumerate(AWKWARD):
        put(root, i, stem)
    put(os.path.join(root, "fold #1 & <b>'x'?"), 0, "inner %41")
    put(os.path.join(root, "fold #1 & <b>'x'?", "ソ 表"), 1, "深い 写真")
    put(os.path.join(root, "%41 folder"), 2, "p&q")
    for i, name in enumerate(PLACEHOLDER_FOLDERS):
        put(os.path.join(root, name), i, "[filelist] " + str(i))
    os.makedirs(os.path.join(root, "empty"))
    large = None
    for folder, _, _ in os.walk(root):
        if not own_images(folder):
            continue
        if large is None:
            large = os.path.join(folder, "large photo.bmp")
            write_photo(large)
        else:
            shutil.copyfile(large, os.path.join(folder, "large photo.bmp"))


def own_images(folder):
    return [n for n in os.listdir(folder)
            if n.lower().endswith(IMAGE_ENDINGS) and os.path.isfile(os.path.join(folder, n))]


def expected_count(page, root, mode):
    folder = os.path.dirname(page)
    if mode != 1:
        return len(own_images(folder))
    return sum(len(own_images(d)) for d, _, _ in os.walk(folder)
               if ".thumbs" not in d.split(os.sep))


class Browser:
    def __init__(self, executable, profile):
        to_child_r, self.to_child = os.pipe()
        self.from_child, from_child_w = os.pipe()

        def wire():
            # Chromium reads commands on fd 3 and writes answers on fd 4; move
            # both ends out of the way first so that neither is overwritten.
            high_r = fcntl.fcntl(to_child_r, fcntl.F_DUPFD, 10)
            high_w = fcntl.fcntl(from_child_w, fcntl.F_DUPFD, 10)
            os.dup2(high_r, 3)
            os.dup2(high_w, 4)

        self.process = subprocess.Popen(
            [executable, *CHROMIUM_FLAGS, "--user-data-dir=" + profile, "about:blank"],
            pass_fds=(3, 4), preexec_fn=wire,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_child_r)
        os.close(from_child_w)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target, "flatten": True})["sessionId"]

    def read_message(self, deadline):
        while b"\0" not in self.buffer:
            if time.time() > deadline:
                raise TimeoutError("Chromium did not answer")
            chunk = os.read(self.from_child, 65536)
            if not chunk:
                raise RuntimeError("Chromium closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=None, timeout=30):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_child, json.dumps(message).encode() + b"\0")
        deadline = time.time() + timeout
        while True:
            reply = self.read_message(deadline)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})
            self.events.append(reply)

    def page(self, method, params=None, timeout=30):
        return self.call(method, params, self.session, timeout)

    def wait_event(self, name, timeout=30):
        deadline = time.time() + timeout
        while True:
            for i, event in enumerate(self.events):
                if event.get("method") == name:
                    del self.events[i]
                    return event
            self.events.append(self.read_message(deadline))

    def close(self):
        try:
            self.call("Browser.close", timeout=5)
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


INSPECT = """(async () => {
  const images = [...document.images];
  const deadline = Date.now() + 15000;
  for (const img of images) img.scrollIntoView();
  while (Date.now() < deadline && !images.every(i => i.complete)) {
    for (const img of images) if (!img.complete) img.scrollIntoView();
    await new Promise(r => setTimeout(r, 50));
  }
  window.scrollTo(0, 0);
  return JSON.stringify({
    images: images.map(i => ({src: i.src, complete: i.complete, width: i.naturalWidth})),
    links: [...document.querySelectorAll('a[href]')].map(a => a.href),
    tags: [...new Set([...document.querySelectorAll('*')].map(e => e.localName))],
    figures: document.querySelectorAll('figure').length,
    text: document.body.innerText,
    title: document.title,
    heading: document.querySelector('h1') ? document.querySelector('h1').innerText : null,
    folders: [...document.querySelectorAll('.folders a')].map(a => a.innerText),
  });
})()"""


def file_url_path(url):
    parsed = urllib.parse.urlparse(url)
    if parsed.scheme != "file":
        return None
    return urllib.parse.unquote(parsed.path)


def check_thumbnails(page, data):
    """Every picture is shown by its thumbnail, and the thumbnails weigh little."""
    failures = []
    shown = [file_url_path(i["src"]) for i in data["images"]]
    for path in shown:
        if path is None or os.path.basename(os.path.dirname(path)) != ".thumbs":
            failures.append(f"{page}: picture shown without a thumbnail: {path}")
    for image in data["images"]:
        if image["width"] > 400:
            failures.append(f"{page}: thumbnail wider than 400 pixels: {image['src']}")
    pictures = [file_url_path(link) for link in data["links"]
                if link.lower().endswith(IMAGE_ENDINGS)]
    thumbs = sum(os.path.getsize(p) for p in shown if p and os.path.isfile(p))
    full = sum(os.path.getsize(p) for p in pictures if p and os.path.isfile(p))
    if full == 0 or thumbs > THUMBNAIL_SHARE * full:
        failures.append(f"{page}: thumbnails weigh {thumbs} bytes, the pictures {full}")
    return failures


def check_page(browser, page, root, mode, shot, thumbnails):
    failures = []
    browser.page("Page.navigate", {"url": "file://" + urllib.parse.quote(page)})
    browser.wait_event("Page.loadEventFired")
    result = browser.page("Runtime.evaluate",
                          {"expression": INSPECT, "awaitPromise": True, "returnByValue": True},
                          timeout=60)
    data = json.loads(result["result"]["value"])
    for image in data["images"]:
        if not image["complete"] or image["width"] <= 0:
            failures.append(f"{page}: picture did not load: {image['src']}")
    for link in data["links"]:
        path = file_url_path(link)
        if path is None or not os.path.isfile(path):
            failures.append(f"{page}: link leads nowhere: {link}")
    stray = set(data["tags"]) - TEMPLATE_TAGS
    if stray:
        failures.append(f"{page}: names turned into markup: {sorted(stray)}")
    if thumbnails:
        failures += check_thumbnails(page, data)
    want = expected_count(page, root, mode)
    if data["figures"] != want or len(data["images"]) != want:
        failures.append(f"{page}: {data['figures']} pictures shown, {want} expected")
    # The folder's path, and in listing mode 2 the names of the subfolders
    # with a page, each exactly once: nothing that a name looks like.
    path = " ".join((os.path.dirname(page) + "/").split())
    for what in ("title", "heading"):
        if " ".join(data[what].split()) != path:
            failures.append(f"{page}: the {what} is not the folder's path: {data[what][:200]!r}")
    if mode == 2:
        folder = os.path.dirname(page)
        linked = sorted(n for n in os.listdir(folder)
                        if os.path.isfile(os.path.join(folder, n, "index.html")))
        if sorted(data["folders"]) != linked:
            failures.append(f"{page}: folder links {data['folders']!r}, expected {linked!r}")
    for stem in ("<b>bold", "it's", "写真"):
        if os.path.dirname(page) == root and stem not in data["text"]:
            failures.append(f"{page}: the name {stem!r} is not shown as text")
    shot_data = browser.page("Page.captureScreenshot", {"format": "png"})["data"]
    with open(shot, "wb") as f:
        f.write(base64.b64decode(shot_data))
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--bundle", required=True, help="folder with pagrimo.ini and the templates")
    parser.add_argument("--samples", required=True)
    parser.add_argument("--out", required=True, help="folder for the screenshots")
    args = parser.parse_args()

    chromium = find_chromium()
    if chromium is None:
        print("SKIP: no Chromium installed")
        return 77
    os.makedirs(args.out, exist_ok=True)
    failures, pages_checked = [], 0
    with tempfile.TemporaryDirectory(prefix="pagrimo-browser-") as work:
        browser = Browser(chromium, os.path.join(work, "profile"))
        try:
            browser.page("Page.enable")
            browser.page("Emulation.setDeviceMetricsOverride",
                         {"width": 1200, "height": 900, "deviceScaleFactor": 1, "mobile": False})
            for template, mode in (("template.dat", 0), ("list.dat", 1), ("tree.dat", 2)):
                app = os.path.join(work, "app-" + template)
                os.makedirs(app)
                shutil.copy(args.program, app)
                shutil.copy(os.path.join(args.bundle, template), app)
                with open(os.path.join(app, "pagrimo.ini"), "w") as f:
                    f.write(f"[Pagrimo]\ndefault={template}\n")
                root = os.path.join(work, "tree-" + template)
                make_tree(root, args.samples)
                # The whole tree, and in the other modes each folder named like a
                # placeholder on its own, whose name is then in the page's path.
                starts = [root] + ([] if mode == 2 else
                                   [os.path.join(root, n) for n in PLACEHOLDER_FOLDERS])
                program = os.path.join(app, os.path.basename(args.program))
                for start in starts:
                    run = subprocess.run([program, start], capture_output=True, timeout=60)
                    if run.returncode != 0:
                        failures.append(f"{template} on {start}: exit {run.returncode}: "
                                        f"{run.stderr!r}")
                pages = sorted(os.path.join(d, n) for d, _, names in os.walk(root)
                               for n in names if n.endswith(".html"))
                wanted = len(starts) if mode != 2 else 4 + len(PLACEHOLDER_FOLDERS)
                # ("empty" gets no page in mode 2)
                if any(os.sep + ".thumbs" + os.sep in page for page in pages):
                    failures.append(f"{template}: a page was written into a thumbnail folder")
                if len(pages) != wanted:
                    failures.append(f"{template}: {len(pages)} pages written, {wanted} expected")
                for page in pages:
                    rel = os.path.relpath(page, root).replace(os.sep, "_")
                    shot = os.path.join(args.out, f"{template[:-4]}-{rel}.png")
                    failures += check_page(browser, page, root, mode, shot,
                                           template in THUMBNAIL_TEMPLATES)
                    pages_checked += 1
        finally:
            browser.close()
    for failure in failures:
        print("FAIL:", failure)
    print(f"{pages_checked} pages checked in Chromium; screenshots in {args.out}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

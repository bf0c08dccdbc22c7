#!/usr/bin/env python3
"""Runs pagrimo with each bundled template on a tree of awkwardly named
pictures, then opens every written page in headless Chromium (driven over the
DevTools protocol through a pipe) and checks that every picture loads, every
link leads to an existing file, and no file name turned into markup. With
the thumbnail templates, every picture is shown by its thumbnail, and a
page's thumbnails weigh a small fraction of its pictures.

With real mouse, key and touch events it then follows the "up" link of every
page below the top of a tree of pages (and finds the way back down on the
parent's page), and drives the picture viewer of the gallery templates: a
click on the first tile opens it on that picture without leaving the page, the
right arrow shows the second, swipes step both ways, Tab stays inside, Esc
closes it and gives the focus back, the back button and a link with the
picture's name work, and without scripts the click opens the picture itself.
The viewer shows each tile's preview, and its "Original" link leads to the
picture itself. In tree.dat every subfolder is an album tile with its name,
its count and a cover from its own folder.

Last, a page of fourteen camera-sized photos, served over HTTP on localhost:
stepping through ten of them in the viewer transfers at most 15% of those ten
originals' bytes (counted from the browser's network events), and no original
is requested, nor any preview but those of the pictures shown and their
neighbours. Screenshots of the open viewer, light and dark, are saved as
viewer-light.png and viewer-dark.png. Then the videos of check_videos.py and
the page of 10,000 pictures of check_large.py.

Exit status: 0 passed, 1 failed, 77 skipped (no Chromium)."""
import argparse
import base64
import fcntl
import json
import os
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

IMAGE_ENDINGS = (".gif", ".jpg", ".jpeg", ".png", ".bmp")
# Elements the bundled templates write; anything else came from a name.
TEMPLATE_TAGS = {"html", "head", "meta", "title", "style", "body", "header", "h1", "p",
                 "main", "ul", "li", "a", "div", "figure", "img", "figcaption", "span",
                 "script", "button"}
# Templates that show thumbnails; at most this share of the pictures' weight.
THUMBNAIL_TEMPLATES = {"template.dat", "tree.dat"}
THUMBNAIL_SHARE = 0.2
# Stepping through ten camera photos in the viewer: at most this share of them.
TRANSFER_SHARE = 0.15
CAMERA_PHOTOS, CAMERA_STEPS = 14, 10
AWKWARD = ["a b", "#1", "%41", "&amp", "q?", "it's", "<b>bold", "写真", "x\"y"]
# Folder names that look like placeholders: shown as they are, they must never
# pull a list, a count or a path into the page.
PLACEHOLDER_FOLDERS = ["[filelist]", "[numfile]", "[dirlist]", "[path]", "[filename]",
                       "[numfile] [filelist]"]
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update",
                  "--disable-sync", "--hide-scrollbars", "--remote-debugging-pipe",
                  # The videos' test starts a clip as the play button would.
                  "--autoplay-policy=no-user-gesture-required"]


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


def size_text(size):
    """A size as the bundled templates show it: decimal units, one decimal
    below 10, the unit chosen after rounding (999,999 bytes is 1.0 MB)."""
    if size < 1000:
        return f"{size} byte" + ("" if size == 1 else "s")
    for power, unit in enumerate(("KB", "MB", "GB", "TB", "PB", "EB"), 1):
        tenths = (size * 10 + 1000 ** power // 2) // 1000 ** power
        if tenths < 100:
            return f"{tenths // 10}.{tenths % 10} {unit}"
        whole = (size + 1000 ** power // 2) // 1000 ** power
        if whole < 1000:
            return f"{whole} {unit}"


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
            left = deadline - time.time()
            if left <= 0 or not select.select([self.from_child], [], [], left)[0]:
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
  const images = [...document.querySelectorAll('figure img')];
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
    tiles: [...document.querySelectorAll('figure > a')].map(a => ({
      preview: a.dataset.preview ? new URL(a.dataset.preview, location.href).href : null,
      pw: Number(a.dataset.pw), ph: Number(a.dataset.ph)})),
    text: document.body.innerText,
    title: document.title,
    heading: document.querySelector('h1') ? document.querySelector('h1').innerText : null,
    path: document.querySelector('.path') ? document.querySelector('.path').innerText : null,
    folders: [...document.querySelectorAll('.folders a')].map(a =>
      (a.querySelector('.fname') || a).innerText),
    albums: [...document.querySelectorAll('.folders a')].map(a => ({
      name: (a.querySelector('.fname') || a).innerText,
      count: (a.querySelector('.n') || {innerText: ''}).innerText,
      cover: (a.querySelector('img') || {}).src || '', shown: (a.querySelector('img') || {}).naturalWidth})),
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
    for tile in data["tiles"]:
        path = file_url_path(tile["preview"] or "")
        if not path or not os.path.isfile(path) or not 0 < max(tile["pw"], tile["ph"]) <= 2048:
            failures.append(f"{page}: no preview of at most 2048 pixels: {tile}")
    thumbs = sum(os.path.getsize(p) for p in shown if p and os.path.isfile(p))
    full = sum(os.path.getsize(p) for p in pictures if p and os.path.isfile(p))
    if full == 0 or thumbs > THUMBNAIL_SHARE * full:
        failures.append(f"{page}: thumbnails weigh {thumbs} bytes, the pictures {full}")
    return failures


def check_albums(page, albums):
    """A folder tile shows its name, its count (" · N", what its page lists)
    and its cover: a thumbnail of its own first picture, or of a subfolder's
    when it has none of its own."""
    failures = []
    folder = os.path.dirname(page)
    for album in albums:
        sub = os.path.join(folder, album["name"])
        want = f" \u00b7 {len(own_images(sub))}"
        cover = file_url_path(album["cover"]) if album["cover"] else None
        if album["count"] != want:
            failures.append(f"{page}: the tile of {album['name']!r} counts {album['count']!r}, "
                            f"not {want!r}")
        if (not cover or not album["shown"] or
                os.path.basename(os.path.dirname(cover)) != ".thumbs" or
                not os.path.realpath(cover).startswith(os.path.realpath(sub) + os.sep)):
            failures.append(f"{page}: the tile of {album['name']!r} has no cover from its "
                            f"folder: {album}")
    return failures


def check_page(browser, page, root, mode, shot, thumbnails):
    failures = []
    open_page(browser, page_url(page))
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
    # The folder's path (in listing mode 2 the heading is the folder's name,
    # with the path below it), and in listing mode 2 the names of the
    # subfolders with a page, each exactly once: nothing that a name looks like.
    folder = os.path.dirname(page)
    path = " ".join((folder + "/").split())
    expected = {"title": path, "heading": path}
    if mode == 2:
        expected.update(heading=" ".join(os.path.basename(folder).split()), path=path)
    for what, want in expected.items():
        if " ".join((data[what] or "").split()) != want:
            failures.append(f"{page}: the {what} is not {want!r}: {(data[what] or '')[:200]!r}")
    if mode == 2:
        linked = sorted(n for n in os.listdir(folder) if os.path.isdir(os.path.join(folder, n))
                        and any(f.endswith(".html") for f in os.listdir(os.path.join(folder, n))))
        if sorted(data["folders"]) != linked:
            failures.append(f"{page}: folder links {data['folders']!r}, expected {linked!r}")
        if thumbnails:
            failures += check_albums(page, data["albums"])
    for stem in ("<b>bold", "it's", "写真"):
        if os.path.dirname(page) == root and stem not in data["text"]:
            failures.append(f"{page}: the name {stem!r} is not shown as text")
    shot_data = browser.page("Page.captureScreenshot", {"format": "png"})["data"]
    with open(shot, "wb") as f:
        f.write(base64.b64decode(shot_data))
    return failures


def evaluate(browser, expression):
    result = browser.page("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                               "awaitPromise": True})
    if "exceptionDetails" in result:
        raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
    return result["result"].get("value")


def wait_until(browser, expression, timeout=10):
    """Polls a page expression until it is true; its last value otherwise."""
    deadline = time.time() + timeout
    while True:
        value = evaluate(browser, expression)
        if value or time.time() > deadline:
            return value
        time.sleep(0.05)


def open_page(browser, url):
    browser.events.clear()
    browser.page("Page.navigate", {"url": url})
    browser.wait_event("Page.loadEventFired")


def page_url(path):
    return "file://" + urllib.parse.quote(path)


def same_file(url, path):
    found = file_url_path(url.split("#")[0])
    return found is not None and os.path.realpath(found) == os.path.realpath(path)


def click(browser, selector):
    """A real left click at the middle of the element; False when it is not shown."""
    box = evaluate(browser, f"""(() => {{
      const e = document.querySelector({json.dumps(selector)});
      if (!e || e.offsetParent === null) return null;
      e.scrollIntoView({{block: "center"}});
      const r = e.getBoundingClientRect();
      return [r.left + r.width / 2, r.top + r.height / 2];
    }})()""")
    if not box:
        return False
    x, y = box
    browser.page("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": x, "y": y})
    for kind in ("mousePressed", "mouseReleased"):
        browser.page("Input.dispatchMouseEvent",
                     {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})
    return True


KEYS = {"ArrowRight": 39, "ArrowLeft": 37, "Escape": 27, "Tab": 9, "Enter": 13}


def press(browser, key, shift=False):
    params = {"key": key, "code": key, "windowsVirtualKeyCode": KEYS[key],
              "nativeVirtualKeyCode": KEYS[key], "modifiers": 8 if shift else 0}
    if key == "Enter":
        params["text"] = "\r"
    browser.page("Input.dispatchKeyEvent", {"type": "keyDown", **params})
    browser.page("Input.dispatchKeyEvent", {"type": "keyUp", **params})


def swipe(browser, dx):
    """A one-finger swipe across the middle of the window."""
    start = {"x": 600, "y": 450}
    browser.page("Input.dispatchTouchEvent", {"type": "touchStart", "touchPoints": [start]})
    for step in (1, 2, 3):
        point = {"x": 600 + dx * step / 3, "y": 450}
        browser.page("Input.dispatchTouchEvent", {"type": "touchMove", "touchPoints": [point]})
    browser.page("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []})


def check_up_links(browser, pages, root):
    """Every page below the top: its visible up link leads to the parent
    folder's page, which links back down to it. The top page shows none."""
    failures = []
    for page in pages:
        folder = os.path.dirname(page)
        open_page(browser, page_url(page))
        shown = click(browser, "a.up")
        if folder == root:
            if shown:
                failures.append(f"{page}: the top page shows an up link")
            continue
        if not shown:
            failures.append(f"{page}: no visible up link")
            continue
        browser.wait_event("Page.loadEventFired")
        here = evaluate(browser, "location.href")
        parent = [p for p in pages if os.path.dirname(p) == os.path.dirname(folder)]
        if len(parent) != 1 or not same_file(here, parent[0]):
            failures.append(f"{page}: the up link led to {here}, not to {parent}")
            continue
        links = evaluate(browser, "[...document.querySelectorAll('.folders a')].map(a => a.href)")
        if not any(same_file(link, page) for link in links):
            failures.append(f"{here}: no link back down to {page}")
    return failures


VIEWER = """(() => {
  const d = document.querySelector('[role=dialog]');
  if (!d || d.hidden || d.offsetParent === null && getComputedStyle(d).position !== 'fixed')
    return null;
  const img = d.querySelector('img');
  const original = [...d.querySelectorAll('a')].filter(a => /^Original/.test(a.innerText));
  return {modal: d.getAttribute('aria-modal'), label: d.getAttribute('aria-label'),
          src: img.src, loaded: img.complete && img.naturalWidth > 0, text: d.innerText,
          original: original.map(a => ({href: a.href, text: a.innerText})),
          focusInside: d.contains(document.activeElement), hash: location.hash,
          page: location.href.split('#')[0], marker: window.pagrimoMarker === 1};
})()"""


def caption_of(name):
    """The caption the browser test gives a picture of the top folder."""
    return f"Caption of {name} <b>&amp;</b>"


def check_viewer(browser, page, out, shots):
    """Drives the viewer of a gallery page with real input events."""
    failures = []
    url = page_url(page)
    open_page(browser, url)
    tiles = evaluate(browser, """[...document.querySelectorAll('figure > a')].map(a => ({
        href: a.href, raw: a.getAttribute('href'), name: a.dataset.name,
        preview: a.dataset.preview && new URL(a.dataset.preview, location.href).href,
        size: a.dataset.width + ' \u00d7 ' + a.dataset.height,
        caption: a.parentNode.querySelector('figcaption').innerText}))""")
    if len(tiles) < 2:
        return [f"{page}: fewer than two tiles to page through"]
    for tile in tiles:
        want = size_text(os.path.getsize(file_url_path(tile["href"])))
        if " \u00b7 " + want not in tile["caption"]:
            failures.append(f"{page}: the tile of {tile['name']} does not show {want}: "
                            f"{tile['caption']!r}")
    for tile in tiles:
        if "/" not in tile["name"] and caption_of(tile["name"]) not in tile["caption"]:
            failures.append(f"{page}: the tile of {tile['name']} does not show its caption as "
                            f"text: {tile['caption']!r}")
    if not all(tile["preview"] for tile in tiles):
        return [f"{page}: a tile without a preview: {tiles}"]
    first, second = tiles[0], tiles[1]
    evaluate(browser, "window.pagrimoMarker = 1")
    click(browser, "figure > a")
    view = wait_until(browser, f"(v => v && v.loaded && v.src === {json.dumps(first['preview'])} && v)"
                               f"({VIEWER})")
    if not view:
        return [f"{page}: a click on the first tile did not open the viewer on it: "
                f"{evaluate(browser, VIEWER)} at {evaluate(browser, 'location.href')}"]
    if not view["marker"] or not same_file(view["page"], page):
        failures.append(f"{page}: the click left the page")
    if view["modal"] != "true" or not view["label"] or not view["focusInside"]:
        failures.append(f"{page}: the viewer is no labelled modal dialog holding the focus: {view}")
    if urllib.parse.unquote(view["hash"]) != "#" + urllib.parse.unquote(first["raw"]):
        failures.append(f"{page}: the address names {view['hash']}, not {first['raw']}")
    first_size = size_text(os.path.getsize(file_url_path(first["href"])))
    if first["name"] not in view["text"] or first_size not in view["text"]:
        failures.append(f"{page}: name and size ({first_size}) not shown under the picture: "
                        f"{view['text']!r}")
    if "/" not in first["name"] and caption_of(first["name"]) not in view["text"]:
        failures.append(f"{page}: the caption is not shown under the picture: {view['text']!r}")
    # The info line offers the original: the picture itself, its pixel size and its weight.
    offer = view["original"]
    if (len(offer) != 1 or offer[0]["href"] != first["href"] or first["size"] not in offer[0]["text"]
            or first_size not in offer[0]["text"]):
        failures.append(f"{page}: no link \"Original\" to {first['href']} ({first['size']}, "
                        f"{first_size}): {offer}")

    press(browser, "ArrowRight")
    view = wait_until(browser, f"(v => v && v.loaded && v.src === {json.dumps(second['preview'])} && v)"
                               f"({VIEWER})")
    if not view or second["name"] not in view["text"]:
        failures.append(f"{page}: the right arrow did not show the second picture: "
                        f"{evaluate(browser, VIEWER)}")
    # A swipe to the left shows the next picture, one to the right the one before.
    for dx, want in ((-200, tiles[2 % len(tiles)]), (200, second)):
        swipe(browser, dx)
        if not wait_until(browser, f"(v => v && v.src === {json.dumps(want['preview'])})({VIEWER})"):
            failures.append(f"{page}: a swipe by {dx} did not show {want['preview']}: "
                            f"{evaluate(browser, VIEWER)}")
    for shift in (False, False, False, True, True):
        press(browser, "Tab", shift)
        if not evaluate(browser, "document.querySelector('[role=dialog]').contains("
                                 "document.activeElement)"):
            failures.append(f"{page}: Tab took the focus out of the viewer")
            break
    if shots:
        for scheme in ("light", "dark"):
            browser.page("Emulation.setEmulatedMedia",
                         {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
            time.sleep(0.3)
            data = browser.page("Page.captureScreenshot", {
                "format": "png",
                "clip": {"x": 0, "y": 0, "width": 1200, "height": 900, "scale": 0.5}})["data"]
            with open(os.path.join(out, f"viewer-{scheme}.png"), "wb") as f:
                f.write(base64.b64decode(data))
        browser.page("Emulation.setEmulatedMedia", {"features": []})

    press(browser, "Escape")
    if shots:
        time.sleep(0.3)
        data = browser.page("Page.captureScreenshot", {"format": "png"})["data"]
        with open(os.path.join(out, "viewer-closed-focus.png"), "wb") as f:
            f.write(base64.b64decode(data))
    closed = wait_until(browser, f"!({VIEWER}) && !location.hash && document.activeElement."
                                 f"href === {json.dumps(second['href'])}")
    if not closed:
        failures.append(f"{page}: Esc did not close the viewer and give the focus to the tile: "
                        f"{evaluate(browser, VIEWER)}, focus on "
                        f"{evaluate(browser, 'document.activeElement.outerHTML')}")

    # Keyboard only: Enter on the focused tile opens it; the back button closes.
    press(browser, "Enter")
    if not wait_until(browser, f"(v => v && v.src === {json.dumps(second['preview'])})({VIEWER})"):
        failures.append(f"{page}: Enter on the focused tile did not open the viewer")
    history = browser.page("Page.getNavigationHistory")
    back = history["entries"][history["currentIndex"] - 1]["id"]
    browser.page("Page.navigateToHistoryEntry", {"entryId": back})
    if not wait_until(browser, f"!({VIEWER}) && !location.hash && window.pagrimoMarker === 1"):
        failures.append(f"{page}: the back button did not close the viewer on the same page")

    # A link that names the picture opens the page with the viewer on it.
    open_page(browser, "about:blank")
    open_page(browser, url + "#" + second["raw"])
    if not wait_until(browser, f"(v => v && v.loaded && v.src === {json.dumps(second['preview'])})"
                               f"({VIEWER})"):
        failures.append(f"{page}: the address #{second['raw']} did not open the viewer")

    # Without scripts the tile is a plain link to the picture.
    browser.page("Emulation.setScriptExecutionDisabled", {"value": True})
    try:
        open_page(browser, url)
        click(browser, "figure > a")
        browser.wait_event("Page.loadEventFired")
        here = evaluate(browser, "location.href")
        if here != first["href"]:
            failures.append(f"{page}: without scripts the click led to {here}, "
                            f"not to {first['href']}")
    finally:
        browser.page("Emulation.setScriptExecutionDisabled", {"value": False})
    return failures


def make_camera_photos(folder):
    """CAMERA_PHOTOS copies of a 12-megapixel JPEG of 5 to 6 MB: fine grain in
    each channel, which costs a camera picture its bytes and a screen-sized
    copy much less. Made once with vips; False when vips is missing."""
    if not shutil.which("vips"):
        return False
    os.makedirs(folder)
    layers = []
    for seed in (1, 2, 3):
        noise, layer = (os.path.join(folder, f"{kind}{seed}.v") for kind in ("noise", "layer"))
        subprocess.run(["vips", "gaussnoise", noise, "4000", "3000", "--mean", "128",
                        "--sigma", "8", "--seed", str(seed)], check=True)
        subprocess.run(["vips", "cast", noise, layer, "uchar"], check=True)
        layers.append(layer)
    joined, photo = os.path.join(folder, "joined.v"), os.path.join(folder, "photo.v")
    subprocess.run(["vips", "bandjoin", " ".join(layers), joined], check=True)
    subprocess.run(["vips", "copy", joined, photo, "--interpretation", "srgb"], check=True)
    first = os.path.join(folder, "IMG_0001.JPG")
    subprocess.run(["vips", "jpegsave", photo, first, "--Q", "90"], check=True)
    for name in os.listdir(folder):
        if name.endswith(".v"):
            os.remove(os.path.join(folder, name))
    for i in range(2, CAMERA_PHOTOS + 1):
        shutil.copyfile(first, os.path.join(folder, f"IMG_{i:04d}.JPG"))
    return True


class QuietHandler(SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def run_gallery(work, name, program, bundle, folder, settings="", timeout=180):
    """Installs the program with template.dat and the settings lines given in
    work/app-NAME, and runs it on folder."""
    app = os.path.join(work, "app-" + name)
    os.makedirs(app)
    shutil.copy(program, app)
    shutil.copy(os.path.join(bundle, "template.dat"), app)
    with open(os.path.join(app, "pagrimo.ini"), "w") as f:
        f.write("[Pagrimo]\ndefault=template.dat\n" + settings)
    return subprocess.run([os.path.join(app, os.path.basename(program)), folder],
                          capture_output=True, timeout=timeout)


def check_transfer(browser, work, program, bundle):
    """Steps through CAMERA_STEPS camera photos in the viewer of template.dat,
    served over HTTP, and counts the bytes of every response meanwhile."""
    folder = os.path.join(work, "camera")
    if not make_camera_photos(folder):
        return ["camera photos: vips (Debian's libvips-tools) is needed to make them"]
    run = run_gallery(work, "camera", program, bundle, folder)
    if run.returncode != 0:
        return [f"camera photos: exit {run.returncode}: {run.stderr!r}"]
    server = ThreadingHTTPServer(
        ("127.0.0.1", 0), lambda *a: QuietHandler(*a, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}/"
    originals = {base + n: os.path.getsize(os.path.join(folder, n))
                 for n in os.listdir(folder) if n.endswith(".JPG")}
    failures = []
    try:
        browser.page("Network.enable")
        browser.page("Network.setCacheDisabled", {"cacheDisabled": False})
        open_page(browser, base + "index.html")
        tiles = evaluate(browser, """[...document.querySelectorAll('figure > a')].map(a => ({
            href: a.href, preview: new URL(a.dataset.preview, location.href).href}))""")
        # The tiles' thumbnails load first; what counts starts with the click.
        wait_until(browser, "[...document.images].every(i => i.complete)")
        mark = len(browser.events)
        click(browser, "figure > a")
        for step, tile in enumerate(tiles[:CAMERA_STEPS]):
            if step:
                press(browser, "ArrowRight")
            if not wait_until(browser, f"(v => v && v.loaded && v.src === "
                                       f"{json.dumps(tile['preview'])})({VIEWER})", timeout=30):
                failures.append(f"camera photos: step {step + 1} did not show {tile['preview']}: "
                                f"{evaluate(browser, VIEWER)}")
                break
        # Let the preloads of the last step finish.
        deadline = time.time() + 10
        while True:
            events = browser.events[mark:]
            started = {e["params"]["requestId"]: e["params"]["request"]["url"] for e in events
                       if e.get("method") == "Network.requestWillBeSent"}
            ended = {e["params"]["requestId"]: e for e in events if e.get("method") in
                     ("Network.loadingFinished", "Network.loadingFailed")}
            if set(started) <= set(ended) or time.time() > deadline:
                break
            time.sleep(0.2)
            evaluate(browser, "1")  # reads the events that arrived meanwhile
    finally:
        browser.page("Network.disable")
        server.shutdown()
        server.server_close()
    sent = sum(e["params"].get("encodedDataLength", 0) for e in ended.values()
               if e["method"] == "Network.loadingFinished")
    full = sum(originals[tile["href"]] for tile in tiles[:CAMERA_STEPS])
    asked = sorted(url for url in started.values() if url in originals)
    if asked:
        failures.append(f"camera photos: the viewer requested originals: {asked}")
    # Only the pictures shown and their neighbours (the one after the last
    # and the one before the first) are loaded ahead.
    near = {tile["preview"] for tile in tiles[:CAMERA_STEPS + 1] + tiles[-1:]}
    ahead = sorted(url for url in started.values() if ".preview." in url and url not in near)
    if ahead:
        failures.append(f"camera photos: previews beyond the neighbours were loaded: {ahead}")
    if not started or sent > TRANSFER_SHARE * full:
        failures.append(f"camera photos: {CAMERA_STEPS} steps transferred {sent} bytes, "
                        f"more than {TRANSFER_SHARE:.0%} of the originals' {full}")
    print(f"camera photos: {CAMERA_STEPS} steps in the viewer transferred {sent} bytes in "
          f"{len(ended)} responses, {sent / full:.1%} of the originals' {full}")
    return failures


def main():
    from check_large import check_large  # they take this file's helpers
    from check_videos import check_videos
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
    failures, pages_checked, viewers_checked = [], 0, 0
    with tempfile.TemporaryDirectory(prefix="pagrimo-browser-") as work:
        browser = Browser(chromium, os.path.join(work, "profile"))
        try:
            browser.page("Page.enable")
            browser.page("Emulation.setDeviceMetricsOverride",
                         {"width": 1200, "height": 900, "deviceScaleFactor": 1, "mobile": False})
            # The tree template again with every page named after its folder.
            for template, mode, naming in (("template.dat", 0, None), ("list.dat", 1, None),
                                           ("tree.dat", 2, None), ("tree.dat", 2, 1)):
                label = template if naming is None else f"{template[:-4]}-{naming}.dat"
                app = os.path.join(work, "app-" + label)
                os.makedirs(app)
                shutil.copy(args.program, app)
                with open(os.path.join(args.bundle, template), "rb") as f:
                    text = f.read()
                if naming is not None:
                    first, rest = text.split(b"\r\n", 1)
                    text = first.rsplit(b",", 1)[0] + b"," + str(naming).encode() + b"\r\n" + rest
                with open(os.path.join(app, template), "wb") as f:
                    f.write(text)
                with open(os.path.join(app, "pagrimo.ini"), "w") as f:
                    f.write(f"[Pagrimo]\ndefault={template}\n")
                root = os.path.join(work, "tree-" + label)
                make_tree(root, args.samples)
                # Each picture of the top folder gets a caption from a text file
                # beside it, with characters that would be markup.
                for name in os.listdir(root):
                    if os.path.isfile(os.path.join(root, name)):
                        with open(os.path.join(root, name + ".txt"), "w", encoding="utf-8") as f:
                            f.write(caption_of(name))
                # The whole tree, and in the other modes each folder named like a
                # placeholder on its own, whose name is then in the page's path.
                starts = [root] + ([] if mode == 2 else
                                   [os.path.join(root, n) for n in PLACEHOLDER_FOLDERS])
                program = os.path.join(app, os.path.basename(args.program))
                for start in starts:
                    run = subprocess.run([program, start], capture_output=True, timeout=60)
                    if run.returncode != 0:
                        failures.append(f"{label} on {start}: exit {run.returncode}: "
                                        f"{run.stderr!r}")
                pages = sorted(os.path.join(d, n) for d, _, names in os.walk(root)
                               for n in names if n.endswith(".html"))
                wanted = len(starts) if mode != 2 else 4 + len(PLACEHOLDER_FOLDERS)
                # ("empty" gets no page in mode 2)
                if any(os.sep + ".thumbs" + os.sep in page for page in pages):
                    failures.append(f"{label}: a page was written into a thumbnail folder")
                if template == "list.dat" and b"<script" in text:
                    failures.append("list.dat: the plain list holds a script")
                if len(pages) != wanted:
                    failures.append(f"{label}: {len(pages)} pages written, {wanted} expected")
                for page in pages:
                    rel = os.path.relpath(page, root).replace(os.sep, "_")
                    shot = os.path.join(args.out, f"{label[:-4]}-{rel}.png")
                    failures += check_page(browser, page, root, mode, shot,
                                           template in THUMBNAIL_TEMPLATES)
                    pages_checked += 1
                if mode == 2:
                    failures += check_up_links(browser, pages, root)
                if template != "list.dat" and naming is None:
                    top = [p for p in pages if os.path.dirname(p) == root]
                    failures += check_viewer(browser, top[0], args.out, template == "tree.dat")
                    viewers_checked += 1
            failures += check_transfer(browser, work, args.program, args.bundle)
            failures += check_videos(browser, work, args.program, args.bundle)
            failures += check_large(browser, work, args.program, args.bundle)
        finally:
            browser.close()
    for failure in failures:
        print("FAIL:", failure)
    print(f"{pages_checked} pages and {viewers_checked} viewers checked in Chromium; "
          f"screenshots in {args.out}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

"""The videos of a gallery in Chromium: template.dat over the committed clips
(tests/pictures/clips) and a photo. A video's tile shows its poster, a play
mark and its length; in the viewer it plays inline, fetched only once its
play is asked for; the right arrow moves on and stops it, Esc closes and
stops it, a link with its name opens it, and a clip the browser cannot play
(HEVC, which Chromium on Linux does not decode) shows its poster and a
download link instead of a broken player."""
import json
import os
import shutil

from check_pages import evaluate, open_page, page_url, press, run_gallery, wait_until

CLIPS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pictures", "clips")
NAMES = ["hevc.mov", "scene.mp4", "turned.mp4"]
PHOTO = os.path.join(CLIPS, "..", "previews", "edge.jpg")
PLAYER = """(() => {
  const d = document.querySelector('[role=dialog]');
  if (!d || d.hidden) return null;
  const v = d.querySelector('video'), img = d.querySelector('img'), link = d.querySelector('.pv-orig a');
  return {video: !v.hidden, src: v.getAttribute('src') || '', poster: v.poster, paused: v.paused,
          time: v.currentTime, ready: v.readyState, network: v.networkState,
          preload: v.getAttribute('preload'), inline: v.hasAttribute('playsinline'),
          controls: v.controls, picture: !img.hidden && img.complete && img.naturalWidth > 0,
          shown: img.src, download: link.hasAttribute('download'), link: link.innerText};
})()"""


def check_videos(browser, work, program, bundle):
    folder = os.path.join(work, "videos")
    os.makedirs(folder)
    for name in NAMES:
        shutil.copy(os.path.join(CLIPS, name), folder)
    shutil.copy(PHOTO, os.path.join(folder, "photo.jpg"))
    run = run_gallery(work, "videos", program, bundle, folder, "videos=mp4 mov\n")
    if run.returncode != 0 or run.stderr:
        return [f"videos: exit {run.returncode}: {run.stderr!r}"]
    page = os.path.join(folder, "index.html")
    open_page(browser, page_url(page))
    wait_until(browser, "[...document.images].every(i => i.complete)")
    tiles = evaluate(browser, """[...document.querySelectorAll('figure > a')].map(a => ({
        name: a.dataset.name, video: a.parentNode.classList.contains('video'),
        mark: getComputedStyle(a, '::before').content,
        length: a.querySelector('.dur').innerText, poster: a.querySelector('img').naturalWidth,
        preview: a.dataset.preview && new URL(a.dataset.preview, location.href).href}))""")
    failures = []
    wanted = sorted([(n, True) for n in NAMES] + [("photo.jpg", False)])
    if [(t["name"], t["video"]) for t in tiles] != wanted:
        return [f"videos: tiles {tiles}, not {wanted}"]
    for t in tiles:
        if t["video"] and (t["mark"] != '"\u25b6"' or t["length"] != "0:04" or not t["poster"]):
            failures.append(f"videos: the tile of {t['name']} lacks its poster, mark or length: {t}")
        if not t["video"] and (t["mark"] not in ("none", "normal") or t["length"]):
            failures.append(f"videos: the photo's tile looks like a video's: {t}")

    def player(want, what, timeout=10):
        got = wait_until(browser, f"(p => p && ({want}) && p)({PLAYER})", timeout)
        if not got:
            failures.append(f"videos: {what}: {evaluate(browser, PLAYER)}")
        return got

    # A link with the clip's name opens it, nothing of it fetched yet.
    open_page(browser, "about:blank")
    open_page(browser, page_url(page) + "#scene.mp4")
    scene = tiles[2]
    opened = player(f"p.video && p.src === 'scene.mp4' && p.poster === {json.dumps(scene['preview'])}"
                    " && p.ready === 0 && p.network !== 2", "#scene.mp4 did not open its player")
    if opened and (opened["preload"] != "none" or not opened["inline"] or not opened["controls"]):
        failures.append(f"videos: the player is not <video controls playsinline preload=none>: "
                        f"{opened}")
    play = "document.querySelector('.pv video').play().then(() => 1, () => 0)"
    evaluate(browser, play)
    if player("!p.paused && p.time > 0.2", "scene.mp4 did not play"):
        press(browser, "ArrowRight")
        player("p.src === 'turned.mp4' && p.paused && p.time === 0",
               "the right arrow did not move on to a stopped turned.mp4")
        evaluate(browser, play)
        if player("!p.paused && p.time > 0.2", "turned.mp4 did not play"):
            press(browser, "Escape")
            closed = wait_until(browser, f"{PLAYER} === null && (v => v.paused && !v.getAttribute"
                                         "('src'))(document.querySelector('.pv video'))")
            if not closed:
                failures.append("videos: Esc did not close the viewer and stop the clip")
    # HEVC: the player's error gives the poster and a download link.
    open_page(browser, "about:blank")
    open_page(browser, page_url(page) + "#hevc.mov")
    evaluate(browser, play)
    player(f"!p.video && p.picture && p.shown === {json.dumps(tiles[0]['preview'])} && p.download"
           " && /^Download/.test(p.link)", "an unplayable clip did not turn into its poster")
    print(f"videos: {len(NAMES)} clips played, stopped and refused in the viewer")
    return failures

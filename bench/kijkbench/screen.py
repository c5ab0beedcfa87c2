"""The X screen, read and clicked from the benchmark's own process (outside
the measured tree): what a person would see of each contender."""

import ctypes
import os
import re
import statistics
import struct
import subprocess
import time
import zlib

from .common import TILE
from .contenders import read_log
from .media import read_marker

# Where the program's main window puts things, from its design (twips; 15
# twips to a pixel): the client area's top-left corner on the screen (with no
# window manager, as here), the "Vergroot" buttons Command1..4 and the part of
# the ticker strip WebBrowser2 that the black masks Picture1..3 leave visible.
TWIPS_PER_PX = 15
MAIN_TITLE = "Kijkraam 2005"
MAIN_CLIENT_AT_TW = (3195, 2685)
VERGROOT_TW = [(3360, 3360), (7560, 3360), (3360, 7080), (7560, 7080)]
VERGROOT_SIZE_TW = (855, 255)
TICKER_VISIBLE_TW = (1335, 7710, 5865, 420)   # left, top, width, height
TILES_TW = [(0, 0), (4200, 0), (0, 3720), (4200, 3720)]   # WindowsMediaPlayer1..4
VIDEO_INSET = (10, 5, 260, 190)    # px: a tile's picture area above its controls (files and live)
PEER_BORDER = 2                    # px left out around a peer window's picture


# The X screen, read and clicked from this process (outside the measured tree).

class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class Screen:
    """Grabs rectangles of an X screen through libX11 (XGetImage), cheap
    enough to do many times a second."""

    def __init__(self, display):
        self.x = ctypes.CDLL("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.dpy = self.x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise OSError("cannot open display %s" % display)
        self.root = self.x.XDefaultRootWindow(self.dpy)

    def grab(self, x, y, w, h):
        """RGB bytes (w*h*3) of a screen rectangle."""
        img = self.x.XGetImage(self.dpy, self.root, x, y, w, h, 0xFFFFFFFF, 2)   # ZPixmap
        if not img:
            raise OSError("XGetImage failed")
        try:
            im = img.contents
            if im.bits_per_pixel != 32:
                raise OSError("unexpected %d bits per pixel" % im.bits_per_pixel)
            stride = im.bytes_per_line
            raw = ctypes.string_at(im.data, stride * h)
        finally:
            self.x.XDestroyImage(img)      # `im` is gone from here on
        rgb = bytearray(w * h * 3)
        for row in range(h):
            line = raw[row * stride: row * stride + w * 4]
            out = row * w * 3
            rgb[out: out + w * 3: 3] = line[2::4]       # BGRX in memory (little-endian)
            rgb[out + 1: out + w * 3: 3] = line[1::4]
            rgb[out + 2: out + w * 3: 3] = line[0::4]
        return bytes(rgb)

    def close(self):
        self.x.XCloseDisplay(self.dpy)


def write_png(path, w, h, rgb):
    raw = b"".join(b"\0" + rgb[y * w * 3:(y + 1) * w * 3] for y in range(h))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def tw(v):
    return int(round(v / TWIPS_PER_PX))


def xdotool(display, *args):
    r = subprocess.run(["xdotool"] + list(args), env=dict(os.environ, DISPLAY=display),
                       stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                       timeout=10)
    return r.stdout.decode().split()


def wait_for_main_window(display, until):
    while time.monotonic() < until:
        ids = xdotool(display, "search", "--onlyvisible", "--name", "^%s$" % re.escape(MAIN_TITLE))
        if ids:
            return ids[0]
        time.sleep(0.2)
    return None


def open_stream_windows(display, log_path, t_start, seconds):
    """Open the main window's four stream windows by clicking its "Vergroot"
    buttons Command1..4 (xdotool). The buttons' places come from the main
    window's design: with no window manager its client area lies at a fixed
    place on the screen. Each click is checked by the stream window's player
    appearing in the program's log, and repeated (up to three times) if not."""
    out = {"clicked_at_s": [], "opened": []}
    wid = wait_for_main_window(display, t_start + seconds * 0.6)
    if not wid:
        out["error"] = "the main window did not appear"
        return out
    cx, cy = tw(MAIN_CLIENT_AT_TW[0]), tw(MAIN_CLIENT_AT_TW[1])
    for n, (left, top) in enumerate(VERGROOT_TW, 1):
        x = cx + tw(left + VERGROOT_SIZE_TW[0] / 2)
        y = cy + tw(top + VERGROOT_SIZE_TW[1] / 2)
        for attempt in range(3):
            xdotool(display, "windowraise", wid)
            xdotool(display, "mousemove", str(x), str(y), "click", "1")
            out["clicked_at_s"].append(round(time.monotonic() - t_start, 3))
            end = time.monotonic() + 4
            seen = False
            while time.monotonic() < end and not seen:
                time.sleep(0.1)
                seen = any(("Stream%d/" % n) in line for _, line in read_log(log_path))
            if seen:
                out["opened"].append(n)
                break
    return out


def program_tiles():
    """The picture areas of the main window's four player tiles on the screen."""
    x0, y0 = tw(MAIN_CLIENT_AT_TW[0]), tw(MAIN_CLIENT_AT_TW[1])
    return [(x0 + tw(left) + VIDEO_INSET[0], y0 + tw(top) + VIDEO_INSET[1]) + VIDEO_INSET[2:]
            for left, top in TILES_TW]


def program_ticker_strip():
    x0, y0 = tw(MAIN_CLIENT_AT_TW[0]), tw(MAIN_CLIENT_AT_TW[1])
    left, top, width, height = TICKER_VISIBLE_TW
    return (x0 + tw(left), y0 + tw(top), tw(width), tw(height))


def peer_tiles(windows, picture_height):
    """The picture in each peer window (less a border of PEER_BORDER
    pixels): `windows` [(x, y)] of windows one tile wide, the picture 16:9
    at their top (VLC: `picture_height` high) or centred in a tile-high
    window (mpv: picture_height None)."""
    h = picture_height or TILE[0] * 9 // 16
    top = 0 if picture_height else (TILE[1] - h) // 2
    b = PEER_BORDER
    return [(x + b, y + top + b, TILE[0] - 2 * b, h - 2 * b) for x, y in windows]


def tiles_moving(first, second):
    """(how many tiles are lit and changed between two grabs, detail)."""
    moving, detail = 0, []
    for a, b in zip(first, second):
        pixels = len(a) // 3
        lit = sum(1 for i in range(0, len(a), 3) if a[i] + a[i + 1] + a[i + 2] > 60) / pixels
        changed = sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3]) / pixels
        moving += lit > 0.3 and changed > 0.002
        detail.append({"lit": round(lit, 3), "changed": round(changed, 4)})
    return moving, detail


def place_windows(display, name, places, sizes, until):
    """Move the windows called `name` (as they appear, up to len(places))
    to `places` with `sizes`: for players that cannot be told where to
    open. Returns how many were placed."""
    done = []
    while time.monotonic() < until and len(done) < len(places):
        for wid in xdotool(display, "search", "--onlyvisible", "--name", "^%s$" % re.escape(name)):
            if wid in done or len(done) >= len(places):
                continue
            x, y = places[len(done)]
            xdotool(display, "windowsize", wid, str(sizes[0]), str(sizes[1]), "windowmove", wid, str(x), str(y))
            done.append(wid)
        time.sleep(0.2)
    return len(done)


def watch_screen(display, t_start, seconds, tiles, ticker_rect=None, screenshots=None, prepare=None):
    """What a person would look at, from outside the measured tree: first
    `prepare()` (opening or placing windows), then near the end of the row
    whether the `tiles` show moving pictures (two grabs 1.1 s apart), with
    `ticker_rect` how the ticker moves, and with --screenshots the whole
    screen. The grabs are worked out once the row has ended, so as not to
    load the machine during it."""
    out = {}
    if prepare:
        out.update(prepare())
    time.sleep(max(0.0, t_start + max(2.0, seconds - 4.9) - time.monotonic()))
    screen = Screen(display)
    ticker, full = [], None
    # A short row may look before every player shows its first picture: then
    # look again while the row lasts (the grabs are worked out at once only
    # then), and keep the pair with the most tiles moving.
    last_try = t_start + seconds - 1.3
    try:
        first = [screen.grab(*r) for r in tiles]
        time.sleep(1.1)     # a live stream's clock changes once a second
        second = [screen.grab(*r) for r in tiles]
        if ticker_rect:
            end = time.monotonic() + 2.0
            while time.monotonic() < end:
                ticker.append((time.monotonic(), screen.grab(*ticker_rect)))
                time.sleep(0.02)
        while time.monotonic() < last_try and tiles_moving(first, second)[0] < len(tiles):
            first = [screen.grab(*r) for r in tiles]
            time.sleep(1.1)
            second = [screen.grab(*r) for r in tiles]
        if screenshots:
            full = screen.grab(0, 0, 1920, 1080)
    finally:
        screen.close()

    def later():
        out["video_tiles_moving"], out["video_tiles"] = tiles_moving(first, second)
        out["video_tiles_expected"] = len(tiles)
        if ticker:
            out["ticker"] = analyse_ticker(ticker, ticker_rect[2], ticker_rect[3], screenshots)
        if full:
            write_png(os.path.join(screenshots, "screen.png"), 1920, 1080, full)
        return out
    return {"later": later}


def watch_program(display, t_start, seconds, row, log_path, screenshots):
    """The program's rows: for the eight-player row, first open the stream
    windows; then the main window's tiles and, in the ticker row, the strip."""
    prepare = None
    if row == "eight":
        def prepare():
            return {"stream_windows": open_stream_windows(display, log_path, t_start, seconds)}
    return watch_screen(display, t_start, seconds, program_tiles(),
                        program_ticker_strip() if row == "ticker" else None, screenshots, prepare)


# How long the stall row holds the live source back.
STALL_SECONDS = 6


def read_latency(display, tiles, margin, fps, seconds=2.5):
    """([median age of the bar code per tile], [readings per tile],
    tiles that moved), read from one screen row through each tile's middle
    (widened by `margin` on both sides to the picture's edges) every 0.1 s
    for `seconds`."""
    screen = Screen(display)
    readings = [[] for _ in tiles]
    seen = [set() for _ in tiles]
    try:
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            for k, (x, y, w, h) in enumerate(tiles):
                rgb = screen.grab(x - margin, y + h // 2, w + 2 * margin, 1)
                now = time.time()
                luma = [(rgb[i] + rgb[i + 1] + rgb[i + 2]) // 3 for i in range(0, len(rgb), 3)]
                age = read_marker(luma, fps, now)
                if age is not None:
                    readings[k].append(age)
                seen[k].add(rgb)
            time.sleep(0.1)
    finally:
        screen.close()
    per = [round(statistics.median(r), 3) if r else None for r in readings]
    return per, [len(r) for r in readings], sum(1 for s in seen if len(s) > 2)


def watch_latency(display, t_start, seconds, tiles, margin, fps, prepare=None):
    """How old the bar code on each tile is (media.read_marker) over the
    last seconds of the row; also whether every tile moved."""
    out = {}
    if prepare:
        out.update(prepare())
    time.sleep(max(0.0, t_start + max(2.0, seconds - 3.5) - time.monotonic()))
    out["latency_s"], out["latency_readings"], out["video_tiles_moving"] = \
        read_latency(display, tiles, margin, fps)
    out["video_tiles_expected"] = len(tiles)
    return out


def watch_stall(display, t_start, seconds, tiles, margin, fps, stall, clear, stall_s=STALL_SECONDS):
    """The picture's age before the source stalls (seconds 4 to 6.5 of the
    row), then `stall()`, `stall_s` seconds later `clear()`, and the age
    again over the last seconds of the row: a player that came back to the
    live edge by itself shows about the age it had before."""
    out = {}
    time.sleep(max(0.0, t_start + 4.0 - time.monotonic()))
    out["latency_before_s"], _, _ = read_latency(display, tiles, margin, fps)
    stall()
    try:
        time.sleep(stall_s)
    finally:
        clear()
    time.sleep(max(0.0, t_start + max(2.0, seconds - 3.5) - time.monotonic()))
    out["latency_s"], out["latency_readings"], out["video_tiles_moving"] = \
        read_latency(display, tiles, margin, fps)
    out["video_tiles_expected"] = len(tiles)
    return out


def analyse_ticker(grabs, w, h, screenshots):
    changes = [(t, img) for i, (t, img) in enumerate(grabs) if i == 0 or img != grabs[i - 1][1]]
    lit = sum(1 for i in range(0, len(grabs[-1][1]), 3) if sum(grabs[-1][1][i:i + 3]) > 200) / float(w * h)

    def luma_rows(img):
        rows = []
        for r in (h // 3, h // 2, 2 * h // 3):
            line = img[r * w * 3:(r + 1) * w * 3]
            rows.append([line[i] + line[i + 1] + line[i + 2] for i in range(0, len(line), 3)])
        return rows

    def step(a, b, most=40):
        """How many pixels b lies left of a (best match)."""
        ra, rb = luma_rows(a), luma_rows(b)
        best, best_d = None, 0
        for d in range(0, most + 1):
            err = 0
            for la, lb in zip(ra, rb):
                err += sum(abs(la[x + d] - lb[x]) for x in range(0, w - most, 2))
            if best is None or err < best:
                best, best_d = err, d
        return best_d

    steps = [step(changes[i - 1][1], changes[i][1]) for i in range(1, len(changes))]
    span = grabs[-1][0] - grabs[0][0]
    gaps = [changes[i][0] - changes[i - 1][0] for i in range(1, len(changes))]
    result = {
        "grabs": len(grabs), "seconds": round(span, 3),
        "updates_per_s": round((len(changes) - 1) / span, 1) if span > 0 else None,
        "scroll_px_per_s": round(sum(steps) / span, 1) if span > 0 else None,
        "step_px": [min(steps), max(steps)] if steps else None,
        "longest_still_s": round(max(gaps), 3) if gaps else round(span, 3),
        "lit_share": round(lit, 3),
    }
    if screenshots:
        write_png(os.path.join(screenshots, "ticker-first.png"), w, h, grabs[0][1])
        write_png(os.path.join(screenshots, "ticker-last.png"), w, h, grabs[-1][1])
    return result

"""What the contenders play: four files encoded like broadcast streams, the
same files as a three-variant live HLS master, and a live source that
draws the wall clock as a bar code, for the latency row."""

import math
import os
import re
import shutil
import subprocess
import threading
import time

from .common import die, note

# Each stream's look: picture source, hue shift, tone (like the demo server's).
SLOT_LOOKS = {1: ("testsrc2", 0, 440), 2: ("smptebars", 0, 554),
              3: ("testsrc2", 120, 659), 4: ("testsrc2", 240, 880)}
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
MEDIA_RECIPE = "v2"        # change when the encoding below changes: old cache entries are not reused
# Broadcast-like rate caps per picture height (kbit/s); x264's veryfast keeps
# CABAC, the deblocking filter and B-frames, as broadcasters' encoders do.
MAX_KBPS = {360: 1000, 720: 3000, 1080: 5000}
MASTER_SIZES = ("1920x1080", "1280x720", "640x360")
LIVE_WINDOW = 6            # segments in a live playlist, like the demo server's

# The latency source's bar code: 16 vertical stripes across the picture.
# Stripe 0 and 15 are always white (they mark where the picture lies on the
# screen), stripe 1 always black, stripes 2..14 the Gray code of the wall
# clock in frame periods, modulo 2**13.
MARKER_SIZE = (640, 360)
MARKER_STRIPES = 16
MARKER_BITS = 13


def cache_dir(arg):
    if arg:
        return os.path.abspath(arg)
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "kijkraam-bench")


def media_length(seconds):
    """How long the files are: a row plus its start-up, in whole tens of
    seconds (the program plays a file once and does not loop it)."""
    return 10 * int(math.ceil((seconds + 15) / 10.0))


def make_media_files(directory, size, fps, seconds):
    """Four distinct H.264 + AAC files (MP4, index first so that playing over
    HTTP starts at once) encoded like broadcast streams, at least `seconds`
    long. Made once and kept in `directory`."""
    length = media_length(seconds)
    w, h = (int(v) for v in size.split("x"))
    kbps = MAX_KBPS.get(h, max(500, w * h * 5000 // (1920 * 1080)))
    os.makedirs(directory, exist_ok=True)
    names = []
    for n in range(1, 5):
        name = "kijkraam-bench-%s-%s-%dfps-%ds-%d.mp4" % (MEDIA_RECIPE, size, fps, length, n)
        path = os.path.join(directory, name)
        names.append(name)
        if os.path.isfile(path):
            continue
        source, hue, tone = SLOT_LOOKS[n]
        chain = ["hue=h=%d" % hue] if hue else []
        if os.path.exists(FONT):
            chain.append("drawtext=fontfile=%s:text='%d':fontsize=%d:fontcolor=white:borderw=%d:"
                         "bordercolor=black:x=(w-tw)/2:y=(h-th)/2-h/16" % (FONT, n, max(12, h * 45 // 100),
                                                                          max(1, h // 60)))
            chain.append("drawtext=fontfile=%s:text='%%{pts\\:hms}':fontsize=%d:fontcolor=yellow:box=1:"
                         "boxcolor=black@0.6:boxborderw=4:x=(w-tw)/2:y=h-th-h/18" % (FONT, max(8, h // 10)))
        note("making %s (%d s, once)" % (path, length))
        tmp = path + ".part.mp4"
        r = subprocess.run(
            ["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
             "-f", "lavfi", "-i", "%s=size=%dx%d:rate=%d" % (source, w, h, fps),
             "-f", "lavfi", "-i", "sine=frequency=%d:sample_rate=48000" % tone, "-t", str(length),
             "-vf", ",".join(chain) or "null",
             "-c:v", "libx264", "-preset", "veryfast", "-profile:v", "high", "-pix_fmt", "yuv420p",
             "-crf", "23", "-maxrate", "%dk" % kbps, "-bufsize", "%dk" % (2 * kbps),
             "-g", str(fps), "-keyint_min", str(fps), "-sc_threshold", "0",
             "-c:a", "aac", "-b:a", "96k", "-ac", "2", "-movflags", "+faststart", tmp],
            stdin=subprocess.DEVNULL)
        if r.returncode != 0:
            die("ffmpeg could not make %s" % path)
        os.replace(tmp, path)
    return names, length


def make_variant_segments(directory, fps, seconds):
    """The four files at each size of MASTER_SIZES, cut (without encoding
    again) into one-second MPEG-TS segments: {slot: {size: (folder name,
    [(segment name, seconds)], bits per second)}}. Made once."""
    out = {n: {} for n in range(1, 5)}
    for size in MASTER_SIZES:
        names, _ = make_media_files(directory, size, fps, seconds)
        for n, name in enumerate(names, 1):
            folder = name[:-len(".mp4")] + "-hls"
            full = os.path.join(directory, folder)
            playlist = os.path.join(full, "vod.m3u8")
            if not os.path.isfile(playlist):
                tmp = full + ".part"
                shutil.rmtree(tmp, ignore_errors=True)
                os.makedirs(tmp)
                r = subprocess.run(["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
                                    "-i", os.path.join(directory, name), "-c", "copy", "-f", "hls",
                                    "-hls_time", "1", "-hls_playlist_type", "vod",
                                    "-hls_segment_filename", os.path.join(tmp, "seg%03d.ts"),
                                    os.path.join(tmp, "vod.m3u8")], stdin=subprocess.DEVNULL)
                if r.returncode != 0:
                    die("ffmpeg could not cut %s into segments" % name)
                shutil.rmtree(full, ignore_errors=True)
                os.replace(tmp, full)
            with open(playlist) as f:
                text = f.read()
            segments = [(seg, float(d)) for d, seg in re.findall(r"#EXTINF:([\d.]+),\s*\n(\S+)", text)]
            total = sum(d for _, d in segments)
            bits = sum(os.path.getsize(os.path.join(full, s)) for s, _ in segments) * 8
            out[n][size] = (folder, segments, int(bits / total) if total else 0)
    return out


class LiveMaster(threading.Thread):
    """Publishes the variant segments as four live HLS streams, each behind a
    master playlist of three variants, in a folder the demo server serves
    under /media/: every second the variants' playlists move one segment on,
    as a live encoder's would, looping the segments (with a discontinuity)
    when they run out. Costs nothing but writing a few small files."""

    def __init__(self, directory, variants):
        super().__init__(daemon=True)
        self.directory, self.variants = directory, variants
        self.folder = "live-%d" % os.getpid()
        self.root = os.path.join(directory, self.folder)
        self.stopping = threading.Event()
        self.t0 = time.monotonic()

    def master_paths(self):
        return ["%s/%d/master.m3u8" % (self.folder, n) for n in sorted(self.variants)]

    def start(self):
        shutil.rmtree(self.root, ignore_errors=True)
        for n, sizes in self.variants.items():
            lines = ["#EXTM3U", "#EXT-X-VERSION:3"]
            for size in MASTER_SIZES:
                _, _, bps = sizes[size]
                lines += ['#EXT-X-STREAM-INF:BANDWIDTH=%d,RESOLUTION=%s,CODECS="avc1.640028,mp4a.40.2"'
                          % (bps, size), "%s/index.m3u8" % size]
            for size in MASTER_SIZES:
                os.makedirs(os.path.join(self.root, str(n), size))
            self._write(os.path.join(self.root, str(n), "master.m3u8"), lines)
        self._publish()
        super().start()

    def stop(self):
        self.stopping.set()
        self.join(5)
        shutil.rmtree(self.root, ignore_errors=True)

    def run(self):
        while not self.stopping.wait(0.5):
            self._publish()

    @staticmethod
    def _write(path, lines):
        tmp = path + ".tmp"
        with open(tmp, "w") as f:
            f.write("\n".join(lines) + "\n")
        os.replace(tmp, path)

    def _publish(self):
        # The stream began LIVE_WINDOW segments before the publisher started,
        # so that a player finds a full window at once.
        for n, sizes in self.variants.items():
            for size, (folder, segments, _) in sizes.items():
                cycle = len(segments)
                newest = int((time.monotonic() - self.t0) // 1.0) + LIVE_WINDOW - 1
                first = max(0, newest - LIVE_WINDOW + 1)
                lines = ["#EXTM3U", "#EXT-X-VERSION:3",
                         "#EXT-X-TARGETDURATION:%d" % math.ceil(max(d for _, d in segments)),
                         "#EXT-X-MEDIA-SEQUENCE:%d" % first,
                         "#EXT-X-DISCONTINUITY-SEQUENCE:%d" % (first // cycle)]
                for i in range(first, newest + 1):
                    if i % cycle == 0 and i > first:
                        lines.append("#EXT-X-DISCONTINUITY")
                    name, d = segments[i % cycle]
                    lines += ["#EXTINF:%.3f," % d, "/media/%s/%s" % (folder, name)]
                self._write(os.path.join(self.root, str(n), size, "index.m3u8"), lines)


def marker_tick(now, fps):
    return int(now * fps)


def marker_row(tick, width):
    """One row of the bar code for the wall clock `tick` (frame periods)."""
    value = tick % (1 << MARKER_BITS)
    gray = value ^ (value >> 1)
    bits = [1, 0] + [(gray >> (MARKER_BITS - 1 - k)) & 1 for k in range(MARKER_BITS)] + [1]
    row = bytearray(width)
    for x in range(width):
        row[x] = 235 if bits[x * MARKER_STRIPES // width] else 16
    return bytes(row)


def read_marker(luma, fps, now):
    """The age in seconds of the bar code in one screen row (`luma`: one
    brightness value per pixel), or None when the row shows no bar code."""
    lit = [i for i, v in enumerate(luma) if v > 128]
    if not lit:
        return None
    left, right = lit[0], lit[-1]
    width = right - left + 1
    if width < 4 * MARKER_STRIPES:
        return None
    bits = [1 if luma[left + int((k + 0.5) * width / MARKER_STRIPES)] > 128 else 0
            for k in range(MARKER_STRIPES)]
    if bits[0] != 1 or bits[1] != 0 or bits[-1] != 1:
        return None
    gray = 0
    for b in bits[2:2 + MARKER_BITS]:
        gray = (gray << 1) | b
    value, shift = gray, 1
    while (gray >> shift) > 0:
        value ^= gray >> shift
        shift += 1
    period = 1 << MARKER_BITS
    return ((marker_tick(now, fps) - value) % period) / float(fps)


class MarkerSource(threading.Thread):
    """A live camera's picture, made here: the wall clock as a bar code,
    MARKER_SIZE at `fps`, piped into one ffmpeg that encodes it as a live
    camera does (x264 veryfast, zero latency, a key frame a second) and sends
    it both as a live HLS stream into `hls_dir` and as MPEG-TS over UDP to
    `udp_port` (the RTSP camera's input)."""

    def __init__(self, fps, hls_dir, udp_port, log_path):
        super().__init__(daemon=True)
        self.fps, self.hls_dir, self.udp_port = fps, hls_dir, udp_port
        self.stopping = threading.Event()
        os.makedirs(hls_dir, exist_ok=True)
        w, h = MARKER_SIZE
        outputs = ("[f=hls:hls_time=1:hls_list_size=%d:hls_flags=delete_segments+temp_file:"
                   "hls_segment_filename=%s/seg%%05d.ts]%s/index.m3u8|[f=mpegts]udp://127.0.0.1:%d?pkt_size=1316"
                   % (LIVE_WINDOW, hls_dir, hls_dir, udp_port))
        self.proc = subprocess.Popen(
            ["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error",
             "-f", "rawvideo", "-pix_fmt", "gray", "-s", "%dx%d" % (w, h), "-r", str(fps), "-i", "-",
             "-c:v", "libx264", "-preset", "veryfast", "-tune", "zerolatency", "-pix_fmt", "yuv420p",
             "-g", str(fps), "-keyint_min", str(fps), "-sc_threshold", "0", "-b:v", "1500k",
             "-map", "0:v", "-f", "tee", outputs],
            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=open(log_path, "wb"))

    def run(self):
        w, h = MARKER_SIZE
        tick = marker_tick(time.time(), self.fps)
        try:
            while not self.stopping.is_set():
                tick += 1
                time.sleep(max(0.0, tick / float(self.fps) - time.time()))
                now_tick = marker_tick(time.time(), self.fps)
                if now_tick > tick + self.fps:      # fell far behind: skip to the present
                    tick = now_tick
                self.proc.stdin.write(marker_row(tick, w) * h)
                self.proc.stdin.flush()
        except (BrokenPipeError, ValueError, OSError):
            pass

    def wait_ready(self, timeout=20):
        end = time.monotonic() + timeout
        playlist = os.path.join(self.hls_dir, "index.m3u8")
        while time.monotonic() < end:
            try:
                with open(playlist) as f:
                    if f.read().count("#EXTINF") >= 3:
                        return True
            except OSError:
                pass
            if self.proc.poll() is not None:
                return False
            time.sleep(0.3)
        return False

    def stop(self):
        self.stopping.set()
        self.join(2)
        try:
            self.proc.stdin.close()
        except OSError:
            pass
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()

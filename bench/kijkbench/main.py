"""The command line and the sequence of rows."""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

from . import __doc__ as DESCRIPTION
from .common import DEFAULT_PORT, DEMO_SERVER, PROG, REPO, SCRIPT, STREAM_SERVER, TILE, die, note
from .contenders import (ALL_PARTS, ENGINE_OPTIONS, PEER_PARTS, ROW_LABELS, TICKER_PEER_LABEL, TICKER_STRIP,
                         chromium_command, unknown_engine_options, floor_commands, floor_players, free_port,
                         mpv_commands, mpv_default_commands, mpv_players, peer_window, program_command,
                         remove_run_dirs, vlc_commands, vlc_players, vlc_plays_rtsp)
from .media import (MARKER_SIZE, MASTER_SIZES, LiveMaster, MarkerSource, cache_dir, make_media_files,
                    make_variant_segments)
from .report import finish, report
from .screen import (PEER_BORDER, VIDEO_INSET, peer_tiles, place_windows, program_tiles, watch_latency,
                     watch_stall,
                     watch_program, watch_screen)
from .stage import port_free, start_demo_server, start_rtsp_camera, start_xvfb, stop
from .tree import cpu_jiffies, measure_tree, run_contender

PEER_PACKAGES = ("vlc", "chromium")   # the benchmark's own; the program's are in scripts/setup
VLC_PICTURE_HEIGHT = TILE[0] * 9 // 16
PEER_WINDOWS = [peer_window(i) for i in range(4)]


def parse_arguments():
    ap = argparse.ArgumentParser(prog=PROG, description=DESCRIPTION.split("\n\n")[0])
    ap.add_argument("--program", action="append", metavar="[LABEL=]PATH",
                    help="the kijkraam executable (default: build/kijkraam); repeat with LABEL=PATH "
                         "to compare builds, each gets its own rows")
    ap.add_argument("--program-env", action="append", default=[], metavar="LABEL:NAME=VALUE",
                    help="an environment variable for one program's rows (repeatable)")
    ap.add_argument("--peer-option", action="append", default=[], metavar="NAME=VALUE",
                    help="set or override one engine option for the mpv peers (repeatable); to compare "
                         "like for like, give the program the same option")
    ap.add_argument("--peer-env", action="append", default=[], metavar="NAME=VALUE",
                    help="an environment variable for the mpv peers (repeatable)")
    ap.add_argument("--mode", choices=("files", "live", "master"), default="files",
                    help="files: four pre-encoded files over plain HTTP, no encoder running (default); "
                         "live: the demo server's four live HLS streams, its encoders running beside; "
                         "master: four live HLS masters of three variants (1080p, 720p, 360p) made of "
                         "pre-encoded segments")
    ap.add_argument("--seconds", type=float, default=30, help="how long each contender plays (default 30)")
    ap.add_argument("--parts", default=",".join(ALL_PARTS),
                    help="rows to run, comma-separated, from %s (peer = both mpv rows and vlc; default all)"
                         % ", ".join(ALL_PARTS))
    ap.add_argument("--rounds", type=int, default=1,
                    help="run the whole sequence this many times, alternating (A, B, A, B); "
                         "the summary takes each row's median")
    ap.add_argument("--size", default="640x360",
                    help="stream picture size in files and live mode (default 640x360; the targets are "
                         "held at 640x360, 1280x720 and 1920x1080)")
    ap.add_argument("--fps", type=int, default=25, help="stream frame rate (default 25)")
    ap.add_argument("--cache-dir", help="where files mode keeps its media (default ~/.cache/kijkraam-bench)")
    ap.add_argument("--keep-logs", metavar="DIR", help="keep the logs of every process in DIR")
    ap.add_argument("--screenshots", metavar="DIR",
                    help="save a screenshot near the end of every program row (and the ticker strip) in DIR")
    ap.add_argument("--shared-network", action="store_true",
                    help="never run in a private network namespace (done when the port of the program's built-in server address is taken)")
    ap.add_argument("--install-peers", action="store_true",
                    help="install the peers' Debian packages (%s) with apt-get and stop"
                         % " ".join(PEER_PACKAGES))
    ap.add_argument("--measure-tree", help=argparse.SUPPRESS)
    ap.add_argument("--in-private-network", action="store_true", help=argparse.SUPPRESS)
    args = ap.parse_args()
    return args


def enter_private_network(args):
    """The program's server address is built in; so that it reaches this
    run's own demo server while another server holds the port, run
    everything in a private network namespace with only a loopback (this
    process is replaced; nothing happens when that cannot be done)."""
    if args.shared_network or args.in_private_network or port_free(DEFAULT_PORT):
        return
    unshare = ["unshare", "--net"] if os.geteuid() == 0 else ["unshare", "--map-root-user", "--net"]
    if shutil.which("unshare") and shutil.which("ip"):
        probe = subprocess.run(unshare + ["ip", "link", "set", "lo", "up"], stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if probe.returncode == 0:
            note("port %d is taken: running in a private network namespace" % DEFAULT_PORT)
            sys.stdout.flush()
            os.execvp(unshare[0], unshare + ["--", "sh", "-c", 'ip link set lo up && exec "$0" "$@"',
                                             sys.executable, SCRIPT]
                      + sys.argv[1:] + ["--in-private-network"])


def chosen_parts(arg):
    parts = []
    for p in (p.strip() for p in arg.split(",")):
        if p == "peer":
            parts += [x for x in PEER_PARTS if x not in parts]
        elif p in ALL_PARTS and p not in parts:
            parts.append(p)
        elif p:
            die("unknown --parts %s; use %s or peer" % (p, ", ".join(ALL_PARTS)))
    parts.sort(key=ALL_PARTS.index)
    if not parts:
        die("no --parts")
    return parts


def name_values(args, pattern, what):
    """{NAME: VALUE} of repeated NAME=VALUE arguments."""
    out = {}
    for arg in args:
        name, eq, value = arg.partition("=")
        if not eq or not re.fullmatch(pattern, name):
            die("bad %s %r: use NAME=VALUE" % (what, arg))
        out[name] = value
    return out


def chosen_programs(args):
    """[(label, path)] and {label: {NAME: VALUE}} of --program and --program-env."""
    programs = []
    for arg in args.program or [os.path.join(REPO, "build", "kijkraam")]:
        label, _, path = arg.partition("=") if "=" in arg else ("kijkraam", "", arg)
        if not re.fullmatch(r"[A-Za-z0-9_.-]+", label) or label in [l for l, _ in programs]:
            die("bad or repeated program label %r" % label)
        programs.append((label, os.path.abspath(path)))
    program_env = {}
    for arg in args.program_env:
        m = re.fullmatch(r"([^:]+):([A-Za-z_][A-Za-z0-9_]*)=(.*)", arg)
        if not m or m.group(1) not in [l for l, _ in programs]:
            die("bad --program-env %r: use LABEL:NAME=VALUE with a LABEL of --program" % arg)
        program_env.setdefault(m.group(1), {})[m.group(2)] = m.group(3)
    return programs, program_env


def check_prerequisites(parts, programs):
    missing = []
    for tool, package in (("Xvfb", "xvfb"), ("ffmpeg", "ffmpeg")):
        if not shutil.which(tool):
            missing.append("%s (apt-get install %s)" % (tool, package))
    if any(p in PEER_PARTS + ("ticker-peer", "latency") for p in parts) and not shutil.which("mpv"):
        missing.append("mpv (apt-get install mpv)")
    if any(p in ("vlc", "latency") for p in parts) and not shutil.which("vlc"):
        missing.append("vlc (%s --install-peers, or apt-get install vlc)" % PROG)
    if "ticker-peer" in parts and not shutil.which("chromium"):
        missing.append("chromium (%s --install-peers, or apt-get install chromium)" % PROG)
    if "latency" in parts and not os.path.isfile(STREAM_SERVER):
        missing.append("the RTSP camera %s" % STREAM_SERVER)
    if "eight" in parts and not shutil.which("xdotool"):
        missing.append("xdotool (apt-get install xdotool), for the eight-player row")
    if not os.path.isfile(DEMO_SERVER):
        missing.append("the demo server %s" % DEMO_SERVER)
    if any(p in ROW_LABELS for p in parts):
        for label, path in programs:
            if not (os.path.isfile(path) and os.access(path, os.X_OK)):
                missing.append("the program %s (build it first, pass --program PATH, "
                               "or leave its rows out with --parts)" % path)
    if missing:
        die("missing prerequisite: " + "; ".join(missing))


class Bench:
    """One run: the stage (demo server, Xvfb), the rows played on it one
    after the other, and their figures."""

    def __init__(self, args, parts, programs, program_env, peer_env, workdir):
        self.args, self.parts, self.programs = args, parts, programs
        self.program_env, self.peer_env, self.workdir = program_env, peer_env, workdir
        self.runs = []
        self.xvfb = self.server = self.master = None
        self.latency_stage = []

    def set_stage(self):
        args, workdir = self.args, self.workdir
        port = DEFAULT_PORT if port_free(DEFAULT_PORT) else 0
        self.source_width = int(args.size.split("x")[0])
        if args.mode == "files":
            media = cache_dir(args.cache_dir)
            names, length = make_media_files(media, args.size, args.fps, args.seconds)
            self.server, base = start_demo_server(port, args.size, args.fps, workdir, media)
            self.urls = ["%s/media/%s" % (base, name) for name in names]
            self.program_addresses = self.urls
            self.source = "four %d s files over plain HTTP" % length
        elif args.mode == "master":
            media = cache_dir(args.cache_dir)
            self.master = LiveMaster(media, make_variant_segments(media, args.fps, args.seconds))
            self.master.start()
            self.server, base = start_demo_server(port, args.size, args.fps, workdir, media)
            self.urls = ["%s/media/%s" % (base, path) for path in self.master.master_paths()]
            self.program_addresses = self.urls
            self.source_width = int(MASTER_SIZES[0].split("x")[0])
            self.source = "four live HLS masters of %s" % ", ".join(MASTER_SIZES)
        else:
            self.server, base = start_demo_server(port, args.size, args.fps, workdir)
            self.urls = ["%s/live/%d/index.m3u8" % (base, n) for n in range(1, 5)]
            self.source = "four live HLS streams (their encoders running)"
            if base.endswith(":%d" % DEFAULT_PORT):
                self.program_addresses = ["Auto"] * 4       # the built-in playlists
            else:
                self.program_addresses = ["%s/kwa/KR5/KR%d.asx" % (base, n) for n in range(1, 5)]
        ticker_server = "http://127.0.0.1:%d" % DEFAULT_PORT
        if not base.endswith(":%d" % DEFAULT_PORT):
            note("port %d is taken by another process; the program's counter and ticker pages go there"
                 % DEFAULT_PORT)
            try:
                urllib.request.urlopen(ticker_server + "/kwa/KR5/Daz_ticker.php", timeout=5).read()
            except (urllib.error.URLError, OSError):
                for row in ("ticker", "ticker-peer"):
                    if row in self.parts:
                        note("nothing answers the ticker page on port %d: leaving out the %s row"
                             % (DEFAULT_PORT, row))
                        self.parts.remove(row)
        self.xvfb, self.display = start_xvfb(workdir)
        note("%s mode: %s from %s, Xvfb %s, %g s per row, %d round(s)"
             % (args.mode, self.source, base, self.display, args.seconds, args.rounds))
        self.xenv = {"DISPLAY": self.display, "XDG_RUNTIME_DIR": workdir}
        self.ticker_url = ticker_server + "/kwa/KR5/Daz_ticker.php"
        if "latency" in self.parts:
            self.set_latency_stage()

    def set_latency_stage(self):
        """The live source of the latency rows: the bar-code picture, sent
        as a live HLS stream (served by a demo server of its own) and through
        the RTSP camera."""
        folder = os.path.join(self.workdir, "latency-media")
        udp_port = free_port()
        source = MarkerSource(self.args.fps, os.path.join(folder, "hls"), udp_port,
                              os.path.join(self.workdir, "marker-source.log"))
        source.start()
        self.latency_stage.append(source)
        camera, rtsp_url = start_rtsp_camera(udp_port, self.workdir)
        self.latency_stage.append(camera)
        server, base = start_demo_server(0, self.args.size, self.args.fps, self.workdir, folder)
        self.latency_stage.append(server)
        if not source.wait_ready():
            die("the latency source did not start (see --keep-logs: marker-source.log)")
        self.latency_sources = [("rtsp", rtsp_url), ("hls", base + "/media/hls/index.m3u8")]
        self.latency_control = base + "/control/fault?path=/media/hls/&mode="

    def clear_stage(self):
        for part in reversed(self.latency_stage):
            if isinstance(part, MarkerSource):
                part.stop()
            else:
                stop(part)
        if self.master:
            self.master.stop()
        remove_run_dirs()
        stop(self.server)
        if self.xvfb is not None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()

    def run(self, row, label, commands, players_of, during=None):
        tag = "%s-r%d" % (label.replace(" ", "-").replace("+", "-"), len(self.runs) + 1)
        note("running %s ..." % label)
        load0 = os.getloadavg()[0]
        before = cpu_jiffies()
        fig, side = run_contender(tag, commands, self.args.seconds, self.workdir, during)
        after = cpu_jiffies()
        if self.xvfb.poll() is not None:
            die("Xvfb %s ended during the %s run (exit %s); see --keep-logs"
                % (self.display, label, self.xvfb.returncode), 1)
        finish(fig, players_of(commands, fig), before, after)
        fig["load_1m"] = [round(load0, 2), round(os.getloadavg()[0], 2)]
        if side:
            fig["side"] = side
        self.runs.append({"row": row, "label": label, "fig": fig})
        time.sleep(2)

    def program_row(self, row, label, path):
        n = len(self.runs) + 1
        cmd, players_of = program_command(row, label, path, self.workdir, n, self.program_addresses,
                                          self.xenv, self.program_env.get(label, {}))
        shots = None
        if self.args.screenshots:
            shots = os.path.join(self.args.screenshots, "%s%s-%d" % (label, ROW_LABELS[row], n))
            os.makedirs(shots, exist_ok=True)

        def during(t0):
            return watch_program(self.display, t0, self.args.seconds, row, cmd["log"], shots)
        self.run(row, label + ROW_LABELS[row], [cmd], players_of, during)

    def shots(self, label):
        """Where --screenshots puts this row's pictures, or None."""
        if not self.args.screenshots:
            return None
        path = os.path.join(self.args.screenshots, "%s-%d" % (re.sub(r"[^A-Za-z0-9.-]+", "-", label),
                                                              len(self.runs) + 1))
        os.makedirs(path, exist_ok=True)
        return path

    def watching(self, label, tiles, ticker_rect=None, prepare=None):
        shots = self.shots(label)
        return lambda t0: watch_screen(self.display, t0, self.args.seconds, tiles, ticker_rect, shots,
                                       prepare(t0) if prepare else None)

    def placing_vlc(self, t0):
        """VLC opens its windows at the top left: put them where the tiles are."""
        def prepare():
            placed = place_windows(self.display, "VLC media player", PEER_WINDOWS,
                                   (TILE[0], VLC_PICTURE_HEIGHT), t0 + self.args.seconds * 0.5)
            return {"windows_placed": placed}
        return prepare

    def mpv_row(self, row, vo):
        cmds = mpv_commands(self.urls, vo, self.workdir, len(self.runs) + 1, dict(self.xenv, **self.peer_env))
        self.run(row, "mpv " + vo, cmds, mpv_players,
                 self.watching("mpv " + vo, peer_tiles(PEER_WINDOWS, None)))

    def vlc_row(self):
        cmds = vlc_commands(self.urls, self.workdir, len(self.runs) + 1, self.xenv, self.source_width)
        tiles = peer_tiles(PEER_WINDOWS, VLC_PICTURE_HEIGHT)
        self.run("vlc", "vlc", cmds, vlc_players, self.watching("vlc", tiles, prepare=self.placing_vlc))

    def ticker_peer_row(self):
        """What a user without the program runs for the same picture: four
        mpv players and the ticker page in a browser window of its own."""
        n = len(self.runs) + 1
        env = dict(self.xenv, **self.peer_env)
        at = (40, 40 + 2 * TILE[1] + 20)
        cmds = mpv_commands(self.urls, "x11", self.workdir, n, env)
        cmds.append(chromium_command(self.ticker_url, self.workdir, n, self.xenv, at))
        strip = (at[0] + 17, at[1] + 2, TICKER_STRIP[0] - 34, TICKER_STRIP[1] - 5)
        self.run("ticker-peer", TICKER_PEER_LABEL, cmds, mpv_players,
                 self.watching(TICKER_PEER_LABEL, peer_tiles(PEER_WINDOWS, None), strip))

    def latency_rows(self):
        """For each live source: the program and the peers a user would pick,
        four players each, all playing the same source; how old the picture
        on screen is."""
        for name, url in self.latency_sources:
            row = "latency-" + name
            for label, path in self.programs:
                cmd, players_of = program_command("latency", label, path, self.workdir, len(self.runs) + 1,
                                                  [url] * 4, self.xenv, self.program_env.get(label, {}),
                                                  suffix=" @" + name)
                self.run(row, "%s @%s" % (label, name), [cmd], players_of,
                         self.watching_latency(program_tiles(), VIDEO_INSET[0]))
            for low in (False, True):
                cmds = mpv_default_commands(url, self.workdir, len(self.runs) + 1, self.xenv, low)
                self.run(row, "mpv%s @%s" % (" low-latency" if low else "", name), cmds, mpv_players,
                         self.watching_latency(peer_tiles(PEER_WINDOWS, None), PEER_BORDER))
            if name == "rtsp" and not vlc_plays_rtsp():
                note("leaving out vlc @rtsp: this VLC has no RTSP client (Debian's VLC 3 is built without "
                     "live555)")
                continue
            cmds = vlc_commands([url] * 4, self.workdir, len(self.runs) + 1, self.xenv, MARKER_SIZE[0])
            self.run(row, "vlc @%s" % name, cmds, vlc_players,
                     self.watching_latency(peer_tiles(PEER_WINDOWS, VLC_PICTURE_HEIGHT), PEER_BORDER,
                                           self.placing_vlc))
        self.stall_rows()

    def stall_rows(self):
        """The program on the live HLS source, which stops answering for
        STALL_SECONDS in the middle of the row (the demo server's stall
        switch: headers, then nothing): how far behind the live edge its
        players are before and at the end."""
        url = dict(self.latency_sources)["hls"]

        def switch(mode):
            return lambda: urllib.request.urlopen(self.latency_control + mode, timeout=5).read()

        for label, path in self.programs:
            cmd, players_of = program_command("latency", label, path, self.workdir, len(self.runs) + 1,
                                              [url] * 4, self.xenv, self.program_env.get(label, {}),
                                              suffix=" @hls stall")
            self.run("stall-hls", "%s @hls stall" % label, [cmd], players_of,
                     lambda t0: watch_stall(self.display, t0, self.args.seconds, program_tiles(), VIDEO_INSET[0],
                                            self.args.fps, switch("stall"), switch("ok")))

    def watching_latency(self, tiles, margin, prepare=None):
        return lambda t0: watch_latency(self.display, t0, self.args.seconds, tiles, margin, self.args.fps,
                                        prepare(t0) if prepare else None)

    def floor_row(self):
        self.run("floor", "decode floor", floor_commands(self.urls, self.workdir, len(self.runs) + 1),
                 floor_players)

    def play(self):
        for _ in range(self.args.rounds):
            for part in self.parts:
                if part in ROW_LABELS:
                    for label, path in self.programs:
                        self.program_row(part, label, path)
                elif part == "mpv-gpu":
                    self.mpv_row(part, "gpu")
                elif part == "mpv-x11":
                    self.mpv_row(part, "x11")
                elif part == "vlc":
                    self.vlc_row()
                elif part == "ticker-peer":
                    self.ticker_peer_row()
                elif part == "latency":
                    self.latency_rows()
                else:
                    self.floor_row()


def main():
    args = parse_arguments()
    if args.measure_tree:
        measure_tree(args.measure_tree)
        return 0
    if args.install_peers:
        return subprocess.call(["apt-get", "install", "-y", "--no-install-recommends"] + list(PEER_PACKAGES))
    enter_private_network(args)
    parts = chosen_parts(args.parts)
    if args.seconds < 5:
        die("--seconds must be at least 5")
    if args.rounds < 1:
        die("--rounds must be at least 1")
    for name, value in name_values(args.peer_option, r"[a-z0-9-]+", "--peer-option").items():
        ENGINE_OPTIONS[:] = [(k, v) for k, v in ENGINE_OPTIONS if k != name] + [(name, value)]
    peer_env = name_values(args.peer_env, r"[A-Za-z_][A-Za-z0-9_]*", "--peer-env")
    programs, program_env = chosen_programs(args)
    check_prerequisites(parts, programs)
    drift = unknown_engine_options()
    for d in drift:
        note("this mpv does not know the engine option %s: the peers do without it, "
             "the program's players refuse it too" % d)
    ENGINE_OPTIONS[:] = [(k, v) for k, v in ENGINE_OPTIONS if "%s=%s" % (k, v) not in drift]

    workdir = tempfile.mkdtemp(prefix="kijkraam-bench-")
    for d in (args.screenshots, args.keep_logs):
        if d:
            os.makedirs(d, exist_ok=True)
    bench = Bench(args, parts, programs, program_env, peer_env, workdir)
    load_before = os.getloadavg()
    try:
        bench.set_stage()
        bench.play()
    finally:
        bench.clear_stage()
        if args.keep_logs:
            for name in os.listdir(workdir):
                src = os.path.join(workdir, name)
                if os.path.isfile(src):
                    shutil.copy2(src, os.path.join(args.keep_logs, name))
        shutil.rmtree(workdir, ignore_errors=True)

    report(args, bench.runs, programs, bench.source, load_before, drift)
    return 0

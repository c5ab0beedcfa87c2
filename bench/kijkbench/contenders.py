"""The contenders: the engine options the mpv peers share with the program's
players, how each contender is started, the media they play, and the logs
that say when each player played."""

import os
import re
import shutil
import socket
import subprocess
import tempfile

from .common import PLAYER_SOURCES, TILE, die, note

# The engine options of the program's libmpv players come from one table,
# src/player/engine-options.conf, which the build compiles into the program.
# Every mpv peer gets the rows meant for both and those meant for the peers,
# so that the comparison is like for like: same decoder threads, same audio
# output list, same cache and demuxer limits, same software-scaler settings.
# The program's own rows (its embedding, its web pages, its variant choice)
# stay out. An option mpv does not know is left out with a note (libmpv
# refuses it in the program too, and the program's log says so).
ENGINE_OPTIONS_FILE = os.path.join(PLAYER_SOURCES, "engine-options.conf")


def read_engine_options(path=ENGINE_OPTIONS_FILE):
    """[(name, value)] of the table's rows for the peers, in its order."""
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            name, eq, rest = line.partition("=")
            words = rest.split()
            who = words[1] if len(words) > 1 else ""
            if not eq or not name.strip() or " " in name.strip() or not 1 <= len(words) <= 2 \
                    or who not in ("", "program", "peers"):
                die("%s line %d is not 'name = value [program|peers]': %s" % (path, number, line))
            if who != "program":
                rows.append((name.strip(), words[0]))
    return rows


ENGINE_OPTIONS = read_engine_options()


def unknown_engine_options():
    """The peers' options that this mpv does not know, which are dropped
    (empty when mpv cannot be asked)."""
    if not shutil.which("mpv"):
        return []
    r = subprocess.run(["mpv", "--no-config", "--list-options"], stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    known = set(re.findall(r"^ --([a-z0-9-]+)", r.stdout.decode("utf-8", "replace"), re.M))
    if not known:
        return []
    return ["%s=%s" % (k, v) for k, v in ENGINE_OPTIONS if k not in known]


def read_log(path):
    """[(wrapper seconds, line)]"""
    out = []
    try:
        with open(path, "rb") as f:
            for raw in f:
                t, _, line = raw.decode("utf-8", "replace").rstrip("\n").partition("\t")
                out.append((float(t), line))
    except OSError:
        pass
    return out


# The program's documented log lines (README, "Benchmark"), enabled with
# QT_LOGGING_RULES and printed with QT_MESSAGE_PATTERN="%{category}: %{message}":
#   kijkraam.player: <window>/<player> playState <n>
#   kijkraam.player.frames: <window>/<player> frames <name> <count> [<name> <count> ...]
PROGRAM_STATE = re.compile(
    r"kijkraam\.player:\s+(?P<window>[^/\s]+)/(?P<player>\S+)\s+playState\s+(?P<state>\d+)\b")
PROGRAM_FRAMES = re.compile(
    r"kijkraam\.player\.frames:\s+(?P<window>[^/\s]+)/(?P<player>\S+)\s+frames(?P<fields>(?:\s+[a-z-]+\s+\d+)+)")


def program_players(log_path):
    """{"Window/Player": {"playing_at_s": first playState 3 by the line's
    arrival on the wrapper's clock, "frames": last frame counters}}."""
    players = {}
    for t, line in read_log(log_path):
        m = PROGRAM_STATE.search(line)
        if m:
            p = players.setdefault(m.group("window") + "/" + m.group("player"), {})
            if m.group("state") == "3" and "playing_at_s" not in p:
                p["playing_at_s"] = t
            continue
        m = PROGRAM_FRAMES.search(line)
        if m:
            p = players.setdefault(m.group("window") + "/" + m.group("player"), {})
            f = m.group("fields").split()
            p["frames"] = {f[i]: int(f[i + 1]) for i in range(0, len(f) - 1, 2)}
            p["frames_at_s"] = t
    return players


def ffmpeg_first_frame_time(log_path):
    """When ffmpeg's -progress output (flushed at every report, each 0.1 s)
    first reports a decoded frame, by the time the line was read."""
    for t, line in read_log(log_path):
        m = re.match(r"frame=\s*(\d+)", line)
        if m and int(m.group(1)) > 0:
            return t
    return None


def ffmpeg_dropped(log_path):
    """ffmpeg's last drop_frames= report (frames the muxer dropped)."""
    last = None
    for _, line in read_log(log_path):
        m = re.match(r"drop_frames=(\d+)", line)
        if m:
            last = int(m.group(1))
    return last


def mpv_argv(url, i, vo, ipc_path):
    """One mpv peer: the program's engine options, its own video output in a
    window of one tile's size, JSON IPC for the benchmark to read."""
    x, y = peer_window(i)
    argv = ["mpv"] + ["--%s=%s" % kv for kv in ENGINE_OPTIONS]
    if vo == "gpu":
        argv += ["--vo=gpu", "--gpu-api=opengl", "--gpu-context=x11egl", "--gpu-sw=yes"]
    else:
        argv += ["--vo=" + vo]
    argv += ["--idle=no", "--input-ipc-server=" + ipc_path, "--input-terminal=no",
             "--really-quiet", "--msg-level=all=error",
             "--geometry=%dx%d+%d+%d" % (TILE[0], TILE[1], x, y), "--no-keepaspect-window",
             "--title=mpv %d" % (i + 1), url]
    return argv


def mpv_default_argv(url, i, ipc_path, low_latency):
    """mpv as it comes (no configuration), drawing with --vo=x11, for the
    latency row; with or without its low-latency profile."""
    x, y = peer_window(i)
    return (["mpv", "--no-config", "--vo=x11"] + (["--profile=low-latency"] if low_latency else [])
            + ["--idle=no", "--input-ipc-server=" + ipc_path, "--input-terminal=no", "--really-quiet",
               "--geometry=%dx%d+%d+%d" % (TILE[0], TILE[1], x, y), "--no-keepaspect-window",
               "--title=mpv %d" % (i + 1), url])


def mpv_default_commands(url, workdir, n, env, low_latency):
    """Four mpv as they come, all playing `url` (the latency rows)."""
    socks = [os.path.join(workdir, "mpv-%d-%d.sock" % (n, i + 1)) for i in range(4)]
    return [{"argv": mpv_default_argv(url, i, sock, low_latency), "env": env, "ipc": sock,
             "log": os.path.join(workdir, "mpv-latency-%d-%d.log" % (n, i + 1))} for i, sock in enumerate(socks)]


def bench_user():
    """(uid, gid, home) of the ordinary user that VLC runs as when the
    benchmark runs as root, made the first time; None when not root."""
    if os.geteuid() != 0:
        return None
    import pwd
    try:
        pw = pwd.getpwnam(BENCH_USER)
    except KeyError:
        home = "/var/tmp/%s-user" % BENCH_USER
        r = subprocess.run(["useradd", "--system", "--create-home", "--home-dir", home,
                            "--shell", "/usr/sbin/nologin", BENCH_USER], stdin=subprocess.DEVNULL)
        if r.returncode != 0:
            die("cannot make the ordinary user %s that VLC runs as" % BENCH_USER)
        note("made the ordinary user %s (home %s) for the VLC peer" % (BENCH_USER, home))
        pw = pwd.getpwnam(BENCH_USER)
    return pw.pw_uid, pw.pw_gid, pw.pw_dir


RUN_DIRS = []      # VLC's runtime folders, removed by remove_run_dirs()


def remove_run_dirs():
    while RUN_DIRS:
        shutil.rmtree(RUN_DIRS.pop(), ignore_errors=True)


def vlc_commands(urls, workdir, n, env, source_width, tag="vlc"):
    """Four VLC players (VLC 3, its defaults), each in a window of one
    tile's width (--zoom; the benchmark puts the windows in place, since
    VLC's X11 output places them at the top left), X11 video output (xcb_x11),
    no audio, no window decorations. VLC's HTTP interface on 127.0.0.1 tells
    the benchmark its pictures displayed and lost. As root, VLC runs as the
    ordinary user BENCH_USER, with a home and runtime folder of its own."""
    user = bench_user()
    rundir = tempfile.mkdtemp(prefix="%s-%d-run-" % (tag, n))      # outside the workdir, which is root's alone
    RUN_DIRS.append(rundir)
    venv = dict(env, XDG_RUNTIME_DIR=rundir)
    if user:
        os.chown(rundir, user[0], user[1])
        os.chmod(rundir, 0o700)
        venv["HOME"] = user[2]
    cmds = []
    for i, url in enumerate(urls):
        port = free_port()
        cmds.append({"argv": ["vlc", "-I", "dummy", "--extraintf", "http", "--http-host", "127.0.0.1",
                              "--http-port", str(port), "--http-password", "kijkraam",
                              "--no-audio", "--vout=xcb_x11", "--no-video-deco", "--no-video-title-show",
                              "--no-autoscale", "--zoom=%.4f" % (TILE[0] / float(source_width)),
                              "--no-disable-screensaver", "--quiet", url],
                     "env": venv, "vlc_http": port, "user": list(user[:2]) if user else None,
                     "log": os.path.join(workdir, "%s-%d-%d.log" % (tag, n, i + 1))})
    return cmds


def vlc_plays_rtsp():
    """Whether VLC has its RTSP client (the live555 access module)."""
    r = subprocess.run(["vlc", "--list"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, user=(bench_user() or [None])[0])
    return b"live555" in r.stdout


def vlc_players(cmds, fig):
    """Each VLC's figures, from what its HTTP interface said."""
    out = {}
    for i, ipc in enumerate(fig["ipc"]):
        ipc = ipc or {}
        st = ipc.get("stats", {})
        out["vlc %d" % (i + 1)] = {"playing_at_s": ipc.get("playing_at_s"),
                                   "dropped": st.get("lostpictures"), "decoder_dropped": 0,
                                   "displayed": st.get("displayedpictures"),
                                   "vo": "xcb_x11", "ao": "none", "hwdec": "-"}
    return out


def chromium_command(url, workdir, n, env, at):
    """Debian's Chromium showing `url` alone (--app) in a window of the
    ticker strip's size at `at`, with a fresh profile and without its
    background traffic."""
    profile = os.path.join(workdir, "chromium-%d-profile" % n)
    argv = ["chromium", "--app=" + url, "--window-size=%d,%d" % TICKER_STRIP,
            "--window-position=%d,%d" % at, "--user-data-dir=" + profile,
            "--disable-background-networking", "--disable-component-update", "--no-first-run"]
    if os.geteuid() == 0:
        # --test-type only keeps the warning about --no-sandbox from covering the strip
        argv += ["--no-sandbox", "--test-type"]
    return {"argv": argv, "env": env, "log": os.path.join(workdir, "chromium-%d.log" % n)}


def free_port():
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    try:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]
    finally:
        s.close()


def write_ini(path, addresses, ticker):
    lines = ["[Kijkraam]", "Autostart=Ja", "Nieuws=%s" % ("Ja" if ticker else "Nee")]
    for n, adres in enumerate(addresses, 1):
        lines += ["[Stream%d]" % n, "Adres=%s" % adres]
    with open(path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


ROW_LABELS = {"program": "", "ticker": "+ticker", "eight": "+eight"}
PEER_PARTS = ("mpv-gpu", "mpv-x11", "vlc")       # the "cheapest peer" is one of these
ALL_PARTS = ("program", "ticker", "eight") + PEER_PARTS + ("ticker-peer", "floor", "latency")
PEER_LABELS = ("mpv gpu", "mpv x11", "vlc")
TICKER_PEER_LABEL = "mpv x11+chromium"
BENCH_USER = "kijkraam-bench"      # VLC refuses to run as root: it runs as this ordinary user
TICKER_STRIP = (425, 33)           # the ticker page's strip, in pixels


def peer_window(i):
    """Where peer player i's window lies: (x, y), a 2 x 2 grid of tiles."""
    return 40 + (i % 2) * TILE[0], 40 + (i // 2) * TILE[1]


def program_command(row, label, path, workdir, n, addresses, xenv, extra_env, suffix=None):
    """The program for one row, copied into a folder of its own with an
    ini.ini beside it; and how to read its players from its log."""
    suffix = ROW_LABELS[row] if suffix is None else suffix
    progdir = os.path.join(workdir, "program-%s-%d" % (row, n))
    os.makedirs(progdir)
    exe = os.path.join(progdir, os.path.basename(path))
    shutil.copy2(path, exe)      # it reads ini.ini beside itself
    write_ini(os.path.join(progdir, "ini.ini"), addresses, ticker=(row == "ticker"))
    env = dict(xenv, QT_QPA_PLATFORM="xcb",
               QT_LOGGING_RULES="kijkraam.player.debug=true;kijkraam.player.frames.debug=true",
               QT_MESSAGE_PATTERN="%{category}: %{message}")
    env.update(extra_env)
    if os.geteuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    log = os.path.join(workdir, "%s%s-%d.log" % (label, suffix.replace(" @", "-"), n))
    expected = ["Form1/WindowsMediaPlayer%d" % n for n in range(1, 5)]
    if row == "eight":
        expected += ["Stream%d/WindowsMediaPlayer1" % n for n in range(1, 5)]

    def players_of(cmds, fig):
        seen = program_players(cmds[0]["log"])
        out = {}
        for name in expected:
            p = seen.get(name, {})
            frames = p.get("frames", {})
            out[name] = {"playing_at_s": p.get("playing_at_s"),
                         "dropped": frames.get("dropped"),
                         "decoder_dropped": frames.get("decoder-dropped"),
                         "frames": frames or None}
        return out
    return {"argv": [exe], "cwd": progdir, "env": env, "log": log}, players_of


def mpv_commands(urls, vo, workdir, n, env):
    return [{"argv": mpv_argv(url, i, vo, os.path.join(workdir, "mpv-%d-%d.sock" % (n, i + 1))),
             "env": env, "ipc": os.path.join(workdir, "mpv-%d-%d.sock" % (n, i + 1)),
             "log": os.path.join(workdir, "mpv-%s-%d-%d.log" % (vo, n, i + 1))}
            for i, url in enumerate(urls)]


def mpv_players(cmds, fig):
    """Each mpv peer's figures, from what its JSON IPC said."""
    out = {}
    for i, ipc in enumerate(fig["ipc"]):
        if ipc is None and "ipc" not in cmds[i]:
            continue            # not a player (the ticker peer's browser)
        ipc = ipc or {}
        st = ipc.get("stats", {})
        out["mpv %d" % (i + 1)] = {"playing_at_s": ipc.get("playing_at_s"),
                                   "restart_at_s": ipc.get("restart_at_s"),
                                   "dropped": st.get("frame-drop-count"),
                                   "decoder_dropped": st.get("decoder-frame-drop-count"),
                                   "delayed": st.get("vo-delayed-frame-count"),
                                   "vo": st.get("current-vo"), "ao": st.get("current-ao"),
                                   "hwdec": st.get("hwdec-current")}
    return out


def floor_commands(urls, workdir, n):
    """The decode floor: four ffmpeg decoding in real time, nothing drawn."""
    return [{"argv": ["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-re",
                      "-i", url, "-f", "null", "-progress", "pipe:1", "-stats_period", "0.1", "-"],
             "log": os.path.join(workdir, "floor-%d-%d.log" % (n, i + 1))}
            for i, url in enumerate(urls)]


def floor_players(cmds, fig):
    return {"ffmpeg %d" % (i + 1): {"playing_at_s": ffmpeg_first_frame_time(c["log"]),
                                    "dropped": ffmpeg_dropped(c["log"]), "decoder_dropped": 0}
            for i, c in enumerate(cmds)}

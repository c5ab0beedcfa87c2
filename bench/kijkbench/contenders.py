"""The contenders: the engine options the mpv peers share with the program's
players, how each contender is started, the media they play, and the logs
that say when each player played."""

import os
import re
import shutil
import subprocess

from .common import PLAYER_SOURCES, TILE, die, note

# The engine options of the program's libmpv players, as its player backend
# sets them (src/player/MpvBackend.cpp, the opt(...) calls). Every mpv peer
# gets exactly these, so that the comparison is like for like: same decoder
# threads, same audio output list, same cache and demuxer limits, same
# software-scaler settings. Left out, because they are about the program's
# embedding and not about playing: vo (the program draws through libmpv's
# render API, the peers through their own video output), idle and terminal.
# Options the program sets but mpv does not know (libmpv rejects them, so
# they have no effect) are left out too; the drift check names them.
ENGINE_OPTIONS = [
    ("hwdec", "auto-safe"),
    ("keep-open", "no"),
    ("config", "no"),
    ("input-default-bindings", "no"),
    ("input-vo-keyboard", "no"),
    ("osc", "no"),
    ("ytdl", "no"),
    ("load-scripts", "no"),
    ("load-stats-overlay", "no"),
    ("load-osd-console", "no"),
    ("load-auto-profiles", "no"),
    ("load-unsafe-playlists", "no"),
    ("audio-client-name", "Kijkraam"),
    ("ao", "pipewire,pulse,alsa,null"),
    ("volume", "50"),
    ("cache", "yes"),
    ("cache-pause", "yes"),
    ("cache-pause-wait", "1"),
    ("cache-secs", "10"),
    ("demuxer-max-bytes", "8MiB"),
    ("demuxer-max-back-bytes", "0"),
    ("network-timeout", "15"),
    ("profile", "sw-fast"),
    ("sws-allow-zimg", "no"),
    ("vd-lavc-threads", "2"),
    ("demuxer-lavf-o", "timeout=15000000"),
]
EMBEDDING_OPTIONS = {"vo", "idle", "terminal"}

# Each stream's look: picture source, hue shift, tone (like the demo server's).
SLOT_LOOKS = {1: ("testsrc2", 0, 440), 2: ("smptebars", 0, 554),
              3: ("testsrc2", 120, 659), 4: ("testsrc2", 240, 880)}
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
MEDIA_RECIPE = "v1"        # change when the encoding below changes: old cache entries are not reused


# Logs: when did each player start playing, and its frame counters.

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


def cache_dir(arg):
    if arg:
        return os.path.abspath(arg)
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "kijkraam-bench")


def make_media_files(directory, size, fps, seconds):
    """Four distinct H.264 + AAC files (MP4, index first so that playing over
    HTTP starts at once), encoded like the demo server's live streams, at
    least `seconds` long (whole minutes). Made once and kept in `directory`."""
    length = 60 * (int(seconds) // 60 + 1)
    w, h = (int(v) for v in size.split("x"))
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
             "-c:v", "libx264", "-preset", "ultrafast", "-tune", "zerolatency", "-pix_fmt", "yuv420p",
             "-crf", "26", "-g", str(fps), "-keyint_min", str(fps), "-sc_threshold", "0",
             "-c:a", "aac", "-b:a", "64k", "-ac", "2", "-movflags", "+faststart", tmp],
            stdin=subprocess.DEVNULL)
        if r.returncode != 0:
            die("ffmpeg could not make %s" % path)
        os.replace(tmp, path)
    return names, length


def engine_option_drift():
    """Differences between ENGINE_OPTIONS and the opt("name", "value") calls
    in the program's player sources, so that the peers' list cannot go stale
    unnoticed. Empty when they agree or the sources are not there."""
    found = {}
    try:
        for name in sorted(os.listdir(PLAYER_SOURCES)):
            if name.endswith(".cpp"):
                with open(os.path.join(PLAYER_SOURCES, name), encoding="utf-8", errors="replace") as f:
                    for m in re.finditer(r'\bopt\(\s*"([^"]+)"\s*,\s*"([^"]*)"\s*\)', f.read()):
                        found[m.group(1)] = m.group(2)
    except OSError:
        return []
    if not found:
        return []
    known = None
    if shutil.which("mpv"):
        r = subprocess.run(["mpv", "--no-config", "--list-options"], stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        known = set(re.findall(r"^ --([a-z0-9-]+)", r.stdout.decode("utf-8", "replace"), re.M)) or None
    ours = dict(ENGINE_OPTIONS)
    drift = []
    for k, v in sorted(found.items()):
        if k in EMBEDDING_OPTIONS:
            continue
        if known is not None and k not in known:
            if k in ours:
                drift.append("the peers get %s=%s, which mpv does not know" % (k, ours[k]))
            else:
                note("the program sets %s=%s, which mpv does not know: libmpv rejects it, "
                     "so it has no effect (the peers do not get it either)" % (k, v))
            continue
        if k not in ours:
            drift.append("the program sets %s=%s, the peers do not" % (k, v))
        elif ours[k] != v:
            drift.append("the program sets %s=%s, the peers %s=%s" % (k, v, k, ours[k]))
    for k, v in ENGINE_OPTIONS:
        if k not in found:
            drift.append("the peers get %s=%s, the program does not set it" % (k, v))
    return drift


def mpv_argv(url, i, vo, ipc_path):
    """One mpv peer: the program's engine options, its own video output in a
    window of one tile's size, JSON IPC for the benchmark to read."""
    x, y = 40 + (i % 2) * TILE[0], 40 + (i // 2) * TILE[1]
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


def write_ini(path, addresses, ticker):
    lines = ["[Kijkraam]", "Autostart=Ja", "Nieuws=%s" % ("Ja" if ticker else "Nee")]
    for n, adres in enumerate(addresses, 1):
        lines += ["[Stream%d]" % n, "Adres=%s" % adres]
    with open(path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


ROW_LABELS = {"program": "", "ticker": "+ticker", "eight": "+eight"}
PEER_PARTS = ("mpv-gpu", "mpv-x11")
ALL_PARTS = ("program", "ticker", "eight") + PEER_PARTS + ("floor",)


def program_command(row, label, path, workdir, n, addresses, xenv, extra_env):
    """The program for one row, copied into a folder of its own with an
    ini.ini beside it; and how to read its players from its log."""
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
    log = os.path.join(workdir, "%s%s-%d.log" % (label, ROW_LABELS[row], n))
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

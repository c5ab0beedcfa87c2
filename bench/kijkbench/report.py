"""The figures of each run, their medians, the ratios, the targets and what
users see, printed as a table and as one JSON line."""

import json
import os

from .common import fmt, median, ratio
from .contenders import ENGINE_OPTIONS, PEER_LABELS, PEER_PARTS, ROW_LABELS, TICKER_PEER_LABEL


def finish(fig, players, busy_before, busy_after):
    """Add the derived figures of one run. `players`: {name: {"playing_at_s",
    "dropped", "decoder_dropped", ...}} for every player expected."""
    fig["cpu_s"] = fig["cpu_user_s"] + fig["cpu_sys_s"]
    fig["stopped_in_s"] = fig["all_gone_at_s"] - fig["stopped_at_s"]
    fig["peak_rss_mib"] = fig["peak_rss_kb"] / 1024.0
    fig["peak_pss_mib"] = fig["peak_pss_kb"] / 1024.0
    fig["peak_anon_mib"] = fig["peak_anon_kb"] / 1024.0
    fig["players"] = players
    times = [p.get("playing_at_s") for p in players.values()]
    fig["players_expected"] = len(players)
    fig["players_playing"] = sum(1 for t in times if t is not None)
    fig["time_to_all_playing_s"] = max(times) if times and all(t is not None for t in times) else None
    drops = [p.get("dropped") for p in players.values()]
    dec = [p.get("decoder_dropped") for p in players.values()]
    fig["dropped"] = sum(drops) if drops and all(d is not None for d in drops) else None
    fig["decoder_dropped"] = sum(dec) if dec and all(d is not None for d in dec) else None
    busy = busy_after[0] - busy_before[0]
    total = busy_after[1] - busy_before[1]
    fig["machine_busy_pct"] = 100.0 * busy / total if total else None
    procs = sorted(fig["processes"].values(), key=lambda e: -e["peak_pss_kb"])
    fig["process_pss_mib"] = [(e.get("role") or "?", round(e["peak_pss_kb"] / 1024.0, 1),
                               round(e["peak_anon_kb"] / 1024.0, 1), round(e.get("cpu_s", 0.0), 2))
                              for e in procs]
    main = [p for p in fig["processes"].values() if p.get("switches") and p.get("role")
            and not p["role"].startswith("QtWebEngineProcess")]
    if main:
        m = max(main, key=lambda e: e.get("cpu_s", 0))
        fig["main_threads"] = m["switches"]["threads"]
        fig["main_thread_switches_per_s"] = round(sum(m["switches"]["main"]) / fig["stopped_at_s"], 1)
        fig["threads_cpu_s"] = m.get("threads_cpu_s") or {}


SUMMARY_KEYS = ("cpu_s", "cpu_second_half_s", "peak_pss_mib", "peak_anon_mib", "peak_rss_mib",
                "time_to_all_playing_s", "dropped", "decoder_dropped", "machine_busy_pct")
# The targets (at most): CPU of the program against the cheapest peer (with a
# three-variant master: against the cheapest peer given the same master) and
# the decode floor, its peak PSS against the cheapest peer, the ticker, eight
# players, latency against the fastest peer as it comes.
CPU_PER_PEER = {"files": 0.9, "live": 0.9, "master": 0.5}
CPU_PER_FLOOR = 1.3            # files mode at 1280x720 and larger
PSS_PER_PEER = 0.6
TICKER_ON_OFF = 1.2
TICKER_PER_PEER = 0.8
EIGHT_PER_FOUR = 2.1
LATENCY_ROWS = ("latency-rtsp", "latency-hls", "stall-hls")
# After the live source stalled: at most this much further behind the live
# edge at the end of the row than before the stall (s).
STALL_FURTHER_BEHIND = 1.0


def print_runs(args, runs, source):
    print()
    print("%s mode: %s, %s at %d fps, %g s per row, under Xvfb (software OpenGL); %d core(s)"
          % (args.mode, source, args.size if args.mode != "master" else "variants", args.fps, args.seconds,
             os.cpu_count() or 1))
    head = "%-22s %6s %6s %8s %8s %8s %9s %8s %9s %6s %6s %11s" % (
        "", "CPU s", "2nd/2", "PSS MiB", "anon MiB", "RSS MiB", "playing s", "playing", "dropped", "stop s",
        "busy%", "load 1m")
    print(head)
    for r in runs:
        f = r["fig"]
        drop = "-" if f["dropped"] is None else "%d+%d" % (f["dropped"], f["decoder_dropped"] or 0)
        print("%-22s %6.2f %6s %8.1f %8.1f %8.1f %9s %6d/%d %9s %6.1f %6s %11s" % (
            r["label"], f["cpu_s"], fmt(f["cpu_second_half_s"]), f["peak_pss_mib"], f["peak_anon_mib"],
            f["peak_rss_mib"],
            fmt(f["time_to_all_playing_s"]),
            f["players_playing"], f["players_expected"], drop, f["stopped_in_s"],
            fmt(f["machine_busy_pct"], 0), "%.2f>%.2f" % tuple(f["load_1m"])))


def summarise(args, runs):
    """Per row: the median over the rounds."""
    rows = {}
    for r in runs:
        rows.setdefault(r["label"], []).append(r["fig"])
    summary = {}
    for label, figs in rows.items():
        summary[label] = {k: median([f[k] for f in figs]) for k in SUMMARY_KEYS}
        summary[label]["runs"] = len(figs)
        latencies = [t for f in figs for t in ((f.get("side") or {}).get("latency_s") or []) if t is not None]
        if latencies or any("latency_s" in (f.get("side") or {}) for f in figs):
            summary[label]["latency_s"] = median(latencies)
        before = [t for f in figs for t in ((f.get("side") or {}).get("latency_before_s") or []) if t is not None]
        if before:
            summary[label]["latency_before_s"] = median(before)
    if args.rounds > 1:
        print()
        print("medians over %d rounds" % args.rounds)
        for label, s in summary.items():
            print("%-22s %6s %6s %8s %8s %8s %9s" % (label, fmt(s["cpu_s"]), fmt(s["cpu_second_half_s"]),
                                                 fmt(s["peak_pss_mib"], 1),
                                                 fmt(s["peak_anon_mib"], 1), fmt(s["peak_rss_mib"], 1),
                                                 fmt(s["time_to_all_playing_s"])))
    return summary


def print_side(label, side):
    """What was seen on the screen during one row."""
    if "error" in side:
        print("  %-20s looking at the screen failed: %s" % ("", side["error"]))
    if "video_tiles_moving" in side:
        what = "main window tiles" if label.split(" ")[0].split("+")[0] not in ("mpv", "vlc") else "windows"
        print("  %-20s %s showing moving video: %d/%d"
              % ("", what, side["video_tiles_moving"], side.get("video_tiles_expected", 4)))
    tick = side.get("ticker")
    if tick:
        print("  %-20s ticker: %s picture changes/s, scrolls %s px/s (steps %s px), longest still "
              "%s s, lit %.0f %%" % ("", tick["updates_per_s"], tick["scroll_px_per_s"],
                                    "-".join(str(x) for x in tick["step_px"] or []),
                                    tick["longest_still_s"], 100 * tick["lit_share"]))
    sw = side.get("stream_windows")
    if sw:
        print("  %-20s stream windows opened: %s (clicks at %s s)%s"
              % ("", sw.get("opened"), sw.get("clicked_at_s"), " " + sw["error"] if sw.get("error") else ""))
    if "latency_before_s" in side:
        print("  %-20s before the stall, on screen after (s, per player): %s"
              % ("", ", ".join(fmt(t) for t in side["latency_before_s"])))
    if "latency_s" in side:
        print("  %-20s on screen after (s, per player): %s (%s readings)"
              % ("", ", ".join(fmt(t) for t in side["latency_s"]),
                 "/".join(str(n) for n in side["latency_readings"])))


def print_details(runs):
    print()
    print("program processes (peak PSS MiB / peak anonymous MiB / CPU s at the stop) and frames")
    for r in runs:
        f = r["fig"]
        if r["row"] not in ROW_LABELS:
            continue
        procs = ", ".join("%s %.1f/%.1f/%.1f" % p for p in f["process_pss_mib"])
        print("  %-20s %s" % (r["label"], procs))
        frames = [p.get("frames") for p in f["players"].values()]
        if all(frames):
            per_s = []
            for name, p in f["players"].items():
                played = (p.get("frames_at_s") or f["stopped_at_s"]) - (p.get("playing_at_s") or 0)
                fr = p["frames"]
                window, _, player = name.partition("/")
                short = "F%s" % player[-1] if window == "Form1" else "S%s" % window[-1]
                if "rendered" in fr and played > 0:
                    per_s.append("%s %.1f/%.1f" % (short, fr["rendered"] / played, fr.get("shown", 0) / played))
            if per_s:
                print("  %-20s frames rendered/shown per s: %s" % ("", ", ".join(per_s)))
        else:
            print("  %-20s (no frame counters: the program prints no kijkraam.player.frames lines)" % "")
        if f.get("main_thread_switches_per_s") is not None:
            print("  %-20s user-interface thread: %.0f context switches/s; %d threads"
                  % ("", f["main_thread_switches_per_s"], f["main_threads"]))
        if f.get("threads_cpu_s"):
            top = list(f["threads_cpu_s"].items())[:6]
            print("  %-20s CPU s by thread: %s" % ("", ", ".join("%s %.2f" % kv for kv in top)))
        print_side(r["label"], f.get("side") or {})
    others = [r for r in runs if r["row"] not in ROW_LABELS and r["fig"].get("side")]
    if others:
        print()
        print("peers and latency rows, on the screen")
        for r in others:
            print("  %s" % r["label"])
            print_side(r["label"], r["fig"]["side"])
    peers_run = [r for r in runs if r["row"] in PEER_PARTS]
    if peers_run:
        print()
        print("peers (JSON IPC, VLC's HTTP interface): vo / ao / hwdec = %s" % ", ".join(sorted({
            "%s/%s/%s" % (p.get("vo"), p.get("ao"), p.get("hwdec"))
            for r in peers_run for p in r["fig"]["players"].values()})))


def ratios_and_targets(args, summary, programs, faulty, unplayed):
    """Ratios against the cheapest peer of the run (by CPU), the decode
    floor and the ticker peer, and the targets they are held to."""
    peers = {l: s for l, s in summary.items() if l in PEER_LABELS and s["cpu_s"] is not None}
    # A peer that dropped frames or left a window still was cheap by drawing
    # less: the cheapest peer is the cheapest that showed everything, when
    # there is one.
    clean = {l: s for l, s in peers.items() if l not in faulty}
    # failing that, one whose every player played
    playing = {l: s for l, s in peers.items() if l not in unplayed}
    cheapest = min(clean or playing or peers, key=lambda l: peers[l]["cpu_s"]) if peers else None
    left_out = sorted(l for l in peers
                      if clean and l not in clean and peers[l]["cpu_s"] < peers[cheapest]["cpu_s"])
    playing_peers = [s["time_to_all_playing_s"] for s in peers.values() if s["time_to_all_playing_s"]]
    fastest = min(playing_peers) if playing_peers else None
    floor = summary.get("decode floor")
    ticker_peer = summary.get(TICKER_PEER_LABEL)
    ratios, targets = {}, []

    def pair(a, b):
        return {"cpu": ratio(a["cpu_s"], b["cpu_s"]),
                "cpu_second_half": ratio(a["cpu_second_half_s"], b["cpu_second_half_s"]),
                "peak_pss": ratio(a["peak_pss_mib"], b["peak_pss_mib"]),
                "peak_anon": ratio(a["peak_anon_mib"], b["peak_anon_mib"]),
                "peak_rss": ratio(a["peak_rss_mib"], b["peak_rss_mib"]),
                "all_playing": ratio(a["time_to_all_playing_s"], b["time_to_all_playing_s"])}
    floor_held = args.mode == "files" and int(args.size.split("x")[1]) >= 720
    for label, _ in programs:
        prog = summary.get(label)
        tick = summary.get(label + "+ticker")
        eight = summary.get(label + "+eight")
        for other_label, other in (("cheapest peer (%s)" % cheapest, peers.get(cheapest)),
                                   ("decode floor", floor)):
            if prog and other:
                ratios["%s / %s" % (label, other_label)] = pair(prog, other)
        if tick and ticker_peer:
            ratios["%s+ticker / %s" % (label, TICKER_PEER_LABEL)] = pair(tick, ticker_peer)
        if prog and tick:
            ratios["%s: ticker on / off" % label] = {"cpu": ratio(tick["cpu_s"], prog["cpu_s"]),
                                                     "cpu_second_half": ratio(tick["cpu_second_half_s"],
                                                                              prog["cpu_second_half_s"]),
                                                     "peak_pss": ratio(tick["peak_pss_mib"], prog["peak_pss_mib"])}
        if prog and eight:
            ratios["%s: eight / four players" % label] = {
                "cpu": ratio(eight["cpu_s"], prog["cpu_s"]),
                "cpu_second_half": ratio(eight["cpu_second_half_s"], prog["cpu_second_half_s"]),
                "peak_pss": ratio(eight["peak_pss_mib"], prog["peak_pss_mib"])}
        if prog and cheapest:
            r = ratios["%s / cheapest peer (%s)" % (label, cheapest)]
            targets.append(("%s CPU / %s" % (label, cheapest), r["cpu"], CPU_PER_PEER[args.mode]))
            targets.append(("%s peak PSS / %s" % (label, cheapest), r["peak_pss"], PSS_PER_PEER))
        if prog and floor and floor_held:
            targets.append(("%s CPU / decode floor" % label, ratios["%s / decode floor" % label]["cpu"],
                            CPU_PER_FLOOR))
        if prog and fastest is not None and prog["time_to_all_playing_s"] is not None:
            targets.append(("%s all playing - fastest peer (s)" % label,
                            prog["time_to_all_playing_s"] - fastest, 0.0))
        if prog and tick:
            targets.append(("%s ticker on / off CPU" % label, ratios["%s: ticker on / off" % label]["cpu"],
                            TICKER_ON_OFF))
        if tick and ticker_peer:
            targets.append(("%s+ticker CPU / %s" % (label, TICKER_PEER_LABEL),
                            ratios["%s+ticker / %s" % (label, TICKER_PEER_LABEL)]["cpu"], TICKER_PER_PEER))
        if prog and eight:
            r = ratios["%s: eight / four players" % label]
            targets.append(("%s eight / four CPU" % label, r["cpu"], EIGHT_PER_FOUR))
            targets.append(("%s eight / four peak PSS" % label, r["peak_pss"], EIGHT_PER_FOUR))
        for source in ("rtsp", "hls"):
            mine = (summary.get("%s @%s" % (label, source)) or {}).get("latency_s")
            theirs = [(summary.get("%s @%s" % (p, source)) or {}).get("latency_s") for p in ("mpv", "vlc")]
            theirs = [t for t in theirs if t is not None]
            if mine is not None and theirs:
                targets.append(("%s latency @%s - fastest peer (s)" % (label, source), mine - min(theirs), 0.0))
        stalled = summary.get("%s @hls stall" % label) or {}
        if stalled.get("latency_s") is not None and stalled.get("latency_before_s") is not None:
            targets.append(("%s after a stall: further behind (s)" % label,
                            stalled["latency_s"] - stalled["latency_before_s"], STALL_FURTHER_BEHIND))
    for label, s in summary.items():
        if s["dropped"] is not None:
            targets.append(("%s dropped frames" % label, s["dropped"] + (s["decoder_dropped"] or 0), 0.0))
    return cheapest, left_out, ratios, targets


def print_ratios_and_targets(ratios, targets):
    if ratios:
        print()
        print("%-44s %6s %6s %9s %9s %9s %12s" % ("ratio (medians)", "CPU", "2nd/2", "peak PSS", "peak anon",
                                                    "peak RSS", "all playing"))
        for k, r in ratios.items():
            print("%-44s %6s %6s %9s %9s %9s %12s" % (k, fmt(r.get("cpu")), fmt(r.get("cpu_second_half")),
                                                    fmt(r.get("peak_pss")),
                                                    fmt(r.get("peak_anon")), fmt(r.get("peak_rss")),
                                                    fmt(r.get("all_playing"))))
    if targets:
        print()
        print("%-44s %8s %8s  %s" % ("target", "figure", "at most", "result"))
        for name, value, limit in targets:
            verdict = "-" if value is None else ("met" if value <= limit else
                                                 "missed by %.2f" % (value - limit) if value - limit >= 0.005
                                                 else "missed by less than 0.01")
            print("%-44s %8s %8.2f  %s" % (name, fmt(value), limit, verdict))


def print_latency(summary):
    rows = [(l, s["latency_s"]) for l, s in summary.items() if "latency_s" in s]
    if rows:
        print()
        print("%-44s %8s" % ("latency: frame leaving the source to on screen", "s"))
        for label, value in rows:
            print("%-44s %8s" % (label, fmt(value)))


def users_see(runs, quiet=False):
    """Per row, anything a person would miss: tiles without moving video,
    a ticker not visible and moving, stream windows that did not open,
    players that never played, a latency that could not be read."""
    checks = []
    for r in runs:
        side = r["fig"].get("side")
        if side is None and r["row"] != "floor" and r["row"] not in ROW_LABELS:
            continue
        side = side or {}
        problems = []
        expected = side.get("video_tiles_expected", 4)
        if r["row"] != "floor" and side.get("video_tiles_moving") != expected:
            problems.append("%s of %d tiles show moving video" % (side.get("video_tiles_moving", "?"), expected))
        tick = side.get("ticker")
        if r["row"] in ("ticker", "ticker-peer") and not (
                tick and tick["lit_share"] > 0.05 and tick["updates_per_s"] >= 20 and tick["scroll_px_per_s"] > 10):
            problems.append("the ticker is not visible and moving smoothly")
        if r["row"] == "eight" and len((side.get("stream_windows") or {}).get("opened", [])) != 4:
            problems.append("not all four stream windows opened")
        if r["row"] in LATENCY_ROWS and None in (side.get("latency_s") or [None]):
            problems.append("the picture's age could not be read on every tile")
        if r["fig"]["players_playing"] != r["fig"]["players_expected"]:
            problems.append("not every player played")
        checks.append((r["label"], problems))
    if checks and not quiet:
        print()
        for label, problems in checks:
            print("what users see, %-22s %s" % (label + ":", "; ".join(problems) if problems else "ok"))
    return checks


def report(args, runs, programs, source, load_before, drift):
    print_runs(args, runs, source)
    summary = summarise(args, runs)
    print_details(runs)
    checks = users_see(runs, quiet=True)
    faulty = {r["label"] for r in runs if r["fig"]["dropped"] or r["fig"]["decoder_dropped"]}
    faulty |= {label for label, problems in checks if problems}
    unplayed = {r["label"] for r in runs if r["fig"]["players_playing"] != r["fig"]["players_expected"]}
    cheapest, left_out, ratios, targets = ratios_and_targets(args, summary, programs, faulty, unplayed)
    print_latency(summary)
    if left_out:
        print()
        print("cheapest peer: %s (cheaper, but left out for dropping frames or not showing moving video: %s)"
              % (cheapest, ", ".join(left_out)))
    elif cheapest and cheapest in faulty:
        print()
        print("cheapest peer: %s (no peer showed every frame and moving video in every window)" % cheapest)
    print_ratios_and_targets(ratios, targets)
    users_see(runs)
    ncpu = os.cpu_count() or 1
    if load_before[0] > 0.5 * ncpu:
        print("warning: the machine was busy before the run (load %.1f on %d cores); "
              "figures may be unreliable" % (load_before[0], ncpu))
    if drift:
        print("warning: this mpv does not know some engine options, the peers went without: " + "; ".join(drift))
    print()
    keep = ("cpu_s", "cpu_second_half_s", "cpu_user_s", "cpu_sys_s", "cpu_with_shutdown_s", "stopped_in_s", "peak_rss_mib",
            "peak_pss_mib", "peak_anon_mib", "peak_processes", "time_to_all_playing_s", "players_playing",
            "players_expected", "players", "dropped", "decoder_dropped", "machine_busy_pct", "load_1m",
            "exits", "process_pss_mib", "main_thread_switches_per_s", "main_threads", "threads_cpu_s",
            "side")

    def rounded(x):
        if isinstance(x, float):
            return round(x, 3)
        if isinstance(x, dict):
            return {k: rounded(v) for k, v in x.items()}
        if isinstance(x, (list, tuple)):
            return [rounded(v) for v in x]
        return x
    out = {
        "mode": args.mode, "seconds": args.seconds, "size": args.size, "fps": args.fps,
        "rounds": args.rounds, "cores": ncpu, "load_before": [round(v, 2) for v in load_before],
        "engine_options": dict(ENGINE_OPTIONS), "engine_options_unknown": drift,
        "runs": [{"row": r["row"], "label": r["label"],
                  "fig": rounded({k: v for k, v in r["fig"].items() if k in keep})} for r in runs],
        "summary": rounded(summary),
        "cheapest_peer": cheapest, "peers_left_out": left_out,
        "ratios": rounded(ratios),
        "targets": [{"name": n, "value": rounded(v), "at_most": l} for n, v, l in targets],
        "checks": {label: problems for label, problems in checks},
    }
    print("BENCH " + json.dumps(out, sort_keys=True))

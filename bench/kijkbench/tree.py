"""Measuring one contender: a fresh child process of the benchmark becomes a
child subreaper, starts the contender's commands, samples the memory of
everything below it, stops it all after N seconds and reaps every
descendant, so that getrusage(RUSAGE_CHILDREN) holds the CPU time of the
whole tree, orphaned grandchildren included."""

import base64
import ctypes
import json
import os
import resource
import signal
import socket
import subprocess
import sys
import re
import threading
import time
import urllib.request

from .common import SCRIPT, die
SAMPLE_RSS_EVERY = 0.2
PSS_EVERY_NTH_SAMPLE = 5   # Pss costs more to read: once a second
STOP_GRACE = 5.0

# mpv properties read over JSON IPC at the stop.
MPV_STATS = ("frame-drop-count", "decoder-frame-drop-count", "vo-delayed-frame-count",
             "current-vo", "current-ao", "hwdec-current")

# Measuring one contender: a fresh child process of this script becomes a
# child subreaper, starts the contender's commands, samples the memory of
# everything below it, stops it all after N seconds and reaps every
# descendant, so that getrusage(RUSAGE_CHILDREN) holds the CPU time of the
# whole tree, orphaned grandchildren included.

PR_SET_CHILD_SUBREAPER = 36


def read_stat(pid):
    """The fields of /proc/PID/stat after the command name, or None."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            data = f.read()
    except OSError:
        return None
    return data[data.rindex(")") + 2:].split()


def read_proc_tree(root):
    """pids of all live descendants of `root` (not root itself)."""
    children = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        rest = read_stat(int(name))
        if rest:
            children.setdefault(int(rest[1]), []).append(int(name))
    found, todo = [], [root]
    while todo:
        for c in children.get(todo.pop(), []):
            found.append(c)
            todo.append(c)
    return found


def memory_kb(pid, with_pss):
    """(VmRSS, Pss, anonymous) of one process in kB; zeros when it is gone or
    a zombie. Pss and anonymous memory (heap, stacks, caches: what the
    process itself allocated, whoever else runs; the kernel walks the page
    tables for both) only when asked."""
    rss = pss = anon = 0
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    rss = int(line.split()[1])
                    break
        if not with_pss:
            return rss, 0, 0
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                if line.startswith("Pss:"):
                    pss = int(line.split()[1])
                elif line.startswith("Anonymous:"):
                    anon += int(line.split()[1])
    except (OSError, ValueError):
        pass
    return rss, pss, anon


def process_role(pid):
    """What a process is, from its command line: the program's name, and for
    Qt WebEngine's helpers their Chromium role (--type=renderer, gpu-process,
    utility with its service, ...)."""
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            argv = [a.decode("utf-8", "replace") for a in f.read().split(b"\0") if a]
    except OSError:
        return None
    if not argv:
        return None
    role = os.path.basename(argv[0])
    kind = sub = None
    for a in argv[1:]:
        if a.startswith("--type="):
            kind = a[len("--type="):]
        elif a.startswith("--utility-sub-type="):
            sub = a[len("--utility-sub-type="):].split(".")[0]
    if kind:
        role += " " + kind + (":" + sub if sub else "")
    return role


def cpu_of(pid):
    """(user, system) CPU seconds of one live process and its reaped children."""
    rest = read_stat(pid)
    if not rest:
        return 0.0, 0.0
    tick = float(os.sysconf("SC_CLK_TCK"))
    return (int(rest[11]) + int(rest[13])) / tick, (int(rest[12]) + int(rest[14])) / tick


def cpu_so_far(root):
    """(user, system) CPU seconds of the tree below `root` up to now: what
    reaped children used plus what the live ones (and the children they
    reaped) used."""
    ru = resource.getrusage(resource.RUSAGE_CHILDREN)
    user, system = ru.ru_utime, ru.ru_stime
    for pid in read_proc_tree(root):
        u, s = cpu_of(pid)
        user += u
        system += s
    return user, system


def context_switches(pid):
    """{"main": (voluntary, involuntary) of the main thread (for a Qt program,
    the user-interface thread), "all": the same summed over all threads,
    "threads": how many}."""
    def read(path):
        vol = inv = 0
        try:
            with open(path) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        vol = int(line.split()[1])
                    elif line.startswith("nonvoluntary_ctxt_switches:"):
                        inv = int(line.split()[1])
        except (OSError, ValueError):
            pass
        return vol, inv
    try:
        tids = [int(t) for t in os.listdir("/proc/%d/task" % pid)]
    except OSError:
        tids = []
    per = [read("/proc/%d/task/%d/status" % (pid, t)) for t in tids]
    return {"main": read("/proc/%d/task/%d/status" % (pid, pid)),
            "all": (sum(v for v, _ in per), sum(i for _, i in per)), "threads": len(tids)}


def thread_cpu(pid):
    """{thread name: CPU seconds} of a process's threads, numbered names
    ("mpv/vo-3", "ff-vdec 2") counted as one group, so that a run shows
    where the process's time goes (decoding, scaling, the user-interface
    thread, the network)."""
    tick = os.sysconf("SC_CLK_TCK")
    groups = {}
    try:
        tids = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return groups
    for t in tids:
        try:
            with open("/proc/%d/task/%s/stat" % (pid, t)) as f:
                stat = f.read()
        except OSError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        fields = stat[stat.rindex(")") + 2:].split()
        name = "main" if t == str(pid) else re.sub(r"[-/ ]?\d+$", "", name) or name
        groups[name] = groups.get(name, 0.0) + (int(fields[11]) + int(fields[12])) / tick
    return {k: round(v, 2) for k, v in sorted(groups.items(), key=lambda kv: -kv[1])}


class MpvIpc:
    """One mpv's JSON IPC (--input-ipc-server; documented in mpv's manual,
    "JSON IPC"): observes core-idle (false = playing) and the
    playback-restart event, and reads properties on request. Runs in the
    measuring wrapper, outside the measured tree."""

    STATS = MPV_STATS

    def __init__(self, path, t0):
        self.path, self.t0 = path, t0
        self.connected_at = self.playing_at = self.restart_at = None
        self.replies = {}
        self.cond = threading.Condition()
        self.send_lock = threading.Lock()
        self.sock = None
        self.stopping = False
        threading.Thread(target=self._run, daemon=True).start()

    def _now(self):
        return time.monotonic() - self.t0

    def _send(self, obj):
        with self.send_lock:
            self.sock.sendall(json.dumps(obj).encode() + b"\n")

    def _run(self):
        while not self.stopping:
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            try:
                s.connect(self.path)
                break
            except OSError:
                s.close()
                time.sleep(0.02)
        else:
            return
        self.sock = s
        self.connected_at = self._now()
        try:
            self._send({"command": ["observe_property", 1, "core-idle"]})
            buf = b""
            while True:
                data = s.recv(65536)
                if not data:
                    break
                buf += data
                while b"\n" in buf:
                    line, buf = buf.split(b"\n", 1)
                    try:
                        self._handle(json.loads(line))
                    except ValueError:
                        pass
        except OSError:
            pass
        with self.cond:
            self.cond.notify_all()

    def _handle(self, msg):
        t = self._now()
        if msg.get("event") == "property-change" and msg.get("name") == "core-idle":
            if msg.get("data") is False and self.playing_at is None:
                self.playing_at = t
        elif msg.get("event") == "playback-restart":
            if self.restart_at is None:
                self.restart_at = t
        elif "request_id" in msg:
            with self.cond:
                self.replies[msg["request_id"]] = msg
                self.cond.notify_all()

    def query(self, names, timeout=2.0):
        if self.sock is None:
            return {}
        ids = {}
        try:
            for i, name in enumerate(names):
                ids[1000 + i] = name
                self._send({"command": ["get_property", name], "request_id": 1000 + i})
        except OSError:
            return {}
        end = time.monotonic() + timeout
        with self.cond:
            while not all(i in self.replies for i in ids) and time.monotonic() < end:
                self.cond.wait(max(0.01, end - time.monotonic()))
        return {name: self.replies[i].get("data") for i, name in ids.items()
                if i in self.replies and self.replies[i].get("error") == "success"}

    def close(self):
        self.stopping = True


class VlcHttp:
    """One VLC's HTTP interface (`--extraintf http`, its documented
    /requests/status.json): asked a few times a second until the first
    picture is displayed (that moment is playing_at), and once more at the
    stop for its statistics (displayedpictures, lostpictures). Runs in the
    measuring wrapper, outside the measured tree."""

    STATS = ("displayedpictures", "lostpictures", "decodedvideo")
    POLL = 0.25

    def __init__(self, port, t0):
        self.url = "http://127.0.0.1:%d/requests/status.json" % port
        self.auth = "Basic " + base64.b64encode(b":kijkraam").decode()
        self.t0 = t0
        self.connected_at = self.playing_at = self.restart_at = None
        self.stopping = False
        threading.Thread(target=self._run, daemon=True).start()

    def _status(self, timeout=2.0):
        req = urllib.request.Request(self.url, headers={"Authorization": self.auth})
        try:
            with urllib.request.urlopen(req, timeout=timeout) as r:
                return json.loads(r.read().decode("utf-8", "replace"))
        except (OSError, ValueError):
            return None

    def _run(self):
        while not self.stopping and self.playing_at is None:
            status = self._status()
            if status is not None and self.connected_at is None:
                self.connected_at = time.monotonic() - self.t0
            if status and (status.get("stats") or {}).get("displayedpictures", 0) > 0:
                self.playing_at = time.monotonic() - self.t0
                break
            time.sleep(self.POLL)

    def query(self, names, timeout=2.0):
        stats = (self._status(timeout) or {}).get("stats") or {}
        return {k: stats[k] for k in names if k in stats}

    def close(self):
        self.stopping = True


def measure_tree(job_path):
    with open(job_path) as f:
        job = json.load(f)
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise SystemExit("prctl(PR_SET_CHILD_SUBREAPER) failed")
    me = os.getpid()
    seconds = job["seconds"]

    procs, readers, logs, ipcs = [], [], [], []
    t0 = time.monotonic()

    def pump(stream, logf):
        for raw in iter(stream.readline, b""):
            t = time.monotonic() - t0
            logf.write(b"%.3f\t" % t + raw.rstrip(b"\r\n") + b"\n")
            logf.flush()
        stream.close()

    for cmd in job["commands"]:
        env = dict(os.environ)
        env.update(cmd.get("env", {}))
        logf = open(cmd["log"], "wb")
        logs.append(logf)
        started = time.monotonic() - t0
        user = {}
        if cmd.get("user"):        # [uid, gid]: run as that ordinary user
            user = {"user": cmd["user"][0], "group": cmd["user"][1], "extra_groups": []}
        p = subprocess.Popen(cmd["argv"], cwd=cmd.get("cwd"), env=env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **user)
        logf.write(b"%.3f\t#started pid %d\n" % (started, p.pid))
        logf.flush()
        procs.append(p)
        t = threading.Thread(target=pump, args=(p.stdout, logf), daemon=True)
        t.start()
        readers.append(t)
        ipcs.append(MpvIpc(cmd["ipc"], t0) if cmd.get("ipc") else
                    VlcHttp(cmd["vlc_http"], t0) if cmd.get("vlc_http") else None)

    peak_rss = peak_pss = peak_anon = peak_procs = 0
    per_process = {}       # pid -> {"role", "peak_pss_kb", "peak_rss_kb"}
    exits = {}
    samples = 0

    def sample():
        nonlocal peak_rss, peak_pss, peak_anon, peak_procs, samples
        samples += 1
        with_pss = samples % PSS_EVERY_NTH_SAMPLE == 1
        pids = read_proc_tree(me)
        rss = pss = anon = 0
        for pid in pids:
            r, p, u = memory_kb(pid, with_pss)
            rss += r
            pss += p
            anon += u
            if with_pss and r:
                entry = per_process.setdefault(pid, {"peak_pss_kb": 0, "peak_rss_kb": 0, "peak_anon_kb": 0})
                entry["role"] = process_role(pid) or entry.get("role")   # after exec, the new name
                entry["peak_pss_kb"] = max(entry["peak_pss_kb"], p)
                entry["peak_rss_kb"] = max(entry["peak_rss_kb"], r)
                entry["peak_anon_kb"] = max(entry["peak_anon_kb"], u)
        peak_rss = max(peak_rss, rss)
        peak_pss = max(peak_pss, pss)
        peak_anon = max(peak_anon, anon)
        peak_procs = max(peak_procs, len(pids))

    def reap_some():
        while True:
            try:
                pid, status = os.waitpid(-1, os.WNOHANG)
            except ChildProcessError:
                return False
            if pid == 0:
                return True
            exits[pid] = status

    deadline = t0 + seconds
    halfway, at_half = t0 + seconds / 2, None
    while time.monotonic() < deadline:
        sample()
        reap_some()
        if at_half is None and time.monotonic() >= halfway:
            at_half = cpu_so_far(me)
        time.sleep(max(0.0, min(SAMPLE_RSS_EVERY, deadline - time.monotonic())))
    stop_at = time.monotonic() - t0
    at_stop = cpu_so_far(me)
    # Per process at the stop: CPU and the context switches of its threads.
    for pid in read_proc_tree(me):
        entry = per_process.setdefault(pid, {"peak_pss_kb": 0, "peak_rss_kb": 0, "peak_anon_kb": 0,
                                             "role": process_role(pid)})
        entry["cpu_s"] = sum(cpu_of(pid))
        entry["switches"] = context_switches(pid)
        entry["threads_cpu_s"] = thread_cpu(pid)
        entry["alive_at_stop"] = True
    # mpv peers: their counters over IPC, before anything is stopped.
    ipc_results = []
    for ipc in ipcs:
        if ipc is None:
            ipc_results.append(None)
            continue
        ipc_results.append({"connected_at_s": ipc.connected_at, "playing_at_s": ipc.playing_at,
                            "restart_at_s": ipc.restart_at, "stats": ipc.query(ipc.STATS)})
        ipc.close()

    # Stop: SIGTERM to the contender's own processes, then to anything left
    # below us, then SIGKILL.
    for p in procs:
        if p.pid not in exits:
            try:
                os.kill(p.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass

    def all_reaped_within(timeout):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if not reap_some():
                return True          # no child left: the whole tree is gone
            time.sleep(0.05)
        return False

    def signal_tree(sig):
        for pid in read_proc_tree(me):
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass

    if not all_reaped_within(STOP_GRACE):
        signal_tree(signal.SIGTERM)
        if not all_reaped_within(2.0):
            signal_tree(signal.SIGKILL)
            all_reaped_within(5.0)
    while True:          # whatever is still there, blocking
        try:
            pid, status = os.waitpid(-1, 0)
            exits[pid] = status
        except ChildProcessError:
            break
    all_gone_at = time.monotonic() - t0
    ru = resource.getrusage(resource.RUSAGE_CHILDREN)
    for t in readers:
        t.join(2)
    for f in logs:
        f.close()

    def describe(status):
        if os.WIFSIGNALED(status):
            return "signal %d" % os.WTERMSIG(status)
        return "exit %d" % os.WEXITSTATUS(status)

    result = {
        "cpu_user_s": at_stop[0],
        "cpu_sys_s": at_stop[1],
        "cpu_with_shutdown_s": ru.ru_utime + ru.ru_stime,
        "cpu_second_half_s": sum(at_stop) - sum(at_half) if at_half else None,
        "peak_rss_kb": peak_rss,
        "peak_pss_kb": peak_pss,
        "peak_anon_kb": peak_anon,
        "peak_processes": peak_procs,
        "stopped_at_s": stop_at,
        "all_gone_at_s": all_gone_at,
        "exits": [describe(exits[p.pid]) if p.pid in exits else "unknown" for p in procs],
        "pids": [p.pid for p in procs],
        "processes": {str(pid): e for pid, e in per_process.items()},
        "ipc": ipc_results,
    }
    with open(job["result"], "w") as f:
        json.dump(result, f)


def run_contender(name, commands, seconds, workdir, during=None):
    """Run commands as one measured tree; return the wrapper's figures.
    `during(t_start)`, if given, runs in this process (outside the measured
    tree) while the contender plays, and its result is returned too."""
    job = {"seconds": seconds, "commands": commands,
           "result": os.path.join(workdir, "%s.result.json" % name)}
    job_path = os.path.join(workdir, "%s.job.json" % name)
    with open(job_path, "w") as f:
        json.dump(job, f)
    t_start = time.monotonic()
    wrapper = subprocess.Popen([sys.executable, SCRIPT, "--measure-tree", job_path],
                               stdin=subprocess.DEVNULL)
    side = {}
    thread = None
    if during:
        def side_job():
            try:
                side["result"] = during(t_start)
            except Exception as e:          # a failed side job must not lose the row
                side["result"] = {"error": repr(e)}
        thread = threading.Thread(target=side_job, daemon=True)
        thread.start()
    rc = wrapper.wait()
    if thread:
        thread.join(30)
    later = (side.get("result") or {}).get("later")
    if later:
        try:
            side["result"] = later()
        except Exception as e:
            side["result"] = {"error": repr(e)}
    if rc != 0 or not os.path.exists(job["result"]):
        die("measuring %s failed (wrapper exit %d)" % (name, rc), 1)
    with open(job["result"]) as f:
        return json.load(f), side.get("result")


# Reporting

def cpu_jiffies():
    """(busy, total) jiffies of the whole machine, from /proc/stat."""
    with open("/proc/stat") as f:
        fields = [int(x) for x in f.readline().split()[1:]]
    idle = fields[3] + (fields[4] if len(fields) > 4 else 0)
    return sum(fields) - idle, sum(fields)

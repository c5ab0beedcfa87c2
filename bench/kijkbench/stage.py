"""The stage every row plays on: the X screen, the demo server that serves
the streams and the program's pages, and the port they need."""

import os
import select
import socket
import subprocess
import sys
import time
import urllib.error
import urllib.request

from .common import DEMO_SERVER, STREAM_SERVER, die


# Setting up

def port_free(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    try:
        s.bind(("127.0.0.1", port))
        return True
    except OSError:
        return False
    finally:
        s.close()


def start_xvfb(workdir):
    r, w = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1920x1080x24",
                             "-nolisten", "tcp", "-noreset"],
                            pass_fds=(w,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(workdir, "xvfb.log"), "wb"), start_new_session=True)
    os.close(w)
    # Xvfb writes the number and then a newline, and dies if the pipe is
    # closed in between: read up to the newline.
    data = b""
    deadline = time.monotonic() + 15
    while not data.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([r], [], [], max(0.0, deadline - time.monotonic()))
        chunk = os.read(r, 64) if ready else b""
        if not chunk:
            break
        data += chunk
    display = data.decode().strip()
    os.close(r)
    if not display.isdigit():
        proc.kill()
        die("Xvfb did not start")
    # The display must take connections before any contender starts.
    deadline = time.monotonic() + 10
    while True:
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            s.connect("/tmp/.X11-unix/X" + display)
            break
        except OSError:
            if time.monotonic() > deadline or proc.poll() is not None:
                proc.kill()
                die("Xvfb display :%s takes no connections" % display)
            time.sleep(0.1)
        finally:
            s.close()
    return proc, ":" + display


def start_demo_server(port, size, fps, workdir, media_dir=None):
    """The demo server: live streams, or (media_dir) none and the files of
    media_dir under /media/. Either way it answers the counter and ticker
    pages."""
    argv = [sys.executable, DEMO_SERVER, "--port", str(port), "--size", size, "--fps", str(fps)]
    # Live: four HLS streams (--wm-slot 0: none of them Windows Media over
    # MMS, which mpv and ffmpeg peers could not compare like for like).
    argv += ["--no-live", "--media", media_dir] if media_dir else ["--slots", "1,2,3,4", "--wm-slot", "0"]
    proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=open(os.path.join(workdir, "demo-server.log"), "wb"))
    ready, _, _ = select.select([proc.stdout], [], [], 20)
    line = proc.stdout.readline().decode().strip() if ready else ""
    if not line.startswith("LISTENING "):
        proc.kill()
        die("the demo server did not start (see %s)" % os.path.join(workdir, "demo-server.log"))
    base = line.split(" ", 1)[1]
    if media_dir:
        return proc, base
    # Wait until every live stream has a few segments.
    deadline = time.monotonic() + 30
    for n in range(1, 5):
        while True:
            try:
                with urllib.request.urlopen("%s/live/%d/index.m3u8" % (base, n), timeout=10) as r:
                    if r.read().count(b"#EXTINF") >= 3:
                        break
            except (urllib.error.URLError, OSError):
                pass
            if time.monotonic() > deadline:
                proc.kill()
                die("live stream %d of the demo server did not come up" % n)
            time.sleep(0.3)
    return proc, base


def stop(proc, timeout=10):
    if proc and proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def start_rtsp_camera(udp_port, workdir):
    """The test servers' RTSP camera (tests/support/servers/stream-server),
    sending on the picture that arrives as MPEG-TS on `udp_port`."""
    proc = subprocess.Popen([STREAM_SERVER, "rtsp", "--video-udp", str(udp_port)], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=open(os.path.join(workdir, "rtsp-camera.log"), "wb"))
    ready, _, _ = select.select([proc.stdout], [], [], 20)
    line = proc.stdout.readline().decode().strip() if ready else ""
    if not line.startswith("LISTENING "):
        proc.kill()
        die("the RTSP camera did not start (see %s)" % os.path.join(workdir, "rtsp-camera.log"))
    return proc, line.split(" ", 1)[1]

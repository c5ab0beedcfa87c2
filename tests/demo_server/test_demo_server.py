"""Tests of tools/kijkraam-demo-server.

Run: python3 -m unittest discover -s tests/demo_server
Every server here listens on 127.0.0.1 on a port the system picks.
"""

import http.client
import json
import os
import re
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.normpath(os.path.join(HERE, "..", "..", "tools", "kijkraam-demo-server"))

MEDIA = {
    "slot1.wmv": ("video/x-ms-asf", b"0&\xb2u\x8ef\xcf\x11" + b"w" * 500),
    "clip.asf": ("video/x-ms-asf", b"0&\xb2u" + b"a" * 300),
    "list.asx": ("video/x-ms-asf", b'<ASX version="3.0"><ENTRY><REF HREF="http://127.0.0.1/x"/></ENTRY></ASX>'),
    "live.m3u8": ("application/vnd.apple.mpegurl", b"#EXTM3U\n#EXT-X-TARGETDURATION:1\n"),
    "seg.ts": ("video/mp2t", b"G" + bytes(187) * 1),
    "movie.mp4": ("video/mp4", b"\x00\x00\x00\x18ftypmp42" + b"m" * 100),
    "page.html": ("text/html; charset=utf-8", "<html><body>hallo é</body></html>".encode()),
    "pic.png": ("image/png", b"\x89PNG\r\n\x1a\n" + b"p" * 64),
    "small.bin": ("application/octet-stream", bytes(range(256)) * 8),      # 2 KiB
    "big.bin": ("application/octet-stream", os.urandom(300 * 1024)),
}


# What ffmpeg's mmsh client sends: first a request for the header, then one
# with xPlayStrm=1 for the stream.
NSPLAYER = {"User-Agent": "NSPlayer/4.1.0.3856",
            "Pragma": "no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,request-context=1,max-duration=0"}
NSPLAYER_PLAY = {"User-Agent": "NSPlayer/4.1.0.3856",
                 "Pragma": "no-cache,rate=1.000000,request-context=2, xPlayStrm=1"}
ASF_HEADER_GUID = bytes.fromhex("3026b2758e66cf11a6d900aa0062ce6c")


def read_chunks(resp, count):
    """Up to `count` MMS-over-HTTP chunks from a response: (type, LocationId,
    flags, payload); the two length fields of each must agree."""
    chunks = []
    while len(chunks) < count:
        head = resp.read(4)
        if len(head) < 4:
            break
        if head[:2] == b"$E":   # the end: a 4-byte reason, no LocationId
            assert struct.unpack("<H", head[2:])[0] == 4
            chunks.append((b"$E", None, None, resp.read(4)))
            break
        head += resp.read(8)
        kind, length, location, flags, again = struct.unpack("<2sHIHH", head)
        assert length == again and length >= 8, (kind, length, again)
        payload = resp.read(length - 8)
        assert len(payload) == length - 8
        chunks.append((kind, location, flags, payload))
    return chunks


def start_server(*args, wait=True):
    """Start the server; return (process, port, stdout line)."""
    fd, port_file = tempfile.mkstemp(prefix="demo-port-")
    os.close(fd)
    os.unlink(port_file)
    proc = subprocess.Popen([sys.executable, SERVER, "--port", "0", "--port-file", port_file] + list(args),
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if not wait:
        return proc, None, None
    ready, _, _ = select.select([proc.stdout], [], [], 15)
    line = proc.stdout.readline().decode() if ready else ""
    if not line:
        stop_server(proc)
        raise AssertionError("server did not start: %r" % proc.stderr.read().decode())
    with open(port_file) as f:
        port = int(f.read().strip())
    os.unlink(port_file)
    return proc, port, line


def stop_server(proc, sig=signal.SIGTERM, timeout=10):
    if proc.poll() is None:
        proc.send_signal(sig)
    try:
        return proc.wait(timeout)
    finally:
        for f in (proc.stdout, proc.stderr):
            if f:
                f.close()


def get(port, path, timeout=5, headers=None, method="GET"):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    try:
        conn.request(method, path, headers=headers or {})
        resp = conn.getresponse()
        body = resp.read()
        return resp.status, dict((k.lower(), v) for k, v in resp.getheaders()), body
    finally:
        conn.close()


def proc_stat(pid):
    """(ppid, comm, state) of a live process, or None."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            data = f.read()
    except OSError:
        return None
    comm = data[data.index("(") + 1:data.rindex(")")]
    rest = data[data.rindex(")") + 2:].split()
    return int(rest[1]), comm, rest[0]


def alive(pid):
    st = proc_stat(pid)
    return st is not None and st[2] != "Z"


def ffmpeg_children(pid):
    found = []
    for name in os.listdir("/proc"):
        if name.isdigit():
            st = proc_stat(int(name))
            if st and st[0] == pid and st[1] == "ffmpeg" and st[2] != "Z":
                found.append(int(name))
    return found


def wait_until(pred, timeout, step=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = pred()
        if value:
            return value
        time.sleep(step)
    return pred()


class ServerCase(unittest.TestCase):
    """One server without live streams, serving a media folder, for the class."""

    @classmethod
    def setUpClass(cls):
        cls.media = tempfile.mkdtemp(prefix="demo-media-")
        for name, (_, data) in MEDIA.items():
            with open(os.path.join(cls.media, name), "wb") as f:
                f.write(data)
        os.makedirs(os.path.join(cls.media, "sub"))
        with open(os.path.join(cls.media, "sub", "deep.png"), "wb") as f:
            f.write(MEDIA["pic.png"][1])
        with open(os.path.join(os.path.dirname(cls.media), "outside-secret.txt"), "w") as f:
            f.write("secret")
        cls.proc, cls.port, cls.line = start_server("--no-live", "--media", cls.media)

    @classmethod
    def tearDownClass(cls):
        stop_server(cls.proc)
        shutil.rmtree(cls.media, ignore_errors=True)
        try:
            os.unlink(os.path.join(os.path.dirname(cls.media), "outside-secret.txt"))
        except OSError:
            pass

    def tearDown(self):
        get(self.port, "/control/reset")

    def get(self, path, **kw):
        return get(self.port, path, **kw)

    def stats(self):
        return json.loads(self.get("/stats")[2])

    def fault(self, prefix, mode):
        status, headers, body = self.get("/control/fault?path=%s&mode=%s" % (prefix, mode))
        self.assertEqual(status, 200, body)
        self.assertEqual(headers["content-type"], "application/json")
        return json.loads(body)


class TestPaths(ServerCase):

    def test_listening_line_and_port_file_agree(self):
        self.assertEqual(self.line, "LISTENING http://127.0.0.1:%d\n" % self.port)

    def test_asx_playlists_point_at_media_or_live_streams(self):
        for slot in range(1, 5):
            status, headers, body = self.get("/kwa/KR5/KR%d.asx" % slot,
                                             headers={"Host": "localhost:%d" % self.port})
            self.assertEqual(status, 200)
            self.assertEqual(headers["content-type"], "video/x-ms-asf")
            self.assertEqual(int(headers["content-length"]), len(body))
            root = ET.fromstring(body)
            self.assertEqual(root.tag, "ASX")
            entries = root.findall("ENTRY")
            self.assertEqual(len(entries), 1)
            refs = [r.get("HREF") for r in entries[0].findall("REF")]
            # Absolute, from the Host header; slot 1 has slot1.wmv in the media folder.
            want = ("/media/slot1.wmv" if slot == 1 else "/live/%d/index.m3u8" % slot)
            self.assertEqual(refs, ["http://localhost:%d%s" % (self.port, want)])
        # Without a usable Host header the server's own address is used.
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        conn.putrequest("GET", "/kwa/KR5/KR3.asx", skip_host=True)
        conn.putheader("Host", 'evil"><x')
        conn.endheaders()
        body = conn.getresponse().read()
        conn.close()
        self.assertIn(b'HREF="http://127.0.0.1:%d/live/3/index.m3u8"' % self.port, body)
        self.assertEqual(self.get("/kwa/KR5/KR5.asx")[0], 404)
        self.assertEqual(self.get("/kwa/KR5/KR0.asx")[0], 404)

    def test_media_files_have_their_types_and_bytes(self):
        for name, (ctype, data) in MEDIA.items():
            status, headers, body = self.get("/media/" + name)
            self.assertEqual((status, headers["content-type"]), (200, ctype), name)
            self.assertEqual(body, data, name)
            self.assertEqual(int(headers["content-length"]), len(data), name)
        status, headers, body = self.get("/media/sub/deep.png")
        self.assertEqual((status, headers["content-type"]), (200, "image/png"))

    def test_media_ranges_head_and_refusals(self):
        data = MEDIA["small.bin"][1]
        status, headers, body = self.get("/media/small.bin", headers={"Range": "bytes=10-19"})
        self.assertEqual((status, body), (206, data[10:20]))
        self.assertEqual(headers["content-range"], "bytes 10-19/%d" % len(data))
        status, _, body = self.get("/media/small.bin", headers={"Range": "bytes=-5"})
        self.assertEqual((status, body), (206, data[-5:]))
        status, _, body = self.get("/media/small.bin", headers={"Range": "bytes=2040-"})
        self.assertEqual((status, body), (206, data[2040:]))
        self.assertEqual(self.get("/media/small.bin", headers={"Range": "bytes=9999-"})[0], 416)
        status, headers, body = self.get("/media/movie.mp4", method="HEAD")
        self.assertEqual((status, body), (200, b""))
        self.assertEqual(int(headers["content-length"]), len(MEDIA["movie.mp4"][1]))
        for bad in ("/media/../outside-secret.txt", "/media/%2e%2e/outside-secret.txt",
                    "/media/", "/media/sub", "/media/missing.wmv", "/nothing", "/live/x/index.m3u8"):
            status, _, body = self.get(bad)
            self.assertEqual(status, 404, bad)
            self.assertNotIn(b"secret", body)

    def test_live_paths_answer_404_at_once_without_live_streams(self):
        started = time.monotonic()
        self.assertEqual(self.get("/live/1/index.m3u8")[0], 404)
        self.assertEqual(self.get("/live/4/seg_0.ts")[0], 404)
        self.assertEqual(self.get("/wm/live")[0], 404)
        self.assertEqual(self.get("/wm/live", headers=NSPLAYER_PLAY)[0], 404)
        self.assertLess(time.monotonic() - started, 2)

    def test_count_page_counts_loads_and_stats_count_requests(self):
        def count():
            status, headers, body = self.get("/kwa/KR5/count.php")
            self.assertEqual(status, 200)
            self.assertEqual(headers["content-type"], "text/html; charset=utf-8")
            return int(re.search(rb'id="count">(\d+)<', body).group(1)), body

        before = self.stats()
        first, body = count()
        second, _ = count()
        third, _ = count()
        self.assertEqual((second, third), (first + 1, first + 2))
        self.assertRegex(body.decode(), r"background:#1[0-9a-f]{2}\b")  # dark
        self.get("/kwa/KR5/KR2.asx")
        after = self.stats()
        self.assertEqual(after.get("/kwa/KR5/count.php", 0) - before.get("/kwa/KR5/count.php", 0), 3)
        self.assertEqual(after.get("/kwa/KR5/KR2.asx", 0) - before.get("/kwa/KR5/KR2.asx", 0), 1)
        self.assertFalse([p for p in after if p == "/stats" or p.startswith("/control/")])
        # Zeroing on request.
        self.get("/control/reset?stats=1")
        self.assertEqual(self.stats(), {})

    def test_ticker_page_fits_the_strip_without_scripts_or_outside_resources(self):
        status, headers, body = self.get("/kwa/KR5/Daz_ticker.php")
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-type"], "text/html; charset=utf-8")
        page = body.decode("utf-8")
        self.assertIn("width:425px", page)
        self.assertIn("height:33px", page)
        self.assertIn("@keyframes", page)
        self.assertIn("animation:", page)
        self.assertIn("background:#000", page)
        self.assertIn("Weer:", page)
        for forbidden in ("<script", "http:", "https:", "url(", "@import", "<img", "<link", "<iframe"):
            self.assertNotIn(forbidden, page.lower())

    def test_keep_alive_and_several_clients_at_once(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        for path in ("/kwa/KR5/KR1.asx", "/media/pic.png", "/kwa/KR5/Daz_ticker.php"):
            conn.request("GET", path)
            resp = conn.getresponse()
            self.assertEqual(resp.status, 200)
            self.assertEqual(resp.version, 11)
            resp.read()
        conn.close()
        results = []

        def fetch():
            results.append(get(self.port, "/media/big.bin", timeout=10)[2] == MEDIA["big.bin"][1])

        threads = [threading.Thread(target=fetch) for _ in range(8)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(20)
        self.assertEqual(results, [True] * 8)


class TestFaults(ServerCase):

    def test_404_fault_hits_kwa_and_media_paths_and_ok_clears_it(self):
        def counter():
            return int(re.search(rb'id="count">(\d+)<', self.get("/kwa/KR5/count.php")[2]).group(1))

        for prefix, path in (("/kwa/KR5/count", "/kwa/KR5/count.php"),
                             ("/media/pic", "/media/pic.png")):
            self.fault(prefix, "404")
            self.assertEqual(self.get(path)[0], 404, path)
            self.fault(prefix, "ok")
            self.assertEqual(self.get(path)[0], 200, path)
        # A load answered 404 is not counted by the page.
        first = counter()
        self.fault("/kwa/KR5/count.php", "404")
        self.get("/kwa/KR5/count.php")
        self.fault("/kwa/KR5/count.php", "ok")
        self.assertEqual(counter(), first + 1)

    def test_garbage_keeps_the_content_type_of_the_real_answer(self):
        self.fault("/media/pic.png", "garbage")
        self.fault("/kwa/KR5/KR1", "garbage")
        self.fault("/live/2/", "garbage")
        status, headers, body = self.get("/media/pic.png")
        self.assertEqual((status, headers["content-type"]), (200, "image/png"))
        self.assertNotEqual(body, MEDIA["pic.png"][1])
        self.assertGreaterEqual(len(body), 64)
        status, headers, body = self.get("/kwa/KR5/KR1.asx")
        self.assertEqual((status, headers["content-type"]), (200, "video/x-ms-asf"))
        self.assertNotIn(b"<ASX", body)
        status, headers, body = self.get("/live/2/index.m3u8")
        self.assertEqual((status, headers["content-type"]), (200, "application/vnd.apple.mpegurl"))
        self.assertNotIn(b"#EXTM3U", body)

    def test_drop_sends_part_of_the_body_then_closes(self):
        self.fault("/media/big", "drop")
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        conn.request("GET", "/media/big.bin")
        resp = conn.getresponse()
        self.assertEqual(resp.status, 200)
        self.assertEqual(int(resp.getheader("Content-Length")), len(MEDIA["big.bin"][1]))
        with self.assertRaises(http.client.IncompleteRead) as cm:
            resp.read()
        partial = cm.exception.partial
        self.assertGreater(len(partial), 0)
        self.assertLess(len(partial), len(MEDIA["big.bin"][1]))
        self.assertEqual(partial, MEDIA["big.bin"][1][:len(partial)])
        conn.close()

    def test_stall_holds_the_body_without_blocking_others_until_cleared(self):
        self.fault("/kwa/KR5/KR4", "stall")
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=1)
        conn.request("GET", "/kwa/KR5/KR4.asx")
        resp = conn.getresponse()               # headers do come
        self.assertEqual(resp.status, 200)
        with self.assertRaises(socket.timeout):
            resp.read()
        conn.close()

        # A second stalled request; meanwhile other paths answer at once.
        result = {}

        def stalled():
            try:
                result["body"] = get(self.port, "/kwa/KR5/KR4.asx", timeout=15)[2]
            except Exception as e:  # reported below
                result["error"] = e

        t = threading.Thread(target=stalled)
        t.start()
        time.sleep(0.5)
        started = time.monotonic()
        self.assertEqual(self.get("/kwa/KR5/KR1.asx", timeout=2)[0], 200)
        self.assertLess(time.monotonic() - started, 1)
        self.assertTrue(t.is_alive())
        self.fault("/kwa/KR5/KR4", "ok")
        t.join(5)
        self.assertFalse(t.is_alive())
        self.assertIn(b"<ASX", result.get("body", b""), result)

    def test_trickle_sends_the_real_body_at_about_one_kilobyte_a_second(self):
        self.fault("/media/small", "trickle")
        started = time.monotonic()
        status, _, body = self.get("/media/small.bin", timeout=10)
        elapsed = time.monotonic() - started
        self.assertEqual((status, body), (200, MEDIA["small.bin"][1]))
        self.assertGreater(elapsed, 1.4)   # 2 KiB
        self.assertLess(elapsed, 4.0)

    def test_longest_prefix_wins_reset_clears_all_and_bad_requests_are_refused(self):
        self.fault("/media/", "404")
        answer = self.fault("/media/page", "garbage")
        self.assertEqual(answer["faults"], {"/media/": "404", "/media/page": "garbage"})
        self.assertEqual(self.get("/media/pic.png")[0], 404)
        status, headers, body = self.get("/media/page.html")
        self.assertEqual((status, headers["content-type"]), (200, "text/html; charset=utf-8"))
        self.assertNotEqual(body, MEDIA["page.html"][1])
        self.assertEqual(self.get("/kwa/KR5/KR1.asx")[0], 200)   # not under the prefixes
        status, _, body = self.get("/control/reset")
        self.assertEqual((status, json.loads(body)), (200, {"ok": True, "faults": {}}))
        self.assertEqual(self.get("/media/pic.png")[2], MEDIA["pic.png"][1])
        self.assertEqual(json.loads(self.get("/control/faults")[2])["faults"], {})
        status, _, body = self.get("/control/fault?path=/media/&mode=explode")
        self.assertEqual(status, 400)
        self.assertFalse(json.loads(body)["ok"])
        self.assertEqual(self.get("/control/fault?path=media&mode=404")[0], 400)
        self.assertEqual(self.get("/control/fault?mode=404")[0], 400)
        self.assertEqual(self.get("/media/pic.png")[0], 200)
        # /stats and /control are never faulted.
        self.fault("/", "404")
        self.assertEqual(self.get("/stats")[0], 200)
        self.assertEqual(self.get("/control/faults")[0], 200)


class TestStartAndStop(unittest.TestCase):

    def test_a_busy_port_is_refused_at_once_with_exit_code_2(self):
        first, port, _ = start_server("--no-live")
        try:
            started = time.monotonic()
            # Live streams asked for: the refusal must come before any ffmpeg.
            second = subprocess.run([sys.executable, SERVER, "--port", str(port), "--slots", "1"],
                                    stdin=subprocess.DEVNULL, capture_output=True, timeout=10)
            self.assertLess(time.monotonic() - started, 5)
            self.assertEqual(second.returncode, 2)
            self.assertIn("port %d is already in use" % port, second.stderr.decode())
            self.assertNotIn(b"LISTENING", second.stdout)
            self.assertEqual(ffmpeg_children(first.pid), [])
            self.assertEqual(get(port, "/kwa/KR5/KR1.asx")[0], 200)   # the first goes on
        finally:
            stop_server(first)

    def test_only_loopback_is_accepted_and_bad_options_are_refused(self):
        for args in (["--host", "0.0.0.0"], ["--host", "192.168.1.1"], ["--slots", "5"],
                     ["--size", "big"], ["--asx-target", "9=x"], ["--wm-slot", "5"]):
            r = subprocess.run([sys.executable, SERVER, "--port", "0", "--no-live"] + args,
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=10)
            self.assertEqual(r.returncode, 2, args)
            self.assertNotIn(b"LISTENING", r.stdout)
        r = subprocess.run([sys.executable, SERVER, "--host", "0.0.0.0", "--no-live"],
                           capture_output=True, timeout=10)
        self.assertIn(b"only 127.0.0.1", r.stderr)

    def test_asx_target_option_and_sigterm_and_sigint_stop_the_server(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            proc, port, _ = start_server("--no-live", "--asx-target", "2=media/x.mp4",
                                         "--asx-target", "3=http://127.0.0.1:9/y.wmv")
            try:
                body2 = get(port, "/kwa/KR5/KR2.asx")[2]
                body3 = get(port, "/kwa/KR5/KR3.asx")[2]
                self.assertIn(b'HREF="http://127.0.0.1:%d/media/x.mp4"' % port, body2)
                self.assertIn(b'HREF="http://127.0.0.1:9/y.wmv"', body3)
                # A stalled client must not keep the server from stopping.
                get(port, "/control/fault?path=/kwa/&mode=stall")
                stuck = socket.create_connection(("127.0.0.1", port), timeout=5)
                stuck.sendall(b"GET /kwa/KR5/KR1.asx HTTP/1.1\r\nHost: x\r\n\r\n")
                time.sleep(0.3)
            finally:
                started = time.monotonic()
                rc = stop_server(proc, sig)
            stuck.close()
            self.assertEqual(rc, 0, sig)
            self.assertLess(time.monotonic() - started, 5)
            with self.assertRaises(ConnectionRefusedError):
                socket.create_connection(("127.0.0.1", port), timeout=2).close()

    def test_server_stops_when_the_process_that_started_it_ends(self):
        # A wrapper that does not exec, like a version manager's shim.
        wrapper = subprocess.Popen(
            ["sh", "-c", '"$0" "$1" --port 0 --no-live & echo $!; wait', sys.executable, SERVER],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        server_pid = int(wrapper.stdout.readline())
        self.assertTrue(wait_until(lambda: b"LISTENING" in wrapper.stdout.readline(), 10))
        self.assertTrue(alive(server_pid))
        wrapper.kill()
        wrapper.wait()
        wrapper.stdout.close()
        try:
            self.assertTrue(wait_until(lambda: not alive(server_pid), 5), "server outlived its starter")
        finally:
            if alive(server_pid):
                os.kill(server_pid, signal.SIGKILL)


@unittest.skipUnless(shutil.which("ffmpeg") and shutil.which("ffprobe"), "needs ffmpeg and ffprobe")
class TestLive(unittest.TestCase):

    def test_live_stream_plays_restarts_and_leaves_no_ffmpeg(self):
        proc, port, _ = start_server("--size", "320x180", "--slots", "1")
        children = []
        try:
            started = time.monotonic()
            children = wait_until(lambda: ffmpeg_children(proc.pid), 5)
            self.assertEqual(len(children), 1, "one ffmpeg for one slot")
            with open("/proc/%d/cmdline" % children[0], "rb") as f:
                cmdline = f.read().split(b"\0")
            workdir = next(a for a in cmdline if a.endswith(b"index.m3u8")).decode()
            workdir = os.path.dirname(os.path.dirname(os.path.dirname(workdir)))

            status, headers, playlist = get(port, "/live/1/index.m3u8", timeout=12)
            self.assertEqual(status, 200)
            self.assertLess(time.monotonic() - started, 10)
            self.assertEqual(headers["content-type"], "application/vnd.apple.mpegurl")
            self.assertIn(b"#EXTM3U", playlist)
            segment = re.search(rb"^(seg_\d+\.ts)$", playlist, re.M).group(1).decode()
            status, headers, data = get(port, "/live/1/" + segment)
            self.assertEqual((status, headers["content-type"]), (200, "video/mp2t"))
            self.assertEqual(data[:1], b"G")

            probe = subprocess.run(
                ["ffprobe", "-v", "error", "-show_streams", "-of", "json",
                 "http://127.0.0.1:%d/live/1/index.m3u8" % port],
                capture_output=True, timeout=30)
            self.assertEqual(probe.returncode, 0, probe.stderr)
            streams = json.loads(probe.stdout)["streams"]
            video = [s for s in streams if s["codec_type"] == "video"]
            audio = [s for s in streams if s["codec_type"] == "audio"]
            self.assertEqual((video[0]["codec_name"], video[0]["width"], video[0]["height"]),
                             ("h264", 320, 180))
            self.assertEqual(audio[0]["codec_name"], "aac")

            self.assertIn(b"/live/1/index.m3u8", get(port, "/kwa/KR5/KR1.asx")[2])
            self.assertEqual(get(port, "/live/2/index.m3u8")[0], 404)   # not in --slots

            # An ffmpeg that dies is replaced, and the playlist goes on rising.
            def sequence():
                body = get(port, "/live/1/index.m3u8")[2]
                return int(re.search(rb"#EXT-X-MEDIA-SEQUENCE:(\d+)", body).group(1))

            seq_before = sequence()
            os.kill(children[0], signal.SIGKILL)
            replaced = wait_until(lambda: [p for p in ffmpeg_children(proc.pid) if p not in children], 8)
            self.assertTrue(replaced, "ffmpeg was not restarted")
            children += replaced
            self.assertTrue(wait_until(lambda: sequence() > seq_before, 8))
        finally:
            rc = stop_server(proc)
        left = [p for p in children if alive(p)]
        for p in left:
            os.kill(p, signal.SIGKILL)
        self.assertEqual(rc, 0)
        self.assertEqual(left, [])
        self.assertFalse(os.path.exists(workdir), "temporary work folder left behind")

    def test_ffmpeg_dies_with_a_killed_server(self):
        proc, port, _ = start_server("--size", "160x90", "--slots", "2,3", "--fps", "10")
        try:
            children = wait_until(lambda: len(ffmpeg_children(proc.pid)) == 2 and ffmpeg_children(proc.pid), 5)
            self.assertEqual(len(children), 2)
        finally:
            stop_server(proc, signal.SIGKILL)
        try:
            self.assertTrue(wait_until(lambda: not any(alive(p) for p in children), 5),
                            "ffmpeg outlived a killed server")
        finally:
            for p in children:
                if alive(p):
                    os.kill(p, signal.SIGKILL)



def open_stream(port, headers, timeout=15):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    conn.request("GET", "/wm/live", headers=headers)
    return conn, conn.getresponse()


@unittest.skipUnless(shutil.which("ffmpeg") and shutil.which("ffprobe"), "needs ffmpeg and ffprobe")
class TestWindowsMedia(unittest.TestCase):
    """The live Windows Media stream of slot 4, served as MMS over HTTP."""

    @classmethod
    def setUpClass(cls):
        cls.proc, cls.port, _ = start_server("--slots", "4", "--size", "320x180", "--fps", "15")
        cls.tmp = tempfile.mkdtemp(prefix="demo-wm-")

    @classmethod
    def tearDownClass(cls):
        stop_server(cls.proc)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def get(self, path, **kw):
        return get(self.port, path, **kw)

    def test_a_browser_gets_a_reference_file_and_kr4_names_mms_then_http(self):
        host = {"Host": "localhost:%d" % self.port}
        status, headers, body = self.get("/wm/live", headers=host)
        self.assertEqual((status, headers["content-type"]), (200, "video/x-ms-asf"))
        self.assertIn("Cougar/", headers["server"])
        self.assertIn("features=", headers["pragma"])
        self.assertEqual(body.decode("ascii").split("\r\n"), [
            "[Reference]",
            "Ref1=http://localhost:%d/wm/live?MSWMExt=.asf" % self.port,
            "Ref2=mms://localhost:%d/wm/live" % self.port, ""])
        # An agent that merely mentions the player is no player.
        self.assertIn(b"[Reference]", self.get("/wm/live", headers={"User-Agent": "Mozilla/5.0 NSPlayer/9"})[2])

        root = ET.fromstring(self.get("/kwa/KR5/KR4.asx", headers=host)[2])
        self.assertEqual([r.get("HREF") for r in root.find("ENTRY").findall("REF")],
                         ["mms://localhost:%d/wm/live" % self.port, "http://localhost:%d/wm/live" % self.port])
        self.assertIn(b"/live/1/index.m3u8", self.get("/kwa/KR5/KR1.asx")[2])
        self.assertEqual(self.get("/live/4/index.m3u8")[0], 404)   # slot 4 is Windows Media

    def test_windows_media_players_get_the_header_then_the_stream_from_a_key_frame(self):
        status, headers, body = self.get("/wm/live", headers=NSPLAYER, timeout=15)
        self.assertEqual((status, headers["content-type"]), (200, "application/vnd.ms.wms-hdr.asfv1"))
        self.assertIn("features=", headers["pragma"])
        self.assertEqual(int(headers["content-length"]), len(body))
        chunk_type, length, location, flags, again = struct.unpack("<2sHIHH", body[:12])
        self.assertEqual((chunk_type, length, again, location), (b"$H", len(body) - 4, len(body) - 4, 0))
        self.assertEqual(body[12:28], ASF_HEADER_GUID)
        time.sleep(1.5)   # join well after the start, in the middle of a group of pictures

        conn, resp = open_stream(self.port, NSPLAYER_PLAY)
        try:
            self.assertEqual((resp.status, resp.getheader("Content-Type")), (200, "application/x-mms-framed"))
            self.assertIsNone(resp.getheader("Content-Length"))
            chunks = read_chunks(resp, 41)
        finally:
            conn.close()
        self.assertEqual(len(chunks), 41)
        self.assertEqual(chunks[0][0], b"$H")
        self.assertEqual(chunks[0][3], body[12:], "every client gets the same header")
        data = chunks[1:]
        self.assertEqual({c[0] for c in data}, {b"$D"})
        self.assertGreater(data[0][1], 0, "a late joiner does not start at the stream's beginning")
        self.assertEqual([c[1] for c in data], list(range(data[0][1], data[0][1] + len(data))))
        self.assertEqual(len({len(c[3]) for c in data}), 1, "data packets have one size")

        # The late joiner's first video packet is a key frame: ffprobe reads
        # the chunks' payloads as one ASF file.
        path = os.path.join(self.tmp, "joined.asf")
        with open(path, "wb") as f:
            f.write(b"".join(c[3] for c in chunks))
        probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                                "packet=flags", "-of", "csv=p=0", path], capture_output=True, timeout=30)
        flags = probe.stdout.decode().split()
        self.assertTrue(flags, probe.stderr)
        self.assertTrue(flags[0].startswith("K"), flags[:5])

    def test_ffmpegs_mmsh_client_reads_wmv2_and_wmav2(self):
        probe = subprocess.run(["ffprobe", "-v", "error", "-show_streams", "-of", "json",
                                "mmsh://127.0.0.1:%d/wm/live" % self.port], capture_output=True, timeout=60)
        self.assertEqual(probe.returncode, 0, probe.stderr)
        streams = {s["codec_type"]: s for s in json.loads(probe.stdout)["streams"]}
        self.assertEqual((streams["video"]["codec_name"], streams["video"]["width"], streams["video"]["height"]),
                         ("wmv2", 320, 180))
        self.assertEqual(streams["audio"]["codec_name"], "wmav2")

    def test_one_encoder_serves_every_client_and_faults_apply(self):
        streams = [open_stream(self.port, NSPLAYER_PLAY) for _ in range(3)]
        try:
            for _, resp in streams:
                self.assertEqual([c[0] for c in read_chunks(resp, 3)], [b"$H", b"$D", b"$D"])
            self.assertEqual(len(ffmpeg_children(self.proc.pid)), 1)
        finally:
            for conn, _ in streams:
                conn.close()
        try:
            get(self.port, "/control/fault?path=/wm/&mode=404")
            self.assertEqual(self.get("/wm/live", headers=NSPLAYER_PLAY)[0], 404)
            get(self.port, "/control/fault?path=/wm/&mode=drop")
            conn, resp = open_stream(self.port, NSPLAYER_PLAY)
            received = resp.read()    # up to the dropped connection
            conn.close()
            self.assertEqual(received[:2], b"$H")
            self.assertLessEqual(len(received), 64 * 1024)
        finally:
            get(self.port, "/control/reset")
        self.assertEqual(self.get("/wm/live", headers=NSPLAYER)[0], 200)

    def test_a_restarted_encoder_ends_the_stream_and_stopping_leaves_no_ffmpeg(self):
        proc, port, _ = start_server("--slots", "4", "--size", "160x90", "--fps", "10")
        children = []
        try:
            conn, resp = open_stream(port, NSPLAYER_PLAY)
            self.assertEqual([c[0] for c in read_chunks(resp, 2)], [b"$H", b"$D"])
            children = ffmpeg_children(proc.pid)
            self.assertEqual(len(children), 1)
            os.kill(children[0], signal.SIGKILL)
            rest = read_chunks(resp, 10000)
            conn.close()
            self.assertEqual(rest[-1], (b"$E", None, None, bytes(4)))
            # The next client gets the new ffmpeg's stream.
            conn, resp = open_stream(port, NSPLAYER_PLAY)
            self.assertEqual([c[0] for c in read_chunks(resp, 2)], [b"$H", b"$D"])
            children += [p for p in ffmpeg_children(proc.pid) if p not in children]
            self.assertEqual(len(children), 2)
        finally:
            started = time.monotonic()
            rc = stop_server(proc)   # with a client still connected
        conn.close()
        self.assertEqual(rc, 0)
        self.assertLess(time.monotonic() - started, 5)
        self.assertFalse([p for p in children if alive(p)])

if __name__ == "__main__":
    unittest.main()

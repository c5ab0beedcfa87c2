"""What every part of the benchmark shares: where things are, the program's
fixed figures, messages, and small number helpers."""

import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(os.path.dirname(HERE), "run-benchmark")
REPO = os.path.dirname(os.path.dirname(HERE))
DEMO_SERVER = os.path.join(REPO, "tools", "kijkraam-demo-server")
STREAM_SERVER = os.path.join(REPO, "tests", "support", "servers", "stream-server")
PLAYER_SOURCES = os.path.join(REPO, "src", "player")
DEFAULT_PORT = 8325        # the program's built-in server address is http://127.0.0.1:8325
TILE = (281, 241)          # one player tile of the program's main window
PROG = "run-benchmark"


def die(msg, code=2):
    sys.stderr.write("%s: %s\n" % (PROG, msg))
    sys.exit(code)


def note(msg):
    sys.stderr.write("%s: %s\n" % (PROG, msg))
    sys.stderr.flush()


def fmt(v, digits=2):
    return "-" if v is None else "%.*f" % (digits, v)


def ratio(a, b):
    return None if a is None or not b else a / b


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None

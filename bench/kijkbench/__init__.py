"""Kijkraam four-stream benchmark.

Plays four 640x360 25 fps streams for N seconds under one Xvfb screen, one
contender after the other:

  kijkraam          the program, its four players in the main window (Nieuws=Nee)
  kijkraam+ticker   the same with the news ticker on (Nieuws=Ja)
  kijkraam+eight    the main window plus its four stream windows ("Vergroot" 1..4)
  mpv gpu           four mpv players, --vo=gpu (OpenGL), one tile-sized window each
  mpv x11           four mpv players, --vo=x11 (software scaling, X shared memory)
  decode floor      four `ffmpeg -re -i <stream> -f null -`: decoding alone

Every mpv peer gets the engine options of the program's libmpv players
(ENGINE_OPTIONS below). The streams are pre-encoded files served over plain
HTTP (--mode files, the default) or the demo server's four live HLS streams
(--mode live). Reports for each the CPU seconds and peak memory of its whole
process tree, the time until all its players play and their dropped frames.
See bench/README.md. Python standard library only.
"""

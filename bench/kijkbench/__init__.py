"""Kijkraam four-stream benchmark.

Plays four 25 fps streams for N seconds under one Xvfb screen, one
contender after the other:

  kijkraam          the program, its four players in the main window (Nieuws=Nee)
  kijkraam+ticker   the same with the news ticker on (Nieuws=Ja)
  kijkraam+eight    the main window plus its four stream windows ("Vergroot" 1..4)
  mpv gpu           four mpv players, --vo=gpu (OpenGL), one tile-sized window each
  mpv x11           four mpv players, --vo=x11 (software scaling, X shared memory)
  vlc               four VLC players, X11 output, no audio, as an ordinary user
  mpv x11+chromium  four mpv x11 players and Chromium showing the ticker page
  decode floor      four `ffmpeg -re -i <stream> -f null -`: decoding alone
  <player> @rtsp    latency rows: the program, mpv, mpv --profile=low-latency and
  <player> @hls     VLC playing a live source that draws the wall clock

Every mpv peer of the first rows gets the engine options of the program's
libmpv players (contenders.ENGINE_OPTIONS). The streams are pre-encoded
files served over plain HTTP (--mode files, the default, at --size), the
demo server's four live HLS streams (--mode live), or four live HLS
masters of three variants (--mode master). Reports for each the CPU
seconds and peak memory of its whole process tree, the time until all its
players play, their dropped frames and what is seen on the screen, with the
ratios and targets. See bench/README.md. Python standard library only.
"""

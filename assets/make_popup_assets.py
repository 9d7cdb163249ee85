#!/usr/bin/env python3
"""Generates the pop-ups' pictures and chimes.

Outputs (all committed):
  popup/popup_icon.png   32 x 32, 16 colours (4-bit palette with one transparent
                         entry): the icon of every pop-up window
  popup/nobix_art.png    112 x 121 artwork of Nobix (white is the transparent colour)
  popup/tarvel_art.png   112 x 121 artwork of Tarvel (white is the transparent colour)
  popup/swing.gif        32 x 57, 13 frames, looping, one cycle about 4 s
  delivered/msgcome.wav    Nobix's arrival chime
  delivered/buddycome.wav  Tarvel's arrival chime

Needs ImageMagick's `convert` and `sox`. The output is deterministic: no time
stamps are written into the pictures.
"""
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
POPUP = os.path.join(HERE, "popup")
DELIVERED = os.path.join(HERE, "delivered")

# PNG time chunks would make every run produce different bytes.
PNG_OPTS = ["-define", "png:exclude-chunks=date,time", "+set", "date:create",
            "+set", "date:modify", "-strip"]


def run(args):
    subprocess.run(args, check=True)


def convert(*args):
    run(["convert", *args])


def flat_on_white(draw, path):
    # Draws on a transparent ground, then makes every pixel either opaque or
    # pure white: white is the pictures' transparent colour, and an edge
    # blended with the white ground (254,254,254 and the like) would stay
    # opaque and show as a pale fringe on the alert's gradient.
    convert("-size", "112x121", "xc:none", *draw,
            "-channel", "A", "-threshold", "50%", "+channel",
            "-background", "white", "-alpha", "remove", "-alpha", "off",
            "-type", "TrueColor", *PNG_OPTS, path)


def polygon(points):
    return "polygon " + " ".join(f"{x:.1f},{y:.1f}" for x, y in points)


def star(cx, cy, r_out, r_in, rotation_deg):
    pts = []
    for k in range(10):
        r = r_out if k % 2 == 0 else r_in
        a = math.radians(rotation_deg - 90 + 36 * k)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def make_icon(path):
    # A folded letter with a speech bubble: the pop-ups announce messages.
    with tempfile.TemporaryDirectory() as tmp:
        big = os.path.join(tmp, "icon.png")
        convert("-size", "128x128", "xc:none",
                # speech bubble behind the letter
                "-fill", "#1E6FD9", "-stroke", "#0B3A7A", "-strokewidth", "5",
                "-draw", "roundrectangle 40,6 122,66 16,16",
                "-draw", polygon([(92, 62), (112, 62), (114, 84)]),
                "-stroke", "none", "-fill", "#1E6FD9",
                "-draw", "rectangle 93,55 111,63",
                "-fill", "#FFFFFF",
                "-draw", "circle 62,36 62,43", "-draw", "circle 81,36 81,43",
                "-draw", "circle 100,36 100,43",
                # envelope in front
                "-fill", "#FFD84A", "-stroke", "#7A4B00", "-strokewidth", "6",
                "-draw", "roundrectangle 6,56 92,118 8,8",
                "-fill", "#F2B705",
                "-draw", polygon([(8, 60), (49, 94), (90, 60)]),
                "-fill", "none",
                "-draw", "polyline 8,116 38,88", "-draw", "polyline 90,116 60,88",
                "-fill", "#E53935", "-stroke", "#7A4B00", "-strokewidth", "3",
                "-draw", "circle 49,92 49,100",
                *PNG_OPTS, big)
        # 15 opaque colours plus the transparent one: a 16-colour icon, kept
        # as a 4-bit palette PNG, which Qt reads without an image plugin.
        convert(big, "-resize", "32x32", "-channel", "A", "-threshold", "50%", "+channel",
                "-dither", "None", "-colors", "15", *PNG_OPTS, "PNG8:" + path + ".tmp.png")
        convert(path + ".tmp.png", "-define", "png:bit-depth=4", "-define", "png:color-type=3",
                *PNG_OPTS, "PNG8:" + path)
        os.remove(path + ".tmp.png")


# Where the alert puts things over the artwork, in artwork pixels: the text
# of the labels must stay readable and the swinging star (x 72..104, y 10..67
# in Nobix, y 14..71 in Tarvel) needs open space.


def make_nobix_art(path):
    # An open envelope with a contact card sliding out of it. The band of the
    # card at y 48..66, x 24..80 stays blank: the e-mail link is written there.
    ink = "#24406E"
    draw = [
        # soft ground shadow
        "-fill", "#C9D6E8", "-stroke", "none",
        "-draw", "ellipse 56,113 48,6 0,360",
        # back of the envelope with the open flap
        "-fill", "#E9B949", "-stroke", ink, "-strokewidth", "2",
        "-draw", polygon([(8, 60), (56, 26), (104, 60)]),
        "-draw", "rectangle 8,60 104,110",
        # the contact card, cream: clearly apart from the transparent white
        "-fill", "#FBF3DC", "-stroke", ink, "-strokewidth", "2",
        "-draw", "roundrectangle 14,6 84,90 5,5",
        "-fill", "#3F7DD1", "-stroke", "none",
        "-draw", "roundrectangle 15,7 83,17 4,4",
        "-draw", "rectangle 15,12 83,17",
        "-fill", "#FBF3DC",
        "-draw", "circle 20,12 20,14", "-draw", "circle 26,12 26,14",
        # portrait
        "-fill", "#DCE8F7", "-stroke", ink, "-strokewidth", "1.5",
        "-draw", "roundrectangle 20,22 38,42 3,3",
        "-fill", "#F4C9A0", "-stroke", "none",
        "-draw", "circle 29,29 29,33",
        "-fill", "#3F7DD1",
        "-draw", "ellipse 29,42 7,6 180,360",
        # text lines of the card
        "-fill", "#8FA3C0",
        "-draw", "rectangle 43,24 76,26",
        "-draw", "rectangle 43,31 70,32",
        "-draw", "rectangle 43,37 74,38",
        # dotted rule under the link's place
        "-fill", "#B9C6DA",
    ] + sum([["-draw", f"rectangle {x},67 {x + 1},67"] for x in range(22, 80, 4)], []) + [
        # front pocket of the envelope
        "-fill", "#FFD45C", "-stroke", ink, "-strokewidth", "2",
        "-draw", polygon([(8, 62), (56, 94), (104, 62), (104, 110), (8, 110)]),
        "-fill", "none", "-stroke", "#C08F1C", "-strokewidth", "1.5",
        "-draw", "polyline 10,108 42,86", "-draw", "polyline 102,108 70,86",
        # "@" seal
        "-fill", "#E0473C", "-stroke", "#8E1F17", "-strokewidth", "2",
        "-draw", "circle 56,94 56,105",
        "-fill", "#FFF4E8", "-stroke", "none",
        "-font", "DejaVu-Sans-Bold", "-pointsize", "15", "-gravity", "NorthWest",
        "-draw", "text 47,84 '@'",
    ]
    flat_on_white(draw, path)


def make_tarvel_art(path):
    # A boxed program with its disc at the top left; a dark plate (x 16..108,
    # y 39..61) behind the heading (22,40, about 56 x 18); a panel (y 64..120)
    # behind the two program names (16,72 and 22,100, about 75 x 16 each),
    # each with a small emblem at x 4..12, clear of the text.
    #
    # Colours against the labels' (WCAG contrast): the heading RGB(255,0,255)
    # reads at 5.6:1 on the plate. The names are RGB(255,192,128), blue
    # RGB(0,0,255) under the pointer; no backdrop gives both 4.5:1 (the first
    # needs luminance <= 0.096, the second >= 0.50), so the panel has the
    # luminance that serves both best, 0.233: 2.31:1 each.
    ink = "#1F2D4D"
    plate = "#1A1433"
    panel = "#5687C5"
    emblem = "#FFF3E0"
    draw = [
        # disc behind the box
        "-fill", "#D7DEE8", "-stroke", "#6C7A92", "-strokewidth", "1.5",
        "-draw", "circle 46,16 46,31",
        "-fill", "#B6E3F5", "-stroke", "none",
        "-draw", "ellipse 46,16 13,13 200,260",
        "-fill", "#F5C6E6",
        "-draw", "ellipse 46,16 13,13 20,80",
        "-fill", "#E3E9F0", "-stroke", "#6C7A92", "-strokewidth", "1",
        "-draw", "circle 46,16 46,20",
        # box: top, side, front
        "-fill", "#7FB2F0", "-stroke", ink, "-strokewidth", "1.5",
        "-draw", polygon([(8, 12), (20, 4), (44, 4), (32, 12)]),
        "-fill", "#2F5FA8",
        "-draw", polygon([(32, 12), (44, 4), (44, 28), (32, 36)]),
        "-fill", "#4C86D9",
        "-draw", "rectangle 8,12 32,36",
        "-fill", "#FFC94A", "-stroke", "none",
        "-draw", "circle 20,23 20,28",
        "-fill", "#2BB3A3",
        "-draw", polygon([(9, 32), (14, 27), (19, 31), (25, 25), (31, 31), (31, 35), (9, 35)]),
        # info badge on the box
        "-fill", "#E0473C", "-stroke", "#8E1F17", "-strokewidth", "1.5",
        "-draw", "circle 58,28 58,36",
        "-fill", "#FFF4E8", "-stroke", "none",
        "-draw", "rectangle 57,23 59,24",
        "-draw", "rectangle 57,26 59,32",
        # the plate behind the heading, edged in the heading's pink
        "-fill", plate, "-stroke", "#E86AD0", "-strokewidth", "1",
        "-draw", "roundrectangle 16,39 108,61 5,5",
        # the panel behind the program names
        "-fill", panel, "-stroke", "#0E1E3C", "-strokewidth", "2",
        "-draw", "roundrectangle 1,64 110,119 8,8",
        "-fill", "#3F6DA8", "-stroke", "none",
        "-draw", "rectangle 8,93 102,93",
        # emblem of the media player: a note
        "-fill", emblem,
        "-draw", "rectangle 9,73 10,81",
        "-draw", "ellipse 7,81 2,2 0,360",
        "-draw", "rectangle 9,73 12,74",
        # emblem of the number picker: a lottery ball
        "-draw", "circle 8,107 8,111",
        "-fill", panel,
        "-draw", "rectangle 7,105 9,109",
        "-fill", emblem,
        "-draw", "rectangle 8,105 8,109",
    ]
    flat_on_white(draw, path)


FRAMES = 13
# 13 frames of 31 hundredths give a cycle of 4.03 s.
FRAME_DELAY_CS = 31


def make_animation(path):
    # A star hanging from a thread, swinging like a mobile and twinkling.
    # Drawn without antialiasing so that the GIF's one-bit transparency
    # leaves no fringe over the gradient.
    with tempfile.TemporaryDirectory() as tmp:
        frames = []
        for k in range(FRAMES):
            phase = 2 * math.pi * k / FRAMES
            theta = math.radians(12) * math.sin(phase)
            px, py = 16, 2
            length = 32
            sx = px + length * math.sin(theta)
            sy = py + length * math.cos(theta)
            spin = math.degrees(theta) * 1.5
            glow = "#FFF1A8" if k % 4 == 0 else "#FFE27A"
            draw = [
                "+antialias",
                "-fill", "#7A5230", "-stroke", "none",
                "-draw", "rectangle 12,0 20,2",
                "-stroke", "#7A5230", "-strokewidth", "1",
                "-draw", f"line {px},{py} {sx:.1f},{sy - 9:.1f}",
                "-stroke", "#B5651D", "-fill", "#FFB300",
                "-draw", polygon(star(sx, sy, 9, 4, spin)),
                "-stroke", "none", "-fill", glow,
                "-draw", polygon(star(sx - 1, sy - 1, 5, 2, spin)),
            ]
            # twinkles around the star, changing from frame to frame
            sparkles = [(5, 48), (27, 44), (6, 22), (26, 18), (16, 54)]
            for i, (x, y) in enumerate(sparkles):
                if (k + 2 * i) % 5 in (0, 1):
                    draw += ["-fill", "#FF7AC8" if i % 2 else "#4FC3F7",
                             "-draw", f"rectangle {x - 1},{y} {x + 1},{y}",
                             "-draw", f"rectangle {x},{y - 1} {x},{y + 1}"]
            frame = os.path.join(tmp, f"f{k:02d}.gif")
            convert("-size", "32x57", "xc:none", *draw, frame)
            frames.append(frame)
        convert("-dispose", "background", "-delay", str(FRAME_DELAY_CS), "-loop", "0",
                *frames, "-layers", "optimize-transparency", path)


def make_chime(path, notes):
    # notes: (frequency in Hz, start in s); each a bell-like partial pair
    # that dies away, mixed into one short mono file.
    with tempfile.TemporaryDirectory() as tmp:
        parts = []
        for i, (freq, start) in enumerate(notes):
            part = os.path.join(tmp, f"n{i}.wav")
            run(["sox", "-R", "-n", "-r", "22050", "-b", "16", "-c", "1", part,
                 "synth", "0.9", "sine", str(freq), "sine", str(freq * 2.76),
                 "remix", "1v0.8,2v0.2", "fade", "q", "0.005", "0.9", "0.85",
                 "pad", str(start), "0", "vol", "0.45"])
            parts.append(part)
        mixed = os.path.join(tmp, "mix.wav")
        if len(parts) == 1:
            run(["sox", "-R", parts[0], mixed])
        else:
            run(["sox", "-R", "-m", *parts, mixed])
        run(["sox", "-R", mixed, "-r", "22050", "-b", "16", "-c", "1", path,
             "reverb", "20", "50", "40", "trim", "0", "1.4", "fade", "0", "1.4", "0.3", "norm", "-3"])


def main():
    os.makedirs(POPUP, exist_ok=True)
    os.makedirs(DELIVERED, exist_ok=True)
    make_icon(os.path.join(POPUP, "popup_icon.png"))
    make_nobix_art(os.path.join(POPUP, "nobix_art.png"))
    make_tarvel_art(os.path.join(POPUP, "tarvel_art.png"))
    make_animation(os.path.join(POPUP, "swing.gif"))
    # Nobix: a rising two-note ding-dong; Tarvel: a bright three-note arpeggio.
    make_chime(os.path.join(DELIVERED, "msgcome.wav"), [(1318.5, 0.0), (1975.5, 0.16)])
    make_chime(os.path.join(DELIVERED, "buddycome.wav"),
               [(1046.5, 0.0), (1318.5, 0.1), (1568.0, 0.2)])
    return 0


if __name__ == "__main__":
    sys.exit(main())

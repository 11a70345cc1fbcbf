#!/usr/bin/python3
"""Writes the tiny images of the Win32 back-end's resource tests (test_resources.rc).

Run with Debian's interpreter (python3-pil): /usr/bin/python3 make_test_images.py
The outputs are committed; the build needs no Python. Every pixel is chosen so a test can
tell which image, which row order and which palette entry it reads back.
"""
from pathlib import Path

from PIL import Image

HERE = Path(__file__).resolve().parent / "images"


def dot_png():
    # 4 x 4 with alpha: an opaque red row, a half-transparent blue row, a transparent row and
    # a row of opaque green, so alpha handling and row order both show.
    image = Image.new("RGBA", (4, 4))
    rows = [(255, 0, 0, 255), (0, 0, 255, 128), (0, 0, 0, 0), (0, 255, 0, 255)]
    for y, colour in enumerate(rows):
        for x in range(4):
            image.putpixel((x, y), colour)
    image.save(HERE / "dot.png", optimize=True)


def palette_bmp():
    # 4 x 2, 8 bits per pixel with a palette: top row red, green, blue, white; bottom row
    # black, yellow, magenta, cyan. A wrong palette or a flipped row order reads back wrong.
    colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255),
               (0, 0, 0), (255, 255, 0), (255, 0, 255), (0, 255, 255)]
    image = Image.new("P", (4, 2))
    palette = []
    for colour in colours:
        palette.extend(colour)
    image.putpalette(palette + [0] * (768 - len(palette)))
    for index in range(8):
        image.putpixel((index % 4, index // 4), index)
    image.save(HERE / "pal8.bmp")


def rgb24_bmp():
    # 3 x 2, 24 bits per pixel: an odd width, so each row carries padding bytes.
    image = Image.new("RGB", (3, 2))
    pixels = [(10, 20, 30), (40, 50, 60), (70, 80, 90),
              (100, 110, 120), (130, 140, 150), (160, 170, 180)]
    for index, colour in enumerate(pixels):
        image.putpixel((index % 3, index // 3), colour)
    image.save(HERE / "rgb24.bmp")


def both():
    # Resource number 300 exists as DATA (5 x 5 PNG) and as a bitmap (6 x 6 BMP): the size
    # tells which one the lookup chose.
    Image.new("RGBA", (5, 5), (0, 128, 0, 255)).save(HERE / "both.png", optimize=True)
    Image.new("RGB", (6, 6), (128, 0, 0)).save(HERE / "both.bmp")


if __name__ == "__main__":
    HERE.mkdir(exist_ok=True)
    dot_png()
    palette_bmp()
    rgb24_bmp()
    both()

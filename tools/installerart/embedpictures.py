#!/usr/bin/env python3
"""Puts the installer's pictures (installer/art/) into its form description.

Each picture property of the window is rewritten in place with the bytes of
its file, in the form the form reader takes: TImage pictures with their
graphic class name in front, the speed buttons' glyphs as the bitmap file,
the image buttons' pictures as the PNG file. Everything else in the
description is left as it is.

    embedpictures.py <installer folder>
"""
import pathlib
import re
import sys

# (object, property) -> (file, class name prefix or None)
PICTURES = {
    ("Image1", "Picture.Data"): ("Background.jpg", "TJPEGImage"),
    ("Image2", "Picture.Data"): ("Background.jpg", "TJPEGImage"),
    ("Image3", "Picture.Data"): ("Logo.png", "TPNGObject"),
    ("Image4", "Picture.Data"): ("Logo.png", "TPNGObject"),
    ("SpeedButton5", "Glyph.Data"): ("Exit.bmp", None),
    ("SpeedButton9", "Glyph.Data"): ("Exit.bmp", None),
    ("PNGButton14", "ImageNormal.Data"): ("Remote.png", None),
    ("PNGButton1", "ImageNormal.Data"): ("Remote.png", None),
    ("PNGButton14", "ImageOver.Data"): ("RemoteOver.png", None),
    ("PNGButton1", "ImageOver.Data"): ("RemoteOver.png", None),
}

BYTES_PER_LINE = 32


def data_block(data, indent):
    hex_text = data.hex().upper()
    step = BYTES_PER_LINE * 2
    lines = [indent + "  " + hex_text[i:i + step] for i in range(0, len(hex_text), step)]
    return "{\n" + "\n".join(lines) + "}"


def picture_bytes(art, name, prefix):
    data = (art / name).read_bytes()
    if prefix:
        data = bytes([len(prefix)]) + prefix.encode("ascii") + data
    return data


def main():
    folder = pathlib.Path(sys.argv[1])
    art = folder / "art"
    form = folder / "uNIiNSTALL.dfm"
    lines = form.read_text(encoding="ascii").split("\n")
    out = []
    owner = None
    done = set()
    i = 0
    while i < len(lines):
        line = lines[i]
        match = re.match(r"^\s*object (\w+):", line)
        if match:
            owner = match.group(1)
        prop = re.match(r"^(\s*)([\w.]+) = \{", line)
        key = (owner, prop.group(2)) if prop else None
        if key not in PICTURES:
            out.append(line)
            i += 1
            continue
        # Skip the old data up to its closing brace.
        while "}" not in lines[i]:
            i += 1
        i += 1
        name, prefix = PICTURES[key]
        indent = prop.group(1)
        out.append(indent + prop.group(2) + " = " + data_block(picture_bytes(art, name, prefix), indent))
        done.add(key)
    missing = set(PICTURES) - done
    if missing:
        sys.exit("embedpictures: no property for %s" % sorted(missing))
    form.write_text("\n".join(out), encoding="ascii")


if __name__ == "__main__":
    main()

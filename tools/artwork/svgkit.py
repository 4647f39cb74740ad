"""Small helpers for writing SVG by hand: numbers, shapes, gradients, text
converted to outlines, and PNG output of numpy arrays."""

import math
import struct
import zlib
from pathlib import Path

from fontTools.pens.svgPathPen import SVGPathPen
from fontTools.pens.transformPen import TransformPen
from fontTools.ttLib import TTFont

FONT_DIRS = [
    Path('/usr/share/fonts/truetype/roboto/unhinted'),
    Path('/usr/share/fonts/opentype/league-spartan'),
]


def n(v, digits=3):
    """Compact number text."""
    s = f'{v:.{digits}f}'.rstrip('0').rstrip('.')
    return '0' if s in ('-0', '') else s


def attrs(**kw):
    out = []
    for k, v in kw.items():
        if v is None:
            continue
        k = k.rstrip('_').replace('_', '-')
        if isinstance(v, float):
            v = n(v)
        out.append(f'{k}="{v}"')
    return ' '.join(out)


def svg_doc(width, height, body, defs='', px_width=None, px_height=None):
    """A standalone SVG document with the given view box."""
    w = n(px_width if px_width is not None else width)
    h = n(px_height if px_height is not None else height)
    d = f'<defs>{defs}</defs>' if defs else ''
    return (f'<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" '
            f'width="{w}" height="{h}" viewBox="0 0 {n(width, 5)} {n(height, 5)}">{d}{body}</svg>\n')


def linear(id_, x1, y1, x2, y2, stops, units='objectBoundingBox'):
    s = ''.join(f'<stop offset="{n(o)}" stop-color="{c}"' + (f' stop-opacity="{n(a)}"' if a != 1 else '') + '/>'
                for o, c, a in _stops(stops))
    return (f'<linearGradient id="{id_}" gradientUnits="{units}" x1="{n(x1)}" y1="{n(y1)}" '
            f'x2="{n(x2)}" y2="{n(y2)}">{s}</linearGradient>')


def radial(id_, cx, cy, r, stops, units='objectBoundingBox', fx=None, fy=None):
    s = ''.join(f'<stop offset="{n(o)}" stop-color="{c}"' + (f' stop-opacity="{n(a)}"' if a != 1 else '') + '/>'
                for o, c, a in _stops(stops))
    f = ''
    if fx is not None:
        f = f' fx="{n(fx)}" fy="{n(fy)}"'
    return (f'<radialGradient id="{id_}" gradientUnits="{units}" cx="{n(cx)}" cy="{n(cy)}" r="{n(r)}"{f}>'
            f'{s}</radialGradient>')


def _stops(stops):
    for s in stops:
        if len(s) == 2:
            yield s[0], s[1], 1
        else:
            yield s


def circle(cx, cy, r, **kw):
    return f'<circle cx="{n(cx)}" cy="{n(cy)}" r="{n(r)}" {attrs(**kw)}/>'


def rect(x, y, w, h, rx=0, **kw):
    r = f' rx="{n(rx)}"' if rx else ''
    return f'<rect x="{n(x)}" y="{n(y)}" width="{n(w)}" height="{n(h)}"{r} {attrs(**kw)}/>'


def path(d, **kw):
    return f'<path d="{d}" {attrs(**kw)}/>'


def group(body, **kw):
    return f'<g {attrs(**kw)}>{body}</g>'


def polar(cx, cy, r, deg):
    """Point at angle deg, measured clockwise from straight up."""
    a = math.radians(deg)
    return cx + r * math.sin(a), cy - r * math.cos(a)


def arc_path(cx, cy, r, a0, a1):
    """Open arc from angle a0 to a1 (degrees clockwise from up)."""
    x0, y0 = polar(cx, cy, r, a0)
    x1, y1 = polar(cx, cy, r, a1)
    large = 1 if (a1 - a0) % 360 > 180 else 0
    return f'M{n(x0)} {n(y0)}A{n(r)} {n(r)} 0 {large} 1 {n(x1)} {n(y1)}'


def annular_sector(cx, cy, r0, r1, a0, a1):
    """Closed ring segment between radii r0 < r1 and angles a0 < a1."""
    p = [polar(cx, cy, r1, a0), polar(cx, cy, r1, a1), polar(cx, cy, r0, a1), polar(cx, cy, r0, a0)]
    large = 1 if (a1 - a0) > 180 else 0
    return (f'M{n(p[0][0])} {n(p[0][1])}A{n(r1)} {n(r1)} 0 {large} 1 {n(p[1][0])} {n(p[1][1])}'
            f'L{n(p[2][0])} {n(p[2][1])}A{n(r0)} {n(r0)} 0 {large} 0 {n(p[3][0])} {n(p[3][1])}Z')


def rounded_rect_path(x, y, w, h, r):
    return (f'M{n(x + r)} {n(y)}H{n(x + w - r)}A{n(r)} {n(r)} 0 0 1 {n(x + w)} {n(y + r)}'
            f'V{n(y + h - r)}A{n(r)} {n(r)} 0 0 1 {n(x + w - r)} {n(y + h)}H{n(x + r)}'
            f'A{n(r)} {n(r)} 0 0 1 {n(x)} {n(y + h - r)}V{n(y + r)}A{n(r)} {n(r)} 0 0 1 {n(x + r)} {n(y)}Z')


class Font:
    """A font whose glyphs become SVG path data, so documents carry no text
    elements and render the same everywhere."""

    _cache = {}

    def __init__(self, file_name):
        for d in FONT_DIRS:
            p = d / file_name
            if p.exists():
                break
        else:
            raise FileNotFoundError(file_name)
        self.tt = TTFont(str(p))
        self.glyphs = self.tt.getGlyphSet()
        self.cmap = self.tt.getBestCmap()
        self.upm = self.tt['head'].unitsPerEm
        self.hmtx = self.tt['hmtx']
        os2 = self.tt['OS/2']
        self.cap_height = getattr(os2, 'sCapHeight', 0) or int(self.upm * 0.7)

    @classmethod
    def get(cls, file_name):
        if file_name not in cls._cache:
            cls._cache[file_name] = Font(file_name)
        return cls._cache[file_name]

    def width(self, text, size, tracking=0.0):
        s = size / self.upm
        adv = [self.hmtx[self.cmap[ord(c)]][0] * s for c in text]
        return sum(adv) + tracking * size * max(0, len(text) - 1)

    def path(self, text, size, x, y, anchor='start', tracking=0.0, baseline='alphabetic'):
        """Outline path of `text` with its baseline at y. tracking is extra
        space between letters as a fraction of size. baseline 'middle' puts
        the middle of the capitals at y."""
        s = size / self.upm
        total = self.width(text, size, tracking)
        cx = x - total * {'start': 0.0, 'middle': 0.5, 'end': 1.0}[anchor]
        if baseline == 'middle':
            y = y + self.cap_height * s / 2
        parts = []
        for c in text:
            g = self.cmap[ord(c)]
            pen = SVGPathPen(self.glyphs, ntos=lambda v: n(v, 2))
            self.glyphs[g].draw(TransformPen(pen, (s, 0, 0, -s, cx, y)))
            parts.append(pen.getCommands())
            cx += self.hmtx[g][0] * s + tracking * size
        return ''.join(parts)


def write_png(path_, rgba):
    """Writes an H x W x 4 uint8 array as an RGBA PNG."""
    h, w, _ = rgba.shape
    raw = b''.join(b'\x00' + rgba[y].tobytes() for y in range(h))

    def chunk(tag, data):
        c = struct.pack('>I', len(data)) + tag + data
        return c + struct.pack('>I', zlib.crc32(tag + data) & 0xFFFFFFFF)

    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')
    Path(path_).write_bytes(png)

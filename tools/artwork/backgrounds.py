"""The two backgrounds, drawn in the editor's default pixel units (width 800)
and rendered at 4.8 times that size. Every control position comes from
layout.py, so wells, plates and printing sit under the controls."""

import math

import layout
from palette import C
from svgkit import (Font, annular_sector, circle, group, linear, n, path, polar, radial, rect, rounded_rect_path,
                    svg_doc)

COND_BOLD = 'RobotoCondensed-Bold.ttf'
COND = 'RobotoCondensed-Regular.ttf'

PEDAL_W, PEDAL_H = 800.0, 3208 / 4.8
RACK_W, RACK_H = 800.0, 858 / 4.8


def _centre(r):
    x, y, w, h = r
    return x + w / 2, y + h / 2


def _brushed(id_, x, y, w, h, fx, fy, alpha, seed):
    """Filter that lays a brushed-metal grain over its source graphic."""
    return (f'<filter id="{id_}" filterUnits="userSpaceOnUse" x="{n(x)}" y="{n(y)}" width="{n(w)}" height="{n(h)}">'
            f'<feTurbulence type="fractalNoise" baseFrequency="{n(fx, 4)} {n(fy, 4)}" numOctaves="3" seed="{seed}" result="t"/>'
            f'<feColorMatrix in="t" type="matrix" values="1.6 0 0 0 -0.3  1.6 0 0 0 -0.3  1.6 0 0 0 -0.3  0 0 0 0 {n(alpha)}" result="g"/>'
            f'<feComposite in="g" in2="SourceGraphic" operator="in" result="m"/>'
            f'<feBlend in="m" in2="SourceGraphic" mode="overlay"/></filter>')


def _shadow(id_, std, dy, opacity):
    return (f'<filter id="{id_}" x="-20%" y="-20%" width="140%" height="140%">'
            f'<feGaussianBlur in="SourceAlpha" stdDeviation="{n(std)}"/>'
            f'<feOffset dy="{n(dy)}" result="b"/>'
            f'<feComponentTransfer><feFuncA type="linear" slope="{n(opacity)}"/></feComponentTransfer>'
            f'<feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge></filter>')


def _blur(id_, std):
    return f'<filter id="{id_}" x="-50%" y="-50%" width="200%" height="200%"><feGaussianBlur stdDeviation="{n(std)}"/></filter>'


def _screw(cx, cy, r, angle):
    s = circle(cx, cy + r * 0.15, r * 1.1, fill='#000000', opacity=0.35, filter='url(#blur1)')
    s += circle(cx, cy, r, fill='url(#screw)')
    s += circle(cx, cy, r, fill='none', stroke='#2d3036', stroke_width=r * 0.12)
    a = math.radians(angle)
    dx, dy = math.cos(a) * r * 0.62, math.sin(a) * r * 0.62
    s += path(f'M{n(cx - dx)} {n(cy - dy)}L{n(cx + dx)} {n(cy + dy)}', stroke='#2a2c31', stroke_width=r * 0.28,
              stroke_linecap='round')
    s += path(f'M{n(cx + dy)} {n(cy - dx)}L{n(cx - dy)} {n(cy + dx)}', stroke='#2a2c31', stroke_width=r * 0.28,
              stroke_linecap='round')
    return s


def _ticks(cx, cy, r0, r1, count, colour, width, long_every=None, long_r=None):
    d = ''
    for i in range(count):
        a = -150 + 300 * i / (count - 1)
        ro = long_r if (long_every and i % long_every == 0) else r1
        x0, y0 = polar(cx, cy, r0, a)
        x1, y1 = polar(cx, cy, ro, a)
        d += f'M{n(x0)} {n(y0)}L{n(x1)} {n(y1)}'
    return path(d, stroke=colour, stroke_width=width, stroke_linecap='round', fill='none')


def _jack(cx, cy, r):
    s = circle(cx, cy + 1.2, r + 1.5, fill='#000000', opacity=0.45, filter='url(#blur1)')
    s += circle(cx, cy, r, fill='url(#nut)')
    # Knurled edge of the nut.
    for i in range(24):
        a = i * 15
        s += path(annular_sector(cx, cy, r * 0.82, r, a, a + 7), fill='#000000', opacity=0.18)
    s += circle(cx, cy, r * 0.62, fill='#0b0c0e')
    s += circle(cx, cy, r * 0.42, fill='#1d1f23', stroke='#3b3e44', stroke_width=0.5)
    s += circle(cx, cy, r * 0.18, fill='#050506')
    return s


def pedal():
    W, H = PEDAL_W, PEDAL_H
    lay = layout.pedal(W, H)
    defs = ''
    body = ''

    # --- Enclosure: dark anodised metal with a faint nebula glow.
    defs += linear('encl', 0, 0, 0, 1, [(0, '#262a33'), (0.5, '#1b1e25'), (1, '#121419')])
    defs += radial('nebA', 0.5, 0.5, 0.5, [(0, '#5b3d8f', 0.55), (0.5, '#3a2a66', 0.22), (1, '#1b1e25', 0)])
    defs += radial('nebB', 0.5, 0.5, 0.5, [(0, '#2a6a9a', 0.35), (0.6, '#1f3f66', 0.12), (1, '#1b1e25', 0)])
    defs += radial('nebC', 0.5, 0.5, 0.5, [(0, '#8a2a4a', 0.12), (1, '#1b1e25', 0)])
    defs += linear('edgeHi', 0, 0, 0, 1, [(0, '#ffffff', 0.22), (0.08, '#ffffff', 0.04), (1, '#000000', 0.4)])
    # Faint low-frequency mottling of the paint: keeps the large dark areas
    # from banding without adding fine noise.
    defs += (f'<filter id="mottle" filterUnits="userSpaceOnUse" x="0" y="0" width="{n(W)}" height="{n(H)}">'
             f'<feTurbulence type="fractalNoise" baseFrequency="0.018" numOctaves="3" seed="11" result="t"/>'
             f'<feColorMatrix in="t" type="matrix" values="0 0 0 0 0.62  0 0 0 0 0.66  0 0 0 0 1  0 0 0.22 0 -0.09" result="g"/>'
             f'<feComposite in="g" in2="SourceGraphic" operator="in" result="m"/>'
             f'<feComposite in="m" in2="SourceGraphic" operator="over"/></filter>')
    defs += _blur('blur1', 1.0) + _blur('blur2', 2.2) + _blur('blur6', 6) + _blur('blur20', 20)
    defs += _shadow('plateShadow', 2.2, 1.6, 0.7)
    defs += radial('screw', 0.5, 0.5, 0.5, [(0, '#e9ebee'), (0.7, '#a3a8b0'), (1, '#5d626a')], fx=0.35, fy=0.3)
    defs += linear('nut', 0.2, 0, 0.8, 1, [(0, '#f2f4f6'), (0.5, '#9ca1a9'), (1, '#4a4e55')])

    body += rect(0, 0, W, H, fill='#08090b')
    enclosure = rounded_rect_path(1.5, 1.5, W - 3, H - 3, 26)
    body += path(enclosure, fill='url(#encl)', filter='url(#mottle)')
    mx, my = _centre(lay['modelKnob'])
    body += circle(mx, my, 250, fill='url(#nebA)')
    body += circle(620, 150, 260, fill='url(#nebB)')
    body += circle(470, 300, 170, fill='url(#nebC)')
    # Scattered specks, like a starfield in the paint.
    import random
    rnd = random.Random(5)
    stars = ''
    for _ in range(140):
        x, y = rnd.uniform(12, W - 12), rnd.uniform(10, 265)
        r = rnd.choice([0.35, 0.4, 0.5, 0.6, 0.8])
        stars += circle(x, y, r, fill='#ffffff', opacity=rnd.uniform(0.12, 0.45))
    body += group(stars)
    body += path(enclosure, fill='none', stroke='url(#edgeHi)', stroke_width=3)
    body += path(rounded_rect_path(0.5, 0.5, W - 1, H - 1, 27), fill='none', stroke='#000000', stroke_width=1)

    # --- The light plate: a U around the lower half with arms for the jacks.
    plate = ('M28 270H136Q150 270 150 284V316Q150 330 164 330H636Q650 330 650 316V284Q650 270 664 270H772'
             'Q786 270 786 284V642Q786 656 772 656H28Q14 656 14 642V284Q14 270 28 270Z')
    defs += linear('plate', 0, 0, 0, 1, [(0, '#e4e7ea'), (0.5, '#cfd3d8'), (1, '#b7bcc2')])
    defs += _brushed('brush', 14, 270, 772, 386, 0.002, 0.9, 0.3, 4)
    body += group(path(plate, fill='url(#plate)', filter='url(#brush)'), filter='url(#plateShadow)')
    body += path(plate, fill='none', stroke='#ffffff', stroke_opacity=0.7, stroke_width=0.8)
    body += path(plate.replace('M28 270', 'M28 270'), fill='none', stroke='#5d626b', stroke_width=0.6,
                 transform='translate(0 0.6)', opacity=0.5)
    # Engraved inner frame line on the plate.
    inner = ('M31 276H131Q143 276 143 288V320Q143 337 160 337H640Q657 337 657 320V288Q657 276 669 276H769'
             'Q779 276 779 288V637Q779 648 768 648H32Q21 648 21 637V288Q21 276 31 276Z')
    body += path(inner, fill='none', stroke='#7c828b', stroke_width=0.7, opacity=0.55)
    body += path(inner, fill='none', stroke='#ffffff', stroke_width=0.5, opacity=0.6, transform='translate(0.5 0.7)')
    for x, y, a in ((30, 640, 20), (770, 640, 65), (30, 290, 110), (770, 290, 40), (162, 345, 80), (638, 345, 15)):
        body += _screw(x, y, 4.6, a)

    # --- Jacks at the outer edges, level with their labels.
    for r_y in ((0.438 + 0.468) / 2 + 0.012, (0.608 + 0.638) / 2 + 0.012):
        y = r_y * H
        body += _jack(36, y, 11.5)
        body += _jack(W - 36, y, 11.5)
    # Arrows printed beside the jacks: signal goes in on the right, out on the left.
    for r_y in ((0.438 + 0.468) / 2 + 0.012, (0.608 + 0.638) / 2 + 0.012):
        y = r_y * H
        body += path(f'M{n(W - 52)} {n(y)}l-5 -3.2v6.4z', fill=C.ink, opacity=0.85)
        body += path(f'M{n(52)} {n(y)}l-5 -3.2v6.4z', fill=C.ink, opacity=0.85)

    # --- Model ring: a recessed dial carrying the eleven LEDs.
    defs += radial('dial', 0.5, 0.5, 0.5, [(0, '#0d0e12'), (0.8, '#131519'), (1, '#22252c')])
    defs += linear('dialRim', 0, 0, 0, 1, [(0, '#000000', 0.8), (1, '#ffffff', 0.35)])
    body += circle(mx, my, 88, fill='url(#dial)')
    body += circle(mx, my, 88, fill='none', stroke='url(#dialRim)', stroke_width=1.6)
    body += circle(mx, my, 93, fill='none', stroke=C.light, stroke_opacity=0.18, stroke_width=0.6)
    for led in layout.pedal_model_leds(W, H):
        lx, ly = _centre(led)
        body += circle(lx, ly, 13.6, fill='#000000', opacity=0.75, filter='url(#blur1)')
    body += circle(mx, my, 47, fill='#000000', opacity=0.55, filter='url(#blur2)')
    f = Font.get(COND_BOLD)

    # --- Knob wells and scales.
    for g in layout.pedal_groups(W, H):
        x, y, w, h = g
        kx, ky = x + w / 2, y + w / 2
        body += circle(kx, ky, w * 0.38, fill='#000000', opacity=0.55, filter='url(#blur2)')
        body += circle(kx, ky, w * 0.385, fill='none', stroke='#ffffff', stroke_opacity=0.08, stroke_width=0.6)
        body += _ticks(kx, ky, w * 0.41, w * 0.445, 11, C.light, 0.9, long_every=5, long_r=w * 0.47)

    # --- Silkscreen of the top row.
    body += path(f.path('STEREO DELAY', 8.5, W - 22, 0.086 * H + 0.013 * H, anchor='end', tracking=0.28,
                        baseline='middle'), fill=C.light, opacity=0.55)
    body += path(f.path('ELEVEN MODELS', 8.5, 58, 0.086 * H + 0.013 * H, tracking=0.28, baseline='middle'),
                 fill=C.light, opacity=0.4)

    # --- Lower plate: foot switch seats, LED seats, printing.
    for key in ('bypassSwitch', 'tapTempoSwitch'):
        cx, cy = _centre(lay[key])
        r = lay[key][2] / 2
        body += circle(cx, cy + 1.5, r * 0.92, fill='#000000', opacity=0.32, filter='url(#blur6)')
        body += circle(cx, cy, r * 0.97, fill='none', stroke=C.ink, stroke_width=0.9, opacity=0.55)
        body += circle(cx, cy, r * 1.02, fill='none', stroke=C.ink, stroke_width=0.5, opacity=0.3)
    for key in ('statusLed', 'tapTempoLed', 'presetSwitch'):
        cx, cy = _centre(lay[key])
        r = lay[key][2] / 2
        body += circle(cx, cy + 0.8, r * 0.72, fill='#000000', opacity=0.35, filter='url(#blur2)')
    # Connecting rule between the switches, broken by the centre block.
    row_y = _centre(lay['bypassSwitch'])[1]
    body += rect(222, row_y + 34, 356, 0.7, fill=C.ink, opacity=0.35)
    # Mode row seat: a slim recessed strip under the four LEDs.
    m = layout.pedal_mode_row(W, H)
    hx, hy, hw, hh = m['headSwitch']
    body += path(rounded_rect_path(hx - 4, hy - 3, hw + 8, hh + 6, (hh + 6) / 2), fill='#000000', opacity=0.1)
    body += path(rounded_rect_path(hx - 4, hy - 3, hw + 8, hh + 6, (hh + 6) / 2), fill='none', stroke=C.ink,
                 stroke_width=0.6, opacity=0.45)
    return svg_doc(W, H, body, defs, px_width=3840, px_height=3208)


def rack():
    W, H = RACK_W, RACK_H
    lay = layout.rack(W, H)
    defs = ''
    body = ''
    defs += linear('face', 0, 0, 0, 1, [(0, '#2b2f37'), (0.5, '#1d2026'), (1, '#15171b')])
    defs += linear('ear', 0, 0, 1, 0, [(0, '#3a3e46'), (1, '#23262c')])
    defs += linear('strip', 0, 0, 0, 1, [(0, '#e3e6e9'), (0.5, '#cdd1d6'), (1, '#b5bac0')])
    defs += linear('display', 0, 0, 0, 1, [(0, '#0b0c0f'), (1, '#15171c')])
    defs += radial('glowA', 0.5, 0.5, 0.5, [(0, '#4e3a80', 0.35), (1, '#15171c', 0)])
    defs += radial('glowB', 0.5, 0.5, 0.5, [(0, '#24557f', 0.28), (1, '#15171c', 0)])
    defs += radial('screw', 0.5, 0.5, 0.5, [(0, '#e9ebee'), (0.7, '#a3a8b0'), (1, '#5d626a')], fx=0.35, fy=0.3)
    defs += _brushed('brushFace', 0, 0, W, H, 0.002, 0.9, 0.2, 9)
    defs += _brushed('brushStrip', 0, 0, W, H, 0.002, 0.9, 0.3, 12)
    defs += _blur('blur1', 0.8) + _blur('blur2', 1.8)
    defs += _shadow('stripShadow', 1.4, 1.0, 0.6)
    defs += ('<filter id="inset" x="-5%" y="-20%" width="110%" height="140%">'
             '<feGaussianBlur in="SourceAlpha" stdDeviation="2.2"/><feOffset dy="1.6" result="o"/>'
             '<feComposite in="SourceAlpha" in2="o" operator="out" result="i"/>'
             '<feFlood flood-color="#000000" flood-opacity="0.85"/><feComposite in2="i" operator="in" result="s"/>'
             '<feMerge><feMergeNode in="SourceGraphic"/><feMergeNode in="s"/></feMerge></filter>')

    body += rect(0, 0, W, H, fill='url(#face)', filter='url(#brushFace)')
    body += rect(0, 0, W, 1.2, fill='#ffffff', opacity=0.22)
    body += rect(0, H - 1.4, W, 1.4, fill='#000000', opacity=0.6)
    # Rack ears with their mounting slots.
    for x in (0, W - 12):
        body += rect(x, 0, 12, H, fill='url(#ear)')
        body += rect(x + (11.4 if x == 0 else 0), 0, 0.6, H, fill='#000000', opacity=0.6)
        for cy in (H / 2 - 26, H / 2 + 26):
            body += rect(x + 3.2, cy - 6.5, 5.6, 13, rx=2.8, fill='#050506')
            body += rect(x + 3.2, cy - 6.5, 5.6, 13, rx=2.8, fill='none', stroke='#ffffff', stroke_opacity=0.2,
                         stroke_width=0.4, transform='translate(0 0.5)')
    # Knob display: a recessed window across the row of knobs.
    dx, dy, dw, dh = 112, 7, 676, 108
    body += circle(330, 40, 170, fill='url(#glowA)')
    body += circle(640, 70, 160, fill='url(#glowB)')
    body += path(rounded_rect_path(dx, dy, dw, dh, 9), fill='url(#display)', opacity=0.72, filter='url(#inset)')
    body += path(rounded_rect_path(dx, dy, dw, dh, 9), fill='none', stroke='#ffffff', stroke_opacity=0.12,
                 stroke_width=0.6, transform='translate(0 0.6)')
    # Left block: bypass key seat and its caption.
    bx, by = _centre(lay['bypassSwitch'])
    bw = lay['bypassSwitch'][2]
    body += rect(bx - bw * 0.44, by - bw * 0.44 + 1.2, bw * 0.88, bw * 0.88, rx=9, fill='#000000', opacity=0.5,
                 filter='url(#blur2)')
    f = Font.get(COND_BOLD)
    body += path(f.path('BYPASS', 6.2, bx, by + bw / 2 + 10, anchor='middle', tracking=0.3, baseline='middle'),
                 fill=C.light, opacity=0.75)
    body += rect(108, 12, 0.7, H - 24, fill='#000000', opacity=0.6)
    body += rect(108.7, 12, 0.5, H - 24, fill='#ffffff', opacity=0.1)
    # Light strip along the bottom with engraved dividers.
    sx, sy, sw, sh = 108, 117.5, 680, 56
    body += group(path(rounded_rect_path(sx, sy, sw, sh, 5), fill='url(#strip)', filter='url(#brushStrip)'),
                  filter='url(#stripShadow)')
    body += path(rounded_rect_path(sx, sy, sw, sh, 5), fill='none', stroke='#ffffff', stroke_opacity=0.7,
                 stroke_width=0.6)
    for x in (270, 438, 564, 700):
        body += rect(x, sy + 8, 0.6, sh - 16, fill='#5d626b', opacity=0.7)
        body += rect(x + 0.6, sy + 8, 0.5, sh - 16, fill='#ffffff', opacity=0.8)
    return svg_doc(W, H, body, defs, px_width=3840, px_height=858)

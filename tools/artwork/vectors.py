"""The vector artwork: every SVG resource, as plain shapes and gradients that
the plug-in's SVG parser draws (no filters, masks or text elements)."""

import math

from palette import C
from svgkit import (Font, annular_sector, circle, linear, n, path, polar, rect,
                    rounded_rect_path, svg_doc)

COND_BOLD = 'RobotoCondensed-Bold.ttf'
SPARTAN = 'LeagueSpartan-SemiBold.otf'

# ---------------------------------------------------------------------------
# Logo


def logo():
    W, H = 123.4, 36.6
    f = Font.get(SPARTAN)
    track = 0.12
    word = 'NEBULON'
    size = 112.0 / f.width(word, 1.0, track)
    width = f.width(word, size, track)
    x0 = (W - width) / 2
    base = 23.0
    body = path(f.path(word, size, x0, base, tracking=track), fill=C.ink)
    # An orbit around the O, with its planet in the accent red.
    o_index = word.index('O')
    ox = x0 + f.width(word[:o_index + 1], size, track) - f.width('O', size) / 2
    oy = base - f.cap_height * size / f.upm / 2
    rx, ry, tilt = 10.5, 3.3, -18
    orbit = f'<ellipse cx="{n(ox)}" cy="{n(oy)}" rx="{n(rx)}" ry="{n(ry)}" transform="rotate({tilt} {n(ox)} {n(oy)})" ' \
            f'fill="none" stroke="{C.red}" stroke-width="0.9"/>'
    a = math.radians(25)
    px, py = _rotate(ox + rx * math.cos(a), oy + ry * math.sin(a), ox, oy, tilt)
    planet = circle(px, py, 2.4, fill=C.red) + circle(px, py, 2.4, fill='none', stroke=C.paper, stroke_width=0.6)
    # Tag line under a hairline rule.
    t = Font.get(COND_BOLD)
    tag = 'STEREO  DELAY  SYSTEM'
    tsize = 5.2
    tag_path = path(t.path(tag, tsize, W / 2, 32.6, anchor='middle', tracking=0.32), fill=C.ink)
    tw = t.width(tag, tsize, 0.32)
    rules = (rect(x0, 29.6 - 0.35, (W - tw) / 2 - x0 - 2.5, 0.7, fill=C.ink) +
             rect((W + tw) / 2 + 2.5, 29.6 - 0.35, x0 + width - (W + tw) / 2 - 2.5, 0.7, fill=C.ink))
    return svg_doc(W, H, body + orbit + planet + tag_path + rules)


def _mix(a, b, t):
    pa = [int(a[i:i + 2], 16) for i in (1, 3, 5)]
    pb = [int(b[i:i + 2], 16) for i in (1, 3, 5)]
    return '#' + ''.join(f'{round(x + (y - x) * t):02x}' for x, y in zip(pa, pb))


def _rotate(x, y, cx, cy, deg):
    a = math.radians(deg)
    dx, dy = x - cx, y - cy
    return cx + dx * math.cos(a) - dy * math.sin(a), cy + dx * math.sin(a) + dy * math.cos(a)


# ---------------------------------------------------------------------------
# Value ring of the Rack knobs: 20 segments over the knob's 300 degree sweep.

RING_W, RING_H = 46.57349, 49.96114
RING_C = RING_W / 2


def value_ring(lit):
    r0, r1 = 20.0, 22.6
    step = 300.0 / 20
    gap = 2.6
    parts = []
    for i in range(20):
        a0 = -150 + i * step + gap / 2
        a1 = a0 + step - gap
        colour = C.ring_lit if i < lit else C.ring_off
        parts.append(path(annular_sector(RING_C, RING_C, r0, r1, a0, a1), fill=colour))
    # End marks below the sweep: a dot for the bottom and a plus for the top.
    lx, ly = polar(RING_C, RING_C, 23.0, -150)
    rx, ry = polar(RING_C, RING_C, 23.0, 150)
    parts.append(circle(lx - 1.2, ly + 4.6, 0.9, fill=C.ring_mark))
    parts.append(rect(rx + 1.2 - 1.6, ry + 4.6 - 0.35, 3.2, 0.7, fill=C.ring_mark))
    parts.append(rect(rx + 1.2 - 0.35, ry + 4.6 - 1.6, 0.7, 3.2, fill=C.ring_mark))
    return svg_doc(RING_W, RING_H, ''.join(parts))


# ---------------------------------------------------------------------------
# Small square buttons (6.34 x 6.49): Nimbus modes, settings, close.

SMALL_W, SMALL_H = 6.34, 6.49


def _button_plate(state, gid):
    """Rounded key cap; state is 'normal', 'hover' or 'pressed'."""
    top, bottom, edge = {
        'normal': ('#34373e', '#16181c', '#555a63'),
        'hover': ('#3b3f47', '#1b1d22', C.red_hi),
        'pressed': (C.red_hi, C.red_dk, C.red_dk),
    }[state]
    defs = linear(gid, 0, 0, 0, 1, [(0, top), (1, bottom)])
    body = path(rounded_rect_path(0.25, 0.3, SMALL_W - 0.5, SMALL_H - 0.6, 1.1), fill=f'url(#{gid})',
                stroke=edge, stroke_width=0.22)
    # Top highlight line.
    body += rect(0.9, 0.55, SMALL_W - 1.8, 0.16, rx=0.08, fill='#ffffff', opacity=0.18 if state != 'pressed' else 0.3)
    return defs, body


def nimbus_button(mode, state):
    """Mode buttons show one to four dots, the number of the mode."""
    defs, body = _button_plate(state, 'g')
    pip = {'normal': C.light, 'hover': C.red_hi, 'pressed': '#ffffff'}[state]
    cx, cy = SMALL_W / 2, SMALL_H / 2
    d = 1.45
    spots = {0: [(0, 0)], 1: [(-d / 2, 0), (d / 2, 0)], 2: [(-d, 0), (0, 0), (d, 0)],
             3: [(-d / 2, -d / 2), (d / 2, -d / 2), (-d / 2, d / 2), (d / 2, d / 2)]}[mode]
    for x, y in spots:
        body += circle(cx + x, cy + y, 0.5, fill=pip)
    return svg_doc(SMALL_W, SMALL_H, body, defs)


def gear_path(cx, cy, r_out, r_in, teeth, hole):
    pts = []
    for i in range(teeth * 4):
        a = i * 360 / (teeth * 4)
        r = r_out if (i % 4) in (1, 2) else r_in
        pts.append(polar(cx, cy, r, a - 360 / (teeth * 8)))
    d = 'M' + 'L'.join(f'{n(x)} {n(y)}' for x, y in pts) + 'Z'
    # The hole as a reversed circle, so it stays open with either fill rule.
    d += (f'M{n(cx)} {n(cy - hole)}A{n(hole)} {n(hole)} 0 0 0 {n(cx)} {n(cy + hole)}'
          f'A{n(hole)} {n(hole)} 0 0 0 {n(cx)} {n(cy - hole)}Z')
    return d


def settings_icon(colour):
    cx, cy = SMALL_W / 2, SMALL_H / 2
    return svg_doc(SMALL_W, SMALL_H, path(gear_path(cx, cy, 2.75, 2.05, 8, 0.95), fill=colour, fill_rule='evenodd'))


def close_icon(state):
    ring, cross = {'normal': (C.light, C.light), 'hover': (C.red_hi, C.red_hi), 'pressed': (C.red_dk, C.red_dk)}[state]
    cx, cy = SMALL_W / 2, SMALL_H / 2
    body = circle(cx, cy, 2.75, fill='#000000', fill_opacity=0.35, stroke=ring, stroke_width=0.38)
    k = 1.05
    body += path(f'M{n(cx - k)} {n(cy - k)}L{n(cx + k)} {n(cy + k)}M{n(cx + k)} {n(cy - k)}L{n(cx - k)} {n(cy + k)}',
                 stroke=cross, stroke_width=0.45, stroke_linecap='round', fill='none')
    return svg_doc(SMALL_W, SMALL_H, body)


# ---------------------------------------------------------------------------
# Pills: decorations of the Pedal view's top row.

def pill_trails_caption():
    """Pill 1 (498.9 x 71.9): the caption of the trails switch beside it."""
    W, H = 498.9, 71.9
    defs = linear('p', 0, 0, 0, 1, [(0, '#0b0c0f'), (1, '#1c1e24')])
    body = path(rounded_rect_path(1.5, 1.5, W - 3, H - 3, (H - 3) / 2), fill='url(#p)', stroke='#474b53', stroke_width=3)
    f = Font.get(COND_BOLD)
    body += path(f.path('SPILLOVER TRAILS', 34, 44, H / 2, tracking=0.16, baseline='middle'), fill=C.light)
    # Arrow towards the switch.
    ax = W - 56
    body += path(f'M{n(ax)} {n(H / 2 - 13)}L{n(ax + 20)} {n(H / 2)}L{n(ax)} {n(H / 2 + 13)}Z', fill=C.red_hi)
    body += rect(ax - 52, H / 2 - 2, 48, 4, fill=C.light, opacity=0.55)
    return svg_doc(W, H, body, defs)


def pill_badge():
    """Pill 2 (170.1 x 65.2): a stereo badge."""
    W, H = 170.1, 65.2
    defs = linear('p', 0, 0, 0, 1, [(0, C.red_hi), (1, C.red_dk)])
    body = path(rounded_rect_path(1.5, 1.5, W - 3, H - 3, (H - 3) / 2), fill='url(#p)', stroke='#e8585c', stroke_width=2.5)
    f = Font.get(COND_BOLD)
    body += path(f.path('STEREO', 31, W / 2, H / 2, anchor='middle', tracking=0.14, baseline='middle'), fill='#ffffff')
    return svg_doc(W, H, body, defs)


def pill_window():
    """Pill 3 (21.04 x 11.4): a small oval window with two linked rings."""
    W, H = 21.04, 11.4
    defs = linear('p', 0, 0, 0, 1, [(0, '#07080a'), (1, '#23262c')])
    body = path(rounded_rect_path(0.4, 0.4, W - 0.8, H - 0.8, (H - 0.8) / 2), fill='url(#p)', stroke='#5a5f68',
                stroke_width=0.6)
    body += circle(W / 2 - 1.9, H / 2, 2.6, fill='none', stroke=C.light, stroke_width=0.7)
    body += circle(W / 2 + 1.9, H / 2, 2.6, fill='none', stroke=C.red_hi, stroke_width=0.7)
    return svg_doc(W, H, body, defs)


# ---------------------------------------------------------------------------
# Toggle switches.

def _toggle(W, H, on, state, labels=None, track_r=None, pad=None):
    """A pill track with a thumb at the left (off) or right (on) end, or the
    middle when on is None."""
    pad = pad if pad is not None else H * 0.1
    tr = track_r if track_r is not None else (H - 2 * pad) / 2
    tx, ty, tw, th = pad, pad, W - 2 * pad, H - 2 * pad
    defs = linear('t', 0, 0, 0, 1, [(0, '#050607'), (1, '#202328')])
    defs += linear('tl', 0, 0, 0, 1, [(0, C.red_dk), (1, C.red_hi)])
    thumb_top, thumb_bottom = {'normal': ('#f2f3f5', '#9ea3ab'), 'hover': ('#ffffff', '#b9bec6'),
                               'pressed': ('#c9cdd3', '#7d828a')}[state]
    defs += linear('k', 0, 0, 0, 1, [(0, thumb_top), (1, thumb_bottom)])
    body = path(rounded_rect_path(tx, ty, tw, th, tr), fill='url(#t)', stroke='#5c616a', stroke_width=H * 0.03)
    tw_thumb = tw * 0.5
    if on is True:
        kx = tx + tw - tw_thumb
        body += path(rounded_rect_path(tx + H * 0.05, ty + H * 0.05, tw - tw_thumb, th - H * 0.1, tr - H * 0.05),
                     fill='url(#tl)')
    elif on is None:
        kx = tx + (tw - tw_thumb) / 2
    else:
        kx = tx
    if labels and on is not None:
        # The visible word sits on the side the thumb has left.
        f = Font.get(COND_BOLD)
        size = th * 0.46
        word, cx, colour = (labels[1], tx + tw * 0.25, '#ffffff') if on else (labels[0], tx + tw * 0.75, C.light)
        body += path(f.path(word, size, cx, H / 2, anchor='middle', tracking=0.1, baseline='middle'), fill=colour)
    inset = H * 0.04
    body += path(rounded_rect_path(kx + inset, ty + inset, tw_thumb - 2 * inset, th - 2 * inset, tr - inset),
                 fill='url(#k)', stroke='#2a2d33', stroke_width=H * 0.02)
    # Grip lines on the thumb.
    gx = kx + tw_thumb / 2
    for dx in (-1, 0, 1):
        body += rect(gx + dx * th * 0.14 - th * 0.025, ty + th * 0.28, th * 0.05, th * 0.44, fill='#4a4e56', opacity=0.7)
    return svg_doc(W, H, body, defs)


def trails_switch(on, state):
    return _toggle(382.7, 70, on, state, labels=('OFF', 'ON'))


def slide_switch(position, state):
    """Two-position slide switch (121 x 77); position 0, 1 (middle) or 2."""
    on = {0: False, 1: None, 2: True}[position]
    return _toggle(121, 77, on, state, pad=77 * 0.2)


# ---------------------------------------------------------------------------
# Two small chevron icon sets (14.17 x 10.23), kept for completeness.

def chevron(direction, colour):
    W, H = 14.17, 10.23
    cx, cy = W / 2, H / 2
    s = -1 if direction == 'left' else 1
    d = f'M{n(cx - 1.6 * s)} {n(cy - 3.4)}L{n(cx + 1.8 * s)} {n(cy)}L{n(cx - 1.6 * s)} {n(cy + 3.4)}'
    return svg_doc(W, H, path(d, fill='none', stroke=colour, stroke_width=1.3, stroke_linecap='round',
                              stroke_linejoin='round'))


# ---------------------------------------------------------------------------
# Note values of the subdivision menu (141.73 x 141.73).

NOTE = 141.73


def note_symbol(kind, dotted, triplet, colour, hole):
    """Paths of one note value drawn in `colour`, centred in the tile."""
    cx = NOTE / 2 - (6 if dotted else 0)
    head_x, head_y = cx - 4, 92.0
    parts = []
    hollow = kind in ('whole', 'half')
    rx, ry = (15.5, 10.5) if kind == 'whole' else (13.0, 9.2)
    rot = -8 if kind == 'whole' else -22
    if hollow:
        parts.append(f'<ellipse cx="{n(head_x)}" cy="{n(head_y)}" rx="{n(rx)}" ry="{n(ry)}" '
                     f'transform="rotate({rot} {n(head_x)} {n(head_y)})" fill="{colour}"/>')
        inner = (rx * 0.55, ry * 0.62) if kind == 'half' else (rx * 0.48, ry * 0.7)
        irot = rot + (-25 if kind == 'half' else 45)
        parts.append(f'<ellipse cx="{n(head_x)}" cy="{n(head_y)}" rx="{n(inner[0])}" ry="{n(inner[1])}" '
                     f'transform="rotate({irot} {n(head_x)} {n(head_y)})" fill="{hole}"/>')
    else:
        parts.append(f'<ellipse cx="{n(head_x)}" cy="{n(head_y)}" rx="{n(rx)}" ry="{n(ry)}" '
                     f'transform="rotate({rot} {n(head_x)} {n(head_y)})" fill="{colour}"/>')
    if kind != 'whole':
        sx = head_x + rx * math.cos(math.radians(rot)) - 1.6
        top = 34.0
        parts.append(rect(sx - 1.9, top, 3.8, head_y - top - 2, fill=colour))
        flags = {'eighth': 1, 'sixteenth': 2}.get(kind, 0)
        for i in range(flags):
            y = top + i * 12
            parts.append(path(f'M{n(sx + 1.9)} {n(y)}C{n(sx + 4)} {n(y + 12)} {n(sx + 22)} {n(y + 14)} {n(sx + 16)} {n(y + 36)}'
                              f'C{n(sx + 19)} {n(y + 19)} {n(sx + 8)} {n(y + 17)} {n(sx + 1.9)} {n(y + 12)}Z', fill=colour))
    if dotted:
        dx = head_x + rx + 10 + (8 if kind in ('eighth', 'sixteenth') else 0)
        parts.append(circle(dx, head_y - 2, 4.6, fill=colour))
    if triplet:
        f = Font.get(COND_BOLD)
        parts.append(path(f.path('3', 30, 36.0, 44, anchor='middle', baseline='middle'), fill=colour))
    return ''.join(parts)


NOTE_KINDS = {
    0: ('quarter', False, False), 1: ('eighth', False, False), 2: ('sixteenth', False, False),
    3: ('half', False, False), 4: ('whole', False, False), 5: ('quarter', True, False),
    6: ('eighth', True, False), 7: ('sixteenth', True, False), 8: ('half', True, False),
    9: ('whole', True, False), 10: ('quarter', False, True), 11: ('eighth', False, True),
    12: ('sixteenth', False, True), 13: ('half', False, True), 14: ('whole', False, True),
}


def note_button(code, look):
    """look: 'plain', 'plainHover', 'selected' or 'pressed'."""
    kind, dotted, triplet = NOTE_KINDS[code]
    fill_top, fill_bottom, edge, symbol = {
        'plain': ('#24272d', '#141519', '#575c65', C.light),
        'plainHover': ('#2c2f36', '#181a1e', C.red_hi, '#ffffff'),
        'selected': (C.red_hi, C.red_dk, '#f06468', '#ffffff'),
        'pressed': (C.red_dk, '#5e0d10', C.red_hi, '#f1d3d4'),
    }[look]
    defs = linear('b', 0, 0, 0, 1, [(0, fill_top), (1, fill_bottom)])
    body = path(rounded_rect_path(5, 5, NOTE - 10, NOTE - 10, 16), fill='url(#b)', stroke=edge, stroke_width=3)
    body += rect(20, 9.5, NOTE - 40, 2, rx=1, fill='#ffffff', opacity=0.12)
    # The hollow note heads show the tile through them.
    hole = _mix(fill_top, fill_bottom, 0.62)
    body += note_symbol(kind, dotted, triplet, symbol, hole)
    return svg_doc(NOTE, NOTE, body, defs)

"""The bitmap artwork: SVG sources (with filters for shadows and glows) that
are rendered to PNG, plus procedural textures made with numpy."""

import math

import numpy as np

from palette import C
from svgkit import (annular_sector, circle, group, linear, n, path, polar, radial, rect,
                    svg_doc, write_png)

# ---------------------------------------------------------------------------
# Textures


def spun_metal(size, dark, light, seed, rings=1.0):
    """A disc of spun (concentrically brushed) metal with the two opposite
    highlight lobes that such a surface shows under one light."""
    rng = np.random.default_rng(seed)
    c = (size - 1) / 2
    y, x = np.mgrid[0:size, 0:size].astype(np.float64)
    r = np.hypot(x - c, y - c)
    th = np.arctan2(y - c, x - c)
    # Fine concentric grooves: noise along the radius only.
    radial_noise = rng.normal(0, 1, size * 4)
    kernel = np.exp(-np.linspace(-2, 2, 9) ** 2)
    radial_noise = np.convolve(radial_noise, kernel / kernel.sum(), mode='same')
    grooves = np.interp(r * 4, np.arange(size * 4), radial_noise) * 0.05 * rings
    lobes = 0.5 + 0.5 * np.cos(2 * (th + math.radians(35)))
    lobes = lobes ** 3
    shade = 0.32 + 0.5 * lobes + grooves + 0.12 * (1 - r / (c + 1))
    shade = np.clip(shade, 0, 1)[..., None]
    col = np.array(dark, float) + (np.array(light, float) - np.array(dark, float)) * shade
    alpha = np.clip(c + 0.5 - r, 0, 1) * 255
    out = np.dstack([np.clip(col, 0, 255), alpha]).astype(np.uint8)
    return out


def save_texture(build, name, array):
    p = build / name
    write_png(p, array)
    return name


# ---------------------------------------------------------------------------
# Filters used by several bitmaps.

def blur_filter(id_, std):
    return (f'<filter id="{id_}" x="-50%" y="-50%" width="200%" height="200%">'
            f'<feGaussianBlur stdDeviation="{n(std)}"/></filter>')


# ---------------------------------------------------------------------------
# Knobs. The body stays still; the overlay (pointer) turns over it. The body
# leaves room around it for the Rack view's value ring (85 % of the image).

def knob_body(size, texture, skirt_r, cap_r, cap_dark=False):
    cx = size / 2
    s = size / 725
    defs = blur_filter('sh', 16 * s) + blur_filter('soft', 3 * s)
    defs += radial('skirt', 0.5, 0.42, 0.62, [(0, '#3a3d44'), (0.7, '#1b1d21'), (1, '#0b0c0e')])
    defs += linear('rim', 0, 0, 0, 1, [(0, '#8d929b'), (0.5, '#2c2f35'), (1, '#070809')])
    defs += linear('chamfer', 0.2, 0, 0.8, 1, [(0, '#f4f6f8'), (0.45, '#9aa0a8'), (1, '#3e4249')])
    if cap_dark:
        defs = defs.replace('#f4f6f8', '#9ca1aa').replace('#9aa0a8', '#4a4e56').replace('#3e4249', '#16181b')
    body = circle(cx, cx + 16 * s, skirt_r + 4 * s, fill='#000000', opacity=0.7, filter='url(#sh)')
    body += circle(cx, cx, skirt_r, fill='url(#skirt)')
    # Knurled skirt: alternating light and dark teeth.
    teeth = 60
    for i in range(teeth):
        a0 = i * 360 / teeth
        body += path(annular_sector(cx, cx, cap_r + 8 * s, skirt_r - 3 * s, a0, a0 + 360 / teeth / 2),
                     fill='#ffffff', opacity=0.07 + 0.05 * math.cos(math.radians(a0 - 330)))
    body += circle(cx, cx, skirt_r - 1.5 * s, fill='none', stroke='url(#rim)', stroke_width=3 * s)
    body += circle(cx, cx, cap_r + 10 * s, fill='#000000', opacity=0.55, filter='url(#soft)')
    body += circle(cx, cx, cap_r + 7 * s, fill='url(#chamfer)')
    body += f'<image x="{n(cx - cap_r)}" y="{n(cx - cap_r)}" width="{n(2 * cap_r)}" height="{n(2 * cap_r)}" href="{texture}"/>'
    body += circle(cx, cx, cap_r, fill='none', stroke='#000000', stroke_opacity=0.35, stroke_width=1.5 * s)
    return svg_doc(size, size, body, defs)


def knob_pointer(size, r_in, r_out, width, colour, dot_r, dot_colour):
    cx = size / 2
    s = size / 725
    defs = blur_filter('ps', 2.5 * s)
    body = path(f'M{n(cx)} {n(cx - r_in)}V{n(cx - r_out)}', stroke='#000000', stroke_opacity=0.45,
                stroke_width=width + 5 * s, stroke_linecap='round', filter='url(#ps)')
    body += path(f'M{n(cx)} {n(cx - r_in)}V{n(cx - r_out)}', stroke=colour, stroke_width=width, stroke_linecap='round')
    body += path(f'M{n(cx - width * 0.18)} {n(cx - r_in)}V{n(cx - r_out)}', stroke='#ffffff', stroke_opacity=0.35,
                 stroke_width=width * 0.25, stroke_linecap='round')
    if dot_r:
        body += circle(cx, cx - (r_out + 38 * s), dot_r, fill=dot_colour)
    return svg_doc(size, size, body, defs)


# ---------------------------------------------------------------------------
# Foot switches (512 x 512): a chrome stomp switch seen from above, with a
# lit ring around it in the "down" (on) sets.

def foot_switch(state, ring=None, nut='chrome', segmented=False):
    S, cx = 512, 256
    defs = blur_filter('sh', 10) + blur_filter('glow', 14) + blur_filter('soft', 2.5)
    nut_light, nut_mid, nut_dark = {
        'chrome': ('#f7f8fa', '#a9aeb6', '#3c4047'),
        'black': ('#6d717a', '#2a2c31', '#0c0d0f'),
        'gold': ('#fff1c4', '#c9a356', '#5a4215'),
    }[nut]
    defs += linear('washer', 0.15, 0, 0.85, 1, [(0, nut_light), (0.5, nut_mid), (1, nut_dark)])
    defs += linear('nutf', 0, 0, 1, 1, [(0, nut_light), (0.55, nut_mid), (1, nut_dark)])
    bright = {'normal': 1.0, 'hover': 1.12, 'pressed': 0.82}[state]
    cap_r = 112 if state != 'pressed' else 106
    defs += radial('dome', 0.5, 0.5, 0.5, [(0, _scale('#fbfcfd', bright)), (0.55, _scale('#b7bcc4', bright)),
                                           (0.85, _scale('#6b7079', bright)), (1, '#2a2d32')], fx=0.36, fy=0.3)
    body = ''
    if ring:
        glow = ring
        body += circle(cx, cx, 228, fill='none', stroke=glow, stroke_width=26, opacity=0.75, filter='url(#glow)')
    body += circle(cx, cx + 10, 196, fill='#000000', opacity=0.65, filter='url(#sh)')
    # Ring bezel (lit or dark).
    if ring:
        if segmented:
            for i in range(16):
                a0 = i * 22.5 + 2.5
                body += path(annular_sector(cx, cx, 204, 222, a0, a0 + 17.5), fill=ring)
        else:
            body += circle(cx, cx, 213, fill='none', stroke=ring, stroke_width=18)
        body += circle(cx, cx, 213, fill='none', stroke='#ffffff', stroke_width=5, opacity=0.55)
    else:
        body += circle(cx, cx, 213, fill='none', stroke='#1a1b1f', stroke_width=18)
        body += circle(cx, cx, 213, fill='none', stroke='#3b3e45', stroke_width=3)
    body += circle(cx, cx, 196, fill='url(#washer)')
    body += circle(cx, cx, 196, fill='none', stroke='#000000', stroke_opacity=0.4, stroke_width=2)
    # Hex nut with lit and shaded facets.
    pts = [polar(cx, cx, 170, 30 + i * 60) for i in range(6)]
    body += path('M' + 'L'.join(f'{n(x)} {n(y)}' for x, y in pts) + 'Z', fill='url(#nutf)', stroke='#1b1c20',
                 stroke_width=2)
    for i in range(6):
        a, b = pts[i], pts[(i + 1) % 6]
        mid = math.radians(60 + i * 60)
        lit = 0.5 + 0.5 * math.cos(mid - math.radians(-45 + 90))
        inner_a = polar(cx, cx, 140, 30 + i * 60)
        inner_b = polar(cx, cx, 140, 90 + i * 60)
        body += path(f'M{n(a[0])} {n(a[1])}L{n(b[0])} {n(b[1])}L{n(inner_b[0])} {n(inner_b[1])}L{n(inner_a[0])} {n(inner_a[1])}Z',
                     fill='#ffffff' if lit > 0.5 else '#000000', opacity=abs(lit - 0.5) * 0.5)
    body += circle(cx, cx + 6, cap_r + 6, fill='#000000', opacity=0.6, filter='url(#soft)')
    body += circle(cx, cx, cap_r + 4, fill='#202227')
    body += circle(cx, cx, cap_r, fill='url(#dome)')
    body += f'<ellipse cx="{n(cx - 30)}" cy="{n(cx - 46)}" rx="38" ry="22" transform="rotate(-35 {n(cx - 30)} {n(cx - 46)})" ' \
            f'fill="#ffffff" opacity="{n(0.55 * bright)}" filter="url(#soft)"/>'
    return svg_doc(S, S, body, defs)


def _scale(hex_, k):
    p = [int(hex_[i:i + 2], 16) for i in (1, 3, 5)]
    return '#' + ''.join(f'{max(0, min(255, round(v * k))):02x}' for v in p)


# ---------------------------------------------------------------------------
# LEDs (512 x 512): chrome bezel and a glass lens, dark or lit with a glow.

LED_COLOURS = {
    'red': ('#ff8a7a', '#e3262a', '#6e090c', '#ff2a2a'),
    'ice': ('#ffffff', '#9fdcff', '#1f5f8f', '#7fd0ff'),
    'green': ('#e8ffd8', '#4fdc4a', '#0f5a14', '#47ff4f'),
    'amber': ('#fff2c0', '#ffb21e', '#7a4a05', '#ffae1a'),
    'blue': ('#e4ecff', '#4a78ff', '#10246e', '#4a70ff'),
}


def led(colour, lit, state):
    S, cx = 512, 256
    defs = blur_filter('glow', 34) + blur_filter('sh', 9) + blur_filter('soft', 4)
    defs += linear('bezel', 0.2, 0, 0.8, 1, [(0, '#f5f6f8'), (0.5, '#8b9099'), (1, '#2b2e33')])
    defs += linear('bezelin', 0.8, 1, 0.2, 0, [(0, '#f0f2f5'), (0.5, '#7e838b'), (1, '#1d1f23')])
    core, mid, edge, glow = LED_COLOURS[colour]
    k = {'normal': 1.0, 'hover': 1.1, 'pressed': 0.8}[state]
    if lit:
        defs += radial('lens', 0.5, 0.5, 0.5, [(0, core), (0.45, _scale(mid, k)), (1, _scale(edge, k))], fx=0.45, fy=0.42)
    else:
        base = '#2a0a0c' if colour == 'red' else '#15191d'
        tint = {'normal': 1.0, 'hover': 1.5, 'pressed': 0.8}[state]
        defs += radial('lens', 0.5, 0.5, 0.5, [(0, _scale('#4a2024', tint)), (0.6, _scale(base, tint)), (1, '#060607')],
                       fx=0.45, fy=0.4)
    body = ''
    if lit:
        body += circle(cx, cx, 150 * (1.08 if state == 'hover' else 1.0), fill=glow, opacity=0.7 * k, filter='url(#glow)')
    body += circle(cx, cx + 8, 172, fill='#000000', opacity=0.6, filter='url(#sh)')
    body += circle(cx, cx, 172, fill='url(#bezel)')
    body += circle(cx, cx, 146, fill='url(#bezelin)')
    body += circle(cx, cx, 132, fill='#050506')
    body += circle(cx, cx, 126, fill='url(#lens)')
    if lit:
        body += circle(cx, cx, 60, fill=core, opacity=0.55 * k, filter='url(#soft)')
        body += circle(cx, cx, 126, fill='none', stroke=glow, stroke_width=10, opacity=0.5, filter='url(#soft)')
    body += f'<ellipse cx="{n(cx - 34)}" cy="{n(cx - 52)}" rx="52" ry="30" transform="rotate(-30 {n(cx - 34)} {n(cx - 52)})" ' \
            f'fill="#ffffff" opacity="{n(0.42 if lit else 0.3)}" filter="url(#soft)"/>'
    body += circle(cx + 58, cx + 62, 12, fill='#ffffff', opacity=0.18, filter='url(#soft)')
    return svg_doc(S, S, body, defs)


def preset_button():
    """A small black push button in a chrome ring (512 x 512)."""
    S, cx = 512, 256
    defs = blur_filter('sh', 12) + blur_filter('soft', 4)
    defs += linear('ring', 0.2, 0, 0.8, 1, [(0, '#f5f6f8'), (0.5, '#8b9099'), (1, '#2b2e33')])
    defs += radial('cap', 0.5, 0.5, 0.5, [(0, '#4b4f57'), (0.7, '#1e2024'), (1, '#08090a')], fx=0.4, fy=0.35)
    body = circle(cx, cx + 10, 200, fill='#000000', opacity=0.6, filter='url(#sh)')
    body += circle(cx, cx, 200, fill='url(#ring)')
    body += circle(cx, cx, 164, fill='#0a0b0c')
    body += circle(cx, cx, 156, fill='url(#cap)')
    body += f'<ellipse cx="{n(cx - 40)}" cy="{n(cx - 60)}" rx="60" ry="30" transform="rotate(-30 {n(cx - 40)} {n(cx - 60)})" ' \
            f'fill="#ffffff" opacity="0.22" filter="url(#soft)"/>'
    return svg_doc(S, S, body, defs)


# ---------------------------------------------------------------------------
# Rack bypass button (425 x 425): a square illuminated key with a power sign.

def rack_bypass(on, state):
    S, cx = 425, 212.5
    defs = blur_filter('sh', 10) + blur_filter('glow', 16) + blur_filter('soft', 3)
    defs += linear('bez', 0.2, 0, 0.8, 1, [(0, '#6a6e76'), (0.5, '#2b2e33'), (1, '#0d0e10')])
    k = {'normal': 1.0, 'hover': 1.15, 'pressed': 0.8}[state]
    defs += linear('cap', 0, 0, 0, 1, [(0, _scale('#3a3d44', k)), (1, _scale('#17191c', k))])
    body = rect(40, 52, 345, 345, rx=46, fill='#000000', opacity=0.7, filter='url(#sh)')
    body += rect(36, 36, 353, 353, rx=46, fill='url(#bez)')
    body += rect(60, 60, 305, 305, rx=34, fill='#050506')
    inset = 6 if state == 'pressed' else 0
    body += rect(66 + inset, 66 + inset, 293 - 2 * inset, 293 - 2 * inset, rx=30, fill='url(#cap)')
    body += rect(86, 72 + inset, 253, 5, rx=2.5, fill='#ffffff', opacity=0.16)
    colour = C.red_hi if on else {'normal': '#8c9099', 'hover': '#c4c8cf', 'pressed': '#6c7078'}[state]
    icon = (path(f'M{n(cx - 52)} {n(cx - 58)}A78 78 0 1 0 {n(cx + 52)} {n(cx - 58)}', fill='none', stroke=colour,
                 stroke_width=20, stroke_linecap='round') +
            path(f'M{n(cx)} {n(cx - 96)}V{n(cx - 10)}', stroke=colour, stroke_width=20, stroke_linecap='round'))
    if on:
        body += group(icon, filter='url(#glow)', opacity=0.9 * k)
        # Lit bar along the bottom of the key.
        body += rect(140, 318 - inset, 145, 10, rx=5, fill='#ff4a4f', filter='url(#soft)')
    body += group(icon, transform=f'translate(0 {inset})')
    return svg_doc(S, S, body, defs)


# ---------------------------------------------------------------------------
# Rack tempo-sync switch (505 x 321): a slide toggle.

def rack_sync(position, state):
    W, H = 505, 321
    defs = blur_filter('sh', 8) + blur_filter('soft', 3)
    defs += linear('track', 0, 0, 0, 1, [(0, '#030304'), (1, '#26292e')])
    defs += linear('lit', 0, 0, 0, 1, [(0, C.red_dk), (1, C.red_hi)])
    k = {'normal': 1.0, 'hover': 1.12}[state]
    defs += linear('thumb', 0, 0, 0, 1, [(0, _scale('#e9ebee', k)), (0.5, _scale('#a6abb3', k)), (1, _scale('#5d626a', k))])
    tx, ty, tw, th = 30, 70, 445, 180
    body = rect(tx, ty + 8, tw, th, rx=90, fill='#000000', opacity=0.45, filter='url(#sh)')
    body += rect(tx, ty, tw, th, rx=90, fill='url(#track)', stroke='#6b7079', stroke_width=5)
    thumb_w = 230
    kx = {0: tx + 12, 1: tx + (tw - thumb_w) / 2, 2: tx + tw - thumb_w - 12}[position]
    if position == 2:
        body += rect(tx + 14, ty + 14, tw - thumb_w - 10, th - 28, rx=76, fill='url(#lit)')
    body += rect(kx + 4, ty + 20, thumb_w, th - 24, rx=76, fill='#000000', opacity=0.6, filter='url(#soft)')
    body += rect(kx, ty + 12, thumb_w, th - 24, rx=76, fill='url(#thumb)', stroke='#2a2d32', stroke_width=3)
    for dx in (-36, 0, 36):
        body += rect(kx + thumb_w / 2 + dx - 5, ty + 50, 10, th - 100, rx=5, fill='#3b3f46', opacity=0.8)
    return svg_doc(W, H, body, defs)

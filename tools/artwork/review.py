"""Review pictures: a contact sheet of all resources with their numbers, and
each view at its default size with the control artwork placed where the
editor puts it. Text uses stand-in fonts for the editor's system fonts."""

import base64
import math
import re
import subprocess

import layout
from palette import C
from svgkit import Font, n, path, rect, rounded_rect_path, svg_doc

BOLD = 'RobotoCondensed-Bold.ttf'
BOOK = 'RobotoCondensed-Regular.ttf'


def _art(art, number):
    return next(art.glob(f'{number:03d}-*'))


def _data_uri(file):
    mime = {'.png': 'image/png', '.jpg': 'image/jpeg', '.svg': 'image/svg+xml'}[file.suffix]
    return f'data:{mime};base64,' + base64.b64encode(file.read_bytes()).decode()


def _scaled(file, build, w, h):
    """A bitmap rescaled to w x h pixels (Lanczos), as the editor would draw it."""
    w, h = max(1, round(w)), max(1, round(h))
    out = build / 'review' / f'{file.stem}-{w}x{h}.png'
    out.parent.mkdir(parents=True, exist_ok=True)
    if not out.exists() or out.stat().st_mtime < file.stat().st_mtime:
        if file.suffix == '.svg':
            # Drawn as a vector at the final size, like the editor's drawables.
            subprocess.run(['rsvg-convert', '-w', str(w), '-h', str(h), '-o', str(out), str(file)], check=True)
        else:
            subprocess.run(['/usr/bin/convert', str(file), '-filter', 'Lanczos', '-resize', f'{w}x{h}!', str(out)],
                           check=True)
    return _data_uri(out)


def _image(uri, x, y, w, h, extra=''):
    return (f'<image x="{n(x)}" y="{n(y)}" width="{n(w)}" height="{n(h)}" preserveAspectRatio="xMidYMid meet" '
            f'href="{uri}" {extra}/>')


def _fit(file, build, box, scale=1.0):
    """Draws an image scaled to fit its box keeping proportions, centred."""
    x, y, w, h = box
    iw, ih = _natural_size(file)
    k = min(w / iw, h / ih) * scale
    dw, dh = iw * k, ih * k
    return _image(_scaled(file, build, dw, dh), x + (w - dw) / 2, y + (h - dh) / 2, dw, dh)


def _natural_size(file):
    if file.suffix == '.svg':
        m = re.search(r'viewBox="0 0 ([\d.]+) ([\d.]+)"', file.read_text())
        return float(m.group(1)), float(m.group(2))
    out = subprocess.run(['/usr/bin/identify', '-format', '%w %h', str(file)], capture_output=True, text=True,
                         check=True).stdout.split()
    return float(out[0]), float(out[1])


def _text(s, box, colour, bold=True, justify='centre', scale=0.82):
    """Text fitted into a label box, the font height following the box
    height as the editor's labels do."""
    x, y, w, h = box
    f = Font.get(BOLD if bold else BOOK)
    size = h * scale
    tx = {'left': x, 'centre': x + w / 2, 'right': x + w}[justify]
    anchor = {'left': 'start', 'centre': 'middle', 'right': 'end'}[justify]
    return path(f.path(s, size, tx, y + h / 2, anchor=anchor, baseline='middle'), fill=colour)


def _render(svg_text, build, out, w, h, quantise=False):
    src = build / 'review' / (out.stem + '.svg')
    src.parent.mkdir(parents=True, exist_ok=True)
    src.write_text(svg_text)
    out.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(['rsvg-convert', '-w', str(w), '-h', str(h), '-o', str(out), str(src)], check=True)
    if quantise:
        subprocess.run(['pngquant', '--force', '--skip-if-larger', '--quality', '80-95', '--output', str(out), str(out)],
                       check=False)
    subprocess.run(['optipng', '-quiet', '-o2', '-strip', 'all', str(out)], check=True)
    print(f'{out.relative_to(out.parents[1])}: {out.stat().st_size} bytes')


# ---------------------------------------------------------------------------

def contact_sheet(resources, art, build, out):
    cols, cw, ch, pad = 12, 150, 178, 10
    rows = math.ceil(len(resources) / cols)
    W, H = cols * cw + 2 * pad, rows * ch + 2 * pad + 40
    f = Font.get(BOLD)
    fr = Font.get(BOOK)
    body = rect(0, 0, W, H, fill='#3a3d42')
    body += path(f.path('Nebulon artwork: all resources by number', 20, pad + 4, 30), fill='#f0f0f0')
    defs = ('<pattern id="chk" width="16" height="16" patternUnits="userSpaceOnUse">'
            '<rect width="16" height="16" fill="#8c8f94"/><rect width="8" height="8" fill="#a9acb0"/>'
            '<rect x="8" y="8" width="8" height="8" fill="#a9acb0"/></pattern>')
    for i, res in enumerate(resources):
        cx, cy = pad + (i % cols) * cw, pad + 40 + (i // cols) * ch
        file = art / res.file_name
        body += rect(cx + 4, cy + 4, cw - 8, cw - 8, fill='url(#chk)')
        body += _fit(file, build, (cx + 8, cy + 8, cw - 16, cw - 16))
        iw, ih = _natural_size(file)
        size = f'{iw:g} x {ih:g}'
        body += path(f.path(f'{res.number}', 13, cx + 6, cy + cw + 8), fill='#ffffff')
        body += path(fr.path(f'{res.kind.upper()} {size}', 10, cx + cw - 6, cy + cw + 8, anchor='end'), fill='#d0d0d0')
        body += path(fr.path(res.name[:30], 9.5, cx + 6, cy + cw + 21), fill='#b8bbc0')
    _render(svg_doc(W, H, body, defs), build, out, W, H, quantise=True)


# ---------------------------------------------------------------------------

def _knob(art, build, body_no, pointer_no, box, position):
    """A Pedal knob: body still, pointer turned for the position 0..1."""
    x, y, w, h = box
    angle = math.degrees(7 * math.pi / 6 + position * (17 * math.pi / 6 - 7 * math.pi / 6))
    b = _scaled(_art(art, body_no), build, w, w)
    p = _scaled(_art(art, pointer_no), build, w, w)
    top = y + (h - w) / 2
    return (_image(b, x, top, w, w) +
            _image(p, x, top, w, w, f'transform="rotate({n(angle)} {n(x + w / 2)} {n(y + h / 2)})"'))


def _rack_slider(art, build, box, position, title, value, pedal_view):
    """A knob with its title and value underneath, as the editor lays it out."""
    x, y, W, H = box
    out = ''
    if pedal_view:
        out += _knob(art, build, 124, 125, (x, y, W, W), position)
    else:
        d = 0.94 * W
        kx, ky = x + W / 2 - d / 2, y + W / 2 - d / 2
        angle = math.degrees(7 * math.pi / 6 + position * (10 * math.pi / 6))
        out += _image(_scaled(_art(art, 124), build, d, d), kx, ky, d, d)
        out += _image(_scaled(_art(art, 125), build, d, d), kx, ky, d, d,
                      f'transform="rotate({n(angle)} {n(x + W / 2)} {n(y + W / 2)})"')
        frame = int(position * 20.0)
        ring = _art(art, 101 + frame)
        rw = 0.85 * d
        rh = rw * 49.96114 / 46.57349
        out += _image(_scaled(ring, build, rw, rh), x + W / 2 - 0.425 * d, y + W / 2 - 0.425 * d, rw, rh)
    y1 = 0.73 * H
    hh = 0.1 * H
    out += _text(title, (x, y + y1, W, hh), C.light, bold=False)
    out += _text(value, (x, y + y1 + 0.12 * H, W, hh), C.light, bold=False)
    return out


def pedal_view(art, build, out):
    W, H = 800, 668
    lay = layout.pedal(W, H)
    body = _image(_scaled(_art(art, 14), build, W, H), 0, 0, W, H)
    body += _fit(_art(art, 144), build, lay['logo'])
    # Model knob, LEDs (model 1 lit) and names.
    mk = lay['modelKnob']
    body += _knob(art, build, 122, 123, mk, 0.0)
    for k, led in enumerate(layout.pedal_model_leds(W, H)):
        body += _fit(_art(art, 137 if k == 0 else 135), build, led)
    for k, (t, x, y, w, h, j) in enumerate(layout.pedal_model_labels(W, H)):
        body += _text(t, (x, y, w, h), C.light, bold=(k == 0), justify=j)
    # Knob groups at rest: the first control of each.
    groups = layout.pedal_groups(W, H)
    content = [(0.35, 'DELAY TIME', '500 ms'), (0.45, 'FEEDBACK', '45%'), (0.6, 'TONE', '60%'),
               (0.3, 'MOD DEPTH', '30%'), (0.5, 'MIX', '50%')]
    for g, (pos, title, value) in zip(groups, content):
        body += _rack_slider(art, build, g, pos, title, value, True)
    # Top row.
    body += _fit(_art(art, 69), build, lay['pill1'])
    body += _fit(_art(art, 83), build, _inset(lay['trailsSwitch'], 3))
    body += _fit(_art(art, 66), build, lay['pill2'])
    body += _fit(_art(art, 63), build, lay['pill3'])
    body += _fit(_art(art, 90), build, _inset(lay['settings'], 3))
    # Foot switches, LEDs, preset button, mode row LEDs.
    body += _fit(_art(art, 44), build, lay['bypassSwitch'])
    body += _fit(_art(art, 37), build, lay['tapTempoSwitch'])
    body += _fit(_art(art, 140), build, lay['statusLed'])
    body += _fit(_art(art, 135), build, lay['tapTempoLed'])
    body += _fit(_art(art, 94), build, lay['presetSwitch'])
    for led in layout.pedal_mode_row(W, H)['leds']:
        body += _fit(_art(art, 135), build, led)
    body += _text('BYPASS', lay['bypassLabel'], '#000000')
    body += _text('TAP TEMPO', lay['tapTempoLabel'], '#000000')
    body += _text('PRESET / SAVE', lay['presetLabel'], '#808080', bold=False)
    for t, x, y, w, h, j in layout.pedal_jack_labels(W, H):
        body += _text(t, (x, y, w, h), '#000000', bold=False, justify=j)
    _render(svg_doc(W, H, body), build, out, W, H)


def rack_view(art, build, out):
    W, H = 800, 178
    lay = layout.rack(W, H)
    body = _image(_scaled(_art(art, 17), build, W, H), 0, 0, W, H)
    lx, ly, lw, lh = lay['logo']
    iw, ih = _natural_size(_art(art, 144))
    k = min(lw / iw, lh / ih)
    body += _image(_scaled(_art(art, 144), build, iw * k, ih * k), lx, ly + (lh - ih * k) / 2, iw * k, ih * k)
    body += _fit(_art(art, 155), build, lay['bypassSwitch'])
    body += _fit(_art(art, 88), build, _inset(lay['settings'], 3))
    # Jet Analog: eight controls.
    content = [(0.35, 'DELAY TIME', '500 ms'), (0.45, 'FEEDBACK', '45%'), (0.6, 'TONE', '60%'),
               (0.3, 'MOD DEPTH', '30%'), (0.25, 'MOD RATE', '0.80 Hz'), (0.4, 'REGEN', '40%'),
               (0.5, 'MIX', '50%'), (0.75, 'LEVEL', '0.0 dB')]
    for box, (pos, title, value) in zip(layout.rack_knobs(W, H, 8), content):
        body += _rack_slider(art, build, box, pos, title, value, False)
    body += _text('PROGRAM', lay['programLabel'], '#000000', justify='left', bold=False)
    sx, sy, sw, sh = lay['modelSelector']
    t = 0.05 * sh
    body += path(rounded_rect_path(sx + t / 2, sy + t / 2, sw - t, sh - t, 0.2 * sh), fill='#000000', stroke=C.light,
                 stroke_width=t)
    a = 0.333 * sh
    m = (sh - a) / 2
    body += path(f'M{n(sx + a)} {n(sy + m)}L{n(sx + a)} {n(sy + m + a)}L{n(sx + a + 0.866 * a)} {n(sy + m + a / 2)}Z',
                 fill=C.light)
    body += _text('Jet Analog', (sx, sy, sw, sh), C.light, bold=False, scale=0.45)
    # Sync switch: caption above, switch below.
    x, y, w, h = lay['syncSwitchRack']
    g = 2 * h / 3
    a = 505 / 321
    body += _fit(_art(art, 175), build, (x + (w - a * g) / 2, y + h / 3, a * g, g))
    body += _text('HOST SYNC', (x, y + (h / 3 - 0.8 * h / 3) / 2, w, 0.8 * h / 3), '#000000')
    _render(svg_doc(W, H, body), build, out, W, H)


def _inset(box, d):
    x, y, w, h = box
    return (x + d, y + d, w - 2 * d, h - 2 * d)

#!/usr/bin/python3
"""Regenerates the plug-in's artwork in resources/art and the review pictures
in docs/.

Every resource is described here by its number, file name and source (a
function returning SVG text). Vector resources are written as they are;
bitmaps are rendered from their SVG source with rsvg-convert and compressed
(optipng for PNG; ImageMagick and jpegoptim for JPEG). A manifest of source
hashes lets a run redo only the resources whose source changed, so unchanged
files stay byte-identical.

Needs (Debian packages): python3, python3-numpy, python3-fonttools,
librsvg2-bin, imagemagick, optipng, jpegoptim, pngquant, fonts-roboto-unhinted,
fonts-league-spartan.

Usage: tools/artwork/generate.py [--force] [--only N,N,...] [--no-review]
"""

import argparse
import hashlib
import json
import shutil
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import backgrounds  # noqa: E402
import bitmaps  # noqa: E402
import review  # noqa: E402
import vectors  # noqa: E402
from palette import C  # noqa: E402

ROOT = HERE.parents[1]
ART = ROOT / 'resources' / 'art'
DOCS = ROOT / 'docs'
BUILD = ROOT / 'build-artwork'
MANIFEST = HERE / 'manifest.json'

# Bump to force every resource to be redone after a change in the pipeline.
PIPELINE_VERSION = 4
JPEG_QUALITY = 88


class Resource:
    def __init__(self, number, name, kind, source, size=None, textures=()):
        self.number = number
        self.name = name
        self.kind = kind          # 'svg', 'png' or 'jpg'
        self.source = source      # callable returning SVG text
        self.size = size          # pixel size (w, h) of bitmaps
        self.textures = textures  # (file name, callable returning an RGBA array)

    @property
    def file_name(self):
        return f'{self.number:03d}-{self.name}.{self.kind}'


def catalogue():
    R = []

    def add(number, name, kind, source, size=None, textures=()):
        R.append(Resource(number, name, kind, source, size, textures))

    # Backgrounds.
    add(14, 'pedal-background', 'jpg', backgrounds.pedal, (3840, 3208))
    add(17, 'rack-background', 'jpg', backgrounds.rack, (3840, 858))
    add(144, 'logo', 'svg', vectors.logo)

    # Knobs: body and pointer overlay.
    knob_tex = ('knob-cap.png', lambda: bitmaps.spun_metal(392, (96, 100, 108), (246, 248, 250), 3))
    model_tex = ('model-cap.png', lambda: bitmaps.spun_metal(500, (18, 19, 22), (120, 124, 132), 8, rings=1.6))
    add(124, 'knob-body', 'png', lambda: bitmaps.knob_body(725, 'knob-cap.png', 246, 196), (725, 725), (knob_tex,))
    add(125, 'knob-pointer', 'png',
        lambda: bitmaps.knob_pointer(725, 70, 178, 19, C.red_hi, 0, None), (725, 725))
    add(122, 'model-knob-body', 'png',
        lambda: bitmaps.knob_body(940, 'model-cap.png', 318, 250, cap_dark=True), (940, 940), (model_tex,))
    add(123, 'model-knob-pointer', 'png',
        lambda: bitmaps.knob_pointer(940, 95, 232, 24, '#f2f3f5', 0, None), (940, 940))

    # Value ring frames 0..20.
    for i in range(21):
        add(101 + i, f'value-ring-{i:02d}', 'svg', lambda i=i: vectors.value_ring(i))

    # Foot switches.
    fs = (512, 512)
    for number, state in ((37, 'normal'), (39, 'hover'), (38, 'pressed')):
        add(number, f'footswitch-up-{state}', 'png', lambda s=state: bitmaps.foot_switch(s), fs)
    for number, state in ((41, 'normal'), (42, 'hover'), (40, 'pressed')):
        add(number, f'footswitch-tap-down-{state}', 'png',
            lambda s=state: bitmaps.foot_switch(s, ring=C.red_hi, segmented=True), fs)
    for number, state in ((44, 'normal'), (45, 'hover'), (43, 'pressed')):
        add(number, f'footswitch-bypass-down-{state}', 'png', lambda s=state: bitmaps.foot_switch(s, ring=C.red_hi), fs)
    variants = [('black-up', 'black', None), ('black-down', 'black', C.red_hi), ('gold-up', 'gold', None),
                ('gold-down', 'gold', '#ffae1a'), ('chrome-green', 'chrome', '#47e04f'),
                ('chrome-blue', 'chrome', '#4a8cff')]
    for v, (label, nut, ring) in enumerate(variants):
        for k, state in enumerate(('pressed', 'normal', 'hover')):
            add(19 + 3 * v + k, f'footswitch-{label}-{state}', 'png',
                lambda s=state, nut=nut, ring=ring: bitmaps.foot_switch(s, ring=ring, nut=nut), fs)

    # LEDs.
    add(135, 'led-unlit', 'png', lambda: bitmaps.led('red', False, 'normal'), fs)
    for base, colour, label in ((136, 'ice', 'model'), (139, 'red', 'status'), (126, 'green', 'green'),
                                (129, 'amber', 'amber'), (132, 'blue', 'blue')):
        for k, state in enumerate(('pressed', 'normal', 'hover')):
            add(base + k, f'led-{label}-{state}', 'png', lambda c=colour, s=state: bitmaps.led(c, True, s), fs)
    add(94, 'preset-button', 'png', bitmaps.preset_button, fs)

    # Rack bypass key and tempo-sync switch.
    rb = (425, 425)
    add(152, 'rack-bypass-pressed', 'png', lambda: bitmaps.rack_bypass(False, 'pressed'), rb)
    add(153, 'rack-bypass-off', 'png', lambda: bitmaps.rack_bypass(False, 'normal'), rb)
    add(154, 'rack-bypass-off-hover', 'png', lambda: bitmaps.rack_bypass(False, 'hover'), rb)
    add(155, 'rack-bypass-on', 'png', lambda: bitmaps.rack_bypass(True, 'normal'), rb)
    add(156, 'rack-bypass-on-hover', 'png', lambda: bitmaps.rack_bypass(True, 'hover'), rb)
    for k, (pos, label) in enumerate(((0, 'first'), (1, 'middle'), (2, 'last'))):
        add(175 + 2 * k, f'rack-sync-{label}', 'png', lambda p=pos: bitmaps.rack_sync(p, 'normal'), (505, 321))
        add(176 + 2 * k, f'rack-sync-{label}-hover', 'png', lambda p=pos: bitmaps.rack_sync(p, 'hover'), (505, 321))

    # Small buttons.
    for mode, (normal, hover, pressed) in enumerate(((55, 57, 54), (59, 61, 58), (51, 53, 50), (47, 49, 46))):
        for number, state in ((normal, 'normal'), (hover, 'hover'), (pressed, 'pressed')):
            add(number, f'nimbus-mode-{mode + 1}-{state}', 'svg', lambda m=mode, s=state: vectors.nimbus_button(m, s))
    add(88, 'settings-grey', 'svg', lambda: vectors.settings_icon('#8e939b'))
    add(90, 'settings-light', 'svg', lambda: vectors.settings_icon(C.light))
    add(91, 'settings-hover', 'svg', lambda: vectors.settings_icon(C.red_hi))
    add(89, 'settings-pressed', 'svg', lambda: vectors.settings_icon(C.red_dk))
    add(98, 'close-normal', 'svg', lambda: vectors.close_icon('normal'))
    add(99, 'close-hover', 'svg', lambda: vectors.close_icon('hover'))
    add(97, 'close-pressed', 'svg', lambda: vectors.close_icon('pressed'))
    add(92, 'chevron-left', 'svg', lambda: vectors.chevron('left', C.light))
    add(93, 'chevron-right', 'svg', lambda: vectors.chevron('right', C.light))
    add(95, 'chevron-left-red', 'svg', lambda: vectors.chevron('left', C.red_hi))
    add(96, 'chevron-right-red', 'svg', lambda: vectors.chevron('right', C.red_hi))

    # Pills and switches of the Pedal view.
    add(63, 'pill-window', 'svg', vectors.pill_window)
    add(66, 'pill-badge', 'svg', vectors.pill_badge)
    add(69, 'pill-trails-caption', 'svg', vectors.pill_trails_caption)
    for number, on, state in ((83, False, 'normal'), (84, False, 'hover'), (82, False, 'pressed'),
                              (86, True, 'normal'), (87, True, 'hover'), (85, True, 'pressed')):
        add(number, f'trails-{"on" if on else "off"}-{state}', 'svg', lambda o=on, s=state: vectors.trails_switch(o, s))
    for number, pos, state in ((162, 0, 'normal'), (163, 0, 'hover'), (164, 1, 'normal'), (165, 1, 'hover'),
                               (167, 2, 'normal'), (168, 2, 'hover')):
        label = ('first', 'middle', 'last')[pos]
        add(number, f'slide-{label}-{state}', 'svg', lambda p=pos, s=state: vectors.slide_switch(p, s))

    # Note values: per code a block of four files: pressed, plain, selected, plain hover.
    names = {0: 'quarter', 1: 'eighth', 2: 'sixteenth', 3: 'half', 4: 'whole', 5: 'dotted-quarter',
             6: 'dotted-eighth', 7: 'dotted-sixteenth', 8: 'dotted-half', 9: 'dotted-whole',
             10: 'quarter-triplet', 11: 'eighth-triplet', 12: 'sixteenth-triplet', 13: 'half-triplet',
             14: 'whole-triplet'}
    bases = {0: 215, 1: 207, 2: 219, 3: 211, 4: 243, 5: 195, 6: 187, 7: 199, 8: 191, 9: 203,
             10: 231, 11: 223, 12: 235, 13: 227, 14: 239}
    for code, base in bases.items():
        for k, look in enumerate(('pressed', 'plain', 'selected', 'plainHover')):
            suffix = {'plainHover': 'hover'}.get(look, look)
            add(base + k, f'note-{names[code]}-{suffix}', 'svg', lambda c=code, lk=look: vectors.note_button(c, lk))

    return sorted(R, key=lambda r: r.number)


def run(*cmd):
    subprocess.run([str(c) for c in cmd], check=True)


def render_bitmap(res, svg_text):
    BUILD.mkdir(parents=True, exist_ok=True)
    src = BUILD / f'{res.number:03d}.svg'
    src.write_text(svg_text)
    png = BUILD / f'{res.number:03d}.png'
    w, h = res.size
    run('rsvg-convert', '-w', w, '-h', h, '-o', png, src)
    out = ART / res.file_name
    if res.kind == 'png':
        # Palette quantisation with dithering: no visible difference at these
        # sizes (the bitmaps are only ever drawn reduced), a third of the size.
        # Falls back to the lossless file when the quality floor is missed.
        quant = BUILD / f'{res.number:03d}-q.png'
        q = subprocess.run(['pngquant', '--force', '--speed', '1', '--quality', '80-98', '--output', str(quant), str(png)])
        best = quant if q.returncode == 0 else png
        run('optipng', '-quiet', '-clobber', '-o2', '-strip', 'all', '-out', BUILD / f'{res.number:03d}-opt.png', best)
        shutil.copyfile(BUILD / f'{res.number:03d}-opt.png', out)
    else:
        run('/usr/bin/convert', png, '-quality', JPEG_QUALITY, '-sampling-factor', '4:2:0', '-interlace', 'none',
            '-strip', out)
        run('jpegoptim', '--quiet', '--strip-all', out)


def source_hash(res, svg_text, textures):
    h = hashlib.sha256()
    h.update(f'{PIPELINE_VERSION}|{res.kind}|{res.size}|{JPEG_QUALITY}|'.encode())
    h.update(svg_text.encode())
    for name, data in textures:
        h.update(name.encode())
        h.update(data)
    return h.hexdigest()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--force', action='store_true', help='redo every resource')
    ap.add_argument('--only', default='', help='comma-separated resource numbers')
    ap.add_argument('--no-review', action='store_true', help='skip the review pictures')
    args = ap.parse_args()

    only = {int(x) for x in args.only.split(',') if x}
    ART.mkdir(parents=True, exist_ok=True)
    BUILD.mkdir(parents=True, exist_ok=True)
    manifest = json.loads(MANIFEST.read_text()) if MANIFEST.exists() else {}
    resources = catalogue()

    # Files of resources that were renamed or removed.
    wanted = {r.file_name for r in resources}
    for f in ART.iterdir():
        if f.name not in wanted:
            f.unlink()

    done = 0
    for res in resources:
        if only and res.number not in only:
            continue
        svg_text = res.source()
        textures = []
        for name, make in res.textures:
            bitmaps.save_texture(BUILD, name, make())
            textures.append((name, (BUILD / name).read_bytes()))
        digest = source_hash(res, svg_text, textures)
        out = ART / res.file_name
        if not args.force and manifest.get(str(res.number)) == digest and out.exists():
            continue
        if res.kind == 'svg':
            out.write_text(svg_text)
        else:
            render_bitmap(res, svg_text)
        manifest[str(res.number)] = digest
        done += 1
        print(f'{res.file_name}: {out.stat().st_size} bytes')

    MANIFEST.write_text(json.dumps(dict(sorted(manifest.items(), key=lambda kv: int(kv[0]))), indent=1) + '\n')
    total = sum(f.stat().st_size for f in ART.iterdir())
    print(f'{done} regenerated, {len(resources)} resources, {total} bytes in total')

    if not args.no_review:
        review.contact_sheet(resources, ART, BUILD, DOCS / 'artwork-contact-sheet.png')
        review.pedal_view(ART, BUILD, DOCS / 'pedal-view.png')
        review.rack_view(ART, BUILD, DOCS / 'rack-view.png')


if __name__ == '__main__':
    main()

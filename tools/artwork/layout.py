"""Where the editor places its controls, as fractions of the window's width W
and height H, so the backgrounds can be drawn for them and the review
pictures can put the control artwork where the editor will."""

import math


def _r(x, y, w, h):
    return (x, y, w, h)


def pedal(W, H):
    """Controls of the Pedal view: name -> (x, y, w, h) in the units of W, H."""
    c = {}
    c['bypassSwitch'] = _r(0.121 * W, 0.718 * H, 0.148 * W, 0.148 * W)
    c['tapTempoSwitch'] = _r(0.121 * W + 0.61 * W, 0.718 * H, 0.148 * W, 0.148 * W)
    led_y = 0.718 * H + (0.148 * W - 0.05 * W) / 2
    c['statusLed'] = _r(0.285 * W, led_y, 0.05 * W, 0.05 * W)
    c['tapTempoLed'] = _r(0.285 * W + 0.38 * W, led_y, 0.05 * W, 0.05 * W)
    c['presetSwitch'] = _r(0.48 * W, 0.718 * H + (0.148 * W - 0.04 * W) / 2, 0.04 * W, 0.04 * W)
    c['bypassLabel'] = _r(0.265 * W, 0.85 * H, 0.09 * W, 0.024 * H)
    c['tapTempoLabel'] = _r(0.625 * W, 0.85 * H, 0.13 * W, 0.024 * H)
    c['presetLabel'] = _r(0.415 * W, 0.85 * H, 0.17 * W, 0.024 * H)
    c['modelKnob'] = _r(0.134 * W, 0.166 * H, 0.17 * W, 0.17 * W)
    c['pill1'] = _r(0.27 * W, 0.086 * H, 0.16 * W, 0.026 * H)
    c['trailsSwitch'] = _r(0.27 * W + 0.185 * W, 0.086 * H, 0.13 * W, 0.026 * H)
    c['pill2'] = _r(0.766 * W, 0.086 * H, 0.06 * W, 0.026 * H)
    c['pill3'] = _r(0.766 * W - 0.12 * W, 0.086 * H - 0.005 * H, 0.06 * W, 0.04 * H)
    c['settings'] = _r(int(0.0065 * W), int(0.0065 * W), int(0.05 * W), int(0.05 * W))
    c['logo'] = _r(0.35 * W, 0.54 * H, 0.3 * W, 0.12 * H)
    return c


def pedal_jack_labels(W, H):
    """(text, x, y, w, h, justification) of the jack labels."""
    rows = [0.438, 0.468, 0.608, 0.638]
    left = ['STEREO', 'OUT', 'MONO', 'OUT']
    right = ['STEREO', 'IN', 'MONO', 'IN']
    out = []
    for r, a, b in zip(rows, left, right):
        out.append((a, 0.065 * W, r * H, 0.09 * W, 0.024 * H, 'left'))
        out.append((b, 0.845 * W, r * H, 0.09 * W, 0.024 * H, 'right'))
    return out


def pedal_groups(W, H):
    """The five knob groups (x, y, w, h)."""
    cell = 0.53 * W / 3
    gw, gh = 0.6 * cell, 0.173 * H
    x0 = 0.355 * W
    return [
        _r(x0 + 0.2 * cell, 0.133 * H, gw, gh),
        _r(x0 + 1.2 * cell, 0.133 * H, gw, gh),
        _r(x0 + 2.2 * cell, 0.133 * H, gw, gh),
        _r(x0 + 0.7 * cell, 0.133 * H + 0.9 * gh, gw, gh),
        _r(x0 + 1.7 * cell, 0.133 * H + 0.9 * gh, gw, gh),
    ]


def pedal_model_leds(W, H):
    s = 0.036 * W
    out = []
    for k in range(11):
        phi = math.radians((k - 5) * 30)
        out.append(_r(0.201 * W + 0.085 * W * math.sin(phi), 0.246 * H - 0.085 * W * math.cos(phi), s, s))
    return out


MODEL_LABELS = [('ANLG', 0.086, 0.353, 'right'), ('WET', 0.055, 0.31, 'right'), ('BBD', 0.045, 0.257, 'right'),
                ('JET', 0.055, 0.204, 'right'), ('WRD', 0.086, 0.16, 'right'), ('RBD', 0.184, 0.122, 'centre'),
                ('NIM', 0.284, 0.16, 'left'), ('MOD', 0.311, 0.204, 'left'), ('SPC', 0.323, 0.257, 'left'),
                ('TAPE', 0.311, 0.31, 'left'), ('DIGI', 0.284, 0.353, 'left')]


def pedal_model_labels(W, H):
    return [(t, x * W, y * H, 0.072 * W, 0.023 * H, j) for t, x, y, j in MODEL_LABELS]


def pedal_mode_row(W, H):
    r = 0.174857143 * W
    x0 = 0.412571429 * W
    q = r / 4
    s = q * 14 / 17
    leds = [_r(x0 + (q - s) / 2 + i * q, 0.73 * H, s, s) for i in range(4)]
    buttons = [_r(x0 + (q - s) / 2 + i * q, 0.68 * H, s, s) for i in range(4)]
    return {'leds': leds, 'buttons': buttons, 'headSwitch': _r(x0, 0.73 * H, r, s),
            'headLabel': _r(x0, 0.69 * H, r, 0.03 * H)}


def rack(W, H):
    c = {}
    c['bypassSwitch'] = _r(0.017 * W, 0.268 * H, 0.103682 * W, 0.103682 * W)
    c['programLabel'] = _r(0.352 * W, 0.714 * H, 0.18 * W, 0.08 * H)
    c['modelSelector'] = _r(0.35 * W, 0.8 * H, 0.18 * W, 0.12 * H)
    c['syncSwitchRack'] = _r(0.89 * W, 0.7 * H, 0.08 * W, 0.2 * H)
    c['settings'] = _r(int(0.0065 * W), int(0.0065 * W), int(0.05 * W), int(0.05 * W))
    c['logo'] = _r(0.1385 * W, 0.714 * H, 0.208 * W, 0.205 * H)
    return c


def rack_knobs(W, H, n):
    X0, Y0, R = 0.1385 * W, 0.093 * H, 0.844 * W
    p = max(0.0, 0.98 * R / n)
    w = 0.11 * R
    return [_r(X0 + 0.01 * R + (p - w) / 2 + i * p, Y0, w, 0.552 * H) for i in range(n)]


def rack_mode_row(W, H):
    r = 0.121428572 * W
    x0 = 0.57 * W
    q = r / 4
    s = 0.025 * W
    return {'leds': [_r(x0 + (q - s) / 2 + i * q, 0.8 * H, s, s) for i in range(4)],
            'buttons': [_r(x0 + (q - s) / 2 + i * q, 0.67 * H, s, s) for i in range(4)],
            'headSwitch': _r(x0, 0.8 * H, r, s), 'headLabel': _r(x0, 0.7 * H, r, 0.08 * H)}

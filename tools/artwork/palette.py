"""The colours of the artwork. The editor's own text colours are light grey
0xDBDBDB (over dark areas), black (over light areas), grey 0x808080 and the
accent red 0xB61F24; the artwork is built around them."""


class C:
    ink = '#15171c'          # printing on light metal
    paper = '#d9dce0'        # light plates
    light = '#dbdbdb'        # printing on dark metal, same as the editor's light text
    red = '#b61f24'          # the accent red of the editor
    red_hi = '#d8343a'
    red_dk = '#7e1216'
    ring_lit = '#e23a3f'
    ring_off = '#3a3d45'
    ring_mark = '#8a8f98'

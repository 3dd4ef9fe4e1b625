#!/usr/bin/env python3
"""Draws the resource module's pictures: banners, tree images, the secure
mark, the status animation, the page picture and the product icon.

Standard library only. Shapes are filled on a grid four times finer than the
picture and averaged down, so edges are smooth. Pictures with a key colour
get pure magenta (0xFF00FF) wherever a pixel is less than half covered, and
the colour of the covered part elsewhere, so no pink fringe appears when the
key is cut out. Run it from anywhere; it rewrites the files beside it:

    python3 platform/vrelm102/art/draw.py
"""
import math
import os
import struct

SS = 4  # subsamples per pixel along each axis
KEY = (255, 0, 255)
HERE = os.path.dirname(os.path.abspath(__file__))

# Palette.
NAVY = (22, 52, 100)
BLUE = (31, 86, 160)
SKY = (64, 150, 220)
TEAL = (36, 160, 178)
ORANGE = (242, 150, 46)
GREEN = (52, 160, 80)
DARK = (58, 66, 78)
GREY = (120, 130, 142)
LIGHT = (226, 231, 237)
PAPER = (252, 252, 250)
GOLD = (226, 170, 40)
WHITE = (255, 255, 255)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class Canvas:
    """Subsampled RGB picture with a coverage flag per subsample."""

    def __init__(self, w, h, background=None):
        self.w, self.h = w, h
        self.W, self.H = w * SS, h * SS
        self.px = [background or (0, 0, 0)] * (self.W * self.H)
        self.cov = bytearray(b'\x01' if background else b'\x00') * (self.W * self.H)

    # Every shape is a predicate over picture coordinates (floats, in pixels).
    def fill(self, inside, box, paint, alpha=1.0):
        x0, y0, x1, y1 = box
        X0 = max(0, int(math.floor(x0 * SS)))
        Y0 = max(0, int(math.floor(y0 * SS)))
        X1 = min(self.W, int(math.ceil(x1 * SS)))
        Y1 = min(self.H, int(math.ceil(y1 * SS)))
        solid = paint if isinstance(paint, tuple) else None
        for Y in range(Y0, Y1):
            y = (Y + 0.5) / SS
            row = Y * self.W
            for X in range(X0, X1):
                x = (X + 0.5) / SS
                if not inside(x, y):
                    continue
                c = solid or paint(x, y)
                i = row + X
                if alpha < 1.0 and self.cov[i]:
                    c = mix(self.px[i], c, alpha)
                elif alpha < 1.0:
                    continue
                self.px[i] = c
                self.cov[i] = 1

    def rect(self, x0, y0, x1, y1, paint, alpha=1.0):
        self.fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, (x0, y0, x1, y1), paint, alpha)

    def rrect(self, x0, y0, x1, y1, r, paint, alpha=1.0):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self.fill(inside, (x0, y0, x1, y1), paint, alpha)

    def ellipse(self, cx, cy, rx, ry, paint, alpha=1.0):
        self.fill(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0,
                  (cx - rx, cy - ry, cx + rx, cy + ry), paint, alpha)

    def ring(self, cx, cy, r, width, paint, alpha=1.0, start=None, sweep=None):
        def inside(x, y):
            d = math.hypot(x - cx, y - cy)
            if not (r - width / 2 <= d <= r + width / 2):
                return False
            if start is None:
                return True
            a = (math.degrees(math.atan2(y - cy, x - cx)) - start) % 360
            return a <= sweep
        e = r + width
        self.fill(inside, (cx - e, cy - e, cx + e, cy + e), paint, alpha)

    def polygon(self, pts, paint, alpha=1.0):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]

        def inside(x, y):
            c = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        self.fill(inside, (min(xs), min(ys), max(xs), max(ys)), paint, alpha)

    def line(self, x0, y0, x1, y1, width, paint, alpha=1.0):
        dx, dy = x1 - x0, y1 - y0
        n = math.hypot(dx, dy) or 1.0
        ox, oy = -dy / n * width / 2, dx / n * width / 2
        self.polygon([(x0 + ox, y0 + oy), (x1 + ox, y1 + oy), (x1 - ox, y1 - oy), (x0 - ox, y0 - oy)],
                     paint, alpha)

    def pixels(self, keyed):
        """Averaged (r, g, b, a) rows, top row first."""
        out = []
        n = SS * SS
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r = g = b = 0.0
                k = 0
                for Y in range(y * SS, y * SS + SS):
                    base = Y * self.W + x * SS
                    for i in range(base, base + SS):
                        if self.cov[i]:
                            c = self.px[i]
                            r += c[0]; g += c[1]; b += c[2]
                            k += 1
                if k == 0 or (keyed and k * 2 < n):
                    row.append(KEY + (0,) if keyed else (0, 0, 0, 0))
                    continue
                a = 255 if keyed else round(255 * k / n)
                row.append((round(r / k), round(g / k), round(b / k), a))
            out.append(row)
        return out


def write_bmp(name, canvas, keyed):
    rows = canvas.pixels(keyed)
    w, h = canvas.w, canvas.h
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        data += line + b'\0' * (stride - len(line))
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(header + info + data)


def write_ico(name, canvases):
    images = []
    for c in canvases:
        rows = c.pixels(False)
        w, h = c.w, c.h
        xor = bytearray()
        for row in reversed(rows):
            for r, g, b, a in row:
                xor += bytes((b, g, r, a))
        mask_stride = ((w + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(rows):
            bits = bytearray(mask_stride)
            for x, p in enumerate(row):
                if p[3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((w, h, info + xor + mask))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, blob in images:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for _, _, blob in images:
        out += blob
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(out)


# ---- Motifs, drawn in a box of size s at (x, y) -------------------------------

def printer(c, x, y, s, body=DARK, page_out=1.0, lights=(GREEN,)):
    u = s / 16.0
    P = lambda a, b: (x + a * u, y + b * u)
    # paper in the feeder
    c.rect(*P(4, 1), *P(12, 7), GREY)
    c.rect(*P(4.8, 1.8), *P(11.2, 7), PAPER)
    # body
    c.rrect(*P(0.5, 5.5), *P(15.5, 12.5), 1.6 * u, body)
    c.rrect(*P(1.4, 6.3), *P(14.6, 9.0), 1.0 * u, mix(body, WHITE, 0.35))
    c.rect(*P(3, 10.5), *P(13, 11.5), mix(body, (0, 0, 0), 0.45))
    for i, col in enumerate(lights):
        c.ellipse(*P(12.8 - i * 1.9, 7.6), 0.75 * u, 0.75 * u, col)
    # page coming out
    if page_out > 0:
        bottom = 11 + 4.5 * page_out
        c.rect(*P(3.6, 10.8), *P(12.4, bottom), GREY)
        c.rect(*P(4.3, 11.0), *P(11.7, bottom - 0.6), PAPER)


def check_badge(c, x, y, s):
    c.ellipse(x + s / 2, y + s / 2, s / 2, s / 2, WHITE)
    c.ellipse(x + s / 2, y + s / 2, s / 2 - s * 0.1, s / 2 - s * 0.1, GREEN)
    w = s * 0.16
    c.line(x + s * 0.27, y + s * 0.52, x + s * 0.44, y + s * 0.70, w, WHITE)
    c.line(x + s * 0.42, y + s * 0.71, x + s * 0.74, y + s * 0.32, w, WHITE)


def network_badge(c, x, y, s):
    c.ellipse(x + s / 2, y + s / 2, s / 2, s / 2, WHITE)
    c.ellipse(x + s / 2, y + s / 2, s / 2 - s * 0.1, s / 2 - s * 0.1, SKY)
    w = s * 0.12
    c.line(x + s * 0.5, y + s * 0.22, x + s * 0.5, y + s * 0.62, w, WHITE)
    c.line(x + s * 0.25, y + s * 0.62, x + s * 0.75, y + s * 0.62, w, WHITE)
    c.rect(x + s * 0.2, y + s * 0.62, x + s * 0.3, y + s * 0.8, WHITE)
    c.rect(x + s * 0.7, y + s * 0.62, x + s * 0.8, y + s * 0.8, WHITE)


def folder(c, opened):
    edge = (176, 120, 20)
    back = (236, 180, 64)
    front = (250, 206, 100)
    c.polygon([(0.5, 3), (6, 3), (7.5, 4.5), (15.5, 4.5), (15.5, 14), (0.5, 14)], edge)
    c.polygon([(1.3, 3.8), (5.7, 3.8), (7.2, 5.3), (14.7, 5.3), (14.7, 13.2), (1.3, 13.2)], back)
    if opened:
        c.rect(2.5, 6, 13.5, 11, PAPER)
        c.polygon([(3, 7.5), (16, 7.5), (13.5, 14), (0.5, 14)], edge)
        c.polygon([(3.6, 8.3), (14.9, 8.3), (12.9, 13.2), (1.5, 13.2)], front)
    else:
        c.rect(1.3, 6.5, 14.7, 13.2, front)
        c.rect(1.3, 6.5, 14.7, 7.2, mix(front, WHITE, 0.5))


def page(c, x0, y0, x1, y1, lines=True, fold=3.0):
    c.polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], GREY)
    c.polygon([(x0 + 0.8, y0 + 0.8), (x1 - fold - 0.3, y0 + 0.8), (x1 - 0.8, y0 + fold + 0.3),
               (x1 - 0.8, y1 - 0.8), (x0 + 0.8, y1 - 0.8)], PAPER)
    c.polygon([(x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)], LIGHT)
    if lines:
        y = y0 + fold + 1.5
        while y < y1 - 2:
            c.rect(x0 + 2.2, y, x1 - 2.2, y + 1, SKY)
            y += 2.5


def tree_images():
    def pic():
        return Canvas(16, 16)
    out = {}
    c = pic(); folder(c, False); out[125] = c
    c = pic(); printer(c, 0, 0, 16); out[126] = c
    c = pic()  # managed list: a page listing printers
    page(c, 2, 0.5, 14, 15.5, lines=False)
    for i, y in enumerate((5, 8.5, 12)):
        c.rect(4, y, 6, y + 2, BLUE if i != 1 else TEAL)
        c.rect(7, y + 0.5, 12, y + 1.5, GREY)
    out[127] = c
    c = pic()  # discovery service: a magnifier over the network
    c.ring(6.5, 6.5, 4.6, 2.2, BLUE)
    c.ellipse(6.5, 6.5, 3.5, 3.5, (210, 232, 250))
    c.ellipse(5.3, 5.2, 1.2, 1.0, WHITE)
    c.line(10, 10, 14.8, 14.8, 2.8, DARK)
    out[128] = c
    c = pic(); printer(c, 0, 0, 16); check_badge(c, 8.5, 8.5, 7.5); out[129] = c
    c = pic(); folder(c, True); out[130] = c
    c = pic(); printer(c, 0, 0, 16, body=(70, 96, 130)); network_badge(c, 0, 8.5, 7.5); out[131] = c
    c = pic(); printer(c, 0, 0, 16, body=(70, 96, 130)); network_badge(c, 0, 8.5, 7.5)
    check_badge(c, 8.5, 8.5, 7.5); out[132] = c
    c = pic()  # manual entry: a pencil on a page
    page(c, 1, 0.5, 12, 15.5)
    c.polygon([(9, 13.5), (14, 4), (16, 5.2), (11, 14.7)], (220, 150, 30))
    c.polygon([(14, 4), (14.7, 2.7), (16.7, 3.9), (16, 5.2)], (230, 110, 110))
    c.polygon([(9, 13.5), (11, 14.7), (8.6, 16)], DARK)
    out[133] = c
    return out


def secure_mark():
    c = Canvas(16, 16)
    c.ring(8, 6.5, 3.6, 1.8, GREY, start=180, sweep=180)
    c.rect(4.4 - 0.9, 6.5, 4.4 + 0.9, 8, GREY)
    c.rect(11.6 - 0.9, 6.5, 11.6 + 0.9, 8, GREY)
    c.rrect(2, 7.5, 14, 15.5, 1.5, (176, 120, 20))
    c.rrect(2.8, 8.3, 13.2, 14.7, 1.0, GOLD)
    c.ellipse(8, 10.8, 1.3, 1.3, DARK)
    c.rect(7.4, 11, 8.6, 13.4, DARK)
    return c


def tile(c, s):
    """Background of the status picture: a soft rounded tile, opaque."""
    c.rect(0, 0, s, s, (244, 246, 249))
    c.rrect(1, 1, s - 1, s - 1, 5, (200, 210, 222))
    c.rrect(2, 2, s - 2, s - 2, 4, lambda x, y: mix(WHITE, (226, 236, 247), y / s))


ANIM = 40


def animation_frame(i, count):
    c = Canvas(ANIM, ANIM)
    tile(c, ANIM)
    t = i / count
    # a page leaves the printer over the first four fifths of the cycle
    out = min(1.0, t / 0.8)
    printer(c, 6, 5, 28, body=(52, 70, 98), page_out=out,
            lights=tuple(GREEN if (i // 4 + k) % 3 == 0 else (150, 200, 160) for k in range(3)))
    # a sweep around the tile marks activity
    c.ring(20, 20, 17.2, 1.4, SKY, start=(t * 360 * 2) % 360 - 90, sweep=70, alpha=0.9)
    return c


def status_still():
    c = Canvas(ANIM, ANIM)
    tile(c, ANIM)
    printer(c, 6, 5, 28, body=(52, 70, 98), page_out=1.0, lights=(GREEN, GREEN, GREEN))
    return c


def banner(w, h, printing):
    c = Canvas(w, h)
    top = NAVY
    bottom = (18, 96, 140) if not printing else (40, 70, 120)
    c.rect(0, 0, w, h, lambda x, y: mix(mix(top, bottom, x / w), (10, 30, 60), 0.25 * y / h))
    # soft light shapes to the right
    for k, (cx, r, a) in enumerate(((w - 90, 70, 0.10), (w - 30, 46, 0.12), (w - 160, 38, 0.07))):
        c.ellipse(cx, h * (0.2 + 0.3 * k), r, r, WHITE, alpha=a)
    # thin accent line along the bottom
    c.rect(0, h - 3, w, h, lambda x, y: mix(TEAL, ORANGE if printing else SKY, x / w))
    # motif at the left: printers joined to a destination
    u = h / 60.0
    if printing:
        page(c, 14 * u, 9 * u, 44 * u, 49 * u)
        # a clock: the job waits for its destination
        c.ellipse(42 * u, 44 * u, 11 * u, 11 * u, ORANGE)
        c.ring(42 * u, 44 * u, 7 * u, 1.6 * u, WHITE)
        c.line(42 * u, 44.6 * u, 42 * u, 38.5 * u, 1.8 * u, WHITE)
        c.line(41.4 * u, 44 * u, 46 * u, 44 * u, 1.8 * u, WHITE)
    else:
        for k, (px, py, sz) in enumerate(((10, 8, 26), (44, 26, 22))):
            printer(c, px * u, py * u, sz * u, body=(230, 236, 244) if k == 0 else (196, 214, 236),
                    lights=(TEAL,))
        c.line(36 * u, 22 * u, 48 * u, 30 * u, 1.6 * u, TEAL)
    return c


def page_picture():
    c = Canvas(48, 48)
    printer(c, 2, 6, 40, body=(52, 70, 98))
    check_badge(c, 27, 27, 19)
    return c


def product_icon(s):
    c = Canvas(s, s)
    r = s * 0.2
    c.rrect(0, 0, s, s, r, lambda x, y: mix(SKY, NAVY, (x + y) / (2 * s)))
    m = s * 0.14
    printer(c, m, m * 1.1, s - 2 * m, body=WHITE, lights=(ORANGE,))
    return c


def main():
    write_bmp('banner.bmp', banner(640, 62, False), False)
    write_bmp('banner_printing.bmp', banner(640, 62, True), False)
    for rid, c in tree_images().items():
        write_bmp('tree_%d.bmp' % rid, c, True)
    write_bmp('secure.bmp', secure_mark(), True)
    count = 264 - 210 + 1
    for i in range(count):
        write_bmp('anim_%02d.bmp' % i, animation_frame(i, count), False)
    write_bmp('status.bmp', status_still(), False)
    write_bmp('page.bmp', page_picture(), True)
    write_ico('product.ico', [product_icon(16), product_icon(32), product_icon(48)])


if __name__ == '__main__':
    main()

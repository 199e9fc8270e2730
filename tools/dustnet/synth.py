"""Synthetic training and evaluation frames for DustNet.

A frame is made the way the model pass sees a real one: a scene (soft content, gradients,
edges, textures, small highlights and thin lines of its own) is exposed onto film with grain,
dust, hairs and scratches lie on the film and block light in the scan, and the scan is printed
back to a positive whose BT.601 luminance the model reads. On a negative the blocked light
prints as light specks and threads; on a slide as dark ones. The target is the mask of the
dust that is visible in the print, widened by 1.5 pixels so that a 3-pixel speck still forms a
component the spot extraction keeps; dust that the print does not show is left out of the loss.

Every frame is a pure function of its seed, so a training run is reproducible and resumable.
Only torch operations on the CPU are used.
"""
import math

import torch
import torch.nn.functional as F

GROW = 1.5        # target widening, pixels
VISIBLE = 0.05    # mean print change over an object's core that counts as visible


def _gauss_kernel(sigma):
    radius = max(1, int(math.ceil(3 * sigma)))
    x = torch.arange(-radius, radius + 1, dtype=torch.float32)
    k = torch.exp(-0.5 * (x / sigma) ** 2)
    return k / k.sum()


def blur(img, sigma):
    """Separable Gaussian blur of an [H, W] plane, edges replicated."""
    if sigma <= 0.05:
        return img
    k = _gauss_kernel(sigma)
    r = (k.numel() - 1) // 2
    x = img[None, None]
    x = F.pad(x, (r, r, 0, 0), mode="replicate")
    x = F.conv2d(x, k.view(1, 1, 1, -1))
    x = F.pad(x, (0, 0, r, r), mode="replicate")
    x = F.conv2d(x, k.view(1, 1, -1, 1))
    return x[0, 0]


class Rng:
    """Thin wrapper over a seeded torch.Generator."""

    def __init__(self, seed):
        self.g = torch.Generator().manual_seed(int(seed) & 0x7FFFFFFFFFFFFFFF)

    def u(self, a=0.0, b=1.0):
        return a + (b - a) * torch.rand((), generator=self.g).item()

    def logu(self, a, b):
        return math.exp(self.u(math.log(a), math.log(b)))

    def i(self, a, b):  # inclusive
        return int(torch.randint(a, b + 1, (), generator=self.g).item())

    def chance(self, p):
        return self.u() < p

    def normal(self, *shape):
        return torch.randn(*shape, generator=self.g)

    def rand(self, *shape):
        return torch.rand(*shape, generator=self.g)


def smooth_noise(rng, h, w, cell):
    """Gaussian noise on a coarse grid of `cell` pixels, upsampled smoothly, unit-ish spread."""
    gh, gw = h // cell + 3, w // cell + 3
    coarse = rng.normal(1, 1, gh, gw)
    up = F.interpolate(coarse, size=(gh * cell, gw * cell), mode="bicubic", align_corners=False)
    oy, ox = rng.i(0, cell), rng.i(0, cell)
    return up[0, 0, oy:oy + h, ox:ox + w]


def grid(h, w):
    ys = torch.arange(h, dtype=torch.float32).view(-1, 1) + 0.5
    xs = torch.arange(w, dtype=torch.float32).view(1, -1) + 0.5
    return ys, xs


def soft_shape(rng, h, w, frame=None):
    """A random ellipse, rectangle or half-plane as a coverage 0..1 with a random edge softness.

    frame (height, width, y, x) makes the plane the window at (y, x) of a larger frame: the
    shape is placed and sized in the frame, so a crop sees pieces of large shapes."""
    fh, fw, oy, ox = frame or (h, w, 0, 0)
    ys, xs = grid(h, w)
    ys, xs = ys + oy, xs + ox
    soft = rng.logu(0.4, 6.0)
    kind = rng.i(0, 2)
    cy, cx = rng.u(-0.2, 1.2) * fh, rng.u(-0.2, 1.2) * fw
    ang = rng.u(0, math.pi)
    ca, sa = math.cos(ang), math.sin(ang)
    u = (xs - cx) * ca + (ys - cy) * sa
    v = -(xs - cx) * sa + (ys - cy) * ca
    size = max(fh, fw)
    if kind == 0:
        a, b = rng.logu(0.03, 0.6) * size, rng.logu(0.03, 0.6) * size
        d = (torch.sqrt((u / a) ** 2 + (v / b) ** 2) - 1) * min(a, b)
    elif kind == 1:
        a, b = rng.logu(0.03, 0.6) * size, rng.logu(0.03, 0.6) * size
        d = torch.maximum(u.abs() - a, v.abs() - b)
    else:
        d = u
    return torch.sigmoid(-d / soft)


def curve_points(rng, cy, cx, length, wiggle, straight):
    """A smooth random path of about `length` pixels starting near (cy, cx)."""
    n = max(2, int(length / 3))
    step = length / n
    ang = rng.u(0, 2 * math.pi)
    turn = 0.0
    pts = [(cy, cx)]
    for _ in range(n):
        if not straight:
            turn = 0.8 * turn + rng.u(-1, 1) * wiggle
            ang += turn
        cy, cx = cy + step * math.sin(ang), cx + step * math.cos(ang)
        pts.append((cy, cx))
    return torch.tensor(pts, dtype=torch.float32)


def polyline_distance(pts, y0, x0, h, w):
    """Distance from each pixel centre of the window at (y0, x0) of size h x w to the path."""
    ys, xs = grid(h, w)
    ys, xs = ys + y0, xs + x0
    best = torch.full((h, w), float("inf"))
    a, b = pts[:-1], pts[1:]
    for k in range(a.shape[0]):
        ay, ax = a[k, 0].item(), a[k, 1].item()
        dy, dx = b[k, 0].item() - ay, b[k, 1].item() - ax
        ll = dy * dy + dx * dx
        if ll <= 1e-9:
            t = torch.zeros_like(best)
        else:
            t = (((ys - ay) * dy + (xs - ax) * dx) / ll).clamp(0, 1)
        d = torch.sqrt((ys - ay - t * dy) ** 2 + (xs - ax - t * dx) ** 2)
        best = torch.minimum(best, d)
    return best


def blob_distance(rng, cy, cx, radius, y0, x0, h, w):
    """Signed distance (approximate) to an irregular blob of mean radius `radius`."""
    ys, xs = grid(h, w)
    dy, dx = ys + y0 - cy, xs + x0 - cx
    rr = torch.sqrt(dy * dy + dx * dx)
    phi = torch.atan2(dy, dx)
    edge = torch.full_like(rr, radius)
    irregular = rng.u(0, 0.35)
    for k in (2, 3, 5):
        edge = edge + radius * irregular / k * math.sqrt(k) * rng.u(-1, 1) * torch.cos(k * phi + rng.u(0, 6.3))
    return rr - edge.clamp(min=0.3 * radius)


class Dust:
    """One dust object: its coverage (0..1, anti-aliased) and widened target, in a window."""

    def __init__(self, kind, y0, x0, cover, grown, core, params):
        self.kind, self.y0, self.x0 = kind, y0, x0
        self.cover, self.grown, self.core = cover, grown, core
        self.params = params


def make_dust(rng, h, w, kind, size_scale=1.0):
    """A speck, hair or scratch somewhere in an h x w frame (it may leave the frame)."""
    if kind == "speck":
        diameter = rng.logu(2.5, 28.0) * size_scale
        radius = diameter / 2
        cy, cx = rng.u(0, h), rng.u(0, w)
        pad = int(radius * 1.6 + 4)
        y0, x0 = int(cy) - pad, int(cx) - pad
        hh = ww = 2 * pad + 1
        d = blob_distance(rng, cy, cx, radius, y0, x0, hh, ww)
        params = {"cy": cy, "cx": cx, "diameter": diameter}
    else:
        straight = kind == "scratch"
        width = rng.logu(0.8, 5.0) if kind == "hair" else rng.logu(0.7, 2.5)
        width *= size_scale
        length = rng.logu(20, 500) * size_scale if kind == "hair" else rng.logu(30, 900) * size_scale
        cy, cx = rng.u(0, h), rng.u(0, w)
        pts = curve_points(rng, cy, cx, length, rng.u(0.02, 0.25), straight)
        pad = int(width + 4)
        y0 = int(pts[:, 0].min().floor()) - pad
        x0 = int(pts[:, 1].min().floor()) - pad
        hh = int(pts[:, 0].max().ceil()) + pad - y0 + 1
        ww = int(pts[:, 1].max().ceil()) + pad - x0 + 1
        # Only the part within the frame (plus a margin) is rendered.
        cy0, cx0 = max(y0, -pad), max(x0, -pad)
        hh = min(y0 + hh, h + pad) - cy0
        ww = min(x0 + ww, w + pad) - cx0
        y0, x0 = cy0, cx0
        if hh <= 0 or ww <= 0:
            return None
        d = polyline_distance(pts, y0, x0, hh, ww) - width / 2
        params = {"points": pts.tolist(), "width": width}
    cover = (0.5 - d).clamp(0, 1)
    grown = (d < GROW).float()
    core = (d < 0).float()
    if core.sum() == 0:
        core = (d < 0.5).float()
    return Dust(kind, y0, x0, cover, grown, core, params)


def paste(plane, obj_plane, y0, x0, op):
    h, w = plane.shape
    oh, ow = obj_plane.shape
    ya, xa = max(0, y0), max(0, x0)
    yb, xb = min(h, y0 + oh), min(w, x0 + ow)
    if ya >= yb or xa >= xb:
        return None
    sub = obj_plane[ya - y0:yb - y0, xa - x0:xb - x0]
    plane[ya:yb, xa:xb] = op(plane[ya:yb, xa:xb], sub)
    return (ya, yb, xa, xb)


def scene(rng, h, w, frame=None):
    """Log10 exposure of a scene: soft content, gradients, shapes, textures, small details.

    With frame (height, width, y, x) the plane is a window of a larger frame's scene: shapes
    and gradients are of the frame's size, and small details are as many per pixel as the
    frame has, so a training crop looks like a piece of a whole frame. Thin lines of the scene
    stay as frequent as in a whole frame: they are the finds to unlearn."""
    fh, fw, _, _ = frame or (h, w, 0, 0)
    share = h * w / (fh * fw)
    e = torch.full((h, w), rng.u(-1.6, -0.5))
    size = max(fh, fw)
    for cell in (256, 128, 64, 32, 16):
        if cell > 2 * size and cell > 64:
            continue
        e += rng.u(0.0, 0.35) * smooth_noise(rng, h, w, cell)
    ys, xs = grid(h, w)
    ang = rng.u(0, 2 * math.pi)
    e += rng.u(-0.6, 0.6) * ((xs * math.cos(ang) + ys * math.sin(ang)) / size)
    for _ in range(rng.i(0, 10)):
        e += rng.u(-0.9, 0.9) * soft_shape(rng, h, w, frame)
    for _ in range(rng.i(0, 4)):  # texture patches: foliage, fabric, gravel
        fine = rng.normal(h, w)
        band = blur(fine, rng.u(0.6, 2.5)) - blur(fine, rng.u(3.0, 8.0))
        band = band / (band.std() + 1e-6)
        e += rng.u(0.03, 0.3) * band * soft_shape(rng, h, w, frame)
    details = torch.zeros(h, w)
    for _ in range(rng.i(0, 40)):  # highlights, dots, small objects of the scene itself
        if share < 1 and not rng.chance(share):
            continue
        radius = rng.logu(0.6, 6.0)
        cy, cx = rng.u(0, h), rng.u(0, w)
        pad = int(radius * 1.6 + 3)
        y0, x0 = int(cy) - pad, int(cx) - pad
        d = blob_distance(rng, cy, cx, radius, y0, x0, 2 * pad + 1, 2 * pad + 1)
        amp = rng.u(-0.7, 0.7)
        paste(details, amp * (0.5 - d).clamp(0, 1), y0, x0, lambda a, b: a + b)
    for _ in range(rng.i(0, 2)):  # thin lines of the scene: wires, twigs, edges of things
        width = rng.logu(0.7, 3.0)
        pts = curve_points(rng, rng.u(0, h), rng.u(0, w), rng.logu(20, 400), rng.u(0, 0.1),
                           rng.chance(0.5))
        y0 = int(pts[:, 0].min().floor()) - 5
        x0 = int(pts[:, 1].min().floor()) - 5
        hh = int(pts[:, 0].max().ceil()) + 5 - y0 + 1
        ww = int(pts[:, 1].max().ceil()) + 5 - x0 + 1
        y1, x1 = max(y0, -5), max(x0, -5)
        hh, ww = min(y0 + hh, h + 5) - y1, min(x0 + ww, w + 5) - x1
        if hh <= 0 or ww <= 0:
            continue
        d = polyline_distance(pts, y1, x1, hh, ww) - width / 2
        paste(details, rng.u(-0.6, 0.6) * (0.5 - d).clamp(0, 1), y1, x1, lambda a, b: a + b)
    e = e + details
    e = blur(e, rng.logu(0.5, 1.8))  # lens and scanner softness: the scene is never pin-sharp
    return e.clamp(-3.0, 0.4)


def film_border(rng, h, w):
    """Film rebate, sprocket holes and holder edges along one side, or nothing: (mask, level)."""
    if not rng.chance(0.25):
        return None
    ys, xs = grid(h, w)
    side = rng.i(0, 3)
    coord = [ys, h - ys, xs, w - xs][side]
    along = [xs, xs, ys, ys][side]
    depth = rng.u(5, 0.4 * min(h, w))
    rebate = (coord < depth).float()
    holes = torch.zeros(h, w)
    if rng.chance(0.6):
        pitch = rng.u(18, 60)
        hole = rng.u(0.4, 0.7) * pitch
        phase = rng.u(0, pitch)
        inside = ((along + phase) % pitch) < hole
        band = (coord > depth * 0.2) & (coord < depth * 0.7)
        holes = (inside & band).float()
        holes = blur(holes, 0.7)
    return rebate, holes


def render(rng, h, w, dust_counts, size_scale=1.0, style="steep", frame=None):
    """One frame: (luma, target, ignore, negative, objects, scan), planes [h, w].

    scan is the grey transmission the film is scanned as (dust included), for the classic
    finders; negative tells the film (a slide otherwise). style chooses the print: "steep", a
    contrasty S-curve over the density, or "paper", the library's way of printing (density
    normalised between the frame's film base and its densest parts, a logistic paper curve)."""
    negative = rng.chance(0.55)
    e = scene(rng, h, w, frame)
    if negative:
        gamma = rng.u(0.5, 0.8)
        base = rng.u(0.1, 0.35)
        density = base + gamma * (e + 3.0)
    else:
        gamma = rng.u(0.85, 1.2)
        base = rng.u(0.1, 0.3)
        density = base + gamma * (-e)
    rng._film = (base, gamma)
    grain = blur(rng.normal(h, w), rng.u(0.5, 1.2))
    grain = grain / (grain.std() + 1e-6)
    amp = rng.logu(0.006, 0.05)
    # Grain shows most in the middle densities of the film.
    density = density + amp * grain * (0.6 + 0.4 * torch.sin(density.clamp(0, 3) * 1.05))
    border = film_border(rng, h, w)
    if border is not None:
        rebate, holes = border
        density = density * (1 - rebate) + rebate * (base + rng.u(0, 0.1) if negative else rng.u(2.5, 3.5))
        density = density * (1 - holes) + holes * rng.u(0.0, 0.05)
    transmission = torch.pow(10.0, -density)

    objects = []
    blocked = torch.zeros(h, w)
    for kind, count in dust_counts.items():
        for _ in range(count):
            obj = make_dust(rng, h, w, kind, size_scale)
            if obj is None:
                continue
            obj.alpha = rng.u(0.45, 1.0) if kind == "speck" else rng.u(0.5, 1.0)
            soft = blur(obj.cover, rng.u(0.2, 0.6)) * obj.alpha
            if paste(blocked, soft, obj.y0, obj.x0, torch.maximum) is None:
                continue
            objects.append(obj)
    scan_clean = transmission
    scan = transmission * (1 - blocked)
    scan = scan * (1 + rng.u(0, 0.01) * rng.normal(h, w))  # scanner noise

    printer = print_luma if style == "steep" else paper_luma
    luma_clean = printer(rng, scan_clean, negative, probe=True)
    luma = printer(rng, scan, negative)

    target = torch.zeros(h, w)
    ignore = torch.zeros(h, w)
    diff = (luma - luma_clean).abs()
    for obj in objects:
        y0, x0 = obj.y0, obj.x0
        oh, ow = obj.core.shape
        ya, xa = max(0, y0), max(0, x0)
        yb, xb = min(h, y0 + oh), min(w, x0 + ow)
        core = obj.core[ya - y0:yb - y0, xa - x0:xb - x0]
        n = core.sum().item()
        change = (diff[ya:yb, xa:xb] * core).sum().item() / max(n, 1.0)
        obj.visible = n > 0 and change >= VISIBLE
        obj.change = change
        plane = target if obj.visible else ignore
        paste(plane, obj.grown, y0, x0, torch.maximum)
    ignore = ignore * (1 - target)
    return luma, target, ignore, negative, objects, scan


def print_luma(rng, scan, negative, probe=False):
    """The positive print's luminance of a scan: inverted for a negative, a paper-like S-curve.

    The curve is drawn once per frame: the call with probe=True draws it and the next call
    reuses it, so the clean and the dusty print of one frame share their curve.
    """
    if probe:
        rng._curve = (rng.u(2.0, 4.5), rng.u(-0.35, 0.35), rng.u(0.85, 1.25), rng.u(0.0, 0.06),
                      rng.u(0.9, 1.0))
    slope, shift, gamma, black, white = rng._curve
    d = -torch.log10(scan.clamp(min=1e-5))
    signal = d if negative else -d
    centre = torch.quantile(signal[::4, ::4].flatten(), 0.5).item() + shift
    p = torch.sigmoid(slope * (signal - centre) * 2.3)
    p = black + (white - black) * p
    return p.clamp(0, 1).pow(1 / gamma)


def paper_luma(rng, scan, negative, probe=False):
    """The print as the library makes it: density normalised between the film base and the
    densest parts of a whole frame (as the film analysis measures them; a crop is a part of a
    frame, so they come from the film's own range), reversed for a slide, through a logistic
    paper curve of random steepness, contrast and exposure."""
    d = -torch.log10(scan.clamp(min=1e-5))
    if probe:
        base, gamma = rng._film
        if negative:
            low, high = base + gamma * rng.u(0.2, 1.2), base + gamma * rng.u(2.0, 3.2)
        else:
            low, high = base + gamma * rng.u(-0.3, 0.6), base + gamma * rng.u(2.0, 3.0)
        rng._paper = (low, high - low, rng.u(3.0, 9.0), rng.u(0.7, 1.4), rng.u(-0.15, 0.15))
    low, span, k, contrast, shift = rng._paper
    n = (d - low) / span
    if not negative:
        n = 1 - n
    v = contrast * (n - 0.5 - shift) + 0.5
    lo = 1 / (1 + math.exp(k / 2))
    s = torch.sigmoid(k * (v - 0.5))
    return ((s - lo) / (1 - 2 * lo)).clamp(0, 1)


def frame_window(rng, size):
    """A size x size window somewhere in a frame of 3:2 whose long side is 1200 to 4000 pixels
    (the sizes the model pass shows the network)."""
    long = rng.logu(1200, 4000)
    fh, fw = (long / 1.5, long) if rng.chance(0.5) else (long, long / 1.5)
    return fh, fw, rng.u(0, fh - size), rng.u(0, fw - size)


def training_sample(seed, size, style="steep", scenery="small"):
    """One training crop: (luma, target, ignore) as [1, size, size] tensors. style "mixed"
    prints 60 % of the crops the library's way, chosen by the seed. scenery "frame" makes the
    crop's scene a window of a whole frame's (scene()); "small" fits a scene to the crop, with
    its many more small details and lines; "mixed" takes either for half the crops."""
    if style == "mixed":
        style = "paper" if Rng(seed ^ 0x5A5A5A5A).chance(0.6) else "steep"
    rng = Rng(seed)
    if scenery == "mixed":
        scenery = "frame" if Rng(seed ^ 0x3C3C3C3C).chance(0.5) else "small"
    frame = frame_window(Rng(seed ^ 0x3C3C3C3C), size) if scenery == "frame" else None
    clean = rng.chance(0.2)
    counts = {"speck": 0, "hair": 0, "scratch": 0} if clean else {
        "speck": rng.i(0, 8), "hair": rng.i(0, 2), "scratch": rng.i(0, 1) if rng.chance(0.4) else 0}
    luma, target, ignore, _, _, _ = render(rng, size, size, counts, size_scale=rng.logu(0.7, 1.4),
                                           style=style, frame=frame)
    return luma[None], target[None], ignore[None]

"""Evaluates the dust model against the classic finders on a held-out synthetic set.

Frames come from synth.py with seeds no training run uses. Each frame's scan (grey
transmission) goes through dust_eval, which runs the classic scan pass on the scan and the
model's finds on the library's own print of it (Converter::modelFinds), both at one
sensitivity. Reported, for each method:
- recall of visible specks of 3 pixels across and more: a speck counts as found when a find
  lies within its radius + 3 pixels of its centre;
- recall of visible hairs (curved) and scratches (straight): found when finds cover at least
  half of the line's length (a point is covered within a find's radius + half the line's width
  + 1 pixel);
- false finds per megapixel on clean grainy frames (repairs, a chain counting once), and on the
  dusty frames those finds that touch no dust at all.

  /usr/bin/python3 tools/dustnet/evaluate.py --model NegativeCore/Resources/Models/DustNet.onnx \
      --runner build/release/tools/dustnet/dust_eval --out build/dustnet/eval
"""
import argparse
import math
import os
import subprocess
import time

import torch

import synth

EVAL_SEED = 9_000_000_000
BORDER = 10  # pixels: the classic finder never reports a component touching the frame's edge


def make_frames(args):
    manifest = []
    truth = []
    w, h = args.width, args.height
    for k in range(args.dusty + args.clean):
        rng = synth.Rng(args.seed + k)
        clean = k >= args.dusty
        counts = {"speck": 0, "hair": 0, "scratch": 0} if clean else {
            "speck": args.specks, "hair": args.hairs, "scratch": args.scratches}
        _, _, _, negative, objects, scan = synth.render(rng, h, w, counts)
        path = os.path.join(args.out, f"frame{k:03d}.f32")
        scan.numpy().astype("float32").tofile(path)
        manifest.append(f"{path} {w} {h} {'negative' if negative else 'slide'}")
        truth.append({"path": path, "clean": clean, "objects": objects, "negative": negative})
    with open(os.path.join(args.out, "manifest.txt"), "w") as f:
        f.write("\n".join(manifest) + "\n")
    return truth


def read_finds(path):
    finds = {"classic": [], "model": []}
    seconds = {}
    with open(path) as f:
        for line in f:
            parts = line.split()
            if parts[0] == "seconds":
                seconds = {parts[1]: float(parts[2]), parts[3]: float(parts[4])}
            else:
                finds[parts[0]].append(tuple(map(float, parts[1:5])))
    return finds, seconds


def line_samples(points, width, height):
    """Points every 2 pixels along a polyline, inside the frame less its border."""
    out = []
    for (ay, ax), (by, bx) in zip(points[:-1], points[1:]):
        n = max(1, int(math.hypot(by - ay, bx - ax) / 2))
        for i in range(n):
            y, x = ay + (by - ay) * i / n, ax + (bx - ax) * i / n
            if BORDER <= x < width - BORDER and BORDER <= y < height - BORDER:
                out.append((x, y))
    return out


def repairs(finds):
    """Finds grouped into repairs: each single spot alone, each chain together."""
    groups = {}
    singles = []
    for f in finds:
        if f[3] > 0:
            groups.setdefault(f[3], []).append(f)
        else:
            singles.append([f])
    return singles + list(groups.values())


def distance_to_object(obj, x, y):
    p = obj.params
    if obj.kind == "speck":
        return max(0.0, math.hypot(x - p["cx"], y - p["cy"]) - p["diameter"] / 2)
    best = float("inf")
    pts = p["points"]
    for (ay, ax), (by, bx) in zip(pts[:-1], pts[1:]):
        dy, dx = by - ay, bx - ax
        ll = dy * dy + dx * dx
        t = 0.0 if ll == 0 else max(0.0, min(1.0, ((y - ay) * dy + (x - ax) * dx) / ll))
        best = min(best, math.hypot(y - ay - t * dy, x - ax - t * dx))
    return max(0.0, best - p["width"] / 2)


def score(truth, args):
    rows = {}
    for method in ("classic", "model"):
        stats = {"speck": [0, 0], "hair": [0, 0], "scratch": [0, 0], "clean_false": 0,
                 "dusty_false": 0, "seconds": 0.0}
        for frame in truth:
            finds, seconds = read_finds(frame["path"] + ".finds")
            stats["seconds"] += seconds.get(method, 0.0)
            mine = finds[method]
            for obj in frame["objects"]:
                if not obj.visible:
                    continue
                if obj.kind == "speck":
                    p = obj.params
                    if p["diameter"] < 3 or not (BORDER <= p["cx"] < args.width - BORDER and
                                                 BORDER <= p["cy"] < args.height - BORDER):
                        continue
                    hit = any(math.hypot(x - p["cx"], y - p["cy"]) <= p["diameter"] / 2 + 3
                              for x, y, _, _ in mine)
                else:
                    samples = line_samples(obj.params["points"], args.width, args.height)
                    if len(samples) < 5:
                        continue
                    half = obj.params["width"] / 2
                    covered = sum(1 for sx, sy in samples if any(
                        math.hypot(x - sx, y - sy) <= r + half + 1 for x, y, r, _ in mine))
                    hit = covered >= 0.5 * len(samples)
                stats[obj.kind][0] += hit
                stats[obj.kind][1] += 1
            for repair in repairs(mine):
                if frame["clean"]:
                    stats["clean_false"] += 1
                elif not any(distance_to_object(o, x, y) <= r + 3
                             for o in frame["objects"] for x, y, r, _ in repair):
                    stats["dusty_false"] += 1
        rows[method] = stats
    return rows


def table(rows, args):
    mp_clean = args.clean * args.width * args.height / 1e6
    mp_dusty = args.dusty * args.width * args.height / 1e6
    lines = []
    for method, s in rows.items():
        def rate(k):
            found, total = s[k]
            return f"{found / max(total, 1):.3f} ({found}/{total})"
        lines.append(f"| {method} | {rate('speck')} | {rate('hair')} | {rate('scratch')} | "
                     f"{s['clean_false'] / mp_clean:.2f} | {s['dusty_false'] / mp_dusty:.2f} | "
                     f"{s['seconds'] / (mp_clean + mp_dusty):.3f} |")
    return lines


HEADER = ["| method | specks >= 3 px | hairs | scratches | false finds / MP (clean) | "
          "false finds / MP (dusty) | seconds / MP |", "|---|---|---|---|---|---|---|"]


def arguments(ap):
    ap.add_argument("--runner", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--seed", type=int, default=EVAL_SEED,
                    help="the first frame's seed (the held-out set unless changed)")
    ap.add_argument("--width", type=int, default=1800)
    ap.add_argument("--height", type=int, default=1200)
    ap.add_argument("--dusty", type=int, default=40)
    ap.add_argument("--clean", type=int, default=20)
    ap.add_argument("--specks", type=int, default=16)
    ap.add_argument("--hairs", type=int, default=2)
    ap.add_argument("--scratches", type=int, default=1)
    ap.add_argument("--sensitivity", type=float, default=0.5)
    ap.add_argument("--threads", type=int, default=2)


def run(truth, model, args):
    """The runner over the frames with one model; the table rows for the classic pass and it."""
    env = dict(os.environ, KV_DUSTMODEL=os.path.abspath(model))
    subprocess.run([args.runner, os.path.join(args.out, "manifest.txt"), str(args.sensitivity)],
                   env=env, check=True)
    return score(truth, args)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--model", required=True)
    arguments(ap)
    args = ap.parse_args()
    torch.set_num_threads(args.threads)
    os.makedirs(args.out, exist_ok=True)

    t0 = time.time()
    truth = make_frames(args)
    t1 = time.time()
    rows = run(truth, args.model, args)
    t2 = time.time()
    print(f"{args.dusty} dusty and {args.clean} clean frames of {args.width} x {args.height}, "
          f"sensitivity {args.sensitivity} (frames made in {t1 - t0:.0f} s, finders ran {t2 - t1:.0f} s)")
    print("\n".join(HEADER + table(rows, args)))


if __name__ == "__main__":
    main()

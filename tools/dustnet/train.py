"""Trains DustNet on synthetic frames (synth.py) on the CPU, reproducibly from a seed.

The second stage of the shipped model starts from the first one's weights (--init) and sees
frames printed both ways (--style mixed); see README.md.

Checkpoints go to <run>/checkpoint.pt every --save-every steps (model, optimiser, step); a run
started again with the same folder resumes from its checkpoint, so training can be spread over
several short sessions. Frame i of step s has the seed (seed · 10^9 + s · batch + i); the
validation frames use seeds from a range of their own.

  /usr/bin/python3 tools/dustnet/train.py --run build/dustnet --steps 3000 --threads 4
"""
import argparse
import json
import math
import os
import time

import torch
import torch.nn.functional as F

import model as dustnet
import synth

VALIDATION_SEED = 7_000_000_000


def batch(seeds, size, style="steep", scene="small"):
    samples = [synth.training_sample(s, size, style, scene) for s in seeds]
    return [torch.stack(parts) for parts in zip(*samples)]


class Steps(torch.utils.data.Dataset):
    """The batches of steps first … last − 1, made in a worker process while the network trains."""

    def __init__(self, args, first):
        self.args, self.first = args, first

    def __len__(self):
        return self.args.steps - self.first

    def __getitem__(self, k):
        step = self.first + k
        seeds = [self.args.seed * 10**9 + step * self.args.batch + i for i in range(self.args.batch)]
        return batch(seeds, self.args.size, self.args.style, self.args.scene)


def one_thread(_):
    torch.set_num_threads(1)


def loss_fn(logits, target, ignore):
    weight = (1 - ignore) * (1 + 4 * target)  # dust pixels are rare: weigh them up
    bce = F.binary_cross_entropy_with_logits(logits, target, weight=weight, reduction="sum")
    bce = bce / weight.sum().clamp(min=1)
    prob = torch.sigmoid(logits) * (1 - ignore)
    inter = (prob * target).sum()
    dice = 1 - (2 * inter + 1) / (prob.sum() + target.sum() + 1)
    return bce + 0.5 * dice


def learning_rate(step, steps, peak):
    warm = min(200, steps // 10)
    if step < warm:
        return peak * (step + 1) / warm
    t = (step - warm) / max(1, steps - warm)
    return peak * (0.02 + 0.98 * 0.5 * (1 + math.cos(math.pi * t)))


def validate(net, frames, size, style, scene):
    net.eval()
    tp = fp = fn = 0.0
    total = 0.0
    with torch.no_grad():
        for k in range(0, len(frames), 8):
            luma, target, ignore = batch(frames[k:k + 8], size, style, scene)
            logits = net(luma)
            total += loss_fn(logits, target, ignore).item() * luma.shape[0]
            pred = (torch.sigmoid(logits) > 0.5).float() * (1 - ignore)
            tp += (pred * target).sum().item()
            fp += (pred * (1 - target)).sum().item()
            fn += ((1 - pred) * target).sum().item()
    net.train()
    return {"loss": total / len(frames), "precision": tp / max(tp + fp, 1),
            "recall": tp / max(tp + fn, 1)}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--run", required=True)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--steps", type=int, default=3000)
    ap.add_argument("--batch", type=int, default=12)
    ap.add_argument("--size", type=int, default=192)
    ap.add_argument("--lr", type=float, default=3e-3)
    ap.add_argument("--threads", type=int, default=3, help="for the network")
    ap.add_argument("--workers", type=int, default=1, help="processes making the data")
    ap.add_argument("--save-every", type=int, default=100)
    ap.add_argument("--validate-every", type=int, default=250)
    ap.add_argument("--style", default="steep", choices=["steep", "paper", "mixed"],
                    help="how the synthetic frames are printed (synth.render)")
    ap.add_argument("--scene", default="small", choices=["small", "frame", "mixed"],
                    help="a scene fitted to each crop, or crops of whole frames' scenes (synth)")
    ap.add_argument("--init", help="a checkpoint whose weights start a new run (fine-tuning)")
    ap.add_argument("--max-minutes", type=float, default=0, help="stop (after a checkpoint) when exceeded")
    args = ap.parse_args()

    torch.set_num_threads(args.threads)
    torch.manual_seed(args.seed)
    os.makedirs(args.run, exist_ok=True)
    ckpt_path = os.path.join(args.run, "checkpoint.pt")
    log_path = os.path.join(args.run, "log.jsonl")

    net = dustnet.DustNet()
    opt = torch.optim.AdamW(net.parameters(), lr=args.lr, weight_decay=1e-4)
    step, seconds = 0, 0.0
    if os.path.exists(ckpt_path):
        state = torch.load(ckpt_path)
        if state["seed"] != args.seed or state["steps"] != args.steps:
            raise SystemExit("checkpoint belongs to another run (seed or steps differ)")
        net.load_state_dict(state["model"])
        opt.load_state_dict(state["optimizer"])
        step, seconds = state["step"], state["seconds"]
        print(f"resuming at step {step} ({seconds / 60:.1f} min trained)")
    elif args.init:
        net.load_state_dict(torch.load(args.init)["model"])
        print(f"starting from the weights of {args.init}")

    def save():
        tmp = ckpt_path + ".tmp"
        torch.save({"model": net.state_dict(), "optimizer": opt.state_dict(), "step": step,
                    "seconds": seconds, "seed": args.seed, "steps": args.steps}, tmp)
        os.replace(tmp, ckpt_path)

    val_frames = [VALIDATION_SEED + i for i in range(48)]
    started = time.time()
    net.train()
    loader = torch.utils.data.DataLoader(Steps(args, step), batch_size=None, num_workers=args.workers,
                                         prefetch_factor=4, worker_init_fn=one_thread)
    last = time.time()
    for luma, target, ignore in loader:
        for group in opt.param_groups:
            group["lr"] = learning_rate(step, args.steps, args.lr)
        loss = loss_fn(net(luma), target, ignore)
        opt.zero_grad()
        loss.backward()
        opt.step()
        step += 1
        now = time.time()
        seconds, last = seconds + now - last, now
        record = {"step": step, "loss": round(loss.item(), 5), "seconds": round(seconds, 1)}
        if step % args.validate_every == 0 or step == args.steps:
            record["validation"] = validate(net, val_frames, args.size, args.style, args.scene)
        if step % 20 == 0 or "validation" in record:
            print(json.dumps(record), flush=True)
            with open(log_path, "a") as log:
                log.write(json.dumps(record) + "\n")
        if step % args.save_every == 0 or step == args.steps:
            save()
        if args.max_minutes and time.time() - started > args.max_minutes * 60:
            save()
            print(f"stopping after {args.max_minutes} minutes at step {step}; run again to resume")
            return
    save()
    print(f"done: {step} steps, {seconds / 60:.1f} min of training")


if __name__ == "__main__":
    main()

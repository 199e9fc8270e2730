"""Chooses the model's operating point: the logit offset export.py folds into the network.

The library turns probabilities into finds with fixed thresholds (spotsFromProbability); how
readily a trained network crosses them depends on how often dust appeared in its training
crops. This script exports a checkpoint with each offset given and evaluates each on frames of
a seed range of their own (neither training nor the held-out evaluation set use it), so the
offset can be chosen without looking at the evaluation.

  /usr/bin/python3 tools/dustnet/calibrate.py build/dustnet/run5/checkpoint.pt \\
      --offsets 0 -0.5 -1 -1.5 --runner build/release/tools/dustnet/dust_eval --out build/dustnet/calib
"""
import argparse
import os

import torch

import evaluate
import model as dustnet

CALIBRATION_SEED = 8_000_000_000


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("checkpoint")
    ap.add_argument("--offsets", type=float, nargs="+", required=True)
    evaluate.arguments(ap)
    ap.set_defaults(seed=CALIBRATION_SEED)
    args = ap.parse_args()
    torch.set_num_threads(args.threads)
    os.makedirs(args.out, exist_ok=True)
    net = dustnet.DustNet()
    net.load_state_dict(torch.load(args.checkpoint)["model"])
    net.eval()
    truth = evaluate.make_frames(args)
    print("\n".join(["| offset " + evaluate.HEADER[0], "|---" + evaluate.HEADER[1]]))
    for offset in args.offsets:
        path = os.path.join(args.out, f"offset{offset:+.2f}.onnx")
        dustnet.export_onnx(net, path, offset)
        rows = evaluate.run(truth, path, args)
        line = evaluate.table(rows, args)[1]
        print(f"| {offset:+.2f} {line}", flush=True)


if __name__ == "__main__":
    main()

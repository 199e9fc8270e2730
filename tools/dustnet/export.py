"""Exports a trained DustNet checkpoint to ONNX ("image" -> "prob", dynamic height and width).

  /usr/bin/python3 tools/dustnet/export.py build/dustnet/run1/checkpoint.pt \
      NegativeCore/Resources/Models/DustNet.onnx [--offset X]

--offset adds X to the logits (the operating point chosen with calibrate.py).
"""
import argparse
import os

import torch

import model as dustnet


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("checkpoint")
    ap.add_argument("target")
    ap.add_argument("--offset", type=float, default=0.0)
    args = ap.parse_args()
    net = dustnet.DustNet()
    net.load_state_dict(torch.load(args.checkpoint)["model"])
    net.eval()
    dustnet.export_onnx(net, args.target, args.offset)
    # The shipped network must give what the trained one gives.
    probe = torch.rand(1, 1, 96, 160, generator=torch.Generator().manual_seed(0))
    with torch.no_grad():
        folded = dustnet.Exported(net, args.offset)(probe)
        plain = torch.sigmoid(net(probe) + args.offset)
    print(f"{args.target}: {os.path.getsize(args.target)} bytes, "
          f"{sum(p.numel() for p in net.parameters())} parameters, "
          f"{dustnet.flops_per_megapixel(net) / 1e9:.2f} GFLOP per megapixel, "
          f"folding changes the output by at most {(folded - plain).abs().max().item():.2e}")


if __name__ == "__main__":
    main()

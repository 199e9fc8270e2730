"""Exports a trained DustNet checkpoint to ONNX ("image" -> "prob", dynamic height and width).

  /usr/bin/python3 tools/dustnet/export.py build/dustnet/run1/checkpoint.pt \
      NegativeCore/Resources/Models/DustNet.onnx
"""
import os
import sys

import torch

import model as dustnet


def main():
    checkpoint, target = sys.argv[1], sys.argv[2]
    net = dustnet.DustNet()
    net.load_state_dict(torch.load(checkpoint)["model"])
    net.eval()
    dustnet.export_onnx(net, target)
    # The shipped network must give what the trained one gives.
    probe = torch.rand(1, 1, 96, 160, generator=torch.Generator().manual_seed(0))
    with torch.no_grad():
        folded = dustnet.Exported(net)(probe)
        plain = torch.sigmoid(net(probe))
    print(f"{target}: {os.path.getsize(target)} bytes, "
          f"{sum(p.numel() for p in net.parameters())} parameters, "
          f"{dustnet.flops_per_megapixel(net) / 1e9:.2f} GFLOP per megapixel, "
          f"folding changes the output by at most {(folded - plain).abs().max().item():.2e}")


if __name__ == "__main__":
    main()

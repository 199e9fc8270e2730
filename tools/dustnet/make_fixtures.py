"""Writes the runtime tests' fixture models into tests/fixtures/.

DustFixture5x5.onnx: one fixed 5x5 convolution (zero padding 2), input "image", output "prob".
Every output value depends on its 24 neighbours with distinct weights, so a tile placed, padded
or copied back wrongly changes the result. The weights are w[a][b] = ((5a + b) mod 7 - 3) / 16
+ (a == 2 and b == 2), exact in binary floating point, and the bias is 1/32.
DustFixtureWrongOutput.onnx: the same network with its output named "out" instead of "prob".

  /usr/bin/python3 tools/dustnet/make_fixtures.py
"""
import os

import torch
from torch import nn

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "..", "tests", "fixtures")


def fixture():
    conv = nn.Conv2d(1, 1, 5, padding=2)
    with torch.no_grad():
        for a in range(5):
            for b in range(5):
                conv.weight[0, 0, a, b] = ((5 * a + b) % 7 - 3) / 16 + (1.0 if a == b == 2 else 0.0)
        conv.bias[0] = 1 / 32
    return conv.eval()


def export(net, path, output):
    torch.onnx.export(net, torch.zeros(1, 1, 64, 64), path, input_names=["image"],
                      output_names=[output], opset_version=11,
                      dynamic_axes={"image": {2: "height", 3: "width"}, output: {2: "height", 3: "width"}})


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    export(fixture(), os.path.join(OUT, "DustFixture5x5.onnx"), "prob")
    export(fixture(), os.path.join(OUT, "DustFixtureWrongOutput.onnx"), "out")

"""DustNet: a small fully convolutional network that marks dust and hairs pixel by pixel.

Input "image" [N, 1, H, W] luminance 0..1, output "prob" [N, 1, H, W] probabilities; H and W
multiples of 16 (four 2x2 max-pool levels). Only operators OpenCV's ONNX importer takes:
convolution, ReLU, max-pool, nearest resize, concatenation, sigmoid (batch norm is folded into
the convolutions before export).
"""
import torch
from torch import nn
import torch.nn.functional as F

WIDTHS = (8, 16, 24, 32, 48)
PROJECTIONS = (8, 8, 12, 16)  # channels a coarser level hands up to level 0, 1, 2, 3
HEAD = 8


def conv_bn(cin, cout, k=3):
    return nn.Sequential(nn.Conv2d(cin, cout, k, padding=k // 2, bias=False),
                         nn.BatchNorm2d(cout), nn.ReLU(inplace=True))


class DustNet(nn.Module):
    def __init__(self, widths=WIDTHS, projections=PROJECTIONS, head=HEAD):
        super().__init__()
        w, p = widths, projections
        self.stem = nn.Sequential(conv_bn(1, w[0]), conv_bn(w[0], w[0]))
        # Level 1 has one convolution, deeper levels two: full-resolution work dominates the cost.
        self.down = nn.ModuleList([
            conv_bn(w[0], w[1]),
            nn.Sequential(conv_bn(w[1], w[2]), conv_bn(w[2], w[2])),
            nn.Sequential(conv_bn(w[2], w[3]), conv_bn(w[3], w[3])),
            nn.Sequential(conv_bn(w[3], w[4]), conv_bn(w[4], w[4])),
        ])
        # Up path: a 1x1 projection at the coarse level, nearest upsampling, concatenation with
        # the encoder's features, one 3x3 convolution.
        self.project = nn.ModuleList([conv_bn(w[l + 1], p[l], 1) for l in range(4)])
        self.up = nn.ModuleList([conv_bn(w[l] + p[l], w[l]) for l in (1, 2, 3)])
        self.head = nn.Sequential(conv_bn(w[0] + p[0], head, 1), nn.Conv2d(head, 1, 1))

    def forward(self, x):
        feats = [self.stem(x)]
        for block in self.down:
            feats.append(block(F.max_pool2d(feats[-1], 2)))
        y = feats[4]
        for level in (3, 2, 1):
            y = F.interpolate(self.project[level](y), scale_factor=2.0, mode="nearest")
            y = self.up[level - 1](torch.cat([feats[level], y], 1))
        y = F.interpolate(self.project[0](y), scale_factor=2.0, mode="nearest")
        return self.head(torch.cat([feats[0], y], 1))  # logits; sigmoid added for export


class Exported(nn.Module):
    """The network as shipped: batch norm folded, sigmoid on the output. offset is added to
    the logits (folded into the last bias): it moves the operating point (calibrate.py)."""

    def __init__(self, net, offset=0.0):
        super().__init__()
        self.net = fold_batch_norm(net)
        with torch.no_grad():
            self.net.head[-1].bias += offset

    def forward(self, image):
        return torch.sigmoid(self.net(image))


def fold_batch_norm(net):
    import copy
    from torch.nn.utils.fusion import fuse_conv_bn_eval
    net = copy.deepcopy(net).eval()

    def fold(module):
        for name, child in module.named_children():
            if isinstance(child, nn.Sequential) and len(child) >= 2 and \
                    isinstance(child[0], nn.Conv2d) and isinstance(child[1], nn.BatchNorm2d):
                fused = fuse_conv_bn_eval(child[0], child[1])
                setattr(module, name, nn.Sequential(fused, *list(child)[2:]))
            else:
                fold(child)
    fold(net)
    return net


def flops_per_megapixel(net, size=256):
    """Multiply-adds counted as two, over the convolutions, per million input pixels."""
    total = [0]

    def hook(module, inputs, output):
        k = module.kernel_size[0] * module.kernel_size[1]
        total[0] += 2 * k * module.in_channels // module.groups * output.numel()

    handles = [m.register_forward_hook(hook) for m in net.modules() if isinstance(m, nn.Conv2d)]
    with torch.no_grad():
        net.eval()(torch.zeros(1, 1, size, size))
    for h in handles:
        h.remove()
    return total[0] / (size * size) * 1e6


def export_onnx(net, path, offset=0.0):
    model = Exported(net, offset).eval()
    torch.onnx.export(model, torch.zeros(1, 1, 64, 64), path, input_names=["image"],
                      output_names=["prob"], opset_version=11,
                      dynamic_axes={"image": {2: "height", 3: "width"},
                                    "prob": {2: "height", 3: "width"}})

// Runs the classic scan pass and the model's finds over synthetic scans for the evaluation
// script (tools/dustnet/evaluate.py). Each line of the manifest names a scan: a file of
// width × height 32-bit floats (grey transmission, machine order), its width and height, and
// its film ("negative" or "slide"). For each scan, "<scan>.finds" lists one find per line:
// method ("classic" or "model"), x and y in pixels, radius in pixels, and a group number (0 for
// none), followed by a line "seconds classic <s> model <s>". The model comes from the usual
// locations (KV_DUSTMODEL first).
//
//   dust_eval <manifest> <sensitivity>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "Driver/Converter.h"
#include "Driver/DustPasses.h"
#include "Support/NumberText.h"

namespace {

LinearImage readScan(const std::string& path, int64_t width, int64_t height) {
  std::vector<float> grey(width * height);
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(grey.data()), std::streamsize(grey.size() * sizeof(float)));
  if (!in) throw std::runtime_error("cannot read " + path);
  LinearImage scan(width, height);
  float* p = scan.mutablePixels();
  for (size_t i = 0; i < grey.size(); ++i)
    p[4 * i] = p[4 * i + 1] = p[4 * i + 2] = grey[i], p[4 * i + 3] = 1;
  return scan;
}

void write(std::ofstream& out, const char* method, const std::vector<Spot>& spots, int64_t width,
           int64_t height) {
  std::map<Uuid, int> groups;
  const double L = double(std::max(width, height));
  for (const Spot& s : spots) {
    int group = 0;
    if (s.group) group = groups.emplace(*s.group, int(groups.size()) + 1).first->second;
    out << method << ' ' << NumberText::shortest(s.x * width) << ' '
        << NumberText::shortest(s.y * height) << ' ' << NumberText::shortest(s.r * L) << ' '
        << group << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dust_eval <manifest> <sensitivity>\n");
    return 2;
  }
  const double sensitivity = NumberText::parseDouble(argv[2]).value_or(0.5);
  std::ifstream manifest(argv[1]);
  std::string line;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string path, film;
    int64_t width = 0, height = 0;
    if (!(fields >> path >> width >> height >> film)) continue;
    const LinearImage scan = readScan(path, width, height);
    ConversionSettings settings;
    settings.mode = film == "slide" ? FilmMode::positive : FilmMode::bwNegative;
    const FilmAnalysis analysis = Converter::analyze(scan, settings);
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    const auto classic = Converter::detectDust(scan, analysis, settings, sensitivity);
    const auto t1 = Clock::now();
    const auto model = Converter::modelFinds(scan, analysis, settings, sensitivity);
    const auto t2 = Clock::now();
    if (!model) {
      std::fprintf(stderr, "no model\n");
      return 1;
    }
    std::ofstream out(path + ".finds");
    write(out, "classic", classic, width, height);
    write(out, "model", *model, width, height);
    out << "seconds classic "
        << NumberText::shortest(std::chrono::duration<double>(t1 - t0).count()) << " model "
        << NumberText::shortest(std::chrono::duration<double>(t2 - t1).count()) << '\n';
  }
  return 0;
}

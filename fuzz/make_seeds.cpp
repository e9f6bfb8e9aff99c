// Writes the fuzzer's seed inputs into the directory given as the argument:
// the example boards of the tests and a few command scripts that reach every
// command. tools/fuzz.sh adds the real boards when they are on the machine.

#include <cstdio>
#include <string>

#include "tests/fixtures.h"

namespace {

struct Seed {
  const char* name;
  const char* text;
};

const Seed kSeeds[] = {
    {"outline.grb", kOutlineSource},
    {"drill.drl", kDrillSource},
    {"mask.grb", kMaskSource},
    {"layer.gbr", kCopperSource},
    {"job.pcs",
     "; a job\n"
     "SP\n"
     "S1outline.grb\n"
     "N2\n"
     "X0.035\n"
     "Dlayer.gbr\n"
     "O0.5,0\n"
     "Dlayer.gbr\n"
     "R0.25,-1\n"
     "\"Dlayer.gbr\"   ; quoted\n"
     "N3top.gbr\n"
     "End\n"
     "N4\n"},
    {"nested.pcs",
     "O1,1\n"
     "Cinput.txt\n"
     "Dlayer.gbr\n"
     "Cmissing\n"},
    {"numbers.drl",
     "M48\n"
     "INCH,LZ\n"
     "T4294967295C1e308\n"
     "T07C0x1.2p-4\n"
     "%\n"
     "G90\n"
     "T4294967295\n"
     "X99999999999Y-0.5\n"
     "T07\n"
     "X-012345Y023456\n"
     "M30\n"},
    {"numbers.gbr",
     "%FSLAX24Y24*%\n"
     "%ADD4294967295C,0.01*%\n"
     "%ADD99999999999C,0.01*%\n"
     "G90*\n"
     "G01X2147483647Y-2147483648D4294967295*\n"
     "X1e300Y0D01*\n"
     "G01XnanYinfD02*\n"
     "M00*\n"},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  for (const Seed& seed : kSeeds) {
    std::string path = std::string(argv[1]) + "/" + seed.name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
      std::perror(path.c_str());
      return 1;
    }
    std::fputs(seed.text, f);
    if (std::fclose(f) != 0) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}

// Writes a large, realistic board job for the benchmark: a copper layer of a
// chosen size, an Excellon drill file, two solder masks and a board outline,
// all in the shapes a layout program exports. The same arguments always give
// the same bytes (a fixed-seed generator, no library distributions).
//
//   quorlan_bench_generate DIR [LAYER_MB]...
//
// writes DIR/drill_file.drl, DIR/board_outline.grb, DIR/top_solder_mask.grb,
// DIR/bottom_solder_mask.grb and one DIR/layerN.gbr of N MB per LAYER_MB
// (default 200).
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// splitmix64: small, fast and the same on every platform.
struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number in [low, high].
  int between(int low, int high) {
    return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
  }
  bool chance(int percent) { return between(0, 99) < percent; }
};

// The board is 10 x 8 inches; coordinates are in ten-thousandths of an inch.
constexpr int kWidth = 100000;
constexpr int kHeight = 80000;

struct Writer {
  std::FILE* file;
  std::uint64_t written = 0;

  void put(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), file);
    written += text.size();
  }
  void printf_line(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

void Writer::printf_line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  std::fwrite(text.data(), 1, text.size(), file);
  written += text.size();
}

std::FILE* create(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::printf("cannot create %s\n", path.c_str());
    std::exit(1);
  }
  return file;
}

void finish(Writer& out, const std::string& path) {
  if (std::fclose(out.file) != 0) {
    std::printf("cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

// Aperture definitions D10 up: round apertures for traces and pads, then
// rectangles and obrounds for pads, as a layout program writes them.
int write_apertures(Writer& out, Random& random, int count) {
  for (int i = 0; i < count; ++i) {
    int d = 10 + i;
    int kind = i < count / 2 ? 0 : random.between(0, 2);
    double a = random.between(40, 1500) / 10000.0;
    double b = random.between(40, 1500) / 10000.0;
    if (kind == 0)
      out.printf_line("%%ADD%dC,%.4f*%%\n", d, a);
    else if (kind == 1)
      out.printf_line("%%ADD%dR,%.4fX%.4f*%%\n", d, a, b);
    else
      out.printf_line("%%ADD%dO,%.4fX%.4f*%%\n", d, a, b);
  }
  return count;
}

// A copper layer: traces (a move, then draws, some giving only the
// coordinate that changes), pad flashes, a few arcs and polarity changes,
// and mostly poured planes, which the layout program fills with long runs
// of parallel strokes.
void write_layer(const std::string& path, std::uint64_t target_bytes, std::uint64_t seed) {
  Writer out{create(path)};
  Random random{seed};
  out.put("G04 top copper *\n%FSLAX24Y24*%\n%MOIN*%\n");
  int apertures = write_apertures(out, random, 60);
  out.put("G90*\n%LPD*%\n");
  const std::uint64_t body_end = target_bytes - 11;  // room for "M00*\nM02*\n"
  while (out.written < body_end) {
    out.printf_line("G54D%d*\n", 10 + random.between(0, apertures - 1));
    int kind = random.between(0, 99);
    if (kind < 55) {
      // A poured plane: horizontal strokes stepping up in Y.
      int x0 = random.between(0, kWidth - 20000);
      int x1 = x0 + random.between(2000, 20000);
      int y = random.between(0, kHeight - 10000);
      int strokes = random.between(50, 400);
      for (int i = 0; i < strokes && out.written < body_end; ++i, y += 80) {
        int left = x0 + random.between(0, 300);
        int right = x1 - random.between(0, 300);
        if (i % 2 == 0) {
          out.printf_line("X%dY%dD02*\n", left, y);
          out.printf_line("X%dY%dD01*\n", right, y);
        } else {
          out.printf_line("X%dY%dD02*\n", right, y);
          out.printf_line("X%dY%dD01*\n", left, y);
        }
      }
    } else if (kind < 85) {
      // Traces.
      int traces = random.between(1, 20);
      for (int t = 0; t < traces && out.written < body_end; ++t) {
        int x = random.between(0, kWidth);
        int y = random.between(0, kHeight);
        out.printf_line(random.chance(30) ? "G01X%dY%dD02*\n" : "X%dY%dD02*\n", x, y);
        int segments = random.between(1, 12);
        for (int s = 0; s < segments; ++s) {
          int turn = random.between(0, 9);
          if (turn < 3) {
            x = random.between(0, kWidth);
            out.printf_line("X%dD01*\n", x);
          } else if (turn < 6) {
            y = random.between(0, kHeight);
            out.printf_line("Y%dD01*\n", y);
          } else {
            x = random.between(0, kWidth);
            y = random.between(0, kHeight);
            out.printf_line("X%dY%dD01*\n", x, y);
          }
        }
      }
    } else if (kind < 97) {
      // Pads.
      int pads = random.between(2, 64);
      for (int p = 0; p < pads; ++p)
        out.printf_line("X%dY%dD03*\n", random.between(0, kWidth), random.between(0, kHeight));
    } else if (kind < 99) {
      // An arc in a corner of a trace.
      int x = random.between(1000, kWidth - 1000);
      int y = random.between(1000, kHeight - 1000);
      out.printf_line("X%dY%dD02*\n", x, y);
      out.put("G75*\n");
      out.printf_line("G03X%dY%dI%dJ%dD01*\n", x + 500, y + 500, 0, 500);
      out.put("G01*\n");
    } else {
      // A cut-out in a plane.
      out.put("%LPC*%\n");
      out.printf_line("X%dY%dD03*\n", random.between(0, kWidth), random.between(0, kHeight));
      out.put("%LPD*%\n");
    }
  }
  out.put("M00*\nM02*\n");
  finish(out, path);
}

// A solder mask: the openings are pad flashes, with a few short draws.
void write_mask(const std::string& path, std::uint64_t target_bytes, std::uint64_t seed) {
  Writer out{create(path)};
  Random random{seed};
  out.put("G04 mask *\n%FSLAX24Y24*%\n%MOIN*%\n");
  int apertures = write_apertures(out, random, 40);
  out.put("G90*\n%LPD*%\n");
  const std::uint64_t body_end = target_bytes - 11;
  while (out.written < body_end) {
    out.printf_line("G54D%d*\n", 10 + random.between(0, apertures - 1));
    int pads = random.between(4, 200);
    for (int p = 0; p < pads && out.written < body_end; ++p) {
      int x = random.between(0, kWidth);
      int y = random.between(0, kHeight);
      if (random.chance(5)) {
        out.printf_line("G01X%dY%dD02*\n", x, y);
        out.printf_line("G01X%dY%dD01*\n", x + random.between(100, 800), y);
      } else {
        out.printf_line("X%dY%dD03*\n", x, y);
      }
    }
  }
  out.put("M00*\nM02*\n");
  finish(out, path);
}

// A board outline: the edge and many cut-outs, each a closed contour that
// starts with a move, then the Draw Parts marker. A few lines of the parts
// drawing follow it, as in an exported file.
void write_outline(const std::string& path, int contours, std::uint64_t seed) {
  Writer out{create(path)};
  Random random{seed};
  out.put("G04 header *\n%FSLAX24Y24*%\n%MOIN*%\n%ADD10C,0.0100*%\nG90*\nG54D10*\n");
  out.printf_line("G01X0Y0D02*\nX%dY0D01*\nX%dY%dD01*\nX0Y%dD01*\nX0Y0D01*\n", kWidth, kWidth,
                  kHeight, kHeight);
  for (int c = 1; c < contours; ++c) {
    int cx = random.between(2000, kWidth - 2000);
    int cy = random.between(2000, kHeight - 2000);
    int points = random.between(4, 40);
    int x0 = cx + random.between(100, 1500);
    out.printf_line(random.chance(50) ? "G01X%dY%dD02*\n" : "X%dY%dD02*\n", x0, cy);
    for (int p = 1; p < points; ++p) {
      int x = cx + random.between(-1500, 1500);
      int y = cy + random.between(-1500, 1500);
      out.printf_line("X%dY%dD01*\n", x, y);
    }
    out.printf_line("X%dY%dD01*\n", x0, cy);
  }
  out.put("G04 -------------- Draw Parts\nG54D10*\nX1000Y1000D02*\nX2000Y1000D01*\nM02*\n");
  finish(out, path);
}

// An Excellon drill file: the tool table, then the hits grouped by tool.
void write_drill(const std::string& path, int tools, int hits, std::uint64_t seed) {
  Writer out{create(path)};
  Random random{seed};
  out.put("M48\nINCH,LZ\n");
  for (int t = 1; t <= tools; ++t) out.printf_line("T%dC%.3f\n", t, 0.010 + 0.005 * t);
  out.put("%\nG90\n");
  int written = 0;
  for (int t = 1; t <= tools; ++t) {
    int share = t == tools ? hits - written : hits / tools + random.between(-500, 500);
    out.printf_line("T%d\n", t);
    for (int h = 0; h < share; ++h)
      out.printf_line("X%06dY%06d\n", random.between(0, kWidth), random.between(0, kHeight));
    written += share;
  }
  out.put("M30\n");
  finish(out, path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: %s DIR [LAYER_MB]...\n", argv[0]);
    return 2;
  }
  std::string dir = argv[1];
  constexpr std::uint64_t kMB = 1000 * 1000;
  write_drill(dir + "/drill_file.drl", 40, 200000, 1);
  write_outline(dir + "/board_outline.grb", 20000, 2);
  write_mask(dir + "/top_solder_mask.grb", 50 * kMB, 3);
  write_mask(dir + "/bottom_solder_mask.grb", 50 * kMB, 4);
  if (argc == 2) {
    write_layer(dir + "/layer200.gbr", 200 * kMB, 5);
  }
  for (int i = 2; i < argc; ++i) {
    long mb = std::strtol(argv[i], nullptr, 10);
    if (mb <= 0) {
      std::printf("bad layer size %s\n", argv[i]);
      return 2;
    }
    write_layer(dir + "/layer" + std::to_string(mb) + ".gbr", static_cast<std::uint64_t>(mb) * kMB,
                5);
  }
  return 0;
}

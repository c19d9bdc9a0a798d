#include "tools/make-resources/Palette.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace tavrelo::artwork {
namespace {

struct Entry {
  QRgb colour;
  std::int64_t count;
};

int channel(QRgb c, int which) {
  switch (which) {
    case 0:
      return qRed(c);
    case 1:
      return qGreen(c);
    case 2:
      return qBlue(c);
    default:
      return qAlpha(c);
  }
}

// A box of the colour space: a run [begin, end) of the histogram.
struct Box {
  std::size_t begin;
  std::size_t end;
  int widest = 0;  // channel with the largest spread
  int spread = 0;
};

void measure(const std::vector<Entry>& entries, Box& box) {
  std::array<int, 4> low{255, 255, 255, 255};
  std::array<int, 4> high{0, 0, 0, 0};
  for (std::size_t i = box.begin; i < box.end; ++i) {
    for (int c = 0; c < 4; ++c) {
      low[c] = std::min(low[c], channel(entries[i].colour, c));
      high[c] = std::max(high[c], channel(entries[i].colour, c));
    }
  }
  box.spread = -1;
  for (int c = 0; c < 4; ++c) {
    if (high[c] - low[c] > box.spread) {
      box.spread = high[c] - low[c];
      box.widest = c;
    }
  }
}

QRgb average(const std::vector<Entry>& entries, const Box& box) {
  std::array<std::int64_t, 4> sum{};
  std::int64_t total = 0;
  for (std::size_t i = box.begin; i < box.end; ++i) {
    for (int c = 0; c < 4; ++c) sum[c] += channel(entries[i].colour, c) * entries[i].count;
    total += entries[i].count;
  }
  auto mean = [&](int c) { return static_cast<int>((sum[c] + total / 2) / total); };
  return qRgba(mean(0), mean(1), mean(2), std::max(1, mean(3)));
}

int distance(QRgb a, QRgb b) {
  int d = 0;
  for (int c = 0; c < 4; ++c) {
    const int diff = channel(a, c) - channel(b, c);
    d += diff * diff * (c == 3 ? 2 : 1);
  }
  return d;
}

std::vector<QRgb> medianCut(std::vector<Entry> entries, int capacity) {
  std::vector<Box> boxes{{0, entries.size()}};
  measure(entries, boxes.front());
  while (static_cast<int>(boxes.size()) < capacity) {
    // Split the box whose widest channel spreads most (first one on ties).
    auto target = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
      return (a.end - a.begin > 1 ? a.spread : -1) < (b.end - b.begin > 1 ? b.spread : -1);
    });
    if (target->end - target->begin < 2 || target->spread <= 0) break;
    Box box = *target;
    std::stable_sort(entries.begin() + static_cast<std::ptrdiff_t>(box.begin),
                     entries.begin() + static_cast<std::ptrdiff_t>(box.end),
                     [c = box.widest](const Entry& a, const Entry& b) {
                       return channel(a.colour, c) < channel(b.colour, c);
                     });
    std::int64_t total = 0;
    for (std::size_t i = box.begin; i < box.end; ++i) total += entries[i].count;
    std::int64_t seen = 0;
    std::size_t cut = box.begin + 1;
    for (std::size_t i = box.begin; i < box.end - 1; ++i) {
      seen += entries[i].count;
      cut = i + 1;
      if (seen * 2 >= total) break;
    }
    Box lower{box.begin, cut};
    Box upper{cut, box.end};
    measure(entries, lower);
    measure(entries, upper);
    *target = lower;
    boxes.push_back(upper);
  }
  std::vector<QRgb> palette;
  for (const Box& box : boxes) palette.push_back(average(entries, box));
  std::sort(palette.begin(), palette.end());
  palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
  return palette;
}

}  // namespace

QImage quantise(const QImage& picture, int maxColours) {
  const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
  std::map<QRgb, std::int64_t> histogram;
  bool anyTransparent = false;
  for (int y = 0; y < argb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x) {
      if (qAlpha(line[x]) == 0) {
        anyTransparent = true;
      } else {
        ++histogram[line[x]];
      }
    }
  }
  const int capacity = std::max(1, maxColours - (anyTransparent ? 1 : 0));
  std::vector<QRgb> palette;
  if (static_cast<int>(histogram.size()) <= capacity) {
    for (const auto& [colour, count] : histogram) palette.push_back(colour);
  } else {
    std::vector<Entry> entries;
    entries.reserve(histogram.size());
    for (const auto& [colour, count] : histogram) entries.push_back({colour, count});
    palette = medianCut(std::move(entries), capacity);
  }
  QList<QRgb> table;
  if (anyTransparent) table.push_back(qRgba(0, 0, 0, 0));
  for (QRgb c : palette) table.push_back(c);

  QImage out(argb.size(), QImage::Format_Indexed8);
  out.setColorTable(table);
  std::map<QRgb, int> nearest;
  const int first = anyTransparent ? 1 : 0;
  for (int y = 0; y < argb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    uchar* dst = out.scanLine(y);
    for (int x = 0; x < argb.width(); ++x) {
      const QRgb c = line[x];
      if (qAlpha(c) == 0) {
        dst[x] = 0;
        continue;
      }
      auto found = nearest.find(c);
      if (found == nearest.end()) {
        int best = first;
        int bestDistance = distance(c, table[first]);
        for (int i = first + 1; i < table.size(); ++i) {
          const int d = distance(c, table[i]);
          if (d < bestDistance) {
            best = i;
            bestDistance = d;
          }
        }
        found = nearest.emplace(c, best).first;
      }
      dst[x] = static_cast<uchar>(found->second);
    }
  }
  return out;
}

QImage flattenAlpha(const QImage& picture, QRgb matte) {
  QImage out = picture.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      const QRgb c = line[x];
      const int a = qAlpha(c);
      if (a < 128) {
        line[x] = qRgba(0, 0, 0, 0);
        continue;
      }
      auto blend = [a](int fg, int bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
      line[x] = qRgb(blend(qRed(c), qRed(matte)), blend(qGreen(c), qGreen(matte)),
                     blend(qBlue(c), qBlue(matte)));
    }
  }
  return out;
}

}  // namespace tavrelo::artwork

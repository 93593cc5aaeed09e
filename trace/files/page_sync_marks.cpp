// A controlled run's locks and waits drawn over its lanes: a thin band along a lane's top for
// each lock held, coloured by the lock (by its place in the legend, so no two locks share one); a
// hatched band along its bottom for each wait; an arrow from each unlock or post to the lock or
// wait it ended. Every time rides along in microseconds (data-t0 and data-t1 on a band, data-ta and
// data-tb on an arrow) for the player's zoom.

#include <algorithm>
#include <string>

#include "trace/files/html.h"
#include "trace/files/page_sync.h"

namespace {

constexpr double kHeldHeight = 4;
constexpr double kWaitHeight = 4;
constexpr int kHues = 7;  // page.css colours held bands k0 ... k6
constexpr int kDepths = 3;

// The hatch of a wait and the arrowhead, for the lanes and the legend alike.
constexpr char kDefs[] =
    "<defs><pattern id=\"sync-hatch\" width=\"4\" height=\"4\" patternUnits=\"userSpaceOnUse\" "
    "patternTransform=\"rotate(45)\"><line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"4\" stroke=\"#333\" "
    "stroke-width=\"1.6\"/></pattern><marker id=\"sync-arrow\" viewBox=\"0 0 8 8\" refX=\"7\" "
    "refY=\"4\" markerWidth=\"7\" markerHeight=\"7\" orient=\"auto\"><path d=\"M0 0L8 4L0 8z\" "
    "class=\"arrowhead\"/></marker></defs>\n";

std::string us(Micros t) { return std::to_string(t.count); }

std::string hue(int lock) { return "k" + std::to_string(lock % kHues); }

std::string band(const std::string& cls, Micros from, Micros to, double y, double h,
                 const LaneGeometry& lanes, const std::string& tip) {
  return "<rect class=\"" + cls + "\" x=\"" + num(lanes.x(from)) + "\" y=\"" + num(y) +
         "\" width=\"" + num(std::max(lanes.x(to) - lanes.x(from), 1.0)) + "\" height=\"" + num(h) +
         "\" data-t0=\"" + us(from) + "\" data-t1=\"" + us(to) + "\"><title>" + escLines(tip) +
         "</title></rect>\n";
}

// From the edge of the poster's lane that faces the waiter's to the edge of the waiter's.
std::string arrow(const CauseArrow& a, const LaneGeometry& lanes) {
  const bool down = a.toRow > a.fromRow;
  const double y1 = lanes.y(a.fromRow) + (down ? lanes.height : 0);
  const double y2 = lanes.y(a.toRow) + (down ? 0 : lanes.height);
  return "<line class=\"cause\" x1=\"" + num(lanes.x(a.from)) + "\" y1=\"" + num(y1) + "\" x2=\"" +
         num(lanes.x(a.to)) + "\" y2=\"" + num(y2) + "\" data-ta=\"" + us(a.from) +
         "\" data-tb=\"" + us(a.to) + "\" marker-end=\"url(#sync-arrow)\"><title>" + esc(a.tip) +
         "</title></line>\n";
}

std::string key(const std::string& swatch, const std::string& words) {
  return "<li class=\"sync-key\"><svg viewBox=\"0 0 28 14\" aria-hidden=\"true\">" + swatch +
         "</svg> " + words + "</li>\n";
}

}  // namespace

std::string syncMarks(const SyncPicture& picture, const LaneGeometry& lanes) {
  if (picture.empty()) return "";
  std::string out = std::string(kDefs) + "<g class=\"sync\">\n";
  for (const HeldBand& held : picture.held) {
    const double y = lanes.y(held.row) + 0.5 + std::min(held.depth, kDepths - 1) * kHeldHeight;
    out += band("held " + hue(held.lock), held.from, held.to, y, kHeldHeight, lanes, held.tip);
  }
  for (const WaitBand& wait : picture.waits) {
    out += band("waited", wait.from, wait.to, lanes.y(wait.row) + lanes.height - kWaitHeight,
                kWaitHeight, lanes, wait.tip);
  }
  for (const CauseArrow& a : picture.arrows) out += arrow(a, lanes);
  return out + "</g>\n";
}

std::string syncLegend(const SyncPicture& picture) {
  if (picture.empty()) return "";
  std::string out;
  for (std::size_t k = 0; k < picture.locks.size(); ++k) {
    out += key("<rect class=\"held " + hue(static_cast<int>(k)) +
                   "\" x=\"1\" y=\"5\" width=\"26\" height=\"4\"/>",
               "held " + esc(picture.locks[k].words));
  }
  out += key("<rect class=\"waited\" x=\"1\" y=\"5\" width=\"26\" height=\"5\"/>",
             "waited for a lock or semaphore, from coming to it to going on");
  out += key("<path class=\"cause\" d=\"M2 2L24 12\" marker-end=\"url(#sync-arrow)\"/>",
             "the unlock or post that let a waiter go on");
  return out;
}

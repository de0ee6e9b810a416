// The picture of a session: each drag's path in the heading-pitch plane over
// the zones a release snaps from.
#include "sim/report/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/rules/oracle.h"
#include "sim/text/text.h"

namespace sim {

namespace {

std::string Escaped(const std::string& s) {
  std::string e;
  for (char c : s)
    e.append(c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c));
  return e;
}

std::string Degrees(float a) { return Format("%g", static_cast<double>(a)); }

struct Point {
  float h, p;
};

// A press with the left button and everything up to its release.
struct Drag {
  int line = 0;
  ViewHandle view = 0;
  bool ignored = false;  // the plug-in did not take hold
  std::vector<Point> path;
  bool released = false, snapped = false, parallel = false;
  Point release{}, landed{};
};

std::vector<Drag> Drags(const std::vector<Step>& steps) {
  std::vector<Drag> drags;
  Drag* open = nullptr;
  for (const Step& s : steps) {
    if (open && s.event == "press") {
      // A second press during a drag keeps the drag's anchor.
      open->path.push_back({s.heading, s.pitch});
    } else if (s.event == "press" && (s.buttons & 1)) {
      drags.push_back({});
      open = &drags.back();
      open->line = s.line;
      open->view = s.view;
      open->ignored = s.state == 0;
      open->path.push_back({s.heading, s.pitch});
    } else if (open && s.event == "move") {
      open->path.push_back({s.heading, s.pitch});
    } else if (open && s.event == "release") {
      open->released = true;
      open->release = {s.headingBefore, s.pitchBefore};
      open->landed = {s.heading, s.pitch};
      for (const std::string& c : s.calls) open->snapped |= c.rfind("SetViewCamera", 0) == 0;
      open->parallel = s.tempOrtho && *s.tempOrtho == "1";
      open = nullptr;
    }
  }
  return drags;
}

bool Finite(Point a) { return std::isfinite(a.h) && std::isfinite(a.p); }

// Drags through angles that are not numbers are captioned but not drawn.
bool Drawable(const Drag& d) {
  for (Point a : d.path)
    if (!Finite(a)) return false;
  return !d.released || (Finite(d.release) && Finite(d.landed));
}

const char kPath[] = "#d95f02", kStripe[] = "#e6eff7", kZone[] = "#b3d1ea", kEdge[] = "#2166ac";
const char kMiss[] = "#c51b1b", kPerspective[] = "#1b7837", kParallel[] = "#7b3294";

// Plot geometry: degrees to pixels, the same scale on both axes.
struct Frame {
  double hLow, hHigh, pLow, pHigh, scale, left = 80, top = 78;
  double x(double h) const { return left + (h - hLow) * scale; }
  double y(double p) const { return top + (pHigh - p) * scale; }
  double width() const { return (hHigh - hLow) * scale; }
  double height() const { return (pHigh - pLow) * scale; }
};

Frame Fit(const std::vector<Drag>& drags) {
  double hl = 0, hh = 90, pl = 0, ph = 0;
  auto add = [&](Point a) {
    hl = std::min<double>(hl, a.h), hh = std::max<double>(hh, a.h);
    pl = std::min<double>(pl, a.p), ph = std::max<double>(ph, a.p);
  };
  for (const Drag& d : drags) {
    if (!Drawable(d)) continue;
    for (Point a : d.path) add(a);
    if (d.released) add(d.release), add(d.landed);
  }
  // Room for a whole band beside every point, out to the next grid line.
  Frame f{std::floor((hl - 40) / 30) * 30, std::ceil((hh + 40) / 30) * 30,
          std::floor((pl - 40) / 30) * 30, std::ceil((ph + 40) / 30) * 30, 1};
  f.scale = std::min(760 / (f.hHigh - f.hLow), 460 / (f.pHigh - f.pLow));
  return f;
}

std::string Line(double x1, double y1, double x2, double y2, const char* color, double width,
                 bool dashed) {
  return Format(
      "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" "
      "stroke-width=\"%.1f\"%s/>\n",
      x1, y1, x2, y2, color, width, dashed ? " stroke-dasharray=\"5 4\"" : "");
}

std::string Text(double x, double y, const std::string& text, const char* extra = "") {
  return Format("<text x=\"%.1f\" y=\"%.1f\"%s>%s</text>\n", x, y, extra, Escaped(text).c_str());
}

std::string Square(double x, double y, const char* color) {
  return Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"11\" height=\"11\" fill=\"%s\"/>\n", x - 5.5,
                y - 5.5, color);
}

std::string Ring(double x, double y, const char* color, const char* fill = "white") {
  return Format(
      "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"6\" fill=\"%s\" stroke=\"%s\" "
      "stroke-width=\"2.5\"/>\n",
      x, y, fill, color);
}

// The snap zones, drawn as light stripes for each angle alone and darker
// squares where both are near; edges a release still snaps from are solid.
std::string Zones(const Frame& f) {
  std::string s;
  const auto multiples = [](double low, double high) {
    std::vector<int32_t> m;
    if (high - low > 90 * 100) return m;  // too many to draw
    for (double k = std::ceil((low - 20) / 90); k * 90 < high + 20; ++k)
      m.push_back(static_cast<int32_t>(k * 90));
    return m;
  };
  const std::vector<int32_t> hs = multiples(f.hLow, f.hHigh), ps = multiples(f.pLow, f.pHigh);
  for (int32_t m : hs) {
    const Band b = SnapBand(m);
    s.append(Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\"/>\n",
                    f.x(b.low), f.top, (b.high - b.low) * f.scale, f.height(), kStripe));
  }
  for (int32_t m : ps) {
    const Band b = SnapBand(m);
    s.append(Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\"/>\n",
                    f.left, f.y(b.high), f.width(), (b.high - b.low) * f.scale, kStripe));
  }
  for (int32_t mh : hs) {
    for (int32_t mp : ps) {
      const Band h = SnapBand(mh), p = SnapBand(mp);
      const double x0 = f.x(h.low), x1 = f.x(h.high), y0 = f.y(p.low), y1 = f.y(p.high);
      s.append(Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\"/>\n",
                      x0, y1, x1 - x0, y0 - y1, kZone));
      s.append(Line(x0, y0, x0, y1, kEdge, 1.5, !h.lowIncluded));
      s.append(Line(x1, y0, x1, y1, kEdge, 1.5, !h.highIncluded));
      s.append(Line(x0, y0, x1, y0, kEdge, 1.5, !p.lowIncluded));
      s.append(Line(x0, y1, x1, y1, kEdge, 1.5, !p.highIncluded));
    }
  }
  return s;
}

std::string Axes(const Frame& f) {
  std::string s;
  const double step = std::max(f.hHigh - f.hLow, f.pHigh - f.pLow) > 400 ? 90 : 30;
  for (double h = std::ceil(f.hLow / step) * step; h <= f.hHigh; h += step) {
    const bool major = std::fmod(h, 90) == 0;
    s.append(
        Line(f.x(h), f.top, f.x(h), f.top + f.height(), major ? "#8a8a8a" : "#d0d0d0", 1, false));
    s.append(Text(f.x(h), f.top + f.height() + 18, Format("%g", h),
                  " font-size=\"12\" fill=\"#333\" text-anchor=\"middle\""));
  }
  for (double p = std::ceil(f.pLow / step) * step; p <= f.pHigh; p += step) {
    const bool major = std::fmod(p, 90) == 0;
    s.append(
        Line(f.left, f.y(p), f.left + f.width(), f.y(p), major ? "#8a8a8a" : "#d0d0d0", 1, false));
    s.append(Text(f.left - 8, f.y(p) + 4, Format("%g", p),
                  " font-size=\"12\" fill=\"#333\" text-anchor=\"end\""));
  }
  s.append(
      Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
             "stroke=\"#333\"/>\n",
             f.left, f.top, f.width(), f.height()));
  s.append(Text(f.left + f.width() / 2, f.top + f.height() + 40, "heading (degrees)",
                " font-size=\"13\" text-anchor=\"middle\""));
  s.append(
      Format("<text transform=\"translate(%.1f %.1f) rotate(-90)\" font-size=\"13\" "
             "text-anchor=\"middle\">pitch (degrees)</text>\n",
             f.left - 48, f.top + f.height() / 2));
  return s;
}

std::string Cross(double x, double y) {
  return Line(x - 6, y - 6, x + 6, y + 6, "#555", 2.5, false) +
         Line(x - 6, y + 6, x + 6, y - 6, "#555", 2.5, false);
}

// A drag's path, from a dot where it started.
std::string PathMarks(const Frame& f, const Drag& d) {
  if (d.ignored) return "";
  const double x = f.x(d.path[0].h), y = f.y(d.path[0].p);
  std::string points;
  for (Point a : d.path) points.append(Format("%.1f,%.1f ", f.x(a.h), f.y(a.p)));
  return Format(
      "<polyline points=\"%s\" fill=\"none\" stroke=\"%s\" stroke-width=\"2.5\" "
      "stroke-linejoin=\"round\"/>\n<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3.5\" fill=\"%s\"/>\n",
      points.c_str(), kPath, x, y, kPath);
}

// Where a drag was let go and, if it snapped, an arrow to where it landed;
// a cross where the tool ignored it. Drawn over every path, so that no later
// drag hides where an earlier one ended.
std::string ReleaseMarks(const Frame& f, const Drag& d) {
  if (d.ignored) return Cross(f.x(d.path[0].h), f.y(d.path[0].p));
  if (!d.released) return "";
  const double rx = f.x(d.release.h), ry = f.y(d.release.p);
  if (!d.snapped) return Ring(rx, ry, kMiss);
  const double lx = f.x(d.landed.h), ly = f.y(d.landed.p);
  std::string s = Square(lx, ly, d.parallel ? kParallel : kPerspective);
  const double length = std::hypot(lx - rx, ly - ry);
  if (length > 16)  // stopping short of the square
    s.append(
        Format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#222\" "
               "stroke-width=\"1.5\" marker-end=\"url(#arrow)\"/>\n",
               rx, ry, lx - (lx - rx) * 9 / length, ly - (ly - ry) * 9 / length));
  return s.append(Ring(rx, ry, "#222", "none"));
}

// Where each drag's number goes: beside its release (or its start), on the
// side farthest from everything else drawn.
std::string Numbers(const Frame& f, const std::vector<Drag>& drags) {
  std::vector<Point> marks;  // in pixels
  auto mark = [&](Point a) { marks.push_back({float(f.x(a.h)), float(f.y(a.p))}); };
  for (const Drag& d : drags) {
    if (!Drawable(d)) continue;
    for (size_t i = 0; i < d.path.size(); ++i) {
      const Point a = d.path[i], b = i + 1 < d.path.size() ? d.path[i + 1] : a;
      for (int k = 0; k < 8; ++k) mark({a.h + (b.h - a.h) * k / 8, a.p + (b.p - a.p) * k / 8});
    }
    if (d.released) mark(d.release), mark(d.landed);
  }
  std::string s;
  for (size_t i = 0; i < drags.size(); ++i) {
    const Drag& d = drags[i];
    if (!Drawable(d)) continue;
    const Point at = d.released && !d.ignored ? d.release : d.path[0];
    const double offsets[][2] = {{9, -9},   {-19, -9}, {9, 19}, {-19, 19},
                                 {-4, -12}, {-4, 24},  {12, 5}, {-22, 5}};
    double bestX = 0, bestY = 0, best = -1;
    for (const auto& o : offsets) {
      // The distance from the text's middle to the nearest mark.
      const double x = f.x(at.h) + o[0], y = f.y(at.p) + o[1];
      double nearest = 1e9;
      for (Point m : marks) nearest = std::min(nearest, std::hypot(x + 4 - m.h, y - 5 - m.p));
      if (nearest > best) best = nearest, bestX = x, bestY = y;
    }
    s.append(Text(bestX, bestY, std::to_string(i + 1), " font-size=\"13\" font-weight=\"bold\""));
    marks.push_back({float(bestX + 4), float(bestY - 5)});
  }
  return s;
}

std::string Caption(const Drag& d) {
  std::string c = Format("line %d, view %u: ", d.line, d.view);
  if (d.ignored) return c.append("ignored by the tool");
  if (!d.released) return c.append("not released");
  c.append(Degrees(d.path[0].h)).append(", ").append(Degrees(d.path[0].p)).append(" \u2192 ");
  c.append(Degrees(d.release.h)).append(", ").append(Degrees(d.release.p));
  if (!d.snapped) return c.append(", no snap");
  c.append(", snapped to ").append(Degrees(d.landed.h)).append(", ").append(Degrees(d.landed.p));
  return c.append(d.parallel ? ", parallel" : "");
}

}  // namespace

std::string Svg(const std::string& title, const std::vector<Step>& steps) {
  const std::vector<Drag> drags = Drags(steps);
  const Frame f = Fit(drags);
  const double legendX = f.left + f.width() + 36;
  const double height = std::max(f.top + f.height() + 60, 200.0 + 22 * (10 + drags.size()));
  std::string s = Format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
      "font-family=\"DejaVu Sans, Verdana, sans-serif\">\n"
      "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
      legendX + 480, height);
  s.append(Text(f.left, 30, std::string("Orbitrix session ").append(title),
                " font-size=\"18\" font-weight=\"bold\""));
  s.append(Text(f.left, 52, "the camera during each drag; a release inside a dark square snaps",
                " font-size=\"13\" fill=\"#444\""));
  s.append(
      "<defs><marker id=\"arrow\" viewBox=\"0 0 10 10\" refX=\"5\" refY=\"5\" markerWidth=\"7\" "
      "markerHeight=\"7\" orient=\"auto\"><path d=\"M0,0 L10,5 L0,10 z\" fill=\"#222\"/>"
      "</marker></defs>\n");
  s.append(
      Format("<clipPath id=\"plot\"><rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" "
             "height=\"%.1f\"/></clipPath>\n<g clip-path=\"url(#plot)\">\n",
             f.left, f.top, f.width(), f.height()));
  s.append(Zones(f)).append("</g>\n").append(Axes(f));
  for (const Drag& d : drags)
    if (Drawable(d)) s.append(PathMarks(f, d));
  for (const Drag& d : drags)
    if (Drawable(d)) s.append(ReleaseMarks(f, d));
  s.append(Numbers(f, drags));

  // The legend, then one caption per drag.
  double y = f.top + 8;
  const double x = legendX + 22;
  auto entry = [&](const std::string& mark, const std::string& text) {
    s.append(mark).append(Text(x + 18, y + 4, text, " font-size=\"13\""));
    y += 22;
  };
  entry(Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"22\" height=\"14\" fill=\"%s\"/>", x - 11,
               y - 7, kZone),
        "snaps: heading and pitch both near");
  entry(Format("<rect x=\"%.1f\" y=\"%.1f\" width=\"22\" height=\"14\" fill=\"%s\"/>", x - 11,
               y - 7, kStripe),
        "one angle near, the other not");
  entry(Line(x - 11, y, x + 11, y, kEdge, 1.5, false), "edge inside the band");
  entry(Line(x - 11, y, x + 11, y, kEdge, 1.5, true), "edge outside the band");
  entry(Line(x - 11, y, x + 11, y, kPath, 2.5, false) +
            Format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3.5\" fill=\"%s\"/>", x - 11, y, kPath),
        "camera path during a drag, from the dot");
  entry(Cross(x, y), "drag the tool ignored (a UV view)");
  entry(Ring(x, y, kMiss), "release that did not snap");
  entry(Ring(x, y, "#222"), "release that snapped, and where to:");
  entry(Square(x, y, kPerspective), "right angle, perspective");
  entry(Square(x, y, kParallel), "right angle, parallel projection");
  const char* const note[] = {"an angle a is near m, a multiple of 90, when",
                              "m-19 \u2264 a < m+20 (a > 0), m-20 < a \u2264 m+19 (a < 0),",
                              "-20 < a < 20 (m = 0)"};
  for (int i = 0; i < 3; ++i)
    s.append(Text(legendX, y + 8 + 16 * i, note[i], " font-size=\"12\" fill=\"#444\""));
  y += 70;
  s.append(Text(legendX, y, "drags", " font-size=\"13\" font-weight=\"bold\""));
  y += 20;
  for (size_t i = 0; i < drags.size(); ++i) {
    s.append(Text(legendX, y + 4, std::to_string(i + 1), " font-size=\"13\" font-weight=\"bold\""));
    s.append(Text(legendX + 26, y + 4, Caption(drags[i]), " font-size=\"13\""));
    y += 22;
  }
  return s.append("</svg>\n");
}

}  // namespace sim

#include "sim/window/scene.h"

#include <cmath>

namespace sim {

namespace {

struct Vec {
  double x, y, z;
};

// The camera orbits this point at this distance, with this vertical field of
// view. The whole scene lies well within the distance, so that no point is
// ever behind the camera.
constexpr Vec kMiddle{0, 1, 0};
constexpr double kDistance = 12;
constexpr double kFieldOfView = 40;
constexpr double kDegree = 3.14159265358979323846 / 180;

constexpr COLORREF kBackground = RGB(40, 44, 52);
constexpr COLORREF kGrid = RGB(96, 104, 116);
constexpr COLORREF kCube = RGB(232, 150, 70);
constexpr COLORREF kAxes[3] = {RGB(230, 70, 70), RGB(90, 200, 90), RGB(80, 140, 240)};

class Camera {
 public:
  Camera(const RECT& area, float heading, float pitch, bool parallel)
      : cx_((area.left + area.right) / 2.0),
        cy_((area.top + area.bottom) / 2.0),
        focal_((area.bottom - area.top) / 2.0 / std::tan(kFieldOfView / 2 * kDegree)),
        ch_(std::cos(heading * kDegree)),
        sh_(std::sin(heading * kDegree)),
        cp_(std::cos(pitch * kDegree)),
        sp_(std::sin(pitch * kDegree)),
        parallel_(parallel) {}

  // The world point on the screen: turned by the heading about the vertical
  // axis, then by the pitch about the horizontal one, seen from kDistance.
  POINT Project(const Vec& p) const {
    const Vec q{p.x - kMiddle.x, p.y - kMiddle.y, p.z - kMiddle.z};
    const double x = q.x * ch_ + q.z * sh_;
    const double z1 = -q.x * sh_ + q.z * ch_;
    const double y = q.y * cp_ - z1 * sp_;
    const double z = q.y * sp_ + z1 * cp_;
    const double scale = focal_ / (parallel_ ? kDistance : kDistance - z);
    return {static_cast<LONG>(std::lround(cx_ + x * scale)),
            static_cast<LONG>(std::lround(cy_ - y * scale))};
  }

 private:
  double cx_, cy_, focal_, ch_, sh_, cp_, sp_;
  bool parallel_;
};

void Line(HDC dc, const Camera& camera, const Vec& a, const Vec& b) {
  const POINT pa = camera.Project(a), pb = camera.Project(b);
  MoveToEx(dc, pa.x, pa.y, nullptr);
  LineTo(dc, pb.x, pb.y);
}

// Draws with a pen of this colour and width while it lives.
class Pen {
 public:
  Pen(HDC dc, COLORREF colour, int width)
      : dc_(dc), pen_(CreatePen(PS_SOLID, width, colour)), old_(SelectObject(dc, pen_)) {}
  ~Pen() {
    SelectObject(dc_, old_);
    DeleteObject(pen_);
  }
  Pen(const Pen&) = delete;
  Pen& operator=(const Pen&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HGDIOBJ old_;
};

}  // namespace

void DrawScene(HDC dc, const RECT& area, float heading, float pitch, bool parallel) {
  HBRUSH background = CreateSolidBrush(kBackground);
  FillRect(dc, &area, background);
  DeleteObject(background);
  const Camera camera(area, heading, pitch, parallel);
  {
    Pen pen(dc, kGrid, 1);
    for (int i = -4; i <= 4; ++i) {
      Line(dc, camera, {-4.0, 0, double(i)}, {4.0, 0, double(i)});
      Line(dc, camera, {double(i), 0, -4.0}, {double(i), 0, 4.0});
    }
  }
  const Vec ends[3] = {{3, 0, 0}, {0, 3, 0}, {0, 0, 3}};
  for (int axis = 0; axis < 3; ++axis) {
    Pen pen(dc, kAxes[axis], 2);
    Line(dc, camera, {0, 0, 0}, ends[axis]);
  }
  // A cube of side 2 standing on the ground around the middle: corner a has
  // bit 0 for +x, bit 1 for the top, bit 2 for +z; each edge once, from its
  // lower corner.
  const auto corner = [](int a) {
    return Vec{a & 1 ? 1.0 : -1.0, a & 2 ? 2.0 : 0.0, a & 4 ? 1.0 : -1.0};
  };
  Pen pen(dc, kCube, 2);
  for (int a = 0; a < 8; ++a)
    for (int bit = 1; bit < 8; bit <<= 1)
      if (!(a & bit)) Line(dc, camera, corner(a), corner(a | bit));
}

}  // namespace sim

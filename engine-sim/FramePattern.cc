// The virtual camera's picture: a drifting colour gradient with a face-coloured
// disc circling the centre, so that a preview visibly moves.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "engine-sim/SimControl.h"

namespace keystead::sim {
namespace {

constexpr double kFramesPerTurn = 60;  // one circle of the disc every 4 s at 15 frames a second

struct Disc {
  double x;
  double y;
  double radius;
};

Disc DiscAt(const CameraSettings& settings, double angle) {
  const double width = settings.width;
  const double height = settings.height;
  return Disc{width / 2 + width / 5 * std::cos(angle), height / 2 + height / 5 * std::sin(angle),
              std::min(width, height) / 5};
}

void Paint(const CameraSettings& settings, std::uint64_t index, const Disc& disc,
           std::string& image) {
  const unsigned shift = static_cast<unsigned>(index * 4);
  const unsigned char skin[] = {140, 172, 224, 255};  // blue, green, red, alpha
  std::size_t at = 0;
  for (int y = 0; y < settings.height; ++y) {
    for (int x = 0; x < settings.width; ++x) {
      const double dx = x - disc.x;
      const double dy = y - disc.y;
      const bool inDisc = dx * dx + dy * dy <= disc.radius * disc.radius;
      const unsigned char background[] = {static_cast<unsigned char>(x + shift),
                                          static_cast<unsigned char>(y + shift / 2),
                                          static_cast<unsigned char>(96 + (shift & 63)), 255};
      for (int channel = 0; channel < settings.channels; ++channel) {
        image[at++] = static_cast<char>(inDisc ? skin[channel] : background[channel]);
      }
    }
  }
}

// Eyes, nose and mouth corners placed on the disc.
std::vector<sdk::SDK_FacePoint> Landmarks(const Disc& disc) {
  const double r = disc.radius;
  return {{disc.x - r * 0.35, disc.y - r * 0.25},
          {disc.x + r * 0.35, disc.y - r * 0.25},
          {disc.x, disc.y + r * 0.1},
          {disc.x - r * 0.3, disc.y + r * 0.45},
          {disc.x + r * 0.3, disc.y + r * 0.45}};
}

}  // namespace

sdk::SDK_Frame MakeFrame(const CameraSettings& settings, std::uint64_t index) {
  const double angle = 2 * std::numbers::pi * static_cast<double>(index % 600) / kFramesPerTurn;
  const Disc disc = DiscAt(settings, angle);
  sdk::SDK_Frame frame;
  frame.image.resize(static_cast<std::size_t>(settings.width) *
                     static_cast<std::size_t>(settings.height) *
                     static_cast<std::size_t>(settings.channels));
  Paint(settings, index, disc, frame.image);
  frame.version = 1;
  frame.channels = settings.channels;
  frame.depth = 8;
  frame.width = settings.width;
  frame.height = settings.height;
  frame.frameSize = static_cast<std::int32_t>(frame.image.size());
  frame.faceQuality = 80 + static_cast<std::int32_t>(index % 15);
  frame.faceCoords.rotation = {10 * std::sin(angle), 10 * std::cos(angle), 0};
  frame.faceCoords.translation = {disc.x - settings.width / 2.0, disc.y - settings.height / 2.0,
                                  600};
  frame.faceCoords.points = Landmarks(disc);
  return frame;
}

}  // namespace keystead::sim

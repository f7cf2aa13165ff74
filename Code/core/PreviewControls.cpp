#include "PreviewControls.h"

#include <cstdlib>

namespace sm = segment_marker;

void PlaceMarkerHandles(PreviewControls& view, int64_t start, int64_t end, int64_t duration) {
  // A handle already within a pixel or two of its place stays, so the
  // marker does not jitter between two roundings of the same second.
  const int a = sm::StartImageWidthFor(start, duration);
  if (std::abs(a - view.StartImageWidth()) > 1) view.SetStartImageWidth(a);
  const int b = sm::EndImageWidthFor(end, duration);
  if (std::abs(b - view.EndImageWidth()) > 2) view.SetEndImageWidth(b);
  // The end may have been held back by the start image's old width.
  if (std::abs(a - view.StartImageWidth()) > 1) view.SetStartImageWidth(a);
}

#pragma once
// grFrame: where something sits in its parent's coordinates (an orientation
// and a position). grFrustumParams: a perspective camera by its diagonal
// angle of view, and the glFrustum arguments it implies.
#include "math/matrix.h"
#include "math/rotation.h"
#include "math/vector.h"

namespace libgr {

// A point p in frame coordinates is at position + M(rotation) p in the
// parent. The orientation is kept twice: `rotation` accumulates new
// rotations on the parent side (used for drawing), `localRotation` the same
// rotations on the local side, so either order is at hand.
struct grFrame {
  grRotation rotation;
  grRotation localRotation;
  grVec3 position;

  constexpr grFrame() = default;
  constexpr grFrame(const grRotation& r, const grVec3& p)
      : rotation(r), localRotation(r), position(p) {}

  void setRotation(const grRotation& r) { rotation = localRotation = r; }
  void setPosition(const grVec3& p) { position = p; }

  // position -= v, in parent coordinates.
  void moveBack(const grVec3& v);
  // position += M(rotation) v: v is given along the frame's own axes.
  void moveAlong(const grVec3& v);
  // Turns about the parent's axes: rotation = compose(r, rotation),
  // localRotation = compose(localRotation, r).
  void rotate(const grRotation& r);
  // rotation = compose(rotation, r), localRotation = compose(r, localRotation).
  void rotateOtherOrder(const grRotation& r);
  // rotate by the inverse of r.
  void rotateBack(const grRotation& r);
  // This frame F becomes G applied to F (F placed inside G).
  void applyParent(const grFrame& G);
  // This frame becomes itself expressed in G's coordinates.
  void makeRelative(const grFrame& G);
};
static_assert(sizeof(grFrame) == 11 * sizeof(float), "grFrame is eleven floats");

inline constexpr grFrame grIdentityFrame{};

grFrame inverse(const grFrame& F);
// F with the parent G applied.
grFrame appliedCopy(const grFrame& F, const grFrame& G);
// rotation = compose(F.rotation, G.rotation), localRotation =
// compose(G.localRotation, F.localRotation), position = M(G.localRotation)
// F.position + G.position.
grFrame appliedCopyLocalOrder(const grFrame& G, const grFrame& F);
// F expressed in G's coordinates.
grFrame relativeCopy(const grFrame& F, const grFrame& G);
// Rotation and translation of a rigid-motion matrix.
grFrame frameFromMatrix(const grMatrix4& M);

// The six glFrustum arguments, in its order.
struct grFrustumBounds {
  double left, right, bottom, top, near, far;
};

struct grFrustumParams {
  // Diagonal angle of view in radians (between opposite corners). Default
  // pi/2, a 90-degree diagonal view: the number 90 was meant as degrees, and
  // read as radians it would give a fish-eye 88 x 105 degree view.
  double angle = 1.5707963267948966;
  double aspect = 4.0 / 3.0;  // width / height
  double near = 0.1;
  double far = 1000.1;

  // No guard: a height of 0 stores an infinite aspect.
  void setAspect(double width, double height) { aspect = width / height; }
  // Angle of view of a lens of focal length f on a 36 x 24 frame.
  void setAngleFromFocalLength(double f);
  grFrustumBounds bounds() const;
};

}  // namespace libgr

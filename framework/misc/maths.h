// The shared maths object: single-precision vectors and 3x4 matrices, a table-driven square
// root and trigonometry in degrees. One object serves the whole process.
#pragma once

#include "framework/core/com.h"

#include <cstdint>

extern const VkGuid CLSID_VkMaths;
extern const VkGuid IID_IVkMaths;

struct VkVector {
    float x, y, z;
};

// Elements 0-2 are the image of the x axis, 3-5 of y, 6-8 of z, 9-11 the translation. A point
// p becomes p.x * row0 + p.y * row1 + p.z * row2 + translation.
struct VkMatrix {
    float m[12];
};

// How a matrix-building operation combines its new matrix N with the existing one M.
constexpr uint32_t VK_COMBINE_REPLACE = 0; // M = N
constexpr uint32_t VK_COMBINE_BEFORE = 1;  // M = N followed by M
constexpr uint32_t VK_COMBINE_AFTER = 2;   // M = M followed by N

class IVkMaths : public IVkUnknown {
public:
    // out = a followed by b; out may be a or b.
    virtual VkMatrix* Multiply(VkMatrix* out, const VkMatrix* a, const VkMatrix* b) = 0;
    virtual VkResult Scale(VkMatrix* matrix, const VkVector* scale, uint32_t mode) = 0;
    virtual VkResult Translate(VkMatrix* matrix, const VkVector* offset, uint32_t mode) = 0;
    virtual VkResult Transform(VkMatrix* matrix, const VkMatrix* other, uint32_t mode) = 0;
    // The rotation that turns the direction of from into that of to.
    virtual VkResult RotateOnto(VkMatrix* out, const VkVector* from, const VkVector* to) = 0;
    // The full inverse; a singular 3x3 part is left as its undivided adjugate.
    virtual VkMatrix* Invert(VkMatrix* out, const VkMatrix* in) = 0;
    // The inverse of a rotation with translation (transpose of the 3x3 part).
    virtual VkMatrix* InvertRigid(VkMatrix* out, const VkMatrix* in) = 0;
    // Gram-Schmidt over the three axes; fails, leaving the matrix alone, when one has no length.
    virtual VkResult Orthonormalise(VkMatrix* matrix) = 0;
    virtual VkResult Rotate(VkMatrix* matrix, const VkVector* axis, float degrees,
                            uint32_t mode) = 0;
    virtual VkResult RotateCosSin(VkMatrix* matrix, const VkVector* unitAxis, float oneMinusCos,
                                  float sine, uint32_t mode) = 0;
    virtual VkVector* TransformPoint(VkVector* point, const VkMatrix* matrix) = 0;
    virtual VkVector* TransformDirection(VkVector* vector, const VkMatrix* matrix) = 0;
    // A vector too short to measure becomes (1, 0, 0).
    virtual VkVector* Normalise(VkVector* out, const VkVector* in) = 0;
    // Returns the length; no test against zero.
    virtual float NormaliseLength(VkVector* out, const VkVector* in) = 0;
    // About 11 bits of mantissa; the argument must not be negative.
    virtual float SquareRoot(float value) = 0;
    virtual float Power(float base, float exponent) = 0;
    virtual float SinDegrees(float degrees) = 0;
    virtual float CosDegrees(float degrees) = 0;
    virtual float TanDegrees(float degrees) = 0;

protected:
    ~IVkMaths() = default;
};

VkResult VkCreateMaths(IVkUnknown* outer, IVkUnknown** out);

// Counted access to the shared object: the first call creates it.
VkResult VkMathsAcquire();
void VkMathsRelease();
// The shared object between acquire and release, else null.
IVkMaths* VkMathsShared();

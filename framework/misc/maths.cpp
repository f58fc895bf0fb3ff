#include "framework/misc/maths.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"

#include <cmath>
#include <cstring>

const VkGuid CLSID_VkMaths = {
    0x11701CA1, 0xDC73, 0x11D1, {0x9B, 0xA4, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};
const VkGuid IID_IVkMaths = {
    0x3A660FB1, 0xDB80, 0x11D1, {0x9B, 0xA4, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};

namespace {

constexpr float kDegreesToRadians = 0.017453292f;
constexpr int32_t kZeroThreshold = 0x02081CEA; // the bits of 1e-37
constexpr uint32_t kTableStep = 4096;          // one step of the 11 highest mantissa bits
constexpr uint32_t kHalf = 2048;

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}
float FromBits(uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

float Dot(const VkVector& a, const VkVector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
VkVector Cross(const VkVector& a, const VkVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
VkVector Row(const VkMatrix& m, int row) {
    return {m.m[row * 3], m.m[row * 3 + 1], m.m[row * 3 + 2]};
}
void SetRow(VkMatrix& m, int row, const VkVector& v) {
    m.m[row * 3] = v.x;
    m.m[row * 3 + 1] = v.y;
    m.m[row * 3 + 2] = v.z;
}
VkVector Direction(const VkVector& v, const VkMatrix& m) {
    return {v.x * m.m[0] + v.y * m.m[3] + v.z * m.m[6], v.x * m.m[1] + v.y * m.m[4] + v.z * m.m[7],
            v.x * m.m[2] + v.y * m.m[5] + v.z * m.m[8]};
}
VkMatrix Identity() {
    return {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};
}

class Maths final : public VkObject<IVkMaths, IID_IVkMaths> {
public:
    Maths() {
        // Entries 1..2048 hold roots of [1, 2), entries 2049..4096 roots of [2, 4), each less
        // the half exponent that SquareRoot adds back.
        for (uint32_t k = 0; k < kHalf; ++k) {
            uint32_t low = 0x3F800000u + k * kTableStep;
            uint32_t high = 0x40000000u + k * kTableStep;
            table_[1 + k] = Bits(std::sqrt(FromBits(low))) - 0x1FC00000u;
            table_[1 + kHalf + k] = Bits(std::sqrt(FromBits(high))) - 0x20000000u;
        }
    }

    VkMatrix* Multiply(VkMatrix* out, const VkMatrix* a, const VkMatrix* b) override {
        VkMatrix r;
        for (int row = 0; row < 3; ++row)
            SetRow(r, row, Direction(Row(*a, row), *b));
        VkVector t = Direction(Row(*a, 3), *b);
        SetRow(r, 3, {t.x + b->m[9], t.y + b->m[10], t.z + b->m[11]});
        *out = r;
        return out;
    }

    VkResult Scale(VkMatrix* matrix, const VkVector* s, uint32_t mode) override {
        const float f[3] = {s->x, s->y, s->z};
        switch (mode) {
        case VK_COMBINE_REPLACE: *matrix = {{s->x, 0, 0, 0, s->y, 0, 0, 0, s->z, 0, 0, 0}}; break;
        case VK_COMBINE_BEFORE:
            for (int i = 0; i < 9; ++i)
                matrix->m[i] *= f[i / 3];
            break;
        case VK_COMBINE_AFTER:
            for (int i = 0; i < 12; ++i)
                matrix->m[i] *= f[i % 3];
            break;
        default: break;
        }
        return VK_OK;
    }

    VkResult Translate(VkMatrix* matrix, const VkVector* v, uint32_t mode) override {
        VkVector add = *v;
        switch (mode) {
        case VK_COMBINE_REPLACE:
            *matrix = Identity();
            SetRow(*matrix, 3, *v);
            return VK_OK;
        case VK_COMBINE_BEFORE: add = Direction(*v, *matrix); break;
        case VK_COMBINE_AFTER: break;
        default: return VK_OK;
        }
        matrix->m[9] += add.x;
        matrix->m[10] += add.y;
        matrix->m[11] += add.z;
        return VK_OK;
    }

    VkResult Transform(VkMatrix* matrix, const VkMatrix* other, uint32_t mode) override {
        Combine(matrix, *other, mode);
        return VK_OK;
    }

    VkResult RotateOnto(VkMatrix* out, const VkVector* from, const VkVector* to) override {
        VkVector a, b;
        NormaliseLength(&a, from);
        NormaliseLength(&b, to);
        VkVector axis = Cross(a, b);
        float cosine = Dot(a, b);
        float sine = std::sqrt(Dot(axis, axis));
        if (!(sine > 1e-6f)) {
            if (cosine > 0) {
                *out = Identity();
                return VK_OK;
            }
            // Opposite directions: half a turn about any axis square to them.
            axis = Cross(a, std::fabs(a.x) < 0.9f ? VkVector{1, 0, 0} : VkVector{0, 1, 0});
            sine = 0;
            cosine = -1;
        }
        VkVector unit;
        Normalise(&unit, &axis);
        return RotateCosSin(out, &unit, 1 - cosine, sine, VK_COMBINE_REPLACE);
    }

    VkMatrix* Invert(VkMatrix* out, const VkMatrix* in) override {
        const float* a = in->m;
        VkMatrix r;
        r.m[0] = a[4] * a[8] - a[5] * a[7];
        r.m[1] = a[2] * a[7] - a[1] * a[8];
        r.m[2] = a[1] * a[5] - a[2] * a[4];
        r.m[3] = a[5] * a[6] - a[3] * a[8];
        r.m[4] = a[0] * a[8] - a[2] * a[6];
        r.m[5] = a[2] * a[3] - a[0] * a[5];
        r.m[6] = a[3] * a[7] - a[4] * a[6];
        r.m[7] = a[1] * a[6] - a[0] * a[7];
        r.m[8] = a[0] * a[4] - a[1] * a[3];
        float det = a[0] * r.m[0] + a[1] * r.m[3] + a[2] * r.m[6];
        if (det != 0)
            for (int i = 0; i < 9; ++i)
                r.m[i] /= det;
        VkVector t = Direction(Row(*in, 3), r);
        SetRow(r, 3, {-t.x, -t.y, -t.z});
        *out = r;
        return out;
    }

    VkMatrix* InvertRigid(VkMatrix* out, const VkMatrix* in) override {
        VkMatrix r;
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col)
                r.m[row * 3 + col] = in->m[col * 3 + row];
        VkVector t = Direction(Row(*in, 3), r);
        SetRow(r, 3, {-t.x, -t.y, -t.z});
        *out = r;
        return out;
    }

    VkResult Orthonormalise(VkMatrix* matrix) override {
        VkVector x = Row(*matrix, 0), y = Row(*matrix, 1), z = Row(*matrix, 2);
        if (NormaliseLength(&x, &x) == 0 || !std::isfinite(x.x)) return VK_E_FAIL;
        float d = Dot(y, x);
        y = {y.x - d * x.x, y.y - d * x.y, y.z - d * x.z};
        if (!(Dot(y, y) > 0) || NormaliseLength(&y, &y) == 0) return VK_E_FAIL;
        float dx = Dot(z, x), dy = Dot(z, y);
        z = {z.x - dx * x.x - dy * y.x, z.y - dx * x.y - dy * y.y, z.z - dx * x.z - dy * y.z};
        if (!(Dot(z, z) > 0) || NormaliseLength(&z, &z) == 0) return VK_E_FAIL;
        SetRow(*matrix, 0, x);
        SetRow(*matrix, 1, y);
        SetRow(*matrix, 2, z);
        return VK_OK;
    }

    VkResult Rotate(VkMatrix* matrix, const VkVector* axis, float degrees, uint32_t mode) override {
        VkVector unit;
        Normalise(&unit, axis);
        float sine = SinDegrees(degrees), cosine = CosDegrees(degrees);
        return RotateCosSin(matrix, &unit, 1 - cosine, sine, mode);
    }

    VkResult RotateCosSin(VkMatrix* matrix, const VkVector* u, float t, float s,
                          uint32_t mode) override {
        float c = 1 - t;
        const float x = u->x, y = u->y, z = u->z;
        VkMatrix r = {{t * x * x + c, t * x * y + s * z, t * x * z - s * y, //
                       t * x * y - s * z, t * y * y + c, t * y * z + s * x, //
                       t * x * z + s * y, t * y * z - s * x, t * z * z + c, //
                       0, 0, 0}};
        Combine(matrix, r, mode);
        return VK_OK;
    }

    VkVector* TransformPoint(VkVector* p, const VkMatrix* m) override {
        VkVector d = Direction(*p, *m);
        *p = {d.x + m->m[9], d.y + m->m[10], d.z + m->m[11]};
        return p;
    }

    VkVector* TransformDirection(VkVector* v, const VkMatrix* m) override {
        *v = Direction(*v, *m);
        return v;
    }

    VkVector* Normalise(VkVector* out, const VkVector* in) override {
        float squared = Dot(*in, *in);
        if (static_cast<int32_t>(Bits(squared)) <= kZeroThreshold) {
            *out = {1, 0, 0};
            return out;
        }
        float length = SquareRoot(squared);
        *out = {in->x / length, in->y / length, in->z / length};
        return out;
    }

    float NormaliseLength(VkVector* out, const VkVector* in) override {
        float length = SquareRoot(Dot(*in, *in));
        *out = {in->x / length, in->y / length, in->z / length};
        return length;
    }

    float SquareRoot(float value) override {
        uint32_t bits = Bits(value);
        if (bits == 0) return 0;
        uint32_t r = bits + kHalf; // round to the nearest table step
        uint32_t index = (r >> 12) & 0x7FF;
        uint32_t half = (r & 0x7F800000u) >> 1;
        return FromBits(half + table_[(r & 0x00800000u) ? 1 + index : 1 + kHalf + index]);
    }

    float Power(float base, float exponent) override { return std::pow(base, exponent); }
    float SinDegrees(float d) override { return std::sin(d * kDegreesToRadians); }
    float CosDegrees(float d) override { return std::cos(d * kDegreesToRadians); }
    float TanDegrees(float d) override { return std::tan(d * kDegreesToRadians); }

private:
    void Destroy() override;

    void Combine(VkMatrix* matrix, const VkMatrix& n, uint32_t mode) {
        switch (mode) {
        case VK_COMBINE_REPLACE: *matrix = n; break;
        case VK_COMBINE_BEFORE: Multiply(matrix, &n, matrix); break;
        case VK_COMBINE_AFTER: Multiply(matrix, matrix, &n); break;
        default: break;
        }
    }

    uint32_t table_[1 + 2 * kHalf] = {}; // entry 0 unused
};

Maths* g_maths = nullptr;
IVkMaths* g_shared = nullptr;
uint32_t g_sharedCount = 0;

void Maths::Destroy() {
    g_maths = nullptr;
    VkMemDestroyObject(this);
}

const VkComponentRecord kMathsRecords[] = {
    {&CLSID_VkMaths, 0, nullptr, 0, nullptr, VkCreateMaths, "Standard Maths - Vesk", "Vesk.Maths.1",
     "Vesk.Maths", nullptr},
};

} // namespace

VkResult VkCreateMaths(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    if (g_maths) {
        g_maths->AddRef();
    } else {
        VkResult res = VkMemCreateObject(&g_maths);
        if (res < 0) return res;
    }
    *out = g_maths;
    return VK_OK;
}

VkResult VkMathsAcquire() {
    if (!g_shared) {
        void* object = nullptr;
        if (VkCreateInstance(CLSID_VkMaths, nullptr, 0, IID_IVkMaths, &object) < 0)
            return VK_E_FAIL;
        g_shared = static_cast<IVkMaths*>(object);
    }
    ++g_sharedCount;
    return VK_OK;
}

void VkMathsRelease() {
    if (g_sharedCount == 0) return;
    if (--g_sharedCount == 0) {
        g_shared->Release();
        g_shared = nullptr;
    }
}

IVkMaths* VkMathsShared() {
    return g_shared;
}

VkResult VkMathsModuleRegister(IVkRegistry* registry) {
    return VkModule<kMathsRecords>::Register(registry);
}

#include "player/swfrecords.h"

#include <cmath>

namespace {
uint8_t ClampChannel(float v) {
    if (!(v > 0)) // also catches NaN
        return 0;
    if (v >= 255)
        return 255;
    return static_cast<uint8_t>(v);
}
} // namespace

SwfMatrix SwfMatrix::operator*(const SwfMatrix& m) const {
    SwfMatrix r;
    r.a = a * m.a + c * m.b;
    r.b = b * m.a + d * m.b;
    r.c = a * m.c + c * m.d;
    r.d = b * m.c + d * m.d;
    r.tx = a * m.tx + c * m.ty + tx;
    r.ty = b * m.tx + d * m.ty + ty;
    return r;
}

bool SwfMatrix::Invert(SwfMatrix* out) const {
    double det = a * d - b * c;
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) {
        *out = SwfMatrix();
        return false;
    }
    SwfMatrix r;
    r.a = d / det;
    r.b = -b / det;
    r.c = -c / det;
    r.d = a / det;
    r.tx = -(r.a * tx + r.c * ty);
    r.ty = -(r.b * tx + r.d * ty);
    *out = r;
    return true;
}

SwfColorTransform SwfColorTransform::operator*(const SwfColorTransform& in) const {
    SwfColorTransform r;
    r.mulR = mulR * in.mulR;
    r.mulG = mulG * in.mulG;
    r.mulB = mulB * in.mulB;
    r.mulA = mulA * in.mulA;
    r.addR = mulR * in.addR + addR;
    r.addG = mulG * in.addG + addG;
    r.addB = mulB * in.addB + addB;
    r.addA = mulA * in.addA + addA;
    return r;
}

SwfColor SwfColorTransform::Apply(SwfColor c) const {
    SwfColor r;
    r.r = ClampChannel(c.r * mulR + addR);
    r.g = ClampChannel(c.g * mulG + addG);
    r.b = ClampChannel(c.b * mulB + addB);
    r.a = ClampChannel(c.a * mulA + addA);
    return r;
}

bool SwfColorTransform::operator==(const SwfColorTransform& o) const {
    return mulR == o.mulR && mulG == o.mulG && mulB == o.mulB && mulA == o.mulA && addR == o.addR &&
           addG == o.addG && addB == o.addB && addA == o.addA;
}

SwfRect ReadRect(SwfReader& r) {
    int n = static_cast<int>(r.UB(5));
    SwfRect rect;
    rect.xMin = r.SB(n);
    rect.xMax = r.SB(n);
    rect.yMin = r.SB(n);
    rect.yMax = r.SB(n);
    r.Align();
    return rect;
}

SwfMatrix ReadMatrix(SwfReader& r) {
    SwfMatrix m;
    if (r.UB(1)) {
        int n = static_cast<int>(r.UB(5));
        m.a = r.FB(n);
        m.d = r.FB(n);
    }
    if (r.UB(1)) {
        int n = static_cast<int>(r.UB(5));
        m.b = r.FB(n);
        m.c = r.FB(n);
    }
    int n = static_cast<int>(r.UB(5));
    m.tx = r.SB(n);
    m.ty = r.SB(n);
    r.Align();
    return m;
}

SwfColorTransform ReadColorTransform(SwfReader& r, bool withAlpha) {
    SwfColorTransform t;
    bool hasAdd = r.UB(1) != 0;
    bool hasMul = r.UB(1) != 0;
    int n = static_cast<int>(r.UB(4));
    if (hasMul) {
        t.mulR = r.SB(n) / 256.0f;
        t.mulG = r.SB(n) / 256.0f;
        t.mulB = r.SB(n) / 256.0f;
        if (withAlpha)
            t.mulA = r.SB(n) / 256.0f;
    }
    if (hasAdd) {
        t.addR = static_cast<float>(r.SB(n));
        t.addG = static_cast<float>(r.SB(n));
        t.addB = static_cast<float>(r.SB(n));
        if (withAlpha)
            t.addA = static_cast<float>(r.SB(n));
    }
    r.Align();
    return t;
}

SwfColor ReadRgb(SwfReader& r) {
    SwfColor c;
    c.r = r.U8();
    c.g = r.U8();
    c.b = r.U8();
    c.a = 255;
    return c;
}

SwfColor ReadRgba(SwfReader& r) {
    SwfColor c = ReadRgb(r);
    c.a = r.U8();
    return c;
}

#pragma once
// The projection that maps the default quad (corners at +-0.5) onto the whole
// render target, shifted by half a pixel so that texels land on pixel centres.


struct Matrix4 {
    float m[4][4];
    static Matrix4 Identity();
};

struct QuadProjection {
    Matrix4 matrix;
    bool shifted;        // false when a zero or negative size gave no pixel to shift by
    bool aspectReplaced; // true when a usable size gave no usable aspect (pixelAspect 0, say) and 1 was taken
};

// Row-major, for row vectors (v' = v * M), Direct3D's depth range 0..1.
// A corner (+-0.5, +-0.5, 0) lands at x = +-1 - 0.5 / width, y = +-1 + 0.5 / height.
QuadProjection ComputeQuadProjection(int width, int height, double pixelAspect);

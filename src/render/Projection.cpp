#include "Projection.h"

#include <cmath>

namespace {

const double Pi = 3.14159265358979323846;
const double FieldOfViewDegrees = 40.0;
const double CameraDistance = 100.0;
const double NearPlane = 0.10000000149011612;  // the float 0.1
const double FarPlane = 4000.0;

struct MatrixD {
    double m[4][4];
};

MatrixD Zero()
{
    MatrixD result = {};
    return result;
}

MatrixD Multiply(const MatrixD& a, const MatrixD& b)
{
    MatrixD result = Zero();
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            for (int k = 0; k < 4; ++k)
                result.m[row][column] += a.m[row][k] * b.m[k][column];
    return result;
}

} // namespace

Matrix4 Matrix4::Identity()
{
    Matrix4 identity = {};
    for (int i = 0; i < 4; ++i)
        identity.m[i][i] = 1.0f;
    return identity;
}

QuadProjection ComputeQuadProjection(int width, int height, double pixelAspect)
{
    // Without a positive size there is no pixel to shift by half; without a usable
    // aspect the scale would divide by zero. The aspect cancels out of the quad's
    // mapping, so 1 serves in its place.
    const bool sizeUsable = width > 0 && height > 0;
    double aspect = sizeUsable ? width * pixelAspect / height : 0.0;
    const bool aspectUsable = std::isfinite(aspect) && aspect > 0.0;
    if (!aspectUsable)
        aspect = 1.0;
    const double shiftX = sizeUsable ? 0.5 / width : 0.0;
    const double shiftY = sizeUsable ? 0.5 / height : 0.0;

    // Model: the quad scaled to the height of a 40-degree field of view at the camera distance.
    const double halfAngle = FieldOfViewDegrees / 360.0 * Pi;
    const double s = std::tan(0.34906585039886556) * 2.0 * CameraDistance;
    MatrixD scale = Zero();
    scale.m[0][0] = s * aspect;
    scale.m[1][1] = s;
    scale.m[2][2] = s;
    scale.m[3][3] = 1.0;
    MatrixD translation = Zero();
    for (int i = 0; i < 4; ++i)
        translation.m[i][i] = 1.0;
    translation.m[3][2] = -CameraDistance;

    // Right-handed off-centre perspective, depth 0..1, with the half-pixel shift.
    const double aspectF = static_cast<float>(aspect);
    const double top = std::tan(halfAngle) * NearPlane;
    const double bottom = -top;
    const double right = top * aspectF;
    const double left = -right;
    MatrixD projection = Zero();
    projection.m[0][0] = 2.0 * NearPlane / (right - left);
    projection.m[1][1] = 2.0 * NearPlane / (top - bottom);
    projection.m[2][0] = (left + right) / (right - left) + shiftX;
    projection.m[2][1] = (top + bottom) / (top - bottom) - shiftY;
    projection.m[2][2] = FarPlane / (NearPlane - FarPlane);
    projection.m[2][3] = -1.0;
    projection.m[3][2] = NearPlane * FarPlane / (NearPlane - FarPlane);

    const MatrixD product = Multiply(Multiply(scale, translation), projection);
    QuadProjection result;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            result.matrix.m[row][column] = static_cast<float>(product.m[row][column]);
    result.shifted = sizeUsable;
    result.aspectReplaced = sizeUsable && !aspectUsable;
    return result;
}

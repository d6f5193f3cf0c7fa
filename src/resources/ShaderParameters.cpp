// Uniform values of a shader: kept by name per program, written into the constant
// registers that the Cg compiler assigned, converted to the register's float layout
// by the uniform's Cg type.

#include "DX9ResShaderGPU.h"

#include "ErrorReporting.h"
#include "NumericConversions.h"
#include "RenderAccess.h"

#include <cstring>

using namespace Veltra;
using namespace VeltraRender;

namespace {

template <typename T>
T PayloadAs(const ShaderValue& value)
{
    T result;
    std::memcpy(&result, value.payload, sizeof result);
    return result;
}

float ScalarAsFloat(const ShaderValue& value)
{
    switch (value.tag) {
    case svFloat:
        return PayloadAs<float>(value);
    case svDouble:
        return static_cast<float>(PayloadAs<double>(value));
    case svInt16:
        return static_cast<float>(PayloadAs<int16_t>(value));
    case svInt32:
        return static_cast<float>(PayloadAs<int32_t>(value));
    case svInt64:
        return static_cast<float>(PayloadAs<int64_t>(value));
    default:
        return 0.0f;
    }
}

int32_t ScalarAsInt(const ShaderValue& value)
{
    switch (value.tag) {
    case svFloat:
        return TruncateToInt32(PayloadAs<float>(value));
    case svDouble:
        return TruncateToInt32(PayloadAs<double>(value));
    case svInt16:
        return PayloadAs<int16_t>(value);
    case svInt32:
    case svInt64:
        return PayloadAs<int32_t>(value);  // the low 32 bits
    default:
        return 0;
    }
}

// Copies up to `count` 32-bit values of the value's data into `out` (the rest stays
// zero): a block value's heap block, never past its size; any other value's payload.
void ReadWords(const ShaderValue& value, void* out, size_t count)
{
    if (value.tag == svBlock) {
        const void* block = value.Owned();
        const size_t available = block ? static_cast<size_t>(value.size / 4) : 0;
        std::memcpy(out, block, (count < available ? count : available) * 4);
    } else {
        std::memcpy(out, value.payload, count * 4);
    }
}

size_t VectorLength(CGtype type)
{
    switch (type) {
    case CG_FLOAT2:
    case CG_INT2:
        return 2;
    case CG_FLOAT3:
    case CG_INT3:
        return 3;
    default:
        return 4;
    }
}

} // namespace

void DX9ResShaderGPU::CheckUniformName(uint32_t selector, const std::string& name)
{
    const bool vertex = selector == 0;
    CGprogram program = vertex ? _cgVertexProgram : _cgPixelProgram;
    if (!program || !_checkedNames[vertex ? 0 : 1].insert(name).second)
        return;
    const std::wstring wideName(name.begin(), name.end());
    const wchar_t* const programName = vertex ? L"vertex" : L"pixel";
    CGparameter parameter = cgGetNamedParameter(program, name.c_str());
    CgFailed(L"");
    if (!parameter)
        LogIfActive(LogWarning, L"DX9ResShaderGPU(%X) - the %s program has no uniform \"%s\": the value reaches nothing\n",
                    LogAddress(this), programName, wideName.c_str());
    else if (cgGetParameterResource(parameter) == CG_UNDEFINED)
        LogIfActive(LogTrace, L"DX9ResShaderGPU(%X) - the %s program never reads uniform \"%s\": the compiler removed it\n",
                    LogAddress(this), programName, wideName.c_str());
}

void DX9ResShaderGPU::SetVertexParameter(const std::string& name, const ShaderValue& value)
{
    CheckUniformName(0, name);
    _vertexParameters[name] = value;
    // Written at once only while the device holds this shader's own program: a shader
    // selected after this one without a deselection owns the registers now, and this
    // shader writes the value at its next Select.
    if (_settings.state == rsSelected && DeviceHoldsProgram(0))
        UploadParameter(0, name, value);
}

void DX9ResShaderGPU::SetPixelParameter(const std::string& name, const ShaderValue& value)
{
    CheckUniformName(1, name);
    _pixelParameters[name] = value;
    if (_settings.state == rsSelected && DeviceHoldsProgram(1))
        UploadParameter(1, name, value);
}

void DX9ResShaderGPU::UploadParameter(uint32_t selector, const std::string& name, const ShaderValue& value)
{
    const bool vertex = selector == 0;
    CGparameter parameter = cgGetNamedParameter(vertex ? _cgVertexProgram : _cgPixelProgram, name.c_str());
    if (!parameter) {
        CgFailed(L"");
        return;
    }
    // A uniform without a register: the compiler dropped it because nothing reads it.
    // (A failing query answers the same; its error is reported here, not by a later call.)
    if (cgGetParameterResource(parameter) == CG_UNDEFINED) {
        CgFailed(L"");
        return;
    }
    const CGtype type = cgGetParameterType(parameter);
    const UINT dxReg = static_cast<UINT>(cgGetParameterResourceIndex(parameter));
    CgFailed(L"");

    RenderAccess access(_settings.render);
    IDirect3DDevice9* device = access.Device();
    auto upload = [&](const float* data, UINT registers, const wchar_t* vertexText, const wchar_t* pixelText) {
        if (vertex)
            DXFailed(device->SetVertexShaderConstantF(dxReg, data, registers), vertexText);
        else
            DXFailed(device->SetPixelShaderConstantF(dxReg, data, registers), pixelText);
    };
    const wchar_t* const vectorVertexText = L"device->SetVertexShaderConstantF(dxReg, floatVector, 1)";
    const wchar_t* const vectorPixelText = L"device->SetPixelShaderConstantF(dxReg, floatVector, 1)";

    float floatVector[4] = {};
    switch (type) {
    case CG_FLOAT:
        floatVector[0] = ScalarAsFloat(value);
        upload(floatVector, 1, vectorVertexText, vectorPixelText);
        break;
    case CG_FLOAT2:
    case CG_FLOAT3:
    case CG_FLOAT4:
        ReadWords(value, floatVector, VectorLength(type));
        upload(floatVector, 1, vectorVertexText, vectorPixelText);
        break;
    case CG_INT:
        floatVector[0] = static_cast<float>(ScalarAsInt(value));
        upload(floatVector, 1, vectorVertexText, vectorPixelText);
        break;
    case CG_INT2:
    case CG_INT3:
    case CG_INT4: {
        int32_t integers[4] = {};
        ReadWords(value, integers, VectorLength(type));
        for (int i = 0; i < 4; ++i)
            floatVector[i] = static_cast<float>(integers[i]);
        upload(floatVector, 1, vectorVertexText, vectorPixelText);
        break;
    }
    case CG_FLOAT3x3: {
        // Cg packs a float3x3 into three registers and may give the one after them to the
        // next uniform, or end the profile's registers with them: three registers are
        // written, each row into the first three floats of one, and the fourth float of
        // each keeps what the device holds.
        float rows[9] = {};
        ReadWords(value, rows, 9);
        float matrix[3][4] = {};
        if (vertex)
            DXFailed(device->GetVertexShaderConstantF(dxReg, &matrix[0][0], 3),
                     L"device->GetVertexShaderConstantF(dxReg, (float*)&matrix, 3)");
        else
            DXFailed(device->GetPixelShaderConstantF(dxReg, &matrix[0][0], 3),
                     L"device->GetPixelShaderConstantF(dxReg, (float*)&matrix, 3)");
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                matrix[row][column] = rows[row * 3 + column];
        upload(&matrix[0][0], 3, L"device->SetVertexShaderConstantF(dxReg, (float*)&matrix, 4)",
               L"device->SetPixelShaderConstantF(dxReg, (float*)&matrix, 4)");
        break;
    }
    case CG_FLOAT4x4: {
        if (value.tag != svMatrix4)
            ThrowError(ecInvalidParameter);
        float floatArray[16];
        std::memcpy(floatArray, value.payload, sizeof floatArray);
        upload(floatArray, 4, L"device->SetVertexShaderConstantF(dxReg, floatArray, 4)",
               L"device->SetPixelShaderConstantF(dxReg, floatArray, 4)");
        break;
    }
    default:
        break;  // a type the back-end does not upload
    }
}

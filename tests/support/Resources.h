#pragma once
// Small helpers for tests that create resources through IRender.

#include <VeltraRender/VeltraRender.h>

#include <gtest/gtest.h>
#include <boost/pointer_cast.hpp>
#include <boost/shared_ptr.hpp>

// Expects `statement` to throw VeltraException with `expectedCode` and detail 0.
#define EXPECT_VELTRA_ERROR(statement, expectedCode)                                                                   \
    do {                                                                                                               \
        bool thrown_ = false;                                                                                          \
        try {                                                                                                          \
            statement;                                                                                                 \
        } catch (const Veltra::VeltraException& error_) {                                                              \
            thrown_ = true;                                                                                            \
            EXPECT_EQ(error_.code, (expectedCode)) << #statement;                                                      \
            EXPECT_EQ(error_.detail, 0) << #statement;                                                                 \
        }                                                                                                              \
        EXPECT_TRUE(thrown_) << #statement << " threw no VeltraException";                                             \
    } while (false)

inline VeltraRender::BufferSettings BufferOf(uint32_t kind, uint32_t components, int32_t count,
                                             const void* data = nullptr)
{
    VeltraRender::BufferSettings settings;
    settings.kind = kind;
    settings.components = components;
    settings.count = count;
    settings.data = data;
    return settings;
}

inline boost::shared_ptr<VeltraRender::IResBufferGPU> CreateBuffer(VeltraRender::IRender& render, uint32_t kind,
                                                                   uint32_t components, int32_t count,
                                                                   const void* data = nullptr)
{
    return boost::dynamic_pointer_cast<VeltraRender::IResBufferGPU>(
        render.CreateResourceGPU(BufferOf(kind, components, count, data)));
}

inline VeltraRender::BufferSettings SettingsOf(VeltraRender::IResource& buffer)
{
    VeltraRender::BufferSettings settings;
    buffer.GetSettings(settings);
    return settings;
}

inline VeltraRender::TextureSettings TextureOf(VeltraRender::ResourceType type, int width, int height,
                                               uint32_t format = VeltraRender::pfColor0, int rowBytes = 0,
                                               const void* data = nullptr)
{
    VeltraRender::TextureSettings settings;
    settings.type = type;
    settings.image.pixelWidth = width;
    settings.image.pixelHeight = height;
    settings.image.pixelFormat = format;
    settings.image.rowBytes = rowBytes;
    settings.data = data;
    return settings;
}

inline boost::shared_ptr<VeltraRender::IResTextureGPU> CreateGpuTexture(VeltraRender::IRender& render, int width,
                                                                        int height,
                                                                        uint32_t format = VeltraRender::pfColor0,
                                                                        int rowBytes = 0)
{
    return boost::dynamic_pointer_cast<VeltraRender::IResTextureGPU>(
        render.CreateResourceGPU(TextureOf(VeltraRender::rtTextureGPU, width, height, format, rowBytes)));
}

inline boost::shared_ptr<VeltraRender::IResTextureCPU> CreateCpuTexture(VeltraRender::IRender& render, int width,
                                                                        int height,
                                                                        uint32_t format = VeltraRender::pfColor0,
                                                                        const void* data = nullptr)
{
    return boost::dynamic_pointer_cast<VeltraRender::IResTextureCPU>(
        render.CreateResourceCPU(TextureOf(VeltraRender::rtTextureCPU, width, height, format, 0, data)));
}

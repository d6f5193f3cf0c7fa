// Resources as a host holds them on the real device: what they answer and keep for the
// host, a texture Direct3D refuses, and what programs draw with the host's vertex
// uniforms and in place of programs that do not compile.

#include "RealFixture.h"

using RealResourceTest = RealFixture;

TEST_F(RealResourceTest, ResourcesKeepAndAnswerWhatTheHostSet)
{
    const Pixels image16x8 = Pattern(16, 8), white(16 * 8, 0xFFFFFFFF);
    TextureSettings settings = TextureOf(rtTextureGPU, 16, 8, pfColor1, 16 * 4, image16x8.data());
    settings.flag = true;
    const auto texture = boost::dynamic_pointer_cast<IResTextureGPU>(render->CreateResourceGPU(settings));
    EXPECT_EQ(ReadBack(texture, 16, 8), image16x8);
    EXPECT_TRUE(texture->GetType() == rtTextureGPU && texture->GetFlag() && texture->GetState() == rsReady);
    EXPECT_EQ(texture->DecrementCount(), 0u);
    EXPECT_EQ(texture->IncrementCount() + texture->IncrementCount() + texture->DecrementCount(), 1u + 2u + 1u);
    EXPECT_TRUE(texture->GetClearColorEnabled() && !texture->GetUserFlag());
    texture->SetClearColorEnabled(false);
    texture->SetUserFlag(true);
    EXPECT_TRUE(!texture->GetClearColorEnabled() && texture->GetUserFlag());
    texture->SetImageExtras(4, 5, 6, false);
    TextureSettings kept;
    texture->GetSettings(kept);
    const ImageDescriptor& image = kept.image;
    EXPECT_TRUE(image.extra1 == 4 && image.extra2 == 5 && image.extra3 == 6 && !image.extraFlag && kept.flag);
    auto matches = [&](void (*change)(ImageDescriptor&)) {
        ImageDescriptor other = image;
        change(other);
        return texture->MatchesImage(other);
    };
    EXPECT_TRUE(matches([](ImageDescriptor& other) { other.rowBytes = 4; })) << "the host's row length is not the texture's";
    EXPECT_FALSE(matches([](ImageDescriptor& other) { other.pixelWidth += 1; }) ||
                 matches([](ImageDescriptor& other) { other.pixelHeight += 1; }) ||
                 matches([](ImageDescriptor& other) { other.pixelFormat = pfColor0; }));
    auto surfaceOf = [](IResTextureGPU& gpu) {
        D3DSURFACE_DESC described = {};
        if (IDirect3DSurface9* surface = gpu.GetDeviceInterface())
            surface->GetDesc(&described), surface->Release();
        return described;
    };
    D3DSURFACE_DESC described = surfaceOf(*texture);
    EXPECT_TRUE(described.Width == 16 && described.Height == 8 && described.Format == D3DFMT_A8R8G8B8);
    EXPECT_TRUE(texture->SetTextureData(white.data()));
    EXPECT_EQ(ReadBack(texture, 16, 8), white);

    // A CPU copy takes the GPU texture's image; host flags and extras stay its own.
    const auto copy = boost::dynamic_pointer_cast<IResTextureCPU>(render->CreateResourceCPU(texture));
    EXPECT_TRUE(copy->GetType() == rtTextureCPU && copy->MatchesImage(image));
    copy->SetImageExtras(7, 8, 9, true);
    copy->GetSettings(kept);
    EXPECT_TRUE(kept.image.extra1 == 7 && kept.image.extra2 == 8 && kept.image.extra3 == 9 && kept.image.extraFlag);
    const LockedMemory locked = copy->Lock();
    EXPECT_TRUE(locked.bits && locked.pitch >= 16 * 4 && copy->GetState() == rsLocked);
    copy->Unlock();
    EXPECT_EQ(copy->GetState(), rsReady);

    // A state the host sets is the one the render goes by; a state refuses a transfer.
    texture->SetState(rsLocked);
    EXPECT_VELTRA_ERROR(render->SelectResource(texture, 0), Veltra::ecBadState);
    texture->SetState(rsReady);
    const boost::shared_ptr<IState> blend = render->CreateState(BlendSettings());
    EXPECT_VELTRA_ERROR(blend->TransferTo(copy), Veltra::ecInvalidOperation);
    for (const boost::shared_ptr<IResource>& object : std::vector<boost::shared_ptr<IResource>>{texture, copy, blend})
        object->Destroy();
    EXPECT_TRUE(texture->GetState() == rsDestroyed && copy->GetState() == rsDestroyed && blend->GetState() == rsDestroyed);
    EXPECT_EQ(texture->GetDeviceInterface(), nullptr);

    // A buffer selected on two units stays selected until its last deselection.
    const float corners[12] = {};
    const boost::shared_ptr<IResBufferGPU> twice = CreateBuffer(*render, bkPositions, 3, 4, corners);
    render->SelectResource(twice, 0);
    render->SelectResource(twice, 1);
    render->DeSelectResource(twice, 1);
    EXPECT_EQ(twice->GetState(), rsSelected);
    render->DeSelectResource(twice, 0);
    EXPECT_EQ(twice->GetState(), rsReady);

    // Settings given again remake an object, bound or not: it takes the new ones, and what it
    // held goes (the last Shutdown finds nothing left).
    const boost::shared_ptr<IResTextureGPU> remade = CreateGpuTexture(*render, 16, 8);
    const boost::shared_ptr<IResBufferGPU> buffer = CreateBuffer(*render, bkPositions, 3, 4, corners);
    render->SelectResource(remade, 0);
    render->SelectResource(buffer, 0);
    remade->SetSettings(render, TextureOf(rtTextureGPU, 32, 4));
    buffer->SetSettings(render, BufferOf(bkTexCoordsSized, 2, 5));
    const boost::shared_ptr<IResTextureCPU> cpu = CreateCpuTexture(*render, 4, 4);
    cpu->SetSettings(render, TextureOf(rtTextureCPU, 8, 2));
    described = surfaceOf(*remade);
    EXPECT_TRUE(described.Width == 32 && described.Height == 4 && remade->GetState() == rsReady);
    EXPECT_EQ(render->LockResource(buffer).pitch, 8u) << "two values an element now";
    render->UnlockResource(buffer);
    EXPECT_VELTRA_ERROR(render->DeSelectResource(buffer, 0), Veltra::ecBadState);  // not selected since remade
    EXPECT_TRUE(cpu->MatchesImage(TextureOf(rtTextureCPU, 8, 2).image));
    cpu->SetSettingsFrom(remade);  // a GPU texture's settings, and only those
    EXPECT_TRUE(cpu->MatchesImage(TextureOf(rtTextureCPU, 32, 4).image) && cpu->GetType() == rtTextureCPU);
    EXPECT_VELTRA_ERROR(cpu->SetSettingsFrom(buffer), Veltra::ecInvalidParameter);

    // A texture larger than Direct3D makes: one error record naming the call, and the exception.
    EXPECT_VELTRA_ERROR(CreateGpuTexture(*render, 1 << 16, 1 << 16), Veltra::ecOutOfMemory);
    EXPECT_EQ(log.Count(L"DirectX Error: ", 1), 1u) << log.Dump();
    EXPECT_EQ(log.Count(L" in device->CreateTexture(", 1), 1u);
    expectedProblems = 1;
}

TEST_F(RealResourceTest, ProgramsDrawTheHostsVertexUniformsAndTheErrorColour)
{
    // The host's colour through a vertex uniform, in programs given to a shader made for
    // others; and the error programs' pixel colour, (1.0, 0.0, 0.5, 1.0), drawn with the
    // host's vertex program (their own puts every vertex on one point).
    const boost::shared_ptr<IResShaderGPU> tinted = Solid(1, 0, 0);
    ShaderSettings programs;
    programs.vertexShaderCode = "uniform float4 tint;\n"
                                "void main(float4 p : POSITION, out float4 clip : POSITION, out float4 colour : COLOR0)\n"
                                "{ clip = float4(p.xyz, 1); colour = tint; }";
    programs.pixelShaderCode = "float4 main(float4 colour : COLOR0) : COLOR { return colour; }";
    tinted->SetSettings(render, programs);
    tinted->SetVertexParameter("tint", Rgba(0, 1, 0));
    const boost::shared_ptr<IResShaderGPU> failed = Shader(ClipSpaceVertex, "float4 main() : COLOR { return oops; }");
    // An identifier too long for NVIDIA's compiler is refused after a product as well.
    const std::string name(256, 'u');
    Shader(ClipSpaceVertex, "static const float k = 2 * 3; uniform float4 " + name + "; float4 main() : COLOR { return " +
                                name + " * k; }");
    EXPECT_EQ(log.Count(L"_cgPixelProgram = cgCreateProgram(", 2), 2u) << log.Dump();
    EXPECT_EQ(log.Count(L"Shader compiler error, using 'error' shader\n", 2), 2u) << log.Dump();
    const uint32_t centre = Height / 2 * Width + Width / 2;
    EXPECT_EQ(Frame([&] { Quad(tinted); })[centre], 0xFF00FF00u);
    const Pixels errorColour = Frame([&] {
        render->SelectResource(tinted, 0);
        IDirect3DVertexShader9* vertex = nullptr;
        device->GetVertexShader(&vertex);
        render->SelectResource(failed, 0);
        device->SetVertexShader(vertex);
        vertex->Release();
        render->DrawQuad();
        render->DeSelectResource(failed, 0);
    });
    EXPECT_EQ(errorColour[centre] >> 8, 0xFFFF00u) << std::hex << errorColour[centre];
    EXPECT_NEAR(int(errorColour[centre] & 0xFF), 128, 1);

    // A vertex uniform set while the device holds the shader's vertex program, beside a
    // pixel program of the host's choosing, reaches the next draw.
    const boost::shared_ptr<IResShaderGPU> passThrough = Shader(ClipSpaceVertex, programs.pixelShaderCode);
    const Pixels retinted = Frame([&] {
        render->SelectResource(passThrough, 0);
        IDirect3DPixelShader9* pixel = nullptr;
        device->GetPixelShader(&pixel);
        render->SelectResource(tinted, 0);
        device->SetPixelShader(pixel);
        pixel->Release();
        tinted->SetVertexParameter("tint", Rgba(0, 0, 1));
        render->DrawQuad();
        render->DeSelectResource(tinted, 0);
    });
    EXPECT_EQ(retinted[centre], 0xFF0000FFu) << std::hex << retinted[centre];
    EXPECT_EQ(log.Count(L"has no uniform"), 0u) << "each uniform is looked up in its own program\n" << log.Dump();
}

// Pipeline states against the Direct3D double: what each state sends after no state,
// a different one, an equal one and itself; the mappings; the worked values.

#include "RenderFixture.h"
#include "Resources.h"

#include "../../src/states/StateMappings.h"

#include <cmath>
#include <functional>
#include <limits>

using namespace VeltraRender;

namespace {

typedef std::vector<std::vector<uint64_t>> Sent;

// Render and sampler states sent since the last call, as their recorded arguments.
Sent StatesSent()
{
    Sent sent;
    for (const d3d9double::Call& call : d3d9double::Calls())
        if (call.method == "IDirect3DDevice9::SetRenderState" || call.method == "IDirect3DDevice9::SetSamplerState")
            sent.push_back(call.args);
    d3d9double::ClearCalls();
    return sent;
}

template <typename Settings>
boost::shared_ptr<IState> CreateStateOf(IRender& render, const Settings& settings)
{
    return render.CreateState(settings);
}

struct StateCase {
    const char* name;
    std::function<boost::shared_ptr<IState>(IRender&, bool changed)> create;  // default or one field changed
    Sent all;           // everything, in order, after no previous state
    Sent onlyChanged;   // after the default state, for the changed one
};

uint64_t Bits(float value)
{
    return F2DW(value);
}

} // namespace

using StateTest = RenderFixture;

TEST_F(StateTest, EachStateSendsOnlyWhatDiffersFromItsPredecessor)
{
    const StateCase cases[] = {
        {"blend",
         [](IRender& render, bool changed) {
             BlendSettings settings;
             if (changed)
                 settings.dstAlphaFactor = bfZero;
             return CreateStateOf(render, settings);
         },
         {{D3DRS_ALPHABLENDENABLE, 0}, {D3DRS_SEPARATEALPHABLENDENABLE, 0}, {D3DRS_BLENDOP, D3DBLENDOP_ADD},
          {D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}, {D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD},
          {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE}, {D3DRS_DESTBLENDALPHA, D3DBLEND_INVSRCALPHA}, {D3DRS_BLENDFACTOR, 0xFFFFFFFF}},
         {{D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO}}},
        {"depth",
         [](IRender& render, bool changed) {
             DepthSettings settings;
             if (changed)
                 settings.depthFunction = dfGreaterEqual;
             return CreateStateOf(render, settings);
         },
         {{D3DRS_ZENABLE, D3DZB_FALSE}, {D3DRS_ZWRITEENABLE, 0}, {D3DRS_DEPTHBIAS, 0x80000000}, {D3DRS_ZFUNC, D3DCMP_LESSEQUAL}},
         {{D3DRS_ZFUNC, D3DCMP_GREATEREQUAL}}},
        {"raster",
         [](IRender& render, bool changed) {
             RasterSettings settings;
             settings.cullFace = cfBack;
             if (changed)
                 settings.frontWinding = pwCW;
             return CreateStateOf(render, settings);
         },
         {{D3DRS_FILLMODE, D3DFILL_SOLID}, {D3DRS_CULLMODE, D3DCULL_CW}, {D3DRS_MULTISAMPLEANTIALIAS, 0}},
         {{D3DRS_CULLMODE, D3DCULL_CCW}}},
        {"stencil",
         [](IRender& render, bool changed) {
             StencilSettings settings;
             if (changed)
                 settings.opOnFail = soIncrementWrap;
             return CreateStateOf(render, settings);
         },
         {{D3DRS_STENCILENABLE, 0}, {D3DRS_STENCILWRITEMASK, 0xFFFF}, {D3DRS_STENCILREF, 0x7FFF}, {D3DRS_STENCILMASK, 0xFFFF},
          {D3DRS_STENCILFUNC, D3DCMP_EQUAL}, {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP}, {D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE},
          {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP}},
         {{D3DRS_STENCILFAIL, D3DSTENCILOP_INCR}}},
        {"sampler",
         [](IRender& render, bool changed) {
             SamplerSettings settings;
             if (changed)
                 settings.borderColor[0] = 0.5;
             return CreateStateOf(render, settings);
         },
         {{0, D3DSAMP_MINFILTER, D3DTEXF_POINT}, {0, D3DSAMP_MAGFILTER, D3DTEXF_POINT}, {0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP},
          {0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP}, {0, D3DSAMP_BORDERCOLOR, 0xFFFFFF}, {0, D3DSAMP_MAXANISOTROPY, 1}},
         {{0, D3DSAMP_BORDERCOLOR, 0xFFFFFF}}},
    };
    boost::shared_ptr<IRender> render = NewInitializedRender();
    const boost::shared_ptr<IState> depthState = CreateStateOf(*render, DepthSettings());
    const boost::shared_ptr<IState> blendState = CreateStateOf(*render, BlendSettings());
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        boost::shared_ptr<IState> first = c.create(*render, false);
        boost::shared_ptr<IState> changed = c.create(*render, true);
        boost::shared_ptr<IState> equal = c.create(*render, true);
        StatesSent();
        render->SelectState(first, 0);
        EXPECT_EQ(StatesSent(), c.all);
        render->SelectState(changed, 0);
        EXPECT_EQ(StatesSent(), c.onlyChanged);
        render->SelectState(equal, 0);
        render->SelectState(equal, 0);
        EXPECT_TRUE(d3d9double::Calls().empty()) << "an equal state or the same one does not reach the device";
        first->Select(std::string(c.name) == "blend" ? depthState : blendState, 0);
        EXPECT_EQ(StatesSent(), c.all) << "a state of another kind counts as none";
        EXPECT_EQ(first->GetState(), rsCreated) << "Select leaves the life-cycle state alone";
    }
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(StateTest, WorkedValuesOfTheSentStates)
{
    d3d9double::Caps().MaxAnisotropy = 16;
    boost::shared_ptr<IRender> render = NewInitializedRender();
    auto sentBy = [&](const ResourceHeader& settings, int32_t unit = 0) {
        StatesSent();
        render->SelectState(render->CreateState(settings), unit);
        return StatesSent();
    };
    auto valueOf = [](const Sent& sent, uint64_t state) -> uint64_t {
        for (const std::vector<uint64_t>& args : sent)
            if (args[args.size() - 2] == state)
                return args.back();
        return ~0ull;
    };

    BlendSettings blend;
    const double colour[4] = {1.0, 0.0, 0.5, 0.25};
    std::copy(colour, colour + 4, blend.blendColor);
    EXPECT_EQ(valueOf(sentBy(blend, 1), D3DRS_BLENDFACTOR), 0x3FFF7F00u) << "alpha 63, red 255, green 127, blue 0";
    blend.blendColor[1] = 0.999;
    EXPECT_EQ(valueOf(sentBy(blend, 2), D3DRS_BLENDFACTOR) & 0xFF, 254u) << "the second component is the blue byte";
    blend.blendColor[0] = std::numeric_limits<double>::quiet_NaN();
    blend.blendColor[3] = std::numeric_limits<double>::infinity();
    EXPECT_NE(valueOf(sentBy(blend, 3), D3DRS_BLENDFACTOR), ~0ull) << "sent, whatever the components";

    DepthSettings depth;
    depth.depthBias = 0.25;
    EXPECT_EQ(valueOf(sentBy(depth, 1), D3DRS_DEPTHBIAS), Bits(-0.25f));
    depth.depthBias = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(valueOf(sentBy(depth, 2), D3DRS_DEPTHBIAS), Bits(std::numeric_limits<float>::infinity()));
    depth.depthBias = 1e300;
    EXPECT_EQ(valueOf(sentBy(depth, 3), D3DRS_DEPTHBIAS), Bits(-std::numeric_limits<float>::infinity()));

    const std::tuple<uint32_t, uint32_t, uint64_t> culls[] = {
        {cfBack, pwCCW, D3DCULL_CW}, {cfBack, pwCW, D3DCULL_CCW}, {cfFront, pwCCW, D3DCULL_CCW}, {cfFront, pwCW, D3DCULL_CW},
        {cfBack, 9, D3DCULL_CCW},    {cfFront, 9, D3DCULL_CW},    {cfNone, pwCW, D3DCULL_NONE}, {7, pwCCW, ~0ull},
    };
    int unit = 0;
    for (const auto& cull : culls) {
        RasterSettings raster;
        raster.cullFace = std::get<0>(cull);
        raster.frontWinding = std::get<1>(cull);
        const Sent sent = sentBy(raster, unit++);
        EXPECT_EQ(valueOf(sent, D3DRS_CULLMODE), std::get<2>(cull)) << std::get<0>(cull) << "/" << std::get<1>(cull);
        EXPECT_EQ(sent.size(), std::get<0>(cull) == 7 ? 2u : 3u);
    }

    const std::pair<int32_t, uint64_t> anisotropies[] = {{32, 16}, {8, 8}, {0, 0}, {-1, 0xFFFFFFFF}};
    for (const auto& anisotropy : anisotropies) {
        SamplerSettings sampler;
        sampler.maxAnisotropy = anisotropy.first;
        EXPECT_EQ(valueOf(sentBy(sampler, 5), D3DSAMP_MAXANISOTROPY), anisotropy.second) << anisotropy.first;
    }
    EXPECT_TRUE(render->Shutdown());
    render.reset();

    // The device's own limit replaces the default 16.
    d3d9double::Reset();
    d3d9double::Caps().MaxAnisotropy = 4;
    boost::shared_ptr<IRender> limited = NewInitializedRender();
    SamplerSettings sampler;
    sampler.maxAnisotropy = 8;
    StatesSent();
    limited->SelectState(limited->CreateState(sampler), 0);
    EXPECT_EQ(valueOf(StatesSent(), D3DSAMP_MAXANISOTROPY), 4u);
    EXPECT_TRUE(limited->Shutdown());
}

TEST_F(StateTest, UnitsReplacementAndBadInput)
{
    boost::shared_ptr<IRender> render = NewInitializedRender();
    boost::shared_ptr<IState> sampler = render->CreateState(SamplerSettings());
    render->SelectState(sampler, 0);
    StatesSent();
    render->SelectState(sampler, 3);
    const Sent onUnit3 = StatesSent();
    ASSERT_EQ(onUnit3.size(), 6u) << "unit 3 has its own previous state";
    for (const std::vector<uint64_t>& args : onUnit3)
        EXPECT_EQ(args[0], 3u);

    // Only the border colour's fourth component differs: the device is reached, nothing sent.
    SamplerSettings other;
    other.borderColor[3] = 0.0;
    render->SelectState(render->CreateState(other), 3);
    EXPECT_TRUE(StatesSent().empty());

    // New values of the selected state wait for another state in between. The host
    // replaces a record it read back, render reference included.
    boost::shared_ptr<IState> blend = render->CreateState(BlendSettings());
    boost::shared_ptr<IState> between = render->CreateState(BlendSettings());
    render->SelectState(blend, 0);
    BlendSettings on;
    blend->GetSettings(on);
    on.enableBlending = true;
    blend->ReplaceSettings(on);
    StatesSent();
    render->SelectState(blend, 0);
    EXPECT_TRUE(StatesSent().empty()) << "the same object: nothing, though its values changed";
    render->SelectState(between, 0);
    EXPECT_EQ(StatesSent().size(), 2u) << "compared with the replaced values";
    render->SelectState(blend, 0);
    EXPECT_EQ(StatesSent(), (Sent{{D3DRS_ALPHABLENDENABLE, TRUE}, {D3DRS_SEPARATEALPHABLENDENABLE, TRUE}}));

    log.Clear();
    render->SelectState(blend, 8);
    render->SelectState(blend, -1);
    EXPECT_EQ(log.Count(L"RenderDX9::SelectState() - unit 8 of state type 7 is outside the table: not selected\n", 1), 1u);
    EXPECT_EQ(log.Count(L"outside the table", 1), 2u);
    EXPECT_TRUE(StatesSent().empty());
    EXPECT_VELTRA_ERROR(blend->TransferTo(sampler), Veltra::ecInvalidOperation);
    EXPECT_EQ(blend->GetType(), rtStateBlend);
    render->DestroyResource(blend);
    EXPECT_EQ(blend->GetState(), rsDestroyed);
    EXPECT_TRUE(render->Shutdown());
}

TEST_F(StateTest, ThePredecessorIsWhatTheSharedDeviceHolds)
{
    boost::shared_ptr<IRender> first = NewInitializedRender();
    boost::shared_ptr<IRender> second = NewInitializedRender();
    boost::shared_ptr<IState> opaque = first->CreateState(BlendSettings());
    BlendSettings on;
    on.enableBlending = true;
    boost::shared_ptr<IState> blending = second->CreateState(on);
    first->SelectState(opaque, 0);
    second->SelectState(blending, 0);
    StatesSent();
    first->SelectState(opaque, 0);
    EXPECT_EQ(StatesSent(), (Sent{{D3DRS_ALPHABLENDENABLE, FALSE}, {D3DRS_SEPARATEALPHABLENDENABLE, FALSE}}))
        << "the other render's state was on the device";
    first->SelectState(opaque, 0);
    EXPECT_TRUE(StatesSent().empty());

    // A device made anew holds Direct3D's defaults: the same state sends everything.
    EXPECT_TRUE(second->Shutdown());
    second.reset();
    EXPECT_TRUE(first->Shutdown());
    RenderSettings settings = OffscreenSettings(64, 48);
    ASSERT_TRUE(InitializeRender(first, settings));
    StatesSent();
    first->SelectState(opaque, 0);
    EXPECT_EQ(StatesSent().size(), 9u);
    EXPECT_TRUE(first->Shutdown());
}

TEST(StateMappingTest, EveryTableAndItsDefault)
{
    struct Mapping {
        const char* name;
        DWORD (*map)(uint32_t);
        std::vector<DWORD> table;
        DWORD fallback;
    };
    const Mapping mappings[] = {
        {"blend factor", GetDX9BlendFactor, {1, 2, 3, 4, 9, 10, 5, 6, 7, 8, 14, 15, 14, 15, 11}, D3DBLEND_ONE},
        {"blend equation", GetDX9BlendEquation, {1, 2, 3, 4, 5}, D3DBLENDOP_ADD},
        {"depth function", GetDX9DepthFunction, {1, 2, 3, 4, 5, 7, 6, 8}, D3DCMP_LESS},
        {"fill mode", GetDX9FillMode, {1, 2, 3}, D3DFILL_SOLID},
        {"winding", GetDX9Winding, {2, 3}, D3DCULL_CW},
        {"stencil function", GetDX9StencilFunction, {8, 1, 2, 4, 3, 7, 5, 6}, D3DCMP_LESS},
        {"stencil operation", GetDX9StencilOperation, {1, 2, 3, 7, 8, 6, 4, 5}, D3DSTENCILOP_ZERO},
        {"filtering", GetDX9TextureFiltering, {1, 2, 3, 3, 3, 3}, D3DTEXF_POINT},
        {"wrapping", GetDX9TextureWrapping, {3, 4, 3, 1, 2}, D3DTADDRESS_CLAMP},
    };
    for (const Mapping& mapping : mappings) {
        SCOPED_TRACE(mapping.name);
        for (uint32_t value = 0; value < mapping.table.size(); ++value)
            EXPECT_EQ(mapping.map(value), mapping.table[value]) << value;
        EXPECT_EQ(mapping.map(static_cast<uint32_t>(mapping.table.size())), mapping.fallback);
        EXPECT_EQ(mapping.map(0xFFFFFFFF), mapping.fallback);
    }
    const double allOnes[4] = {1, 1, 1, 1};
    EXPECT_EQ(PackBlendColor(allOnes), 0xFFFFFFFFu);
    const double negativeBlue[4] = {0, -1.0 / 255, 0, 0};
    EXPECT_EQ(PackBlendColor(negativeBlue), 0xFFFFFFFFu) << "a negative component sets every bit above its byte";
    EXPECT_EQ(F2DW(-0.0f), 0x80000000u);
}

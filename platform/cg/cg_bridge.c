/*
 * cg.dll for Wine: the Windows side of the Cg bridge.
 *
 * The plug-in links against NVIDIA's cg.dll. Under Wine there is none, but
 * NVIDIA's Linux runtime (libCg.so) is at hand; this DLL, marked as a Wine
 * builtin, forwards each entry point to its Unix side (cg.so, see cg_unix.c)
 * through Wine's unix-call mechanism. Each export packs its arguments into a
 * struct from cg_unixlib.h and makes one call; results come back in the same
 * struct.
 *
 * The DLL is linked without a C runtime (its entry point is DllMain) and
 * imports only from ntdll, as Wine's own builtin DLLs do.
 */
#include "WineUnixLib.h"
#include "cg_unixlib.h"

static unixlib_handle_t cg_unix_handle;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    /* Without its Unix side (cg.so, or the libCg.so it needs, missing) the DLL
     * refuses to load, exactly as a missing cg.dll would on Windows. */
    cg_unix_handle = wine_unixlib_open(instance);
    return cg_unix_handle != 0;
}

/* A failed dispatch (none is expected once DllMain succeeded) leaves the
 * params as initialised: a null or zero result, which callers of Cg already
 * treat as failure. */
static void cg_unix_call(enum cg_unix_call code, void *params)
{
    __wine_unix_call_dispatcher(cg_unix_handle, (unsigned int)code, params);
}

CGcontext CGENTRY cgCreateContext(void)
{
    struct cg_create_context_params params = {NULL};
    cg_unix_call(cg_unix_create_context, &params);
    return params.result;
}

void CGENTRY cgDestroyContext(CGcontext context)
{
    struct cg_destroy_context_params params = {context};
    cg_unix_call(cg_unix_destroy_context, &params);
}

CGprogram CGENTRY cgCreateProgram(CGcontext context, CGenum program_type, const char *program,
                                  CGprofile profile, const char *entry, const char **args)
{
    struct cg_create_program_params params = {context, program, entry, args,
                                              (int32_t)program_type, (int32_t)profile, NULL};
    cg_unix_call(cg_unix_create_program, &params);
    return params.result;
}

void CGENTRY cgDestroyProgram(CGprogram program)
{
    struct cg_destroy_program_params params = {program};
    cg_unix_call(cg_unix_destroy_program, &params);
}

const char *CGENTRY cgGetProgramString(CGprogram program, CGenum pname)
{
    struct cg_get_program_string_params params = {program, (int32_t)pname, NULL};
    cg_unix_call(cg_unix_get_program_string, &params);
    return params.result;
}

CGerror CGENTRY cgGetError(void)
{
    struct cg_get_error_params params = {(int32_t)CG_NO_ERROR};
    cg_unix_call(cg_unix_get_error, &params);
    return (CGerror)params.result;
}

const char *CGENTRY cgGetErrorString(CGerror error)
{
    struct cg_get_error_string_params params = {(int32_t)error, NULL};
    cg_unix_call(cg_unix_get_error_string, &params);
    return params.result;
}

const char *CGENTRY cgGetLastListing(CGcontext context)
{
    struct cg_get_last_listing_params params = {context, NULL};
    cg_unix_call(cg_unix_get_last_listing, &params);
    return params.result;
}

CGparameter CGENTRY cgGetNamedParameter(CGprogram program, const char *name)
{
    struct cg_get_named_parameter_params params = {program, name, NULL};
    cg_unix_call(cg_unix_get_named_parameter, &params);
    return params.result;
}

CGresource CGENTRY cgGetParameterResource(CGparameter param)
{
    struct cg_get_parameter_resource_params params = {param, (int32_t)CG_UNDEFINED};
    cg_unix_call(cg_unix_get_parameter_resource, &params);
    return (CGresource)params.result;
}

CGtype CGENTRY cgGetParameterType(CGparameter param)
{
    struct cg_get_parameter_type_params params = {param, (int32_t)CG_UNKNOWN_TYPE};
    cg_unix_call(cg_unix_get_parameter_type, &params);
    return (CGtype)params.result;
}

unsigned long CGENTRY cgGetParameterResourceIndex(CGparameter param)
{
    struct cg_get_parameter_resource_index_params params = {param, 0};
    cg_unix_call(cg_unix_get_parameter_resource_index, &params);
    return params.result;
}

/*
 * cg.so: the Unix side of the Cg bridge, built with the native gcc and linked
 * with NVIDIA's libCg.so.
 *
 * Wine loads this library for the builtin cg.dll (see cg_bridge.c) and calls
 * the entries of __wine_unix_call_funcs on the calling Windows thread; only
 * compiles move to a thread with a larger stack (run_on_large_stack). Pointers
 * (contexts, programs, parameters, strings) are valid on both sides: the
 * strings libCg returns are passed back as they are, and stay valid for as
 * long as libCg documents.
 */
#define _POSIX_C_SOURCE 200809L /* signal masks of threads */

#include "cg_unixlib.h"

#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>

typedef int32_t NTSTATUS;
typedef NTSTATUS (*unixlib_entry_t)(void *args);

#define STATUS_SUCCESS 0

static NTSTATUS create_context(void *args)
{
    struct cg_create_context_params *params = args;
    params->result = cgCreateContext();
    return STATUS_SUCCESS;
}

static NTSTATUS destroy_context(void *args)
{
    struct cg_destroy_context_params *params = args;
    cgDestroyContext(params->context);
    return STATUS_SUCCESS;
}

/*
 * NVIDIA's compiler (libCg 3.1) corrupts memory on overlong identifiers instead
 * of reporting an error; a plain Linux program calling libCg shows the same.
 * Measured: a uniform named with 496 or more characters overruns a stack
 * buffer; a parameter or struct member name of about 760 does the same; any
 * identifier of about 265,000 characters (a megabyte of "xxx...", say) corrupts
 * the heap, and glibc aborts the process. The host cannot recover from either.
 * So a source with an identifier longer than the limit below is never handed
 * to the compiler: it compiles instead a stand-in that fails with a message at
 * the offending line, and error, listing and null program come from libCg as
 * for any other compile error.
 */
#define CG_IDENTIFIER_LIMIT 255

struct long_identifier
{
    size_t length;
    size_t line;
};

static int is_digit(char c)
{
    return c >= '0' && c <= '9';
}

static int is_word(char c)
{
    return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

/* Finds the first identifier longer than CG_IDENTIFIER_LIMIT outside comments.
 * The leading digits of a run are a number and do not count (long numbers are
 * harmless); letters after them do. */
static int find_long_identifier(const char *source, struct long_identifier *found)
{
    size_t line = 1;
    const char *p = source;
    while (*p)
    {
        if (p[0] == '/' && p[1] == '/')
        {
            while (*p && *p != '\n')
                ++p;
        }
        else if (p[0] == '/' && p[1] == '*')
        {
            p += 2;
            while (*p && !(p[0] == '*' && p[1] == '/'))
            {
                if (*p == '\n')
                    ++line;
                ++p;
            }
            if (*p)
                p += 2;
        }
        else if (is_word(*p))
        {
            while (is_digit(*p))
                ++p;
            const char *name = p;
            while (is_word(*p))
                ++p;
            if ((size_t)(p - name) > CG_IDENTIFIER_LIMIT)
            {
                found->length = (size_t)(p - name);
                found->line = line;
                return 1;
            }
        }
        else
        {
            if (*p == '\n')
                ++line;
            ++p;
        }
    }
    return 0;
}

/*
 * NVIDIA's compiler recurses once per node of the program's expression tree: a
 * long unrolled loop or a sum of a few thousand terms needs megabytes of stack.
 * Wine calls this library on the Windows thread's Unix-side stack, which is far
 * smaller than a Linux main thread's 8 MB, and a compile that outgrows it takes
 * the whole process down. Measured: a pixel program summing 3 000 tex2D terms
 * crashes with a 1 MB stack and ends in a compile error with 8 MB; a 200 x 200
 * unrolled tex2D loop crashes with 1 MB and fails normally with 2 MB. So each
 * compile runs on a thread of its own with a large stack while the caller waits.
 * Cg's error state is process-wide, not per thread: cgGetError on the calling
 * thread afterwards sees the compile's error as if it had run there.
 */
#define CG_COMPILE_STACK_BYTES ((size_t)64 << 20)

struct compile_job
{
    CGcontext context;
    CGenum program_type;
    const char *source;
    CGprofile profile;
    const char *entry;
    const char **args;
    CGprogram result;
};

static void *compile(void *argument)
{
    struct compile_job *job = argument;
    job->result = cgCreateProgram(job->context, job->program_type, job->source, job->profile, job->entry, job->args);
    return NULL;
}

/*
 * The compile thread is not a Wine thread: Wine's signal handlers expect one and must
 * never run on it, so it starts (and stays) with every signal blocked, as Mesa's own
 * threads do. The caller's mask is restored once the thread exists.
 */
static void run_on_large_stack(struct compile_job *job)
{
    pthread_attr_t attributes;
    pthread_t thread;
    sigset_t all, callers;
    int started = 0;
    sigfillset(&all);
    if (pthread_attr_init(&attributes) == 0)
    {
        if (pthread_attr_setstacksize(&attributes, CG_COMPILE_STACK_BYTES) == 0
            && pthread_sigmask(SIG_SETMASK, &all, &callers) == 0)
        {
            started = pthread_create(&thread, &attributes, compile, job) == 0;
            pthread_sigmask(SIG_SETMASK, &callers, NULL);
        }
        pthread_attr_destroy(&attributes);
    }
    if (started)
        pthread_join(thread, NULL);
    else
        compile(job); /* no thread to be had: the caller's stack is all there is */
}

static NTSTATUS create_program(void *args)
{
    struct cg_create_program_params *params = args;
    const char *source = params->source;
    const char *entry = params->entry;
    struct long_identifier found;
    char stand_in[160];
    if (params->program_type == CG_SOURCE && source)
    {
        int refused = find_long_identifier(source, &found);
        if (!refused && entry && strlen(entry) > CG_IDENTIFIER_LIMIT)
        {
            /* The entry point's name is looked up as an identifier too. */
            found.length = strlen(entry);
            found.line = 1;
            refused = 1;
        }
        if (refused)
        {
            snprintf(stand_in, sizeof(stand_in),
                     "#line %zu\n#error an identifier of %zu characters; the compiler takes at most %d\n",
                     found.line, found.length, CG_IDENTIFIER_LIMIT);
            source = stand_in;
            entry = "main";
        }
    }
    struct compile_job job = {params->context, (CGenum)params->program_type, source, (CGprofile)params->profile,
                              entry, params->args, NULL};
    run_on_large_stack(&job);
    params->result = job.result;
    return STATUS_SUCCESS;
}

static NTSTATUS destroy_program(void *args)
{
    struct cg_destroy_program_params *params = args;
    cgDestroyProgram(params->program);
    return STATUS_SUCCESS;
}

static NTSTATUS get_program_string(void *args)
{
    struct cg_get_program_string_params *params = args;
    params->result = cgGetProgramString(params->program, (CGenum)params->pname);
    return STATUS_SUCCESS;
}

static NTSTATUS get_error(void *args)
{
    struct cg_get_error_params *params = args;
    params->result = (int32_t)cgGetError();
    return STATUS_SUCCESS;
}

static NTSTATUS get_error_string(void *args)
{
    struct cg_get_error_string_params *params = args;
    params->result = cgGetErrorString((CGerror)params->error);
    return STATUS_SUCCESS;
}

static NTSTATUS get_last_listing(void *args)
{
    struct cg_get_last_listing_params *params = args;
    params->result = cgGetLastListing(params->context);
    return STATUS_SUCCESS;
}

static NTSTATUS get_named_parameter(void *args)
{
    struct cg_get_named_parameter_params *params = args;
    params->result = cgGetNamedParameter(params->program, params->name);
    return STATUS_SUCCESS;
}

static NTSTATUS get_parameter_resource(void *args)
{
    struct cg_get_parameter_resource_params *params = args;
    params->result = (int32_t)cgGetParameterResource(params->parameter);
    return STATUS_SUCCESS;
}

static NTSTATUS get_parameter_type(void *args)
{
    struct cg_get_parameter_type_params *params = args;
    params->result = (int32_t)cgGetParameterType(params->parameter);
    return STATUS_SUCCESS;
}

static NTSTATUS get_parameter_resource_index(void *args)
{
    struct cg_get_parameter_resource_index_params *params = args;
    /* Linux's unsigned long is 64-bit, Windows' 32-bit: keep the low half, as
     * the Windows runtime's own return value would hold. */
    params->result = (uint32_t)cgGetParameterResourceIndex(params->parameter);
    return STATUS_SUCCESS;
}

/* Wine looks this table up by name; the order is enum cg_unix_call's. */
__attribute__((visibility("default"))) const unixlib_entry_t __wine_unix_call_funcs[] = {
    [cg_unix_create_context] = create_context,
    [cg_unix_destroy_context] = destroy_context,
    [cg_unix_create_program] = create_program,
    [cg_unix_destroy_program] = destroy_program,
    [cg_unix_get_program_string] = get_program_string,
    [cg_unix_get_error] = get_error,
    [cg_unix_get_error_string] = get_error_string,
    [cg_unix_get_last_listing] = get_last_listing,
    [cg_unix_get_named_parameter] = get_named_parameter,
    [cg_unix_get_parameter_resource] = get_parameter_resource,
    [cg_unix_get_parameter_type] = get_parameter_type,
    [cg_unix_get_parameter_resource_index] = get_parameter_resource_index,
};

_Static_assert(sizeof(__wine_unix_call_funcs) / sizeof(__wine_unix_call_funcs[0]) == cg_unix_call_count,
               "one entry per call");

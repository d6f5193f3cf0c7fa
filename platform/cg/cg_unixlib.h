/*
 * The calls from the Windows side of the Cg bridge (cg.dll, built with mingw) to
 * its Unix side (cg.so, built with the native gcc over NVIDIA's libCg.so).
 *
 * Both sides include this header, each with its own compiler and its own
 * data model (LLP64 on Windows, LP64 on Linux). Every field therefore has the
 * same size on both: pointers (8 bytes, one address space) and fixed-width
 * integers. Cg's enums are 32-bit on both sides and travel as int32_t;
 * Cg's `unsigned long` (32-bit on Windows, 64-bit on Linux) travels as uint32_t.
 */
#ifndef VELTRA_CG_UNIXLIB_H
#define VELTRA_CG_UNIXLIB_H

#include <stddef.h>
#include <stdint.h>

#include <Cg/cg.h>

/* Index into the Unix side's __wine_unix_call_funcs; the order is the table's. */
enum cg_unix_call
{
    cg_unix_create_context,
    cg_unix_destroy_context,
    cg_unix_create_program,
    cg_unix_destroy_program,
    cg_unix_get_program_string,
    cg_unix_get_error,
    cg_unix_get_error_string,
    cg_unix_get_last_listing,
    cg_unix_get_named_parameter,
    cg_unix_get_parameter_resource,
    cg_unix_get_parameter_type,
    cg_unix_get_parameter_resource_index,
    cg_unix_call_count
};

struct cg_create_context_params
{
    CGcontext result;
};

struct cg_destroy_context_params
{
    CGcontext context;
};

struct cg_create_program_params
{
    CGcontext context;
    const char *source;
    const char *entry;
    const char **args;
    int32_t program_type; /* CGenum */
    int32_t profile;      /* CGprofile */
    CGprogram result;
};

struct cg_destroy_program_params
{
    CGprogram program;
};

struct cg_get_program_string_params
{
    CGprogram program;
    int32_t pname; /* CGenum */
    const char *result;
};

struct cg_get_error_params
{
    int32_t result; /* CGerror */
};

struct cg_get_error_string_params
{
    int32_t error; /* CGerror */
    const char *result;
};

struct cg_get_last_listing_params
{
    CGcontext context;
    const char *result;
};

struct cg_get_named_parameter_params
{
    CGprogram program;
    const char *name;
    CGparameter result;
};

struct cg_get_parameter_resource_params
{
    CGparameter parameter;
    int32_t result; /* CGresource */
};

struct cg_get_parameter_type_params
{
    CGparameter parameter;
    int32_t result; /* CGtype */
};

struct cg_get_parameter_resource_index_params
{
    CGparameter parameter;
    uint32_t result; /* unsigned long: 32-bit on the Windows side */
};

/* The layout checks below hold on both sides; if one fails, the two compilers
 * would disagree about a struct and the bridge would pass garbage. */
_Static_assert(sizeof(void *) == 8, "the bridge is 64-bit on both sides");
_Static_assert(sizeof(CGenum) == 4 && sizeof(CGprofile) == 4 && sizeof(CGtype) == 4
                   && sizeof(CGresource) == 4 && sizeof(CGerror) == 4,
               "Cg enums are 32-bit");
_Static_assert(sizeof(struct cg_create_program_params) == 48
                   && offsetof(struct cg_create_program_params, program_type) == 32
                   && offsetof(struct cg_create_program_params, result) == 40,
               "cg_create_program_params layout");
_Static_assert(sizeof(struct cg_get_program_string_params) == 24
                   && offsetof(struct cg_get_program_string_params, result) == 16,
               "cg_get_program_string_params layout");
_Static_assert(sizeof(struct cg_get_parameter_resource_index_params) == 16,
               "cg_get_parameter_resource_index_params layout");

#endif

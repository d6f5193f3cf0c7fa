# Wine "unixlib" bridges: a builtin-marked PE DLL whose exports call into a Unix
# library built with the native compiler. Wine finds the pair through WINEDLLPATH
# (scripts/wine-run): dist/wine/x86_64-windows/NAME.dll and dist/wine/x86_64-unix/NAME.so.
# Wine 7 and later load such a builtin only when a NAME.dll is on the ordinary search
# path too: scripts/wine-run puts dist/wine/x86_64-windows on it (WINEPATH), so that
# dist/ itself holds only what a host ships.

find_program(VELTRA_WINEBUILD NAMES winebuild winebuild-stable PATHS /usr/lib/wine /usr/bin)
if(NOT VELTRA_WINEBUILD)
  message(FATAL_ERROR "winebuild (package wine64-tools) not found: run scripts/setup")
endif()
set(VELTRA_NATIVE_CC /usr/bin/gcc CACHE FILEPATH "Native C compiler for Wine Unix libraries")
set(VELTRA_WINE_DIR ${PROJECT_SOURCE_DIR}/platform/wine)

# veltra_add_import_library(TARGET DLL DEF): an INTERFACE library linking the import
# library of DLL, made from the .def list of its entry points.
function(veltra_add_import_library target dll def)
  get_filename_component(stem ${dll} NAME_WE)
  set(library ${CMAKE_CURRENT_BINARY_DIR}/lib${stem}.dll.a)
  add_custom_command(OUTPUT ${library}
    COMMAND x86_64-w64-mingw32-dlltool --input-def ${def} --dllname ${dll} --output-lib ${library}
    DEPENDS ${def}
    COMMENT "Import library of ${dll}")
  add_custom_target(${target}_library DEPENDS ${library})
  add_library(${target} INTERFACE)
  add_dependencies(${target} ${target}_library)
  target_link_libraries(${target} INTERFACE ${library})
endfunction()

# The part of Wine's ntdll that mingw's libntdll.a lacks, once for every bridge.
if(NOT TARGET veltra_wine_ntdll)
  veltra_add_import_library(veltra_wine_ntdll ntdll.dll ${VELTRA_WINE_DIR}/wine_ntdll.def)
endif()

# veltra_add_wine_bridge(TARGET NAME PE_SOURCES ... UNIX_SOURCE file UNIX_HEADERS ...
#                        UNIX_LIBRARIES ... [PE_LIBRARIES ...])
# Builds NAME.dll (target TARGET, no C runtime, entry DllMain) and NAME.so, marks the DLL
# as a Wine builtin and places all three files.
function(veltra_add_wine_bridge target)
  cmake_parse_arguments(ARG "" "NAME;UNIX_SOURCE" "PE_SOURCES;UNIX_HEADERS;UNIX_LIBRARIES;PE_LIBRARIES" ${ARGN})
  set(unix_dir ${VELTRA_DIST_DIR}/wine/x86_64-unix)
  set(unix_library ${unix_dir}/${ARG_NAME}.so)
  add_custom_command(OUTPUT ${unix_library}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${unix_dir}
    COMMAND ${VELTRA_NATIVE_CC} -std=c11 -O2 -g -fPIC -fvisibility=hidden -Wall -Wextra -Wpedantic -Werror
            -I${CMAKE_CURRENT_SOURCE_DIR} -shared -Wl,-z,defs -o ${unix_library}
            ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_UNIX_SOURCE} ${ARG_UNIX_LIBRARIES}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_UNIX_SOURCE} ${ARG_UNIX_HEADERS}
    COMMENT "Unix side of the ${ARG_NAME} bridge (${ARG_NAME}.so)"
    VERBATIM)
  add_custom_target(${target}_unix DEPENDS ${unix_library})

  add_library(${target} SHARED ${ARG_PE_SOURCES})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${ARG_NAME}
    PREFIX ""
    C_STANDARD 11
    C_STANDARD_REQUIRED ON
    RUNTIME_OUTPUT_DIRECTORY ${VELTRA_DIST_DIR}/wine/x86_64-windows
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/bridge)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${VELTRA_WINE_DIR})
  target_link_options(${target} PRIVATE -nostdlib -Wl,--entry,DllMain)
  target_link_libraries(${target} PRIVATE veltra_warnings veltra_wine_ntdll ntdll ${ARG_PE_LIBRARIES})
  add_dependencies(${target} ${target}_unix)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${VELTRA_WINEBUILD} --builtin $<TARGET_FILE:${target}>
    COMMENT "Marking ${ARG_NAME}.dll as a Wine builtin"
    VERBATIM)
endfunction()

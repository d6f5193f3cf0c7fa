# Header-only libraries from Debian's native packages, seen by the cross compiler
# through a folder of links (adding /usr/include itself would pull in glibc headers).
set(VELTRA_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third-party/include)
file(MAKE_DIRECTORY ${VELTRA_THIRD_PARTY_INCLUDE})

function(veltra_link_system_headers name)
  if(NOT EXISTS /usr/include/${name})
    message(FATAL_ERROR "/usr/include/${name} is missing: run scripts/setup")
  endif()
  if(NOT EXISTS ${VELTRA_THIRD_PARTY_INCLUDE}/${name})
    file(CREATE_LINK /usr/include/${name} ${VELTRA_THIRD_PARTY_INCLUDE}/${name} SYMBOLIC)
  endif()
endfunction()

veltra_link_system_headers(boost)

add_library(veltra_boost INTERFACE)
target_include_directories(veltra_boost SYSTEM INTERFACE ${VELTRA_THIRD_PARTY_INCLUDE})

# NVIDIA's Cg runtime header (the Cg toolkit, Debian non-free); the same header
# serves the Windows build, where it declares the __cdecl entry points of cg.dll.
veltra_link_system_headers(Cg)

# stb's single-file image readers and writers (PNG for test artifacts and the host).
veltra_link_system_headers(stb)

# JSON for the reference host's scene files.
veltra_link_system_headers(nlohmann)

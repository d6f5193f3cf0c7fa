# `cmake --install` puts what a host needs in a prefix:
#   include/VeltraRender/       the interfaces and records the host shares with the plug-in
#   include/hostservices/       skcore.h and sklog.h (what a host's own services export),
#                               sklog_control.h (our logger's run-time control)
#   bin/                        the plug-in, the host services, the mingw runtime: what a host
#                               ships beside its program; and the reference host
#                               (veltra-host.exe, assets/, null-device/, see tools/)
#   bin/wine/x86_64-{windows,unix}/  the Cg bridge, only for running under Wine
#   lib/                        import libraries
#   lib/cmake/VeltraRenderDirectX/  the CMake package: find_package(VeltraRenderDirectX)
# The package's targets are generated with install(EXPORT); the configuration file
# declares the dependency on Boost's headers.
include(CMakePackageConfigHelpers)

find_package(Boost REQUIRED)

set(VELTRA_PACKAGE_DIR lib/cmake/VeltraRenderDirectX)
set(VELTRA_HOST_SERVICES_INCLUDE include/hostservices)

# Every DLL says what it is and which version (Explorer's properties, and
# `veltra-host --version` reads it).
function(veltra_stamp_version target description)
  set(VELTRA_FILE_NAME "$<TARGET_FILE_NAME:${target}>")
  set(VELTRA_FILE_DESCRIPTION "${description}")
  set(rc ${CMAKE_BINARY_DIR}/version/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in ${rc}.in @ONLY)
  file(GENERATE OUTPUT ${rc} INPUT ${rc}.in)
  target_sources(${target} PRIVATE ${rc})
endfunction()
veltra_stamp_version(VeltraRenderDirectX "VeltraEngine Direct3D 9 render back-end")
veltra_stamp_version(skcore "Host services: critical sections")
veltra_stamp_version(sklog "Host services: logger")

# The headers as one target. Hosts see the installed folder and Boost's headers.
add_library(veltra_headers INTERFACE)
set_target_properties(veltra_headers PROPERTIES EXPORT_NAME headers)
target_include_directories(veltra_headers INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:include>)
target_link_libraries(veltra_headers INTERFACE Boost::headers)
target_compile_features(veltra_headers INTERFACE cxx_std_17)

# Targets made elsewhere name source and build folders in their interfaces; the
# installed package names the installed headers instead.
function(veltra_installed_interface target installed_include)
  foreach(property INTERFACE_INCLUDE_DIRECTORIES INTERFACE_LINK_LIBRARIES)
    get_target_property(values ${target} ${property})
    if(NOT values)
      continue()
    endif()
    set(kept)
    foreach(value IN LISTS values)
      if(NOT value MATCHES "^\\$<")
        set(value "$<BUILD_INTERFACE:${value}>")
      endif()
      list(APPEND kept "${value}")
    endforeach()
    set_property(TARGET ${target} PROPERTY ${property} "${kept}")
  endforeach()
  if(installed_include)
    target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${installed_include}>)
  endif()
endfunction()
veltra_installed_interface(VeltraRenderDirectX "")
target_link_libraries(VeltraRenderDirectX INTERFACE $<INSTALL_INTERFACE:VeltraRenderDirectX::headers>)
veltra_installed_interface(skcore ${VELTRA_HOST_SERVICES_INCLUDE})
veltra_installed_interface(sklog ${VELTRA_HOST_SERVICES_INCLUDE})
set_target_properties(VeltraRenderDirectX PROPERTIES EXPORT_NAME plugin)

install(TARGETS veltra_headers VeltraRenderDirectX skcore sklog
  EXPORT VeltraRenderDirectXTargets
  RUNTIME DESTINATION bin
  ARCHIVE DESTINATION lib)
install(EXPORT VeltraRenderDirectXTargets
  NAMESPACE VeltraRenderDirectX::
  DESTINATION ${VELTRA_PACKAGE_DIR})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/VeltraRender DESTINATION include)
install(FILES
  ${PROJECT_SOURCE_DIR}/src/host/skcore.h
  ${PROJECT_SOURCE_DIR}/src/host/sklog.h
  ${PROJECT_SOURCE_DIR}/host/sklog/sklog_control.h
  DESTINATION ${VELTRA_HOST_SERVICES_INCLUDE})
install(FILES ${VELTRA_MINGW_RUNTIME_DLLS} DESTINATION bin)

# The Cg bridge in the layout Wine looks for (see cmake/WineBridge.cmake), apart from
# the DLLs a host ships: on Windows NVIDIA's own cg.dll stands beside the host instead.
install(FILES $<TARGET_FILE:cg_bridge> DESTINATION bin/wine/x86_64-windows)
install(FILES ${VELTRA_DIST_DIR}/wine/x86_64-unix/cg.so DESTINATION bin/wine/x86_64-unix)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VeltraRenderDirectXConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/VeltraRenderDirectXConfig.cmake
  INSTALL_DESTINATION ${VELTRA_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/VeltraRenderDirectXConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_BINARY_DIR}/package/VeltraRenderDirectXConfig.cmake
  ${CMAKE_BINARY_DIR}/package/VeltraRenderDirectXConfigVersion.cmake
  DESTINATION ${VELTRA_PACKAGE_DIR})

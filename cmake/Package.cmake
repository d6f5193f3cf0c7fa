# `cmake --install` puts what a host needs in a prefix: the shared headers, the
# plug-in with its import library, our host services, the mingw runtime they share,
# and a CMake package: find_package(VeltraRenderDirectX).
include(CMakePackageConfigHelpers)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/VeltraRender DESTINATION include)
install(TARGETS VeltraRenderDirectX skcore sklog
  RUNTIME DESTINATION bin
  ARCHIVE DESTINATION lib)
install(FILES ${VELTRA_MINGW_RUNTIME_DLLS} DESTINATION bin)

set(VELTRA_PACKAGE_DIR lib/cmake/VeltraRenderDirectX)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VeltraRenderDirectXConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/VeltraRenderDirectXConfig.cmake
  INSTALL_DESTINATION ${VELTRA_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/VeltraRenderDirectXConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_BINARY_DIR}/package/VeltraRenderDirectXConfig.cmake
  ${CMAKE_BINARY_DIR}/package/VeltraRenderDirectXConfigVersion.cmake
  DESTINATION ${VELTRA_PACKAGE_DIR})

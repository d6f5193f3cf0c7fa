# The plug-in and its host share one C++ runtime: the mingw runtime DLLs are
# copied into the runtime folder beside them.
set(VELTRA_MINGW_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    foreach(dir /usr/x86_64-w64-mingw32/lib /usr/lib/gcc/x86_64-w64-mingw32/12-posix)
      if(EXISTS ${dir}/${dll})
        set(path ${dir}/${dll})
      endif()
    endforeach()
  endif()
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "mingw runtime ${dll} not found: run scripts/setup")
  endif()
  list(APPEND VELTRA_MINGW_RUNTIME_DLLS ${path})
endforeach()

file(MAKE_DIRECTORY ${VELTRA_DIST_DIR})
file(COPY ${VELTRA_MINGW_RUNTIME_DLLS} DESTINATION ${VELTRA_DIST_DIR})

# `cmake --build --preset win32 --target dist` packs the release archive:
# the DLL, header, .def, import library, tools, docs, the licence of tolvo
# and the licence notices of the libraries linked into the DLL.
if(NOT TOLVO_WINDOWS)
  return()
endif()

set(TOLVO_DIST_NAME tolvo-${PROJECT_VERSION}-win32)
set(stage ${CMAKE_BINARY_DIR}/dist/${TOLVO_DIST_NAME})
set(TOLVO_DIST_TOOLS tolvo-host CACHE INTERNAL "")

add_custom_target(dist
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/dist
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/bin ${stage}/include ${stage}/lib ${stage}/docs ${stage}/licenses ${stage}/examples
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tolvo> ${stage}/bin/
  COMMAND ${CMAKE_COMMAND} "-DFILES=$<JOIN:$<TARGET_FILE:tolvo-host>$<$<TARGET_EXISTS:tolvo-pack>:;$<TARGET_FILE:tolvo-pack>>$<$<TARGET_EXISTS:tolvo-ogg2wav>:;$<TARGET_FILE:tolvo-ogg2wav>>,;>" -DDEST=${stage}/bin -P ${CMAKE_SOURCE_DIR}/cmake/copy-files.cmake
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_LINKER_FILE:tolvo> ${stage}/lib/
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/src/plugin/tolvo.def ${stage}/lib/
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/include/tolvo.h ${stage}/include/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/docs ${stage}/docs
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/examples ${stage}/examples
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE ${stage}/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${TOLVO_DEPS}/i686/licenses ${stage}/licenses
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/dist ${CMAKE_COMMAND} -E tar cf ${TOLVO_DIST_NAME}.zip --format=zip ${TOLVO_DIST_NAME}
  COMMENT "Packing dist/${TOLVO_DIST_NAME}.zip"
  VERBATIM)
add_dependencies(dist tolvo tolvo-host tolvo-pack tolvo-ogg2wav)

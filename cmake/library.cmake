# The library as other programs use it: the shared library libtarvek (the
# whole core library, built position-independent), its public header
# <tarvek/tarvek.hpp> with the headers it includes, a CMake package
# (find_package(tarvek) gives tarvek::tarvek) and a pkg-config file; and
# the data the installed program looks for: the standard scoring matrix and
# a commented parameters file, under share/tarvek/.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TARVEK_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/tarvek)
set(TARVEK_INSTALL_HEADERS ${CMAKE_INSTALL_INCLUDEDIR}/tarvek)

add_library(tarvek_library SHARED src/run/shared_library.cpp)
add_library(tarvek::tarvek ALIAS tarvek_library)
set_target_properties(tarvek_library PROPERTIES
  OUTPUT_NAME tarvek
  EXPORT_NAME tarvek
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
target_compile_definitions(tarvek_library PRIVATE TARVEK_VERSION="${PROJECT_VERSION}")
target_link_libraries(tarvek_library PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,tarvek_core>")
target_compile_features(tarvek_library INTERFACE cxx_std_20)
target_include_directories(tarvek_library INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
  $<INSTALL_INTERFACE:${TARVEK_INSTALL_HEADERS}>)

# The headers the public header reaches, found by following its includes,
# installed under include/tarvek/ as they lie under src/.
function(tarvek_header_closure out)
  set(pending "${PROJECT_SOURCE_DIR}/include/tarvek/tarvek.hpp")
  set(found "")
  while(pending)
    list(POP_FRONT pending file)
    file(STRINGS "${file}" lines REGEX "^#include \"[a-z_]+/[a-z_]+\\.hpp\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
      if(NOT header IN_LIST found AND EXISTS "${PROJECT_SOURCE_DIR}/src/${header}")
        list(APPEND found "${header}")
        list(APPEND pending "${PROJECT_SOURCE_DIR}/src/${header}")
      endif()
    endforeach()
  endwhile()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()
tarvek_header_closure(tarvek_public_headers)
foreach(header IN LISTS tarvek_public_headers)
  get_filename_component(folder "${header}" DIRECTORY)
  install(FILES src/${header} DESTINATION ${TARVEK_INSTALL_HEADERS}/${folder} COMPONENT development)
endforeach()
install(FILES include/tarvek/tarvek.hpp DESTINATION ${TARVEK_INSTALL_HEADERS} COMPONENT development)

install(TARGETS tarvek_library EXPORT tarvekTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT tarvekTargets NAMESPACE tarvek:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tarvek)
configure_package_config_file(cmake/package/tarvekConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tarvekConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tarvek
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR TARVEK_INSTALL_DATADIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tarvekConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tarvekConfig.cmake ${PROJECT_BINARY_DIR}/tarvekConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tarvek)

if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(TARVEK_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  set(TARVEK_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(TARVEK_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(TARVEK_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
# The prefix relative to the folder of the .pc file, so that an installed
# tree can be moved.
file(RELATIVE_PATH TARVEK_PC_PREFIX_FROM_PCDIR "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(cmake/package/tarvek.pc.in ${PROJECT_BINARY_DIR}/tarvek.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tarvek.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES examples/matrix.txt share/mapping_parameters.txt DESTINATION ${TARVEK_INSTALL_DATADIR})

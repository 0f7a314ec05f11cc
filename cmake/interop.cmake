# The companion programs tarvek-import and tarvek-export and their library.
# They need htslib (for VCF and BCF), found with pkg-config; without it tarvek
# itself still builds and the companions are left out.

include(GNUInstallDirs)

find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(HTSLIB QUIET IMPORTED_TARGET htslib)
endif()

if(NOT HTSLIB_FOUND)
  message(STATUS "htslib not found: tarvek-import and tarvek-export are not built "
                 "(on Debian or Ubuntu: apt-get install libhts-dev pkg-config)")
  return()
endif()
message(STATUS "htslib ${HTSLIB_VERSION}: building tarvek-import and tarvek-export")

add_library(tarvek_interop STATIC
  src/interop/text_lines.cpp
  src/interop/population.cpp
  src/interop/loc_writer.cpp
  src/interop/reference_map.cpp
  src/interop/vcf_reader.cpp
  src/interop/vcf_calls.cpp
  src/interop/vcf_texts.cpp
  src/interop/rqtl_reader.cpp
  src/interop/wrapped_loc_reader.cpp
  src/interop/mapmaker_reader.cpp
  src/interop/map_reader.cpp
  src/interop/map_positions.cpp
  src/interop/map_model.cpp
  src/interop/exporters.cpp
  src/interop/carried_positions.cpp
  src/interop/quality.cpp
  src/interop/peer_exporters.cpp
)
target_include_directories(tarvek_interop PUBLIC src)
target_link_libraries(tarvek_interop PUBLIC tarvek_core PkgConfig::HTSLIB)

# The command-line conventions the companion programs share.
add_library(tarvek_apps STATIC apps/command_line.cpp)
target_include_directories(tarvek_apps PUBLIC apps)
target_link_libraries(tarvek_apps PUBLIC tarvek_interop)
target_compile_definitions(tarvek_apps PRIVATE TARVEK_VERSION="${PROJECT_VERSION}")

add_executable(tarvek-import apps/tarvek_import.cpp)
target_link_libraries(tarvek-import PRIVATE tarvek_apps)
add_executable(tarvek-export apps/tarvek_export.cpp)
target_link_libraries(tarvek-export PRIVATE tarvek_apps)

install(TARGETS tarvek-import tarvek-export RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES man/tarvek-import.1 man/tarvek-export.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

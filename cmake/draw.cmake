# The companion program tarvek-draw and its library: pictures of a map file
# (map, heat map, genotype graph, HTML report), drawn with cairo. It reads
# map files through the companions' library, so it is built only where that
# library is; without cairo tarvek and the other companions still build.

include(GNUInstallDirs)

if(NOT TARGET tarvek_interop)
  message(STATUS "tarvek-draw is not built: it needs the companions' library, "
                 "which needs htslib (on Debian or Ubuntu: apt-get install libhts-dev pkg-config)")
  return()
endif()

pkg_check_modules(CAIRO QUIET IMPORTED_TARGET cairo)
if(NOT CAIRO_FOUND)
  message(STATUS "cairo not found: tarvek-draw is not built "
                 "(on Debian or Ubuntu: apt-get install libcairo2-dev pkg-config)")
  return()
endif()
message(STATUS "cairo ${CAIRO_VERSION}: building tarvek-draw")

add_library(tarvek_draw STATIC
  src/draw/text.cpp
  src/draw/canvas.cpp
  src/draw/colours.cpp
  src/draw/drawn_map.cpp
  src/draw/label_layout.cpp
  src/draw/map_drawing.cpp
  src/draw/map_render.cpp
  src/draw/pair_statistic.cpp
  src/draw/heat_matrix.cpp
  src/draw/heat_map.cpp
  src/draw/genotype_graph.cpp
  src/draw/report.cpp
  src/draw/plot_parts.cpp
  src/draw/marey_plot.cpp
  src/draw/compare_drawing.cpp
  src/draw/individual_plot.cpp
  src/draw/quality_section.cpp
)
target_include_directories(tarvek_draw PUBLIC src)
target_link_libraries(tarvek_draw PUBLIC tarvek_interop PkgConfig::CAIRO)

add_executable(tarvek-draw apps/tarvek_draw.cpp)
target_link_libraries(tarvek-draw PRIVATE tarvek_draw tarvek_apps)

install(TARGETS tarvek-draw RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES man/tarvek-draw.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

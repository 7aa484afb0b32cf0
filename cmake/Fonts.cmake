# The two fonts the song list is drawn with. The program reads them from its working directory, and when
# they are not there, from beside its executable and from its installed data folder (MD_DATA_DIR).

set(MD_FONT_FILES supercomputer.ttf Roboto-Regular.ttf)

foreach(font IN LISTS MD_FONT_FILES)
  # configure_file copies again whenever the source changes.
  configure_file("${CMAKE_SOURCE_DIR}/assets/fonts/${font}" "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${font}" COPYONLY)
  get_filename_component(stem "${font}" NAME_WE)
  install(FILES "${CMAKE_SOURCE_DIR}/assets/fonts/${font}" "${CMAKE_SOURCE_DIR}/assets/fonts/${stem}.LICENSE.txt"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/musicdisk")
endforeach()

# An installed copy finds its data folder from its own place too, wherever it was installed to.
file(RELATIVE_PATH MD_DATA_DIR_FROM_BIN "${CMAKE_INSTALL_FULL_BINDIR}" "${MD_DATA_DIR}")
target_compile_definitions(mdplatform PRIVATE MD_DATA_DIR_FROM_BIN="${MD_DATA_DIR_FROM_BIN}")

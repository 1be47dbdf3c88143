# SPDX-License-Identifier: MIT
# The Windows build (cross-compiled with cmake/mingw-w64.cmake): the player on
# waveOut with the player's own SoundFont sample player (FluidSynth cannot be
# built for mingw here) and TimGM6mb.sf2 beside it, a UTF-8 manifest for both programs, the tests
# that run under wine, and the zip for Windows users. Included from the top-level CMakeLists.txt.

# Both programs declare UTF-8 as their code page (Windows 10 1903 and later
# then give the C runtime UTF-8 file names and arguments) and know Windows 10.
set(PV_MANIFEST_RC ${CMAKE_SOURCE_DIR}/cmake/pellavine.rc)
target_sources(pellavine PRIVATE ${PV_MANIFEST_RC})

# No FluidSynth for the cross toolchain: tone/player/win32/ownsynth.cpp puts
# the player's own sample player (tone/player/sf2synth.h) in its place.
pv_layer(pvplayer DIRS tone/player tone/player/win32 tone/protocol EXCLUDE "/tone/player/fluid\\.cpp$"
         USES pvplatform pvscore)
add_executable(pellavine-beep tone/player/win32/main.cpp ${PV_MANIFEST_RC})
target_link_libraries(pellavine-beep PRIVATE pvplayer winmm ole32)

# Widths as the console layer counts them, to compare with the Linux build.
add_executable(pvwidths tests/win/widths.cpp)
target_link_libraries(pvwidths PRIVATE pvconsole)

# GoogleTest from Debian's sources (the googletest package).
set(PV_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${PV_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

enable_testing()
include(GoogleTest)
# The unit tests that need no POSIX system, and the Win32 backend's own.
add_executable(pvwintests
  tests/test_model.cpp tests/test_ring.cpp tests/test_platform_keys.cpp
  tests/test_width.cpp tests/test_conkeys.cpp tests/test_midi.cpp
  tests/win/test_winfiles.cpp tests/win/test_winproc.cpp tests/win/test_conout.cpp
  tests/win/test_winargs.cpp)
target_include_directories(pvwintests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(pvwintests PRIVATE pvcore gtest gtest_main)
target_compile_definitions(pvwintests PRIVATE PV_BEEP="pellavine-beep.exe")
add_dependencies(pvwintests pellavine-beep)
set_target_properties(pvwintests pellavine pellavine-beep pvwidths PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_test(NAME pvwintests COMMAND pvwintests WORKING_DIRECTORY ${CMAKE_BINARY_DIR})

# pellavine-windows-x86_64.zip: the two programs, the help text, the README
# for Windows users, and Debian's TimGM6mb.sf2 (timgm6mb-soundfont) with its
# copyright file and the licence it names (GPL 2).
set(PV_SOUNDFONT /usr/share/sounds/sf2/TimGM6mb.sf2 CACHE FILEPATH "The SoundFont shipped in the zip")
set(PV_SOUNDFONT_COPYRIGHT /usr/share/doc/timgm6mb-soundfont/copyright CACHE FILEPATH "Its copyright file")
set(PV_SOUNDFONT_LICENSE /usr/share/common-licenses/GPL-2 CACHE FILEPATH "The licence it names")
set(PV_ZIP ${CMAKE_BINARY_DIR}/pellavine-windows-x86_64.zip)
set(PV_ZIPDIR ${CMAKE_BINARY_DIR}/zip/pellavine)
add_custom_command(OUTPUT ${PV_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/zip ${PV_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PV_ZIPDIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:pellavine> $<TARGET_FILE:pellavine-beep> ${PV_ZIPDIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/share/pellavine/说明.txt ${PV_ZIPDIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/README-Windows.txt ${PV_ZIPDIR}/README.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${PV_SOUNDFONT} ${PV_ZIPDIR}/TimGM6mb.sf2
  COMMAND ${CMAKE_COMMAND} -E copy ${PV_SOUNDFONT_COPYRIGHT} ${PV_ZIPDIR}/TimGM6mb-copyright.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${PV_SOUNDFONT_LICENSE} ${PV_ZIPDIR}/TimGM6mb-GPL-2.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/LICENSE ${PV_ZIPDIR}/LICENSE.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/THIRD-PARTY.txt ${PV_ZIPDIR}/THIRD-PARTY.txt
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip ${CMAKE_COMMAND} -E tar cf ${PV_ZIP} --format=zip pellavine
  DEPENDS pellavine pellavine-beep ${CMAKE_SOURCE_DIR}/share/pellavine/说明.txt ${CMAKE_SOURCE_DIR}/README-Windows.txt
          ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/packaging/THIRD-PARTY.txt
          ${PV_SOUNDFONT} ${PV_SOUNDFONT_COPYRIGHT} ${PV_SOUNDFONT_LICENSE}
  VERBATIM)
add_custom_target(pvzip ALL DEPENDS ${PV_ZIP})
# The build folder holds the programs as the zip does: the SoundFont beside them.
configure_file(${PV_SOUNDFONT} ${CMAKE_BINARY_DIR}/TimGM6mb.sf2 COPYONLY)

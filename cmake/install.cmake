# SPDX-License-Identifier: MIT
# Installation and the Debian package: `cmake --install` (prefix /usr/local
# unless told otherwise, DESTDIR honoured) and `cpack -G DEB` (./make.sh deb).
#
# The layout under the prefix is fixed on purpose: the editor finds its player
# in its own folder and its help text at ../share/pellavine/说明.txt from it,
# so bin/ and share/ are not configurable folders here.


install(TARGETS pellavine RUNTIME DESTINATION bin)
if(TARGET pellavine-beep)
  install(TARGETS pellavine-beep RUNTIME DESTINATION bin)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/share/pellavine/说明.txt DESTINATION share/pellavine)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright
        ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/packaging/THIRD-PARTY.txt
        DESTINATION share/doc/pellavine)

if(WIN32)
  return() # manual pages and the Debian package are for Linux only
endif()

# Manual pages, English and Simplified Chinese, with the version filled in and
# compressed as Debian keeps them. groff does not break lines between Chinese
# characters, so the Chinese pages get a break point after each comma, full
# stop and the like.
find_program(PV_GZIP gzip REQUIRED)
set(pv_manpages)
foreach(lang en zh_CN)
  if(lang STREQUAL "en")
    set(src ${CMAKE_SOURCE_DIR}/man)
    set(dest share/man/man1)
  else()
    set(src ${CMAKE_SOURCE_DIR}/man/${lang})
    set(dest share/man/${lang}/man1)
  endif()
  foreach(page pellavine.1 pellavine-beep.1)
    set(out ${CMAKE_BINARY_DIR}/man/${lang}/${page})
    file(READ ${src}/${page}.in text)
    string(CONFIGURE "${text}" text @ONLY)
    if(NOT lang STREQUAL "en")
      foreach(mark "，" "。" "；" "、" "：")
        string(REPLACE "${mark}" "${mark}\\:" text "${text}")
      endforeach()
      string(REPLACE "\n.TH " "\n.ad l\n.TH " text "${text}")
    endif()
    file(CONFIGURE OUTPUT ${out} CONTENT "${text}" @ONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src}/${page}.in)
    add_custom_command(OUTPUT ${out}.gz
                       COMMAND ${PV_GZIP} -9nkf ${out}
                       DEPENDS ${out}
                       COMMENT "Compressing the manual page ${lang}/${page}")
    list(APPEND pv_manpages ${out}.gz)
    install(FILES ${out}.gz DESTINATION ${dest})
  endforeach()
endforeach()
add_custom_target(manpages ALL DEPENDS ${pv_manpages})

# The Debian package: pellavine_VERSION_amd64.deb, installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellavine)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Pellavine Team <https://github.com/pellavine/pellavine>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "melody editor for the text terminal / 终端旋律编辑器")
set(CPACK_PACKAGE_DESCRIPTION
"Pellavine writes a single-voice melody on a staff of six octaves drawn in the
terminal: letter keys move the cursor, Space puts notes down, b plays the pitch
under the cursor, and scores are saved as small .pvx files and played back
while a marker runs across the staff. The interface is in Simplified Chinese.

Pellavine 是终端里的单声部旋律编辑器：在六个八度的五线谱上用字母键移动光标，
空格键放下音符，b 键试听音高；乐谱保存为 .pvx 文件，播放时标记跟着旋律移动。
界面为简体中文。")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/pellavine/pellavine")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS timgm6mb-soundfont)
set(CPACK_STRIP_FILES ON)
include(CPack)

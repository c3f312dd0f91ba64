# Installation, the CMake package, kelofpu.pc and the Debian packages.
#
#   cmake --install BUILD [--prefix DIR]     everything, into any prefix
#   cpack -G DEB  (in BUILD)                  kelofpu, kelofpu-dev, kelofpu-testapp
#
# Components (one Debian package each):
#   Runtime      kelofpu          libkelofpu.so.N, the service object, kelofpu-reg, kelofpu-sim,
#                                 the bridge kelofpud with its systemd unit and configuration,
#                                 man pages, documents, logrotate rule, udev example
#   Development  kelofpu-dev      public headers, libkelofpu.so, CMake package, kelofpu.pc,
#                                 examples
#   TestApp      kelofpu-testapp  KeloFPUTest (Qt), apart so that a server needs no Qt
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# ---- The control object as a shared library ------------------------------------------------
# Every unit of kelo_control and what it uses of platform/, with only the kelo::control API
# exported (control/exports.map), so the platform copy inside cannot clash with an
# application's own symbols or with the service object's copy.
set(KELO_CONTROL_SOURCE ${PROJECT_BINARY_DIR}/kelofpu_library.cc)
file(CONFIGURE OUTPUT ${KELO_CONTROL_SOURCE} @ONLY CONTENT [[
// libkelofpu: built from kelo_control whole; this unit only names the library's version.
extern "C" __attribute__((visibility("default"))) const char* kelofpu_version() {
  return "@PROJECT_VERSION@";
}
]])
add_library(kelofpu SHARED ${KELO_CONTROL_SOURCE})
add_library(KeloFPU::control ALIAS kelofpu)
target_link_libraries(kelofpu PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,kelo_control>")
target_link_options(kelofpu PRIVATE "-Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/kelofpu.map")
# Every symbol resolved at link time; not in fuzzing builds, where clang leaves the
# sanitizer runtime to the executable that loads the library.
if(NOT KELO_FUZZ)
  target_link_options(kelofpu PRIVATE "-Wl,--no-undefined")
endif()
set_target_properties(kelofpu PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  EXPORT_NAME control
  LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/kelofpu.map)
# Installed: <kelofpu/kelofpu.h>. In a parent project (add_subdirectory) the same include
# works from the build tree.
target_include_directories(kelofpu INTERFACE
  $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include> $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/kelofpu>)
target_compile_features(kelofpu INTERFACE cxx_std_20)

# The public headers: the control object with the amount type Currency, the event
# dispatchers, the OPOS constants. Nothing of
# platform/. They keep their folders under include/kelofpu/, so the includes between them
# resolve with -I<prefix>/include/kelofpu; <kelofpu/kelofpu.h> includes them all.
set(KELO_PUBLIC_HEADERS
  control/fiscal_printer.h
  control/event_dispatcher.h
  opos/opos_constants.h)
# Included by the headers above (the property list they are generated from).
set(KELO_PUBLIC_TABLES opos/properties.def)
foreach(header ${KELO_PUBLIC_HEADERS} ${KELO_PUBLIC_TABLES})
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header}
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kelofpu/${dir} COMPONENT Development)
endforeach()
list(TRANSFORM KELO_PUBLIC_HEADERS PREPEND "#include \"" OUTPUT_VARIABLE KELO_UMBRELLA)
list(TRANSFORM KELO_UMBRELLA APPEND "\"")
list(JOIN KELO_UMBRELLA "\n" KELO_UMBRELLA)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/include/kelofpu/kelofpu.h @ONLY CONTENT [[
// KeloFPU @PROJECT_VERSION@: the FiscalPrinter control object and its OPOS constants.
#pragma once
@KELO_UMBRELLA@
]])
install(FILES ${PROJECT_BINARY_DIR}/include/kelofpu/kelofpu.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kelofpu COMPONENT Development)

# ---- Libraries and programs ----------------------------------------------------------------
install(TARGETS kelofpu EXPORT KeloFPUTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development)
# The service object is loaded by path from its class registration, never linked against:
# it lives apart, and the Debian package registers this path.
set(KELO_SERVICE_DIR ${CMAKE_INSTALL_LIBDIR}/kelofpu)
install(TARGETS soKeloFpu LIBRARY DESTINATION ${KELO_SERVICE_DIR} COMPONENT Runtime)
install(TARGETS kelofpu-reg kelofpu-sim kelofpud RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT Runtime)
# The bridge's systemd unit (PREFIX/lib/systemd/system; /usr/lib/systemd/system in the package).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kelofpud.service
        DESTINATION lib/systemd/system COMPONENT Runtime)
install(TARGETS KeloFPUTest RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT TestApp)

# --version: the one version of the project, in every program.
foreach(program kelofpu-reg kelofpu-sim kelofpud kelo_testapp_headless)
  target_compile_definitions(${program} PRIVATE KELO_VERSION="${PROJECT_VERSION}")
endforeach()

# ---- CMake package and pkg-config ----------------------------------------------------------
set(KELO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KeloFPU)
install(EXPORT KeloFPUTargets NAMESPACE KeloFPU:: DESTINATION ${KELO_CMAKE_DIR}
        COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KeloFPUConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KeloFPUConfig.cmake INSTALL_DESTINATION ${KELO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KeloFPUConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KeloFPUConfig.cmake
              ${PROJECT_BINARY_DIR}/KeloFPUConfigVersion.cmake
        DESTINATION ${KELO_CMAKE_DIR} COMPONENT Development)
# The prefix is found from the .pc file's own place, so the file is right in any prefix.
file(RELATIVE_PATH KELO_PC_TO_PREFIX /p/${CMAKE_INSTALL_LIBDIR}/pkgconfig /p)
configure_file(${PROJECT_SOURCE_DIR}/cmake/kelofpu.pc.in ${PROJECT_BINARY_DIR}/kelofpu.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kelofpu.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT Development)

# ---- Documents, examples, sample configuration, man pages -----------------------------------
set(KELO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kelofpu)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
  ${PROJECT_SOURCE_DIR}/docs/INTEGRATION.md ${PROJECT_SOURCE_DIR}/docs/ARCHITECTURE.md
  ${PROJECT_SOURCE_DIR}/docs/SIMULATOR.md ${PROJECT_SOURCE_DIR}/docs/RELIABILITY.md
  ${PROJECT_SOURCE_DIR}/docs/PERFORMANCE.md ${PROJECT_SOURCE_DIR}/docs/BRIDGE.md
  DESTINATION ${KELO_DOC_DIR} COMPONENT Runtime)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/registry.reg.sample
  ${PROJECT_SOURCE_DIR}/packaging/99-kelofpu.rules.example
  ${PROJECT_SOURCE_DIR}/packaging/kelofpu.logrotate
  DESTINATION ${KELO_DOC_DIR}/examples COMPONENT Runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${KELO_DOC_DIR}/examples/api
        COMPONENT Development)

# Man pages from each program's --help and --version (help2man), when help2man is there; not
# in sanitizer and fuzzing builds, whose programs are not for installing.
find_program(KELO_HELP2MAN help2man)
if(KELO_HELP2MAN AND NOT KELO_SANITIZE AND NOT KELO_FUZZ)
  set(KELO_MAN_PAGES)
  foreach(entry "kelofpu-reg|Runtime|register the KeloFPU service object and edit device keys"
                "kelofpu-sim|Runtime|KeloFPU fiscal printer simulator on a pseudo-terminal"
                "kelofpud|Runtime|HTTP/JSON bridge to KeloFPU fiscal printers"
                "KeloFPUTest|TestApp|KeloFPU fiscal printer test application")
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 program)
    list(GET entry 1 component)
    list(GET entry 2 summary)
    set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${KELO_HELP2MAN} --no-info --no-discard-stderr --section=1 --name=${summary}
              --output=${page} $<TARGET_FILE:${program}>
      DEPENDS ${program} VERBATIM)
    list(APPEND KELO_MAN_PAGES ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  endforeach()
  add_custom_target(kelofpu_man ALL DEPENDS ${KELO_MAN_PAGES})
endif()

# Files under /etc: in a package (or an install to /usr) they go to /etc; in any other prefix
# to PREFIX/etc. Decided at install time, since `cmake --install --prefix` chooses the prefix.
install(CODE "
  if(CMAKE_INSTALL_PREFIX MATCHES \"^(.*/_CPack_Packages/.*)?/usr$\" OR
     CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    string(REGEX REPLACE \"/usr$\" \"/etc\" kelo_etc \"\${CMAKE_INSTALL_PREFIX}\")
  else()
    set(kelo_etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
  endif()
  file(INSTALL DESTINATION \"\${kelo_etc}/logrotate.d\" TYPE FILE
       RENAME kelofpu FILES \"${PROJECT_SOURCE_DIR}/packaging/kelofpu.logrotate\")
  # The bridge's configuration: an administrator's own file is kept (packages: a conffile).
  if(NOT EXISTS \"\$ENV{DESTDIR}\${kelo_etc}/kelofpu/kelofpud.json\")
    file(INSTALL DESTINATION \"\${kelo_etc}/kelofpu\" TYPE FILE
         FILES \"${PROJECT_SOURCE_DIR}/packaging/kelofpud.json\")
  endif()
" COMPONENT Runtime)

# ---- Debian packages -----------------------------------------------------------------------
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
set(KELO_DEB_SERVICE_PATH /usr/${KELO_SERVICE_DIR}/libsoKeloFpu.so)
foreach(script postinst prerm postrm)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/${script}
                 ${PROJECT_BINARY_DIR}/packaging/${script} @ONLY FILE_PERMISSIONS
                 OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                 WORLD_EXECUTE)
endforeach()

set(CPACK_PACKAGE_NAME kelofpu)
set(CPACK_PACKAGE_VENDOR "KeloFPU")
set(CPACK_PACKAGE_CONTACT "KeloFPU maintainers <kelofpu@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "OPOS FiscalPrinter driver for KeloFPU fiscal printers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL Runtime Development TestApp)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME kelofpu)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS logrotate)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "libraries and tools\n The FiscalPrinter control object library, the service object,\n the registration tool kelofpu-reg, the printer simulator kelofpu-sim and the\n HTTP/JSON bridge kelofpud (systemd unit kelofpud.service).")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${PROJECT_BINARY_DIR}/packaging/postinst ${PROJECT_BINARY_DIR}/packaging/prerm
  ${PROJECT_BINARY_DIR}/packaging/postrm ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME kelofpu-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "kelofpu (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "headers and package configuration\n Public headers of the FiscalPrinter control object, the CMake package\n KeloFPU (KeloFPU::control), kelofpu.pc and example programs.")
set(CPACK_DEBIAN_TESTAPP_PACKAGE_NAME kelofpu-testapp)
set(CPACK_DEBIAN_TESTAPP_PACKAGE_DEPENDS "kelofpu (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_TESTAPP_DESCRIPTION
  "test application\n KeloFPUTest: the technicians' test application (Qt 6 windows, and headless\n macro playback and canned tests).")
include(CPack)

# The Debian packages a line PC is set up from, made by CPack from the install
# rules (scripts/make-packages.sh builds them from a Release build):
#   orvalt            the window and orvalt-cli, their manual pages, the shell
#                     completion, the U3's udev rule, the desktop entry and
#                     icons, and the examples
#   orvalt-dashboard  the line's web dashboard, its manual page and a systemd
#                     unit that is installed but never enabled by the package
# The programs' own install rules (src/cli, src/ui, src/platform,
# src/dashboard) name their component; the files below come from packaging/.

include(GNUInstallDirs)

set(ORVALT_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(ORVALT_GENERATED_PACKAGING_DIR ${PROJECT_BINARY_DIR}/packaging)
set(ORVALT_DASHBOARD_ENVIRONMENT_FILE ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default/orvalt-dashboard)
set(ORVALT_PACKAGE_MAINTAINER
    "Orvalt maintainers <maintainers@users.noreply.c-seed-8da4c198.example>")

# Directories as Debian wants them, whatever the umask of the one who builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                               GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# orvalt_gzipped(SOURCE OUTPUT): a copy compressed as Debian policy asks of
# manual pages and changelogs (gzip -9n: no name, no time stamp, so the same
# page gives the same bytes). Made when CMake configures, so that an install
# after building any one target finds it; an edited source configures again.
function(orvalt_gzipped source output)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  get_filename_component(folder ${output} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${output} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${source}")
  endif()
endfunction()

# orvalt_manual_page(NAME COMPONENT): packaging/man/NAME.1 into section 1.
function(orvalt_manual_page name component)
  set(page ${ORVALT_GENERATED_PACKAGING_DIR}/man/${name}.1.gz)
  orvalt_gzipped(${ORVALT_PACKAGING_DIR}/man/${name}.1 ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()

# The changelog's one entry is this version, dated by SOURCE_DATE_EPOCH when
# set (make-packages.sh sets it to the commit's time), so that a build of one
# commit gives the same bytes. Both packages come from the source "orvalt".
string(TIMESTAMP ORVALT_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${ORVALT_PACKAGING_DIR}/changelog.in ${ORVALT_GENERATED_PACKAGING_DIR}/changelog
               @ONLY)
orvalt_gzipped(${ORVALT_GENERATED_PACKAGING_DIR}/changelog
               ${ORVALT_GENERATED_PACKAGING_DIR}/changelog.gz)

# orvalt_package_documents(PACKAGE): the copyright file and the changelog
# Debian policy asks of every package, in /usr/share/doc/PACKAGE.
function(orvalt_package_documents package)
  install(FILES ${ORVALT_PACKAGING_DIR}/copyright ${ORVALT_GENERATED_PACKAGING_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${package})
endfunction()

# The station: the window and the runner.
orvalt_manual_page(orvalt orvalt)
orvalt_manual_page(orvalt-cli orvalt)
install(FILES ${ORVALT_PACKAGING_DIR}/completion/orvalt-cli
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions COMPONENT orvalt)
set(ORVALT_EXAMPLES TestCfg.csv limits-pass.csv limits-fail.csv unit-healthy.json
                    unit-slow-off.json lot-steady.json lot-drift.json)
list(TRANSFORM ORVALT_EXAMPLES PREPEND ${PROJECT_SOURCE_DIR}/examples/)
install(FILES ${ORVALT_EXAMPLES} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvalt/examples
        COMPONENT orvalt)
orvalt_package_documents(orvalt)

# The dashboard: the service reads its options from a file in /etc that the
# package marks a conffile, readable by root only (it may hold a password).
if(ORVALT_BUILD_DASHBOARD)
  orvalt_manual_page(orvalt-dashboard orvalt-dashboard)
  configure_file(${ORVALT_PACKAGING_DIR}/systemd/orvalt-dashboard.service.in
                 ${ORVALT_GENERATED_PACKAGING_DIR}/orvalt-dashboard.service @ONLY)
  install(FILES ${ORVALT_GENERATED_PACKAGING_DIR}/orvalt-dashboard.service
          DESTINATION lib/systemd/system COMPONENT orvalt-dashboard)
  install(FILES ${ORVALT_PACKAGING_DIR}/systemd/orvalt-dashboard.default
          DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default RENAME orvalt-dashboard
          PERMISSIONS OWNER_READ OWNER_WRITE COMPONENT orvalt-dashboard)
  file(WRITE ${ORVALT_GENERATED_PACKAGING_DIR}/orvalt-dashboard/conffiles
       "${ORVALT_DASHBOARD_ENVIRONMENT_FILE}\n")
  orvalt_package_documents(orvalt-dashboard)
endif()

# The packages need both programs of each: without the window or the
# dashboard there is nothing whole to package.
if(NOT (ORVALT_BUILD_UI AND ORVALT_BUILD_DASHBOARD))
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL orvalt orvalt-dashboard)
set(CPACK_PACKAGE_NAME orvalt)
set(CPACK_PACKAGE_VENDOR Kestrune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVALT_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SOURCE orvalt)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the binaries load (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_ORVALT_PACKAGE_NAME orvalt)
set(CPACK_DEBIAN_ORVALT_DESCRIPTION
    "test station for lighting drivers
Orvalt runs test plans on lighting drivers through a LabJack U3 (USB) and
the driver's diagnostic serial line, judges each test against a limits file,
writes the result files and records every run in a results database (a
SQLite file or a PostgreSQL server).

This package holds the operator window (orvalt), the headless runner and
records tool (orvalt-cli) with its bash completion, the udev rule that lets
the station's users open the U3, and an example plan, limits files, and unit
and lot profiles for the built-in simulator. It makes the station's key,
which seals each run it records, in /etc/orvalt.")
# The window opens a run's report in the desktop's browser.
set(CPACK_DEBIAN_ORVALT_PACKAGE_RECOMMENDS xdg-utils)
# The station's key is made at the first install, in /etc/orvalt, and goes
# only with a purge.
set(CPACK_DEBIAN_ORVALT_PACKAGE_CONTROL_EXTRA ${ORVALT_PACKAGING_DIR}/station-key/postinst
                                              ${ORVALT_PACKAGING_DIR}/station-key/postrm)

set(CPACK_DEBIAN_ORVALT-DASHBOARD_PACKAGE_NAME orvalt-dashboard)
set(CPACK_DEBIAN_ORVALT-DASHBOARD_DESCRIPTION
    "live web dashboard of an Orvalt test line
orvalt-dashboard serves the line's Orvalt test stations as web pages, read
from the results database they record into: each fixture testing or idle,
today's yield per model, why units failed, the open drift alarms, a unit's
attempts and a model's control charts. It only reads the records.

A systemd unit, orvalt-dashboard.service, comes with it but is not enabled:
set the database in ${ORVALT_DASHBOARD_ENVIRONMENT_FILE}, then enable it.")
set(CPACK_DEBIAN_ORVALT-DASHBOARD_PACKAGE_CONTROL_EXTRA
    ${ORVALT_GENERATED_PACKAGING_DIR}/orvalt-dashboard/conffiles)

include(CPack)

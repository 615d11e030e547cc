# The Debian package: `cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package-check does it all).
set(CPACK_PACKAGE_NAME veskor)
set(CPACK_PACKAGE_VENDOR "The Veskor developers")
set(CPACK_PACKAGE_CONTACT "The Veskor developers <veskor@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "search a web archive of Usenet newsgroups")
set(CPACK_PACKAGE_DESCRIPTION
    "Veskor searches the web archive of Usenet newsgroups that an internet service\n\
provider runs for its subscribers, and gathers every hit into one table\n\
(subject, date, poster, newsgroup). It comes with a command-line search,\n\
veskor-search, and a demo archive server, veskor-archive, that the desktop\n\
launcher starts when nothing serves the built-in local address.\n\
The program speaks French.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION news)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
# The shared libraries come from dpkg-shlibdeps; what it cannot see is listed:
# Qt's platform plugins are loaded at run time, and the windows use these
# fonts by name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-dejavu-core, fonts-liberation2, fonts-comic-neue")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

# Debian keeps a package's licence as its copyright file.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/veskor
        RENAME copyright)

include(CPack)

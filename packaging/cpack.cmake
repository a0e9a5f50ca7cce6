# The Debian package: `make package` (cpack -G DEB in the build folder) gives
# bramble_<version>_<arch>.deb of everything the install rules put under /usr
# (packaging/CMakeLists.txt).  Included from the top-level CMakeLists.txt,
# where CPack must be set up.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bramble)
set(CPACK_PACKAGE_VENDOR "The Bramble developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${BRAMBLE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BRAMBLE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${BRAMBLE_HOMEPAGE}")
# The libraries the programs link come from dpkg-shlibdeps; Qt's platform
# plugins are loaded at run time, so no binary names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "batch maintenance of bibliographic record databases
Bramble maintains bibliographic record databases of the Vardo record
engine: open a database, choose a set of records (a range of record
numbers, a typed worksheet or a file of record numbers) and run batch
operations over it: global field and string changes, cleaning, exports
to ISO 2709 and MARC, inverted-file tools, duplicate detection and tag
surveys, with backups, cancel-and-restore and a log of every change.

The package holds the desktop program bramble, bramble-cli for scripts
and vardo, the record engine's administration tool, with their message
databases (English, Spanish, Portuguese), help pages and a demo
database.")
include(CPack)

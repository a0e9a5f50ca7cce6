# Refuses an include against the layer directions of src/ (run by every build):
#
#   engine <- db <- app (core) <- app/gui (window base) <- subsystems <- executables
#
# engine       includes engine only
# db           engine, db
# app          engine, db, app                      (the core: no app/gui, no subsystem)
# app/gui      engine, db, app, app/gui             (the base: no subsystem)
# <subsystem>  db, app and its own folder; its pages (*_page.*, *_dialog.*) also app/gui
# cli          engine, db, app and the subsystems' Qt-free files
# bramble      anything (the composition root)
#
# Only the files of app/gui, of src/bramble and the pages may include Qt
# (<Q...>), and only they may include a page or dialog header.
#
# Usage: cmake -DSOURCE_DIR=<repo> -DSTAMP=<file> -P check_layers.cmake
cmake_minimum_required(VERSION 3.22)

set(subsystems edit clean invfile analysis params)
# Includes that predate these rules and are still to be removed: edit/ reaches
# the engine's error texts directly instead of through CDbSession.
set(exceptions
    "edit/field_run.cpp>engine/vardo.h"
    "edit/field_edit_run.cpp>engine/vardo.h")

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
set(errors "")
foreach(f ${files})
  string(REGEX MATCH "^[^/]+" top "${f}")
  set(page FALSE)
  if(f MATCHES "_(page|dialog)\\.(h|cpp)$")
    set(page TRUE)
  endif()
  set(qt FALSE)
  if(top STREQUAL "engine")
    set(allowed engine)
  elseif(top STREQUAL "db")
    set(allowed engine db)
  elseif(f MATCHES "^app/gui/")
    set(allowed engine db app app/gui)
    set(qt TRUE)
  elseif(top STREQUAL "app")
    set(allowed engine db app)
  elseif(top IN_LIST subsystems)
    set(allowed db app ${top})
    if(page)
      list(APPEND allowed app/gui)
      set(qt TRUE)
    endif()
  elseif(top STREQUAL "cli")
    set(allowed engine db app cli ${subsystems})
  elseif(top STREQUAL "bramble")
    set(allowed engine db app app/gui bramble ${subsystems})
    set(qt TRUE)
  else()
    string(APPEND errors "  src/${f}: a folder of src/ that no layer rule covers\n")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/src/${f} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(inc "${CMAKE_MATCH_1}")
      if(NOT inc MATCHES "/")
        continue()  # beside the including file
      endif()
      string(REGEX MATCH "^[^/]+" layer "${inc}")
      if(inc MATCHES "^app/gui/")
        set(layer app/gui)
      endif()
      set(bad FALSE)
      if(NOT layer IN_LIST allowed AND NOT "${f}>${inc}" IN_LIST exceptions)
        set(bad TRUE)
      endif()
      if(NOT qt AND inc MATCHES "_(page|dialog)\\.h$")
        set(bad TRUE)
      endif()
      if(bad)
        string(APPEND errors "  src/${f} includes ${inc}: src/${top} may include only ${allowed}\n")
      endif()
    elseif(NOT qt AND line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z0-9_/]*)>")
      string(APPEND errors "  src/${f} includes <${CMAKE_MATCH_1}>: only the window base, pages and src/bramble use Qt\n")
    endif()
  endforeach()
endforeach()

if(errors)
  message(FATAL_ERROR "Includes against the layer directions (see tools/check_layers.cmake):\n${errors}")
endif()
file(TOUCH ${STAMP})

# cmake -DMANIFEST=file -DSTAGE=dir -DZIP=file -DSOURCE=dir -DZIP_PROGRAM=zip [-DGIT=git] -P make-archive.cmake
# Copies the files that MANIFEST names ("path in the archive=file", one a
# line) into STAGE and packs STAGE into ZIP so that the same inputs give the
# same bytes: entries in sorted order, each dated at the commit's time
# (SOURCE_DATE_EPOCH when set), modes 644 and 755 for programs, no owner,
# no extra attributes, DOS times in UTC, text files with CRLF line ends. A relative file is one of the
# source tree and must be tracked by git, so that nothing that only lies in
# one checkout gets in; an absolute one is made by the build (or is a
# licence notice of a library linked in).
if(NOT ZIP_PROGRAM)
  message(FATAL_ERROR "the release archive needs zip (Info-ZIP)")
endif()
file(STRINGS ${MANIFEST} lines)
file(REMOVE_RECURSE ${STAGE})
file(REMOVE ${ZIP})
get_filename_component(top ${STAGE} NAME)
get_filename_component(parent ${STAGE} DIRECTORY)

set(in_git FALSE)
if(GIT AND EXISTS ${SOURCE}/.git)
  set(in_git TRUE)
endif()

set(names "")
set(staged "")
set(from_source "")
foreach(line IN LISTS lines)
  string(FIND "${line}" "=" eq)
  string(SUBSTRING "${line}" 0 ${eq} path)
  math(EXPR eq "${eq} + 1")
  string(SUBSTRING "${line}" ${eq} -1 file)
  if(NOT IS_ABSOLUTE "${file}")
    list(APPEND from_source ${file})
    set(file ${SOURCE}/${file})
  endif()
  get_filename_component(dir ${STAGE}/${path} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  file(COPY_FILE ${file} ${STAGE}/${path})
  # Text files get Windows line ends, so that every Windows editor shows
  # their lines; the sources keep theirs.
  if(path MATCHES "\\.(txt|md|tolvo|def|h)$|^LICENSE$|^licenses/")
    file(READ ${STAGE}/${path} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${STAGE}/${path} "${text}")
  endif()
  if(path MATCHES "\\.(exe|dll)$")
    file(CHMOD ${STAGE}/${path} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
         WORLD_READ WORLD_EXECUTE)
  else()
    file(CHMOD ${STAGE}/${path} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
  list(APPEND names ${top}/${path})
  list(APPEND staged ${STAGE}/${path})
endforeach()

if(in_git AND from_source)
  execute_process(COMMAND ${GIT} -C ${SOURCE} ls-files --error-unmatch -- ${from_source}
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the archive takes only files that git tracks: ${errors}")
  endif()
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
elseif(in_git)
  execute_process(COMMAND ${GIT} -C ${SOURCE} log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  set(epoch 315532800) # 1980-01-01, the first time a zip entry can hold
endif()
execute_process(COMMAND touch -h -d @${epoch} ${staged} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not date the staged files")
endif()

list(SORT names)
list(JOIN names "\n" listing)
file(WRITE ${ZIP}.list "${listing}\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP_PROGRAM} -q -X -D -9 ${ZIP} -@
  WORKING_DIRECTORY ${parent} INPUT_FILE ${ZIP}.list RESULT_VARIABLE rc)
file(REMOVE ${ZIP}.list)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "zip failed (${rc})")
endif()

# Writes the site's service worker (sw.js) from sw.js.in, run at build time
# once every other file of the site is in place:
#   cmake -DSITE=<folder> -DTEMPLATE=<sw.js.in> -DVERSION=<x.y.z> -DFILES=<a,b,c> -P service_worker.cmake
# The cache's name carries the version and a hash of the files' contents, so
# that every change to the site gives a new cache and browsers fetch it anew.
foreach(required SITE TEMPLATE VERSION FILES)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "service_worker.cmake: ${required} is not set")
  endif()
endforeach()
string(REPLACE "," ";" FILES "${FILES}")
set(hashes "")
set(quoted "")
foreach(name IN LISTS FILES)
  file(SHA256 "${SITE}/${name}" hash)
  string(APPEND hashes "${name} ${hash}\n")
  list(APPEND quoted "'${name}'")
endforeach()
string(SHA256 site_hash "${hashes}")
string(SUBSTRING "${site_hash}" 0 16 SITE_HASH)
set(TALVOREN_VERSION "${VERSION}")
list(JOIN quoted ", " SITE_FILES)
configure_file("${TEMPLATE}" "${SITE}/sw.js" @ONLY)

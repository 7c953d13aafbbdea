# cmake -DZIP=<zip> -DTIME=<"YYYY-MM-DD hh:mm:ss"> -DFILES=<file;...> -P make_zip.cmake
#
# Packs FILES, in their order, at the top of a new ZIP and writes SHA256SUMS
# beside it.  The same files give the same zip: each entry gets the mode
# 0644 and the time TIME (UTC), and zip -X leaves out the extra fields that
# would carry the builder's user and the files' own times.
get_filename_component(package_dir ${ZIP} DIRECTORY)
get_filename_component(zip_name ${ZIP} NAME)
set(stage ${package_dir}/stage)
file(REMOVE_RECURSE ${stage})
file(REMOVE ${ZIP} ${package_dir}/SHA256SUMS)
file(MAKE_DIRECTORY ${stage})
set(names)
foreach(file ${FILES})
  get_filename_component(name ${file} NAME)
  file(COPY_FILE ${file} ${stage}/${name})
  list(APPEND names ${name})
endforeach()
file(CHMOD ${stage} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
list(TRANSFORM names PREPEND ${stage}/ OUTPUT_VARIABLE staged)
file(CHMOD ${staged} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
foreach(command "touch;-d;${TIME};${names}" "zip;-X;-D;-q;-9;${ZIP};${names}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${command} WORKING_DIRECTORY ${stage} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${command}: ${failed}")
  endif()
endforeach()
file(REMOVE_RECURSE ${stage})
file(SHA256 ${ZIP} sha256)
file(WRITE ${package_dir}/SHA256SUMS "${sha256}  ${zip_name}\n")
message(STATUS "${ZIP}: SHA-256 ${sha256}")

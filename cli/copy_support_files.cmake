# Copies the support files that exist in SOURCE_DIR into TARGET_DIR, leaving unchanged
file(MAKE_DIRECTORY ${TARGET_DIR})
# copies alone.
foreach(name city.csv symbols.sym ms4wmap10.lzh)
  if(EXISTS ${SOURCE_DIR}/${name})
    file(COPY_FILE ${SOURCE_DIR}/${name} ${TARGET_DIR}/${name} ONLY_IF_DIFFERENT)
  endif()
endforeach()

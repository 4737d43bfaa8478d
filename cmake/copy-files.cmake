# cmake -DFILES=a;b -DDEST=dir -P copy-files.cmake
foreach(f ${FILES})
  if(f)
    file(COPY ${f} DESTINATION ${DEST})
  endif()
endforeach()

cmake_minimum_required(VERSION 3.25)
# Copies the DLLs that the given executables and libraries load, directly or through each
# other, found in DIRECTORIES, into DESTINATION; system DLLs, found in none, stay where Windows
# keeps them. Windows matches DLL names ignoring case, so this does too (CMake's own
# GET_RUNTIME_DEPENDENCIES lower-cases the names and then misses Qt6Core.dll on a Linux disk).
# Run as a script:
#   cmake -DFILES=a.exe;b.dll -DDIRECTORIES=... -DDESTINATION=... -DOBJDUMP=... [-DSTRIP=...]
#         -P copy-runtime.cmake
set(known)
foreach(directory IN LISTS DIRECTORIES)
  file(GLOB dlls "${directory}/*.dll")
  foreach(dll IN LISTS dlls)
    get_filename_component(name "${dll}" NAME)
    string(TOLOWER "${name}" key)
    if(NOT DEFINED "found_${key}")
      set("found_${key}" "${dll}")
    endif()
  endforeach()
endforeach()

set(pending ${FILES})
set(copied)
while(pending)
  list(POP_FRONT pending file)
  execute_process(COMMAND "${OBJDUMP}" -p "${file}" OUTPUT_VARIABLE headers
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "DLL Name: " "" name "${import}")
    string(TOLOWER "${name}" key)
    if(NOT DEFINED "found_${key}" OR key IN_LIST copied)
      continue()
    endif()
    list(APPEND copied "${key}")
    set(dll "${found_${key}}")
    get_filename_component(name "${dll}" NAME)
    if(NOT EXISTS "${DESTINATION}/${name}" OR "${dll}" IS_NEWER_THAN "${DESTINATION}/${name}")
      file(COPY "${dll}" DESTINATION "${DESTINATION}")
      if(STRIP)
        execute_process(COMMAND "${STRIP}" --strip-unneeded "${DESTINATION}/${name}")
      endif()
    endif()
    list(APPEND pending "${dll}")
  endforeach()
endwhile()

# widl: type libraries, headers and identifier files from IDL.
set(ZUV_WIDL ${ZUV_TRIPLE}-widl)
set(ZUV_WINE_IDL_DIR /usr/include/wine/wine/windows)

# widl looks for stdole2.tlb in <L>/<arch>-windows/.  Only the 64-bit Wine
# libraries are installed here; stdole2.tlb is only imported by identifier,
# so the 64-bit copy serves the 32-bit build too.
set(ZUV_WIDL_LIBDIR ${CMAKE_BINARY_DIR}/widl-lib)
foreach(arch x86_64 i386)
  file(MAKE_DIRECTORY ${ZUV_WIDL_LIBDIR}/${arch}-windows)
  file(COPY /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/stdole2.tlb
       DESTINATION ${ZUV_WIDL_LIBDIR}/${arch}-windows)
endforeach()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ZUV_WIDL_ARCH -m64)
else()
  set(ZUV_WIDL_ARCH -m32)
endif()

# zuv_widl(<out-var> IDL <file> [TLB <name>] [HEADER <name>] [IIDS <name>]
#          [INCLUDES dirs...] [DEFINES_TLB defs...] [DEPENDS files...])
# Outputs go to the current binary dir; <out-var> receives their full paths.
function(zuv_widl out)
  cmake_parse_arguments(W "" "IDL;TLB;HEADER;IIDS" "INCLUDES;DEFINES_TLB;DEPENDS" ${ARGN})
  get_filename_component(idl ${W_IDL} ABSOLUTE)
  set(flags ${ZUV_WIDL_ARCH} -I${ZUV_WINE_IDL_DIR} -L${ZUV_WIDL_LIBDIR}
            -L${CMAKE_BINARY_DIR}/surface/imports)
  foreach(d ${W_INCLUDES})
    list(APPEND flags -I${d})
  endforeach()
  set(outputs)
  if(W_TLB)
    set(o ${CMAKE_CURRENT_BINARY_DIR}/${W_TLB})
    set(defs)
    foreach(d ${W_DEFINES_TLB})
      list(APPEND defs -D${d})
    endforeach()
    add_custom_command(OUTPUT ${o}
      COMMAND ${ZUV_WIDL} ${flags} ${defs} -t -o ${o} ${idl}
      DEPENDS ${idl} ${W_DEPENDS} VERBATIM)
    list(APPEND outputs ${o})
  endif()
  if(W_HEADER)
    set(o ${CMAKE_CURRENT_BINARY_DIR}/${W_HEADER})
    add_custom_command(OUTPUT ${o}
      COMMAND ${ZUV_WIDL} ${flags} -h -o ${o} ${idl}
      DEPENDS ${idl} ${W_DEPENDS} VERBATIM)
    list(APPEND outputs ${o})
  endif()
  if(W_IIDS)
    set(o ${CMAKE_CURRENT_BINARY_DIR}/${W_IIDS})
    add_custom_command(OUTPUT ${o}
      COMMAND ${ZUV_WIDL} ${flags} -u -o ${o} ${idl}
      DEPENDS ${idl} ${W_DEPENDS} VERBATIM)
    list(APPEND outputs ${o})
  endif()
  set(${out} ${outputs} PARENT_SCOPE)
endfunction()

# Writes a module-definition file (OUT) that exports every name the
# executable EXE exports, each as the one function KivraBenchUnusedExport:
# a stand-in Kivra.exe against which the plugins' imports resolve.
#   cmake -DOBJDUMP=<objdump> -DEXE=<Kivra.exe> -DOUT=<file.def> -P ExportStubs.cmake
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot read the exports of ${EXE}")
endif()
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(at LESS 0)
  message(FATAL_ERROR "${EXE} exports nothing")
endif()
string(SUBSTRING "${dump}" ${at} -1 table)
string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" rows "${table}")
set(def "EXPORTS\n")
foreach(row IN LISTS rows)
  string(REGEX REPLACE "\t\\[ *[0-9]+\\] " "" name "${row}")
  string(APPEND def "  ${name}=KivraBenchUnusedExport\n")
endforeach()
file(WRITE ${OUT} "${def}")

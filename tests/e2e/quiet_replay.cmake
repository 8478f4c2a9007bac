# Writes REPLAY: QUIET_FRAMES frames of an eligible car driving in the open, 16 ms apart.
set(rows "frame,tick,suspend,actor,vehicle,status,health,impact,x,y,z,roof_found,roof_z\n")
math(EXPR last "${QUIET_FRAMES} - 1")
foreach(frame RANGE ${last})
  math(EXPR tick "1000 + 16 * ${frame}")
  string(APPEND rows "${frame},${tick},0,1,1,0,1000,0,10,20,0,0,0\n")
endforeach()
file(WRITE ${REPLAY} "${rows}")

# cmake -DFILE=<bmp> -DSIZE=<bytes> -P check_bitmap_file.cmake
# A .bmp file as viewers read it: "BM", the file size, the offset of the
# pixels after the file header, the info header and the 256-entry palette.
file(SIZE ${FILE} size)
if(NOT size EQUAL SIZE)
    message(FATAL_ERROR "${FILE}: ${size} bytes, expected ${SIZE}")
endif()
file(READ ${FILE} head LIMIT 14 HEX)
# 42 4d, size (little-endian), 4 reserved bytes, offset 14 + 40 + 1024 = 1078 = 0x436.
math(EXPR s0 "${SIZE} & 255" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR s1 "(${SIZE} >> 8) & 255" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR s2 "(${SIZE} >> 16) & 255" OUTPUT_FORMAT HEXADECIMAL)
foreach(v s0 s1 s2)
    string(REGEX REPLACE "^0x" "" ${v} "${${v}}")
    string(LENGTH "${${v}}" n)
    if(n EQUAL 1)
        set(${v} "0${${v}}")
    endif()
endforeach()
set(expected "424d${s0}${s1}${s2}000000000036040000")
if(NOT head STREQUAL expected)
    message(FATAL_ERROR "${FILE}: header ${head}, expected ${expected}")
endif()

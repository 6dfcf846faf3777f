# Turns a data file into a C++ source defining `const unsigned char <symbol>[]` and
# `const unsigned int <symbol>Count`, regenerated whenever the file changes.
set(VENDRASOLITH_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/EmbedBinaryScript.cmake")

function(vendrasolith_embed_binary target input symbol)
  set(output "${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${symbol}
            -P "${VENDRASOLITH_EMBED_SCRIPT}"
    DEPENDS "${input}" "${VENDRASOLITH_EMBED_SCRIPT}"
    COMMENT "Embedding ${input}"
    VERBATIM)
  target_sources(${target} PRIVATE "${output}")
endfunction()

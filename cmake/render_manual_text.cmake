# cmake -DGROFF=groff -DPAGE=man/pibgen.1 -DTEXT=pibgen.txt -P render_manual_text.cmake
# Writes the manual page as plain UTF-8 text: no escape sequences or overstriking for bold
# and underline, and no words hyphenated across lines.
execute_process(COMMAND ${GROFF} -man -rHY=0 -Tutf8 -P-c -P-b -P-u ${PAGE}
                OUTPUT_FILE ${TEXT}.new COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${TEXT}.new ${TEXT})

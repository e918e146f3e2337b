# Writes the manual page of vistrel-cli from its own usage text, so the page never drifts from --help.
# Run as a script: cmake -DCLI=<vistrel-cli> -DOUTPUT=<file.1> -DVERSION=<x.y.z.w> -P VistrelManPage.cmake
#
# The usage text is read as plain lines: "usage: ..." gives the synopsis, a line "name:" at the left
# margin opens a section, an indented "term  description" line (two or more spaces between) becomes a
# tagged paragraph, a deeper indented line continues the description above it. Lines are never
# handled as CMake lists, so semicolons and brackets in the text come through untouched.

execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE usage RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${CLI} --help failed (${result})")
endif()

# Escapes text for roff: backslashes and hyphens, and a leading dot or quote that roff would take
# for a request.
function(roff_escape text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    if(text MATCHES "^[.']")
        set(text "\\&${text}")
    endif()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(page ".TH VISTREL\\-CLI 1 \"\" \"Vistrel ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\nvistrel\\-cli \\- run the jobs of the photo album program Vistrel without a window\n")
set(description
    ".SH DESCRIPTION\n"
    ".B vistrel\\-cli\n"
    "works on the same program folder as the window program\n"
    ".BR vistrel :\n"
    "the same albums, settings file and styles, and the same messages.\n"
    "Messages are German, as in the program.\n")
string(JOIN "" description ${description})

set(rest "${usage}")
set(synopsis_done FALSE)
while(NOT rest STREQUAL "")
    string(FIND "${rest}" "\n" newline)
    if(newline EQUAL -1)
        set(line "${rest}")
        set(rest "")
    else()
        string(SUBSTRING "${rest}" 0 ${newline} line)
        math(EXPR next "${newline} + 1")
        string(SUBSTRING "${rest}" ${next} -1 rest)
    endif()

    if(NOT synopsis_done AND line MATCHES "^[Uu]sage: *([^ ]+) *(.*)$")
        roff_escape("${CMAKE_MATCH_1}" program)
        roff_escape("${CMAKE_MATCH_2}" arguments)
        string(APPEND page ".SH SYNOPSIS\n.B ${program}\n${arguments}\n${description}")
        set(synopsis_done TRUE)
    elseif(line MATCHES "^([^ ].*):$")
        string(TOUPPER "${CMAKE_MATCH_1}" heading)
        roff_escape("${heading}" heading)
        string(APPEND page ".SH ${heading}\n")
    elseif(line MATCHES "^(  ?  ?)([^ ]+( [^ ]+)*)  +([^ ].*)$")
        roff_escape("${CMAKE_MATCH_2}" term)
        roff_escape("${CMAKE_MATCH_4}" text)
        string(APPEND page ".TP\n.B ${term}\n${text}\n")
    elseif(line MATCHES "^(  ?  ?)([^ ].*)$")
        roff_escape("${CMAKE_MATCH_2}" term)
        string(APPEND page ".TP\n.B ${term}\n")
    elseif(line MATCHES "^ +([^ ].*)$")
        roff_escape("${CMAKE_MATCH_1}" text)
        string(APPEND page "${text}\n")
    elseif(line STREQUAL "")
        string(APPEND page ".PP\n")
    else()
        roff_escape("${line}" text)
        string(APPEND page "${text}\n")
    endif()
endwhile()
if(NOT synopsis_done)
    message(FATAL_ERROR "The usage text of ${CLI} has no \"usage:\" line")
endif()

string(APPEND page
    ".SH FILES\n"
    ".TP\n.I ~/.local/share/vistrel/\n"
    "The program folder of an installed program (below \\fB$XDG_DATA_HOME\\fR when that is set): the\n"
    "settings file \\fIvistrel.ini\\fR, the albums in \\fIgalleries/\\fR, the styles in \\fIstyles/\\fR.\n"
    "It is filled with the shipped styles, scripts and help pages on the first start.\n"
    ".TP\n.I ../share/vistrel/\n"
    "Beside the folder of the program (\\fI/usr/share/vistrel/\\fR for the Debian package): the shipped\n"
    "styles, scripts and help pages.\n"
    ".PP\n"
    "A program that runs from a writable folder of its own (such as a build folder) uses that folder\n"
    "as its program folder instead.\n"
    ".SH EXIT STATUS\n"
    "0 on success, 1 when the job failed (its message is on standard error), 2 for a usage error.\n")

# Collapse the paragraph breaks that stand right before a section or another break.
string(REGEX REPLACE "\\.PP\n(\\.PP\n)+" ".PP\n" page "${page}")
string(REGEX REPLACE "\\.PP\n\\.SH" ".SH" page "${page}")
string(REGEX REPLACE "\\.PP\n\\.TP" ".TP" page "${page}")
file(WRITE ${OUTPUT} "${page}")

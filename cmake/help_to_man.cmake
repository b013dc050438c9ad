# Writes a man page for a program from its --help text.
#   cmake -DPROGRAM=path -DNAME=gridora-cli -DVERSION=1.0.0 -DSUMMARY="..." -DOUTPUT=file.1 -P help_to_man.cmake
#
# The help text is read as: a first line "Usage: ...", paragraphs separated by blank lines,
# and option paragraphs whose lines start with two spaces, a term, two spaces or more and
# its text (lines indented further continue the text). Option paragraphs become the OPTIONS
# section, the first other paragraph the DESCRIPTION, later ones their own sections headed
# by the word before a colon ("Files: ..." becomes FILES) or continue the description.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${status}")
endif()

# CMake lists split at ";" and group at brackets: take both out of the way line by line.
string(REPLACE ";" "@SEMICOLON@" help "${help}")
string(REPLACE "[" "@OPEN@" help "${help}")
string(REPLACE "]" "@CLOSE@" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

# roff text: backslashes and hyphens escaped, a leading dot or quote defused.
function(roff_text out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  if(text MATCHES "^[.']")
    string(PREPEND text "\\&")
  endif()
  string(REPLACE "@SEMICOLON@" ";" text "${text}")
  string(REPLACE "@OPEN@" "[" text "${text}")
  string(REPLACE "@CLOSE@" "]" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(TOUPPER "${NAME}" title)
string(TIMESTAMP today "%Y-%m-%d" UTC)  # SOURCE_DATE_EPOCH, when set, fixes it
set(page ".TH ${title} 1 \"${today}\" \"${NAME} ${VERSION}\" \"User Commands\"\n")
roff_text(summary "${SUMMARY}")
string(APPEND page ".SH NAME\n${NAME} \\- ${summary}\n")

set(description "")
set(options "")
set(sections "")
set(paragraph "")
set(kind "")
list(APPEND lines "")  # the last paragraph ends like the others
foreach(line IN LISTS lines)
  if(line MATCHES "^Usage: (.*)$")
    roff_text(synopsis "${CMAKE_MATCH_1}")
    string(APPEND page ".SH SYNOPSIS\n${synopsis}\n")
    continue()
  endif()
  if(line STREQUAL "")
    if(kind STREQUAL "text")
      if(description STREQUAL "")
        set(description "${paragraph}")
      elseif(paragraph MATCHES "^([A-Za-z ]+): (.*)$")
        string(TOUPPER "${CMAKE_MATCH_1}" heading)
        string(APPEND sections ".SH ${heading}\n${CMAKE_MATCH_2}\n")
      else()
        string(APPEND description ".PP\n${paragraph}")
      endif()
    endif()
    set(paragraph "")
    set(kind "")
    continue()
  endif()
  # (MATCHES sets CMAKE_MATCH_n, so the test that keeps them comes last.)
  if(NOT line MATCHES "^    " AND line MATCHES "^  ([^ ].*[^ ]|[^ ])   *([^ ].*)$")
    roff_text(term "${CMAKE_MATCH_1}")
    roff_text(text "${CMAKE_MATCH_2}")
    string(APPEND options ".TP\n.B ${term}\n${text}\n")
    set(kind "options")
  elseif(kind STREQUAL "options" AND line MATCHES "^   *([^ ].*)$")
    roff_text(text "${CMAKE_MATCH_1}")
    string(APPEND options "${text}\n")
  else()
    string(STRIP "${line}" line)
    roff_text(text "${line}")
    string(APPEND paragraph "${text}\n")
    set(kind "text")
  endif()
endforeach()

string(APPEND page ".SH DESCRIPTION\n${description}.SH OPTIONS\n${options}${sections}")
file(WRITE ${OUTPUT} "${page}")

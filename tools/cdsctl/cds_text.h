// The text form of CDS leaves that cdsctl loads and dumps: one leaf a line,
//
//     /Q7M/LoadPrf/1/IntLength/Value = 15        # minutes
//     /Q7M/LoadPrf/1/Chan/1/KmValue/Value = 1.8
//     /Site/Name/Value = "Feeder 7\tbay \"B\""
//
// PATH is a valid CDS path (see cds/toolkit.h). VALUE is
// - an int: an optional sign and decimal digits, within int32;
// - a float: anything else that strtod reads whole ("1.5", "-2e3", "2.", "inf", "nan");
// - a text: double-quoted, with the escapes \" \\ \n \t and \xHH (two hex digits).
// Blanks around the tokens do not matter; '#' outside a text starts a comment; blank and
// comment-only lines are skipped. A float is always written so that it reads back as the same
// double and never as an int ("2.0", not "2"), so a dump loads back exactly.
//
// The parsers are pure functions of their input, for the fuzzer as much as for cdsctl.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cds/toolkit.h"

struct CdsTextLeaf {
    std::string path;
    toolkit::CElement value;
};

struct CdsTextError {
    size_t line;  // from 1
    std::string reason;
};

// Parses the whole of text as one VALUE. On failure returns false and says why in *error.
bool ParseCdsValue(std::string_view text, toolkit::CElement* value, std::string* error);

enum class CdsLineKind { kBlank, kLeaf, kBad };

// Parses one line, without its newline. *leaf is set for kLeaf, *error for kBad.
CdsLineKind ParseCdsLine(std::string_view line, CdsTextLeaf* leaf, std::string* error);

// Parses a whole file. Returns true when every line is good (a path given twice is not): then
// *leaves holds the file's leaves in file order. Otherwise *leaves is empty and *errors holds
// every bad line.
bool ParseCdsText(std::string_view text, std::vector<CdsTextLeaf>* leaves,
                  std::vector<CdsTextError>* errors);

// The VALUE that ParseCdsValue reads back as this element; empty for an element of type none.
std::string FormatCdsValue(const toolkit::CElement& value);

// The plug-in's version, kept here alone: the version record, the information record that
// the host shows and the release archive's name (scripts/make-dist.sh reads the two numbers
// below) are all made from it. Plain preprocessor text, so that windres can include it too.
#pragma once

#define CVT_VERSION_MAJOR 1
#define CVT_VERSION_MINOR 2

#define CVT_VERSION_STRINGIZE(...) #__VA_ARGS__
#define CVT_VERSION_TEXT_OF(...) CVT_VERSION_STRINGIZE(__VA_ARGS__)

// The four numbers of the version record, and the same as its text: "1, 2, 0, 0".
#define CVT_VERSION_NUMBERS CVT_VERSION_MAJOR, CVT_VERSION_MINOR, 0, 0
#define CVT_VERSION_RECORD_TEXT CVT_VERSION_TEXT_OF(CVT_VERSION_NUMBERS)
// The short form that the host shows in its plug-in list: "1.2".
#define CVT_VERSION_SHORT_TEXT \
    CVT_VERSION_TEXT_OF(CVT_VERSION_MAJOR) "." CVT_VERSION_TEXT_OF(CVT_VERSION_MINOR)

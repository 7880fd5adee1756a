// How the demo path is taken from the program's command line. Portable: no
// platform headers; the platform's double-byte lead-byte test is passed in.
#pragma once

#include <cstddef>

using LeadByteTest = bool (*)(unsigned char byte);

// The command-line text: the full command line less the program's name (a
// quoted name up to its closing quote, whose second bytes of double-byte
// characters never count as that quote; an unquoted one up to the first code
// of 0x20 or less) and the codes 0x01-0x20 after it. The rest is one path, kept
// as it stands, blanks and further words included.
const char* CommandLineText(const char* commandLine, LeadByteTest isLeadByte);

// A path enclosed in double quotes, as the shell passes a dropped file whose
// path has blanks, is the text between them. Writes at most size bytes, the
// NUL included, cutting the path to fit.
void UnquotePath(const char* text, char* path, size_t size);

// "/library", in any case, as the whole text or followed by blanks: the
// library is asked for, and the rest, unquoted as a path is, names its folder
// (empty: the library's own choice). Any other text is a demo path.
bool TakeLibrarySwitch(const char* text, char* folder, size_t size);

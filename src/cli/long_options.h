#pragma once

namespace pibgen {

// The long options pibgen answers to. Only exact matches count: "--helpx", "--version=1",
// "--HELP" and every other argument starting with "--" are ignored like any other argument,
// and so are the single letters "-h" and "-V".
struct LongOptions {
  bool help = false;     // "--help": print the usage text and convert nothing
  bool version = false;  // "--version": print "pibgen X.Y.Z" and convert nothing
};

// Looks at arguments 1 to count - 1; argument 0, the program's own path, is never an option.
LongOptions ReadLongOptions(int count, const char* const* arguments);

}  // namespace pibgen

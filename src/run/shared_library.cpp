// The one source of the installed shared library of its own: every other
// object comes whole from the core library. The version the library was
// built as, for a program that wants to check it at run time:
//   extern "C" const char tarvek_library_version[];

#ifndef TARVEK_VERSION
#define TARVEK_VERSION "unknown"
#endif

extern "C" {
extern const char tarvek_library_version[];
const char tarvek_library_version[] = TARVEK_VERSION;
}

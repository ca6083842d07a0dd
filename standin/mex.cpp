// The stand-in libmex: its error service hands the text to the stand-in
// libmx, which ends the call.
#define MEXHOST_IMPLEMENTATION
#include "mexhost.h"

extern "C" [[noreturn]] void standin_raise(const char *text);

extern "C" void mexErrMsgTxt(const char *text) { standin_raise(text); }

// The stand-in libmex: its error service hands the text to the stand-in
// libmx, which ends the call; its exit functions and persistent blocks are
// kept there too.
#define MEXHOST_IMPLEMENTATION
#include "mexhost.h"

extern "C" [[noreturn]] void standin_raise(const char *text);
extern "C" int standin_at_exit(void (*at_exit)(void));
extern "C" void standin_persist(void *block);

extern "C" void mexErrMsgTxt(const char *text) { standin_raise(text); }
extern "C" int mexAtExit(void (*at_exit)(void)) { return standin_at_exit(at_exit); }
extern "C" void mexMakeMemoryPersistent(void *block) { standin_persist(block); }

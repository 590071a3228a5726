#pragma once
// What every header of the C++ API shares: the mark on what the library exports.
//
// On Linux libquarn_cpp.so shows only what carries QUARN_CPP_API (the rest of the library is built with
// hidden visibility). On Windows the C++ library is a static library, linked into the program, so
// nothing needs marking there.

#if defined(_WIN32)
#define QUARN_CPP_API
#elif defined(__GNUC__)
#define QUARN_CPP_API __attribute__((visibility("default")))
#else
#define QUARN_CPP_API
#endif

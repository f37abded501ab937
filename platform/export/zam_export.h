/* The one export macro of the suite's shared libraries: dllexport on Windows, default
 * visibility elsewhere (everything else is built hidden). Plain C. */
#ifndef ZAM_EXPORT_H
#define ZAM_EXPORT_H

#if defined(_WIN32)
#define ZAM_EXPORT __declspec(dllexport)
#else
#define ZAM_EXPORT __attribute__((visibility("default")))
#endif

#endif

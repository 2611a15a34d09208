/* The development library's dialog handler type, in C: host/qelconnect.h
 * declares the seam with it and the POSIX side of the platform layer calls
 * it, so both take it from here. */
#ifndef QEL_DIALOG_HANDLER_H
#define QEL_DIALOG_HANDLER_H

#include <wchar.h>

typedef int (*QelDialogHandler)(void* owner, const wchar_t* text, const wchar_t* caption, unsigned int type);

/* The two types beside the message boxes' MB_ values with which the handler
 * learns of the progress window of a slow transfer: when it shows (with its
 * text then) and when it goes (with the same texts). The answer is ignored. */
#define QEL_DIALOG_PROGRESS_SHOWN 0x10000000u
#define QEL_DIALOG_PROGRESS_HIDDEN 0x20000000u

#endif /* QEL_DIALOG_HANDLER_H */

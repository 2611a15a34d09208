/* The development library's dialog handler type, in C: host/qelconnect.h
 * declares the seam with it and the POSIX side of the platform layer calls
 * it, so both take it from here. */
#ifndef QEL_DIALOG_HANDLER_H
#define QEL_DIALOG_HANDLER_H

#include <wchar.h>

typedef int (*QelDialogHandler)(void* owner, const wchar_t* text, const wchar_t* caption, unsigned int type);

#endif /* QEL_DIALOG_HANDLER_H */

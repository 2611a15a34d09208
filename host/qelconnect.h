/* QelConnect's payment-system interface as the host application calls it.
 * Every parameter is 32 bits wide on the Windows DLL (cdecl); on the native
 * development library pointers are native pointers. */
#ifndef QELCONNECT_H
#define QELCONNECT_H

#include <stdint.h>
#include <wchar.h>

#if !defined(_WIN32)
#include "platform/dialog_handler.h"
#endif

#if defined(_WIN32)
#define QEL_API __declspec(dllexport)
#define QEL_CALL __cdecl
#else
#define QEL_API __attribute__((visibility("default")))
#define QEL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
#define QEL_OK 0
#define QEL_NOT_SUPPORTED 1
#define QEL_NOT_COMPLETED 0x00040002

QEL_API int32_t QEL_CALL hrECInit(void* unused, uint32_t* moduleHandle);
QEL_API int32_t QEL_CALL hrECDeInit(uint32_t* out);
QEL_API int32_t QEL_CALL hrECConfig(void);
QEL_API int32_t QEL_CALL hrECGetModuleInfo(void* unused, void* moduleInfo);
QEL_API int32_t QEL_CALL hrECGetModuleFeatures(void* unused, uint32_t* features);
QEL_API int32_t QEL_CALL hrECExecute(void* unused1, void* ownerWindow, const void* hostOrder,
                                     const void* hostPaymentType, void* unused5, void* paymentResult);
QEL_API int32_t QEL_CALL hrECRefund(void* unused, void* ownerWindow, const void* hostRefund);
QEL_API int32_t QEL_CALL hrECGetPayStatus(void);
QEL_API int32_t QEL_CALL hrECRecover(void);
QEL_API int32_t QEL_CALL hrReprintECReceipt(void);
QEL_API int32_t QEL_CALL hrDoShift(void);
QEL_API void QEL_CALL vECGetLastErrorText(void* unused, void* errorText);
QEL_API void QEL_CALL vECShowLastErrorText(void);

#if !defined(_WIN32)
/* Development library only: the dialog seam. A handler answers every message
 * box instead of a window (type: 0 OK, 1 OK/Cancel; returns 1 IDOK or
 * 2 IDCANCEL). It also learns, on the thread of the call, when the progress
 * window of a slow transfer would show (type QEL_DIALOG_PROGRESS_SHOWN, with
 * its caption and its text then) and when it would go (type
 * QEL_DIALOG_PROGRESS_HIDDEN, with the same texts); those answers are
 * ignored. NULL restores the default, which prints the box to standard error
 * and answers IDCANCEL, and prints nothing of the progress window.
 * QelDialogHandler is the handler's type. */
QEL_API void qelSetDialogHandler(QelDialogHandler handler);
#endif

#ifdef __cplusplus
}
#endif

#endif /* QELCONNECT_H */

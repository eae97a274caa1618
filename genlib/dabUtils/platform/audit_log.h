/*
 * Audit log of the device: records administrative events.
 * The library calls it once after every export that wrote its file, never on
 * a failure path. The result is not looked at. The call comes from the thread
 * that called the export, one operation at a time per process.
 */
#ifndef DABUTILS_PLATFORM_AUDIT_LOG_H_
#define DABUTILS_PLATFORM_AUDIT_LOG_H_

#ifdef __cplusplus
extern "C" {
#endif

/* Records that the address book was exported. 0 on success. */
int adlog_addressbook_export(void);

#ifdef __cplusplus
}
#endif

#endif /* DABUTILS_PLATFORM_AUDIT_LOG_H_ */

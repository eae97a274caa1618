/*
 * Compile-time proof that the records exchanged with the device's closed
 * components have the device's layout. The contact database and the web
 * server were built against these layouts word for word; a field that moves
 * or widens here would make the library read the wrong words without any
 * other sign.
 *
 * What is checked:
 *  1. On every target: the fields lie in declaration order and every number
 *     field is one 32-bit word.
 *  2. Where pointers are 32 bits wide, as on the device: every field's byte
 *     offset and every record's size. Where pointers are wider, the pointer
 *     fields follow the compiler's alignment and only (1) applies.
 *  3. Records without pointers (ResultStatus, AbaPublicAddressParameters) have
 *     the device's offsets and sizes on every target.
 *
 * Valid C (C99 and later) and C++. The library's units include it, so no
 * build of the library can disagree with the device. AbaPublicAddressParameters
 * is declared in a C++ header and is checked in C++ only.
 */
#ifndef DABUTILS_PLATFORM_RECORD_LAYOUT_H_
#define DABUTILS_PLATFORM_RECORD_LAYOUT_H_

#include <stddef.h>

#include "DABUtils.h"
#include "contact_db.h"
#ifdef __cplusplus
#include "DABImport.h"
#endif

#if defined(__cplusplus)
#define DAB_LAYOUT_ASSERT(cond, why) static_assert(cond, why)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define DAB_LAYOUT_ASSERT(cond, why) _Static_assert(cond, why)
#elif defined(__GNUC__)
/* Older C with GCC or clang: the C11 assertion as an extension, without a
 * pedantic warning. */
#define DAB_LAYOUT_ASSERT(cond, why) __extension__ _Static_assert(cond, why)
#else
/* Other compilers before C11: a negative array size stops the build at the
 * failed check's line. Passing checks all redeclare the same array. */
#define DAB_LAYOUT_ASSERT(cond, why) extern char dab_record_layout_check[(cond) ? 1 : -1]
#endif

/* True on targets whose pointers have the device's width. */
#define DAB_LAYOUT_DEVICE_POINTERS (sizeof(void*) == 4)

/* `field` is the first field of `type`. */
#define DAB_LAYOUT_FIRST(type, field) \
  DAB_LAYOUT_ASSERT(offsetof(type, field) == 0, #type "." #field " must be the first field")

/* `field` follows `prev` and lies at byte `offset` where pointers are 32 bits. */
#define DAB_LAYOUT_NEXT(type, prev, field, offset)                                    \
  DAB_LAYOUT_ASSERT(offsetof(type, prev) < offsetof(type, field),                     \
                    #type "." #field " must follow " #prev);                          \
  DAB_LAYOUT_ASSERT(!DAB_LAYOUT_DEVICE_POINTERS || offsetof(type, field) == (offset), \
                    #type "." #field " must lie at byte " #offset " on the device")

/* `field` is one 32-bit word. */
#define DAB_LAYOUT_WORD(type, field) \
  DAB_LAYOUT_ASSERT(sizeof(((type*)0)->field) == 4, #type "." #field " must be 32 bits wide")

/* `type` is `size` bytes where pointers are 32 bits. */
#define DAB_LAYOUT_DEVICE_SIZE(type, size)                                 \
  DAB_LAYOUT_ASSERT(!DAB_LAYOUT_DEVICE_POINTERS || sizeof(type) == (size), \
                    #type " must be " #size " bytes on the device")

/* `type` is `size` bytes on every target. */
#define DAB_LAYOUT_SIZE(type, size) \
  DAB_LAYOUT_ASSERT(sizeof(type) == (size), #type " must be " #size " bytes")

/* --- Contact list (header and entries) ----------------------------------- */

DAB_LAYOUT_FIRST(DAB_DBI_ContactList_t, reserved);
DAB_LAYOUT_NEXT(DAB_DBI_ContactList_t, reserved, contacts, 4);
DAB_LAYOUT_WORD(DAB_DBI_ContactList_t, reserved);
DAB_LAYOUT_DEVICE_SIZE(DAB_DBI_ContactList_t, 8);

/* The export steps through the array 44 bytes at a time on the device. */
DAB_LAYOUT_FIRST(DAB_DBI_Contact_t, id);
DAB_LAYOUT_NEXT(DAB_DBI_Contact_t, id, dlType, 4);
DAB_LAYOUT_NEXT(DAB_DBI_Contact_t, dlType, displayName, 8);
DAB_LAYOUT_NEXT(DAB_DBI_Contact_t, displayName, reserved12, 12);
DAB_LAYOUT_NEXT(DAB_DBI_Contact_t, reserved12, reserved16, 16);
DAB_LAYOUT_NEXT(DAB_DBI_Contact_t, reserved16, person, 20);
DAB_LAYOUT_NEXT(DAB_DBI_Contact_t, person, email, 24);
DAB_LAYOUT_NEXT(DAB_DBI_Contact_t, email, internetFax, 28);
DAB_LAYOUT_NEXT(DAB_DBI_Contact_t, internetFax, scan, 32);
DAB_LAYOUT_NEXT(DAB_DBI_Contact_t, scan, fax, 36);
DAB_LAYOUT_NEXT(DAB_DBI_Contact_t, fax, favorites, 40);
DAB_LAYOUT_WORD(DAB_DBI_Contact_t, id);
DAB_LAYOUT_WORD(DAB_DBI_Contact_t, dlType);
DAB_LAYOUT_WORD(DAB_DBI_Contact_t, reserved12);
DAB_LAYOUT_WORD(DAB_DBI_Contact_t, reserved16);
DAB_LAYOUT_DEVICE_SIZE(DAB_DBI_Contact_t, 44);

/* --- Sub-records of an entry ---------------------------------------------- */

DAB_LAYOUT_FIRST(DAB_DBI_Person_t, firstName);
DAB_LAYOUT_NEXT(DAB_DBI_Person_t, firstName, lastName, 4);
DAB_LAYOUT_NEXT(DAB_DBI_Person_t, lastName, company, 8);
DAB_LAYOUT_NEXT(DAB_DBI_Person_t, company, reserved12, 12);
DAB_LAYOUT_WORD(DAB_DBI_Person_t, reserved12);
DAB_LAYOUT_DEVICE_SIZE(DAB_DBI_Person_t, 16);

DAB_LAYOUT_FIRST(DAB_DBI_Email_t, address);
DAB_LAYOUT_NEXT(DAB_DBI_Email_t, address, reserved4, 4);
DAB_LAYOUT_NEXT(DAB_DBI_Email_t, reserved4, isFavorite, 8);
DAB_LAYOUT_WORD(DAB_DBI_Email_t, reserved4);
DAB_LAYOUT_WORD(DAB_DBI_Email_t, isFavorite);
DAB_LAYOUT_DEVICE_SIZE(DAB_DBI_Email_t, 12);

DAB_LAYOUT_FIRST(DAB_DBI_InternetFax_t, address);
DAB_LAYOUT_NEXT(DAB_DBI_InternetFax_t, address, reserved4, 4);
DAB_LAYOUT_WORD(DAB_DBI_InternetFax_t, reserved4);
DAB_LAYOUT_DEVICE_SIZE(DAB_DBI_InternetFax_t, 8);

DAB_LAYOUT_FIRST(DAB_DBI_Scan_t, nickName);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, nickName, serverAddress, 4);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, serverAddress, serverAddressType, 8);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, serverAddressType, documentPath, 12);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, documentPath, loginName, 16);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, loginName, reserved20, 20);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, reserved20, transferProtocol, 24);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, transferProtocol, shareOrVolume, 28);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, shareOrVolume, ndsContext, 32);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, ndsContext, ndsTree, 36);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, ndsTree, reserved40, 40);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, reserved40, reserved44, 44);
DAB_LAYOUT_NEXT(DAB_DBI_Scan_t, reserved44, isFavorite, 48);
DAB_LAYOUT_WORD(DAB_DBI_Scan_t, serverAddressType);
DAB_LAYOUT_WORD(DAB_DBI_Scan_t, reserved20);
DAB_LAYOUT_WORD(DAB_DBI_Scan_t, transferProtocol);
DAB_LAYOUT_WORD(DAB_DBI_Scan_t, reserved40);
DAB_LAYOUT_WORD(DAB_DBI_Scan_t, reserved44);
DAB_LAYOUT_WORD(DAB_DBI_Scan_t, isFavorite);
DAB_LAYOUT_DEVICE_SIZE(DAB_DBI_Scan_t, 52);

DAB_LAYOUT_FIRST(DAB_DBI_Fax_t, number);
DAB_LAYOUT_NEXT(DAB_DBI_Fax_t, number, reserved4, 4);
DAB_LAYOUT_NEXT(DAB_DBI_Fax_t, reserved4, reserved8, 8);
DAB_LAYOUT_NEXT(DAB_DBI_Fax_t, reserved8, reserved12, 12);
DAB_LAYOUT_NEXT(DAB_DBI_Fax_t, reserved12, reserved16, 16);
DAB_LAYOUT_NEXT(DAB_DBI_Fax_t, reserved16, reserved20, 20);
DAB_LAYOUT_NEXT(DAB_DBI_Fax_t, reserved20, reserved24, 24);
DAB_LAYOUT_NEXT(DAB_DBI_Fax_t, reserved24, reserved28, 28);
DAB_LAYOUT_NEXT(DAB_DBI_Fax_t, reserved28, isFavorite, 32);
DAB_LAYOUT_WORD(DAB_DBI_Fax_t, reserved4);
DAB_LAYOUT_WORD(DAB_DBI_Fax_t, reserved8);
DAB_LAYOUT_WORD(DAB_DBI_Fax_t, reserved12);
DAB_LAYOUT_WORD(DAB_DBI_Fax_t, reserved16);
DAB_LAYOUT_WORD(DAB_DBI_Fax_t, reserved20);
DAB_LAYOUT_WORD(DAB_DBI_Fax_t, reserved24);
DAB_LAYOUT_WORD(DAB_DBI_Fax_t, reserved28);
DAB_LAYOUT_WORD(DAB_DBI_Fax_t, isFavorite);
DAB_LAYOUT_DEVICE_SIZE(DAB_DBI_Fax_t, 36);

/* No pointers: the same 28 bytes everywhere. */
DAB_LAYOUT_FIRST(DAB_DBI_Favorites_t, reserved0);
DAB_LAYOUT_NEXT(DAB_DBI_Favorites_t, reserved0, reserved4, 4);
DAB_LAYOUT_NEXT(DAB_DBI_Favorites_t, reserved4, reserved8, 8);
DAB_LAYOUT_NEXT(DAB_DBI_Favorites_t, reserved8, reserved12, 12);
DAB_LAYOUT_NEXT(DAB_DBI_Favorites_t, reserved12, reserved16, 16);
DAB_LAYOUT_NEXT(DAB_DBI_Favorites_t, reserved16, reserved20, 20);
DAB_LAYOUT_NEXT(DAB_DBI_Favorites_t, reserved20, allFavoritesOrder, 24);
DAB_LAYOUT_WORD(DAB_DBI_Favorites_t, reserved0);
DAB_LAYOUT_WORD(DAB_DBI_Favorites_t, reserved4);
DAB_LAYOUT_WORD(DAB_DBI_Favorites_t, reserved8);
DAB_LAYOUT_WORD(DAB_DBI_Favorites_t, reserved12);
DAB_LAYOUT_WORD(DAB_DBI_Favorites_t, reserved16);
DAB_LAYOUT_WORD(DAB_DBI_Favorites_t, reserved20);
DAB_LAYOUT_WORD(DAB_DBI_Favorites_t, allFavoritesOrder);
DAB_LAYOUT_SIZE(DAB_DBI_Favorites_t, 28);

/* --- Group memberships ------------------------------------------------------ */

DAB_LAYOUT_FIRST(DAB_DBI_GroupIds_t, count);
DAB_LAYOUT_NEXT(DAB_DBI_GroupIds_t, count, ids, 4);
DAB_LAYOUT_WORD(DAB_DBI_GroupIds_t, count);
DAB_LAYOUT_WORD(DAB_DBI_GroupIds_t, ids[0]);
DAB_LAYOUT_DEVICE_SIZE(DAB_DBI_GroupIds_t, 8);

/* --- Records of the public interface ---------------------------------------- */

DAB_LAYOUT_FIRST(ResultStatus, successCount);
DAB_LAYOUT_NEXT(ResultStatus, successCount, failureCount, 4);
DAB_LAYOUT_WORD(ResultStatus, successCount);
DAB_LAYOUT_WORD(ResultStatus, failureCount);
DAB_LAYOUT_SIZE(ResultStatus, 8);

#ifdef __cplusplus
DAB_LAYOUT_FIRST(AbaPublicAddressParameters, counter);
DAB_LAYOUT_NEXT(AbaPublicAddressParameters, counter, fieldBuffer, 4);
DAB_LAYOUT_WORD(AbaPublicAddressParameters, counter);
DAB_LAYOUT_ASSERT(sizeof(((AbaPublicAddressParameters*)0)->fieldBuffer) == 1024,
                  "AbaPublicAddressParameters.fieldBuffer must be 1024 bytes");
DAB_LAYOUT_SIZE(AbaPublicAddressParameters, 1028);
#endif

#endif /* DABUTILS_PLATFORM_RECORD_LAYOUT_H_ */

/*
 * UTF-8 text helper of the device.
 * UTF8_strlen() counts a lead byte together with its continuation bytes as
 * one character. How malformed sequences count is the implementation's
 * business, but the result never exceeds the byte length. The library calls
 * it from whichever thread called the import, one operation at a time per
 * process.
 */
#ifndef DABUTILS_PLATFORM_UTF8_TEXT_H_
#define DABUTILS_PLATFORM_UTF8_TEXT_H_

#ifdef __cplusplus
extern "C" {
#endif

/* Number of UTF-8 characters in the NUL-terminated `text`. REQUIRES: text != NULL. */
int UTF8_strlen(const char* text);

#ifdef __cplusplus
}
#endif

#endif /* DABUTILS_PLATFORM_UTF8_TEXT_H_ */

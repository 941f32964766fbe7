/* duduzuvez210: the utility library of a desktop client runtime.
 *
 * Conventions, stated once for every function below:
 *
 *  1. Results. Every function returns a 32-bit integer (one returns a one-byte
 *     truth value). As a rule 1 means success and 0 failure; functions that
 *     create dictionaries return a handle (0 on failure), and functions that
 *     return a length, count, index or code say so in their comment.
 *     Failures carry no reason: there is no error text and nothing is logged.
 *  2. Strings. Every text is a zero-terminated byte string in the process's
 *     ANSI code page (on Linux: the code page named by the locale
 *     environment, see README). No length travels with a string.
 *  3. Buffers. The caller owns every buffer it passes. Most output buffers
 *     travel without a size: the caller supplies room for the longest result
 *     it can receive. The library keeps no pointer to a caller's buffer after
 *     it returns.
 *  4. Dictionaries. A dictionary is named by a small positive handle. The
 *     library owns each dictionary from DictionaryNew until DictionaryFree or
 *     until the library is unloaded. A handle that does not name a live
 *     dictionary makes every function return 0 and change nothing.
 *  5. Handles. Window and registry-key handles are pointer-sized opaque
 *     values (DZV_HWND, DZV_HKEY); 0 is allowed where a function says so.
 *  6. Threads. The library takes no lock. Dictionary and profile functions
 *     share process-wide state: callers make sure that no two threads call
 *     them at the same time, and that only one enumeration through
 *     DictionaryItemGetInit/DictionaryItemGetNext is under way in the process.
 *  7. Exceptions never cross this interface; out of memory is a failure
 *     result like any other.
 */
#ifndef DUDUZUVEZ210_H_
#define DUDUZUVEZ210_H_

#include <stdint.h>

#if defined(_WIN32)
#define DZV_CALL __stdcall
#if defined(DZV_BUILDING_LIBRARY)
#define DZV_API_ATTR __declspec(dllexport)
#else
#define DZV_API_ATTR __declspec(dllimport)
#endif
#else
#define DZV_CALL
#define DZV_API_ATTR __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define DZV_API extern "C" DZV_API_ATTR
#else
#define DZV_API extern DZV_API_ATTR
#endif

/* A window handle (HWND): an X11 window id on Linux, or 0. */
typedef struct dzv_hwnd_tag* DZV_HWND;
/* A registry key handle (HKEY): a predefined root or a key the caller has. */
typedef struct dzv_hkey_tag* DZV_HKEY;

/* ---- String primitives ------------------------------------------------ */

/* The number of bytes before the terminating zero (0 for null). */
DZV_API int32_t DZV_CALL StrLength(const char* text);
/* The sum of each byte (as a signed 8-bit value) times its position, counted
 * from 1, wrapping in 32 bits: 'abc' gives 590, the empty text 0. */
DZV_API int32_t DZV_CALL StrHash(const char* text);
/* Reads the line at byte offset *cursor of text into buffer (size bytes with
 * the zero; a longer line is cut and its rest skipped) and moves *cursor to
 * the next line. A line ends at "\n"; the byte before the "\n" (the "\r")
 * is dropped. 1 when a line was read; 0 at the end of the text (buffer "",
 * cursor unchanged). Start with *cursor = 0; size is at least 1. */
DZV_API int32_t DZV_CALL StrLineGet(const char* text, int32_t* cursor, char* buffer, int32_t size);

/* ---- Dictionary table and items --------------------------------------- */

/* Creates an empty dictionary. The name is not read and may be null.
 * Returns the lowest free handle, or 0 when memory runs out. */
DZV_API int32_t DZV_CALL DictionaryNew(const char* name);
/* Releases the dictionary; its handle may be issued again. 1, or 0. */
DZV_API int32_t DZV_CALL DictionaryFree(int32_t handle);
/* Removes every item; the handle stays valid. 1, or 0. */
DZV_API int32_t DZV_CALL DictionaryClear(int32_t handle);
/* Adds the key or replaces its value; a null value stores the empty string.
 * 1, or 0 (invalid handle, out of memory). */
DZV_API int32_t DZV_CALL DictionaryItemAdd(int32_t handle, const char* key,
                                           const char* value);
/* Copies the key's value into value, or the empty string when the key is
 * absent. 1 whenever the handle is valid. */
DZV_API int32_t DZV_CALL DictionaryItemFind(int32_t handle, const char* key,
                                            char* value);
/* Copies the key's value into value only when the key is present.
 * 1 when present, else 0 (the buffer is left as it was). */
DZV_API int32_t DZV_CALL DictionaryLookup(int32_t handle, const char* key,
                                          char* value);
/* The number of items; 0 for an invalid handle. */
DZV_API int32_t DZV_CALL DictionaryItemCount(int32_t handle);
/* Removes the key if present. 1 whenever the handle is valid. */
DZV_API int32_t DZV_CALL DictionaryItemDelete(int32_t handle, const char* key);
/* Starts the process-wide enumeration: 1 when the dictionary has items. */
DZV_API int32_t DZV_CALL DictionaryItemGetInit(int32_t handle);
/* Copies the item at the enumeration position into key and value and
 * advances. 1 when another item follows the one copied; 0 after the last
 * item (which is still copied) or when nothing was copied. */
DZV_API int32_t DZV_CALL DictionaryItemGetNext(int32_t handle, char* key,
                                               char* value);

/* ---- Dictionary archive files and text form --------------------------- */

/* Writes the dictionary's archive file (README: File formats). The old file
 * is replaced only when every byte is written; a failure leaves it intact.
 * 1, or 0. */
DZV_API int32_t DZV_CALL DictionarySave(int32_t handle, const char* path);
/* Clears the dictionary, then reads the archive file into it. 1 when the
 * whole archive was read; 0 for a missing file (dictionary left empty) or a
 * truncated one (the pairs read completely stay). */
DZV_API int32_t DZV_CALL DictionaryOpen(int32_t handle, const char* path);
/* The size in bytes of the dictionary's text form with its final zero byte
 * (1 when empty); 0 for an invalid handle. */
DZV_API int32_t DZV_CALL DictionaryPackSize(int32_t handle);
/* Writes the text form: lines "key=value\r\n" sorted by unsigned bytes, then
 * a zero byte. buffer holds DictionaryPackSize bytes. 1, or 0 (buffer
 * untouched). */
DZV_API int32_t DZV_CALL DictionaryPack(int32_t handle, char* buffer);
/* Adds the items of a text form (lines split at their first "="; lines
 * without "=" skipped; lines read up to 32257 bytes). 1, or 0. */
DZV_API int32_t DZV_CALL DictionaryUnpack(int32_t handle, const char* text);
/* Reads a text file whole and unpacks it. 1, or 0 (unreadable file). */
DZV_API int32_t DZV_CALL DictionaryImport(int32_t handle, const char* path);
/* Writes the text form, without the zero byte, to a file, replacing it only
 * when every byte is written. 1, or 0 (the old file intact). */
DZV_API int32_t DZV_CALL DictionaryExport(int32_t handle, const char* path);


/* ---- Dictionary copy, merge and attributes ---------------------------- */


/* ---- Profiles ----------------------------------------------------------- */


/* ---- Registry ----------------------------------------------------------- */


/* ---- Character-set search ----------------------------------------------- */


/* ---- Rose model lines --------------------------------------------------- */


/* ---- Clipboard ---------------------------------------------------------- */


/* ---- File and folder dialogs -------------------------------------------- */


/* ---- Credentials -------------------------------------------------------- */


#endif /* DUDUZUVEZ210_H_ */

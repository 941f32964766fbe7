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


/* ---- Dictionary copy, merge and attributes ---------------------------- */

/* Copies every item of source whose key begins with prefix (null or empty:
 * every item) into destination. The value of a list key (one ending in
 * "QueryList", "UserItemList" or "OverrideItemList", or in one of them and
 * one more byte, with something before it) is merged: the source's list,
 * then each destination token (ended by 0x1F) not found in it. 1, or 0
 * (invalid handle, out of memory: items stored before stay). */
DZV_API int32_t DZV_CALL DictionaryCopy(int32_t source, int32_t destination,
                                        const char* prefix);
/* A new dictionary holding the prefixed items of first, then of second
 * copied over them. Returns its handle (the caller frees it), or 0, and then
 * no new dictionary remains. */
DZV_API int32_t DZV_CALL DictionaryMerge(int32_t first, int32_t second,
                                         const char* prefix);
/* Reads attribute out of the structured value of key (name, 0x1C, value,
 * 0x1D) into output; when the key is absent, reads the item
 * "key.attribute" whole ("T", "L", "S" stand for "Title", "Label",
 * "Status Text" there). 1 when found (the value may be empty); else 0 with
 * output empty. An invalid handle leaves output untouched. */
DZV_API int32_t DZV_CALL DictionaryAttributeGet(int32_t handle, const char* key,
                                                const char* attribute, char* output);


/* ---- Profiles ----------------------------------------------------------- */

/* A profile is two dictionaries, a user layer read first and a default layer
 * behind it; the caller keeps both handles. The setting (section, entry) is
 * the item "section.entry", with "," "." "=" in the entry written as
 * "<comma>" "<dot>" "<equal>". A key of more than 255 bytes makes every
 * function below return 0 and change nothing. */

/* Creates both layers and stores their handles (0 for one that failed; one
 * that was created is the caller's to free). 1 when both exist. */
DZV_API int32_t DZV_CALL _ProfileNew(int32_t* user, int32_t* defaults);
/* Frees the default layer and, only if that worked, the user layer. 1, or 0. */
DZV_API int32_t DZV_CALL _ProfileFree(int32_t user, int32_t defaults);
/* Stores value under the setting in one dictionary. 1, or 0. */
DZV_API int32_t DZV_CALL _ProfileValueSet(int32_t handle, const char* section,
                                          const char* entry, const char* value);
/* Copies the setting's value from the user layer, else the default layer.
 * 1 when found; 0 leaves buffer untouched. */
DZV_API int32_t DZV_CALL _ProfileValueGet(int32_t user, int32_t defaults,
                                          const char* section, const char* entry,
                                          char* buffer);
/* Copies the setting's value from one dictionary. 1 when found; else 0. */
DZV_API int32_t DZV_CALL _ProfileValueLookup(int32_t handle, const char* section,
                                             const char* entry, char* buffer);
/* Deletes the setting. 1 for a valid handle, present or not. */
DZV_API int32_t DZV_CALL _ProfileEntryDelete(int32_t handle, const char* section,
                                             const char* entry);
/* Writes the section's entry names of both layers, each once and followed by
 * ",", as they stand in their keys (escaped), unsorted. 1, or 0 with buffer
 * untouched. */
DZV_API int32_t DZV_CALL _ProfileEntryEnumerate(int32_t user, int32_t defaults,
                                                const char* section, char* buffer);
/* Deletes every setting of the section from one dictionary (a deeper
 * section's keys, such as "a.b.c" under "a", stay). 1 for a valid handle. */
DZV_API int32_t DZV_CALL _ProfileSectionDelete(int32_t handle, const char* section);


/* ---- Registry ----------------------------------------------------------- */


/* ---- Character-set search ----------------------------------------------- */


/* ---- Rose model lines --------------------------------------------------- */


/* ---- Clipboard ---------------------------------------------------------- */


/* ---- File and folder dialogs -------------------------------------------- */


/* ---- Credentials -------------------------------------------------------- */


#endif /* DUDUZUVEZ210_H_ */

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


/* ---- Profiles ----------------------------------------------------------- */


/* ---- Registry ----------------------------------------------------------- */


/* ---- Character-set search ----------------------------------------------- */


/* ---- Rose model lines --------------------------------------------------- */


/* ---- Clipboard ---------------------------------------------------------- */

/* Each opens the clipboard for the owner window (0 allowed), works on the
 * text format only (CF_TEXT: a zero-terminated text in the ANSI code page)
 * and closes it again. 0 when the clipboard cannot be opened because
 * another window holds it open. On Linux see README, "Clipboard and
 * dialogs". */
/* The text's length + 1 (the buffer size it needs); 0 when there is none. */
DZV_API int32_t DZV_CALL _GetClipboardDataLength(DZV_HWND owner);
/* Copies the text and its zero byte into buffer, which the caller sized
 * from _GetClipboardDataLength; returns the text's length, or 0 when there
 * is none (buffer untouched). */
DZV_API int32_t DZV_CALL _GetClipboardData(DZV_HWND owner, char* buffer);
/* Puts text on the clipboard, other formats kept. Returns its length (so 0
 * for ""), or 0 when the clipboard refused it. */
DZV_API int32_t DZV_CALL _SetClipboardData(DZV_HWND owner, const char* text);


/* ---- File and folder dialogs -------------------------------------------- */

/* Each dialog is modal to the owner window (0 allowed) and returns when the
 * user closes it: 1 when a choice was confirmed, else 0. */
/* Open-file dialog, multiple selection. filter: pairs of display text and
 * pattern ("Text|*.txt;*.doc|All|*.*|"), every item followed by "|"; may be
 * null, as may title. reserved is ignored. *filter_index: the 1-based pair
 * selected at opening, and at confirmation. selection: a 30000-byte buffer
 * holding the initial file name; on 1 it receives every chosen file's full
 * path followed by "|", and 0 is returned when that list would not fit. */
DZV_API int32_t DZV_CALL _DlgOpenFile1(DZV_HWND owner, const char* title,
                                       const char* filter, int32_t reserved,
                                       int32_t* filter_index, char* selection);
/* _DlgOpenFile1 with the filter index by value, not reported back. */
DZV_API int32_t DZV_CALL _DlgOpenFile(DZV_HWND owner, const char* title,
                                      const char* filter, int32_t reserved,
                                      int32_t filter_index, char* selection);
/* Folder dialog with initial_folder selected at opening; on 1 the chosen
 * folder's display name and path are written into the two buffers of at
 * least 260 bytes (the path is empty for a folder without one). */
DZV_API int32_t DZV_CALL _DlgBrowseForFolder(DZV_HWND owner, const char* title,
                                             const char* initial_folder,
                                             char* display_name, char* path);


/* ---- Credentials -------------------------------------------------------- */


#endif /* DUDUZUVEZ210_H_ */

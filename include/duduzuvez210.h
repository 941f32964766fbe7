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
 *  6. Threads. Dictionary functions and the profile functions other than
 *     _ProfileRegistry* share process-wide state and take no lock: callers
 *     make sure that no two threads call them at the same time, and that
 *     only one enumeration through DictionaryItemGetInit/
 *     DictionaryItemGetNext is under way in the process. The library locks
 *     two things of its own, and only those:
 *     - The registry functions (_ProfileRegistry*) may be called from any
 *       thread. Each step of one (opening the key, reading or changing it,
 *       closing it) is one step of the system's registry (on Linux: under
 *       the process's registry lock, one database transaction); a
 *       function's steps together are not one unit against other threads
 *       or processes.
 *     - The clipboard functions may be called from any thread. Each holds
 *       the clipboard open, for its thread alone, until it returns; a call
 *       from another thread or process meanwhile returns 0 at once.
 *     On Linux, fork() in a multi-threaded host waits for a registry or
 *     clipboard step under way in another thread (at most that step's own time
 *     limit), so that the child can use both; nothing else is made safe
 *     across fork().
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
/* Every exported function is declared on one line that begins with DZV_API;
 * the build checks these lines against the library's export list. */

/* A window handle (HWND): an X11 window id on Linux, or 0. */
typedef struct dzv_hwnd_tag* DZV_HWND;
/* A registry key handle (HKEY): a predefined root or a key the caller has. */
typedef struct dzv_hkey_tag* DZV_HKEY;

/* ---- String primitives ------------------------------------------------ */

/* The number of bytes before the terminating zero (0 for null); a text of
 * 2^31 - 1 bytes or more gives 2^31 - 1. */
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
DZV_API int32_t DZV_CALL DictionaryItemAdd(int32_t handle, const char* key, const char* value);
/* Copies the key's value into value, or the empty string when the key is
 * absent. 1 whenever the handle is valid. */
DZV_API int32_t DZV_CALL DictionaryItemFind(int32_t handle, const char* key, char* value);
/* Copies the key's value into value only when the key is present.
 * 1 when present, else 0 (the buffer is left as it was). */
DZV_API int32_t DZV_CALL DictionaryLookup(int32_t handle, const char* key, char* value);
/* The number of items; 0 for an invalid handle. */
DZV_API int32_t DZV_CALL DictionaryItemCount(int32_t handle);
/* Removes the key if present. 1 whenever the handle is valid. */
DZV_API int32_t DZV_CALL DictionaryItemDelete(int32_t handle, const char* key);
/* Starts the process-wide enumeration: 1 when the dictionary has items.
 * An invalid handle gives 0 and leaves the enumeration where it was. */
DZV_API int32_t DZV_CALL DictionaryItemGetInit(int32_t handle);
/* Copies the item at the enumeration position into key and value and
 * advances. 1 when another item follows the one copied; 0 after the last
 * item (which is still copied) or when nothing was copied. */
DZV_API int32_t DZV_CALL DictionaryItemGetNext(int32_t handle, char* key, char* value);

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

/* Copies every item of source whose key begins with prefix (null or empty:
 * every item) into destination. The value of a list key is merged: the
 * source's list, then each destination token (ended by 0x1F) not found in
 * it. A list key is one whose last bytes, one more than the word has,
 * contain "QueryList", "UserItemList" or "OverrideItemList": the word with
 * at least one byte before it at the key's end ("Form.QueryList"), or the
 * word and exactly one more byte ("QueryLists"); not the bare word, nor the
 * word and two or more bytes. 1, or 0 (invalid handle, out of memory: items
 * stored before stay). */
DZV_API int32_t DZV_CALL DictionaryCopy(int32_t source, int32_t destination, const char* prefix);
/* A new dictionary holding the prefixed items of first, then of second
 * copied over them. Returns its handle (the caller frees it), or 0, and then
 * no new dictionary remains. Both handles are checked before the new
 * dictionary is created: when either names no dictionary, 0 and nothing is
 * created, so a handle just freed never names the new dictionary. */
DZV_API int32_t DZV_CALL DictionaryMerge(int32_t first, int32_t second, const char* prefix);
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
DZV_API int32_t DZV_CALL _ProfileValueSet(int32_t handle, const char* section, const char* entry,
                                          const char* value);
/* Copies the setting's value from the user layer, else the default layer.
 * 1 when found; 0 leaves buffer untouched. */
DZV_API int32_t DZV_CALL _ProfileValueGet(int32_t user, int32_t defaults, const char* section,
                                          const char* entry, char* buffer);
/* Copies the setting's value from one dictionary. 1 when found; else 0. */
DZV_API int32_t DZV_CALL _ProfileValueLookup(int32_t handle, const char* section, const char* entry,
                                             char* buffer);
/* Deletes the setting. 1 for a valid handle, present or not. */
DZV_API int32_t DZV_CALL _ProfileEntryDelete(int32_t handle, const char* section,
                                             const char* entry);
/* Writes the section's entry names of both layers, each once and followed by
 * ",", as they stand in their keys (escaped), unsorted. 1, or 0 with buffer
 * untouched. */
DZV_API int32_t DZV_CALL _ProfileEntryEnumerate(int32_t user, int32_t defaults, const char* section,
                                                char* buffer);
/* Deletes every setting of the section from one dictionary (a deeper
 * section's keys, such as "a.b.c" under "a", stay). 1 for a valid handle. */
DZV_API int32_t DZV_CALL _ProfileSectionDelete(int32_t handle, const char* section);

/* ---- Registry ----------------------------------------------------------- */

/* The predefined root keys, as 64-bit Windows gives them: the 32-bit values
 * 0x80000000 and up, sign-extended to pointer width. On Linux the registry is
 * a per-user database (see README); each root is the top of its own tree. */
#define DZV_HKEY_CLASSES_ROOT ((DZV_HKEY)(intptr_t)(int32_t)0x80000000)
#define DZV_HKEY_CURRENT_USER ((DZV_HKEY)(intptr_t)(int32_t)0x80000001)
#define DZV_HKEY_LOCAL_MACHINE ((DZV_HKEY)(intptr_t)(int32_t)0x80000002)
#define DZV_HKEY_USERS ((DZV_HKEY)(intptr_t)(int32_t)0x80000003)
#define DZV_HKEY_CURRENT_CONFIG ((DZV_HKEY)(intptr_t)(int32_t)0x80000005)

/* Each function below names a key by a root (a predefined root or a key the
 * caller has open, never closed here) and a backslash-separated sub-key path,
 * opens it for the one operation, and closes it again before returning.
 * Results: 1 for success, 0 for failure, with no reason. */

/* Stores the text as a REG_SZ value of its length + 1 bytes (the zero
 * included), creating the key and the keys above it when missing. */
DZV_API int32_t DZV_CALL _ProfileRegistryWrite(DZV_HKEY root, const char* path, const char* name,
                                               const char* text);
/* Copies the value's data, of any type and as stored, into buffer when they
 * fit in *size bytes; *size receives the data's length (the length needed
 * when they do not fit, with the result 0). A null buffer only asks for the
 * length. No terminating zero is added. */
DZV_API int32_t DZV_CALL _ProfileRegistryRead(DZV_HKEY root, const char* path, const char* name,
                                              char* buffer, uint32_t* size);
/* Deletes one value of the key. */
DZV_API int32_t DZV_CALL _ProfileRegistryDeleteValue(DZV_HKEY root, const char* path,
                                                     const char* name);
/* Deletes the key and every key below it, deepest first; a failure part-way
 * leaves the keys not yet deleted in place. An empty path gives 0. */
DZV_API int32_t DZV_CALL _ProfileRegistryDeleteKey(DZV_HKEY root, const char* path);
/* Writes the names of the key's values, each followed by "|", in the
 * registry's order, cut to the first `largest` bytes (none when negative) and
 * zero-terminated: the buffer holds largest + 1 bytes. 0, with the buffer
 * untouched, when a name is longer than 255 bytes, a value's data longer
 * than 32000 bytes, or the key has 1000 values or more. */
DZV_API int32_t DZV_CALL _ProfileRegistryEnumValues(DZV_HKEY root, const char* path, char* buffer,
                                                    int32_t largest);

/* ---- Character-set search ----------------------------------------------- */

/* Index, in characters of the ANSI code page (a double-byte character is one
 * character), of the first character examined that is one of the characters
 * of set. The characters at start, start + step, start + 2 * step, ... are
 * examined while the index lies within the text; a step of 0 is taken as 1,
 * a negative step moves towards the start. A lead byte that ends the text or
 * the set is no character. -1 when none is, or when text or set is null. */
DZV_API int32_t DZV_CALL _PalStrFindFirstIn(const char* text, int32_t start, const char* set,
                                            int32_t step);
/* As _PalStrFindFirstIn, for the first character that is not in set. */
DZV_API int32_t DZV_CALL _PalStrFindFirstNotIn(const char* text, int32_t start, const char* set,
                                               int32_t step);

/* ---- Rose model lines --------------------------------------------------- */

/* What a line of a Rose model file opens or holds, by its first word, with
 * case and nothing skipped before it: for a line that begins with "(object"
 * and one more byte, the type name after them gives 1 ClassAttribute,
 * 2 Attribute, 3 Operation, 4 Inheritance_Relationship, 5 Has_Relationship,
 * 6 Uses_Relationship, 7 "State " (with its blank), 8 Parameter,
 * 9 State_Machine, or 10 for any other; another line gives 11 documentation,
 * 12 exportControl, 13 space, 14 result, 15 qualification,
 * 16 opExportControl, 17 pre_condition, 18 semantics, 19 post_condition,
 * 20 "supplier " (with its blank), 21 Containment, 22 label,
 * 23 supplier_cardinality, 24 client_cardinality, 25 is_navigable,
 * 26 is_aggregate, or 0. A null line gives 0. */
DZV_API int32_t DZV_CALL ParseRoseLine(const char* line);
/* The change of parenthesis nesting that a model-file line brings: the "("
 * before its first double quote less the ")" after its last one (over the
 * whole line when it has no quote). text (at least 300 bytes) receives the
 * bytes between the first and the last quote when there are two quotes or
 * more and at most 299 bytes between them, else the empty string. A line
 * that begins with "|" gives 0 and leaves text as it was; so does a null
 * line. A null text is not written. */
DZV_API int32_t DZV_CALL AdjustParLevel(const char* line, char* text);

/* ---- Clipboard ---------------------------------------------------------- */

/* Each opens the clipboard for the owner window (0 allowed), works on the
 * text format only (CF_TEXT: a zero-terminated text in the ANSI code page)
 * and closes it again. 0 when the clipboard cannot be opened because
 * another window holds it open. On Linux see README, "Clipboard and
 * dialogs"; there the desktop's clipboard carries texts of up to 32 MiB
 * (UTF-8), and a longer one reads as no text and is not set. */
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
DZV_API int32_t DZV_CALL _DlgOpenFile1(DZV_HWND owner, const char* title, const char* filter,
                                       int32_t reserved, int32_t* filter_index, char* selection);
/* _DlgOpenFile1 with the filter index by value, not reported back. */
DZV_API int32_t DZV_CALL _DlgOpenFile(DZV_HWND owner, const char* title, const char* filter,
                                      int32_t reserved, int32_t filter_index, char* selection);
/* Folder dialog with initial_folder selected at opening; on 1 the chosen
 * folder's display name and path are written into the two buffers of at
 * least 260 bytes (the path is empty for a folder without one). */
DZV_API int32_t DZV_CALL _DlgBrowseForFolder(DZV_HWND owner, const char* title,
                                             const char* initial_folder, char* display_name,
                                             char* path);

/* ---- Credentials -------------------------------------------------------- */

/* The sibling library devidoz.dll and the database client Oci.dll are found
 * by file name along the platform's library search path, loaded for the
 * length of one call and unloaded before it returns (see README). */
/* 1 when devidoz.dll loads and exports _LsaAvailable (which is not called),
 * else 0. */
DZV_API int32_t DZV_CALL _LsaAvailable(void);
/* Calls devidoz.dll's _StorePrivateData with the two values in this order and
 * returns its result; 0 when the sibling or its export is missing. */
DZV_API int32_t DZV_CALL _StorePrivateData(int32_t first, int32_t second);
/* Calls devidoz.dll's _RetrievePrivateData with the two values in this order
 * and returns its result; 0 when the sibling or its export is missing. */
DZV_API int32_t DZV_CALL _RetrievePrivateData(int32_t first, int32_t second);
/* 1 when Oci.dll can be loaded, else 0; its entry points are not checked. */
DZV_API uint8_t DZV_CALL _CanChangePassword(void);
/* Changes the password of user on the database that connect names, from
 * old_password to new_password; a null text counts as empty. Returns 0 when
 * the password was changed, the database's error code when the database
 * refused, and -1 when Oci.dll cannot be loaded or lacks an entry point or
 * the change failed without an error code. */
DZV_API int32_t DZV_CALL _ChangePassword(const char* user, const char* connect,
                                         const char* old_password, const char* new_password);

#endif /* DUDUZUVEZ210_H_ */

/*
 * sevenzip32.h - the archiver library's one public entry point, SevenZip.
 *
 * The library lib7-zip32.so (7-zip32.dll on Windows) runs one text command per call and writes ZIP
 * archives. It is a C ABI so that any program can load it by path with dlopen() and look up "SevenZip"
 * with dlsym(), or on Windows with LoadLibrary() and GetProcAddress(h, "SevenZip") (the export has no
 * stdcall decoration on either architecture).
 *
 * Command grammar (the one statement of it; the library's other headers refer here). Tokens are
 * separated by spaces; a double quote opens or closes a quoted stretch anywhere in a token (no escapes;
 * a token may be made of several stretches, "" is an empty token); an unbalanced quote is an error.
 *
 *   a [switches] ARCHIVE [BASE_FOLDER/] [NAME_OR_WILDCARD ...]
 *
 *   a            add files to a new archive (the only command)
 *   -tzip        ZIP format (the only type accepted)
 *   -hide        no progress display (none is ever shown)
 *   -mx=N        0..9: 0 stores, higher compresses harder
 *   -mfb=N       3..258, -mpass=N 1..15: accepted (and checked) for compatibility, without effect
 *   -ir!WILD     include every entry matching WILD in the base folder and all its subfolders
 *   -spd         names are literal: '*' and '?' in names are not wildcards
 *   --           the tokens that follow are operands, even when they start with '-'
 *
 * Command and switch names are matched without regard to case; operand bytes are kept exactly. Switches
 * may appear anywhere after the command, quoted or not (until "--"). The first operand is the archive
 * path; an operand ending in '/' (a doubled trailing '/' means the same folder) is the base folder for
 * the names that follow; names are relative to the base folder, or to the current folder when there is
 * none. '*' matches any run of characters, '?' one character, "*.*" every name.
 *
 * Windows paths: '\' and '/' both separate, so "C:\work\" (a trailing backslash, doubled or not) is a
 * base folder; drive letters ("C:\", a bare "C:" taken as the drive's root) and UNC paths
 * ("\\server\share\") work, and so do paths longer than MAX_PATH. A name holding ':' counts as
 * absolute and is refused (it would name a drive or a data stream). Names in the archive use '/'. The
 * command is text in the process's ANSI code page (CP_ACP, e.g. 932 on Japanese systems), converted
 * strictly: bytes that are not valid text there give SEVENZIP_E_SYNTAX. A name that is not ASCII is stored
 * as UTF-8 with the language-encoding flag, as on Linux.
 *
 * What gets stored: a name that is a folder brings its whole tree; -ir! walks every base folder's tree
 * and takes every file, link and folder whose name matches. Folders become folder entries (empty ones
 * survive), a command whose wildcards match nothing in an existing base folder gives a valid empty
 * archive, but a plain name that does not exist is an error. Names must stay inside their base folder
 * (no "..", not absolute). FIFOs, sockets and devices met in a walk are skipped and never opened; named
 * directly they are an error.
 *
 * Symbolic links:
 * - The base folder operand may be a link to a folder; it is followed.
 * - Below the base folder no link inside a name is followed: "link/file" where link is a symbolic link
 *   gives SEVENZIP_E_NO_FILES, never the file the link leads to. Walks never descend into a link.
 * - A link to a regular file (met in a walk, matched by a wildcard or named) is stored as a file under
 *   the link's name, with the content, size, time and mode of the file it points to, read through the
 *   link with the same change-while-read checks as any file.
 * - Any other link (to a folder, to anything but a regular file, dangling) is stored as a link: its
 *   target text, with the link type in the Unix mode.
 *
 * The archive: it is created only when nothing (file, folder, link, dangling link, special file) has its
 * name; else SEVENZIP_E_EXISTS, also when the name is taken while the archive is made. A name longer
 * than the file system takes gives SEVENZIP_E_WRITE before any work. Its mode is 0666 less the umask;
 * the group class, and the other class, keep read and write only when that class could read every
 * entry where it stands: the entry's bits grant it read, every folder between the archive's folder and
 * the entry (a named or base folder, its subfolders, and for a file read through a link the folders of
 * the file's real path) grants it search, for the group class the entry and those folders belong to the
 * archive's group, and neither the entry nor those folders carry an ACL (one makes the archive the
 * owner's alone).
 * Its data is flushed to disk before it gets its name, so a crash leaves no archive or a whole one; the
 * folder is not flushed (a caller that deletes sources afterwards flushes it first). It is written to a
 * temporary file (mode 0600) beside it named "." NAME ".pakuto-tmp" U+231B (HOURGLASS, the bytes E2 8C 9B)
 * and six ASCII letters or digits, NAME cut short where the whole would pass the name limit. The archive
 * and its temporary file are never stored, nor is a regular file of that shape left by a killed run when
 * a walk or wildcard meets it; folders and other kinds of that shape, and names merely like it, are.
 *
 * On Windows, where modes and the umask do not exist, no mode is computed: the archive keeps the access
 * control list it inherits from its folder; its temporary file is opened sharing nothing, so no other
 * process reads or writes it while it fills. Symbolic links and junctions count as links (a link's
 * target text is its print name, '\' turned into '/' when it is relative); sources are opened so that
 * nobody can write to them while they are read, and their size and time are still compared. The data is
 * flushed with FlushFileBuffers, and the archive is named with MoveFileExW, which fails when the name is
 * taken.
 *
 * Result codes never change meaning; SEVENZIP_OK is the only success.
 */
#ifndef SEVENZIP32_H
#define SEVENZIP32_H

#include <stdint.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The entry point's platform types: Windows takes the window handle and buffer size its callers have
 * always passed, and the stdcall convention; Linux a plain pointer and a 32-bit size. */
#if defined(_WIN32)
#if defined(SEVENZIP_BUILDING_LIBRARY)
#define SEVENZIP_API __declspec(dllexport)
#else
#define SEVENZIP_API
#endif
#define SEVENZIP_CALL __stdcall
typedef HWND SevenZipOwner;
typedef DWORD SevenZipSize;
#else
#define SEVENZIP_API __attribute__((visibility("default")))
#define SEVENZIP_CALL
typedef void* SevenZipOwner;
typedef int32_t SevenZipSize;
#endif

enum SevenZipResult {
    SEVENZIP_OK = 0,             /* the archive was written, read back and verified */
    SEVENZIP_E_SYNTAX = 1,       /* the command text is malformed or uses an unknown switch/command */
    SEVENZIP_E_NO_FILES = 2,     /* a named file does not exist or nothing matched a plain name */
    SEVENZIP_E_READ = 3,         /* a source could not be read completely, or changed while read */
    SEVENZIP_E_WRITE = 4,        /* the archive could not be written (disk full, permission, ...) */
    SEVENZIP_E_EXISTS = 5,       /* a file already exists under the archive's name; it was left alone */
    SEVENZIP_E_VERIFY = 6,       /* reading the written archive back did not give the sources' CRCs */
    SEVENZIP_E_INTERNAL = 7      /* out of memory or an unexpected failure inside the library */
};

/*
 * Runs one command synchronously. Threads may be used inside the call; none is left running when it
 * returns.
 *
 * owner:      the caller's window handle; unused (no window is ever shown).
 * command:    the command text: on Linux bytes as the file system takes them (UTF-8); on Windows text
 *             in the ANSI code page.
 * output:     receives a short human-readable report (in the same encoding as the command), always
 *             NUL-terminated within outputSize and never written past it, never cutting a character
 *             in two. May be NULL, or outputSize may be 0.
 * Returns SEVENZIP_OK (0) only when the archive exists under its name, complete, its data flushed, and
 * verified.
 * On any other result no file was created or changed. Never throws, never aborts on bad input.
 *
 * Linux: int32_t SevenZip(void*, const char*, char*, int32_t).
 * Windows: int __stdcall SevenZip(HWND, const char*, char*, DWORD), exported as "SevenZip".
 */
SEVENZIP_API int SEVENZIP_CALL SevenZip(SevenZipOwner owner, const char* command, char* output,
                                        SevenZipSize outputSize);

#ifdef __cplusplus
}
#endif

#endif /* SEVENZIP32_H */

// Status codes: signed 32-bit results, 0 or more for success, negative for
// failure. The message of code c is string number 62000 - c.
#pragma once

#include "qelvio/p_string.h"

#include <cstdint>

enum p_status : int32_t {
    P_OK = 0,
    P_INVALID_PARAMETER = -1,
    P_NOT_SUPPORTED = -2,
    P_NOT_OPEN = -3,
    P_CANNOT_ACCESS = -4,
    P_INVALID_LOCATION = -5,
    P_ALREADY_OPEN = -6,
    P_PARENT_NOT_FOUND = -7,
    P_NOT_FOUND = -8,
    P_ALREADY_EXISTS = -9,
    P_INVALID_SOURCE = -10,
    P_CANNOT_CREATE = -11,
    P_NO_MEMORY = -12,
    P_IMAGE_BUSY = -13,
    P_INVALID_FORMAT = -14,
    P_CANNOT_WRITE = -15,
    P_DISK_FULL = -16,
    P_INVALID_NAME = -17,
    P_READ_ONLY = -18,
    P_FOLDER_NOT_EMPTY = -19,
    P_CANCELLED = -20,
    P_FAILED = -100,
};

// The message of a code ("No further information is available." for a code
// without a message of its own).
QELVIO_STORAGE_EXPORT p_string p_statusmessage(int32_t code);

// The code for a platform error number (2 -> -8, 5 -> -18, 80 and 183 -> -9,
// 112 -> -16, 123 -> -17, 145 -> -19, anything else -> -100).
QELVIO_STORAGE_EXPORT int32_t p_statusfromerror(uint32_t platform_error);

// The code for the calling thread's last platform error.
QELVIO_STORAGE_EXPORT int32_t p_lasterrorstatus();

// Where status messages are shown: the user interface shows a modal box with
// an OK button; tests record the texts. A sink is told only what to show.
class QELVIO_STORAGE_EXPORT p_messagesink {
public:
    virtual ~p_messagesink() = default;
    virtual void showmessage(const p_string& text) = 0;
};

// The three ways of showing a code. Code -20 (cancelled) is never shown.
// 1: the code's message alone.
QELVIO_STORAGE_EXPORT void p_showstatus(p_messagesink& sink, int32_t code);
// 2: string number message_id, a line break, the code's message in parentheses.
QELVIO_STORAGE_EXPORT void p_showstatus(p_messagesink& sink, int message_id, int32_t code);
// 3: a text composed by the caller, then the same layout.
QELVIO_STORAGE_EXPORT void p_showstatus(p_messagesink& sink, const char16_t* text, int32_t code);

// String number id from the string table (empty when there is none).
QELVIO_STORAGE_EXPORT p_string p_loadstring(int id);

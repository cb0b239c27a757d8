// Simple MAPI: a message handed to the user's mail client (xdg-email).
#pragma once
#include "platform/win32/win_types.h"

typedef ULONG_PTR LHANDLE;
typedef ULONG FLAGS;

constexpr ULONG MAPI_ORIG = 0;
constexpr ULONG MAPI_TO = 1;
constexpr FLAGS MAPI_UNREAD = 1;
constexpr ULONG SUCCESS_SUCCESS = 0;
constexpr ULONG MAPI_E_USER_ABORT = 1;
constexpr ULONG MAPI_E_FAILURE = 2;
constexpr ULONG MAPI_E_UNKNOWN_RECIPIENT = 14;

struct MapiRecipDesc {
    ULONG ulReserved;
    ULONG ulRecipClass;
    LPSTR lpszName;
    LPSTR lpszAddress;
    ULONG ulEIDSize;
    LPVOID lpEntryID;
};

struct MapiFileDesc {
    ULONG ulReserved;
    ULONG flFlags;
    ULONG nPosition;
    LPSTR lpszPathName;
    LPSTR lpszFileName;
    LPVOID lpFileType;
};

struct MapiMessage {
    ULONG ulReserved;
    LPSTR lpszSubject;
    LPSTR lpszNoteText;
    LPSTR lpszMessageType;
    LPSTR lpszDateReceived;
    LPSTR lpszConversationID;
    FLAGS flFlags;
    MapiRecipDesc* lpOriginator;
    ULONG nRecipCount;
    MapiRecipDesc* lpRecips;
    ULONG nFileCount;
    MapiFileDesc* lpFiles;
};

typedef ULONG (*LPMAPISENDMAIL)(LHANDLE session, ULONG_PTR ui_param, MapiMessage* message, FLAGS flags, ULONG reserved);

// True when xdg-email is on PATH.
bool mapi_available();

// Starts xdg-email (never through a shell) with the subject, the note and the
// recipients' names, in UTF-8; waits for it. SUCCESS_SUCCESS when it exits with 0.
ULONG MAPISendMail(LHANDLE session, ULONG_PTR ui_param, MapiMessage* message, FLAGS flags, ULONG reserved);
